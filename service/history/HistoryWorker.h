#pragma once

#include "service/history/ApprovalArchive.h"
#include "service/history/HistoryConnection.h"
#include "service/history/HistoryTypes.h"
#include "service/history/SnapshotArchive.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <thread>

// The history's own thread: it holds the database connection, writes the
// queued snapshots in batches and runs the calls handed to it. When the
// database is locked, full or gone, snapshots wait in a bounded queue (the
// oldest dropped and counted) and the thread tries the database again, a
// little later each time, until it answers.
namespace fx {

struct HistoryArchives {
    SnapshotArchive& snapshots;
    ApprovalArchive& approvals;
};

class HistoryWorker {
public:
    HistoryWorker(HistoryConnection::Target target, HistoryOptions options);
    ~HistoryWorker();
    HistoryWorker(const HistoryWorker&) = delete;
    HistoryWorker& operator=(const HistoryWorker&) = delete;

    // Starts the thread and waits for its first try of the database: Ok,
    // Unavailable (the thread goes on trying, snapshots wait) or Failed
    // (a damaged database or one of a later version: the thread has ended).
    HistoryResult Start();
    // Writes what it can of the queue and ends the thread.
    void Stop();

    void Enqueue(PendingSnapshot snapshot);
    // Waits until every queued snapshot is written; false when timeout
    // passed first.
    bool WaitWritten(std::chrono::milliseconds timeout);

    // Runs job on the thread with the database; Unavailable (and the
    // database's last error) while it cannot be reached.
    template <class T>
    HistoryReply<T> Call(const std::function<HistoryReply<T>(HistoryArchives&)>& job) {
        std::promise<HistoryReply<T>> promise;
        std::future<HistoryReply<T>> future = promise.get_future();
        HistoryReply<T> reply;
        const bool posted =
            Post({[&](HistoryArchives* archives, const HistoryResult& why) {
                      try {
                          reply = archives ? job(*archives) : HistoryReply<T>{why, {}};
                      } catch (const std::exception& error) {
                          reply.result =
                              HistoryResult::Fail(HistoryResult::Status::Failed,
                                                  std::string("history: ") + error.what());
                      }
                      return reply.result;
                  },
                  [&] { promise.set_value(std::move(reply)); }});
        if (!posted)
            return {HistoryResult::Fail(HistoryResult::Status::Failed, "history is not open"), {}};
        return future.get();
    }

    // The approved presets as the database last gave them; known is false
    // while it never answered.
    std::optional<ApprovedPreset> Approved(const std::string& processor, bool* known) const;
    // Called on the thread after the database took a change of approval.
    void RememberApproved(const std::string& processor, std::optional<ApprovedPreset> preset);

    HistoryHealth Health() const;

private:
    // A call: run on the thread, then (the health brought up to date by
    // what it met) its answer delivered to the caller.
    struct Job {
        std::function<HistoryResult(HistoryArchives*, const HistoryResult&)> run;
        std::function<void()> deliver;
    };
    using Clock = std::chrono::steady_clock;

    bool Post(Job job);
    void Run();
    void Connect();
    void RunJobs(std::deque<Job> jobs);
    void WriteBatch(std::unique_lock<std::mutex>& lock);
    void MarkDown(const HistoryResult& why);
    void DropOldestBeyondLimit();

    HistoryOptions m_options;
    HistoryConnection m_connection;
    SnapshotArchive m_snapshots;
    ApprovalArchive m_approvals;
    bool m_checked = false; // the integrity check passed once

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;    // work for the thread
    std::condition_variable m_settled; // the first try done, or the queue written
    std::deque<PendingSnapshot> m_queue;
    size_t m_inFlight = 0;     // snapshots of the batch being written
    size_t m_dropInFlight = 0; // the oldest of those, dropped should the write fail
    std::deque<Job> m_jobs;
    bool m_running = false;
    bool m_stopping = false;
    std::optional<HistoryResult> m_firstTry;
    Clock::time_point m_nextTry{};
    std::chrono::milliseconds m_retryDelay;
    HistoryHealth m_health;
    std::map<std::string, ApprovedPreset> m_approved;
    bool m_approvedKnown = false;
    std::thread m_thread;
};

} // namespace fx

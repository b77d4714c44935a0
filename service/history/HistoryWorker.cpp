#include "service/history/HistoryWorker.h"

#include "service/history/HistorySchema.h"

#include <algorithm>
#include <pthread.h>
#include <vector>

namespace fx {

namespace {

using Status = HistoryResult::Status;

// Snapshots written in one transaction.
constexpr size_t kBatchSize = 100;

} // namespace

HistoryWorker::HistoryWorker(HistoryConnection::Target target, HistoryOptions options)
    : m_options(std::move(options)), m_connection(std::move(target), m_options),
      m_snapshots(m_connection, m_options.fullImageInterval), m_approvals(m_connection),
      m_retryDelay(std::max(1, m_options.retryMinMs)) {
    m_health.error = "history database: not opened yet";
}

HistoryWorker::~HistoryWorker() {
    Stop();
}

HistoryResult HistoryWorker::Start() {
    std::unique_lock lock(m_mutex);
    m_running = true;
    m_thread = std::thread([this] { Run(); });
    m_settled.wait(lock, [this] { return m_firstTry.has_value(); });
    const HistoryResult first = *m_firstTry;
    lock.unlock();
    if (first.status == Status::Failed) Stop();
    return first;
}

void HistoryWorker::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

bool HistoryWorker::Post(Job job) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_running || m_stopping) return false;
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_all();
    return true;
}

void HistoryWorker::Enqueue(PendingSnapshot snapshot) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(snapshot));
        DropOldestBeyondLimit();
    }
    m_wake.notify_all();
}

// The batch being written is older than the queue: its snapshots go first,
// once its write has failed (a write that succeeds loses nothing).
void HistoryWorker::DropOldestBeyondLimit() {
    const size_t limit = std::max<size_t>(1, m_options.queueLimit);
    while (m_queue.size() + m_inFlight - m_dropInFlight > limit) {
        if (m_dropInFlight < m_inFlight) {
            ++m_dropInFlight;
            continue;
        }
        m_queue.pop_front();
        ++m_health.dropped;
    }
}

bool HistoryWorker::WaitWritten(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_settled.wait_for(lock, timeout, [this] { return m_queue.empty() && m_inFlight == 0; });
}

std::optional<ApprovedPreset> HistoryWorker::Approved(const std::string& processor,
                                                      bool* known) const {
    std::lock_guard lock(m_mutex);
    *known = m_approvedKnown;
    const auto found = m_approved.find(processor);
    if (found == m_approved.end()) return std::nullopt;
    return found->second;
}

void HistoryWorker::RememberApproved(const std::string& processor,
                                     std::optional<ApprovedPreset> preset) {
    std::lock_guard lock(m_mutex);
    if (preset)
        m_approved[processor] = std::move(*preset);
    else
        m_approved.erase(processor);
}

HistoryHealth HistoryWorker::Health() const {
    std::lock_guard lock(m_mutex);
    HistoryHealth health = m_health;
    health.queued = m_queue.size() + m_inFlight - m_dropInFlight;
    return health;
}

void HistoryWorker::Run() {
    // Named so that the processor time of the history can be told apart.
    pthread_setname_np(pthread_self(), "fx-history-db");
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!m_connection.IsOpen() && !m_stopping && Clock::now() >= m_nextTry) {
            lock.unlock();
            Connect();
            lock.lock();
            if (m_firstTry && m_firstTry->status == Status::Failed) break;
            continue;
        }
        if (!m_jobs.empty()) {
            std::deque<Job> jobs;
            jobs.swap(m_jobs);
            lock.unlock();
            RunJobs(std::move(jobs));
            lock.lock();
            continue;
        }
        if (m_connection.IsOpen() && !m_queue.empty()) {
            WriteBatch(lock);
            continue;
        }
        m_settled.notify_all();
        if (m_stopping) break;
        if (m_connection.IsOpen())
            m_wake.wait(lock);
        else
            m_wake.wait_until(lock, m_nextTry);
    }
    m_running = false;
    std::deque<Job> jobs;
    jobs.swap(m_jobs);
    lock.unlock();
    // Calls that came in as it stopped are answered, not left waiting.
    const HistoryResult closed = HistoryResult::Fail(Status::Failed, "history is closing");
    for (Job& job : jobs) {
        job.run(nullptr, closed);
        job.deliver();
    }
    m_connection.Close();
    m_settled.notify_all();
}

void HistoryWorker::Connect() {
    HistoryResult result = m_connection.Open(!m_checked);
    if (result.ok()) result = HistorySchema::Migrate(m_connection, m_options.fullImageInterval);
    HistoryReply<std::map<std::string, ApprovedPreset>> approved;
    if (result.ok()) {
        approved = m_approvals.Current();
        result = approved.result;
    }
    m_snapshots.Forget();
    m_connection.FinishAll();
    if (!result.ok()) m_connection.Close();

    std::lock_guard lock(m_mutex);
    if (result.ok()) {
        m_checked = true;
        m_approved = std::move(approved.value);
        m_approvedKnown = true;
        m_retryDelay = std::chrono::milliseconds(std::max(1, m_options.retryMinMs));
        // With snapshots waiting, the last error stands until they are written.
        if (m_queue.empty()) {
            m_health.ok = true;
            m_health.error.clear();
        }
    } else {
        MarkDown(result);
    }
    if (!m_firstTry) {
        m_firstTry = result;
        m_settled.notify_all();
    }
}

void HistoryWorker::MarkDown(const HistoryResult& why) {
    m_health.ok = false;
    m_health.error = why.message;
    m_nextTry = Clock::now() + m_retryDelay;
    m_retryDelay =
        std::min(m_retryDelay * 2, std::chrono::milliseconds(std::max(1, m_options.retryMaxMs)));
}

void HistoryWorker::RunJobs(std::deque<Job> jobs) {
    HistoryArchives archives{m_snapshots, m_approvals};
    for (Job& job : jobs) {
        HistoryResult unavailable;
        bool open = m_connection.IsOpen();
        if (!open) {
            std::lock_guard lock(m_mutex);
            unavailable = HistoryResult::Fail(Status::Unavailable, m_health.error);
        }
        const HistoryResult result = job.run(open ? &archives : nullptr, unavailable);
        m_connection.FinishAll();
        // A call the database could not answer means it is gone for now.
        if (open && result.status == Status::Unavailable) {
            m_connection.Close();
            std::lock_guard lock(m_mutex);
            MarkDown(result);
        }
        job.deliver();
    }
}

void HistoryWorker::WriteBatch(std::unique_lock<std::mutex>& lock) {
    const size_t count = std::min(kBatchSize, m_queue.size());
    std::vector<PendingSnapshot> batch(std::make_move_iterator(m_queue.begin()),
                                       std::make_move_iterator(m_queue.begin() + count));
    m_queue.erase(m_queue.begin(), m_queue.begin() + count);
    m_inFlight = count;
    lock.unlock();
    const HistoryResult result = m_snapshots.Write(batch);
    m_connection.FinishAll();
    if (!result.ok()) m_connection.Close();
    lock.lock();
    const size_t dropped = std::min(m_dropInFlight, batch.size());
    m_inFlight = 0;
    m_dropInFlight = 0;
    if (result.ok()) {
        m_health.written += count;
        m_health.ok = true;
        m_health.error.clear();
        return;
    }
    // The batch waits again in front of what came since.
    m_health.dropped += dropped;
    m_queue.insert(m_queue.begin(), std::make_move_iterator(batch.begin() + dropped),
                   std::make_move_iterator(batch.end()));
    DropOldestBeyondLimit();
    MarkDown(result);
}

} // namespace fx

#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace fx {

// Runs sends that wait for the processor (the previous reply, then their own
// answer) on a thread of their own, one after the other in the order they
// were posted, so the window's thread never waits for the processor.
class SendWorker {
public:
    SendWorker();
    // Runs what is still queued, then ends the thread.
    ~SendWorker();
    SendWorker(const SendWorker&) = delete;
    SendWorker& operator=(const SendWorker&) = delete;

    void Post(std::function<void()> job);
    // Waits until every posted job has run (tests and closing).
    void WaitIdle();

private:
    void ThreadProc();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_jobs;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace fx

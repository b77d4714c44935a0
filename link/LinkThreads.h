#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The threads of a link. A closing link waits a bounded time for them; one
// still busy in a reply handler (a box or a blocking call into the view) is
// joined later, when it has ended, instead of blocking the closing thread.
// Used only by the thread that opens and closes the link.
class LinkThreads {
public:
    LinkThreads() = default;
    ~LinkThreads();
    LinkThreads(const LinkThreads&) = delete;
    LinkThreads& operator=(const LinkThreads&) = delete;

    void Start(std::function<void()> body);
    // Waits up to timeoutMs (real time) until every started thread has ended;
    // true when they have.
    bool WaitAllEnded(int timeoutMs);
    // Joins the threads that have ended.
    void JoinEnded();

private:
    struct Entry {
        std::thread thread;
        std::shared_ptr<bool> ended; // guarded by m_mutex
    };
    std::mutex m_mutex;
    std::condition_variable m_cond;
    std::vector<Entry> m_threads;
};

#pragma once

#include <asio/io_context.hpp>

#include <thread>
#include <vector>

namespace fx {

// The event loop that serves the network links: their receives, heartbeat
// echoes and watchdogs are handlers and timers on it, run by a small fixed
// pool of threads however many links there are. A handler never waits for
// the processor; each connection's handlers run one at a time (a strand).
class LinkLoop {
public:
    explicit LinkLoop(int threads);
    // Stops the loop and joins its threads.
    ~LinkLoop();
    LinkLoop(const LinkLoop&) = delete;
    LinkLoop& operator=(const LinkLoop&) = delete;

    asio::io_context& Context() { return m_context; }
    // Stops the loop and joins its threads (the end of the run).
    void Stop();

private:
    asio::io_context m_context;
    asio::executor_work_guard<asio::io_context::executor_type> m_work;
    std::vector<std::thread> m_threads;
};

// The process's loop, started when first asked for; stopped at the end of
// the run, after every link that uses it was closed.
LinkLoop& DefaultLinkLoop();

} // namespace fx

#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace asio {
class io_context;
}

// One thread that runs the network side of any number of simulated
// processors: their listening ports, connections, reply timers and
// heartbeats. A server made without one runs its own.
class SimEventLoop {
public:
    SimEventLoop();  // starts the thread
    ~SimEventLoop(); // stops it; every server on it must be stopped first
    SimEventLoop(const SimEventLoop&) = delete;
    SimEventLoop& operator=(const SimEventLoop&) = delete;

    asio::io_context& Context();
    bool OnLoopThread() const { return std::this_thread::get_id() == m_loopThreadId.load(); }
    // Runs work on the loop's thread and returns once it ran (at once when
    // called there).
    void RunAndWait(const std::function<void()>& work);
    // Queues work for the loop's thread and returns.
    void Post(std::function<void()> work);

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
    std::atomic<std::thread::id> m_loopThreadId{};
    std::thread m_thread;
};

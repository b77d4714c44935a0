#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// An auto-reset event: Set() releases exactly one waiter (or the next one to
// come), after which the event is clear again.
class AutoResetEvent {
public:
    explicit AutoResetEvent(bool initiallySet = false) : m_set(initiallySet) {}

    void Set();
    void Reset();
    // Waits up to timeoutMs for the event; true when it was set (and is now
    // clear again), false on time-out.
    bool Wait(int timeoutMs);
    bool IsSet() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_set;
};

#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

// An auto-reset event: Set() releases exactly one waiter (or the next one to
// come), after which the event is clear again. Interrupt() releases every
// waiter at once (a link closed: nothing they wait for can come any more).
class AutoResetEvent {
public:
    explicit AutoResetEvent(bool initiallySet = false) : m_set(initiallySet) {}

    // Set and Reset also end an interruption.
    void Set();
    void Reset();
    // Waits up to timeoutMs for the event; true when it was set (and is now
    // clear again) or interrupted, false on time-out.
    bool Wait(int timeoutMs);
    bool IsSet() const;
    // Releases every waiter now, and every later wait at once, until the next
    // Set or Reset.
    void Interrupt();
    // Called after every Set and Interrupt, outside the event's lock: a
    // waiter on an event loop hears of it there (empty: none).
    void SetListener(std::function<void()> listener);

private:
    std::function<void()> m_listener; // guarded by m_mutex
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_set;
    bool m_interrupted = false;
};

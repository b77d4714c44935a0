#include "link/AutoResetEvent.h"

void AutoResetEvent::Set() {
    std::function<void()> listener;
    {
        std::lock_guard lock(m_mutex);
        m_set = true;
        m_interrupted = false;
        listener = m_listener;
    }
    m_cond.notify_one();
    if (listener) listener();
}

void AutoResetEvent::Reset() {
    std::lock_guard lock(m_mutex);
    m_set = false;
    m_interrupted = false;
}

bool AutoResetEvent::Wait(int timeoutMs) {
    std::unique_lock lock(m_mutex);
    // A look without waiting never enters the kernel: a timed wait that has
    // already run out still puts the thread to sleep until its timer fires.
    if (timeoutMs <= 0 && !m_set && !m_interrupted) return false;
    if (!m_cond.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                         [this] { return m_set || m_interrupted; }))
        return false;
    m_set = false;
    return true;
}

bool AutoResetEvent::IsSet() const {
    std::lock_guard lock(m_mutex);
    return m_set;
}

void AutoResetEvent::Interrupt() {
    std::function<void()> listener;
    {
        std::lock_guard lock(m_mutex);
        m_interrupted = true;
        listener = m_listener;
    }
    m_cond.notify_all();
    if (listener) listener();
}

void AutoResetEvent::SetListener(std::function<void()> listener) {
    std::lock_guard lock(m_mutex);
    m_listener = std::move(listener);
}

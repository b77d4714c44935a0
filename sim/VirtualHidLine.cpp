#include "sim/VirtualHidLine.h"

#include <algorithm>

void VirtualHidLine::SetPlugged(bool plugged) {
    {
        std::lock_guard lock(m_mutex);
        if (m_plugged == plugged) return;
        m_plugged = plugged;
        ++m_generation;
        m_input.clear();
    }
    m_changed.notify_all();
}

bool VirtualHidLine::IsPlugged() const {
    std::lock_guard lock(m_mutex);
    return m_plugged;
}

unsigned VirtualHidLine::Generation() const {
    std::lock_guard lock(m_mutex);
    return m_generation;
}

bool VirtualHidLine::IsAlive(unsigned generation) const {
    std::lock_guard lock(m_mutex);
    return m_plugged && m_generation == generation;
}

void VirtualHidLine::PushReply(const SimRecord& reply, Clock::time_point due) {
    Pending pending{std::max(due, Clock::now()), {}};
    std::copy_n(reply.begin(), std::min(reply.size(), pending.report.size()),
                pending.report.begin());
    {
        std::lock_guard lock(m_mutex);
        if (!m_plugged) return;
        auto position = std::upper_bound(
            m_input.begin(), m_input.end(), pending.due,
            [](Clock::time_point due, const Pending& queued) { return due < queued.due; });
        m_input.insert(position, pending);
    }
    m_changed.notify_all();
}

int VirtualHidLine::Pop(Report& report, unsigned generation, const bool& cancelled, int timeoutMs) {
    std::unique_lock lock(m_mutex);
    const bool forever = timeoutMs < 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);
    for (;;) {
        if (cancelled || !m_plugged || m_generation != generation) return -1;
        const auto now = Clock::now();
        if (!m_input.empty() && m_input.front().due <= now) {
            report = m_input.front().report;
            m_input.pop_front();
            return 1;
        }
        if (!forever && now >= deadline) return 0;
        auto wakeAt = forever ? now + std::chrono::hours(1) : deadline;
        if (!m_input.empty()) wakeAt = std::min(wakeAt, m_input.front().due);
        m_changed.wait_until(lock, wakeAt);
    }
}

void VirtualHidLine::WakeReaders() {
    m_changed.notify_all();
}

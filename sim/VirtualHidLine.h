#pragma once

#include "link/CommandFrames.h"
#include "sim/SimProcessor.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

// The cable between the simulated processor and the opened virtual HID
// devices: the processor's input reports waiting to be read, and whether the
// processor is plugged in. Shared by the backend and every device it opened.
class VirtualHidLine {
public:
    using Report = std::array<uint8_t, kUsbReportSize>;
    using Clock = std::chrono::steady_clock;

    explicit VirtualHidLine(SimProcessor& processor) : m_processor(processor) {}

    SimProcessor& Processor() { return m_processor; }

    // Plugging starts a new connection: devices opened before an unplug stay dead.
    void SetPlugged(bool plugged);
    bool IsPlugged() const;
    unsigned Generation() const;
    bool IsAlive(unsigned generation) const;

    // Queues a reply as an input report, readable from due on (now when
    // omitted); reports due together keep their order.
    void PushReply(const SimRecord& reply, Clock::time_point due = {});
    // Waits up to timeoutMs (-1 forever) for an input report of this
    // connection. 1: a report; 0: time-out; -1: unplugged or cancelled.
    int Pop(Report& report, unsigned generation, const bool& cancelled, int timeoutMs);
    // Wakes every waiting reader (a device was cancelled).
    void WakeReaders();
    // The mutex guarding the cancelled flags handed to Pop.
    std::mutex& Mutex() { return m_mutex; }

private:
    struct Pending {
        Clock::time_point due;
        Report report;
    };

    SimProcessor& m_processor;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Pending> m_input; // ordered by due time
    bool m_plugged = true;
    unsigned m_generation = 0;
};

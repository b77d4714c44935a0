#pragma once

#include "link/AutoResetEvent.h"
#include "link/LinkClock.h"
#include "link/ViewNotifier.h"
#include "sim/SimProcessor.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Stand-ins used by the end-to-end tests of the link against the simulated
// processor.

// Records every message the link sends to the view, with the link time.
class SimRecordingView : public IViewNotifier {
public:
    struct Message {
        int message;
        intptr_t wParam;
        int64_t linkTimeMs;
    };

    SimRecordingView() { SetViewNotifier(this); }
    ~SimRecordingView() override { SetViewNotifier(nullptr); }

    void PostViewMessage(int message, intptr_t wParam, intptr_t) override {
        Record(message, wParam);
    }
    void SendViewMessage(int message, intptr_t wParam, intptr_t) override {
        Record(message, wParam);
    }
    void ShowErrorBox(const std::string&, const std::string&) override { Record(-1, 0); }

    std::vector<Message> Messages() const {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const Message& m : Messages()) codes.push_back(m.message);
        return codes;
    }
    bool WaitFor(int message, int timeoutMs = 10000) const {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (const Message& m : m_messages)
                if (m.message == message) return true;
            return false;
        });
    }

private:
    void Record(int message, intptr_t wParam) {
        {
            std::lock_guard lock(m_mutex);
            m_messages.push_back({message, wParam, LinkNowMs()});
        }
        m_changed.notify_all();
    }

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<Message> m_messages;
};

// Real time, counting the reply waits the link makes.
class CountingLinkClock : public SteadyLinkClock {
public:
    bool WaitEvent(AutoResetEvent& event, int ms) override {
        ++waits;
        return SteadyLinkClock::WaitEvent(event, ms);
    }
    std::atomic<int> waits{0};
};

// The four bytes of a value, most significant first, as the image holds them.
inline std::vector<uint8_t> Big(uint32_t value) {
    return {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
}

inline std::vector<uint8_t> Slice(const SimProcessor::Image& image, int offset, int count) {
    return {image.begin() + offset, image.begin() + offset + count};
}

// Polls until the condition holds or the time-out passes.
inline bool SimWaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A bare TCP client on 127.0.0.1, for looking at the simulator's bytes directly.
class SimRawClient {
public:
    SimRawClient() = default;
    ~SimRawClient() { Close(); }
    SimRawClient(const SimRawClient&) = delete;
    SimRawClient& operator=(const SimRawClient&) = delete;

    // 0 on success, else the error number.
    int Connect(int port);
    bool Send(const std::vector<uint8_t>& bytes);
    // Receives until at least count bytes have come in all (or the time-out
    // or the peer closing); returns everything received so far.
    std::vector<uint8_t> ReceiveAtLeast(size_t count, int timeoutMs = 5000);
    // True when the peer closed the connection within the time-out.
    bool WaitForClose(int timeoutMs = 5000);
    void Close();

private:
    int m_fd = -1;
    std::vector<uint8_t> m_received;
};

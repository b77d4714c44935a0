#pragma once

// Helpers shared by the link tests: a recording view, captured debug lines,
// a guard that puts the link's globals back, and a polling wait.

#include "link/CommandFrames.h"
#include "link/DebugLog.h"
#include "link/LinkClock.h"
#include "link/LinkOutbox.h"
#include "link/LinkState.h"
#include "link/ViewNotifier.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace linktest {

// Polls pred every millisecond until it holds or timeoutMs (real time) passed.
inline bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Records every message and box the link sends to the view.
class RecordingView : public IViewNotifier {
public:
    struct Message {
        int message;
        intptr_t wParam;
        bool sent; // sent (blocking) rather than posted
        bool operator==(const Message&) const = default;
    };

    void PostViewMessage(int message, intptr_t wParam, intptr_t) override {
        Add({message, wParam, false});
    }
    void SendViewMessage(int message, intptr_t wParam, intptr_t) override {
        Add({message, wParam, true});
    }
    void ShowErrorBox(const std::string& text, const std::string& caption) override {
        std::lock_guard lock(m_mutex);
        m_boxes.push_back(caption + "|" + text);
    }

    std::vector<Message> Messages() const {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    std::vector<std::string> Boxes() const {
        std::lock_guard lock(m_mutex);
        return m_boxes;
    }
    bool WaitForMessage(int message, int timeoutMs = 5000) const {
        return WaitUntil(
            [&] {
                for (const Message& m : Messages())
                    if (m.message == message) return true;
                return false;
            },
            timeoutMs);
    }

private:
    void Add(const Message& m) {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(m);
    }
    mutable std::mutex m_mutex;
    std::vector<Message> m_messages;
    std::vector<std::string> m_boxes;
};

// A view that keeps every sent message waiting until released, like a view
// busy elsewhere; posted messages pass.
class BlockingView : public RecordingView {
public:
    void SendViewMessage(int message, intptr_t wParam, intptr_t lParam) override {
        std::unique_lock lock(m_gate);
        m_blocked = true;
        m_cond.wait(lock, [this] { return m_released; });
        lock.unlock();
        RecordingView::SendViewMessage(message, wParam, lParam);
    }
    bool Blocked() {
        std::lock_guard lock(m_gate);
        return m_blocked;
    }
    void Release() {
        {
            std::lock_guard lock(m_gate);
            m_released = true;
        }
        m_cond.notify_all();
    }

private:
    std::mutex m_gate;
    std::condition_variable m_cond;
    bool m_blocked = false;
    bool m_released = false;
};

// Captures the debug lines written while it lives.
class DebugLines {
public:
    DebugLines() {
        SetDebugLogSink([this](const std::string& line) {
            std::lock_guard lock(m_mutex);
            m_lines.push_back(line);
        });
    }
    ~DebugLines() { SetDebugLogSink(nullptr); }

    std::vector<std::string> Lines() const {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    bool Has(const std::string& line) const {
        for (const std::string& l : Lines())
            if (l == line) return true;
        return false;
    }
    bool HasPrefix(const std::string& prefix) const {
        for (const std::string& l : Lines())
            if (l.rfind(prefix, 0) == 0) return true;
        return false;
    }
    bool WaitFor(const std::string& line, int timeoutMs = 5000) const {
        return WaitUntil([&] { return Has(line); }, timeoutMs);
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

// Installs a recording view and puts the link flags, the clock and the
// installed record sink and view back at the end of a test.
class LinkGlobalsGuard {
public:
    LinkGlobalsGuard()
        : m_flags{g_bNetMode(),       g_bJobIdle(),       g_bQueuedSend(), g_bCoalesce(),
                  g_bParamsChanged(), g_bReadThreadEnd(), g_bAwaitReply()} {
        SetViewNotifier(&view);
        g_hReplyEvent().Set();
    }
    ~LinkGlobalsGuard() {
        SetViewNotifier(nullptr);
        SetLinkClock(nullptr);
        fx::SetRecordSink(nullptr);
        g_bConnected() = false;
        g_bNetMode() = m_flags[0];
        g_bJobIdle() = m_flags[1];
        g_bQueuedSend() = m_flags[2];
        g_bCoalesce() = m_flags[3];
        g_bParamsChanged() = m_flags[4];
        g_bReadThreadEnd() = m_flags[5];
        g_bAwaitReply() = m_flags[6];
        g_hReplyEvent().Set();
    }

    RecordingView view;

private:
    std::vector<bool> m_flags;
};

} // namespace linktest

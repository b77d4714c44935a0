#include "CtlView.h"

#include <cstdio>

CtlView::CtlView() {
    SetViewNotifier(this);
    SetJobUi(this);
}

CtlView::~CtlView() {
    SetJobUi(nullptr);
    SetViewNotifier(nullptr);
}

CtlView::Counts CtlView::Snapshot() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_counts;
}

void CtlView::PostViewMessage(int message, intptr_t wParam, intptr_t) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (message == WM_JOB_ENDED) (wParam == 0 ? m_counts.readEnded : m_counts.writeEnded)++;
        if (message == WM_NET_TIMEOUT) m_counts.timedOut = true;
        if (message == WM_HOST_BUSY) m_counts.hostBusy = true;
    }
    m_changed.notify_all();
}

void CtlView::SendViewMessage(int message, intptr_t wParam, intptr_t lParam) {
    PostViewMessage(message, wParam, lParam);
}

void CtlView::ShowErrorBox(const std::string& text, const std::string& caption) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_errorBox = caption + ": " + text;
}

std::string CtlView::TakeErrorBox() {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string box;
    box.swap(m_errorBox);
    return box;
}

void CtlView::ShowInfo(const std::string& text, int) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_notices.push_back(text);
}

std::vector<std::string> CtlView::TakeNotices() {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> notices;
    notices.swap(m_notices);
    return notices;
}

void CtlView::ShowMessageBox(const std::string& text, const std::string& caption, MessageIcon) {
    std::string line = caption + ": " + text;
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lastMessage = line;
}

std::string CtlView::TakeLastMessage() {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string message;
    message.swap(m_lastMessage);
    return message;
}

#include "SoakView.h"

#include <chrono>

namespace fx {

SoakView::SoakView(Processor& processor) : m_processor(processor) {
    m_processor.Link().SetViewNotifier(this);
}

SoakView::~SoakView() {
    m_processor.Link().SetViewNotifier(nullptr);
}

void SoakView::PostViewMessage(int message, intptr_t wParam, intptr_t) {
    if (message != WM_JOB_ENDED) return;
    {
        std::lock_guard lock(m_mutex);
        ++(wParam == 0 ? m_readsEnded : m_writesEnded);
    }
    m_changed.notify_all();
}

void SoakView::SendViewMessage(int message, intptr_t wParam, intptr_t lParam) {
    PostViewMessage(message, wParam, lParam);
}

int SoakView::Ended(bool write) const {
    std::lock_guard lock(m_mutex);
    return write ? m_writesEnded : m_readsEnded;
}

bool SoakView::WaitForEnd(bool write, int before, int timeoutMs) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return (write ? m_writesEnded : m_readsEnded) > before; });
}

} // namespace fx

#pragma once

#include "link/ViewNotifier.h"

#include <QPointer>

#include <atomic>
#include <memory>

class CHalvoxView;

// Carries the link's and the jobs' messages into the view on the window's
// thread, handed over in order with the device state's changes
// (link/StateThread.h): posted messages return at once, a sent message waits
// until the view has handled it (direct when already on that thread), the
// error box is shown without anyone waiting for it.
class CViewNotifierQt : public IViewNotifier {
public:
    explicit CViewNotifierQt(CHalvoxView* view);

    void PostViewMessage(int message, intptr_t wParam, intptr_t lParam) override;
    void SendViewMessage(int message, intptr_t wParam, intptr_t lParam) override;
    void ShowErrorBox(const std::string& text, const std::string& caption) override;

    // The view is going: what is still handed over reaches it no more.
    void Detach();

private:
    QPointer<CHalvoxView> m_view;
    std::shared_ptr<std::atomic<bool>> m_attached = std::make_shared<std::atomic<bool>>(true);
};

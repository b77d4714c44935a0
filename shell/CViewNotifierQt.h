#pragma once

#include "link/ViewNotifier.h"

#include <QPointer>

class CHalvoxView;

// Carries the link's and the jobs' messages into the view on the
// user-interface thread: posted messages as queued calls, sent messages as
// blocking queued calls (direct when already on that thread).
class CViewNotifierQt : public IViewNotifier {
public:
    explicit CViewNotifierQt(CHalvoxView* view);

    void PostViewMessage(int message, intptr_t wParam, intptr_t lParam) override;
    void SendViewMessage(int message, intptr_t wParam, intptr_t lParam) override;
    void ShowErrorBox(const std::string& text, const std::string& caption) override;

private:
    QPointer<CHalvoxView> m_view;
};

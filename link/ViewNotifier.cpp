#include "link/ViewNotifier.h"

#include <atomic>

namespace {
std::atomic<IViewNotifier*> g_viewNotifier{nullptr};
}

void SetViewNotifier(IViewNotifier* notifier) {
    g_viewNotifier = notifier;
}
IViewNotifier* GetViewNotifier() {
    return g_viewNotifier;
}

void PostToView(int message, intptr_t wParam, intptr_t lParam) {
    if (IViewNotifier* notifier = g_viewNotifier)
        notifier->PostViewMessage(message, wParam, lParam);
}

void SendToView(int message, intptr_t wParam, intptr_t lParam) {
    if (IViewNotifier* notifier = g_viewNotifier)
        notifier->SendViewMessage(message, wParam, lParam);
}

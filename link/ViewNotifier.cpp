#include "link/ViewNotifier.h"

#include "link/Link.h"

void SetViewNotifier(IViewNotifier* notifier) {
    fx::CurrentLink().SetViewNotifier(notifier);
}

IViewNotifier* GetViewNotifier() {
    return fx::CurrentLink().ViewNotifier();
}

void PostToView(int message, intptr_t wParam, intptr_t lParam) {
    if (IViewNotifier* notifier = GetViewNotifier())
        notifier->PostViewMessage(message, wParam, lParam);
}

void SendToView(int message, intptr_t wParam, intptr_t lParam) {
    if (IViewNotifier* notifier = GetViewNotifier())
        notifier->SendViewMessage(message, wParam, lParam);
}

#include "link/HidDevice.h"

#include <mutex>

namespace {
std::mutex g_listenerMutex;
HidNoticeCallback g_listener;
} // namespace

void SetHidNoticeListener(HidNoticeCallback listener) {
    std::lock_guard lock(g_listenerMutex);
    g_listener = std::move(listener);
}

void RaiseHidNotice(HidNotice notice, const std::string& path) {
    HidNoticeCallback listener;
    {
        std::lock_guard lock(g_listenerMutex);
        listener = g_listener;
    }
    if (listener) listener(notice, path);
}

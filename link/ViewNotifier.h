#pragma once

#include <cstdint>
#include <string>

// Window messages from background threads to the main view. The numbers are
// the processor family's own and stay as they are.
constexpr int WM_REMOTE_KEY_DATA = 1001; // reply 96: a remote key was learned (sent, blocking)
constexpr int WM_JOB_ENDED = 1002;       // a whole-image job ended; wParam 0 read, 1 write
constexpr int WM_NET_TIMEOUT = 1003;     // the network watchdog closed the link
constexpr int WM_HOST_BUSY = 1007;       // the processor serves another host ("ISCONNECTED")

// What the link and the jobs need of the main view. The editor's view
// implements it with queued and blocking-queued calls into the UI thread;
// tests install a recording one. Calls come from any thread.
class IViewNotifier {
public:
    virtual ~IViewNotifier() = default;
    // Posted: returns at once, handled later on the UI thread.
    virtual void PostViewMessage(int message, intptr_t wParam, intptr_t lParam) = 0;
    // Sent: returns when the view has handled it.
    virtual void SendViewMessage(int message, intptr_t wParam, intptr_t lParam) = 0;
    // An error box (reply 10) the view shows on its own thread; returns at
    // once, so the receiving thread never waits for it.
    virtual void ShowErrorBox(const std::string& text, const std::string& caption) = 0;
};

// Installs the view's notifier (nullptr removes it; messages are then dropped).
void SetViewNotifier(IViewNotifier* notifier);
IViewNotifier* GetViewNotifier();
void PostToView(int message, intptr_t wParam = 0, intptr_t lParam = 0);
void SendToView(int message, intptr_t wParam = 0, intptr_t lParam = 0);

#include "link/LinkState.h"

#include "link/ReplyLedger.h"

std::atomic<bool> g_bConnected{false};
std::atomic<bool> g_bNetMode{false};
std::atomic<bool> g_bJobIdle{true};
std::atomic<bool> g_bQueuedSend{true};
std::atomic<bool> g_bCoalesce{true};
std::atomic<bool> g_bParamsChanged{false};
std::atomic<bool> g_bReadThreadEnd{false};
std::atomic<bool> g_bAwaitReply{false};

AutoResetEvent g_hReplyEvent{true};
AutoResetEvent g_hReaderEndedEvent{false};

std::mutex g_SendLock;

bool LinkUsable() {
    return g_bConnected && !g_bReadThreadEnd;
}

void NotifyLinkGone() {
    g_hReplyEvent.Interrupt();
    Replies().WakeAll();
}

void GiveUpAwaitedReply() {
    g_bAwaitReply = false;
    g_hReplyEvent.Set();
}

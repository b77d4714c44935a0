#include "link/LinkState.h"

#include "link/ReplyLedger.h"

AutoResetEvent g_hReplyEvent{true};
AutoResetEvent g_hReaderEndedEvent{false};

std::mutex g_SendLock;

bool LinkUsable() {
    return g_bConnected() && !g_bReadThreadEnd();
}

void NotifyLinkGone() {
    g_hReplyEvent.Interrupt();
    Replies().WakeAll();
}

void GiveUpAwaitedReply() {
    g_bAwaitReply() = false;
    g_hReplyEvent.Set();
}

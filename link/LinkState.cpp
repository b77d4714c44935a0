#include "link/LinkState.h"

#include "link/Link.h"

AutoResetEvent& g_hReplyEvent() {
    return fx::CurrentLink().ReplyEvent();
}

AutoResetEvent& g_hReaderEndedEvent() {
    return fx::CurrentLink().ReaderEndedEvent();
}

std::mutex& g_SendLock() {
    return fx::CurrentLink().SendLock();
}

bool LinkUsable() {
    return fx::CurrentLink().Usable();
}

void NotifyLinkGone() {
    fx::CurrentLink().NotifyGone();
}

void GiveUpAwaitedReply() {
    fx::CurrentLink().GiveUpAwaitedReply();
}

#pragma once

#include <atomic>

namespace fx {

// The link's flags, shared by the user-interface thread, the reader threads
// and the job threads. The device state's store owns them beside the
// processor's memory and hands them to the link when it is made; the link
// only reads and sets them.
struct LinkFlags {
    std::atomic<bool> connected{false};     // a link (USB or network) is open
    std::atomic<bool> netMode{false};       // the network is the transport
    std::atomic<bool> jobIdle{true};        // no whole-image job is running
    std::atomic<bool> queuedSend{true};     // no whole-image job runs: the outbox may coalesce
    std::atomic<bool> coalesce{true};       // a newer parameter write replaces a waiting one
    std::atomic<bool> paramsChanged{false}; // parameters differ from the stored mode
    std::atomic<bool> readThreadEnd{false}; // the reader stopped after a failed read
    std::atomic<bool> awaitReply{false};    // the outbox wrote a record and no reply came since
};

// The flags the link works with: those handed over last, or the link's own
// in a program without a store.
LinkFlags& Flags();
void UseLinkFlags(LinkFlags* flags);

} // namespace fx

// The flags under their familiar names.
inline std::atomic<bool>& g_bConnected() {
    return fx::Flags().connected;
}
inline std::atomic<bool>& g_bNetMode() {
    return fx::Flags().netMode;
}
inline std::atomic<bool>& g_bJobIdle() {
    return fx::Flags().jobIdle;
}
inline std::atomic<bool>& g_bQueuedSend() {
    return fx::Flags().queuedSend;
}
inline std::atomic<bool>& g_bCoalesce() {
    return fx::Flags().coalesce;
}
inline std::atomic<bool>& g_bParamsChanged() {
    return fx::Flags().paramsChanged;
}
inline std::atomic<bool>& g_bReadThreadEnd() {
    return fx::Flags().readThreadEnd;
}
inline std::atomic<bool>& g_bAwaitReply() {
    return fx::Flags().awaitReply;
}

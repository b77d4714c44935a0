#pragma once

#include "link/LinkThreads.h"
#include "link/NetLink.h"
#include "link/RxAssembler.h"
#include "link/Socket.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace fx {

// One network connection: its socket, its receive state and its watchdog
// figures. The link's threads hold it, so a thread that outlives its
// connection (still busy in a reply handler) never touches the next one.
struct NetSession {
    Socket socket;
    RxAssembler rx; // used by the receive thread only
    std::atomic<bool> open{false};
    std::atomic<int> misses{0};
    std::atomic<int64_t> lastReceiveMs{0};
};

// A link's network side: the current connection, its threads and the
// target it connects to (link/NetLink.h works on it). Its link closes the
// connection before it goes (Link::Shutdown).
class NetLinkPart {
public:
    NetLinkPart() = default;
    NetLinkPart(const NetLinkPart&) = delete;
    NetLinkPart& operator=(const NetLinkPart&) = delete;

    std::mutex sessionMutex;
    std::shared_ptr<NetSession> session; // the current connection, open or not
    LinkThreads threads;

    std::mutex targetMutex;
    std::string targetAddress;
    int targetPort = kDefaultNetPort;
};

} // namespace fx

#pragma once

#include "link/NetLink.h"
#include "link/RxAssembler.h"
#include "link/Socket.h"

#include <asio/io_context.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <asio/steady_timer.hpp>
#include <asio/strand.hpp>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

namespace fx {

class Link;

// One network connection: its socket, its receive state and its watchdog
// figures, and its waits on the event loop (link/LinkLoop.h): the socket
// becoming readable and the watchdog's tick, whose handlers run one at a
// time on its strand. The handlers hold it, so one that outlives its
// connection (still busy in a reply handler) never touches the next one.
struct NetSession {
    // The handlers run on the link's writer strand (link/LinkOutboxStrand.h).
    NetSession(asio::strand<asio::io_context::executor_type> writerStrand, Link& owner)
        : link(&owner), strand(std::move(writerStrand)), readable(strand), watchdog(strand) {}
    // The socket closes its own descriptor.
    ~NetSession() { readable.release(); }
    NetSession(const NetSession&) = delete;
    NetSession& operator=(const NetSession&) = delete;

    static constexpr int kReceiveEnded = 1;
    static constexpr int kWatchdogEnded = 2;
    // A wait on the loop has left for good.
    void MarkEnded(int part) {
        {
            std::lock_guard lock(endMutex);
            ended |= part;
        }
        endChanged.notify_all();
    }
    // Waits up to timeoutMs (real time) until both waits have left.
    bool WaitEnded(int timeoutMs) {
        std::unique_lock lock(endMutex);
        return endChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [this] { return ended == (kReceiveEnded | kWatchdogEnded); });
    }

    Link* link;
    Socket socket;
    RxAssembler rx; // used by the receive handler only
    std::atomic<bool> open{false};
    std::atomic<int> misses{0};
    std::atomic<int64_t> lastReceiveMs{0};
    asio::strand<asio::io_context::executor_type> strand;
    asio::posix::stream_descriptor readable;
    asio::steady_timer watchdog;
    std::mutex endMutex;
    std::condition_variable endChanged;
    int ended = 0;
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

    std::mutex targetMutex;
    std::string targetAddress;
    int targetPort = kDefaultNetPort;
};

} // namespace fx

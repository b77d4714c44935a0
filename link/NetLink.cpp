#include "link/NetLink.h"

#include "link/DebugLog.h"
#include "link/Link.h"
#include "link/LinkClock.h"
#include "link/LinkLoop.h"
#include "link/LinkOutbox.h"
#include "link/LinkOutboxStrand.h"
#include "link/LinkState.h"
#include "link/NetLinkPart.h"
#include "link/ReplySink.h"
#include "link/ViewNotifier.h"

#include <asio/bind_executor.hpp>
#include <asio/post.hpp>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>

namespace {
constexpr char kHeartbeat[] = "$HB$";
constexpr int kHeartbeatSize = 4;
constexpr char kHostBusy[] = "ISCONNECTED";
constexpr int kHostBusySize = 11;
// Length byte + payload must fit one byte.
constexpr int kMaxFramePayload = 254;

using fx::NetSession;

fx::NetLinkPart& Net() {
    return fx::CurrentLink().Net();
}

std::shared_ptr<NetSession> CurrentSession() {
    fx::NetLinkPart& net = Net();
    std::lock_guard lock(net.sessionMutex);
    return net.session;
}

// Closes a connection, once, by whoever comes first: its socket stops (a
// blocked receive returns); when it is the current one, the link flag, the
// outbox and (unless the caller clears it once the receive thread has ended)
// the status block go too. The closer's message to the view (0: none) goes
// before the waiters wake, so a job ended by the close is heard of after it.
// True for the one that closed it.
bool CloseSession(NetSession& session, bool clearStatusNow, int viewMessage) {
    if (!session.open.exchange(false)) return false;
    fx::NetLinkPart& net = Net();
    std::lock_guard lock(net.sessionMutex);
    session.socket.Shutdown();
    session.misses = 0;
    const bool current = net.session.get() == &session;
    if (current) g_bConnected() = false;
    if (viewMessage != 0) PostToView(viewMessage);
    if (current) {
        NotifyLinkGone();
        fx::Outbox().Stop();
        if (clearStatusNow) fx::DeviceReplies().LinkClosed();
    }
    return true;
}

int SendFrameOn(NetSession& session, const uint8_t* payload, int count) {
    count = std::clamp(count, 0, kMaxFramePayload);
    uint8_t frame[kMaxFramePayload + 3];
    const int size = BuildNetFrame(payload, count, frame);
    return session.socket.Send(frame, size);
}

void EchoHeartbeat(NetSession& session) {
    {
        std::lock_guard lock(g_SendLock()); // never inside a frame the outbox is writing
        session.socket.Send(reinterpret_cast<const uint8_t*>(kHeartbeat), kHeartbeatSize);
    }
    session.lastReceiveMs = LinkNowMs();
}

// One receive: heartbeat echo, host-busy notice, or bytes for the assembler.
bool ReceiveOnce(NetSession& session) {
    uint8_t buffer[kRxBufferSize];
    const int received = session.socket.Receive(buffer, kRxBufferSize);
    // The loop said readable, yet nothing is there (the wait may wake before
    // the bytes do): nothing lost, the next wait takes them.
    if (received < 0 && (Socket::LastError() == EAGAIN || Socket::LastError() == EWOULDBLOCK))
        return true;
    if (received <= 0) {
        DebugLog("NetRecv Error \n");
        return false;
    }
    const uint8_t* bytes = buffer;
    int count = received;
    // The markers stand between frames; inside a frame split over several
    // receives the same bytes are the frame's data.
    const bool betweenFrames = !session.rx.InFrame();
    if (betweenFrames && count >= kHeartbeatSize &&
        std::memcmp(bytes, kHeartbeat, kHeartbeatSize) == 0) {
        EchoHeartbeat(session);
        if (count == kHeartbeatSize) return true;
        bytes += kHeartbeatSize;
        count -= kHeartbeatSize;
    } else if (betweenFrames && count >= kHostBusySize &&
               std::memcmp(bytes, kHostBusy, kHostBusySize) == 0) {
        // The processor serves another host; the rest of this read is dropped.
        PostToView(WM_HOST_BUSY);
        return true;
    }
    session.lastReceiveMs = LinkNowMs();
    session.rx.Append(bytes, count);
    return true;
}

// The receive has ended: a failure of a link that is still open (not one
// being closed) stops everything that waits for its replies.
void EndReceive(NetSession& session, bool failed) {
    if (failed && session.open) {
        g_bJobIdle() = false;
        g_bReadThreadEnd() = true;
        g_hReplyEvent().Set(); // no sender waits for a reply that cannot come
    }
    g_hReaderEndedEvent().Set();
    CloseSession(session, true, 0);
    DebugLog("End thread: RecvThreadProc \n");
    session.MarkEnded(NetSession::kReceiveEnded);
}

// Waits on the loop until the socket has bytes (or closed), then takes them
// in one receive, which does not block then.
void ArmReceive(const std::shared_ptr<NetSession>& session) {
    session->readable.async_wait(
        asio::posix::descriptor_base::wait_read,
        asio::bind_executor(session->strand, [session](const asio::error_code& error) {
            fx::LinkScope scope(*session->link);
            if (error || !session->open) return EndReceive(*session, false);
            bool received = false;
            // A reply that lets the outbox's next record go writes it before
            // this handler ends (the outbox shares the strand).
            session->link->Outbox().TakeReplies([&] { received = ReceiveOnce(*session); });
            if (!received) return EndReceive(*session, true);
            ArmReceive(session);
        }));
}

// The outbox's wire on the network: the tag for the kind, then the frame.
class NetWire : public fx::ILinkWire {
public:
    explicit NetWire(std::shared_ptr<NetSession> session) : m_session(std::move(session)) {}
    bool WriteRecord(fx::RecordKind kind, const uint8_t* bytes, int count) override {
        if (!m_session->open) return false;
        uint8_t payload[1 + kMaxFramePayload];
        const int taken = std::clamp(count, 0, kMaxFramePayload - 1);
        payload[0] = kind == fx::RecordKind::Radio ? kNetTagRadio : kNetTagCommand;
        if (taken > 0) std::memcpy(payload + 1, bytes, static_cast<size_t>(taken));
        std::lock_guard lock(g_SendLock());
        return SendFrameOn(*m_session, payload, taken + 1) > 0;
    }

private:
    std::shared_ptr<NetSession> m_session;
};

// Every watchdog tick: a receive gap longer than the heartbeat's counts a
// miss, and too many close the link.
void ArmWatchdog(const std::shared_ptr<NetSession>& session) {
    session->watchdog.expires_after(std::chrono::milliseconds(LinkRealMs(kWatchdogTickMs)));
    session->watchdog.async_wait(
        asio::bind_executor(session->strand, [session](const asio::error_code& error) {
            fx::LinkScope scope(*session->link);
            const bool stop = error || !session->open ||
                              (LinkNowMs() - session->lastReceiveMs > kHeartbeatGapMs &&
                               ++session->misses > kMaxHeartbeatMisses &&
                               CloseSession(*session, true, WM_NET_TIMEOUT));
            if (!stop && session->open) return ArmWatchdog(session);
            DebugLog("End thread: NetTimeoutThreadProc \n");
            session->MarkEnded(NetSession::kWatchdogEnded);
        }));
}

// Ends the connection's waits on the loop: the receive and the watchdog
// leave at once.
void CancelWaits(const std::shared_ptr<NetSession>& session) {
    asio::post(session->strand, [session] {
        session->readable.cancel();
        session->watchdog.cancel();
    });
}

// Closes the current connection (if open), waits a bounded time for its
// waits on the loop and clears the status block once they have ended.
void EndCurrentSession() {
    const std::shared_ptr<NetSession> session = CurrentSession();
    const bool closed = session && CloseSession(*session, false, 0);
    // Only a network link's outbox: a USB link stays open until a new
    // connection stands (the editor lets go of it then).
    if (session) fx::Outbox().Close();
    fx::NetLinkPart& net = Net();
    if (session) {
        CancelWaits(session);
        session->WaitEnded(kReaderEndWaitMs);
    }
    if (closed) fx::DeviceReplies().LinkClosed();
    std::lock_guard lock(net.sessionMutex);
    if (net.session == session) net.session.reset();
}

} // namespace

void SetNetTarget(const std::string& address, int port) {
    fx::NetLinkPart& net = Net();
    std::lock_guard lock(net.targetMutex);
    net.targetAddress = address;
    net.targetPort = port;
}

int OpenNetTarget() {
    std::string address;
    int port;
    {
        fx::NetLinkPart& net = Net();
        std::lock_guard lock(net.targetMutex);
        address = net.targetAddress;
        port = net.targetPort;
    }
    if (address.empty()) return 0;
    return NetConnect(address, port) == 1 ? 1 : 0;
}

int NetHeartbeatMisses() {
    const std::shared_ptr<NetSession> session = CurrentSession();
    return session ? session->misses.load() : 0;
}

int NetConnect(const std::string& address, int port, const std::function<void()>& beforeOpen) {
    EndCurrentSession();

    fx::Link& link = fx::CurrentLink();
    auto session = std::make_shared<NetSession>(fx::OutboxStrand(link.Outbox()), link);
    NetSession* raw = session.get();
    // A read that carried more than one frame proves the processor alive.
    session->rx.SetMultiFrameHook([raw] { raw->misses = 0; });
    // A heartbeat that came glued behind a frame is answered like any other.
    session->rx.SetHeartbeatHook([raw] { EchoHeartbeat(*raw); });
    if (!session->socket.Create()) {
        DebugLog("Socket() error:%d", Socket::LastError());
        return 0;
    }
    const int error = session->socket.Connect(address, port);
    if (error != 0) return error;
    if (beforeOpen) beforeOpen();
    g_bAwaitReply() = false;
    g_bReadThreadEnd() = false;
    g_hReplyEvent().Set(); // created signalled: the first sender does not wait

    session->lastReceiveMs = LinkNowMs();
    session->open = true;
    {
        fx::NetLinkPart& net = Net();
        std::lock_guard lock(net.sessionMutex);
        net.session = session;
        g_bConnected() = true;
    }
    fx::Outbox().Open(std::make_shared<NetWire>(session), {"NetSendSync WaitObject Time Out \r\n ",
                                                           "End thread: NetWriteThreadProc \n"});
    g_hReaderEndedEvent().Reset();
    asio::post(session->strand, [session] {
        asio::error_code error;
        session->readable.assign(session->socket.Descriptor(), error);
        if (error) {
            fx::LinkScope scope(*session->link);
            EndReceive(*session, true);
            session->MarkEnded(NetSession::kWatchdogEnded);
            return;
        }
        ArmReceive(session);
        ArmWatchdog(session);
    });
    return 1;
}

void NetDisconnect(bool sendLetGo) {
    const std::shared_ptr<NetSession> session = CurrentSession();
    if (sendLetGo && session && session->open) {
        // After the reply in flight and before the socket closes; what still
        // waits is dropped.
        const uint8_t letGo[] = {CMD_LET_GO};
        fx::Outbox().PostLast(letGo, sizeof letGo);
    }
    EndCurrentSession();
}

int NetSendFrame(const uint8_t* payload, int count) {
    const std::shared_ptr<NetSession> session = CurrentSession();
    if (!session) return -1;
    std::lock_guard lock(g_SendLock());
    return SendFrameOn(*session, payload, count);
}

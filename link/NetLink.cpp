#include "link/NetLink.h"

#include "link/DebugLog.h"
#include "link/DeviceMirrors.h"
#include "link/LinkClock.h"
#include "link/LinkState.h"
#include "link/LinkThreads.h"
#include "link/RxAssembler.h"
#include "link/Socket.h"
#include "link/ViewNotifier.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

std::deque<NetQueueEntry> g_NetSendQueue;
std::mutex g_NetQueueLock;

namespace {
constexpr char kHeartbeat[] = "$HB$";
constexpr int kHeartbeatSize = 4;
constexpr char kHostBusy[] = "ISCONNECTED";
constexpr int kHostBusySize = 11;
// Length byte + payload must fit one byte.
constexpr int kMaxFramePayload = 254;

// One connection: its socket, its receive state and its watchdog figures.
// The link's threads hold it, so a thread that outlives its link (still
// busy in a reply handler) never touches the next connection.
struct NetSession {
    Socket socket;
    RxAssembler rx; // used by the receive thread only
    std::atomic<bool> open{false};
    std::atomic<int> misses{0};
    std::atomic<int64_t> lastReceiveMs{0};
};

std::mutex g_sessionMutex;
std::shared_ptr<NetSession> g_session; // the current connection, open or not

std::shared_ptr<NetSession> CurrentSession();
bool CloseSession(NetSession& session, bool clearStatusNow, int viewMessage);

// The link's threads. A link still open when the run ends is closed here,
// so its threads end before the globals they use go.
struct NetLinkThreads : LinkThreads {
    ~NetLinkThreads() {
        if (const std::shared_ptr<NetSession> session = CurrentSession())
            CloseSession(*session, true, 0);
        WaitAllEnded(kReaderEndWaitMs);
    }
};

LinkThreads& NetThreads() {
    static NetLinkThreads threads;
    return threads;
}

std::mutex g_targetMutex;
std::string g_targetAddress;
int g_targetPort = kDefaultNetPort;

std::shared_ptr<NetSession> CurrentSession() {
    std::lock_guard lock(g_sessionMutex);
    return g_session;
}

void EmptySendQueue() {
    std::lock_guard lock(g_NetQueueLock);
    g_NetSendQueue.clear();
}

// Closes a connection, once, by whoever comes first: its socket stops (a
// blocked receive returns); when it is the current one, the link flag, the
// queue and (unless the caller clears it once the receive thread has ended)
// the status block go too. The closer's message to the view (0: none) goes
// before the waiters wake, so a job ended by the close is heard of after it.
// True for the one that closed it.
bool CloseSession(NetSession& session, bool clearStatusNow, int viewMessage) {
    if (!session.open.exchange(false)) return false;
    std::lock_guard lock(g_sessionMutex);
    session.socket.Shutdown();
    session.misses = 0;
    const bool current = g_session.get() == &session;
    if (current) g_bConnected = false;
    if (viewMessage != 0) PostToView(viewMessage);
    if (current) {
        NotifyLinkGone();
        if (clearStatusNow) ClearStatusBlock();
        EmptySendQueue();
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
    session.socket.Send(reinterpret_cast<const uint8_t*>(kHeartbeat), kHeartbeatSize);
    session.lastReceiveMs = LinkNowMs();
}

// One receive: heartbeat echo, host-busy notice, or bytes for the assembler.
bool ReceiveOnce(NetSession& session) {
    uint8_t buffer[kRxBufferSize];
    const int received = session.socket.Receive(buffer, kRxBufferSize);
    if (received <= 0) {
        DebugLog("NetRecv Error \n");
        return false;
    }
    const uint8_t* bytes = buffer;
    int count = received;
    if (count >= kHeartbeatSize && std::memcmp(bytes, kHeartbeat, kHeartbeatSize) == 0) {
        EchoHeartbeat(session);
        if (count == kHeartbeatSize) return true;
        bytes += kHeartbeatSize;
        count -= kHeartbeatSize;
    } else if (count >= kHostBusySize && std::memcmp(bytes, kHostBusy, kHostBusySize) == 0) {
        // The processor serves another host; the rest of this read is dropped.
        PostToView(WM_HOST_BUSY);
        return true;
    }
    session.lastReceiveMs = LinkNowMs();
    session.rx.Append(bytes, count);
    return true;
}

void RunReceive(const std::shared_ptr<NetSession>& session) {
    g_bReadThreadEnd = false;
    g_hReaderEndedEvent.Reset();
    while (session->open) {
        if (ReceiveOnce(*session)) continue;
        // A failure of a link that is still open (not one being closed).
        if (session->open) {
            g_bJobIdle = false;
            g_bReadThreadEnd = true;
            g_hReplyEvent.Set(); // no sender waits for a reply that cannot come
        }
        break;
    }
    g_hReaderEndedEvent.Set();
    CloseSession(*session, true, 0);
    DebugLog("End thread: RecvThreadProc \n");
}

// Waits while the previous frame's reply is outstanding, at most 2 s of link
// time, in steps of 20 ms; a reply (or a closing link) ends the wait early.
void WaitForReplyInFlight(const NetSession& session) {
    const int64_t deadline = LinkNowMs() + int64_t{kWriterStepMs} * kWriterMaxSteps;
    while (g_bAwaitReply && session.open) {
        const int64_t left = deadline - LinkNowMs();
        if (left <= 0) break;
        LinkWaitEvent(g_hWriterWakeEvent, static_cast<int>(std::min<int64_t>(left, kWriterStepMs)));
    }
}

void RunWrite(const std::shared_ptr<NetSession>& session) {
    while (session->open) {
        // One frame in flight: wait for its reply, at most 2 s.
        WaitForReplyInFlight(*session);
        NetQueueEntry entry;
        bool taken = false;
        {
            std::lock_guard lock(g_NetQueueLock);
            if (session->open && !g_NetSendQueue.empty()) {
                entry = g_NetSendQueue.front();
                g_NetSendQueue.pop_front();
                taken = true;
            }
        }
        if (!taken) {
            // Nothing to send: look again after 20 ms, or as soon as a frame is queued.
            LinkWaitEvent(g_hWriterWakeEvent, kWriterStepMs);
            continue;
        }
        g_bAwaitReply = true;
        SendFrameOn(*session, entry.bytes, entry.length);
    }
    DebugLog("End thread: NetWriteThreadProc \n");
}

void RunWatchdog(const std::shared_ptr<NetSession>& session) {
    while (session->open) {
        LinkSleepMs(kWatchdogTickMs);
        if (!session->open) break;
        if (LinkNowMs() - session->lastReceiveMs <= kHeartbeatGapMs) continue;
        if (++session->misses <= kMaxHeartbeatMisses) continue;
        CloseSession(*session, true, WM_NET_TIMEOUT);
        break;
    }
    DebugLog("End thread: NetTimeoutThreadProc \n");
}

// Closes the current connection (if open), waits a bounded time for its
// threads and clears the status block once they have ended.
void EndCurrentSession() {
    const std::shared_ptr<NetSession> session = CurrentSession();
    const bool closed = session && CloseSession(*session, false, 0);
    if (session) NetThreads().WaitAllEnded(kReaderEndWaitMs);
    NetThreads().JoinEnded();
    if (closed) ClearStatusBlock();
    std::lock_guard lock(g_sessionMutex);
    if (g_session == session) g_session.reset();
}
} // namespace

void SetNetTarget(const std::string& address, int port) {
    std::lock_guard lock(g_targetMutex);
    g_targetAddress = address;
    g_targetPort = port;
}

int OpenNetTarget() {
    std::string address;
    int port;
    {
        std::lock_guard lock(g_targetMutex);
        address = g_targetAddress;
        port = g_targetPort;
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
    EmptySendQueue();

    auto session = std::make_shared<NetSession>();
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
    g_bAwaitReply = false;
    g_bReadThreadEnd = false;
    g_hReplyEvent.Set(); // created signalled: the first sender does not wait

    session->lastReceiveMs = LinkNowMs();
    session->open = true;
    {
        std::lock_guard lock(g_sessionMutex);
        g_session = session;
        g_bConnected = true;
    }
    NetThreads().Start([session] { RunReceive(session); });
    NetThreads().Start([session] { RunWrite(session); });
    NetThreads().Start([session] { RunWatchdog(session); });
    return 1;
}

void NetDisconnect(bool sendLetGo) {
    const std::shared_ptr<NetSession> session = CurrentSession();
    if (sendLetGo && session && session->open) {
        // Sent directly, not queued, so that it leaves before the socket closes.
        const uint8_t letGo[] = {kNetTagCommand, CMD_LET_GO};
        NetSendSync(letGo, sizeof letGo);
    }
    EndCurrentSession();
}

int NetSendFrame(const uint8_t* payload, int count) {
    const std::shared_ptr<NetSession> session = CurrentSession();
    return session ? SendFrameOn(*session, payload, count) : -1;
}

int NetSendSync(const uint8_t* payload, int count) {
    if (!g_bConnected) return 0;
    if (!LinkWaitEvent(g_hReplyEvent, kReplyWaitMs))
        DebugLog("NetSendSync WaitObject Time Out \r\n ");
    if (!g_bConnected) return 0; // the link closed while waiting
    std::lock_guard lock(g_SendLock);
    return NetSendFrame(payload, count);
}

void NetEnqueue(const NetQueueKey& key, const uint8_t* payload, int count) {
    NetQueueEntry entry;
    entry.key = key;
    entry.length = std::clamp(count, 0, kMaxNetFrame);
    if (entry.length > 0) std::memcpy(entry.bytes, payload, static_cast<size_t>(entry.length));

    std::lock_guard lock(g_NetQueueLock);
    if (g_bCoalesce) {
        auto queued = std::find_if(g_NetSendQueue.begin(), g_NetSendQueue.end(),
                                   [&](const NetQueueEntry& e) { return e.key == key; });
        if (queued != g_NetSendQueue.end()) {
            *queued = entry; // the newest value keeps the older one's place
            return;
        }
    }
    g_NetSendQueue.push_back(entry);
    g_hWriterWakeEvent.Set();
}

void RecvThreadProc() {
    if (const std::shared_ptr<NetSession> session = CurrentSession()) RunReceive(session);
}

void NetWriteThreadProc() {
    if (const std::shared_ptr<NetSession> session = CurrentSession()) RunWrite(session);
}

void NetTimeoutThreadProc() {
    if (const std::shared_ptr<NetSession> session = CurrentSession()) RunWatchdog(session);
}

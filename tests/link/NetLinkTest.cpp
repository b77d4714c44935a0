#include "link/NetLink.h"
#include "link/ReplyDispatcher.h"
#include "link/Socket.h"
#include "state/DeviceMirrors.h"

#include "LinkTestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace {
using linktest::DebugLines;
using linktest::LinkGlobalsGuard;
using linktest::WaitUntil;
using Bytes = std::vector<uint8_t>;

Bytes Frame(const Bytes& payload) {
    Bytes out(payload.size() + 3);
    BuildNetFrame(payload.data(), static_cast<int>(payload.size()), out.data());
    return out;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Bytes_Tail(const Bytes& bytes) {
    return Bytes(bytes.end() - 5, bytes.end());
}

Bytes Ascii(const char* text) {
    return Bytes(text, text + std::strlen(text));
}

// A reply frame as the processor sends it: prefix, code, then the bytes.
Bytes ReplyFrame(uint8_t code, Bytes rest = {}) {
    Bytes record = {0x00, code};
    record.insert(record.end(), rest.begin(), rest.end());
    return Frame(record);
}

// Reply 96 makes the dispatcher send 1001 with the key byte: an observable,
// ordered trace of dispatched frames.
Bytes KeyFrame(uint8_t key) {
    return ReplyFrame(REPLY_LEARNED_KEY, {0, 1, key});
}

// What the processor received: framed payloads, and the unframed bytes
// (heartbeat echoes) found between them.
struct Received {
    std::vector<Bytes> payloads;
    std::string unframed;
};

Received Parse(const Bytes& bytes) {
    Received r;
    size_t i = 0;
    while (i < bytes.size()) {
        if (bytes[i] == kNetFrameStart && i + 1 < bytes.size() &&
            i + bytes[i + 1] + 2 <= bytes.size()) {
            const size_t n = bytes[i + 1];
            r.payloads.emplace_back(bytes.begin() + long(i) + 2, bytes.begin() + long(i + n + 1));
            i += n + 2;
        } else {
            r.unframed += static_cast<char>(bytes[i++]);
        }
    }
    return r;
}

// The processor's side: a TCP listener on 127.0.0.1 (free port) accepting
// clients one after another, recording what the current client sends.
class LoopbackPeer {
public:
    LoopbackPeer() {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_listener, 4);
        socklen_t len = sizeof addr;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~LoopbackPeer() {
        m_stop = true;
        m_thread.join();
        StopHeartbeat();
        DropClient();
        ::close(m_listener);
    }

    int Port() const { return m_port; }

    bool WaitForClient(int timeoutMs = 5000) {
        return WaitUntil([this] { return Client() >= 0; }, timeoutMs);
    }
    void Send(const Bytes& bytes) {
        const int fd = Client();
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
    }
    // Closes the current client's connection from the processor's side.
    void DropClient() {
        std::lock_guard lock(m_mutex);
        if (m_client >= 0) ::shutdown(m_client, SHUT_RDWR);
    }
    Bytes Bytes_() const {
        std::lock_guard lock(m_mutex);
        return m_received;
    }
    Received Got() const { return Parse(Bytes_()); }
    bool WaitForPayloads(size_t count, int timeoutMs = 5000) const {
        return WaitUntil([&] { return Got().payloads.size() >= count; }, timeoutMs);
    }
    bool ClientClosed() const {
        std::lock_guard lock(m_mutex);
        return m_clientClosed;
    }
    void ForgetReceived() {
        std::lock_guard lock(m_mutex);
        m_received.clear();
    }
    // Sends "$HB$" every periodMs (real time) until stopped.
    void StartHeartbeat(int periodMs) {
        m_heartbeat = std::thread([this, periodMs] {
            while (!m_stopHeartbeat) {
                const int fd = Client();
                if (fd >= 0) ::send(fd, "$HB$", 4, MSG_NOSIGNAL);
                std::this_thread::sleep_for(std::chrono::milliseconds(periodMs));
            }
        });
    }
    void StopHeartbeat() {
        m_stopHeartbeat = true;
        if (m_heartbeat.joinable()) m_heartbeat.join();
    }

private:
    int Client() const {
        std::lock_guard lock(m_mutex);
        return m_clientClosed ? -1 : m_client;
    }

    void Serve() {
        while (!m_stop) {
            pollfd listen{m_listener, POLLIN, 0};
            if (::poll(&listen, 1, 20) <= 0) continue;
            const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            {
                std::lock_guard lock(m_mutex);
                if (m_client >= 0) ::close(m_client);
                m_client = fd;
                m_clientClosed = false;
                m_received.clear();
            }
            ReadClient(fd);
        }
    }

    void ReadClient(int fd) {
        uint8_t buffer[512];
        while (!m_stop) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            std::lock_guard lock(m_mutex);
            if (n <= 0) {
                m_clientClosed = true;
                return;
            }
            m_received.insert(m_received.end(), buffer, buffer + n);
        }
    }

    int m_listener = -1;
    int m_port = 0;
    mutable std::mutex m_mutex;
    int m_client = -1;
    bool m_clientClosed = false;
    Bytes m_received;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_stopHeartbeat{false};
    std::thread m_thread;
    std::thread m_heartbeat;
};

class NetLink : public ::testing::Test {
protected:
    void SetUp() override { g_bNetMode() = true; }
    void TearDown() override {
        NetDisconnect(false);
        SetLinkClock(nullptr);
    }
    // Link time runs `factor` times faster until the link has closed.
    void UseFastClock(int factor) { SetLinkClock(std::make_shared<ScaledLinkClock>(factor)); }
    void Connect() {
        ASSERT_EQ(NetConnect("127.0.0.1", peer.Port()), 1);
        ASSERT_TRUE(peer.WaitForClient());
        ASSERT_TRUE(g_bConnected());
    }
    std::vector<intptr_t> KeyMessages() {
        std::vector<intptr_t> keys;
        for (const auto& m : guard.view.Messages())
            if (m.message == WM_REMOTE_KEY_DATA) keys.push_back(m.wParam);
        return keys;
    }
    bool WaitForKeys(size_t count) {
        return WaitUntil([&] { return KeyMessages().size() >= count; });
    }

    LinkGlobalsGuard guard;
    LoopbackPeer peer;
};

TEST_F(NetLink, ConnectFailuresReturnTheErrorCode) {
    int closedPort;
    {
        LoopbackPeer gone;
        closedPort = gone.Port();
    }
    // What runs before the link takes a connection over (the editor lets go
    // of its USB link there) runs only for a connection that stands.
    int takeOvers = 0;
    const auto takeOver = [&] { ++takeOvers; };
    EXPECT_EQ(NetConnect("127.0.0.1", closedPort, takeOver), ECONNREFUSED);
    EXPECT_FALSE(g_bConnected());
    EXPECT_EQ(NetConnect("not an address", peer.Port(), takeOver), EINVAL);
    EXPECT_FALSE(g_bConnected());
    EXPECT_EQ(0, takeOvers);
    ASSERT_EQ(1, NetConnect("127.0.0.1", peer.Port(), [&] {
                  EXPECT_FALSE(g_bConnected()); // before the link is open
                  ++takeOvers;
              }));
    EXPECT_EQ(1, takeOvers);
    ASSERT_TRUE(peer.WaitForClient());
    EXPECT_TRUE(g_bConnected());
}

// Every test run limits connections to loopback, so no test can dial the
// dialog's default address or any other host, whatever it presses.
TEST(SocketGuard, TestRunsMayOnlyDialLoopback) {
    EXPECT_TRUE(Socket::LoopbackOnly());
    const struct {
        const char* address;
        bool loopback;
    } cases[] = {{"127.0.0.1", true},      {"127.255.0.9", true}, {"192.168.1.123", false},
                 {"10.0.0.1", false},      {"128.0.0.1", false},  {"0.0.0.0", false},
                 {"not an address", false}};
    for (const auto& c : cases)
        EXPECT_EQ(Socket::IsLoopbackAddress(c.address), c.loopback) << c.address;
}

TEST_F(NetLink, HeartbeatIsEchoedUnframedAndAFrameBehindItIsDispatched) {
    Connect();
    peer.Send(Ascii("$HB$"));
    ASSERT_TRUE(WaitUntil([&] { return peer.Got().unframed == "$HB$"; }));

    peer.Send(Join({Ascii("$HB$"), KeyFrame(0x42)}));
    ASSERT_TRUE(WaitForKeys(1));
    EXPECT_EQ(KeyMessages(), std::vector<intptr_t>{0x42});
    EXPECT_TRUE(WaitUntil([&] { return peer.Got().unframed == "$HB$$HB$"; }));
    EXPECT_TRUE(peer.Got().payloads.empty());
}

TEST_F(NetLink, FramesOfOneReadAreDispatchedInOrder) {
    Connect();
    peer.Send(Join({KeyFrame(1), KeyFrame(2), KeyFrame(3)}));
    ASSERT_TRUE(WaitForKeys(3));
    EXPECT_EQ(KeyMessages(), (std::vector<intptr_t>{1, 2, 3}));
}

TEST_F(NetLink, HostBusyPostsItsMessageAndDropsTheRestOfTheRead) {
    Connect();
    peer.Send(Join({Ascii("ISCONNECTED"), KeyFrame(7)}));
    ASSERT_TRUE(guard.view.WaitForMessage(WM_HOST_BUSY));
    // A later frame still gets through; the one behind the notice did not.
    peer.Send(KeyFrame(8));
    ASSERT_TRUE(WaitForKeys(1));
    const std::vector<linktest::RecordingView::Message> expected = {{WM_HOST_BUSY, 0, false},
                                                                    {WM_REMOTE_KEY_DATA, 8, true}};
    EXPECT_EQ(guard.view.Messages(), expected);
    EXPECT_TRUE(peer.Got().unframed.empty());
    EXPECT_TRUE(g_bConnected());
}

// The writer keeps one frame in flight; meanwhile slider moves for one
// parameter coalesce into the latest value, other keys keep their order.
TEST_F(NetLink, QueuedWritesCoalesceWhileAReplyIsOutstanding) {
    struct Case {
        bool coalesce;
        std::vector<uint8_t> expectedValues; // low byte of each DSP write sent, in order
    };
    const Case cases[] = {
        {true, {10, 77}},
        {false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 77}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.coalesce);
        Connect();
        g_bQueuedSend() = true;
        g_bCoalesce() = c.coalesce;
        SendShortCmd({CMD_GET_MODE});
        ASSERT_TRUE(peer.WaitForPayloads(1));
        // The processor is slow: ten moves of one slider, then another control.
        for (uint32_t value = 1; value <= 10; ++value) SendDspWrite(1, 14, &value, 1);
        const uint32_t other = 77;
        SendDspWrite(1, 15, &other, 1);

        // Each command's answer lets exactly the next frame go.
        const size_t total = 1 + c.expectedValues.size();
        for (size_t sent = 1; sent < total; ++sent) {
            peer.Send(ReplyFrame(sent == 1 ? REPLY_CURRENT_MODE : REPLY_DSP_WRITE));
            ASSERT_TRUE(peer.WaitForPayloads(sent + 1)) << sent;
        }
        peer.Send(ReplyFrame(REPLY_DSP_WRITE));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));

        const Received got = peer.Got();
        ASSERT_EQ(got.payloads.size(), total);
        EXPECT_EQ(got.payloads[0], (Bytes{0x81, CMD_GET_MODE}));
        for (size_t i = 1; i < total; ++i) {
            const Bytes& p = got.payloads[i];
            ASSERT_EQ(p.size(), 10u);
            EXPECT_EQ(Bytes(p.begin(), p.begin() + 6), (Bytes{0x81, 9, 0, 1, p[4], 1}));
            EXPECT_EQ(p[4], i + 1 == total ? 15 : 14);
            EXPECT_EQ(p[9], c.expectedValues[i - 1]) << i;
        }
        NetDisconnect(false);
        g_bCoalesce() = true;
    }
}

TEST_F(NetLink, WriterMovesOnAfterTwoSecondsWithoutAReply) {
    UseFastClock(20);
    Connect();
    peer.StartHeartbeat(20); // keeps the watchdog quiet (400 ms of link time)
    g_bQueuedSend() = true;
    SendShortCmd({CMD_GET_MODE});
    SendShortCmd({CMD_GET_STATUS});
    ASSERT_TRUE(peer.WaitForPayloads(1));
    const int64_t firstSeen = LinkNowMs();
    ASSERT_TRUE(peer.WaitForPayloads(2));
    const int64_t secondSeen = LinkNowMs();
    peer.StopHeartbeat();
    EXPECT_EQ(peer.Got().payloads[1], (Bytes{0x81, CMD_GET_STATUS}));
    // The reply wait of 2000 ms passes before the writer gives up on the reply.
    EXPECT_GE(secondSeen - firstSeen, 1800);
    EXPECT_TRUE(g_bConnected());
}

TEST_F(NetLink, SilenceClosesTheLinkWithTheTimeoutMessage) {
    UseFastClock(20);
    DebugLines lines;
    const int64_t start = LinkNowMs();
    Connect();
    g_StatusBlock()[2] = 5;
    ASSERT_TRUE(guard.view.WaitForMessage(WM_NET_TIMEOUT));
    const int64_t closedAt = LinkNowMs();
    EXPECT_FALSE(g_bConnected());
    // More than 3000 ms of silence, then six watchdog ticks.
    EXPECT_GE(closedAt - start, 3500);
    EXPECT_EQ(NetHeartbeatMisses(), 0);
    EXPECT_TRUE(WaitUntil([&] { return peer.ClientClosed(); }));
    EXPECT_TRUE(lines.WaitFor("End thread: NetTimeoutThreadProc \n"));
    EXPECT_TRUE(lines.WaitFor("End thread: NetWriteThreadProc \n"));
    EXPECT_TRUE(lines.WaitFor("End thread: RecvThreadProc \n"));

    // Cleared by whoever closed the link.
    NetDisconnect(false);
    EXPECT_EQ(g_StatusBlock()[2], 0);
    std::vector<int> messages;
    for (const auto& m : guard.view.Messages()) messages.push_back(m.message);
    EXPECT_EQ(messages, std::vector<int>{WM_NET_TIMEOUT});
}

TEST_F(NetLink, HeartbeatsDoNotResetMissesButAMultiFrameReadDoes) {
    UseFastClock(2);
    Connect();
    ASSERT_TRUE(WaitUntil([] { return NetHeartbeatMisses() >= 1; }));
    peer.Send(Ascii("$HB$"));
    ASSERT_TRUE(WaitUntil([&] { return peer.Got().unframed == "$HB$"; }));
    EXPECT_GE(NetHeartbeatMisses(), 1);
    peer.Send(Join({KeyFrame(1), KeyFrame(2)}));
    ASSERT_TRUE(WaitForKeys(2));
    // The count is reset once the read's last frame has been dispatched.
    EXPECT_TRUE(WaitUntil([] { return NetHeartbeatMisses() == 0; }));
    EXPECT_TRUE(g_bConnected());
}

TEST_F(NetLink, DisconnectSendsLetGoLastAndEmptiesTheQueue) {
    Connect();
    g_bQueuedSend() = true;
    SendShortCmd({CMD_GET_MODE}); // stays unanswered
    ASSERT_TRUE(peer.WaitForPayloads(1));
    SendShortCmd({CMD_GET_STATUS});
    SendShortCmd({CMD_GET_REMOTE_KEYS});
    g_StatusBlock()[1] = 4;

    NetDisconnect(true);
    EXPECT_FALSE(g_bConnected());
    EXPECT_EQ(g_StatusBlock()[1], 0);
    ASSERT_TRUE(WaitUntil([&] { return peer.ClientClosed(); }));
    const Received got = peer.Got();
    ASSERT_EQ(got.payloads.size(), 2u);
    EXPECT_EQ(got.payloads.back(), (Bytes{0x81, CMD_LET_GO}));
    EXPECT_EQ(Bytes_Tail(peer.Bytes_()), Frame({0x81, CMD_LET_GO}));
}

TEST_F(NetLink, ProcessorHangingUpEndsTheLinkWithoutAMessage) {
    DebugLines lines;
    Connect();
    g_bJobIdle() = true;
    g_hReplyEvent().Reset();
    peer.DropClient();
    ASSERT_TRUE(lines.WaitFor("End thread: RecvThreadProc \n"));
    EXPECT_TRUE(lines.Has("NetRecv Error \n"));
    EXPECT_FALSE(g_bConnected());
    EXPECT_TRUE(g_bReadThreadEnd());
    EXPECT_FALSE(g_bJobIdle());
    EXPECT_TRUE(g_hReplyEvent().IsSet());
    EXPECT_TRUE(guard.view.Messages().empty());
    NetDisconnect(false);
    Connect();
}

// Closing must not wait forever for a receive thread stuck in a reply handler
// (here: the view busy), and that thread must leave the next link alone.
TEST_F(NetLink, ClosingDoesNotHangOnABusyReceiveThread) {
    linktest::BlockingView busy;
    SetViewNotifier(&busy);
    Connect();
    peer.Send(KeyFrame(1));
    ASSERT_TRUE(WaitUntil([&] { return busy.Blocked(); }));
    NetDisconnect(false);
    EXPECT_FALSE(g_bConnected());

    Connect();
    busy.Release();
    peer.Send(KeyFrame(2));
    ASSERT_TRUE(WaitUntil([&] { return busy.Messages().size() == 2; }));
    EXPECT_TRUE(g_bConnected());
    EXPECT_FALSE(g_bReadThreadEnd());
    NetDisconnect(false);
    SetViewNotifier(&guard.view);
}

TEST_F(NetLink, LinkReopensManyTimes) {
    for (int round = 0; round < 10; ++round) {
        Connect();
        g_bQueuedSend() = false;
        SendShortCmd({CMD_GET_STATUS});
        ASSERT_TRUE(peer.WaitForPayloads(1)) << round;
        peer.Send(ReplyFrame(REPLY_STATUS, Bytes(16, static_cast<uint8_t>(round))));
        NetDisconnect(true);
        ASSERT_FALSE(g_bConnected());
        ASSERT_TRUE(WaitUntil([&] { return peer.ClientClosed(); }));
    }
}

TEST_F(NetLink, ALostReplyIsWaitedOutThenTheRecordIsSent) {
    UseFastClock(20);
    DebugLines lines;
    SendShortCmd({CMD_GET_STATUS}); // closed: nothing is sent
    Connect();
    g_hReplyEvent().Reset(); // the previous command's reply never came
    SendShortCmd({CMD_GET_STATUS});
    ASSERT_TRUE(peer.WaitForPayloads(1));
    EXPECT_TRUE(lines.Has("NetSendSync WaitObject Time Out \r\n "));
    EXPECT_EQ(peer.Bytes_(), (Bytes{0x55, 0x03, 0x81, 0x0E, 0x73}));
}

// A radio frame is acknowledged at once, with the radio tag.
TEST_F(NetLink, RadioFramesAreAcknowledgedWithTheRadioTag) {
    Connect();
    peer.Send(ReplyFrame(REPLY_RADIO, {3, 0x10, 0x20, 0x30}));
    ASSERT_TRUE(peer.WaitForPayloads(1));
    EXPECT_EQ(peer.Got().payloads[0], (Bytes{0x80, 6}));
}
} // namespace

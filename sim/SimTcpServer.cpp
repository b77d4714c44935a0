#include "sim/SimTcpServer.h"

#include <asio/buffer.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr char kBusyReply[] = "ISCONNECTED";
constexpr int kBusyReplySize = 11;
constexpr int kListenBacklog = 4;
constexpr int kPollStepMs = 5;
constexpr int kDrainMs = 100;       // how long a turned-away editor may keep its side open
constexpr int kAcceptRetryMs = 100; // after an accept failed
// An editor that closed just before the next one connected may still have
// its last command and its end unread: the newcomer waits this many looks,
// a millisecond apart, for them to be taken before it is turned away.
constexpr int kCatchUpLooks = 50;

// A TCP socket bound to 127.0.0.1:port; -1 on failure (errno set).
int BindLoopbackSocket(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

int BoundPort(int fd) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
    return ntohs(address.sin_port);
}

// An editor turned away: told "ISCONNECTED", then closed once it has
// closed its side or a moment has passed. What it sent meanwhile is read and
// dropped, so that closing sends no reset that could swallow the busy reply.
struct TurnedAway : std::enable_shared_from_this<TurnedAway> {
    TurnedAway(asio::io_context& context, int fd) : socket(context), deadline(context) {
        asio::error_code error;
        socket.assign(asio::ip::tcp::v4(), fd, error);
        if (error) ::close(fd);
    }

    void Start() {
        asio::async_write(socket, asio::buffer(kBusyReply, kBusyReplySize),
                          [self = shared_from_this()](asio::error_code, size_t) {
                              asio::error_code ignored;
                              self->socket.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
                              self->deadline.expires_after(std::chrono::milliseconds(kDrainMs));
                              self->deadline.async_wait([self](asio::error_code error) {
                                  if (!error) self->Close();
                              });
                              self->Drain();
                          });
    }

    void Drain() {
        socket.async_read_some(asio::buffer(scrap),
                               [self = shared_from_this()](asio::error_code error, size_t count) {
                                   if (error || count == 0) {
                                       self->Close();
                                       return;
                                   }
                                   self->Drain();
                               });
    }

    void Close() {
        asio::error_code ignored;
        socket.close(ignored);
        deadline.cancel();
    }

    asio::ip::tcp::socket socket;
    asio::steady_timer deadline;
    std::array<uint8_t, 256> scrap{};
};

} // namespace

// The listening socket: bound to the port throughout, listening unless the
// server refuses connections. Pending work on the loop holds it, so it
// outlives a server that was stopped.
struct SimTcpServer::Listener {
    explicit Listener(asio::io_context& context) : acceptor(context), retry(context) {}

    asio::ip::tcp::acceptor acceptor;
    asio::steady_timer retry; // a failed accept is tried again after a pause
    bool listening = false;
    bool stopped = false;
    unsigned acceptRound = 0; // only the newest accept goes on accepting
};

SimTcpServer::SimTcpServer(SimProcessor& processor)
    : m_processor(processor), m_ownLoop(std::make_unique<SimEventLoop>()), m_loop(*m_ownLoop) {}

SimTcpServer::SimTcpServer(SimProcessor& processor, SimEventLoop& loop)
    : m_processor(processor), m_loop(loop) {}

SimTcpServer::~SimTcpServer() {
    Stop();
}

bool SimTcpServer::Start(int port) {
    if (m_listener) return false;
    const int fd = BindLoopbackSocket(port);
    if (fd < 0) {
        m_lastError = errno;
        return false;
    }
    m_port = BoundPort(fd);
    const bool listening = !m_refuse;
    if (listening && ::listen(fd, kListenBacklog) != 0) {
        m_lastError = errno;
        ::close(fd);
        return false;
    }
    auto listener = std::make_shared<Listener>(m_loop.Context());
    asio::error_code error;
    listener->acceptor.assign(asio::ip::tcp::v4(), fd, error);
    if (error) {
        m_lastError = error.value();
        ::close(fd);
        return false;
    }
    listener->listening = listening;
    m_listener = listener;
    m_processor.SetReplySink([this](const SimRecord& reply) { DeliverUnsolicited(reply); });
    m_loop.RunAndWait([this, &listener] {
        if (listener->listening) Accept(listener);
        // A refusal asked for meanwhile.
        ApplyRefusal(listener);
    });
    return true;
}

void SimTcpServer::Stop() {
    if (!m_listener) return;
    m_processor.SetReplySink(nullptr);
    const std::shared_ptr<Listener> listener = std::move(m_listener);
    m_loop.RunAndWait([this, &listener] {
        listener->stopped = true;
        asio::error_code ignored;
        listener->acceptor.close(ignored);
        listener->retry.cancel();
        if (const auto session = TakeSession()) session->Stop();
    });
}

void SimTcpServer::SetHeartbeatPeriod(int periodMs) {
    m_heartbeatPeriodMs = periodMs;
    std::lock_guard lock(m_sessionMutex);
    if (m_session) m_session->SetHeartbeatPeriod(periodMs);
}

void SimTcpServer::SetRefuseConnections(bool refuse) {
    m_refuse = refuse;
    if (!m_listener) return;
    m_loop.Post([this, listener = m_listener] {
        // A server stopped since is no longer there to look at.
        if (!listener->stopped) ApplyRefusal(listener);
    });
}

void SimTcpServer::DropClient() {
    if (const auto session = TakeSession()) session->Stop();
}

std::shared_ptr<SimTcpSession> SimTcpServer::TakeSession() {
    std::lock_guard lock(m_sessionMutex);
    return std::move(m_session);
}

void SimTcpServer::SetBusy(bool busy) {
    m_busy = busy;
}

bool SimTcpServer::IsClientConnected() const {
    std::lock_guard lock(m_sessionMutex);
    return m_session && !m_session->Finished();
}

bool SimTcpServer::WaitForClient(bool connected, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (IsClientConnected() != connected) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollStepMs));
    }
    return true;
}

bool SimTcpServer::SendRaw(std::vector<uint8_t> bytes) {
    std::lock_guard lock(m_sessionMutex);
    if (!m_session || m_session->Finished()) return false;
    m_session->QueueRaw(std::move(bytes));
    return true;
}

void SimTcpServer::DeliverUnsolicited(const SimRecord& reply) {
    std::lock_guard lock(m_sessionMutex);
    if (m_session && !m_session->Finished()) m_session->QueueReply(reply);
}

void SimTcpServer::ApplyRefusal(const std::shared_ptr<Listener>& listener) {
    const bool refuse = m_refuse;
    asio::error_code ignored;
    if (refuse && listener->listening) {
        // A bound socket that does not listen answers every connection with a reset.
        listener->acceptor.close(ignored);
        listener->listening = false;
        const int fd = BindLoopbackSocket(m_port);
        if (fd < 0) return;
        listener->acceptor.assign(asio::ip::tcp::v4(), fd, ignored);
        if (ignored) ::close(fd);
    } else if (!refuse && !listener->listening && listener->acceptor.is_open()) {
        listener->listening = ::listen(listener->acceptor.native_handle(), kListenBacklog) == 0;
        if (listener->listening) Accept(listener);
    }
}

void SimTcpServer::Accept(const std::shared_ptr<Listener>& listener) {
    const unsigned round = ++listener->acceptRound;
    listener->acceptor.async_accept(
        [this, listener, round](asio::error_code error, asio::ip::tcp::socket client) {
            if (listener->stopped) return;
            // A connection taken before a refusal took hold is served.
            if (!error) Serve(client.release());
            if (round != listener->acceptRound || !listener->listening) return;
            if (error == asio::error::operation_aborted) return;
            if (!error) {
                Accept(listener);
                return;
            }
            // Out of descriptors, say: try again in a moment, not at once.
            listener->retry.expires_after(std::chrono::milliseconds(kAcceptRetryMs));
            listener->retry.async_wait([this, listener, round](asio::error_code waitError) {
                if (!waitError && !listener->stopped && round == listener->acceptRound &&
                    listener->listening)
                    Accept(listener);
            });
        });
}

void SimTcpServer::Serve(int client, int attempt) {
    if (!m_busy && attempt < kCatchUpLooks && SessionHasUnreadInput()) {
        auto look =
            std::make_shared<asio::steady_timer>(m_loop.Context(), std::chrono::milliseconds(1));
        look->async_wait(
            [this, look, client, attempt](asio::error_code) { Serve(client, attempt + 1); });
        return;
    }
    if (m_busy || IsClientConnected()) {
        ++m_clientsTurnedAway;
        std::make_shared<TurnedAway>(m_loop.Context(), client)->Start();
        return;
    }
    auto session = std::make_shared<SimTcpSession>(m_loop, client, m_processor, m_counters,
                                                   m_heartbeatPeriodMs.load(),
                                                   [this] { ReapFinishedSession(); });
    ++m_clientsServed; // counted before the session can answer anything
    session->Start();
    {
        std::lock_guard lock(m_sessionMutex);
        std::swap(m_session, session);
    }
    // A session that ended since the last look is stopped outside the lock.
    if (session) session->Stop();
}

bool SimTcpServer::SessionHasUnreadInput() const {
    std::lock_guard lock(m_sessionMutex);
    return m_session && !m_session->Finished() && m_session->HasUnreadInput();
}

void SimTcpServer::ReapFinishedSession() {
    std::shared_ptr<SimTcpSession> finished;
    {
        std::lock_guard lock(m_sessionMutex);
        if (m_session && m_session->Finished()) finished = std::move(m_session);
    }
    if (finished) finished->Stop();
}

#include "sim/SimTcpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr char kBusyReply[] = "ISCONNECTED";
constexpr int kBusyReplySize = 11;
constexpr int kListenBacklog = 4;
constexpr int kPollStepMs = 5;

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

// Drops what the turned-away editor may have sent, so that closing sends no
// reset that could swallow the busy reply.
void DrainAndClose(int fd) {
    ::shutdown(fd, SHUT_WR);
    uint8_t scrap[256];
    pollfd readable{fd, POLLIN, 0};
    for (int round = 0; round < 20 && ::poll(&readable, 1, 10) > 0; ++round)
        if (::recv(fd, scrap, sizeof scrap, MSG_DONTWAIT) <= 0) break;
    ::close(fd);
}

} // namespace

SimTcpServer::SimTcpServer(SimProcessor& processor) : m_processor(processor) {}

SimTcpServer::~SimTcpServer() {
    Stop();
}

bool SimTcpServer::Start(int port) {
    if (m_acceptThread.joinable()) return false;
    m_listenSocket = BindLoopbackSocket(port);
    if (m_listenSocket < 0) {
        m_lastError = errno;
        return false;
    }
    m_port = BoundPort(m_listenSocket);
    m_listening = false;
    if (!m_refuse) {
        if (::listen(m_listenSocket, kListenBacklog) != 0) {
            m_lastError = errno;
            ::close(m_listenSocket);
            m_listenSocket = -1;
            return false;
        }
        m_listening = true;
    }
    if (::pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_lastError = errno;
        ::close(m_listenSocket);
        m_listenSocket = -1;
        return false;
    }
    m_stopping = false;
    m_processor.SetReplySink([this](const SimRecord& reply) { DeliverUnsolicited(reply); });
    m_acceptThread = std::thread([this] { AcceptThreadProc(); });
    return true;
}

void SimTcpServer::Stop() {
    if (!m_acceptThread.joinable()) return;
    m_stopping = true;
    Wake();
    m_acceptThread.join();
    m_processor.SetReplySink(nullptr);
    std::unique_ptr<SimTcpSession> session;
    {
        std::lock_guard lock(m_sessionMutex);
        session = std::move(m_session);
    }
    if (session) session->Stop();
    ::close(m_listenSocket);
    m_listenSocket = -1;
    for (int& fd : m_wakePipe) {
        ::close(fd);
        fd = -1;
    }
}

void SimTcpServer::SetHeartbeatPeriod(int periodMs) {
    m_heartbeatPeriodMs = periodMs;
    std::lock_guard lock(m_sessionMutex);
    if (m_session) m_session->SetHeartbeatPeriod(periodMs);
}

void SimTcpServer::SetRefuseConnections(bool refuse) {
    m_refuse = refuse;
    Wake();
}

void SimTcpServer::DropClient() {
    std::unique_ptr<SimTcpSession> session;
    {
        std::lock_guard lock(m_sessionMutex);
        session = std::move(m_session);
    }
    if (session) session->Stop();
    m_sessionChanged.notify_all();
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

void SimTcpServer::Wake() {
    if (m_wakePipe[1] < 0) return;
    const uint8_t byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakePipe[1], &byte, 1);
}

void SimTcpServer::AcceptThreadProc() {
    while (!m_stopping) {
        ApplyRefusal();
        pollfd fds[2] = {{m_wakePipe[0], POLLIN, 0}, {m_listenSocket, POLLIN, 0}};
        const nfds_t count = m_listening ? 2 : 1;
        // The timeout lets a finished session be reaped without a wake.
        const int ready = ::poll(fds, count, 100);
        if (ready < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) {
            uint8_t scrap[64];
            while (::read(m_wakePipe[0], scrap, sizeof scrap) > 0) {
            }
        }
        ReapFinishedSession();
        if (m_listening && (fds[1].revents & POLLIN) && !m_stopping) AcceptOne();
    }
}

void SimTcpServer::ApplyRefusal() {
    const bool refuse = m_refuse;
    if (refuse && m_listening) {
        // A bound socket that does not listen answers every connection with a reset.
        ::close(m_listenSocket);
        m_listenSocket = BindLoopbackSocket(m_port);
        m_listening = false;
    } else if (!refuse && !m_listening && m_listenSocket >= 0) {
        m_listening = ::listen(m_listenSocket, kListenBacklog) == 0;
    }
}

void SimTcpServer::AcceptOne() {
    const int client = ::accept4(m_listenSocket, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    if (m_busy || IsClientConnected()) {
        ++m_clientsTurnedAway;
        ::send(client, kBusyReply, kBusyReplySize, MSG_NOSIGNAL);
        DrainAndClose(client);
        return;
    }
    auto session = std::make_unique<SimTcpSession>(client, m_processor, m_counters,
                                                   m_heartbeatPeriodMs.load());
    ++m_clientsServed; // counted before the session can answer anything
    session->Start();
    {
        std::lock_guard lock(m_sessionMutex);
        std::swap(m_session, session);
    }
    // A session that ended since the last look is stopped outside the lock.
    if (session) session->Stop();
}

void SimTcpServer::ReapFinishedSession() {
    std::unique_ptr<SimTcpSession> finished;
    {
        std::lock_guard lock(m_sessionMutex);
        if (m_session && m_session->Finished()) finished = std::move(m_session);
    }
    if (finished) finished->Stop();
}

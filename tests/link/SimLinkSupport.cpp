#include "SimLinkSupport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

int SimRawClient::Connect(int port) {
    Close();
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0) return errno;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        Close();
        return error;
    }
    return 0;
}

bool SimRawClient::Send(const std::vector<uint8_t>& bytes) {
    return m_fd >= 0 && ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
                            static_cast<ssize_t>(bytes.size());
}

std::vector<uint8_t> SimRawClient::ReceiveAtLeast(size_t count, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_fd >= 0 && m_received.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd readable{m_fd, POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(left.count())) <= 0) break;
        uint8_t buffer[512];
        const ssize_t received = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (received <= 0) break;
        m_received.insert(m_received.end(), buffer, buffer + received);
    }
    return m_received;
}

bool SimRawClient::WaitForClose(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_fd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd readable{m_fd, POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(left.count())) <= 0) return false;
        uint8_t buffer[512];
        const ssize_t received = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (received <= 0) return true;
        m_received.insert(m_received.end(), buffer, buffer + received);
    }
    return true;
}

void SimRawClient::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_received.clear();
}

#include "link/Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

Socket::~Socket() {
    Close();
}

bool Socket::Create() {
    Close();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    // Records are small and each one waits for its reply: send them at once.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    m_fd = fd;
    return true;
}

int Socket::Connect(const std::string& address, int port) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<uint16_t>(port));
    if (port < 0 || port > 65535 || ::inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1)
        return EINVAL;
    if (LoopbackOnly() && !IsLoopbackAddress(address)) return EACCES;
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) return 0;
    const int error = errno;
    // 1 means success to the callers; report a refused permission as such.
    return error == EPERM ? EACCES : (error != 0 ? error : EIO);
}

bool Socket::IsLoopbackAddress(const std::string& address) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1) return false;
    return (ntohl(parsed.s_addr) >> 24) == 127;
}

bool Socket::LoopbackOnly() {
    const char* value = std::getenv("FXTUNE_LOOPBACK_ONLY");
    return value != nullptr && *value != '\0' && *value != '0';
}

int Socket::Send(const uint8_t* bytes, int count) {
    std::lock_guard lock(m_sendMutex);
    const int fd = m_fd;
    if (fd < 0) {
        errno = EBADF;
        return -1;
    }
    // A full send buffer is waited out this many times, this long each.
    constexpr int kBusyWaits = 20;
    constexpr int kBusyWaitMs = 100;
    int busyWaits = 0;
    int sent = 0;
    while (sent < count) {
        const ssize_t n = ::send(fd, bytes + sent, static_cast<size_t>(count - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && ++busyWaits <= kBusyWaits) {
            // The event loop may have made the socket non-blocking: wait until it takes more.
            pollfd writable{fd, POLLOUT, 0};
            ::poll(&writable, 1, kBusyWaitMs);
            continue;
        }
        if (n <= 0) return -1;
        sent += static_cast<int>(n);
    }
    return sent;
}

int Socket::Receive(uint8_t* buffer, int capacity) {
    const int fd = m_fd;
    if (fd < 0) {
        errno = EBADF;
        return -1;
    }
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, static_cast<size_t>(capacity), 0);
        if (n < 0 && errno == EINTR) continue;
        return static_cast<int>(n);
    }
}

void Socket::Shutdown() {
    const int fd = m_fd;
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

void Socket::Close() {
    std::lock_guard lock(m_sendMutex);
    const int fd = m_fd.exchange(-1);
    if (fd >= 0) ::close(fd);
}

int Socket::LastError() {
    return errno;
}

#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// A thin blocking IPv4 TCP client socket. Send and Receive may run on
// different threads at the same time; Shutdown wakes a blocked Receive from
// any thread. Close releases the descriptor and is called only when no other
// thread uses the socket any more.
class Socket {
public:
    Socket() = default;
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Creates the socket; false on failure (LastError tells why).
    bool Create();
    // Blocking connect to a dotted IPv4 address. 0 on success, else the error
    // code. With FXTUNE_LOOPBACK_ONLY set in the environment (every test run
    // sets it) an address outside 127.0.0.0/8 is refused with EACCES before
    // anything is dialled.
    int Connect(const std::string& address, int port);
    // Sends all bytes in one piece (concurrent sends never interleave).
    // Returns count, or -1 on failure.
    int Send(const uint8_t* bytes, int count);
    // Blocking receive of up to capacity bytes: the count, 0 when the peer
    // closed, -1 on failure.
    int Receive(uint8_t* buffer, int capacity);
    // Ends both directions: a blocked Receive returns, further sends fail.
    void Shutdown();
    void Close();
    bool IsOpen() const { return m_fd.load() >= 0; }
    // The descriptor, for waiting until it is readable (-1 when closed).
    int Descriptor() const { return m_fd.load(); }

    // The error code of the last failed call on this thread.
    static int LastError();
    // True for a dotted IPv4 address in 127.0.0.0/8.
    static bool IsLoopbackAddress(const std::string& address);
    // Whether connections are limited to loopback addresses.
    static bool LoopbackOnly();

private:
    std::atomic<int> m_fd{-1};
    std::mutex m_sendMutex;
};

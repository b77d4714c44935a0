#pragma once

#include "sim/SimProcessor.h"
#include "sim/SimTcpSession.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The processor's network port: a TCP server on 127.0.0.1 that serves one
// editor at a time. A second editor is told "ISCONNECTED" and closed.
class SimTcpServer {
public:
    static constexpr int kDefaultHeartbeatMs = 1000;

    explicit SimTcpServer(SimProcessor& processor);
    ~SimTcpServer(); // stops
    SimTcpServer(const SimTcpServer&) = delete;
    SimTcpServer& operator=(const SimTcpServer&) = delete;

    // Binds 127.0.0.1:port (0 picks a free port) and starts serving. False on
    // failure, with the error number in LastError().
    bool Start(int port = 0);
    void Stop();
    int Port() const { return m_port; }
    int LastError() const { return m_lastError; }

    void SetHeartbeatPeriod(int periodMs);
    // While refusing, the port is held but nobody can connect to it.
    void SetRefuseConnections(bool refuse);
    // While busy, every editor is told "ISCONNECTED" and closed, as by a
    // processor serving another host.
    void SetBusy(bool busy);

    // Closes the connection of the editor now, as a cable pulled or a
    // processor switched off would; the port keeps listening.
    void DropClient();
    bool IsClientConnected() const;
    // Waits until an editor is connected (or, with connected false, gone).
    bool WaitForClient(bool connected, int timeoutMs) const;
    int ClientsServed() const { return m_clientsServed; }
    int ClientsTurnedAway() const { return m_clientsTurnedAway; }
    const SimTcpCounters& Counters() const { return m_counters; }

    // Sends bytes as they are to the connected editor, in one write. False
    // when no editor is connected.
    bool SendRaw(std::vector<uint8_t> bytes);
    // Sends a reply frame now, outside the command flow.
    bool SendReply(const SimRecord& reply) { return SendRaw(SimFrameParser::Frame(reply)); }

private:
    void AcceptThreadProc();
    void ApplyRefusal();
    void AcceptOne();
    void Wake();
    void ReapFinishedSession();
    void DeliverUnsolicited(const SimRecord& reply);

    SimProcessor& m_processor;
    SimTcpCounters m_counters;
    int m_port = 0;
    int m_lastError = 0;
    int m_listenSocket = -1;
    bool m_listening = false;
    int m_wakePipe[2] = {-1, -1};
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_refuse{false};
    std::atomic<bool> m_busy{false};
    std::atomic<int> m_heartbeatPeriodMs{kDefaultHeartbeatMs};
    std::atomic<int> m_clientsServed{0};
    std::atomic<int> m_clientsTurnedAway{0};
    std::thread m_acceptThread;

    mutable std::mutex m_sessionMutex;
    mutable std::condition_variable m_sessionChanged;
    std::unique_ptr<SimTcpSession> m_session;
};

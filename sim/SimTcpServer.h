#pragma once

#include "sim/SimEventLoop.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpSession.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

// The processor's network port: a TCP server on 127.0.0.1 that serves one
// editor at a time. A second editor is told "ISCONNECTED" and closed. It
// runs on an event loop of its own, or on one it shares with other servers.
class SimTcpServer {
public:
    static constexpr int kDefaultHeartbeatMs = 1000;

    explicit SimTcpServer(SimProcessor& processor);
    // Served by the given loop, which must outlive the server.
    SimTcpServer(SimProcessor& processor, SimEventLoop& loop);
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
    struct Listener; // the listening socket, on the loop

    // These run on the loop's thread.
    void ApplyRefusal(const std::shared_ptr<Listener>& listener);
    void Accept(const std::shared_ptr<Listener>& listener);
    // attempt counts the looks at an editor that may just have left.
    void Serve(int client, int attempt = 0);
    bool SessionHasUnreadInput() const;
    void ReapFinishedSession();

    void DeliverUnsolicited(const SimRecord& reply);
    std::shared_ptr<SimTcpSession> TakeSession();

    SimProcessor& m_processor;
    std::unique_ptr<SimEventLoop> m_ownLoop;
    SimEventLoop& m_loop;
    SimTcpCounters m_counters;
    int m_port = 0;
    int m_lastError = 0;
    std::shared_ptr<Listener> m_listener; // while started
    std::atomic<bool> m_refuse{false};
    std::atomic<bool> m_busy{false};
    std::atomic<int> m_heartbeatPeriodMs{kDefaultHeartbeatMs};
    std::atomic<int> m_clientsServed{0};
    std::atomic<int> m_clientsTurnedAway{0};

    mutable std::mutex m_sessionMutex;
    std::shared_ptr<SimTcpSession> m_session;
};

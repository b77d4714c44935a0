#pragma once

#include "sim/SimEventLoop.h"
#include "sim/SimOptions.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"

#include <memory>
#include <vector>

// Several simulated processors in one process, as fxtune-sim --count serves
// them: each with its own memory, modes, faults and TCP server, all served
// by one event loop, so a process holding many keeps few threads.
class SimFleet {
public:
    // options.count processors, each set up as the options say.
    explicit SimFleet(const SimOptions& options);
    ~SimFleet(); // stops
    SimFleet(const SimFleet&) = delete;
    SimFleet& operator=(const SimFleet&) = delete;

    // Starts processor i's server on the options' port + i, or on a free port
    // when that is 0. On a failure stops the ones started and returns false,
    // with the port and error number in FailedPort() and LastError().
    bool Start();
    void Stop();

    int Count() const { return static_cast<int>(m_processors.size()); }
    SimProcessor& Processor(int index) { return *m_processors.at(static_cast<size_t>(index)); }
    SimTcpServer& Server(int index) { return *m_servers.at(static_cast<size_t>(index)); }
    int FailedPort() const { return m_failedPort; }
    int LastError() const { return m_lastError; }

private:
    const int m_firstPort;
    int m_failedPort = 0;
    int m_lastError = 0;
    // First: it outlives the servers it serves.
    SimEventLoop m_loop;
    std::vector<std::unique_ptr<SimProcessor>> m_processors;
    std::vector<std::unique_ptr<SimTcpServer>> m_servers;
};

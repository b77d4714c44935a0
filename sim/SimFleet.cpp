#include "sim/SimFleet.h"

SimFleet::SimFleet(const SimOptions& options) : m_firstPort(options.port) {
    for (int i = 0; i < options.count; ++i) {
        auto processor = std::make_unique<SimProcessor>();
        processor->SetIdentity(options.identity);
        processor->SetFaults(options.faults);
        processor->SetStreamFormat(options.streamFormat);
        processor->SetAckStyle(options.ackStyle);
        processor->SetAutoKeyPress(options.learnDelayMs, options.learnCode);
        auto server = std::make_unique<SimTcpServer>(*processor, m_loop);
        server->SetHeartbeatPeriod(options.heartbeatMs);
        server->SetRefuseConnections(options.refuseConnections);
        server->SetBusy(options.busy);
        m_processors.push_back(std::move(processor));
        m_servers.push_back(std::move(server));
    }
}

SimFleet::~SimFleet() {
    Stop();
}

bool SimFleet::Start() {
    for (size_t i = 0; i < m_servers.size(); ++i) {
        const int port = m_firstPort == 0 ? 0 : m_firstPort + static_cast<int>(i);
        if (m_servers[i]->Start(port)) continue;
        m_failedPort = port;
        m_lastError = m_servers[i]->LastError();
        Stop();
        return false;
    }
    return true;
}

void SimFleet::Stop() {
    for (auto& server : m_servers) server->Stop();
}

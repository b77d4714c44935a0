#include "MqttBridgeFixture.h"

#include <thread>

void MqttBridgeFixture::SetUp() {
    ASSERT_TRUE(m_broker.Start()) << m_broker.Error();
    m_venue.Add(FakeVenue::SampleProcessor("room1"));
    m_venue.Add(FakeVenue::SampleProcessor("room2"));
    m_venue.Flush();
}

fx::MqttSettings MqttBridgeFixture::Settings() {
    fx::MqttSettings settings;
    settings.host = "127.0.0.1";
    settings.port = m_broker.Port();
    settings.daemonVersion = "1.2";
    settings.clientId = "fxtune-test-bridge";
    settings.reconnectFirst = std::chrono::milliseconds(50);
    settings.reconnectLongest = std::chrono::milliseconds(400);
    settings.log = [this](const std::string& line) {
        std::lock_guard lock(m_logMutex);
        m_log.push_back(line);
    };
    return settings;
}

fx::MqttBridge& MqttBridgeFixture::StartBridge(std::optional<fx::MqttSettings> settings) {
    m_bridge = std::make_unique<fx::MqttBridge>(m_venue, settings ? *settings : Settings());
    EXPECT_TRUE(m_bridge->Start()) << m_bridge->Status().lastError;
    return *m_bridge;
}

std::unique_ptr<MqttProbe> MqttBridgeFixture::Probe(const std::string& id,
                                                    const std::vector<std::string>& filters) {
    auto probe = std::make_unique<MqttProbe>(m_broker.Port(), id);
    EXPECT_TRUE(probe->Connect()) << id;
    for (const std::string& filter : filters) EXPECT_TRUE(probe->Subscribe(filter)) << filter;
    return probe;
}

bool MqttBridgeFixture::Logged(const std::string& text) {
    std::lock_guard lock(m_logMutex);
    for (const std::string& line : m_log)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

bool Eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + kProbeWait;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

#pragma once

#include "FakeVenue.h"
#include "MosquittoBroker.h"
#include "MqttProbe.h"

#include "service/mqtt/MqttBridge.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Waits a few seconds at most for condition to hold.
bool Eventually(const std::function<bool()>& condition);

// A real broker, a venue of two processors (room1, room2) and the bridge
// between them, with the bridge's log kept for the test.
class MqttBridgeFixture : public ::testing::Test {
protected:
    void SetUp() override;

    fx::MqttSettings Settings();
    // Starts a bridge with settings (Settings() when not given).
    fx::MqttBridge& StartBridge(std::optional<fx::MqttSettings> settings = std::nullopt);
    // A probe connected to the broker and subscribed to filters.
    std::unique_ptr<MqttProbe> Probe(const std::string& id,
                                     const std::vector<std::string>& filters);

    // Whether a log line of the bridge contains text.
    bool Logged(const std::string& text);

    static std::string State(const std::string& processor, const std::string& path) {
        return "fxtune/" + processor + "/" + path;
    }
    static std::string Config(const std::string& component, const std::string& processor,
                              const std::string& key) {
        return "homeassistant/" + component + "/fxtune_" + processor + "/" + key + "/config";
    }

    MosquittoBroker m_broker;
    FakeVenue m_venue;
    std::mutex m_logMutex;
    std::vector<std::string> m_log;
    std::unique_ptr<fx::MqttBridge> m_bridge; // destroyed before the venue
};

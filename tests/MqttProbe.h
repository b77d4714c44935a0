#pragma once

#include <mqtt/async_client.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// A test's own MQTT client: it records every message it receives and waits
// (a few seconds at most) for the one a test expects.
class MqttProbe {
public:
    struct Received {
        std::string topic;
        std::string payload;
        bool retained = false;
    };

    MqttProbe(int port, const std::string& clientId);
    ~MqttProbe();

    // Connects (waiting) and subscribes to filter; false when either fails.
    bool Connect();
    bool Subscribe(const std::string& filter);
    void Publish(const std::string& topic, const std::string& payload, bool retained = false);

    // The first message received on topic (since the last Clear) whose
    // payload is payload; nullopt when none came in time.
    std::optional<Received> WaitFor(const std::string& topic, const std::string& payload);
    // The first message on topic, whatever its payload.
    std::optional<Received> WaitForAny(const std::string& topic);
    // Publishes a marker and waits for it to come back: the broker sends a
    // client's messages in order, so everything sent to this probe before
    // (retained messages of a subscription among them) has come.
    bool Sync();
    // The first message that matches.
    std::optional<Received> WaitForMessage(const std::function<bool(const Received&)>& match);

    std::vector<Received> All();
    // The last payload received on topic, if any.
    std::optional<Received> Latest(const std::string& topic);
    void Clear();

private:
    std::unique_ptr<mqtt::async_client> m_client;
    std::string m_clientId;
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<Received> m_received;
    int m_markers = 0;
};

// How long a test waits for anything to happen.
constexpr std::chrono::seconds kProbeWait{5};

#pragma once

#include "service/mqtt/MqttSettings.h"

#include <mqtt/async_client.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace fx {

// The client library's connection to the broker, reduced to what the bridge
// uses. Every call returns at once; what happens later is reported through
// the handlers, on the library's threads. Publishing never waits for the
// broker: a message the library does not take is counted as failed.
class MqttConnection {
public:
    struct Handlers {
        std::function<void()> connected;
        std::function<void(std::string reason)> connectFailed;
        std::function<void(std::string reason)> lost;
        std::function<void(std::string topic, std::string payload)> message;
    };

    // willTopic gets willPayload, retained, when the connection ends uncleanly.
    MqttConnection(const MqttSettings& settings, std::string willTopic, std::string willPayload,
                   Handlers handlers);
    ~MqttConnection();
    MqttConnection(const MqttConnection&) = delete;
    MqttConnection& operator=(const MqttConnection&) = delete;

    // The server URI ("tcp://host:port", "ssl://host:port").
    const std::string& Uri() const { return m_uri; }

    void Connect();
    [[nodiscard]] bool Publish(const std::string& topic, const std::string& payload, bool retained);
    [[nodiscard]] bool Subscribe(const std::vector<std::string>& filters);
    // Ends the connection cleanly, waiting at most timeout for the broker.
    void Disconnect(std::chrono::milliseconds timeout);

private:
    class ConnectListener : public mqtt::iaction_listener {
    public:
        explicit ConnectListener(MqttConnection& owner) : m_owner(owner) {}
        void on_success(const mqtt::token&) override;
        void on_failure(const mqtt::token& token) override;

    private:
        MqttConnection& m_owner;
    };

    std::string FailureText(int code);

    std::string m_uri;
    Handlers m_handlers;
    mqtt::connect_options m_options;
    ConnectListener m_listener{*this};
    std::mutex m_tlsMutex;
    std::string m_tlsError; // the TLS layer's last complaint
    std::unique_ptr<mqtt::async_client> m_client;
};

} // namespace fx

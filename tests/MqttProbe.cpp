#include "MqttProbe.h"

#include <gtest/gtest.h>

MqttProbe::MqttProbe(int port, const std::string& clientId)
    : m_client(std::make_unique<mqtt::async_client>("tcp://127.0.0.1:" + std::to_string(port),
                                                    clientId, nullptr)),
      m_clientId(clientId) {
    m_client->set_message_callback([this](mqtt::const_message_ptr message) {
        {
            std::lock_guard lock(m_mutex);
            m_received.push_back(
                {message->get_topic(), message->to_string(), message->is_retained()});
        }
        m_arrived.notify_all();
    });
}

MqttProbe::~MqttProbe() {
    try {
        if (m_client->is_connected()) m_client->disconnect()->wait_for(kProbeWait);
    } catch (const mqtt::exception&) {
    }
    m_client.reset(); // its threads call the handler until it is gone
}

bool MqttProbe::Connect() {
    mqtt::connect_options options;
    options.set_clean_session(true);
    options.set_connect_timeout(static_cast<int>(kProbeWait.count()));
    try {
        return m_client->connect(options)->wait_for(kProbeWait);
    } catch (const mqtt::exception&) {
        return false;
    }
}

bool MqttProbe::Subscribe(const std::string& filter) {
    try {
        return m_client->subscribe(filter, 1)->wait_for(kProbeWait);
    } catch (const mqtt::exception&) {
        return false;
    }
}

void MqttProbe::Publish(const std::string& topic, const std::string& payload, bool retained) {
    try {
        m_client->publish(topic, payload.data(), payload.size(), 1, retained)->wait_for(kProbeWait);
    } catch (const mqtt::exception& error) {
        ADD_FAILURE() << "publishing on " << topic << ": " << error.what();
    }
}

std::optional<MqttProbe::Received>
MqttProbe::WaitForMessage(const std::function<bool(const Received&)>& match) {
    std::unique_lock lock(m_mutex);
    std::optional<Received> found;
    m_arrived.wait_for(lock, kProbeWait, [&] {
        for (const Received& message : m_received)
            if (match(message)) {
                found = message;
                return true;
            }
        return false;
    });
    return found;
}

std::optional<MqttProbe::Received> MqttProbe::WaitFor(const std::string& topic,
                                                      const std::string& payload) {
    return WaitForMessage([&](const Received& message) {
        return message.topic == topic && message.payload == payload;
    });
}

std::optional<MqttProbe::Received> MqttProbe::WaitForAny(const std::string& topic) {
    return WaitForMessage([&](const Received& message) { return message.topic == topic; });
}

bool MqttProbe::Sync() {
    const std::string topic = "probe/" + m_clientId + "/marker";
    const std::string payload = std::to_string(++m_markers);
    if (!Subscribe(topic)) return false;
    Publish(topic, payload);
    return WaitFor(topic, payload).has_value();
}

std::vector<MqttProbe::Received> MqttProbe::All() {
    std::lock_guard lock(m_mutex);
    return m_received;
}

std::optional<MqttProbe::Received> MqttProbe::Latest(const std::string& topic) {
    std::lock_guard lock(m_mutex);
    for (auto message = m_received.rbegin(); message != m_received.rend(); ++message)
        if (message->topic == topic) return *message;
    return std::nullopt;
}

void MqttProbe::Clear() {
    std::lock_guard lock(m_mutex);
    m_received.clear();
}

#pragma once

#include "service/Venue.h"
#include "service/mqtt/MqttEntity.h"
#include "service/mqtt/MqttTopics.h"

#include <string>
#include <vector>

namespace fx {

struct MqttMessage {
    std::string topic;
    std::string payload;
};

// What the bridge publishes, all retained: the discovery configurations of
// the daemon and of each processor (one device each, the daemon's through
// via_device), and each processor's states.
class MqttMessages {
public:
    MqttMessages(MqttTopics topics, std::string daemonVersion);

    const MqttTopics& Topics() const { return m_topics; }

    std::vector<MqttMessage> DaemonConfigs() const;
    std::vector<MqttMessage> ProcessorConfigs(const ProcessorState& processor) const;
    // The processor's availability and every entity's state (and attributes),
    // one per topic.
    std::vector<MqttMessage> ProcessorStates(const ProcessorState& processor) const;
    // The state messages of the entity at path ("mic/level").
    std::vector<MqttMessage> EntityState(const ProcessorState& processor,
                                         const std::string& path) const;

private:
    // The entity's state message, and its attributes' when it has them.
    void AddStates(const ProcessorState& processor, const MqttEntity& entity,
                   std::vector<MqttMessage>& states) const;
    std::string ConfigPayload(const ProcessorState& processor, const MqttEntity& entity) const;
    nlohmann::json ProcessorDevice(const ProcessorState& processor) const;
    nlohmann::json Origin() const;

    MqttTopics m_topics;
    std::string m_daemonVersion;
};

} // namespace fx

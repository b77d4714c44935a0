#include "service/mqtt/MqttMessages.h"

#include <set>

namespace fx {

namespace {

constexpr const char* kDaemonName = "fxtuned";

nlohmann::json AvailabilityOf(const std::string& topic) {
    return {{"topic", topic},
            {"payload_available", kMqttOnline},
            {"payload_not_available", kMqttOffline}};
}

std::string VersionText(const ProcessorState& processor) {
    if (processor.firstVersion.empty() && processor.secondVersion.empty()) return {};
    return "MCU " + processor.firstVersion + ", DSP " + processor.secondVersion + ", command set " +
           std::to_string(processor.commandSetVersion);
}

} // namespace

MqttMessages::MqttMessages(MqttTopics topics, std::string daemonVersion)
    : m_topics(std::move(topics)), m_daemonVersion(std::move(daemonVersion)) {}

nlohmann::json MqttMessages::Origin() const {
    return {{"name", kDaemonName}, {"sw_version", m_daemonVersion}};
}

std::vector<MqttMessage> MqttMessages::DaemonConfigs() const {
    const std::string device = m_topics.DaemonDeviceId();
    nlohmann::json config = {
        {"name", "Processors"},
        {"unique_id", device + "_processors"},
        {"state_topic", m_topics.BridgeProcessors()},
        {"availability", nlohmann::json::array({AvailabilityOf(m_topics.BridgeAvailability())})},
        {"entity_category", "diagnostic"},
        {"device",
         {{"identifiers", {device}},
          {"name", kDaemonName},
          {"model", kDaemonName},
          {"sw_version", m_daemonVersion}}},
        {"origin", Origin()},
    };
    return {{m_topics.Discovery("sensor", device, "processors"),
             config.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)}};
}

nlohmann::json MqttMessages::ProcessorDevice(const ProcessorState& processor) const {
    nlohmann::json device = {{"identifiers", {m_topics.ProcessorDeviceId(processor.name)}},
                             {"name", processor.name},
                             {"via_device", m_topics.DaemonDeviceId()}};
    if (!processor.model.empty()) device["model"] = processor.model;
    const std::string versions = VersionText(processor);
    if (!versions.empty()) device["sw_version"] = versions;
    return device;
}

std::string MqttMessages::ConfigPayload(const ProcessorState& processor,
                                        const MqttEntity& entity) const {
    const std::string& name = processor.name;
    nlohmann::json config = entity.fields;
    config["name"] = entity.name;
    config["unique_id"] = m_topics.ProcessorDeviceId(name) + "_" + entity.key;
    config["state_topic"] = m_topics.State(name, entity.path);
    if (entity.commands) config["command_topic"] = m_topics.Command(name, entity.path);
    if (entity.attributes) config["json_attributes_topic"] = m_topics.Attributes(name, entity.path);
    config["availability"] = nlohmann::json::array({AvailabilityOf(m_topics.BridgeAvailability())});
    if (entity.followsLink)
        config["availability"].push_back(AvailabilityOf(m_topics.ProcessorAvailability(name)));
    config["availability_mode"] = "all";
    config["qos"] = 1;
    config["device"] = ProcessorDevice(processor);
    config["origin"] = Origin();
    // The model name comes from the processor and may not be UTF-8.
    return config.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::vector<MqttMessage> MqttMessages::ProcessorConfigs(const ProcessorState& processor) const {
    std::vector<MqttMessage> configs;
    const std::string node = m_topics.ProcessorDeviceId(processor.name);
    for (const MqttEntity& entity : ProcessorEntities(processor))
        configs.push_back({m_topics.Discovery(entity.component, node, entity.key),
                           ConfigPayload(processor, entity)});
    return configs;
}

std::vector<MqttMessage> MqttMessages::ProcessorStates(const ProcessorState& processor) const {
    std::vector<MqttMessage> states;
    states.push_back({m_topics.ProcessorAvailability(processor.name),
                      processor.connected ? kMqttOnline : kMqttOffline});
    std::set<std::string> paths;
    for (const MqttEntity& entity : ProcessorEntities(processor))
        if (paths.insert(entity.path).second) AddStates(processor, entity, states);
    return states;
}

std::vector<MqttMessage> MqttMessages::EntityState(const ProcessorState& processor,
                                                   const std::string& path) const {
    std::vector<MqttMessage> states;
    for (const MqttEntity& entity : ProcessorEntities(processor))
        if (entity.path == path) {
            AddStates(processor, entity, states);
            break;
        }
    return states;
}

void MqttMessages::AddStates(const ProcessorState& processor, const MqttEntity& entity,
                             std::vector<MqttMessage>& states) const {
    states.push_back({m_topics.State(processor.name, entity.path), entity.state});
    if (entity.attributes)
        states.push_back({m_topics.Attributes(processor.name, entity.path), *entity.attributes});
}

} // namespace fx

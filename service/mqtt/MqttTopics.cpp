#include "service/mqtt/MqttTopics.h"

#include <cctype>

namespace fx {

namespace {

constexpr const char* kCommandSuffix = "/set";

std::string IdentifierFrom(const std::string& text) {
    std::string id = text;
    for (char& c : id)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') c = '_';
    return id;
}

} // namespace

MqttTopics::MqttTopics(std::string prefix, std::string discoveryPrefix)
    : m_prefix(std::move(prefix)), m_discoveryPrefix(std::move(discoveryPrefix)),
      m_idStem(IdentifierFrom(m_prefix)) {}

std::string MqttTopics::BridgeAvailability() const {
    return m_prefix + "/availability";
}

std::string MqttTopics::BridgeProcessors() const {
    return m_prefix + "/processors";
}

std::string MqttTopics::ProcessorAvailability(const std::string& processor) const {
    return State(processor, "availability");
}

std::string MqttTopics::State(const std::string& processor, const std::string& path) const {
    return m_prefix + "/" + processor + "/" + path;
}

std::string MqttTopics::Command(const std::string& processor, const std::string& path) const {
    return State(processor, path) + kCommandSuffix;
}

std::string MqttTopics::Attributes(const std::string& processor, const std::string& path) const {
    return State(processor, path) + "/attributes";
}

std::vector<std::string> MqttTopics::CommandFilters() const {
    // Entity paths are one or two levels deep ("pitch", "mic/level").
    return {m_prefix + "/+/+/set", m_prefix + "/+/+/+/set"};
}

std::string MqttTopics::HomeAssistantStatus() const {
    return m_discoveryPrefix + "/status";
}

std::string MqttTopics::Discovery(const std::string& component, const std::string& node,
                                  const std::string& key) const {
    return m_discoveryPrefix + "/" + component + "/" + node + "/" + key + "/config";
}

std::string MqttTopics::DaemonDeviceId() const {
    return m_idStem;
}

std::string MqttTopics::ProcessorDeviceId(const std::string& processor) const {
    return m_idStem + "_" + processor;
}

std::optional<MqttTopics::CommandTarget> MqttTopics::ParseCommand(const std::string& topic) const {
    const std::string head = m_prefix + "/";
    const std::string suffix = kCommandSuffix;
    if (topic.size() <= head.size() + suffix.size() || topic.compare(0, head.size(), head) != 0 ||
        topic.compare(topic.size() - suffix.size(), suffix.size(), suffix) != 0)
        return std::nullopt;
    const std::string middle =
        topic.substr(head.size(), topic.size() - head.size() - suffix.size());
    const size_t slash = middle.find('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == middle.size()) return std::nullopt;
    return CommandTarget{middle.substr(0, slash), middle.substr(slash + 1)};
}

} // namespace fx

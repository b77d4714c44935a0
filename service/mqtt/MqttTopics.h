#pragma once

#include <optional>
#include <string>
#include <vector>

namespace fx {

// The topic layout. The daemon's own topics have one level below the prefix
// and a processor's have at least two, so no processor name can collide
// with them:
//   PREFIX/availability                  online|offline, retained; the last will says offline
//   PREFIX/processors                    how many processors the daemon holds
//   PREFIX/NAME/availability             online|offline: the processor's link
//   PREFIX/NAME/PATH                     an entity's state, retained
//   PREFIX/NAME/PATH/set                 its commands
//   PREFIX/NAME/PATH/attributes          its attributes (JSON), retained, where it has them
//   DISCOVERY/COMPONENT/NODE/KEY/config  Home Assistant's discovery, retained
//   DISCOVERY/status                     Home Assistant's birth and last will
class MqttTopics {
public:
    MqttTopics(std::string prefix, std::string discoveryPrefix);

    std::string BridgeAvailability() const;
    std::string BridgeProcessors() const;
    std::string ProcessorAvailability(const std::string& processor) const;
    std::string State(const std::string& processor, const std::string& path) const;
    std::string Command(const std::string& processor, const std::string& path) const;
    std::string Attributes(const std::string& processor, const std::string& path) const;
    std::vector<std::string> CommandFilters() const;
    std::string HomeAssistantStatus() const;
    std::string Discovery(const std::string& component, const std::string& node,
                          const std::string& key) const;

    // Home Assistant's device identifiers (also the discovery node ids).
    std::string DaemonDeviceId() const;
    std::string ProcessorDeviceId(const std::string& processor) const;

    // A command topic split into processor and entity path; nullopt when
    // the topic is not one of our command topics.
    struct CommandTarget {
        std::string processor;
        std::string path;
    };
    std::optional<CommandTarget> ParseCommand(const std::string& topic) const;

private:
    std::string m_prefix;
    std::string m_discoveryPrefix;
    std::string m_idStem; // the prefix as an identifier: [A-Za-z0-9_-] only
};

} // namespace fx

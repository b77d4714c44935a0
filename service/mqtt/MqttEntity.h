#pragma once

#include "service/Venue.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fx {

// One Home Assistant entity of a processor: what its discovery says and the
// state payload it shows now. The one table of them is ProcessorEntities;
// discovery, state publishing and the tests all derive from it.
struct MqttEntity {
    MqttEntity(std::string component, std::string key, std::string name, std::string path,
               bool commands, bool followsLink, nlohmann::json fields, std::string state,
               std::optional<std::string> attributes = std::nullopt)
        : component(std::move(component)), key(std::move(key)), name(std::move(name)),
          path(std::move(path)), commands(commands), followsLink(followsLink),
          fields(std::move(fields)), state(std::move(state)), attributes(std::move(attributes)) {}

    std::string component; // "number", "switch", "select", "binary_sensor", "sensor"
    std::string key;       // object id, unique within the processor: "mic_level"
    std::string name;      // "Mic level"
    std::string path;      // state topic below the processor: "mic/level"
    bool commands;         // takes commands on PATH/set
    bool followsLink;      // unavailable while the processor is off line
    nlohmann::json fields; // the component's own fields
    std::string state;     // the state payload now
    // Its attributes, a JSON object published on PATH/attributes; none for
    // most entities.
    std::optional<std::string> attributes;
};

// The entities of one processor, in a fixed order. Several may share a state
// topic (the mode select and the current-mode sensor).
std::vector<MqttEntity> ProcessorEntities(const ProcessorState& processor);

// At most this many parameters are listed in the drift sensor's attributes,
// so its payload stays small however far a processor drifted.
constexpr size_t kMqttDriftListed = 100;

// Payloads Home Assistant reads.
constexpr const char* kMqttOn = "ON";
constexpr const char* kMqttOff = "OFF";
constexpr const char* kMqttOnline = "online";
constexpr const char* kMqttOffline = "offline";
constexpr const char* kMqttUnknown = "None"; // resets a select or sensor to unknown

// "M1".."M4", or kMqttUnknown while the mode is not known.
std::string MachineModeText(int mode);

} // namespace fx

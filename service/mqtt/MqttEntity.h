#pragma once

#include "service/Venue.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace fx {

// One Home Assistant entity of a processor: what its discovery says and the
// state payload it shows now. The one table of them is ProcessorEntities;
// discovery, state publishing and the tests all derive from it.
struct MqttEntity {
    std::string component;   // "number", "switch", "select", "binary_sensor", "sensor"
    std::string key;         // object id, unique within the processor: "mic_level"
    std::string name;        // "Mic level"
    std::string path;        // state topic below the processor: "mic/level"
    bool commands = false;   // takes commands on PATH/set
    bool followsLink = true; // unavailable while the processor is off line
    nlohmann::json fields = nlohmann::json::object(); // the component's own fields
    std::string state;                                // the state payload now
};

// The entities of one processor, in a fixed order. Several may share a state
// topic (the mode select and the current-mode sensor).
std::vector<MqttEntity> ProcessorEntities(const ProcessorState& processor);

// Payloads Home Assistant reads.
constexpr const char* kMqttOn = "ON";
constexpr const char* kMqttOff = "OFF";
constexpr const char* kMqttOnline = "online";
constexpr const char* kMqttOffline = "offline";
constexpr const char* kMqttUnknown = "None"; // resets a select or sensor to unknown

// "M1".."M4", or kMqttUnknown while the mode is not known.
std::string MachineModeText(int mode);

} // namespace fx

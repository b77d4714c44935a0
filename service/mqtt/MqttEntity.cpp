#include "service/mqtt/MqttEntity.h"

#include <algorithm>

namespace fx {

namespace {

nlohmann::json Slider(int min, int max) {
    return {{"min", min}, {"max", max}, {"step", 1}, {"mode", "slider"}};
}

nlohmann::json OnOff() {
    return {{"payload_on", kMqttOn}, {"payload_off", kMqttOff}};
}

std::string SourceText(const ProcessorState& processor) {
    for (const SourceOption& option : processor.sources)
        if (option.index == processor.source) return option.name;
    return kMqttUnknown;
}

nlohmann::json SourceOptions(const ProcessorState& processor) {
    nlohmann::json options = nlohmann::json::array();
    for (const SourceOption& option : processor.sources) options.push_back(option.name);
    return options;
}

nlohmann::json ModeOptions() {
    nlohmann::json options = nlohmann::json::array();
    for (int mode = 1; mode <= kMachineModeCount; ++mode) options.push_back(MachineModeText(mode));
    return options;
}

void AddLevels(const ProcessorState& processor, std::vector<MqttEntity>& entities) {
    for (const MasterLevelInfo& info : MasterLevels()) {
        const LevelState& level = processor.levels[static_cast<size_t>(info.level)];
        const std::string id = info.id;
        const std::string name = info.englishName;
        entities.push_back({"number", id + "_level", name + " level", id + "/level", true, true,
                            Slider(0, kMasterLevelMax), std::to_string(level.value)});
        entities.push_back({"switch", id + "_mute", name + " mute", id + "/mute", true, true,
                            OnOff(), level.muted ? kMqttOn : kMqttOff});
    }
}

// How many parameters differ from the approved preset (unknown while none
// is approved), those differing listed in the attributes.
MqttEntity DriftSensor(const ProcessorState& processor) {
    const nlohmann::json fields = {{"unit_of_measurement", "parameters"},
                                   {"state_class", "measurement"},
                                   {"icon", "mdi:tune-variant"},
                                   {"entity_category", "diagnostic"}};
    const std::vector<std::string>& drift = processor.drift;
    const size_t listed = std::min(drift.size(), kMqttDriftListed);
    nlohmann::json attributes = {
        {"parameters", std::vector<std::string>(drift.begin(), drift.begin() + listed)}};
    if (listed < drift.size()) attributes["unlisted"] = drift.size() - listed;
    return {"sensor", "drift", "Drift", "drift", false, true, fields,
            processor.driftKnown ? std::to_string(drift.size()) : kMqttUnknown,
            // A parameter's words may carry a name read from the processor:
            // bytes that are not UTF-8 are replaced, not thrown on.
            attributes.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)};
}

} // namespace

std::string MachineModeText(int mode) {
    if (mode < 1 || mode > kMachineModeCount) return kMqttUnknown;
    return "M" + std::to_string(mode);
}

std::vector<MqttEntity> ProcessorEntities(const ProcessorState& processor) {
    std::vector<MqttEntity> entities;
    AddLevels(processor, entities);
    entities.push_back({"number", "pitch", "Pitch", "pitch", true, true,
                        Slider(kPitchMin, kPitchMax), std::to_string(processor.pitch)});
    entities.push_back({"number", "noise_gate", "Noise gate", "noise-gate", true, true,
                        Slider(0, kNoiseGateMax), std::to_string(processor.noiseGate)});
    entities.push_back({"select",
                        "source",
                        "Music source",
                        "source",
                        true,
                        true,
                        {{"options", SourceOptions(processor)}},
                        SourceText(processor)});
    const std::string mode = MachineModeText(processor.mode);
    entities.push_back(
        {"select", "mode", "Mode", "mode", true, true, {{"options", ModeOptions()}}, mode});
    entities.push_back({"sensor", "current_mode", "Current mode", "mode", false, true,
                        nlohmann::json::object(), mode});
    // The link's own sensor stays available while the processor is off line:
    // that is when it has something to say.
    nlohmann::json link = OnOff();
    link["device_class"] = "connectivity";
    link["entity_category"] = "diagnostic";
    entities.push_back({"binary_sensor", "link", "Link", "link", false, false, link,
                        processor.connected ? kMqttOn : kMqttOff});
    entities.push_back(DriftSensor(processor));
    return entities;
}

} // namespace fx

#include "service/ProcessorJson.h"

namespace fx {

namespace {

std::string SourceName(const ProcessorState& state, int index) {
    for (const SourceOption& option : state.sources)
        if (option.index == index) return option.name;
    return {};
}

} // namespace

nlohmann::json ProcessorJson(const ProcessorState& state) {
    nlohmann::json levels = nlohmann::json::object();
    for (const MasterLevelInfo& info : MasterLevels()) {
        const LevelState& level = state.levels[static_cast<int>(info.level)];
        levels[info.id] = {{"value", level.value}, {"muted", level.muted}};
    }
    nlohmann::json sources = nlohmann::json::array();
    for (const SourceOption& option : state.sources)
        sources.push_back({{"index", option.index}, {"name", option.name}});
    nlohmann::json drift = nullptr;
    if (state.driftKnown) drift = {{"count", state.drift.size()}, {"parameters", state.drift}};
    return {
        {"name", state.name},
        {"address", state.address},
        {"connected", state.connected},
        {"offlineReason", state.offlineReason},
        {"mode", state.mode},
        {"model", state.model},
        {"versions",
         {{"first", state.firstVersion},
          {"second", state.secondVersion},
          {"commandSet", state.commandSetVersion}}},
        {"levels", levels},
        {"pitch", state.pitch},
        {"noiseGate", state.noiseGate},
        {"source", {{"index", state.source}, {"name", SourceName(state, state.source)}}},
        {"sources", sources},
        {"drift", drift},
    };
}

nlohmann::json EventJson(const VenueEvent& event) {
    nlohmann::json json = {
        {"type", EventKindId(event.kind)},     {"processor", event.processor},
        {"origin", OriginId(event.origin)},    {"changes", event.changes},
        {"state", ProcessorJson(event.state)},
    };
    if (event.mode) json["mode"] = event.mode;
    return json;
}

} // namespace fx

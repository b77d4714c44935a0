#include "service/mqtt/MqttCommand.h"

#include "service/mqtt/MqttEntity.h"

#include <cmath>
#include <cstdlib>

namespace fx {

namespace {

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// A whole number in min..max; Home Assistant may send "60" or "60.0".
std::optional<int> WholeNumber(const std::string& payload, int min, int max, std::string* reason) {
    const std::string text = Trimmed(payload);
    char* end = nullptr;
    const double value = text.empty() ? 0 : std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value)) {
        *reason = "\"" + payload + "\" is not a number";
        return std::nullopt;
    }
    if (value != std::floor(value)) {
        *reason = "\"" + payload + "\" is not a whole number";
        return std::nullopt;
    }
    if (value < min || value > max) {
        *reason = "\"" + payload + "\" is out of range " + std::to_string(min) + ".." +
                  std::to_string(max);
        return std::nullopt;
    }
    return static_cast<int>(value);
}

std::optional<int> SourceIndex(const std::string& payload, const ProcessorState& processor,
                               std::string* reason) {
    for (const SourceOption& option : processor.sources)
        if (option.name == payload) return option.index;
    *reason = "\"" + payload + "\" is not a music source of this model";
    return std::nullopt;
}

std::optional<int> ModeNumber(const std::string& payload, std::string* reason) {
    for (int mode = 1; mode <= kMachineModeCount; ++mode)
        if (payload == MachineModeText(mode)) return mode;
    *reason = "\"" + payload + "\" is not a mode (M1..M" + std::to_string(kMachineModeCount) + ")";
    return std::nullopt;
}

} // namespace

std::optional<MqttCommand> MqttCommand::Parse(const std::string& path, const std::string& payload,
                                              const ProcessorState& processor,
                                              std::string* reason) {
    std::string ignored;
    if (!reason) reason = &ignored;
    if (path == "pitch") {
        const auto pitch = WholeNumber(payload, kPitchMin, kPitchMax, reason);
        return pitch ? std::optional(MqttCommand(Kind::Pitch, *pitch)) : std::nullopt;
    }
    if (path == "noise-gate") {
        const auto gate = WholeNumber(payload, 0, kNoiseGateMax, reason);
        return gate ? std::optional(MqttCommand(Kind::NoiseGate, *gate)) : std::nullopt;
    }
    if (path == "source") {
        const auto index = SourceIndex(payload, processor, reason);
        return index ? std::optional(MqttCommand(Kind::Source, *index)) : std::nullopt;
    }
    if (path == "mode") {
        const auto mode = ModeNumber(payload, reason);
        return mode ? std::optional(MqttCommand(Kind::LoadMode, *mode)) : std::nullopt;
    }
    const size_t slash = path.find('/');
    const MasterLevelInfo* info =
        slash == std::string::npos ? nullptr : FindMasterLevel(path.substr(0, slash));
    const std::string what = slash == std::string::npos ? "" : path.substr(slash + 1);
    if (info && what == "level") {
        const auto value = WholeNumber(payload, 0, kMasterLevelMax, reason);
        return value ? std::optional(MqttCommand(Kind::Level, *value, info->level)) : std::nullopt;
    }
    if (info && what == "mute") {
        if (payload == kMqttOn || payload == kMqttOff)
            return MqttCommand(Kind::Mute, payload == kMqttOn ? 1 : 0, info->level);
        *reason = "\"" + payload + "\" is neither " + kMqttOn + " nor " + kMqttOff;
        return std::nullopt;
    }
    *reason = "no entity \"" + path + "\" takes commands";
    return std::nullopt;
}

void MqttCommand::SendTo(IVenue& venue, const std::string& processor, IVenue::Done done) const {
    constexpr ChangeOrigin origin = ChangeOrigin::HomeAssistant;
    switch (m_kind) {
    case Kind::Level:
        venue.SetLevel(processor, m_level, m_value, std::nullopt, origin, std::move(done));
        return;
    case Kind::Mute:
        venue.SetLevel(processor, m_level, std::nullopt, m_value != 0, origin, std::move(done));
        return;
    case Kind::Pitch:
        venue.SetPitch(processor, m_value, origin, std::move(done));
        return;
    case Kind::NoiseGate:
        venue.SetNoiseGate(processor, m_value, origin, std::move(done));
        return;
    case Kind::Source:
        venue.SetSource(processor, m_value, origin, std::move(done));
        return;
    case Kind::LoadMode:
        venue.LoadMode(processor, m_value, origin, std::move(done));
        return;
    }
}

std::string MqttCommand::Describe() const {
    const std::string level = MasterLevels()[static_cast<size_t>(m_level)].id;
    switch (m_kind) {
    case Kind::Level:
        return level + " level " + std::to_string(m_value);
    case Kind::Mute:
        return level + (m_value ? " muted" : " unmuted");
    case Kind::Pitch:
        return "pitch " + std::to_string(m_value);
    case Kind::NoiseGate:
        return "noise gate " + std::to_string(m_value);
    case Kind::Source:
        return "music source " + std::to_string(m_value);
    case Kind::LoadMode:
        return "load mode " + std::to_string(m_value);
    }
    return {};
}

} // namespace fx

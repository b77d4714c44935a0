#pragma once

#include "service/Venue.h"

#include <optional>
#include <string>

namespace fx {

// One command Home Assistant sent on an entity's command topic, checked
// against the processor it is for before anything is sent.
class MqttCommand {
public:
    // The command for the entity at path ("mic/level", "mode") with the
    // payload as sent; nullopt, and why in reason, when it is refused.
    static std::optional<MqttCommand> Parse(const std::string& path, const std::string& payload,
                                            const ProcessorState& processor, std::string* reason);

    // One change through the venue, made by Home Assistant.
    void SendTo(IVenue& venue, const std::string& processor, IVenue::Done done) const;

    // "mic level 60", for the log.
    std::string Describe() const;

private:
    enum class Kind { Level, Mute, Pitch, NoiseGate, Source, LoadMode };
    MqttCommand(Kind kind, int value, MasterLevel level = MasterLevel::Mic)
        : m_kind(kind), m_value(value), m_level(level) {}

    Kind m_kind;
    int m_value; // level, 1 for muted, pitch, gate, source index or mode
    MasterLevel m_level;
};

} // namespace fx

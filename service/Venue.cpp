#include "service/Venue.h"

namespace fx {

const std::array<MasterLevelInfo, kMasterLevelCount>& MasterLevels() {
    static const std::array<MasterLevelInfo, kMasterLevelCount> levels{{
        {MasterLevel::Mic, "mic", "Mic", "话筒", 1, 14, 15},
        {MasterLevel::Effect, "effect", "Effect", "效果", 1, 16, 17},
        {MasterLevel::Reverb, "reverb", "Reverb", "混响", 3, 24, 25},
        {MasterLevel::Echo, "echo", "Echo", "回声", 2, 28, 29},
        {MasterLevel::Music, "music", "Music", "音乐", 4, 12, 13},
    }};
    return levels;
}

const MasterLevelInfo* FindMasterLevel(std::string_view id) {
    for (const MasterLevelInfo& info : MasterLevels())
        if (id == info.id) return &info;
    return nullptr;
}

const char* OriginId(ChangeOrigin origin) {
    switch (origin) {
    case ChangeOrigin::Api:
        return "api";
    case ChangeOrigin::WebPage:
        return "web";
    case ChangeOrigin::HomeAssistant:
        return "home-assistant";
    case ChangeOrigin::Forwarded:
        return "forwarded";
    case ChangeOrigin::Processor:
        return "processor";
    case ChangeOrigin::Reset:
        return "reset";
    case ChangeOrigin::Daemon:
        return "daemon";
    }
    return "processor";
}

const char* EventKindId(VenueEvent::Kind kind) {
    switch (kind) {
    case VenueEvent::Kind::Changed:
        return "changed";
    case VenueEvent::Kind::LinkUp:
        return "link-up";
    case VenueEvent::Kind::LinkDown:
        return "link-down";
    case VenueEvent::Kind::ModeLoaded:
        return "mode-loaded";
    case VenueEvent::Kind::ModeStored:
        return "mode-stored";
    case VenueEvent::Kind::Added:
        return "added";
    case VenueEvent::Kind::Removed:
        return "removed";
    }
    return "changed";
}

} // namespace fx

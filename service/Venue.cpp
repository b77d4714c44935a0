#include "service/Venue.h"

namespace fx {

const std::array<MasterLevelInfo, kMasterLevelCount>& MasterLevels() {
    static const std::array<MasterLevelInfo, kMasterLevelCount> levels{{
        {MasterLevel::Mic, "mic", "Mic Vol", "话筒音量", 1, 14, 15},
        {MasterLevel::Effect, "effect", "Effect Vol", "效果总音量", 1, 16, 17},
        {MasterLevel::Reverb, "reverb", "Reverb Vol", "混响音量", 3, 24, 25},
        {MasterLevel::Echo, "echo", "Echo Vol", "回声音量", 2, 28, 29},
        {MasterLevel::Music, "music", "Music Vol", "音乐音量", 4, 12, 13},
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
    return "daemon";
}

const char* EventKindId(VenueEvent::Kind kind) {
    using K = VenueEvent::Kind;
    switch (kind) {
    case K::Changed:
        return "changed";
    case K::LinkUp:
        return "link-up";
    case K::LinkDown:
        return "link-down";
    case K::ModeLoaded:
        return "mode-loaded";
    case K::ModeStored:
        return "mode-stored";
    case K::Added:
        return "added";
    case K::Removed:
        return "removed";
    }
    return "changed";
}

} // namespace fx

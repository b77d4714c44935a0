#include "service/history/HistoryTypes.h"

#include <array>
#include <utility>

namespace fx {

namespace {

constexpr std::array<std::pair<SnapshotSource, const char*>, 8> kSourceIds{{
    {SnapshotSource::Api, "api"},
    {SnapshotSource::WebPage, "web"},
    {SnapshotSource::HomeAssistant, "home-assistant"},
    {SnapshotSource::Forwarded, "forwarded"},
    {SnapshotSource::Processor, "processor"},
    {SnapshotSource::Reset, "reset"},
    {SnapshotSource::Daemon, "daemon"},
    {SnapshotSource::Request, "request"},
}};

} // namespace

const char* SnapshotSourceId(SnapshotSource source) {
    for (const auto& [value, id] : kSourceIds)
        if (value == source) return id;
    return "daemon";
}

std::optional<SnapshotSource> SnapshotSourceFromId(const std::string& id) {
    for (const auto& [value, text] : kSourceIds)
        if (id == text) return value;
    return std::nullopt;
}

} // namespace fx

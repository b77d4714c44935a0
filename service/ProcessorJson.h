#pragma once

#include "service/Venue.h"

#include <nlohmann/json.hpp>

namespace fx {

// The one JSON form of a processor and of an event, for the API, the event
// stream and everything built on them.
nlohmann::json ProcessorJson(const ProcessorState& state);
nlohmann::json EventJson(const VenueEvent& event);

} // namespace fx

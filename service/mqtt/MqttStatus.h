#pragma once

#include <cstdint>
#include <string>

namespace fx {

// What the bridge reports for the daemon's /metrics and status pages.
struct MqttStatus {
    bool connected = false;
    std::string lastError;          // why the last connection failed or ended; empty if none
    uint64_t connects = 0;          // connections made
    uint64_t connectionsLost = 0;   // established connections that ended unasked
    uint64_t connectFailures = 0;   // attempts the broker or the network refused
    uint64_t messagesPublished = 0; // handed to the client library
    uint64_t publishFailures = 0;   // the client library refused them (not connected)
    uint64_t commandsReceived = 0;  // on command topics
    uint64_t commandsRefused = 0;   // bad value, unknown processor, option or entity
    uint64_t commandsFailed = 0;    // the venue refused or did not confirm them
    uint64_t discoveryRounds = 0;   // times every configuration was published
};

} // namespace fx

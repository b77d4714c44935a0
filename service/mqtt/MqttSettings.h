#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace fx {

// How the daemon reaches its MQTT broker and where it publishes: the
// command line's --mqtt options and the configuration file's [mqtt] section.
struct MqttSettings {
    std::string host; // broker's host name or address
    int port = 1883;
    std::string user; // empty: connect without a user name
    std::string password;
    std::string tlsCaFile;         // non-empty: TLS, the broker's certificate checked against it
    std::string prefix = "fxtune"; // our own topics
    std::string discoveryPrefix = "homeassistant"; // Home Assistant's discovery topics
    std::string clientId;                          // empty: "<prefix>-daemon"
    std::string daemonVersion;                     // shown on the daemon's device
    // Reconnection waits from first to longest, doubling after each failure.
    std::chrono::milliseconds reconnectFirst{500};
    std::chrono::milliseconds reconnectLongest{30000};
    int keepAliveSeconds = 20;
    // Where the bridge's log lines go; empty: the debug log.
    std::function<void(const std::string&)> log;
};

// "HOST:PORT" of --mqtt; nullopt (and why in error) when malformed.
struct MqttAddress {
    std::string host;
    int port = 0;
};
std::optional<MqttAddress> ParseMqttAddress(const std::string& text, std::string* error);

// --mqtt-user-file: one line "USER PASSWORD". Refused unless the file is
// readable by its owner only (mode 0600 or stricter).
struct MqttCredentials {
    std::string user;
    std::string password;
};
std::optional<MqttCredentials> ReadMqttCredentials(const std::string& path, std::string* error);

} // namespace fx

#pragma once

#include "service/Venue.h"
#include "service/mqtt/MqttMessages.h"
#include "service/mqtt/MqttSettings.h"
#include "service/mqtt/MqttStatus.h"

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace fx {

class MqttConnection;

// Shows every processor of the venue in Home Assistant through MQTT
// discovery, keeps their states published and turns Home Assistant's commands
// into changes through the venue.
//
// One thread of its own does all the work. The venue's listeners and done
// callbacks and the client library's handlers only queue what happened and
// return, so neither a slow broker nor a lost one ever holds a venue thread
// or the caller. The connection is remade with a doubling wait after it is
// refused or lost; each new connection subscribes again and republishes
// every configuration and state.
class MqttBridge {
public:
    MqttBridge(IVenue& venue, MqttSettings settings);
    ~MqttBridge();
    MqttBridge(const MqttBridge&) = delete;
    MqttBridge& operator=(const MqttBridge&) = delete;

    // Starts connecting. False when the settings cannot work (no host, a
    // TLS CA file that cannot be read, a non-loopback broker in a test run):
    // Status().lastError says why, and nothing was started.
    [[nodiscard]] bool Start();
    // Marks the daemon unavailable, disconnects and ends the thread.
    void Stop();

    MqttStatus Status() const;

private:
    struct Inbox;
    struct Item;
    struct KnownProcessor {
        std::string configs; // the discovery payloads last published, one string
        ProcessorState state;
    };

    void Run();
    void Handle(Item& item);
    void Connect();
    void OnConnected();
    void OnConnectionDown(const std::string& reason, bool wasConnected);
    void OnVenueEvent(const VenueEvent& event);
    void OnMessage(const std::string& topic, const std::string& payload);
    void OnCommand(const std::string& topic, const std::string& payload);
    void OnCommandDone(const std::string& processor, const std::string& path,
                       const std::string& description, const ChangeResult& result);

    void PublishEverything();
    void PublishProcessor(const ProcessorState& processor, bool force);
    void RemoveProcessor(const std::string& name);
    void PublishProcessorCount();
    void RepublishEntity(const std::string& processor, const std::string& path);
    void Publish(const std::string& topic, const std::string& payload, bool force);
    void Log(const std::string& text);
    void NoteError(const std::string& text);
    template <typename Change> void Count(Change change) {
        std::lock_guard lock(m_statusMutex);
        change(m_status);
    }

    IVenue& m_venue;
    MqttSettings m_settings;
    MqttMessages m_messages;
    std::shared_ptr<Inbox> m_inbox;
    std::unique_ptr<MqttConnection> m_connection;
    std::thread m_thread;
    int m_subscription = -1;

    // The thread's own; nothing else touches them.
    bool m_connected = false;
    bool m_connecting = false;
    std::optional<std::chrono::steady_clock::time_point> m_reconnectAt;
    std::chrono::milliseconds m_backOff;
    std::map<std::string, std::string> m_published; // retained topic -> payload sent
    std::map<std::string, KnownProcessor> m_known;

    mutable std::mutex m_statusMutex;
    MqttStatus m_status;
};

} // namespace fx

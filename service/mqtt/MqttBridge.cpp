#include "service/mqtt/MqttBridge.h"

#include "link/DebugLog.h"
#include "link/Socket.h"
#include "service/mqtt/MqttCommand.h"
#include "service/mqtt/MqttConnection.h"

#include <condition_variable>
#include <deque>
#include <fstream>
#include <set>
#include <variant>

namespace fx {

namespace {

constexpr auto kDisconnectWait = std::chrono::milliseconds(2000);

struct Connected {};
struct ConnectFailed {
    std::string reason;
};
struct ConnectionLost {
    std::string reason;
};
struct Incoming {
    std::string topic;
    std::string payload;
};
struct CommandDone {
    std::string processor;
    std::string path;
    std::string description;
    ChangeResult result;
};
struct StopNow {};

std::string ProcessorConfigsText(const std::vector<MqttMessage>& configs) {
    std::string text;
    for (const MqttMessage& config : configs) text += config.topic + '\n' + config.payload + '\n';
    return text;
}

} // namespace

struct MqttBridge::Item {
    std::variant<VenueEvent, Connected, ConnectFailed, ConnectionLost, Incoming, CommandDone,
                 StopNow>
        what;
};

// The queue between everyone who reports something and the bridge's thread.
// Shared, so a done callback the venue runs after the bridge is gone still
// finds it.
struct MqttBridge::Inbox {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Item> items;

    void Post(Item item) {
        {
            std::lock_guard lock(mutex);
            items.push_back(std::move(item));
        }
        wake.notify_one();
    }
};

MqttBridge::MqttBridge(IVenue& venue, MqttSettings settings)
    : m_venue(venue), m_settings(std::move(settings)),
      m_messages(MqttTopics(m_settings.prefix, m_settings.discoveryPrefix),
                 m_settings.daemonVersion),
      m_inbox(std::make_shared<Inbox>()), m_backOff(m_settings.reconnectFirst) {}

MqttBridge::~MqttBridge() {
    Stop();
}

bool MqttBridge::Start() {
    std::string refusal;
    if (m_settings.host.empty())
        refusal = "no MQTT broker given";
    else if (Socket::LoopbackOnly() && m_settings.host != "localhost" &&
             !Socket::IsLoopbackAddress(m_settings.host))
        refusal = "MQTT broker " + m_settings.host + " refused: this run may use 127.0.0.1 only";
    else if (!m_settings.tlsCaFile.empty() && !std::ifstream(m_settings.tlsCaFile))
        refusal = "MQTT TLS CA file " + m_settings.tlsCaFile + " cannot be read";
    if (!refusal.empty()) {
        NoteError(refusal);
        Log(refusal);
        return false;
    }
    if (m_thread.joinable()) return true;

    const std::shared_ptr<Inbox> inbox = m_inbox;
    MqttConnection::Handlers handlers;
    handlers.connected = [inbox] { inbox->Post({Connected{}}); };
    handlers.connectFailed = [inbox](std::string reason) {
        inbox->Post({ConnectFailed{std::move(reason)}});
    };
    handlers.lost = [inbox](std::string reason) {
        inbox->Post({ConnectionLost{std::move(reason)}});
    };
    handlers.message = [inbox](std::string topic, std::string payload) {
        inbox->Post({Incoming{std::move(topic), std::move(payload)}});
    };
    const MqttTopics& topics = m_messages.Topics();
    m_connection = std::make_unique<MqttConnection>(m_settings, topics.BridgeAvailability(),
                                                    kMqttOffline, std::move(handlers));
    m_subscription = m_venue.Subscribe([inbox](const VenueEvent& event) { inbox->Post({event}); });
    m_thread = std::thread([this] { Run(); });
    return true;
}

void MqttBridge::Stop() {
    if (m_subscription >= 0) {
        m_venue.Unsubscribe(m_subscription);
        m_subscription = -1;
    }
    if (!m_thread.joinable()) return;
    m_inbox->Post({StopNow{}});
    m_thread.join();
    m_connection.reset();
}

MqttStatus MqttBridge::Status() const {
    std::lock_guard lock(m_statusMutex);
    return m_status;
}

void MqttBridge::Run() {
    Connect();
    for (;;) {
        std::unique_lock lock(m_inbox->mutex);
        const auto ready = [this] { return !m_inbox->items.empty(); };
        if (m_reconnectAt)
            m_inbox->wake.wait_until(lock, *m_reconnectAt, ready);
        else
            m_inbox->wake.wait(lock, ready);
        if (m_inbox->items.empty()) {
            lock.unlock();
            Connect(); // the back-off ran out
            continue;
        }
        Item item = std::move(m_inbox->items.front());
        m_inbox->items.pop_front();
        lock.unlock();
        if (std::holds_alternative<StopNow>(item.what)) break;
        Handle(item);
    }
    if (m_connected) {
        // A clean disconnect sends no last will: say so ourselves.
        Publish(m_messages.Topics().BridgeAvailability(), kMqttOffline, true);
        m_connection->Disconnect(kDisconnectWait);
        m_connected = false;
    }
    Count([](MqttStatus& status) { status.connected = false; });
}

void MqttBridge::Handle(Item& item) {
    std::visit(
        [this](auto& what) {
            using What = std::decay_t<decltype(what)>;
            if constexpr (std::is_same_v<What, VenueEvent>)
                OnVenueEvent(what);
            else if constexpr (std::is_same_v<What, Connected>)
                OnConnected();
            else if constexpr (std::is_same_v<What, ConnectFailed>)
                OnConnectionDown(what.reason, false);
            else if constexpr (std::is_same_v<What, ConnectionLost>)
                OnConnectionDown(what.reason, true);
            else if constexpr (std::is_same_v<What, Incoming>)
                OnMessage(what.topic, what.payload);
            else if constexpr (std::is_same_v<What, CommandDone>)
                OnCommandDone(what.processor, what.path, what.description, what.result);
        },
        item.what);
}

void MqttBridge::Connect() {
    m_reconnectAt.reset();
    if (m_connected || m_connecting) return;
    m_connecting = true;
    m_connection->Connect();
}

void MqttBridge::OnConnected() {
    m_connecting = false;
    m_connected = true;
    m_backOff = m_settings.reconnectFirst;
    Count([](MqttStatus& status) {
        status.connected = true;
        status.lastError.clear();
        ++status.connects;
    });
    Log("connected to " + m_connection->Uri());
    const MqttTopics& topics = m_messages.Topics();
    std::vector<std::string> filters = topics.CommandFilters();
    filters.push_back(topics.HomeAssistantStatus());
    if (!m_connection->Subscribe(filters)) Log("subscribing to the command topics failed");
    Publish(topics.BridgeAvailability(), kMqttOnline, true);
    PublishEverything();
}

void MqttBridge::OnConnectionDown(const std::string& reason, bool wasConnected) {
    m_connecting = false;
    m_connected = false;
    m_published.clear(); // the next connection republishes everything
    NoteError(reason);
    Count([wasConnected](MqttStatus& status) {
        status.connected = false;
        ++(wasConnected ? status.connectionsLost : status.connectFailures);
    });
    Log(std::string(wasConnected ? "connection lost: " : "connection failed: ") + reason +
        "; trying again in " + std::to_string(m_backOff.count()) + " ms");
    m_reconnectAt = std::chrono::steady_clock::now() + m_backOff;
    m_backOff = std::min(m_backOff * 2, m_settings.reconnectLongest);
}

void MqttBridge::OnVenueEvent(const VenueEvent& event) {
    // Without a connection there is nobody to tell; the next connection
    // publishes everything as it is then.
    if (!m_connected) return;
    if (event.kind == VenueEvent::Kind::Removed) {
        RemoveProcessor(event.processor);
        return;
    }
    PublishProcessor(event.state, false);
}

void MqttBridge::OnMessage(const std::string& topic, const std::string& payload) {
    if (topic == m_messages.Topics().HomeAssistantStatus()) {
        if (payload != kMqttOnline) return;
        Log("Home Assistant is online: publishing the discovery again");
        PublishEverything();
        return;
    }
    OnCommand(topic, payload);
}

void MqttBridge::OnCommand(const std::string& topic, const std::string& payload) {
    Count([](MqttStatus& status) { ++status.commandsReceived; });
    const auto target = m_messages.Topics().ParseCommand(topic);
    const auto processor = target ? m_venue.State(target->processor) : std::nullopt;
    std::string reason = target ? "no processor \"" + target->processor + "\"" : "not a command";
    const auto command =
        processor ? MqttCommand::Parse(target->path, payload, *processor, &reason) : std::nullopt;
    if (!command) {
        Count([](MqttStatus& status) { ++status.commandsRefused; });
        Log("command refused on " + topic + ": " + reason);
        if (processor) RepublishEntity(target->processor, target->path);
        return;
    }
    const std::shared_ptr<Inbox> inbox = m_inbox;
    const std::string name = target->processor;
    const std::string path = target->path;
    const std::string description = command->Describe();
    command->SendTo(m_venue, name, [inbox, name, path, description](ChangeResult result) {
        inbox->Post({CommandDone{name, path, description, std::move(result)}});
    });
}

void MqttBridge::OnCommandDone(const std::string& processor, const std::string& path,
                               const std::string& description, const ChangeResult& result) {
    if (result.ok()) return; // the venue's event publishes the new state
    Count([](MqttStatus& status) { ++status.commandsFailed; });
    Log(processor + ": " + description + " from Home Assistant failed: " + result.message);
    RepublishEntity(processor, path);
}

void MqttBridge::PublishEverything() {
    Count([](MqttStatus& status) { ++status.discoveryRounds; });
    for (const MqttMessage& config : m_messages.DaemonConfigs())
        Publish(config.topic, config.payload, true);
    std::set<std::string> present;
    for (const ProcessorState& processor : m_venue.States()) {
        present.insert(processor.name);
        m_known.erase(processor.name); // configurations go out again
        PublishProcessor(processor, true);
    }
    std::vector<std::string> gone;
    for (const auto& [name, known] : m_known)
        if (!present.count(name)) gone.push_back(name);
    for (const std::string& name : gone) RemoveProcessor(name);
    PublishProcessorCount();
}

void MqttBridge::PublishProcessor(const ProcessorState& processor, bool force) {
    const std::vector<MqttMessage> configs = m_messages.ProcessorConfigs(processor);
    std::string configsText = ProcessorConfigsText(configs);
    const auto known = m_known.find(processor.name);
    const bool isNew = known == m_known.end();
    // A new identity or source list changes the configurations.
    if (isNew || known->second.configs != configsText)
        for (const MqttMessage& config : configs) Publish(config.topic, config.payload, true);
    m_known[processor.name] = {std::move(configsText), processor};
    for (const MqttMessage& state : m_messages.ProcessorStates(processor))
        Publish(state.topic, state.payload, force);
    if (isNew && !force) PublishProcessorCount();
}

void MqttBridge::RemoveProcessor(const std::string& name) {
    const auto known = m_known.find(name);
    if (known == m_known.end()) return;
    // An empty retained payload removes the entity from Home Assistant and
    // the retained state from the broker.
    for (const MqttMessage& config : m_messages.ProcessorConfigs(known->second.state))
        Publish(config.topic, "", true);
    for (const MqttMessage& state : m_messages.ProcessorStates(known->second.state)) {
        Publish(state.topic, "", true);
        m_published.erase(state.topic);
    }
    m_known.erase(known);
    Log("processor " + name + " removed from Home Assistant");
    PublishProcessorCount();
}

void MqttBridge::PublishProcessorCount() {
    Publish(m_messages.Topics().BridgeProcessors(), std::to_string(m_known.size()), false);
}

void MqttBridge::RepublishEntity(const std::string& processor, const std::string& path) {
    const auto state = m_venue.State(processor);
    if (!state) return;
    for (const MqttMessage& message : m_messages.EntityState(*state, path))
        Publish(message.topic, message.payload, true);
}

void MqttBridge::Publish(const std::string& topic, const std::string& payload, bool force) {
    if (!m_connected) return;
    const auto sent = m_published.find(topic);
    if (!force && sent != m_published.end() && sent->second == payload) return;
    if (m_connection->Publish(topic, payload, true)) {
        m_published[topic] = payload;
        Count([](MqttStatus& status) { ++status.messagesPublished; });
    } else {
        m_published.erase(topic);
        Count([](MqttStatus& status) { ++status.publishFailures; });
    }
}

void MqttBridge::Log(const std::string& text) {
    const std::string line = "mqtt: " + text;
    if (m_settings.log)
        m_settings.log(line);
    else
        DebugLogText(line + "\n");
}

void MqttBridge::NoteError(const std::string& text) {
    Count([&text](MqttStatus& status) { status.lastError = text; });
}

} // namespace fx

#include "service/mqtt/MqttConnection.h"

namespace fx {

namespace {

constexpr int kQos = 1;

// What a refused CONNACK means (MQTT 3.1.1 return codes 1..5).
std::string RefusalText(int code) {
    switch (code) {
    case 1:
        return "the broker refused the protocol version";
    case 2:
        return "the broker refused the client id";
    case 3:
        return "the broker is unavailable";
    case 4:
        return "the broker refused the user name or password";
    case 5:
        return "the broker refused the connection as not authorised (user name or password)";
    }
    return {};
}

constexpr int kMaxWaitingMessages = 100000;
constexpr int kMaxInFlight = 1000;

} // namespace

MqttConnection::MqttConnection(const MqttSettings& settings, std::string willTopic,
                               std::string willPayload, Handlers handlers)
    : m_uri((settings.tlsCaFile.empty() ? "tcp://" : "ssl://") + settings.host + ":" +
            std::to_string(settings.port)),
      m_handlers(std::move(handlers)) {
    const std::string clientId =
        settings.clientId.empty() ? settings.prefix + "-daemon" : settings.clientId;
    // A discovery round publishes a thousand messages and more at once: the
    // library's default of 100 waiting messages refused most of them.
    mqtt::create_options create(MQTTVERSION_3_1_1, kMaxWaitingMessages);
    m_client = std::make_unique<mqtt::async_client>(m_uri, clientId, create, nullptr);

    m_options.set_clean_session(true);
    m_options.set_max_inflight(kMaxInFlight);
    m_options.set_keep_alive_interval(settings.keepAliveSeconds);
    m_options.set_connect_timeout(10);
    m_options.set_automatic_reconnect(false); // the bridge reconnects with its own back-off
    m_options.set_will(mqtt::will_options(willTopic, willPayload, kQos, true));
    if (!settings.user.empty()) {
        m_options.set_user_name(settings.user);
        m_options.set_password(settings.password);
    }
    if (!settings.tlsCaFile.empty()) {
        mqtt::ssl_options tls;
        tls.set_trust_store(settings.tlsCaFile);
        tls.set_enable_server_cert_auth(true);
        tls.set_verify(true);
        tls.set_error_handler([this](const std::string& text) {
            std::lock_guard lock(m_tlsMutex);
            m_tlsError = text;
        });
        m_options.set_ssl(std::move(tls));
    }

    m_client->set_connection_lost_handler([this](const std::string& cause) {
        if (m_handlers.lost) m_handlers.lost(cause.empty() ? "the connection was lost" : cause);
    });
    m_client->set_message_callback([this](mqtt::const_message_ptr message) {
        if (m_handlers.message) m_handlers.message(message->get_topic(), message->to_string());
    });
}

MqttConnection::~MqttConnection() {
    // The library's threads may call the handlers until the client is gone.
    m_client.reset();
}

void MqttConnection::Connect() {
    {
        std::lock_guard lock(m_tlsMutex);
        m_tlsError.clear();
    }
    try {
        m_client->connect(m_options, nullptr, m_listener);
    } catch (const mqtt::exception& error) {
        if (m_handlers.connectFailed) m_handlers.connectFailed(error.what());
    }
}

bool MqttConnection::Publish(const std::string& topic, const std::string& payload, bool retained) {
    try {
        m_client->publish(topic, payload.data(), payload.size(), kQos, retained);
        return true;
    } catch (const mqtt::exception&) {
        return false;
    }
}

bool MqttConnection::Subscribe(const std::vector<std::string>& filters) {
    try {
        for (const std::string& filter : filters) m_client->subscribe(filter, kQos);
        return true;
    } catch (const mqtt::exception&) {
        return false;
    }
}

void MqttConnection::Disconnect(std::chrono::milliseconds timeout) {
    try {
        if (!m_client->is_connected()) return;
        m_client->disconnect(static_cast<int>(timeout.count()))->wait_for(timeout);
    } catch (const mqtt::exception&) {
        // Going anyway: the broker sends the last will.
    }
}

std::string MqttConnection::FailureText(int code) {
    const std::string refusal = RefusalText(code);
    if (!refusal.empty()) return refusal;
    std::string text = "cannot connect to " + m_uri;
    std::lock_guard lock(m_tlsMutex);
    if (!m_tlsError.empty())
        text += ": TLS: " + m_tlsError;
    else if (m_uri.rfind("ssl://", 0) == 0)
        text += " (no answer, refused, or the TLS handshake failed)";
    else
        text += " (no answer or refused)";
    return text;
}

void MqttConnection::ConnectListener::on_success(const mqtt::token&) {
    if (m_owner.m_handlers.connected) m_owner.m_handlers.connected();
}

void MqttConnection::ConnectListener::on_failure(const mqtt::token& token) {
    if (m_owner.m_handlers.connectFailed)
        m_owner.m_handlers.connectFailed(m_owner.FailureText(token.get_return_code()));
}

} // namespace fx

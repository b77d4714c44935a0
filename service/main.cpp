// fxtuned: every processor of a venue as a service, over HTTP and WebSocket.
#include "service/AccessTokens.h"
#include "service/ApiRouter.h"
#include "service/DaemonConfig.h"
#include "service/DaemonMetrics.h"
#include "service/DaemonVenue.h"
#include "service/HttpServer.h"
#include "service/VenueHistory.h"
#include "service/WebAssets.h"
#include "service/mqtt/MqttBridge.h"
#include "service/mqtt/MqttSettings.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsLoopback(const std::string& address) {
    in_addr parsed{};
    return inet_pton(AF_INET, address.c_str(), &parsed) == 1 && (ntohl(parsed.s_addr) >> 24) == 127;
}

void Log(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

// The [mqtt] settings as the bridge takes them; false with the reason.
bool MqttSettingsOf(const std::map<std::string, std::string>& given, fx::MqttSettings& settings,
                    std::string& error) {
    for (const auto& [key, value] : given)
        if (key != "broker" && key != "user-file" && key != "tls-ca" && key != "prefix" &&
            key != "discovery-prefix")
            return error = "unknown MQTT setting " + key, false;
    const auto address = fx::ParseMqttAddress(given.at("broker"), &error);
    if (!address) return false;
    settings.host = address->host;
    settings.port = address->port;
    if (const auto file = given.find("user-file"); file != given.end()) {
        const auto credentials = fx::ReadMqttCredentials(file->second, &error);
        if (!credentials) return false;
        settings.user = credentials->user;
        settings.password = credentials->password;
    }
    if (const auto ca = given.find("tls-ca"); ca != given.end()) settings.tlsCaFile = ca->second;
    if (const auto prefix = given.find("prefix"); prefix != given.end())
        settings.prefix = prefix->second;
    if (const auto prefix = given.find("discovery-prefix"); prefix != given.end())
        settings.discoveryPrefix = prefix->second;
    settings.daemonVersion = FXTUNE_VERSION;
    settings.log = Log;
    return true;
}

std::string MqttMetrics(const fx::MqttStatus& status) {
    auto counter = [](const char* name, const char* help, uint64_t value) {
        return std::string("# HELP fxtuned_mqtt_") + name + " " + help + "\n# TYPE fxtuned_mqtt_" +
               name + " counter\nfxtuned_mqtt_" + name + " " + std::to_string(value) + "\n";
    };
    return std::string("# HELP fxtuned_mqtt_connected Whether the MQTT broker is connected.\n"
                       "# TYPE fxtuned_mqtt_connected gauge\nfxtuned_mqtt_connected ") +
           (status.connected ? "1" : "0") + "\n" +
           counter("connect_failures_total", "Connection attempts refused or failed.",
                   status.connectFailures) +
           counter("connections_lost_total", "Connections that ended unasked.",
                   status.connectionsLost) +
           counter("commands_refused_total", "Commands refused before anything was sent.",
                   status.commandsRefused) +
           counter("commands_failed_total", "Commands the processor did not confirm.",
                   status.commandsFailed) +
           counter("publish_failures_total", "Messages the client library refused.",
                   status.publishFailures) +
           "# HELP fxtuned_mqtt_error 1 while the last connection attempt failed, with its "
           "reason.\n# TYPE fxtuned_mqtt_error gauge\nfxtuned_mqtt_error{reason=\"" +
           status.lastError.substr(0, status.lastError.find('"')) + "\"} " +
           (status.lastError.empty() ? "0" : "1") + "\n";
}

std::string HistoryMetrics(const fx::HistoryHealth& health) {
    return std::string("# HELP fxtuned_history_ok Whether the history database is writable.\n"
                       "# TYPE fxtuned_history_ok gauge\nfxtuned_history_ok ") +
           (health.ok ? "1" : "0") +
           "\n# HELP fxtuned_history_queued Snapshots waiting for the database.\n"
           "# TYPE fxtuned_history_queued gauge\nfxtuned_history_queued " +
           std::to_string(health.queued) +
           "\n# HELP fxtuned_history_dropped_total Snapshots dropped while the database was "
           "gone.\n# TYPE fxtuned_history_dropped_total counter\nfxtuned_history_dropped_total " +
           std::to_string(health.dropped) +
           "\n# HELP fxtuned_history_written_total Snapshots written.\n"
           "# TYPE fxtuned_history_written_total counter\nfxtuned_history_written_total " +
           std::to_string(health.written) + "\n";
}

// Where the history goes: as configured, else history.db in the state
// directory when it can be had; empty: no history.
std::string HistoryUrl(const fx::DaemonConfig& config) {
    if (!config.history.empty()) return config.history;
    mkdir(config.stateDirectory.c_str(), 0750);
    if (access(config.stateDirectory.c_str(), W_OK) != 0) {
        Log("history: the state directory " + config.stateDirectory +
            " cannot be written: no history is kept (give --history PATH)");
        return {};
    }
    return config.stateDirectory + "/history.db";
}

int WaitForSignal() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    int received = 0;
    sigwait(&signals, &received);
    return received;
}

} // namespace

int main(int argc, char** argv) {
    // Every thread started from here on leaves the stop signals to sigwait.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    fx::DaemonConfig config;
    bool help = false;
    std::string error;
    if (!fx::ParseDaemonArguments(argc, argv, config, help, error)) {
        std::fprintf(stderr, "fxtuned: %s\n%s", error.c_str(), fx::DaemonUsage());
        return 2;
    }
    if (help) {
        std::fputs(fx::DaemonUsage(), stdout);
        return 0;
    }
    fx::AccessTokens tokens;
    if (!config.tokenFile.empty() && !tokens.Load(config.tokenFile, error)) {
        std::fprintf(stderr, "fxtuned: %s\n", error.c_str());
        return 2;
    }
    if (!IsLoopback(config.listenAddress) && !tokens.HasWriteToken()) {
        std::fprintf(stderr,
                     "fxtuned: refusing to listen on %s without a write token: give "
                     "--token-file with a \"write TOKEN\" line, or listen on 127.0.0.1\n",
                     config.listenAddress.c_str());
        return 2;
    }

    if (config.checkOnly) {
        std::printf("configuration good: %zu processors, listening on %s:%d\n",
                    config.processors.size(), config.listenAddress.c_str(), config.listenPort);
        return 0;
    }

    const int workers = std::clamp(static_cast<int>(config.processors.size()), 4, 32);
    fx::DaemonVenue venue(workers);
    for (const auto& processor : config.processors)
        venue.Add({processor.name, processor.host, processor.port});
    fx::DaemonMetrics metrics;
    metrics.AddSource([&venue] { return venue.MetricsText(); });
    fx::ApiRouter router(venue, tokens, metrics);
    router.SetAssets(fx::FindWebAsset);
    router.SetLog(Log);
    // The history: its hooks go in before the processors start.
    fx::HistoryStore historyStore;
    std::unique_ptr<fx::VenueHistory> history;
    if (const std::string url = HistoryUrl(config); !url.empty()) {
        const fx::HistoryResult opened = historyStore.Open(url);
        if (opened.status == fx::HistoryResult::Status::Failed ||
            opened.status == fx::HistoryResult::Status::BadValue) {
            std::fprintf(stderr, "fxtuned: history: %s\n", opened.message.c_str());
            return 2;
        }
        if (!opened.ok()) Log("history: " + opened.message + " (snapshots wait until it is back)");
        fx::RetentionPolicy retention;
        retention.keepAllMs = int64_t{config.historyKeepAllDays} * 24 * 3600 * 1000;
        retention.periodMs = int64_t{config.historyPeriodHours} * 3600 * 1000;
        history = std::make_unique<fx::VenueHistory>(venue, historyStore,
                                                     fx::VenueHistory::kSettleMs, retention);
        history->Attach();
        router.SetHistory(history.get());
        metrics.AddSource([&historyStore] { return HistoryMetrics(historyStore.Health()); });
    }
    fx::HttpServer server(router, venue, metrics);
    server.SetCorsOrigin(config.corsOrigin);
    if (!server.Start(config.listenAddress, config.listenPort, 2, error)) {
        std::fprintf(stderr, "fxtuned: %s\n", error.c_str());
        return 1;
    }
    venue.Start();
    if (config.forwardBase && !venue.StartForwarding(config.forwardBase, error)) {
        std::fprintf(stderr, "fxtuned: %s\n", error.c_str());
        return 1;
    }
    if (config.usb) venue.WatchUsb(config.usbNames);
    std::unique_ptr<fx::MqttBridge> mqtt;
    if (config.mqtt.count("broker")) {
        fx::MqttSettings settings;
        if (!MqttSettingsOf(config.mqtt, settings, error)) {
            std::fprintf(stderr, "fxtuned: MQTT: %s\n", error.c_str());
            return 2;
        }
        mqtt = std::make_unique<fx::MqttBridge>(venue, std::move(settings));
        // A broker that cannot be reached is retried; settings that cannot
        // work are a clear error, and the rest of the daemon goes on.
        if (!mqtt->Start()) Log("mqtt: " + mqtt->Status().lastError);
        metrics.AddSource([bridge = mqtt.get()] { return MqttMetrics(bridge->Status()); });
    }
    std::printf("listening on %s:%d\n", config.listenAddress.c_str(), server.Port());
    std::fflush(stdout);

    WaitForSignal();
    if (mqtt) mqtt->Stop();
    server.Stop();
    venue.Stop();
    if (history) history->Stop();
    historyStore.Close();
    return 0;
}

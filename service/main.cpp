// fxtuned: every processor of a venue as a service, over HTTP and WebSocket.
#include "service/AccessTokens.h"
#include "service/ApiRouter.h"
#include "service/DaemonConfig.h"
#include "service/DaemonMetrics.h"
#include "service/DaemonVenue.h"
#include "service/HttpServer.h"
#include "service/WebAssets.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <string>

namespace {

bool IsLoopback(const std::string& address) {
    in_addr parsed{};
    return inet_pton(AF_INET, address.c_str(), &parsed) == 1 && (ntohl(parsed.s_addr) >> 24) == 127;
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
    router.SetLog([](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    });
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
    std::printf("listening on %s:%d\n", config.listenAddress.c_str(), server.Port());
    std::fflush(stdout);

    WaitForSignal();
    server.Stop();
    venue.Stop();
    return 0;
}

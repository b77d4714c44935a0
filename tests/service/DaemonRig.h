#pragma once

#include "HttpTestClient.h"

#include "service/AccessTokens.h"
#include "service/ApiRouter.h"
#include "service/DaemonMetrics.h"
#include "service/DaemonVenue.h"
#include "service/HttpServer.h"
#include "service/VenueHistory.h"
#include "service/WebAssets.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// The daemon in the test's process, over simulated processors on loopback:
// processor "p0", "p1", ... answers in the acknowledgement style given for it.
struct DaemonRig {
    struct Sim {
        SimProcessor processor;
        std::unique_ptr<SimTcpServer> server;
    };

    // With historyUrl the daemon keeps its history there, snapshots settling
    // after settleMs.
    explicit DaemonRig(const std::vector<SimAckStyle>& styles, fx::AccessTokens tokensIn = {},
                       const std::string& historyUrl = {}, int settleMs = 200)
        : tokens(std::move(tokensIn)), venue(4), router(venue, tokens, metrics),
          server(router, venue, metrics) {
        for (size_t i = 0; i < styles.size(); ++i) {
            auto sim = std::make_unique<Sim>();
            sim->processor.SetAckStyle(styles[i]);
            sim->server = std::make_unique<SimTcpServer>(sim->processor);
            sim->server->Start(0);
            venue.Add({Name(i), "127.0.0.1", sim->server->Port()});
            sims.push_back(std::move(sim));
        }
        // The history's hooks go in after the processors are added, as in
        // fxtuned, and before the venue starts.
        if (!historyUrl.empty()) {
            historyStore.Open(historyUrl);
            history = std::make_unique<fx::VenueHistory>(venue, historyStore, settleMs);
            history->Attach();
            router.SetHistory(history.get());
        }
        metrics.AddSource([this] { return venue.MetricsText(); });
        router.SetAssets(fx::FindWebAsset);
        std::string error;
        server.Start("127.0.0.1", 0, 2, error);
        venue.Start();
    }
    ~DaemonRig() {
        server.Stop();
        venue.Stop();
        if (history) history->Stop();
        historyStore.Close();
    }

    static std::string Name(size_t index) { return "p" + std::to_string(index); }
    int Port() const { return const_cast<fx::HttpServer&>(server).Port(); }

    // Waits (up to 20 s) until every processor is linked and read.
    bool AllConnected(bool connected = true) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            bool all = true;
            for (const auto& state : venue.States()) all = all && state.connected == connected;
            if (all) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Waits (up to 20 s) until the named processor is (not) connected.
    bool WaitConnected(const std::string& name, bool connected) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            if (venue.State(name)->connected == connected) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    HttpAnswer Call(const std::string& method, const std::string& target,
                    const std::string& body = {}, std::map<std::string, std::string> headers = {}) {
        if (!headers.count("Authorization") && !authorization.empty())
            headers["Authorization"] = authorization;
        return HttpCall(Port(), method, target, body, headers);
    }

    fx::AccessTokens tokens;
    fx::HistoryStore historyStore;
    std::unique_ptr<fx::VenueHistory> history;
    fx::DaemonMetrics metrics;
    fx::DaemonVenue venue;
    fx::ApiRouter router;
    fx::HttpServer server;
    std::vector<std::unique_ptr<Sim>> sims;
    std::string authorization;
};

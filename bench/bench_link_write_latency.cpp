// Live write latency: from SetDspParam to the frame parsed by the simulated
// processor on 127.0.0.1 (and, for comparison, over the virtual USB device).
// Reports p50_us and p99_us; goals 100 us and 1 ms.

#include "link/LinkState.h"
#include "link/NetLink.h"
#include "link/UsbLink.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"
#include "sim/VirtualHidBackend.h"
#include "state/ParamImage.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Notes when each command reached the processor.
class ArrivalProbe {
public:
    explicit ArrivalProbe(SimProcessor& sim) {
        sim.SetCommandObserver([this](const uint8_t*, int) {
            m_lastNs = Clock::now().time_since_epoch().count();
            ++m_count;
        });
    }
    uint64_t Count() const { return m_count; }
    // Spins until the count passes seen; returns the arrival time.
    Clock::time_point WaitPast(uint64_t seen) const {
        while (m_count <= seen) std::this_thread::yield();
        return Clock::time_point(Clock::duration(m_lastNs.load()));
    }

private:
    std::atomic<uint64_t> m_count{0};
    std::atomic<Clock::rep> m_lastNs{0};
};

void ReportPercentiles(benchmark::State& state, std::vector<double>& latenciesUs) {
    if (latenciesUs.empty()) return;
    std::sort(latenciesUs.begin(), latenciesUs.end());
    const auto at = [&](double q) {
        return latenciesUs[std::min(latenciesUs.size() - 1,
                                    static_cast<size_t>(q * latenciesUs.size()))];
    };
    state.counters["p50_us"] = at(0.50);
    state.counters["p99_us"] = at(0.99);
    state.counters["max_us"] = latenciesUs.back();
}

// One live write after the previous reply has come back, as a user's single
// slider step would be.
template <typename AwaitReply>
double TimedWrite(ArrivalProbe& probe, int value, AwaitReply awaitReply) {
    awaitReply();
    const uint64_t seen = probe.Count();
    const auto start = Clock::now();
    SetDspParam(1, 14, value);
    const auto arrived = probe.WaitPast(seen);
    return std::chrono::duration<double, std::micro>(arrived - start).count();
}

void RunNetwork(benchmark::State& state, bool queued) {
    BuildDefaultImage();
    SimProcessor sim;
    SimTcpServer server(sim);
    server.SetHeartbeatPeriod(0);
    if (!server.Start(0)) {
        state.SkipWithError("cannot start the simulator");
        return;
    }
    ArrivalProbe probe(sim);
    g_bNetMode() = true;
    g_bQueuedSend() = queued;
    if (NetConnect("127.0.0.1", server.Port()) != 1) {
        state.SkipWithError("cannot connect");
        return;
    }
    const auto awaitReply = [queued] {
        if (queued) {
            while (g_bAwaitReply()) std::this_thread::yield();
        } else {
            // The direct sender waits for this event itself; take it here, off the clock.
            g_hReplyEvent().Wait(kReplyWaitMs);
            g_hReplyEvent().Set();
        }
    };
    std::vector<double> latencies;
    int value = 0;
    for (auto _ : state) {
        const double us = TimedWrite(probe, value++ % 100, awaitReply);
        latencies.push_back(us);
        state.SetIterationTime(us / 1e6);
    }
    NetDisconnect(false);
    g_bNetMode() = false;
    g_bQueuedSend() = true;
    sim.SetCommandObserver(nullptr);
    ReportPercentiles(state, latencies);
}

void BM_LiveWriteLatency_NetQueued(benchmark::State& state) {
    RunNetwork(state, true);
}
void BM_LiveWriteLatency_NetDirect(benchmark::State& state) {
    RunNetwork(state, false);
}

void BM_LiveWriteLatency_VirtualUsb(benchmark::State& state) {
    BuildDefaultImage();
    SimProcessor sim;
    VirtualHidBackend backend(sim);
    SetHidBackend(&backend);
    ArrivalProbe probe(sim);
    g_bNetMode() = false;
    if (OpenDeviceLink() != 1) {
        state.SkipWithError("cannot open the virtual device");
        SetHidBackend(nullptr);
        return;
    }
    const auto awaitReply = [] {
        g_hReplyEvent().Wait(kReplyWaitMs);
        g_hReplyEvent().Set();
    };
    std::vector<double> latencies;
    int value = 0;
    for (auto _ : state) {
        const double us = TimedWrite(probe, value++ % 100, awaitReply);
        latencies.push_back(us);
        state.SetIterationTime(us / 1e6);
    }
    CloseUsbLink();
    SetHidBackend(nullptr);
    sim.SetCommandObserver(nullptr);
    ReportPercentiles(state, latencies);
}

} // namespace

BENCHMARK(BM_LiveWriteLatency_NetQueued)
    ->UseManualTime()
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiveWriteLatency_NetDirect)
    ->UseManualTime()
    ->Iterations(3000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiveWriteLatency_VirtualUsb)
    ->UseManualTime()
    ->Iterations(3000)
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();

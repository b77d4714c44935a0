// A fast slider against a slow processor: 1000 moves at 1 kHz over the
// network link to the simulated processor answering after 10 ms. Reports the
// frames that went out (goal: at most 110) and how long after the last move
// its value reached the processor (goal: within one reply time).

#include "link/LinkState.h"
#include "link/NetLink.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"
#include "state/ParamImage.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMoves = 1000;
constexpr int kReplyLatencyMs = 10;

void BM_SliderMovesAgainstSlowProcessor(benchmark::State& state) {
    BuildDefaultImage();
    SimProcessor sim;
    SimFaults slow;
    slow.replyLatencyMs = kReplyLatencyMs;
    sim.SetFaults(slow);
    SimTcpServer server(sim);
    server.SetHeartbeatPeriod(0);
    if (!server.Start(0)) {
        state.SkipWithError("cannot start the simulator");
        return;
    }
    g_bNetMode = true;
    g_bQueuedSend = true;
    g_bCoalesce = true;
    if (NetConnect("127.0.0.1", server.Port()) != 1) {
        state.SkipWithError("cannot connect");
        return;
    }

    // The last move carries a value no earlier move had.
    const auto valueOf = [](int move) { return move == kMoves - 1 ? 100 : move % 100; };
    const uint32_t lastStored = PercentToStored(valueOf(kMoves - 1));
    std::atomic<Clock::rep> lastValueArrivedNs{0};
    sim.SetCommandObserver([&](const uint8_t* record, int count) {
        if (count >= 9 && record[0] == CMD_DSP_WRITE && ReadBigEndian32(record + 5) == lastStored &&
            lastValueArrivedNs == 0)
            lastValueArrivedNs = Clock::now().time_since_epoch().count();
    });

    double frames = 0;
    double lastDelayMs = 0;
    for (auto _ : state) {
        const size_t before = sim.CommandCount();
        const auto start = Clock::now();
        Clock::time_point lastMove;
        for (int move = 0; move < kMoves; ++move) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(1000 * move));
            lastMove = Clock::now();
            SetDspParam(1, 14, valueOf(move));
        }
        while (lastValueArrivedNs == 0) std::this_thread::sleep_for(std::chrono::microseconds(100));
        const Clock::time_point arrived{Clock::duration(lastValueArrivedNs.load())};
        lastDelayMs = std::chrono::duration<double, std::milli>(arrived - lastMove).count();
        while (g_bAwaitReply) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        frames = static_cast<double>(sim.CommandCount() - before);
    }
    NetDisconnect(false);
    sim.SetCommandObserver(nullptr);
    g_bNetMode = false;
    state.counters["frames"] = frames;
    state.counters["last_value_delay_ms"] = lastDelayMs;
    state.counters["reply_latency_ms"] = kReplyLatencyMs;
}

} // namespace

BENCHMARK(BM_SliderMovesAgainstSlowProcessor)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

// Whole-image read and write jobs against the simulated processor over
// loopback TCP, each reported as a ratio to the protocol floor: the job's own
// pauses (100 ms before, 50 ms after) plus one reply latency per command.
#include "link/LinkState.h"
#include "link/NetLink.h"
#include "link/ViewNotifier.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"
#include "state/ParamImage.h"
#include "state/SyncJobs.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sys/prctl.h>

namespace {

constexpr double kJobPausesMs = 100.0 + 50.0;
constexpr int kReadCommands = 4 + 1 + 60 + 1 + 1; // identity, mode, chunks, settings, keys
constexpr int kWriteCommands = 60 + 1;            // chunks, end of write

class JobEndWaiter : public IViewNotifier {
public:
    JobEndWaiter() { SetViewNotifier(this); }
    ~JobEndWaiter() override { SetViewNotifier(nullptr); }
    void PostViewMessage(int message, intptr_t, intptr_t) override {
        if (message != WM_JOB_ENDED) return;
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_ended;
        m_changed.notify_all();
    }
    void SendViewMessage(int message, intptr_t wParam, intptr_t lParam) override {
        PostViewMessage(message, wParam, lParam);
    }
    void ShowErrorBox(const std::string&, const std::string&) override {}

    int Ended() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_ended;
    }
    bool WaitBeyond(int count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(30), [&] { return m_ended > count; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_ended = 0;
};

void RunJobs(benchmark::State& state, void (*start)(), int commands) {
    const int latencyMs = static_cast<int>(state.range(0));
    // The simulator's reply latency is a timed wait; the default timer slack
    // (50 us) would stretch every simulated reply. Threads started from here
    // on inherit the finer slack.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    BuildDefaultImage();
    SimProcessor sim;
    SimFaults faults;
    faults.replyLatencyMs = latencyMs;
    sim.SetFaults(faults);
    SimTcpServer server(sim);
    if (!server.Start(0)) {
        state.SkipWithError("cannot start the simulated processor");
        return;
    }
    JobEndWaiter waiter;
    g_bNetMode() = true;
    if (NetConnect("127.0.0.1", server.Port()) != 1) {
        state.SkipWithError("cannot connect");
        return;
    }
    double totalMs = 0;
    for (auto _ : state) {
        const int before = waiter.Ended();
        const auto begin = std::chrono::steady_clock::now();
        start();
        if (!waiter.WaitBeyond(before)) {
            state.SkipWithError("job did not end");
            break;
        }
        const auto end = std::chrono::steady_clock::now();
        JoinSyncJobs();
        const double ms = std::chrono::duration<double, std::milli>(end - begin).count();
        totalMs += ms;
        state.SetIterationTime(ms / 1000.0);
    }
    NetDisconnect(true);
    JoinSyncJobs();
    g_bNetMode() = false;
    const double floorMs = kJobPausesMs + commands * latencyMs;
    if (state.iterations() > 0) {
        state.counters["floor_ms"] = floorMs;
        state.counters["ratio_to_floor"] =
            totalMs / static_cast<double>(state.iterations()) / floorMs;
    }
}

void BM_WholeImageRead(benchmark::State& state) {
    RunJobs(state, StartDelayedRead, kReadCommands);
}
void BM_WholeImageWrite(benchmark::State& state) {
    RunJobs(state, StartWriteAll, kWriteCommands);
}

BENCHMARK(BM_WholeImageRead)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeImageWrite)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

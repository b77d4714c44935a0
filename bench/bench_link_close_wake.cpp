// Waits that end on time, against the simulated processor:
// - a sender waiting for a lost reply, from the link's close to its return;
// - a read job on a processor that falls silent, from its last reply to the
//   job's end (the watchdog's 3.6 s, not that plus a reply wait);
// - 1000 unasked mode-change replies, from the first byte to the last read
//   job's end, with the peak of threads they made the editor run.
#include "link/CommandFrames.h"
#include "link/LinkState.h"
#include "link/NetLink.h"
#include "link/ReplyDispatcher.h"
#include "link/ReplyLedger.h"
#include "link/UsbLink.h"
#include "link/ViewNotifier.h"
#include "sim/SimFrameParser.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"
#include "sim/VirtualHidBackend.h"
#include "state/ParamImage.h"
#include "state/SyncJobs.h"
#include "tests/ProcessThreads.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class QuietView : public IViewNotifier {
public:
    QuietView() { SetViewNotifier(this); }
    ~QuietView() override { SetViewNotifier(nullptr); }
    void PostViewMessage(int message, intptr_t, intptr_t) override {
        if (message == WM_JOB_ENDED) ++jobEnds;
    }
    void SendViewMessage(int message, intptr_t wParam, intptr_t lParam) override {
        PostViewMessage(message, wParam, lParam);
    }
    void ShowErrorBox(const std::string&, const std::string&) override {}
    std::atomic<int> jobEnds{0};
};

// Range 0: network, 1: virtual USB.
void BM_CloseWakesAWaitingSender(benchmark::State& state) {
    const bool network = state.range(0) == 0;
    BuildDefaultImage();
    QuietView view;
    g_bQueuedSend() = false;
    for (auto _ : state) {
        SimProcessor sim;
        sim.SetSilent(true);
        SimTcpServer server(sim);
        VirtualHidBackend usb(sim);
        g_bNetMode() = network;
        if (network) {
            server.SetHeartbeatPeriod(0);
            if (!server.Start(0) || NetConnect("127.0.0.1", server.Port()) != 1) {
                state.SkipWithError("cannot connect");
                break;
            }
        } else {
            SetHidBackend(&usb);
            if (OpenDeviceLink() != 1) {
                state.SkipWithError("cannot open the virtual device");
                break;
            }
        }
        SendShortCmd({CMD_GET_MODE}); // never answered
        auto sender = std::async(std::launch::async, [] {
            SendShortCmd({CMD_GET_STATUS});
            return Clock::now();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto closing = Clock::now();
        if (network)
            NetDisconnect(false);
        else
            CloseUsbLink();
        const auto woken = sender.get();
        state.SetIterationTime(std::chrono::duration<double>(woken - closing).count());
        SetHidBackend(nullptr);
    }
    g_bNetMode() = false;
    g_bQueuedSend() = true;
    g_hReplyEvent().Set();
}

void BM_SilentProcessorEndsTheRead(benchmark::State& state) {
    BuildDefaultImage();
    QuietView view;
    for (auto _ : state) {
        SimProcessor sim;
        SimFaults faults;
        faults.silentAfterCommands = 10; // in the middle of the read
        sim.SetFaults(faults);
        SimTcpServer server(sim);
        g_bNetMode() = true;
        if (!server.Start(0) || NetConnect("127.0.0.1", server.Port()) != 1) {
            state.SkipWithError("cannot connect");
            break;
        }
        const int before = view.jobEnds;
        StartDelayedRead();
        sim.WaitForCommandCount(11, 10000);
        const auto silent = Clock::now();
        while (view.jobEnds == before) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        state.SetIterationTime(MsSince(silent) / 1000.0);
        NetDisconnect(false);
        JoinSyncJobs();
    }
    g_bNetMode() = false;
}

void BM_ModeChangeReplyFlood(benchmark::State& state) {
    BuildDefaultImage();
    QuietView view;
    std::vector<uint8_t> flood;
    for (int i = 0; i < 1000; ++i) {
        const auto frame =
            SimFrameParser::Frame(SimRecord{kSimReplyPrefix, REPLY_MODE_LOADED, 0, 0, 0});
        flood.insert(flood.end(), frame.begin(), frame.end());
    }
    int peakExtra = 0;
    int jobs = 0;
    for (auto _ : state) {
        SimProcessor sim;
        SimTcpServer server(sim);
        g_bNetMode() = true;
        if (!server.Start(0) || NetConnect("127.0.0.1", server.Port()) != 1 ||
            !server.WaitForClient(true, 5000)) {
            state.SkipWithError("cannot connect");
            break;
        }
        const int before = ProcessThreadCount();
        const int endsBefore = view.jobEnds;
        std::atomic<bool> sampling{true};
        std::atomic<int> peak{before};
        std::thread sampler([&] {
            while (sampling) {
                peak = std::max(peak.load(), ProcessThreadCount());
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        const ReplyTally mark = Replies().Tally();
        const auto start = Clock::now();
        server.SendRaw(flood);
        if (!Replies().WaitUntil(
                [&](const ReplyTally& t) { return t.CountSince(mark, REPLY_MODE_LOADED) >= 1000; },
                30000))
            state.SkipWithError("the flood did not arrive whole");
        JoinSyncJobs();
        state.SetIterationTime(MsSince(start) / 1000.0);
        sampling = false;
        sampler.join();
        peakExtra = std::max(peakExtra, peak.load() - before - 1); // not the sampler
        jobs = std::max(jobs, view.jobEnds - endsBefore);
        NetDisconnect(false);
        JoinSyncJobs();
    }
    g_bNetMode() = false;
    state.counters["peak_job_threads"] = peakExtra;
    state.counters["read_jobs"] = jobs;
}

BENCHMARK(BM_CloseWakesAWaitingSender)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SilentProcessorEndsTheRead)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModeChangeReplyFlood)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

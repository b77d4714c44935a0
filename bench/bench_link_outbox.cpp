// Live edits through the link's outbox, on the virtual USB device and on the
// network to the simulated processor on 127.0.0.1, answering at once or after
// 10 ms, and right after a lost reply: 1000 moves at 1 kHz of a ribbon slider
// (or of an EQ band dragged on the graph). Reports how long each move holds
// the caller (p50, p99, max; goal p99 at most 0.1 ms), the frames that
// reached the processor per 1000 moves (goal at most 110 against a 10 ms
// processor) and how long after the last move its value arrived.
//
//   build-test/bench/bench_link_outbox

#include "link/LinkOutbox.h"
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
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMoves = 1000;
constexpr auto kMovePeriod = std::chrono::microseconds(1000);

enum Transport { kUsb = 0, kNetwork = 1 };
enum Gesture { kSlider = 0, kEqDrag = 1 };

// A move and the record that carries its value.
void Move(Gesture gesture, int move) {
    if (gesture == kSlider)
        SetDspParam(1, 14, move % 100);
    else
        SetEqBand(0, 3, 1, 100.0 + move, -12.0 + 0.01 * move, 1.4);
}
bool IsGestureRecord(Gesture gesture, const uint8_t* record, int count) {
    if (gesture == kSlider)
        return count >= 4 && record[0] == CMD_DSP_WRITE && record[2] == 1 && record[3] == 14;
    const int band = EqBandOffset(0, 3);
    return count >= 4 && ((record[0] == CMD_DSP_WRITE && record[2] == 1 && record[3] == 21) ||
                          (record[0] == CMD_WRITE_PANEL && record[1] == (band >> 8) &&
                           record[2] == (band & 0xFF)));
}

// The simulated processor behind one of the two transports.
class Processor {
public:
    Processor(Transport transport, int latencyMs) : m_server(m_sim), m_usb(m_sim) {
        SimFaults faults;
        faults.replyLatencyMs = latencyMs;
        m_sim.SetFaults(faults);
        if (transport == kUsb) {
            g_bNetMode() = false;
            SetHidBackend(&m_usb);
            m_open = OpenDeviceLink() == 1;
        } else {
            g_bNetMode() = true;
            m_server.SetHeartbeatPeriod(0);
            m_open = m_server.Start(0) && NetConnect("127.0.0.1", m_server.Port()) == 1;
        }
    }
    ~Processor() {
        m_sim.SetCommandObserver(nullptr);
        if (g_bNetMode()) NetDisconnect(false);
        CloseUsbLink();
        m_server.Stop();
        SetHidBackend(nullptr);
        g_bNetMode() = false;
    }
    bool Open() const { return m_open; }
    SimProcessor& Sim() { return m_sim; }

private:
    SimProcessor m_sim;
    SimTcpServer m_server;
    VirtualHidBackend m_usb;
    bool m_open = false;
};

double Percentile(std::vector<double>& sorted, double q) {
    return sorted[std::min(sorted.size() - 1, static_cast<size_t>(q * sorted.size()))];
}

// Args: transport, processor latency in ms, lost reply (0/1), gesture.
void BM_OutboxLiveEdits(benchmark::State& state) {
    const auto transport = static_cast<Transport>(state.range(0));
    const int latencyMs = static_cast<int>(state.range(1));
    const bool loseReply = state.range(2) != 0;
    const auto gesture = static_cast<Gesture>(state.range(3));
    BuildDefaultImage();
    g_bQueuedSend() = true;
    g_bCoalesce() = true;
    Processor processor(transport, latencyMs);
    if (!processor.Open()) {
        state.SkipWithError("cannot open the link to the simulator");
        return;
    }
    SimProcessor& sim = processor.Sim();
    std::atomic<int> frames{0};
    std::atomic<Clock::rep> lastArrivalNs{0};
    sim.SetCommandObserver([&](const uint8_t* record, int count) {
        if (!IsGestureRecord(gesture, record, count)) return;
        ++frames;
        lastArrivalNs = Clock::now().time_since_epoch().count();
    });

    std::vector<double> holdsUs;
    holdsUs.reserve(static_cast<size_t>(kMoves) * 4);
    double framesPer1000 = 0;
    double lastDelayMs = 0;
    for (auto _ : state) {
        if (loseReply) {
            // A command whose reply never comes is in flight when the moves start.
            sim.DropNextReply();
            SendShortCmd({CMD_GET_MODE});
            fx::WaitAllWritten();
        }
        frames = 0;
        const auto start = Clock::now();
        Clock::time_point lastMove;
        for (int move = 0; move < kMoves; ++move) {
            std::this_thread::sleep_until(start + kMovePeriod * move);
            lastMove = Clock::now();
            Move(gesture, move);
            holdsUs.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - lastMove).count());
        }
        fx::WaitAllWritten();
        // The processor has taken in everything once the last record's reply came.
        while (g_bAwaitReply()) std::this_thread::sleep_for(std::chrono::microseconds(200));
        const Clock::time_point arrived{Clock::duration(lastArrivalNs.load())};
        lastDelayMs = std::chrono::duration<double, std::milli>(arrived - lastMove).count();
        framesPer1000 = frames * 1000.0 / kMoves;
    }
    std::sort(holdsUs.begin(), holdsUs.end());
    state.counters["hold_p50_us"] = Percentile(holdsUs, 0.50);
    state.counters["hold_p99_us"] = Percentile(holdsUs, 0.99);
    state.counters["hold_max_us"] = holdsUs.back();
    state.counters["frames_per_1000"] = framesPer1000;
    state.counters["last_value_delay_ms"] = lastDelayMs;
}

void Cases(benchmark::internal::Benchmark* bench) {
    bench->ArgNames({"net", "latency_ms", "lost_reply", "eq_drag"});
    for (int transport : {kUsb, kNetwork}) {
        for (int latency : {0, 10}) bench->Args({transport, latency, 0, kSlider});
        bench->Args({transport, 10, 1, kSlider});
        bench->Args({transport, 10, 0, kEqDrag});
    }
}

BENCHMARK(BM_OutboxLiveEdits)->Apply(Cases)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

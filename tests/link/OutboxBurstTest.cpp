// Live edits against a slow processor, on both transports: the caller never
// waits for the processor, superseded writes of one parameter coalesce, the
// last value of every burst arrives, and the processor ends up holding what
// the editor holds.

#include "SimLinkSupport.h"

#include "RecordingSink.h"

#include "link/CommandFrames.h"
#include "link/LinkOutbox.h"
#include "link/LinkState.h"
#include "link/NetLink.h"
#include "link/UsbLink.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"
#include "sim/VirtualHidBackend.h"
#include "state/ParamImage.h"
#include "state/PresetDiff.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The processor answers each command this late: a caller that waited for the
// previous reply would be held this long for every move.
constexpr int kLatencyMs = 500;
constexpr int kMoves = 200;
// Far below the latency; a waiting caller could never stay under it.
constexpr auto kHoldBound = std::chrono::milliseconds(100);
// Link time runs this many times faster than real time.
constexpr int kLinkTimeScale = 4;

// Link time four times faster (a lost reply costs 500 ms of real time); notes
// every thread that waits or sleeps on the link's clock.
class WaitRecordingClock : public ScaledLinkClock {
public:
    WaitRecordingClock() : ScaledLinkClock(kLinkTimeScale) {}
    void SleepMs(int ms) override {
        Note();
        ScaledLinkClock::SleepMs(ms);
    }
    bool WaitEvent(AutoResetEvent& event, int ms) override {
        Note();
        return ScaledLinkClock::WaitEvent(event, ms);
    }
    bool WaitCondition(std::condition_variable& cond, std::unique_lock<std::mutex>& lock, int ms,
                       const std::function<bool()>& done) override {
        Note();
        return ScaledLinkClock::WaitCondition(cond, lock, ms, done);
    }
    bool Waited(std::thread::id thread) {
        std::lock_guard lock(m_mutex);
        return m_waiters.count(thread) > 0;
    }
    void Forget() {
        std::lock_guard lock(m_mutex);
        m_waiters.clear();
    }

private:
    void Note() {
        std::lock_guard lock(m_mutex);
        m_waiters.insert(std::this_thread::get_id());
    }
    std::mutex m_mutex;
    std::set<std::thread::id> m_waiters;
};

enum class Transport { Usb, Network };

struct Burst {
    const char* name;
    bool loseFirstReply;
    // Move i of the burst, as the window makes it: one image operation.
    std::function<void(int move)> move;
};

int SliderValue(int move) {
    return move % 101;
}
double DragFrequency(int move) {
    return 100.0 + 7.0 * move;
}
double DragGain(int move) {
    return -12.0 + 0.1 * move;
}

// A ribbon slider, an EQ band dragged on the graph (its coefficients and its
// record), and a slider whose first write's reply is lost.
const Burst kSlider{"Slider", false, [](int move) { SetDspParam(1, 14, SliderValue(move)); }};
const Burst kEqDrag{"EqDrag", false,
                    [](int move) { SetEqBand(0, 3, 1, DragFrequency(move), DragGain(move), 1.4); }};
const Burst kLostReply{"LostReply", true, [](int move) { SetDspParam(4, 12, SliderValue(move)); }};

bool SameHead(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    constexpr size_t kHead = 4; // code, address or block and parameter, length
    return a.size() >= kHead && b.size() >= kHead &&
           std::equal(a.begin(), a.begin() + kHead, b.begin());
}

class OutboxBurstTest : public ::testing::TestWithParam<std::tuple<Transport, Burst>> {
protected:
    void SetUp() override {
        SetLinkClock(clock);
        BuildDefaultImage();
        g_bQueuedSend() = true;
        g_bCoalesce() = true;
        // The processor starts out holding what the editor holds.
        const std::vector<uint8_t> edited = fx::EditedImage();
        SimProcessor::Image memory{};
        std::copy(edited.begin(), edited.end(), memory.begin());
        sim.SetMemory(memory);
        SimFaults slow;
        slow.replyLatencyMs = kLatencyMs;
        sim.SetFaults(slow);
        if (std::get<Transport>(GetParam()) == Transport::Usb) {
            g_bNetMode() = false;
            SetHidBackend(&usb);
            ASSERT_EQ(1, OpenDeviceLink());
        } else {
            g_bNetMode() = true;
            // The processor's heartbeat every second of link time keeps the
            // watchdog quiet through a lost reply and a slow answer.
            server.SetHeartbeatPeriod(1000 / kLinkTimeScale);
            ASSERT_TRUE(server.Start(0));
            ASSERT_EQ(1, NetConnect("127.0.0.1", server.Port()));
        }
    }

    void TearDown() override {
        if (g_bNetMode()) NetDisconnect(false);
        CloseUsbLink();
        server.Stop();
        SetHidBackend(nullptr);
        SetLinkClock(nullptr);
        g_bNetMode() = false;
        g_hReplyEvent().Set();
    }

    // The records one move posts (the last one, made again: the image keeps its values).
    static std::vector<std::vector<uint8_t>> RecordsOf(const Burst& burst, int move) {
        RecordingSink records;
        burst.move(move);
        return records.AllBytes();
    }

    // Whether the processor has taken in every frame written so far. Its memory
    // cannot tell: the coefficients have no place in it, and a band record
    // replaced in its place in the queue may leave ahead of the last
    // coefficient write. The processor takes frames in the order they come,
    // so a request sent behind them is logged only after all of them.
    bool TookInEverythingWritten() {
        // A request the outbox never makes itself (it asks for the status
        // when it resynchronises after a lost answer).
        const uint8_t request[] = {CMD_GET_MODE};
        const auto requests = [&] {
            const std::vector<SimRecord> log = sim.ReceivedCommands();
            return std::count_if(log.begin(), log.end(),
                                 [](const SimRecord& r) { return r[0] == CMD_GET_MODE; });
        };
        const auto before = requests();
        fx::RecordSink().Post(request, sizeof request);
        return fx::WaitAllWritten() && SimWaitUntil([&] { return requests() > before; });
    }

    std::shared_ptr<WaitRecordingClock> clock = std::make_shared<WaitRecordingClock>();
    SimRecordingView view;
    SimProcessor sim;
    SimTcpServer server{sim};
    VirtualHidBackend usb{sim};
};

TEST_P(OutboxBurstTest, CallerNeverWaitsAndTheLastValueArrives) {
    const Burst& burst = std::get<Burst>(GetParam());
    // The first move is out and its reply outstanding (or lost) while the
    // others follow back to back, as in a drag.
    if (burst.loseFirstReply) sim.DropNextReply();
    burst.move(1);
    ASSERT_TRUE(fx::WaitAllWritten());
    clock->Forget();

    Clock::duration longestHold{};
    for (int move = 2; move <= kMoves; ++move) {
        const auto start = Clock::now();
        burst.move(move);
        longestHold = std::max(longestHold, Clock::now() - start);
    }
    EXPECT_FALSE(clock->Waited(std::this_thread::get_id())) << "the caller waited on the link";
    EXPECT_LT(longestHold, kHoldBound);

    // Everything the moves posted leaves the outbox, and the processor has
    // taken it in: it holds what the editor holds.
    ASSERT_TRUE(TookInEverythingWritten());
    const std::vector<uint8_t> edited = fx::EditedImage();
    ASSERT_TRUE(SimWaitUntil([&] {
        const SimProcessor::Image memory = sim.Memory();
        return std::equal(memory.begin(), memory.end(), edited.begin());
    }));

    // No more frames reach the processor than moves were made, and the last
    // frame of each parameter is the last move's.
    const std::vector<SimRecord> log = sim.ReceivedCommands();
    size_t frames = 0;
    for (const std::vector<uint8_t>& expected : RecordsOf(burst, kMoves)) {
        SCOPED_TRACE(testing::Message() << "record " << int(expected[0]));
        frames += std::count_if(log.begin(), log.end(),
                                [&](const SimRecord& r) { return SameHead(r, expected); });
        const auto last = std::find_if(log.rbegin(), log.rend(),
                                       [&](const SimRecord& r) { return SameHead(r, expected); });
        ASSERT_NE(last, log.rend());
        EXPECT_EQ(*last, expected);
    }
    EXPECT_LE(frames, static_cast<size_t>(kMoves));
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<Transport, Burst>>& info) {
    return std::string(std::get<Transport>(info.param) == Transport::Usb ? "Usb" : "Network") +
           std::get<Burst>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(Bursts, OutboxBurstTest,
                         ::testing::Combine(::testing::Values(Transport::Usb, Transport::Network),
                                            ::testing::Values(kSlider, kEqDrag, kLostReply)),
                         CaseName);

} // namespace

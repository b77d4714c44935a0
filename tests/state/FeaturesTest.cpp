// The bass boost and the automatic music level: what reaches the processor,
// in which order, and that no write of a bass boost sequence is coalesced
// away on the network queue.
#include "SimNetFixture.h"
#include "StateTestSupport.h"

#include "link/LinkState.h"
#include "state/Features.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <ostream>
#include <thread>

namespace {

constexpr uint32_t kOne = 0x3F800000;
constexpr uint32_t kFilterMiddle[2] = {0x3F7D554A, 0xBFFEA8DC};

uint32_t Be32(const uint8_t* bytes) {
    return ReadBigEndian32(bytes);
}

// A DSP write of block 1 as the processor receives it.
struct Seen {
    int parameter;
    std::vector<uint32_t> values;
    bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& write, std::ostream* out) {
    *out << "(1, " << write.parameter << ":";
    for (uint32_t value : write.values) *out << " " << std::hex << value << std::dec;
    *out << ")";
}

std::vector<Seen> BassBoostWritesIn(const std::vector<std::vector<uint8_t>>& records) {
    std::vector<Seen> seen;
    for (const auto& r : records) {
        if (r.size() < 5 || r[0] != CMD_DSP_WRITE || r[2] != 1) continue;
        Seen write{r[3], {}};
        for (int i = 0; i < r[4] && 5 + 4 * i + 4 <= static_cast<int>(r.size()); ++i)
            write.values.push_back(Be32(r.data() + 5 + 4 * i));
        seen.push_back(write);
    }
    return seen;
}

// The writes a change from previous to g must bring, worked out here from
// the formulas: input gain 10^(-g/20), output gain 10^(g/20), filter
// (P, E, two constants, P, E).
std::vector<Seen> Expected(float g, float previous) {
    const float p = static_cast<float>(std::pow(10.0, g / 20.0));
    const float e =
        static_cast<float>(std::pow(10.0, (0.0022594517 * g * g + 0.799902 * g) / 20.0));
    const std::vector<uint32_t> filter = {FloatBits(p),     FloatBits(e), kFilterMiddle[0],
                                          kFilterMiddle[1], FloatBits(p), FloatBits(e)};
    const std::vector<uint32_t> in = {FloatBits(1.0f / p)}, out = {FloatBits(p)};
    if (g > previous) return {{68, in}, {71, filter}, {69, out}, {41, in}, {44, filter}, {42, out}};
    return {{71, filter}, {69, out}, {68, in}, {44, filter}, {42, out}, {41, in}};
}

bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 1000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

std::vector<Seen> ReceivedBassBoostWrites(const SimProcessor& sim) {
    std::vector<std::vector<uint8_t>> log;
    for (const SimRecord& r : sim.ReceivedCommands()) log.emplace_back(r.begin(), r.end());
    return BassBoostWritesIn(log);
}

class FeaturesTest : public ::testing::Test {
protected:
    void SetUp() override { ResetDeviceState(); }
    void TearDown() override { ResetDeviceState(); }
};

} // namespace

TEST_F(FeaturesTest, BassBoostTakesTheBranchOfItsDirection) {
    struct Case {
        const char* name;
        float previous, g;
        std::vector<int> order;
    };
    const Case cases[] = {
        {"0 to -6 (slider 0 to 6): filters before input gains", 0, -6, {71, 69, 68, 44, 42, 41}},
        {"-6 to 0 (slider 6 to 0): input gains first", -6, 0, {68, 71, 69, 41, 44, 42}},
        {"-20 to -12: input gains first", -20, -12, {68, 71, 69, 41, 44, 42}},
        {"0 to 0: filters first", 0, 0, {71, 69, 68, 44, 42, 41}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetBassBoost(c.previous);
        RecordingTransport wire;
        SetBassBoost(c.g);
        const auto records = wire.Records();
        ASSERT_EQ(7u, records.size());
        // First the value itself, into the panel area at 1246.
        const auto& panel = records[0];
        ASSERT_EQ(8u, panel.size());
        EXPECT_EQ((std::vector<uint8_t>{CMD_WRITE_PANEL, 0x04, 0xDE, 4}),
                  std::vector<uint8_t>(panel.begin(), panel.begin() + 4));
        EXPECT_EQ(FloatBits(c.g), Be32(panel.data() + 4));
        EXPECT_EQ(FloatBits(c.g), Be32(g_PanelImage() + kPanelLevelOffset));
        const auto writes = BassBoostWritesIn(records);
        EXPECT_EQ(Expected(c.g, c.previous), writes);
        std::vector<int> order;
        for (const Seen& w : writes) order.push_back(w.parameter);
        EXPECT_EQ(c.order, order);
        // The image holds what was sent.
        for (const Seen& w : writes)
            EXPECT_EQ(w.values[0], Be32(g_ParamImage() + DspRecordValueOffset(1, w.parameter)));
    }
}

TEST_F(FeaturesTest, BassBoostOfZeroWritesOnes) {
    RecordingTransport wire;
    SetBassBoost(0);
    for (const Seen& write : BassBoostWritesIn(wire.Records())) {
        SCOPED_TRACE(write.parameter);
        if (write.values.size() == 1) {
            EXPECT_EQ(kOne, write.values[0]);
        } else {
            EXPECT_EQ(
                (std::vector<uint32_t>{kOne, kOne, kFilterMiddle[0], kFilterMiddle[1], kOne, kOne}),
                write.values);
        }
    }
    EXPECT_EQ(6u, BassBoostWritesIn(wire.Records()).size());
}

TEST_F(FeaturesTest, NegativeZeroIsStoredAsZero) {
    SetBassBoost(-6);
    SetBassBoost(-0.0);
    EXPECT_EQ(0u, Be32(g_PanelImage() + kPanelLevelOffset));
}

TEST_F(FeaturesTest, AWholeImageLoadGivesThePreviousValue) {
    // The processor holds -20 dB; lowering the boost to -12 changes the input
    // gains first, as any lowering does.
    WriteBigEndian32(g_ParamImage() + kPanelLevelOffset, FloatBits(-20.0f));
    RefreshFromImage();
    EXPECT_EQ(-20.0f, BassBoostDb());
    RecordingTransport wire;
    SetBassBoost(-12);
    const auto writes = BassBoostWritesIn(wire.Records());
    ASSERT_EQ(6u, writes.size());
    EXPECT_EQ(68, writes[0].parameter);
}

TEST_F(FeaturesTest, AutoLevelWritesTheCompressorLayout) {
    RecordingTransport wire;
    SetAutoLevel(-20, 4.0, 10, 200);
    const auto records = wire.Records();
    ASSERT_EQ(1u, records.size());
    const auto& r = records[0];
    ASSERT_EQ(5u + 28, r.size());
    EXPECT_EQ((std::vector<uint8_t>{CMD_DSP_WRITE, 0, 4, 14, 7}),
              std::vector<uint8_t>(r.begin(), r.begin() + 5));
    const uint32_t expected[7] = {FloatBits(-20.0f),
                                  0,
                                  FloatBits(0.75f),
                                  FloatBits(20.0f),
                                  FloatBits(0.05f),
                                  FloatBits(static_cast<float>(1.0 - std::exp(-1.0 / 480))),
                                  FloatBits(static_cast<float>(1.0 - std::exp(-1.0 / 9600)))};
    const int offset = DspRecordValueOffset(4, 14);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(expected[i], Be32(r.data() + 5 + 4 * i)) << "x" << i;
        EXPECT_EQ(expected[i], Be32(g_ParamImage() + offset + 4 * i)) << "x" << i;
    }
    EXPECT_EQ(-20.0f, g_AutoLevel().thresholdDb);
    EXPECT_EQ(4.0, g_AutoLevel().ratio);
    EXPECT_EQ(10.0, g_AutoLevel().attackMs);
    EXPECT_EQ(200.0, g_AutoLevel().releaseMs);

    // Read back from the image, the settings come out as given.
    RefreshFromImage();
    EXPECT_EQ(-20.0f, g_AutoLevel().thresholdDb);
    EXPECT_NEAR(4.0, g_AutoLevel().ratio, 1e-6);
    EXPECT_NEAR(10.0, g_AutoLevel().attackMs, 1e-3);
    EXPECT_NEAR(200.0, g_AutoLevel().releaseMs, 0.1);
}

// On the network, changes wait in a queue whose frames with equal heads
// replace each other. Bass boost moves made faster than the processor
// answers must still reach it whole and in order.
class BassBoostQueueTest : public SimNetFixture {};

TEST_F(BassBoostQueueTest, EveryWriteOfEveryMoveReachesTheProcessorInOrder) {
    SimFaults slow;
    slow.replyLatencyMs = 10;
    sim.SetFaults(slow);
    ASSERT_TRUE(g_bQueuedSend() && g_bCoalesce());
    sim.ClearCommandLog();

    const float moves[] = {-6, 0, -3, -12, -11};
    std::vector<Seen> expected;
    float previous = 0;
    for (const float g : moves) {
        SetBassBoost(g);
        const auto writes = Expected(g, previous);
        expected.insert(expected.end(), writes.begin(), writes.end());
        previous = g;
    }
    EXPECT_TRUE(g_bCoalesce()) << "the switch is set again";

    // Once the processor holds the last move's values, every write of every
    // move must have reached it, in order.
    const auto holdsTheImage = [&] {
        const auto memory = sim.Memory();
        for (int parameter : {41, 42, 44, 68, 69, 71}) {
            const int offset = DspRecordValueOffset(1, parameter);
            const int bytes = 4 * (parameter == 44 || parameter == 71 ? 6 : 1);
            for (int i = 0; i < bytes; ++i)
                if (memory[offset + i] != g_ParamImage()[offset + i]) return false;
        }
        return Be32(memory.data() + kPanelLevelOffset) == FloatBits(-11.0f);
    };
    ASSERT_TRUE(WaitFor(holdsTheImage));
    EXPECT_EQ(expected, ReceivedBassBoostWrites(sim));
}

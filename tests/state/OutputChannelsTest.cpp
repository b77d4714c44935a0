// The output channels' operations against the simulated processor: what
// reaches its memory and the commands sent, in order.
#include "SimNetFixture.h"

#include "controls/EqModel.h"
#include "state/Compressor.h"
#include "state/OutputChannels.h"

#include <cmath>
#include <cstring>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes BigEndian(const std::vector<uint32_t>& values) {
    Bytes bytes;
    for (uint32_t v : values)
        for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(uint8_t(v >> shift));
    return bytes;
}

// A DSP write record: code 9, 0, block, parameter, count, the values.
SimRecord DspRecord(int block, int parameter, const std::vector<uint32_t>& values) {
    SimRecord record{9, 0, uint8_t(block), uint8_t(parameter), uint8_t(values.size())};
    const Bytes bytes = BigEndian(values);
    record.insert(record.end(), bytes.begin(), bytes.end());
    return record;
}

bool IsDsp(const SimRecord& record, int block, int parameter) {
    return record.size() >= 5 && record[0] == 9 && record[2] == block && record[3] == parameter;
}

bool IsPanelWrite(const SimRecord& record, int offset) {
    return record.size() >= 4 && record[0] == 133 && ((record[1] << 8) | record[2]) == offset;
}

// Band record of the simulator's memory.
EqBandRecord SimBand(const SimProcessor& sim, int set, int band) {
    const auto memory = sim.Memory();
    return DecodeEqBandRecord(memory.data() + EqBandOffset(set, band));
}

class OutputChannelsSimTest : public SimNetFixture {
protected:
    // Every command the operations make is looked at: none may replace another.
    void SetUp() override {
        g_bCoalesce() = false;
        SimNetFixture::SetUp();
        ReadAll();
        sim.ClearCommandLog();
    }
    void TearDown() override {
        SimNetFixture::TearDown();
        g_bCoalesce() = true;
    }

    // Waits for exactly count commands: the log after a short quiet time.
    std::vector<SimRecord> Commands(size_t count) {
        EXPECT_TRUE(sim.WaitForCommandCount(count, 5000));
        std::this_thread::sleep_for(std::chrono::milliseconds(40)); // nothing more may come
        return sim.ReceivedCommands();
    }

    // Brings a change to the processor and forgets its commands.
    void Settle(size_t count) {
        Commands(count);
        sim.ClearCommandLog();
    }

    Bytes SimBytes(int offset, int count) const {
        const auto memory = sim.Memory();
        return Bytes(memory.begin() + offset, memory.begin() + offset + count);
    }
};

TEST_F(OutputChannelsSimTest, SetCompressorWritesTheSevenValuesOfItsRecord) {
    const struct {
        int index;
        int block;
        int parameter;
        int valueOffset;
    } cases[] = {{0, 5, 24, 2053}, {3, 8, 24, 2053 + 3 * 153}, {8, 13, 10, 3224}};
    const std::vector<uint32_t> expected = {FloatBits(-20.0f),
                                            0,
                                            FloatBits(0.75f),
                                            FloatBits(20.0f),
                                            FloatBits(0.05f),
                                            FloatBits(float(1.0 - std::exp(-1.0 / 480.0))),
                                            FloatBits(float(1.0 - std::exp(-1.0 / 9600.0)))};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        sim.ClearCommandLog();
        SetCompressor(c.index, -20, 4.0, 10, 200);
        const auto log = Commands(1);
        ASSERT_EQ(1u, log.size());
        EXPECT_EQ(DspRecord(c.block, c.parameter, expected), log[0]);
        EXPECT_EQ(BigEndian(expected), SimBytes(c.valueOffset, 28));
        EXPECT_EQ(
            0, std::memcmp(g_ParamImage() + c.valueOffset, SimBytes(c.valueOffset, 28).data(), 28));
        EXPECT_EQ(-20.0f, g_Compressor()[c.index].thresholdDb);
        EXPECT_EQ(4.0, g_Compressor()[c.index].ratio);
        EXPECT_EQ(10.0, g_Compressor()[c.index].attackMs);
        EXPECT_EQ(200.0, g_Compressor()[c.index].releaseMs);
    }
    // Nothing for an index outside 0..8.
    sim.ClearCommandLog();
    SetCompressor(9, -20, 4.0, 10, 200);
    EXPECT_TRUE(Commands(0).empty());
}

TEST_F(OutputChannelsSimTest, ReadDecodesEveryCompressorRecord) {
    // Channel 2 holds other settings; the others keep the default record.
    auto memory = sim.Memory();
    const auto record = EncodeCompressorRecord(-35, 6.5, 25, 640);
    for (int i = 0; i < kCompressorValueCount; ++i)
        WriteBigEndian32(memory.data() + 2053 + 2 * 153 + 4 * i, record[i]);
    sim.SetMemory(memory);
    ReadAll();
    for (int index = 0; index < kCompressorCount; ++index) {
        SCOPED_TRACE(index);
        const CompressorValues& c = g_Compressor()[index];
        const bool changed = index == 2;
        EXPECT_EQ(changed ? -35.0f : 0.0f, c.thresholdDb);
        EXPECT_NEAR(changed ? 6.5 : 30.0, c.ratio, 1e-3);
        EXPECT_NEAR(changed ? 25.0 : 1.0, c.attackMs, 1e-3);
        EXPECT_NEAR(changed ? 640.0 : 100.0, c.releaseMs, 0.05);
    }
}

TEST_F(OutputChannelsSimTest, DelayModesWriteTheWeightsAndTheSplitFilters) {
    const int channel = 2;
    const int set = OutputEqSet(channel);
    struct Case {
        bool whole;
        float secondWeight;
        int lowSlotType;
        int highSlotType;
    };
    const Case cases[] = {{false, 1.0f, EQ_HP, EQ_LP}, {true, 0.0f, EQ_PEQ, EQ_PEQ}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.whole);
        sim.ClearCommandLog();
        SetDelayMode(channel, c.whole);
        const auto log = Commands(5);
        ASSERT_EQ(5u, log.size());
        EXPECT_EQ(DspRecord(7, 14, {FloatBits(1.0f), FloatBits(c.secondWeight)}), log[0]);
        EXPECT_TRUE(IsDsp(log[1], 7, 10));
        EXPECT_TRUE(IsPanelWrite(log[2], EqBandOffset(set, 10)));
        EXPECT_TRUE(IsDsp(log[3], 7, 11));
        EXPECT_TRUE(IsPanelWrite(log[4], EqBandOffset(set, 11)));
        EXPECT_EQ(c.whole, g_WholeChannelDelay()[channel]);
        const EqBandRecord low = SimBand(sim, set, 10);
        const EqBandRecord high = SimBand(sim, set, 11);
        EXPECT_EQ(c.lowSlotType, low.type);
        EXPECT_EQ(c.highSlotType, high.type);
        EXPECT_EQ(500.0, low.frequency); // the default split row 0
        EXPECT_EQ(1000.0, high.frequency);
        EXPECT_EQ(0.707, low.q);
    }
}

TEST_F(OutputChannelsSimTest, SplitRowsPlaceBothSlots) {
    const int channel = 4;
    const int set = OutputEqSet(channel);
    SetDelayMode(channel, false);
    Settle(5);
    SetDelaySplit(channel, 25);
    Commands(4);
    EXPECT_EQ(3000.0, SimBand(sim, set, 10).frequency);
    EXPECT_EQ(EQ_HP, SimBand(sim, set, 10).type);
    EXPECT_EQ(3500.0, SimBand(sim, set, 11).frequency);
    EXPECT_EQ(EQ_LP, SimBand(sim, set, 11).type);
    EXPECT_EQ(25, SplitRowOfChannel(channel));
    // A split frequency the table does not hold counts as row 0.
    StoreEqBand(set, 10, 0.0, 3050, 0.707, EQ_HP);
    EXPECT_EQ(0, SplitRowOfChannel(channel));
    EXPECT_EQ(3000, SplitFreqTable[25].splitHz);
    EXPECT_EQ(1000, SplitFreqTable[0].upperHz);
}

TEST_F(OutputChannelsSimTest, DelayTimeOfAHundredMillisecondsIs4800Samples) {
    SetDspParam(OutputBlock(0), OUT_DELAY_TIME, 100.0);
    const auto log = Commands(1);
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(DspRecord(5, 15, {4800}), log[0]);
    EXPECT_EQ(BigEndian({4800}), SimBytes(DspRecordValueOffset(5, 15), 4));
}

TEST_F(OutputChannelsSimTest, SyncSendsOnlyWhatDiffers) {
    // CH 2 differs from CH 1 in its reverb level, compressor and switch, and band 4.
    SetDspParam(6, 18, 40);
    SetCompressor(1, -30, 8.0, 20, 300);
    SetDspParam(6, 25, 0);
    SetEqBand(8, 3, EQ_PEQ, 250, 6.0, 2.0);
    Settle(5);
    EXPECT_FALSE(ChannelsMatch(0, 1));

    SyncChannelPair(1, 0);
    const auto log = Commands(5);
    ASSERT_EQ(5u, log.size());
    EXPECT_TRUE(IsDsp(log[0], 5, 18));
    EXPECT_EQ(DspRecord(5, 24, {}).size() + 28, log[1].size());
    EXPECT_TRUE(IsDsp(log[1], 5, 24));
    EXPECT_TRUE(IsDsp(log[2], 5, 25));
    EXPECT_TRUE(IsDsp(log[3], 5, 3));
    EXPECT_TRUE(IsPanelWrite(log[4], EqBandOffset(7, 3)));
    EXPECT_TRUE(ChannelsMatch(0, 1));
    EXPECT_EQ(SimBytes(DspRecordValueOffset(6, 24), 28), SimBytes(DspRecordValueOffset(5, 24), 28));
    EXPECT_EQ(SimBytes(EqBandOffset(8, 0), 70), SimBytes(EqBandOffset(7, 0), 70));
    EXPECT_EQ(BigEndian({PercentToStored(40)}), SimBytes(DspRecordValueOffset(5, 18), 4));

    // Equal channels send nothing.
    sim.ClearCommandLog();
    SyncChannelPair(1, 0);
    EXPECT_TRUE(Commands(0).empty());
}

TEST_F(OutputChannelsSimTest, SyncCopiesTheDelayModeAfterTheSplitRow) {
    SetDelayMode(7, false);
    SetDelaySplit(7, 12);
    SetDspParam(12, 15, 20.0);
    Settle(10);
    SyncChannelPair(7, 6);
    const auto log = Commands(10);
    ASSERT_EQ(10u, log.size());
    EXPECT_TRUE(IsDsp(log[0], 11, 10)); // the row, in the destination's mode
    EXPECT_TRUE(IsDsp(log[2], 11, 11));
    EXPECT_TRUE(IsDsp(log[4], 11, 14)); // the mode, with the filters again
    EXPECT_TRUE(IsDsp(log[5], 11, 10));
    EXPECT_TRUE(IsDsp(log[9], 11, 15)); // the delay time last
    EXPECT_FALSE(g_WholeChannelDelay()[6]);
    EXPECT_EQ(12, SplitRowOfChannel(6));
    EXPECT_EQ(EQ_HP, SimBand(sim, 13, 10).type);
    EXPECT_EQ(1700.0, SimBand(sim, 13, 10).frequency);
    EXPECT_TRUE(ChannelsMatch(6, 7));
}

TEST_F(OutputChannelsSimTest, CrossoverBandAndItsSectionsTakeTheAlignment) {
    const SectionTypes stored = StoredSectionTypes(12, kCrossoverBand);
    EXPECT_EQ((SectionTypes{18, 20, 1, 1}), stored); // "Butterworth 24dB" low-pass
    ASSERT_TRUE(CrossoverIsLowPass(stored));
    SetCompoundBand(12, kCrossoverBand, CrossoverSections(5, true), 120); // "Bessel 18dB"
    const auto log = Commands(8);
    ASSERT_EQ(8u, log.size());
    const int expectedTypes[4] = {8, 10, 1, 1};
    for (int s = 0; s < 4; ++s) {
        SCOPED_TRACE(s);
        EXPECT_TRUE(IsDsp(log[2 * s], 10, 6 + s));
        EXPECT_TRUE(IsPanelWrite(log[2 * s + 1], EqBandOffset(12, 6 + s)));
        const EqBandRecord band = SimBand(sim, 12, 6 + s);
        EXPECT_EQ(expectedTypes[s], band.type);
        EXPECT_EQ(120.0, band.frequency);
        EXPECT_EQ(0.707, band.q); // kept
    }
}

TEST(CrossoverAlignmentTest, ReverseLookupOfSectionTypes) {
    const struct {
        SectionTypes sections;
        int alignment;
        int bandType;
        bool lowPass;
    } cases[] = {
        {{8, 10, 1, 1}, 5, EQ_LP, true},     {{9, 11, 1, 1}, 5, EQ_HP, false},
        {{19, 21, 19, 21}, 3, EQ_HP, false}, {{6, 1, 1, 1}, 10, EQ_LP, true},
        {{13, 1, 1, 1}, 7, EQ_HP, false},    {{1, 1, 1, 1}, 0, EQ_PEQ, false},
        {{4, 1, 1, 1}, 0, EQ_LS, false},     {{5, 1, 1, 1}, 0, EQ_HS, false},
        {{18, 18, 18, 18}, 0, 0, true},      {{21, 1, 2, 1}, 0, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.sections));
        const CrossoverMatch match = MatchCrossover(c.sections);
        EXPECT_EQ(c.alignment, match.alignment);
        EXPECT_EQ(c.bandType, match.bandType);
        EXPECT_EQ(c.lowPass, CrossoverIsLowPass(c.sections));
    }
    EXPECT_EQ(std::string("Bessel 18dB"), CrossoverAlignment[5].name);
    EXPECT_EQ((SectionTypes{9, 11, 1, 1}), CrossoverSections(5, false));
}

TEST(ChannelLinkTest, LinkedChannelsFollowTheFlags) {
    const struct {
        std::array<uint8_t, 3> flags;
        int channel;
        std::vector<int> linked;
    } cases[] = {
        {{1, 1, 1}, 0, {0, 1}}, {{1, 1, 1}, 3, {2, 3}}, {{1, 1, 1}, 4, {4}}, {{1, 1, 1}, 5, {5}},
        {{1, 1, 1}, 7, {6, 7}}, {{0, 1, 1}, 1, {1}},    {{1, 0, 1}, 2, {2}}, {{1, 1, 0}, 6, {6}},
    };
    uint8_t saved[kLinkFlagCount];
    std::memcpy(saved, g_LinkFlags, sizeof saved);
    for (const auto& c : cases) {
        std::memcpy(g_LinkFlags, c.flags.data(), 3);
        const auto linked = LinkedChannels(c.channel);
        std::vector<int> channels;
        for (int ch = 0; ch < kOutputChannelCount; ++ch)
            if (linked[ch]) channels.push_back(ch);
        EXPECT_EQ(c.linked, channels) << c.channel;
    }
    std::memcpy(g_LinkFlags, saved, sizeof saved);
}

} // namespace

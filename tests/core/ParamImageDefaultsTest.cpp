// The default parameter image byte for byte, the table that binds it and the
// editor values read from it.
#include "state/DspParamTable.h"
#include "state/ParamImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

struct RecordHead {
    int offset;
    int block;
    int parameter;
    int count;
};

// Walks the DSP record chain from 1254; stops at the first head that would
// leave the image.
std::vector<RecordHead> WalkChain(int* end) {
    std::vector<RecordHead> heads;
    int offset = kDspAreaStart;
    while (offset + 3 <= kImageSize) {
        const int count = g_ParamImage()[offset + 2];
        if (offset + 3 + 4 * count > kImageSize) break;
        heads.push_back({offset, g_ParamImage()[offset], g_ParamImage()[offset + 1], count});
        offset += 3 + 4 * count;
    }
    *end = offset;
    return heads;
}

uint32_t ValueAt(int offset) {
    return ReadBigEndian32(g_ParamImage() + offset);
}

class DefaultImageTest : public ::testing::Test {
protected:
    void SetUp() override { BuildDefaultImage(); }
};

TEST_F(DefaultImageTest, RecordChainFillsTheDspAreaExactly) {
    int end = 0;
    const std::vector<RecordHead> heads = WalkChain(&end);
    EXPECT_EQ(heads.size(), 232u);
    EXPECT_EQ(end, 3350);
    // Blocks appear in ascending order, each starting at its directory offset.
    const std::pair<int, int> firstHeads[] = {{1, 1254},  {2, 1560},  {3, 1672},
                                              {4, 1756},  {5, 1962},  {6, 2115},
                                              {12, 3033}, {13, 3186}, {14, 3266}};
    for (const auto& [block, offset] : firstHeads) {
        const auto it = std::find_if(heads.begin(), heads.end(),
                                     [block](const RecordHead& h) { return h.block == block; });
        ASSERT_NE(it, heads.end()) << "block " << block;
        EXPECT_EQ(it->offset, offset) << "block " << block;
    }
}

// A record of the directory: head offset, block, parameter and every value.
struct ExpectedRecord {
    int offset;
    int block;
    int parameter;
    std::vector<uint32_t> values;
};

constexpr uint32_t kOne = 0x3F800000;

TEST_F(DefaultImageTest, SampledRecordsMatchTheDirectory) {
    const std::vector<ExpectedRecord> records = {
        // Block 1: percent levels, ten-thousandths, shift filters.
        {1254, 1, 4, {0x3F800000}},
        {1282, 1, 8, {0x3B03126F}}, // 0.002
        {1310, 1, 12, {0}},
        {1317, 1, 13, {0}},
        {1324, 1, 14, {0x3F000000}},
        {1331, 1, 15, {0x3F800000}},
        {1387, 1, 38, {0x3A2B92A6}},
        {1394, 1, 39, {1200}},
        {1408, 1, 41, {kOne}},
        {1422, 1, 43, {1}},
        {1429, 1, 44, {kOne, kOne, 0x3F7D554A, 0xBFFEA8DC, kOne, kOne}},
        {1456, 1, 60, {0}},
        {1463, 1, 61, {0}},
        {1491, 1, 65, {0x3A2B92A6}},
        {1498, 1, 66, {1200}},
        {1533, 1, 71, {kOne, kOne, 0x3F7D554A, 0xBFFEA8DC, kOne, kOne}},
        // Block 2: echo.
        {1574, 2, 9, {0x3F266666}},
        {1581, 2, 10, {96}},
        {1588, 2, 11, {11856}},
        {1658, 2, 28, {0x3F4CCCCD}}, // 80 %
        {1665, 2, 29, {0x3F800000}},
        // Block 3: reverb.
        {1679, 3, 8, {0x3DF5C28F}}, // 12 %
        {1686, 3, 9, {96}},
        {1693, 3, 10, {0x3F0F5C29}}, // 56 %
        // Block 4: music, including the records without entry or location.
        {1763, 4, 12, {0x3E23D70A}}, // 16 %
        {1777, 4, 14, {0, 0, 0x3F400000, 0x41A00000, 0x3D4CCCCD, 0x39B6034A, 0x3811A20E}},
        {1808, 4, 15, {1}},
        {1815, 4, 16, {0}},
        {1822, 4, 17, {0xC1C80000}},
        {1829, 4, 21, {5}},
        {1836, 4, 22, {0}},
        {1941, 4, 37, {0x3F800000}},
        {1948, 4, 39, {0}},
        {1955, 4, 40, {0}},
        // Output channel 0 and 7, recording and features.
        {1976, 5, 14, {kOne, 0}},
        {1987, 5, 15, {64}},
        {2050, 5, 24, {0, 0, 0x3F777777, 0x41A00000, 0x3D4CCCCD, 0x3CA8E6C0, 0x395A7000}},
        {2088, 5, 26, {kOne, kOne, 0x3F7EFF25, 0xBFFF7EF1, kOne, kOne}},
        {3033, 12, 12, {0}},
        {3040, 12, 13, {2}},
        {3193, 13, 6, {0x3F800000}},
        {3221, 13, 10, {0, 0, 0x3F777777, 0x41A00000, 0x3D4CCCCD, 0x3CA8E6C0, 0x395A7000}},
        {3252, 13, 11, {1}},
        {3259, 13, 12, {0x3F800000}},
        {3266, 14, 0, {0x43480000}},
        {3273, 14, 1, {0x40400000}},
        {3280, 14, 2, {0x44BB8000}},
        {3294, 14, 4, {0x45480000}},
        {3301, 14, 5, {0x40A00000}},
        {3308, 14, 6, {0x3EB851EC}}, // 36 %
        {3343, 14, 11, {1}},
    };
    for (const ExpectedRecord& r : records) {
        SCOPED_TRACE(::testing::Message() << "record " << r.block << "/" << r.parameter);
        EXPECT_EQ(g_ParamImage()[r.offset], r.block);
        EXPECT_EQ(g_ParamImage()[r.offset + 1], r.parameter);
        ASSERT_EQ(g_ParamImage()[r.offset + 2], r.values.size());
        for (size_t i = 0; i < r.values.size(); ++i) {
            EXPECT_EQ(ValueAt(r.offset + 3 + 4 * static_cast<int>(i)), r.values[i])
                << "value " << i;
        }
    }
}

TEST_F(DefaultImageTest, EveryOutputBlockCarriesItsSourceAndBracketedFloats) {
    const int sources[8] = {0, 0, 7, 6, 5, 4, 3, 2};
    for (int block = 5; block <= 12; ++block) {
        SCOPED_TRACE(::testing::Message() << "block " << block);
        const int base = 1962 + 153 * (block - 5);
        EXPECT_EQ(ValueAt(base + 7 + 3), static_cast<uint32_t>(sources[block - 5]));
        EXPECT_EQ(ValueAt(base + 88 + 3 + 8), 0x3F777777u);
        EXPECT_EQ(ValueAt(base + 88 + 3 + 20), 0x3CA8E6C0u);
        EXPECT_EQ(ValueAt(base + 88 + 3 + 24), 0x395A7000u);
        EXPECT_EQ(ValueAt(base + 126 + 3 + 8), 0x3F7EFF25u);
        EXPECT_EQ(ValueAt(base + 126 + 3 + 12), 0xBFFF7EF1u);
        for (int parameter = 17; parameter <= 23; ++parameter) {
            EXPECT_EQ(ValueAt(base + 39 + 7 * (parameter - 17) + 3), 0x3F800000u);
        }
    }
}

TEST_F(DefaultImageTest, TableFollowsTheChainWithoutBlock4Parameters16And17) {
    int end = 0;
    const std::vector<RecordHead> heads = WalkChain(&end);
    size_t entry = 0;
    for (const RecordHead& head : heads) {
        if (head.block == 4 && (head.parameter == 16 || head.parameter == 17)) {
            EXPECT_EQ(FindDspParam(4, head.parameter), nullptr);
            continue;
        }
        ASSERT_LT(entry, DspParamTable.size());
        const DspParamEntry& e = DspParamTable[entry++];
        EXPECT_EQ(e.block, head.block);
        EXPECT_EQ(e.parameter, head.parameter);
        EXPECT_EQ(e.valueCount, head.count);
        const bool pitch = head.block == 4 && head.parameter == 21;
        EXPECT_EQ(e.imageOffset, pitch ? -1 : head.offset + 3);
        EXPECT_EQ(DspRecordValueOffset(head.block, head.parameter), head.offset + 3);
    }
    EXPECT_EQ(entry, 230u);
}

TEST_F(DefaultImageTest, KindsGiveIntegerOrFloatEditorVariables) {
    for (const DspParamEntry& e : DspParamTable) {
        SCOPED_TRACE(::testing::Message() << e.block << "/" << e.parameter);
        switch (e.kind) {
        case DspValueKind::Percent:
        case DspValueKind::LowByte:
        case DspValueKind::TenThousandths:
            EXPECT_NE(e.intVar(), nullptr);
            EXPECT_EQ(e.floatVar(), nullptr);
            break;
        case DspValueKind::Samples:
        case DspValueKind::Raw:
            EXPECT_EQ(e.intVar(), nullptr);
            EXPECT_NE(e.floatVar(), nullptr);
            break;
        case DspValueKind::None:
            EXPECT_EQ(e.floatVar(), nullptr);
            if (!(e.block == 4 && e.parameter == 21)) {
                EXPECT_EQ(e.intVar(), nullptr);
            }
            break;
        }
    }
    // The recording output shares the channel arrays as index 8.
    EXPECT_EQ(FindDspParam(13, 5)->intVar(), &g_OutputIntVar()[12][8]);
    EXPECT_EQ(FindDspParam(13, 9)->intVar(), &g_OutputIntVar()[20][8]);
    EXPECT_EQ(FindDspParam(13, 11)->intVar(), &g_OutputIntVar()[25][8]);
    EXPECT_EQ(FindDspParam(7, 15)->floatVar(), &g_OutputFloatVar()[15][2]);
    EXPECT_EQ(FindDspParam(13, 12)->intVar(), &g_DspIntVar()[13][12]);
}

// Band record bytes: gain word, frequency word, Q word, type.
struct ExpectedBand {
    int set;
    int band;
    int offset;
    uint8_t bytes[7];
};

TEST_F(DefaultImageTest, BandRecordsMatchTheDefaultSets) {
    const ExpectedBand bands[] = {
        {0, 0, 0, {0x00, 0x96, 0x00, 0x19, 0x05, 0x86, 1}},
        {0, 8, 56, {0x00, 0x96, 0x03, 0xE6, 0x05, 0x86, 1}}, // 998 Hz
        {1, 14, 203, {0x00, 0x96, 0x3E, 0x80, 0x05, 0x86, 1}},
        {2, 0, 210, {0x00, 0x96, 0x00, 0x3D, 0x05, 0x86, 1}},
        {2, 6, 252, {0x00, 0x96, 0x13, 0x88, 0x02, 0xC3, 2}},
        {3, 0, 259, {0x00, 0x96, 0x00, 0xC8, 0x02, 0xC3, 3}},
        {3, 1, 266, {0x00, 0x96, 0x00, 0xA0, 0x05, 0x86, 1}},
        {3, 6, 301, {0x00, 0xB4, 0x13, 0x88, 0x02, 0xC3, 5}}, // +3 dB
        {4, 0, 308, {0x00, 0x96, 0x00, 0x78, 0x02, 0xC3, 3}},
        {4, 6, 350, {0x00, 0x5A, 0x13, 0x88, 0x02, 0xC3, 5}}, // -6 dB
        {5, 0, 357, {0x00, 0x96, 0x00, 0x64, 0x02, 0xC3, 3}},
        {5, 6, 399, {0x00, 0x78, 0x0B, 0xB8, 0x02, 0xC3, 5}}, // -3 dB
        {6, 9, 469, {0x00, 0x96, 0x3E, 0x80, 0x05, 0x86, 1}},
        {6, 10, 476, {0x00, 0x96, 0x00, 0x64, 0x02, 0xC3, 2}},
        {7, 0, 483, {0x00, 0x96, 0x00, 0x1F, 0x05, 0x86, 1}},
        {7, 10, 553, {0x00, 0x96, 0x01, 0xF4, 0x02, 0xC3, 1}},
        {7, 11, 560, {0x00, 0x96, 0x03, 0xE8, 0x02, 0xC3, 1}},
        {12, 5, 938, {0x00, 0x96, 0x03, 0xE8, 0x05, 0x86, 1}},
        {12, 6, 945, {0x00, 0x96, 0x00, 0x64, 0x02, 0xC3, 18}},
        {12, 7, 952, {0x00, 0x96, 0x00, 0x64, 0x02, 0xC3, 20}},
        {12, 8, 959, {0x00, 0x96, 0x00, 0x64, 0x02, 0xC3, 1}},
        {12, 9, 966, {0x00, 0x96, 0x00, 0x64, 0x02, 0xC3, 1}},
        {12, 10, 973, {0x00, 0x96, 0x01, 0xF4, 0x02, 0xC3, 1}},
        {14, 9, 1134, {0x00, 0x96, 0x3E, 0x80, 0x05, 0x86, 1}},
        {15, 0, 1155, {0x00, 0x96, 0x00, 0x1F, 0x05, 0x86, 1}},
        {15, 4, 1183, {0x00, 0x96, 0x01, 0xF4, 0x05, 0x86, 1}},
    };
    for (const ExpectedBand& b : bands) {
        SCOPED_TRACE(::testing::Message() << "set " << b.set << " band " << b.band);
        ASSERT_EQ(EqBandOffset(b.set, b.band), b.offset);
        EXPECT_EQ(0, std::memcmp(g_ParamImage() + b.offset, b.bytes, 7));
    }
    // Only the three shelves of sets 3..5 differ from 0 dB.
    int nonZeroGains = 0;
    for (int offset = 0; offset < 1190; offset += 7) {
        if (g_ParamImage()[offset] != 0x00 || g_ParamImage()[offset + 1] != 0x96) ++nonZeroGains;
    }
    EXPECT_EQ(nonZeroGains, 3);
}

TEST_F(DefaultImageTest, SurroundBlocksAndUnusedBytes) {
    const uint8_t layout[24] = {0x04, 0x04, 0x00, 0x00, 0x8A, 0x0A, 0x00, 0x0A,
                                0x0A, 0x0A, 0x8A, 0x8A, 0x00, 0x8A, 0x0A, 0x8A,
                                0x85, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(0, std::memcmp(g_ParamImage() + 1222, layout, 24));
    for (int offset = 1190; offset < 1222; ++offset) EXPECT_EQ(g_ParamImage()[offset], 0) << offset;
    for (int offset = 1246; offset < 1254; ++offset) EXPECT_EQ(g_ParamImage()[offset], 0) << offset;
    EXPECT_EQ(0, std::memcmp(g_PanelImage(), g_ParamImage(), kPanelSize));
    EXPECT_EQ(g_SurroundLayout().byte1222, 4);
    EXPECT_EQ(g_SurroundLayout().byte1223, 4);
    const float points[18] = {0, 0, -1, 1, 0, 1, 1, 1, -1, -1, 0, -1, 1, -1, -0.5f, 0, 0.5f, 0};
    for (int i = 0; i < 18; ++i) EXPECT_FLOAT_EQ(g_SurroundLayout().points[i], points[i]) << i;
}

TEST_F(DefaultImageTest, EditorVariablesAndDerivedValues) {
    EXPECT_EQ(GetDspParam(1, 14), 50);
    EXPECT_EQ(GetDspParam(1, 15), 100);
    EXPECT_EQ(GetDspParam(1, 13), 0);
    EXPECT_EQ(GetDspParam(2, 9), 65);
    EXPECT_EQ(GetDspParam(2, 12), 88);
    EXPECT_EQ(GetDspParam(3, 8), 12);
    EXPECT_EQ(GetDspParam(3, 10), 56);
    EXPECT_EQ(GetDspParam(14, 6), 36);
    EXPECT_EQ(GetDspParam(1, 8), 20);
    EXPECT_EQ(GetDspParam(1, 43), 1);
    EXPECT_EQ(GetDspParam(1, 41), 0); // kind None: no editor variable
    EXPECT_FLOAT_EQ(GetDspParam(1, 39), 25.0f);
    EXPECT_FLOAT_EQ(GetDspParam(2, 11), 247.0f);
    EXPECT_FLOAT_EQ(GetDspParam(14, 2), 1500.0f);
    EXPECT_EQ(g_OutputIntVar()[13][2], 7);
    EXPECT_EQ(g_OutputIntVar()[13][7], 2);
    EXPECT_EQ(g_OutputIntVar()[17][8], 100);
    EXPECT_NEAR(g_OutputFloatVar()[15][0], 64 / 48.0, 1e-6);
    EXPECT_EQ(g_MusicPitch(), 0);
    EXPECT_EQ(GetDspParam(4, 21), 0);

    for (int channel = 0; channel <= 8; ++channel) {
        SCOPED_TRACE(channel);
        EXPECT_EQ(g_Compressor()[channel].thresholdDb, 0.0f);
        EXPECT_NEAR(g_Compressor()[channel].ratio, 30.0, 1e-3);
        EXPECT_NEAR(g_Compressor()[channel].attackMs, 1.0, 1e-3);
        EXPECT_NEAR(g_Compressor()[channel].releaseMs, 100.0, 1e-2);
    }
    for (bool whole : g_WholeChannelDelay()) EXPECT_TRUE(whole);
    EXPECT_NEAR(g_AutoLevel().ratio, 4.0, 1e-6);
    EXPECT_NEAR(g_AutoLevel().attackMs, 60.0, 0.01);
    EXPECT_NEAR(g_AutoLevel().releaseMs, 600.0, 0.1);
    EXPECT_EQ(g_PanelLevel(), 0.0f);
    EXPECT_NEAR(g_ShiftFrequencyA(), 5.001, 1e-4);
    EXPECT_NEAR(g_ShiftFrequencyB(), 5.001, 1e-4);
}

TEST_F(DefaultImageTest, RefreshReadsEveryDerivedValueFromTheImage) {
    g_ParamImage()[DspRecordValueOffset(4, 21) + 3] = 2;                         // pitch -3
    WriteBigEndian32(g_ParamImage() + DspRecordValueOffset(7, 14) + 4, kOne);    // channel 2
    WriteBigEndian32(g_ParamImage() + DspRecordValueOffset(13, 10), 0xC1200000); // -10 dB
    g_ParamImage()[DspRecordValueOffset(1, 40) + 3] = 1;
    WriteBigEndian32(g_ParamImage() + kPanelLevelOffset, FloatBits(-6.5f));
    g_ParamImage()[1224] = 0x85;
    WriteBigEndian32(g_ParamImage() + DspRecordValueOffset(2, 9), PercentToStored(30));
    WriteBigEndian32(g_ParamImage() + DspRecordValueOffset(4, 39), 240);
    RefreshFromImage();
    EXPECT_EQ(g_MusicPitch(), -3);
    EXPECT_FALSE(g_WholeChannelDelay()[2]);
    EXPECT_TRUE(g_WholeChannelDelay()[3]);
    EXPECT_EQ(g_Compressor()[8].thresholdDb, -10.0f);
    EXPECT_EQ(g_ShiftFrequencyA(), 1.0);
    EXPECT_NEAR(g_ShiftFrequencyB(), 5.001, 1e-4);
    EXPECT_EQ(g_PanelLevel(), -6.5f);
    EXPECT_FLOAT_EQ(g_SurroundLayout().points[0], -0.5f);
    EXPECT_EQ(g_PanelImage()[1224], 0x85);
    EXPECT_EQ(GetDspParam(2, 9), 30);
    EXPECT_FLOAT_EQ(GetDspParam(4, 39), 5.0f);
}

} // namespace

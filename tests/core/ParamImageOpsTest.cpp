// Encodings of the parameter image and the operations that change a
// parameter: what they store and the exact bytes they send.
#include "controls/EqModel.h"
#include "link/CommandFrames.h"
#include "link/DebugLog.h"
#include "link/LinkState.h"
#include "state/DspParamTable.h"
#include "state/ParamImage.h"

#include "RecordingSink.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Every record the senders post to the outbox, in order.
class PostedRecords : public RecordingSink {
public:
    std::vector<Bytes> posted;
    void Post(const uint8_t* record, int count) override {
        posted.emplace_back(record, record + count);
    }
};

class ParamImageOpsTest : public ::testing::Test {
protected:
    PostedRecords transport;
    std::vector<std::string> debugLines;

    void SetUp() override {
        g_bNetMode() = false;
        g_bQueuedSend() = false;
        BuildDefaultImage();
        SetDebugLogSink([this](const std::string& line) { debugLines.push_back(line); });
    }
    void TearDown() override {
        SetDebugLogSink({});
        g_bNetMode() = false;
    }
    Bytes ImageBytes(int offset, int count) const {
        return Bytes(g_ParamImage() + offset, g_ParamImage() + offset + count);
    }
};

// ---------------------------------------------------------------- encodings

TEST(ParamImageEncodingTest, PercentBitsAndReadBack) {
    const struct {
        int value;
        uint32_t bits;
    } cases[] = {
        {0, 0x00000000}, {60, 0x3F19999C}, {65, 0x3F266668}, {100, 0x3F800001}, {1, 0x3C23D775}};
    for (const auto& c : cases) {
        EXPECT_EQ(PercentToStored(c.value), c.bits) << c.value;
        EXPECT_EQ(PercentFromStored(c.bits), c.value) << c.value;
    }
    for (int value = 0; value <= 100; ++value) {
        EXPECT_EQ(PercentFromStored(PercentToStored(value)), value) << value;
    }
}

// Exact floats (as the processor's own image holds them) read back to the
// nearest whole value, not one below it.
TEST(ParamImageEncodingTest, ReadBackRoundsToTheNearestValue) {
    const struct {
        uint32_t bits;
        int percent;
        int tenThousandths;
    } cases[] = {
        {0x3F266666, 65, 6500},     // 0.65
        {0x3F6147AE, 88, 8800},     // 0.88
        {0x3DF5C28F, 12, 1200},     // 0.12
        {0xBF7FFFFE, -100, -10000}, // -0.9999999
        {0x3C23D70A, 1, 100},       // 0.01
        {0x3F800000, 100, 10000},   // 1.0
        {0x00000000, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PercentFromStored(c.bits), c.percent) << std::hex << c.bits;
        EXPECT_EQ(TenThousandthsFromStored(c.bits), c.tenThousandths) << std::hex << c.bits;
    }
    for (int value = 0; value <= 100; ++value) {
        EXPECT_EQ(TenThousandthsFromStored(TenThousandthsToStored(value)), value) << value;
        EXPECT_EQ(PercentFromStored(FloatBits(static_cast<float>(value) / 100.0f)), value) << value;
    }
}

TEST(ParamImageEncodingTest, SampleCounts) {
    EXPECT_NEAR(SamplesToMs(64), 1.3333, 1e-4);
    EXPECT_EQ(MsToSamples(5.0), 240u);
    EXPECT_EQ(MsToSamples(1.3333334), 64u);
    EXPECT_EQ(MsToSamples(0.01), 0u);
    EXPECT_EQ(MsToSamples(0.0105), 1u); // rounds half up
    EXPECT_EQ(MsToSamples(-3.0), 0u);
    EXPECT_EQ(TenThousandthsToStored(20), FloatBits(0.002f));
    EXPECT_EQ(TenThousandthsFromStored(FloatBits(0.002f)), 20);
}

TEST(ParamImageEncodingTest, GainAndQWords) {
    const struct {
        double gain;
        uint16_t word;
    } gains[] = {{-15.0, 0}, {15.0, 300}, {0.0, 150},  {-6.0, 90},
                 {3.0, 180}, {-0.1, 149}, {0.04, 150}, {0.05, 151}};
    for (const auto& c : gains) EXPECT_EQ(EncodeGainWord(c.gain), c.word) << c.gain;
    EXPECT_EQ(EncodeQWord(1.414), 1414);
    EXPECT_EQ(EncodeQWord(0.707), 707);
    EXPECT_EQ(EncodeQWord(1.41), 1410);
    EXPECT_DOUBLE_EQ(DecodeGainWord(300), 15.0);
    EXPECT_DOUBLE_EQ(DecodeGainWord(0), -15.0);
    EXPECT_DOUBLE_EQ(DecodeQWord(707), 0.707);
    // A record read back and stored again keeps its words, also through the
    // graph's float band values.
    for (int word = 0; word <= 30000; ++word) {
        const auto w = static_cast<uint16_t>(word);
        ASSERT_EQ(EncodeQWord(DecodeQWord(w)), w);
        ASSERT_EQ(EncodeQWord(static_cast<float>(DecodeQWord(w))), w);
    }
    for (int word = 0; word <= 300; ++word) {
        const auto w = static_cast<uint16_t>(word);
        ASSERT_EQ(EncodeGainWord(DecodeGainWord(w)), w);
        ASSERT_EQ(EncodeGainWord(static_cast<float>(DecodeGainWord(w))), w);
    }
}

TEST(ParamImageEncodingTest, SignedTenths) {
    const struct {
        double value;
        uint8_t byte;
    } encodes[] = {{1.0, 0x0A}, {-1.0, 0x8A}, {-0.5, 0x85},  {0.5, 0x05},
                   {0.0, 0x80}, {0.04, 0x00}, {-0.04, 0x80}, {0.96, 0x0A}};
    for (const auto& c : encodes) EXPECT_EQ(EncodeSignedTenths(c.value), c.byte) << c.value;
    const struct {
        uint8_t byte;
        double value;
    } decodes[] = {{0x00, 0.0}, {0x80, 0.0}, {0x0A, 1.0}, {0x8A, -1.0}, {0x85, -0.5}, {0x7F, 12.7}};
    for (const auto& c : decodes)
        EXPECT_DOUBLE_EQ(DecodeSignedTenths(c.byte), c.value) << int(c.byte);
    EXPECT_FALSE(std::signbit(DecodeSignedTenths(0x80))) << "shown as 0.0, not -0.0";
}

TEST(ParamImageEncodingTest, EqBandOffsetsAndBlocks) {
    const struct {
        int set, band, offset, block, first;
    } cases[] = {{0, 0, 0, 1, 18},  {1, 1, 112, 1, 45},    {2, 0, 210, 2, 0},   {3, 0, 259, 2, 14},
                 {4, 0, 308, 3, 0}, {5, 2, 371, 3, 12},    {6, 10, 476, 4, 0},  {7, 0, 483, 5, 0},
                 {8, 0, 567, 6, 0}, {14, 11, 1148, 12, 0}, {15, 4, 1183, 13, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(EqBandOffset(c.set, c.band), c.offset) << c.set;
        EXPECT_EQ(EqSetBlock(c.set), c.block) << c.set;
        EXPECT_EQ(EqSetFirstParameter(c.set), c.first) << c.set;
    }
    EXPECT_EQ(EqBandOffset(16, 0), -1);
    EXPECT_EQ(EqBandOffset(-1, 0), -1);
}

// ---------------------------------------------------------------- DSP parameters

TEST_F(ParamImageOpsTest, SetDspParamStoresConvertsAndSends) {
    struct Case {
        int block, parameter;
        double value;
        Bytes sent;
        double editorValue;
    };
    const Case cases[] = {
        {1, 14, 60, {9, 0, 1, 14, 1, 0x3F, 0x19, 0x99, 0x9C}, 60},
        {1, 13, 0, {9, 0, 1, 13, 1, 0, 0, 0, 0}, 0},
        {2, 10, 5.0, {9, 0, 2, 10, 1, 0, 0, 0, 240}, 5.0},
        {5, 13, 3, {9, 0, 5, 13, 1, 0, 0, 0, 3}, 3},
        {1, 12, 260, {9, 0, 1, 12, 1, 0, 0, 0, 4}, 260}, // LowByte keeps the low byte
        {1, 8, 20, {9, 0, 1, 8, 1, 0x3B, 0x03, 0x12, 0x6F}, 20},
        {14, 0, 250.0, {9, 0, 14, 0, 1, 0x43, 0x7A, 0x00, 0x00}, 250.0},
        {13, 6, 65, {9, 0, 13, 6, 1, 0x3F, 0x26, 0x66, 0x68}, 65},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.block << "/" << c.parameter);
        transport.posted.clear();
        SetDspParam(c.block, c.parameter, c.value);
        ASSERT_EQ(transport.posted.size(), 1u);
        EXPECT_EQ(transport.posted[0], c.sent);
        const int offset = FindDspParam(c.block, c.parameter)->imageOffset;
        EXPECT_EQ(ImageBytes(offset, 4), Bytes(c.sent.begin() + 5, c.sent.end()));
        EXPECT_DOUBLE_EQ(GetDspParam(c.block, c.parameter), c.editorValue);
    }
    EXPECT_EQ(g_OutputIntVar()[17][8], 65); // block 13 parameter 6 is channel index 8
    EXPECT_EQ(g_OutputIntVar()[13][0], 3);
}

TEST_F(ParamImageOpsTest, SetDspParamOnTheNetworkPostsTheSameRecord) {
    g_bNetMode() = true; // the network's tag is added below the outbox
    SetDspParam(1, 14, 60);
    ASSERT_EQ(transport.posted.size(), 1u);
    EXPECT_EQ(transport.posted[0], (Bytes{9, 0, 1, 14, 1, 0x3F, 0x19, 0x99, 0x9C}));
}

TEST_F(ParamImageOpsTest, SetDspParamIgnoresParametersWithoutVariableOrLocation) {
    const Bytes before(g_ParamImage(), g_ParamImage() + kImageSize);
    const int pitchBefore = g_MusicPitch();
    for (const auto& [block, parameter] :
         {std::pair{4, 16}, {4, 17}, {4, 21}, {1, 38}, {5, 24}, {99, 1}, {0, 0}}) {
        SetDspParam(block, parameter, 3);
    }
    EXPECT_TRUE(transport.posted.empty());
    EXPECT_EQ(Bytes(g_ParamImage(), g_ParamImage() + kImageSize), before);
    EXPECT_EQ(g_MusicPitch(), pitchBefore);
}

TEST_F(ParamImageOpsTest, WriteDspParamStoresWhereItHasALocationAndAlwaysSends) {
    const uint32_t pitch = 2;
    const Bytes pitchRecord = ImageBytes(DspRecordValueOffset(4, 21), 4);
    WriteDspParam(4, 21, &pitch, 1);
    EXPECT_EQ(ImageBytes(DspRecordValueOffset(4, 21), 4), pitchRecord);

    const uint32_t compressor[7] = {0xC1200000, 0,          0x3F4CCCCD, 0x41A00000,
                                    0x3D4CCCCD, 0x3CA8E6C0, 0x395A7000};
    WriteDspParam(6, 24, compressor, 7);
    const int offset = DspRecordValueOffset(6, 24);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(ReadBigEndian32(g_ParamImage() + offset + 4 * i), compressor[i]);

    const uint32_t raw = 7;
    WriteDspParam(99, 3, &raw, 1); // no entry: sent all the same

    // More values than the record holds would overwrite the next record.
    const Bytes before(g_ParamImage(), g_ParamImage() + kImageSize);
    WriteDspParam(5, 14, compressor, 3);
    EXPECT_EQ(Bytes(g_ParamImage(), g_ParamImage() + kImageSize), before);

    ASSERT_EQ(transport.posted.size(), 4u);
    EXPECT_EQ(transport.posted[0], (Bytes{9, 0, 4, 21, 1, 0, 0, 0, 2}));
    EXPECT_EQ(transport.posted[1].size(), 33u);
    EXPECT_EQ(Bytes(transport.posted[1].begin(), transport.posted[1].begin() + 9),
              (Bytes{9, 0, 6, 24, 7, 0xC1, 0x20, 0, 0}));
    EXPECT_EQ(transport.posted[2], (Bytes{9, 0, 99, 3, 1, 0, 0, 0, 7}));
    EXPECT_EQ(transport.posted[3].size(), 17u);
}

// ---------------------------------------------------------------- EQ bands

TEST_F(ParamImageOpsTest, StoreEqBandWritesThePanelCopyAndSendsCommand133) {
    StoreEqBand(0, 8, 0.0, 1000, 1.41, 1);
    ASSERT_EQ(transport.posted.size(), 1u);
    EXPECT_EQ(transport.posted[0],
              (Bytes{133, 0x00, 0x38, 7, 0x00, 0x96, 0x03, 0xE8, 0x05, 0x82, 1}));
    EXPECT_EQ(Bytes(g_PanelImage() + 56, g_PanelImage() + 63),
              Bytes(transport.posted[0].begin() + 4, transport.posted[0].end()));
    EXPECT_EQ(g_ParamImage()[58], 0x03); // the image itself keeps 998 Hz
    EXPECT_EQ(g_ParamImage()[59], 0xE6);

    StoreEqBand(14, 11, -15.0, 20000, 2.0, 2);
    EXPECT_EQ(transport.posted[1],
              (Bytes{133, 0x04, 0x7C, 7, 0x00, 0x00, 0x4E, 0x20, 0x07, 0xD0, 2}));

    StoreEqBand(16, 0, 0, 100, 1, 1); // no such set
    StoreEqBand(15, 5, 0, 100, 1, 1); // set 15 has five slots
    EXPECT_EQ(transport.posted.size(), 2u);
}

std::vector<float> SentFloats(const Bytes& write) {
    std::vector<float> values;
    for (size_t i = 5; i + 4 <= write.size(); i += 4)
        values.push_back(FloatFromBits(ReadBigEndian32(&write[i])));
    return values;
}

TEST_F(ParamImageOpsTest, SetEqBandSendsCoefficientsThenTheRecord) {
    SetEqBand(7, 3, EQ_PEQ, 1000, 6.0, 1.41);
    ASSERT_EQ(transport.posted.size(), 2u);
    const Bytes& write = transport.posted[0];
    ASSERT_EQ(write.size(), 25u);
    EXPECT_EQ(Bytes(write.begin(), write.begin() + 5), (Bytes{9, 0, 5, 3, 5}));
    const BiquadCoefficients c = ComputeBiquad(EQ_PEQ, 1000, 6.0, 1.41, 0, 48000);
    const std::vector<float> expected = {static_cast<float>(-c.a1), static_cast<float>(-c.a2),
                                         static_cast<float>(c.b0), static_cast<float>(c.b1),
                                         static_cast<float>(c.b2)};
    EXPECT_EQ(SentFloats(write), expected);
    const int offset = EqBandOffset(7, 3);
    EXPECT_EQ(transport.posted[1],
              (Bytes{133, static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset), 7, 0x00,
                     0xD2, 0x03, 0xE8, 0x05, 0x82, 1}));

    transport.posted.clear();
    SetEqBand(1, 14, EQ_LP, 500, 0, 0.707);
    EXPECT_EQ(Bytes(transport.posted[0].begin(), transport.posted[0].begin() + 5),
              (Bytes{9, 0, 1, 59, 5}));
}

TEST_F(ParamImageOpsTest, AnOffBandIsSentAsAFlatAllPassSection) {
    SetEqBand(2, 0, EQ_OFF, 1000, 6.0, 0.707);
    const std::vector<float> v = SentFloats(transport.posted[0]);
    ASSERT_EQ(v.size(), 5u);
    // -a1, -a2, b0, b1, b2 of an all-pass: b0 = a2, b1 = a1, b2 = 1.
    EXPECT_FLOAT_EQ(v[2], -v[1]);
    EXPECT_FLOAT_EQ(v[3], -v[0]);
    EXPECT_EQ(v[4], 1.0f);
    EXPECT_NE(v[0], 0.0f);
    for (double f : {20.0, 200.0, 1000.0, 5000.0, 20000.0}) {
        const std::complex<double> z = std::polar(1.0, -2.0 * M_PI * f / 48000.0);
        const std::complex<double> h = (double(v[2]) + double(v[3]) * z + double(v[4]) * z * z) /
                                       (1.0 - double(v[0]) * z - double(v[1]) * z * z);
        EXPECT_NEAR(std::abs(h), 1.0, 1e-5) << f;
    }
    EXPECT_EQ(transport.posted[1].back(), 0); // the record keeps type 0
}

TEST_F(ParamImageOpsTest, ResendEqSetSendsEveryBandOfTheSetFromThePanelCopy) {
    const struct { int set, bands; } cases[] = {{0, 15}, {2, 7}, {6, 10}, {12, 10}, {15, 5}};
    for (const auto& c : cases) {
        transport.posted.clear();
        EXPECT_TRUE(ResendEqSet(c.set));
        EXPECT_EQ(transport.posted.size(), 2u * c.bands) << c.set;
    }
    // The records go back unchanged (998 Hz stays 998 Hz).
    transport.posted.clear();
    const Bytes before(g_PanelImage(), g_PanelImage() + kPanelSize);
    ResendEqSet(0);
    EXPECT_EQ(Bytes(g_PanelImage(), g_PanelImage() + kPanelSize), before);
    EXPECT_EQ(Bytes(transport.posted[17].begin() + 4, transport.posted[17].end()),
              Bytes(before.begin() + 56, before.begin() + 63));

    transport.posted.clear();
    EXPECT_FALSE(ResendEqSet(16));
    EXPECT_TRUE(transport.posted.empty());
    ASSERT_FALSE(debugLines.empty());
    EXPECT_NE(debugLines.back().find("MX_CopyEQ src over range"), std::string::npos);
}

TEST_F(ParamImageOpsTest, ResetEqSetUsesTheResetFrequencies) {
    ResetEqSet(0);
    EXPECT_EQ(transport.posted.size(), 30u);
    EqBandRecord band = DecodeEqBandRecord(g_PanelImage() + EqBandOffset(0, 8));
    EXPECT_EQ(band.frequency, 1000);
    EXPECT_DOUBLE_EQ(band.q, 1.41);
    EXPECT_EQ(band.type, 1);
    EXPECT_DOUBLE_EQ(band.gain, 0.0);

    const int set12Frequencies[10] = {31, 62, 250, 500, 1000, 2000, 100, 100, 100, 100};
    const int set12Types[10] = {1, 1, 1, 1, 1, 1, 18, 20, 1, 1};
    ResetEqSet(12);
    for (int b = 0; b < 10; ++b) {
        band = DecodeEqBandRecord(g_PanelImage() + EqBandOffset(12, b));
        EXPECT_EQ(band.frequency, set12Frequencies[b]) << b;
        EXPECT_EQ(band.type, set12Types[b]) << b;
    }
    const struct {
        int set, band, frequency;
    } samples[] = {{3, 6, 3200}, {15, 4, 800}, {6, 9, 16000}, {14, 2, 125}};
    for (const auto& s : samples) {
        ResetEqSet(s.set);
        EXPECT_EQ(DecodeEqBandRecord(g_PanelImage() + EqBandOffset(s.set, s.band)).frequency,
                  s.frequency);
    }
}

// ---------------------------------------------------------------- surround

TEST_F(ParamImageOpsTest, SurroundLayoutRoundTrip) {
    g_PanelImage()[1242] = 0x11; // left as it is
    g_SurroundLayout().byte1222 = 3;
    g_SurroundLayout().byte1223 = 2;
    g_SurroundLayout().points[0] = 0.3f;
    g_SurroundLayout().points[2] = -0.7f;
    SendSurroundLayout();
    ASSERT_EQ(transport.posted.size(), 1u);
    const Bytes& sent = transport.posted[0];
    ASSERT_EQ(sent.size(), 28u);
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 12),
              (Bytes{133, 0x04, 0xC6, 24, 3, 2, 0x03, 0x80, 0x87, 0x0A, 0x80, 0x0A}));
    EXPECT_EQ(sent[4 + 20], 0x11);
    EXPECT_EQ(0, std::memcmp(sent.data() + 4, g_PanelImage() + 1222, 24));

    g_SurroundLayout() = {};
    DecodeSurroundLayout();
    EXPECT_EQ(g_SurroundLayout().byte1222, 3);
    EXPECT_FLOAT_EQ(g_SurroundLayout().points[0], 0.3f);
    EXPECT_FLOAT_EQ(g_SurroundLayout().points[1], 0.0f); // stored 0x80
    EXPECT_FLOAT_EQ(g_SurroundLayout().points[2], -0.7f);
}

} // namespace

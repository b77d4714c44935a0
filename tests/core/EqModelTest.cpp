// The equaliser model: coefficients, responses against a direct evaluation of
// the transfer function, the band editing rules and the copying of sets.
#include "controls/EqModel.h"
#include "link/CommandFrames.h"
#include "link/DebugLog.h"
#include "link/LinkState.h"
#include "state/ParamImage.h"

#include "RecordingSink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <string>
#include <vector>

namespace {

// |H(e^jw)| in dB of y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2, directly.
double DirectResponseDb(const BiquadCoefficients& c, double frequency) {
    const std::complex<double> z = std::polar(1.0, -2.0 * M_PI * frequency / 48000.0);
    const std::complex<double> h =
        (c.b0 + c.b1 * z + c.b2 * z * z) / (1.0 + c.a1 * z + c.a2 * z * z);
    return 20.0 * std::log10(std::abs(h));
}

struct BandCase {
    double frequency;
    double gain;
    double q;
};

constexpr BandCase kBandCases[] = {
    {1000, 6.0, 1.41}, {63, -12.0, 0.7}, {12000, 15.0, 4.0}, {25, 3.5, 0.3}, {20000, -15.0, 1.0}};

TEST(EqModelTest, EveryTypeCodeMatchesTheTransferFunction) {
    std::vector<int> codes;
    for (int code = 0; code <= 23; ++code) codes.push_back(code);
    codes.push_back(99);
    codes.push_back(-4);
    for (int code : codes) {
        for (const BandCase& bc : kBandCases) {
            SCOPED_TRACE(::testing::Message() << "code " << code << " f " << bc.frequency);
            const BiquadCoefficients c = ComputeBiquad(code, bc.frequency, bc.gain, bc.q, 0, 48000);
            double section[kEqPoints];
            ComputeSectionResponse(c, section);
            EqBand band;
            band.type = code;
            band.frequency = static_cast<float>(bc.frequency);
            band.gain = static_cast<float>(bc.gain);
            band.q = static_cast<float>(bc.q);
            ComputeBandResponse(band);
            const BiquadCoefficients fc =
                ComputeBiquad(code, band.frequency, band.gain, band.q, 0, 48000);
            double bandSection[kEqPoints];
            ComputeSectionResponse(fc, bandSection);
            int pinned = 0;
            for (int i = 0; i < kEqPoints; ++i) {
                const double f = EqEvalFrequency(i);
                ASSERT_NEAR(section[i], DirectResponseDb(c, f), 1e-6) << "point " << i;
                const double direct = DirectResponseDb(fc, f);
                if (code == EQ_PEQ && band.response[i] == band.gain &&
                    std::fabs(direct - band.gain) > 1e-6) {
                    ++pinned;
                    continue;
                }
                // The band keeps its response as floats: allow their rounding.
                ASSERT_NEAR(band.response[i], direct, 1e-6 + std::fabs(direct) * 1e-7)
                    << "point " << i;
            }
            EXPECT_LE(pinned, 1);
        }
    }
}

TEST(EqModelTest, SectionFormulasHaveTheirDocumentedShape) {
    // Low-pass-like codes pass DC at the section's gain, high-pass-like ones Nyquist.
    for (int code : {2, 6, 8, 10, 12, 14, 16, 18, 20}) {
        const BiquadCoefficients c = ComputeBiquad(code, 1000, 0, 0.7, 0, 48000);
        EXPECT_NEAR(
            DirectResponseDb(c, 0.001),
            code == 6 ? 20 * std::log10(1 / std::sqrt(1 + (std::pow(10.0, 0.01) - 1))) : 0.0, 1e-3)
            << code;
        EXPECT_LT(DirectResponseDb(c, 20000), -20.0) << code;
    }
    for (int code : {3, 7, 9, 11, 13, 15, 17, 19, 21}) {
        const BiquadCoefficients c = ComputeBiquad(code, 1000, 0, 0.7, 0, 48000);
        EXPECT_LT(DirectResponseDb(c, 20), -20.0) << code;
    }
    // Section codes ignore the band's Q.
    for (int code = 6; code <= 21; ++code) {
        const BiquadCoefficients a = ComputeBiquad(code, 700, 0, 0.5, 0, 48000);
        const BiquadCoefficients b = ComputeBiquad(code, 700, 0, 9.0, 0, 48000);
        EXPECT_EQ(a.b0, b.b0) << code;
        EXPECT_EQ(a.a1, b.a1) << code;
    }
    // Butterworth section (12) is 3 dB down at its corner.
    EXPECT_NEAR(DirectResponseDb(ComputeBiquad(12, 1000, 0, 5, 0, 48000), 1000), -3.0103, 1e-3);
    // First order sections have no second-order terms.
    const BiquadCoefficients first = ComputeBiquad(11, 1000, 0, 1, 0, 48000);
    EXPECT_EQ(first.a2, 0.0);
    EXPECT_EQ(first.b2, 0.0);
    EXPECT_EQ(first.b1, -first.b0);
    // The all-pass of any other code is flat and honours the extra gain.
    const BiquadCoefficients allPass = ComputeBiquad(0, 1000, 9, 1, 6, 48000);
    for (double f : {30.0, 1000.0, 15000.0}) EXPECT_NEAR(DirectResponseDb(allPass, f), 3.0, 1e-9);
    // The peaking section's extra gain lifts the whole curve.
    const BiquadCoefficients peak = ComputeBiquad(1, 1000, 0, 1, 6, 48000);
    EXPECT_NEAR(DirectResponseDb(peak, 100), 6.0, 1e-9);
}

TEST(EqModelTest, EvaluationFrequenciesSpanTheAxis) {
    EXPECT_DOUBLE_EQ(EqEvalFrequency(0), 18.0);
    EXPECT_NEAR(EqEvalFrequency(511), 18.0 * std::pow(23000.0 / 18.0, 511.0 / 512.0), 1e-9);
    EXPECT_EQ(EqEvalFrequencies()[256], EqEvalFrequency(256));
    EXPECT_NEAR(EqXToFreq(EqFreqToX(1000, 10, 640) - 10, 640), 1000.0, 1e-9);
    EXPECT_DOUBLE_EQ(EqGainToY(15, 5, 300), 5.0);
    EXPECT_DOUBLE_EQ(EqGainToY(-15, 5, 300), 305.0);
}

int PinIndex(double frequency, double width) {
    const double u = std::log10(frequency / 18.0) / std::log10(23000.0 / 18.0);
    return static_cast<int>(std::floor(std::floor(width * u) / (width / 512.0)));
}

TEST(EqModelTest, PeakingPinReachesTheGainForAnyPlotWidth) {
    const struct {
        double frequency;
        int width;
        int index;
    } cases[] = {{1000, 512, PinIndex(1000, 512)},
                 {1000, 300, PinIndex(1000, 300)},
                 {1000, 2000, PinIndex(1000, 2000)},
                 {1000, 0, PinIndex(1000, 512)},
                 {1000, 100, PinIndex(1000, 100)},
                 {23000, 2000, 511},
                 {30000, 700, 511},
                 {10, 512, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.frequency << " Hz, width " << c.width);
        ASSERT_GE(c.index, 0);
        ASSERT_LE(c.index, 511);
        EqBand band;
        band.type = EQ_PEQ;
        band.frequency = static_cast<float>(c.frequency);
        band.gain = 6.0f;
        band.q = 1.41f;
        ComputeBandResponse(band, c.width);
        EXPECT_EQ(band.response[c.index], 6.0f);
    }
    // At 1000 Hz no evaluation frequency hits the centre, yet the drawn peak is exact.
    EqBand band;
    band.type = EQ_PEQ;
    band.frequency = 1000;
    band.gain = 6.0f;
    band.q = 1.41f;
    ComputeBandResponse(band);
    EXPECT_EQ(*std::max_element(band.response.begin(), band.response.end()), 6.0f);
}

TEST(EqModelTest, OffBandsKeepTheirValuesAndAreLeftOutOfTheSetCurve) {
    EqBand bands[3];
    bands[0].type = EQ_PEQ;
    bands[0].frequency = 100;
    bands[0].gain = 3;
    ComputeBandResponse(bands[0]);
    bands[1].type = EQ_LS;
    bands[1].frequency = 1000;
    bands[1].gain = -4;
    bands[1].q = 0.7f;
    ComputeBandResponse(bands[1]);
    bands[2].type = EQ_PEQ;
    bands[2].frequency = 5000;
    bands[2].gain = 9;
    ComputeBandResponse(bands[2]);
    bands[2].type = EQ_OFF;
    ComputeBandResponse(bands[2]); // nothing happens for OFF
    EXPECT_EQ(bands[2].frequency, 5000.0f);
    EXPECT_EQ(bands[2].gain, 9.0f);
    float curve[kEqPoints];
    ComputeSetCurve(bands, 3, curve);
    for (int i = 0; i < kEqPoints; ++i) {
        ASSERT_FLOAT_EQ(curve[i], bands[0].response[i] + bands[1].response[i]) << i;
    }
}

TEST(EqModelTest, TypeGainAndQRules) {
    EqBand band;
    band.type = EQ_PEQ;
    band.gain = 4.0f;
    SetBandType(band, EQ_LP);
    EXPECT_EQ(band.gain, 0.0f);
    EXPECT_FLOAT_EQ(band.q, 0.7f);
    SetBandType(band, EQ_PEQ);
    EXPECT_FLOAT_EQ(band.q, 1.41f);
    EXPECT_EQ(band.gain, 0.0f);
    band.gain = 5.0f;
    band.q = 3.0f;
    SetBandType(band, 12); // a section code leaves gain and Q alone
    EXPECT_EQ(band.gain, 5.0f);
    EXPECT_EQ(band.q, 3.0f);

    const struct {
        int type;
        float gain;
        float stored;
    } gains[] = {{EQ_LP, 4, 0},    {EQ_HP, -4, 0},         {EQ_LS, 4, 4}, {EQ_HS, -20, -15},
                 {EQ_PEQ, 20, 15}, {EQ_PEQ, -7.5f, -7.5f}, {9, 3, 0},     {EQ_OFF, 3, 3}};
    for (const auto& c : gains) {
        EqBand b;
        b.type = c.type;
        SetBandGain(b, c.gain);
        EXPECT_EQ(b.gain, c.stored) << "type " << c.type << " gain " << c.gain;
    }

    const struct {
        int type;
        float q;
        float stored;
    } qs[] = {{EQ_PEQ, 0.0f, 1.0f},
              {EQ_PEQ, 0.00000001f, 1.0f},
              {EQ_PEQ, 0.05f, 0.1f},
              {EQ_PEQ, 40, 30},
              {EQ_HS, 40, 2},
              {EQ_LP, 0.05f, 0.1f},
              {EQ_PEQ, 12.5f, 12.5f},
              {EQ_LS, 1.5f, 1.5f},
              {15, 5, 2}};
    for (const auto& c : qs) {
        EqBand b; // Q 1.0 when constructed
        b.type = c.type;
        SetBandQ(b, c.q);
        EXPECT_EQ(b.q, c.stored) << "type " << c.type << " q " << c.q;
    }
}

TEST(EqModelTest, CompoundCrossoverBandMovesAndTurnsAsAGroup) {
    EqBand bands[10];
    for (int b = 0; b < 10; ++b) {
        bands[b].index = b;
        bands[b].frequency = 100;
        bands[b].q = 0.707f;
    }
    LinkCompoundBand(bands[6], bands[7], bands[8], bands[9]);
    EXPECT_EQ(bands[6].sectionCount, 3);
    EXPECT_EQ(bands[7].shown, 0);
    EXPECT_EQ(bands[9].shown, 0);

    bands[6].gain = 5.0f;
    SetBandTypeGrouped(bands[6], EQ_LP);
    EXPECT_EQ(bands[6].gain, 0.0f);
    EXPECT_EQ(bands[6].type, 18);
    EXPECT_EQ(bands[7].type, 20);
    EXPECT_EQ(bands[8].type, 1);
    EXPECT_EQ(bands[9].type, 1);

    bands[6].frequency = 250;
    ComputeBandResponse(bands[6]);
    for (int b = 7; b <= 9; ++b) EXPECT_EQ(bands[b].frequency, 250.0f) << b;
    // Each section's response follows the shared frequency.
    const BiquadCoefficients c = ComputeBiquad(20, 250, bands[7].gain, bands[7].q, 0, 48000);
    EXPECT_NEAR(bands[7].response[100], DirectResponseDb(c, EqEvalFrequency(100)), 1e-4);

    const struct {
        int type;
        int types[4];
    } groups[] = {{EQ_PEQ, {1, 1, 1, 1}},
                  {EQ_HP, {19, 21, 1, 1}},
                  {EQ_LS, {4, 1, 1, 1}},
                  {EQ_HS, {5, 1, 1, 1}}};
    for (const auto& g : groups) {
        SetBandTypeGrouped(bands[6], g.type);
        for (int s = 0; s < 4; ++s) EXPECT_EQ(bands[6 + s].type, g.types[s]) << g.type << " " << s;
    }
    // An ordinary band takes the plain type rule.
    bands[0].gain = 4;
    SetBandTypeGrouped(bands[0], EQ_HP);
    EXPECT_EQ(bands[0].type, EQ_HP);
    EXPECT_FLOAT_EQ(bands[0].q, 0.7f);
}

TEST(EqModelTest, SetCountsAndInitialFrequencies) {
    const int copyCounts[16] = {15, 15, 7, 7, 7, 7, 10, 10, 10, 10, 10, 10, 6, 10, 10, 5};
    const int bandCounts[16] = {15, 15, 7, 7, 7, 7, 10, 10, 10, 10, 10, 10, 10, 10, 10, 5};
    for (int set = 0; set < 16; ++set) {
        EXPECT_EQ(EqCopyCount(set), copyCounts[set]);
        EXPECT_EQ(EqBandCount(set), bandCounts[set]);
    }
    EXPECT_EQ(EqInitialFrequency(0, 8), 1000.0f);
    EXPECT_EQ(EqInitialFrequency(4, 6), 3200.0f);
    EXPECT_EQ(EqInitialFrequency(15, 4), 800.0f);
    EXPECT_EQ(EqInitialFrequency(9, 9), 16000.0f);
}

// ---------------------------------------------------------------- copy and paste

class CopyEqSetTest : public ::testing::Test {
protected:
    RecordingSink transport;
    std::vector<std::string> debugLines;

    void SetUp() override {
        g_bNetMode() = false;
        FillSets();
        SetDebugLogSink([this](const std::string& line) { debugLines.push_back(line); });
    }
    void TearDown() override { SetDebugLogSink({}); }
    // Distinct valid records: set s band b gets frequency 100 s + b + 20.
    static void FillSets() {
        BuildDefaultImage();
        for (int set = 0; set < 16; ++set) {
            for (int b = 0; b < EqSetSlots(set); ++b) {
                EncodeEqBandRecord({1.0, 100.0 * set + b + 20, 0.5, 1},
                                   g_PanelImage() + EqBandOffset(set, b));
            }
        }
    }
    double Frequency(int set, int band) const {
        return DecodeEqBandRecord(g_PanelImage() + EqBandOffset(set, band)).frequency;
    }
};

TEST_F(CopyEqSetTest, CopiesTheSmallerCountAndResendsTheDestination) {
    const struct {
        int src, dst, copied, sentBands;
    } cases[] = {{7, 12, 6, 10}, {0, 2, 7, 7}, {15, 0, 5, 15}, {12, 7, 6, 10}, {6, 6, 10, 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.src << " -> " << c.dst);
        FillSets();
        transport.Clear();
        const std::vector<uint8_t> src(g_PanelImage() + EqBandOffset(c.src, 0),
                                       g_PanelImage() + EqBandOffset(c.src, c.copied));
        const double untouched = Frequency(c.dst, c.copied);
        ASSERT_TRUE(CopyEqSet(c.src, c.dst));
        EXPECT_EQ(0, std::memcmp(g_PanelImage() + EqBandOffset(c.dst, 0), src.data(), src.size()));
        EXPECT_EQ(Frequency(c.dst, c.copied), untouched);
        const auto sent = transport.AllBytes();
        EXPECT_EQ(sent.size(), 2u * c.sentBands);
        // The first send is band 0's coefficients to the destination's block.
        EXPECT_EQ(sent[0][2], EqSetBlock(c.dst));
        EXPECT_EQ(sent[0][3], EqSetFirstParameter(c.dst));
    }
}

TEST_F(CopyEqSetTest, RefusesSetsOutOfRangeAndChangesNothing) {
    EXPECT_EQ(g_EqClipboardSet, -1);
    const std::vector<uint8_t> before(g_PanelImage(), g_PanelImage() + kPanelSize);
    const struct {
        int src, dst;
        const char* text;
    } cases[] = {{16, 0, "MX_CopyEQ src over range"},
                 {-1, 3, "MX_CopyEQ src over range"},
                 {0, 16, "MX_CopyEQ dst over range"},
                 {2, -1, "MX_CopyEQ dst over range"}};
    for (const auto& c : cases) {
        debugLines.clear();
        EXPECT_FALSE(CopyEqSet(c.src, c.dst));
        ASSERT_EQ(debugLines.size(), 1u);
        EXPECT_NE(debugLines[0].find(c.text), std::string::npos) << debugLines[0];
    }
    EXPECT_TRUE(transport.Records().empty());
    EXPECT_EQ(std::vector<uint8_t>(g_PanelImage(), g_PanelImage() + kPanelSize), before);
}

} // namespace

// Two presets compared in words.
#include "state/PresetDiff.h"

#include "state/ParamImage.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using Image = std::array<uint8_t, kImageSize>;

Image DefaultImage() {
    BuildDefaultImage();
    Image image;
    std::copy(g_ParamImage(), g_ParamImage() + kImageSize, image.begin());
    return image;
}

std::vector<std::string> Lines(const Image& a, const Image& b, int language) {
    std::vector<std::string> lines;
    for (const fx::ParamDifference& d : fx::DiffImages(a.data(), b.data(), language))
        lines.push_back(fx::DifferenceLine(d, language));
    return lines;
}

void SetBand(Image& image, int set, int band, const EqBandRecord& record) {
    EncodeEqBandRecord(record, image.data() + EqBandOffset(set, band));
}

TEST(PresetDiffTest, ADelayAThresholdAndABandGiveExactlyThreeLines) {
    const Image a = DefaultImage();
    Image b = a;
    WriteBigEndian32(b.data() + DspRecordValueOffset(7, 15), MsToSamples(5.0));
    WriteBigEndian32(b.data() + DspRecordValueOffset(13, 10), FloatBits(-20.0f));
    SetBand(b, 0, 4, {3.0, 160, 1.414, 1});

    EXPECT_EQ((std::vector<std::string>{
                  "Mic A EQ band 5: PEQ 160 Hz +0.0 dB Q 1.414 → PEQ 160 Hz +3.0 dB Q 1.414",
                  "CH 3 delay: 1.33 ms → 5.0 ms",
                  "Recording compressor threshold: 0 dB → -20 dB",
              }),
              Lines(a, b, fx::kLanguageEnglish));
    EXPECT_EQ((std::vector<std::string>{
                  "话筒A均衡频段5: 参量 160 Hz +0.0 dB Q 1.414 → 参量 160 Hz +3.0 dB Q 1.414",
                  "通道3延时: 1.33 ms → 5.0 ms",
                  "录音压限阈值: 0 dB → -20 dB",
              }),
              Lines(a, b, fx::kLanguageChinese));
    EXPECT_TRUE(Lines(a, a, fx::kLanguageEnglish).empty());
}

// Two encodings the processor cannot tell apart are no difference: a place
// of the room plan at +0.0 or -0.0 m (00, 80), a level or a filter value of
// 0.0 or -0.0. Other bytes that read the same still give a line.
TEST(PresetDiffTest, EncodingsOfOneValueAreNoDifference) {
    const Image a = DefaultImage();
    const struct {
        const char* what;
        int offset;
        uint8_t value;
    } same[] = {
        {"speaker CEN at x -0.0", kSurroundLayoutOffset + 6, 0x80},
        {"listener at y -0.0", kSurroundLayoutOffset + 3, 0x80},
        {"a compressor constant -0.0", DspRecordValueOffset(5, 24) + 4, 0x80},
    };
    for (const auto& c : same) {
        Image b = a;
        ASSERT_EQ(0, b[c.offset]) << c.what;
        b[c.offset] = c.value;
        EXPECT_TRUE(Lines(a, b, fx::kLanguageEnglish).empty()) << c.what;
        EXPECT_EQ(0, fx::CountDifferences(a.data(), b.data())) << c.what;
    }
    Image moved = a;
    moved[kSurroundLayoutOffset + 6] = 0x81; // -0.1 m
    EXPECT_EQ(std::vector<std::string>{"Speaker CEN position: +0.0 m, +1.0 m → -0.1 m, +1.0 m"},
              Lines(a, moved, fx::kLanguageEnglish));
}

// Differences a page would not show still give a line each.
TEST(PresetDiffTest, EveryChangedByteIsReported) {
    struct Case {
        const char* what;
        int offset;
        uint8_t value;
        const char* line;
    };
    const Case cases[] = {
        // A switch reads only its last byte: the stored bytes tell the two apart.
        {"high byte of a switch", DspRecordValueOffset(5, 16), 0x01,
         "CH 1 Delay Switch: off [00000001] → off [01000001]"},
        {"reserved panel byte", 1251, 0x7F, "Panel reserved bytes: 00 00 00 00 → 00 7F 00 00"},
        {"record head", kDspAreaStart, 9, "DSP record head at 1254: 1/4 x1 → 9/4 x1"},
        {"compressor constant", DspRecordValueOffset(12, 24) + 12, 0x42,
         "CH 8 compressor value x3: 20 → 80"},
    };
    const Image a = DefaultImage();
    for (const Case& c : cases) {
        Image b = a;
        b[c.offset] = c.value;
        EXPECT_EQ(std::vector<std::string>{c.line}, Lines(a, b, fx::kLanguageEnglish)) << c.what;
    }
}

} // namespace

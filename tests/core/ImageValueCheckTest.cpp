// The check a mode file passes before it is sent: every value within what a
// page could give, the first one outside named with its range.
#include "state/ImageValueCheck.h"

#include "state/DspParamTable.h"
#include "state/EqMath.h"
#include "state/ParamImage.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <limits>

namespace {

using Image = std::array<uint8_t, kImageSize>;

void PutFloat(Image& image, int offset, float value) {
    WriteBigEndian32(&image[offset], FloatBits(value));
}

int ValueOffset(int block, int parameter) {
    return DspRecordValueOffset(block, parameter);
}

TEST(ImageValueCheck, TheFactoryImageIsPossible) {
    const Image image = DefaultImageBytes();
    EXPECT_EQ("", fx::FirstImpossibleValue(image.data()));
}

TEST(ImageValueCheck, TheFirstImpossibleValueIsNamedWithItsRange) {
    const struct {
        const char* name;
        std::function<void(Image&)> spoil;
        const char* refusal;
    } cases[] = {
        {"0xFF over bytes 100..119",
         [](Image& image) {
             for (int i = 100; i < 120; ++i) image[i] = 0xFF;
         },
         "Mic A EQ band 15 type 255 (0..21)"},
        {"a band type past the sections", [](Image& image) { image[EqBandOffset(9, 2) + 6] = 22; },
         "CH 3 EQ band 3 type 22 (0..21)"},
        {"a gain past +15 dB",
         [](Image& image) {
             EncodeEqBandRecord({20.0, 1000, 1.0, EQ_PEQ}, &image[EqBandOffset(15, 4)]);
         },
         "Recording EQ band 5 gain 20 dB (-15..15 dB)"},
        {"a Q of 0",
         [](Image& image) { image[EqBandOffset(6, 0) + 4] = image[EqBandOffset(6, 0) + 5] = 0; },
         "Music EQ band 1 Q 0 (0.1..30)"},
        {"a delay of 0 samples",
         [](Image& image) { WriteBigEndian32(&image[ValueOffset(7, 15)], 0); },
         "CH 3 delay 0 ms (1.33..100 ms)"},
        {"a level that is no number",
         [](Image& image) {
             PutFloat(image, ValueOffset(1, 14), std::numeric_limits<float>::quiet_NaN());
         },
         "Mic Vol not a number (a whole number 0..99)"},
        {"an output source past CH-SBR",
         [](Image& image) { WriteBigEndian32(&image[ValueOffset(5, 13)], 9); },
         "CH 1 source 9 (a whole number 0..7)"},
        {"a compressor ratio below 1",
         [](Image& image) { PutFloat(image, ValueOffset(6, 24) + 8, -1.0f); },
         "CH 2 compressor ratio 0.5 (1..30)"},
        {"a bass boost above 0 dB", [](Image& image) { PutFloat(image, kPanelLevelOffset, 3.0f); },
         "Mic Max Bass boost 3 dB (-40..0 dB)"},
        {"a room 11 m wide", [](Image& image) { image[kSurroundLayoutOffset] = 11; },
         "Room width 11 m (1..10 m)"},
    };
    for (const auto& c : cases) {
        Image image = DefaultImageBytes();
        c.spoil(image);
        EXPECT_EQ(c.refusal, fx::FirstImpossibleValue(image.data())) << c.name;
    }
}

} // namespace

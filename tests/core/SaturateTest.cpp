// Floats from the wire, from files and from the command line can be anything;
// turning one into an editor integer or a stored word saturates instead of
// being undefined (the sanitizer build of this suite traps on the latter).
#include "state/Saturate.h"
#include "state/DspParamTable.h"
#include "state/ParamImage.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");

TEST(SaturateTest, IntegerPartWithinTheRangeNaNIsZero) {
    struct Case {
        double value;
        int asInt;
        uint16_t asWord;
        uint32_t asUnsigned;
    };
    const Case cases[] = {
        {42.9, 42, 42, 42},
        {-42.9, -42, 0, 0},
        {kNaN, 0, 0, 0},
        {kInf, INT_MAX, 65535, UINT32_MAX},
        {-kInf, INT_MIN, 0, 0},
        {1e300, INT_MAX, 65535, UINT32_MAX},
        {-1e300, INT_MIN, 0, 0},
        {2147483647.9, INT_MAX, 65535, 2147483647u},
        {-2147483648.5, INT_MIN, 0, 0},
        {65535.5, 65535, 65535, 65535},
        {4294967295.5, INT_MAX, 65535, UINT32_MAX},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.asInt, fx::SaturateTo<int>(c.value)) << c.value;
        EXPECT_EQ(c.asWord, fx::SaturateTo<uint16_t>(c.value)) << c.value;
        EXPECT_EQ(c.asUnsigned, fx::SaturateTo<uint32_t>(c.value)) << c.value;
    }
    EXPECT_EQ(INT64_MAX, fx::SaturateTo<int64_t>(9.3e18));
}

// Every encoding that turns a number into stored bits, at its extremes.
TEST(SaturateTest, EncodingsAndDecodingsOfExtremes) {
    const uint32_t nanBits = FloatBits(std::numeric_limits<float>::quiet_NaN());
    const uint32_t hugeBits = FloatBits(3e38f);
    const uint32_t negativeInfBits = FloatBits(-std::numeric_limits<float>::infinity());
    EXPECT_EQ(0, PercentFromStored(nanBits));
    EXPECT_EQ(INT_MAX, PercentFromStored(hugeBits));
    EXPECT_EQ(INT_MIN, PercentFromStored(negativeInfBits));
    EXPECT_EQ(0, TenThousandthsFromStored(nanBits));
    EXPECT_EQ(INT_MAX, TenThousandthsFromStored(hugeBits));
    EXPECT_EQ(INT_MIN, TenThousandthsFromStored(negativeInfBits));
    EXPECT_EQ(0u, MsToSamples(kNaN));
    EXPECT_EQ(0u, MsToSamples(-5.0));
    EXPECT_EQ(UINT32_MAX, MsToSamples(1e300));
    EXPECT_EQ(0, EncodeGainWord(kNaN));
    EXPECT_EQ(65535, EncodeGainWord(1e300));
    EXPECT_EQ(0, EncodeGainWord(-1e300));
    EXPECT_EQ(0, EncodeQWord(kNaN));
    EXPECT_EQ(65535, EncodeQWord(1e300));
    EXPECT_EQ(0x00, EncodeSignedTenths(kNaN));
    EXPECT_EQ(0x7F, EncodeSignedTenths(1e300));
    EXPECT_EQ(0xFF, EncodeSignedTenths(-1e300));
    uint8_t record[kEqBandRecordSize];
    EncodeEqBandRecord({kNaN, 1e300, -kInf, 1}, record);
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 0xFF, 0xFF, 0, 0, 1}),
              std::vector<uint8_t>(record, record + kEqBandRecordSize));
}

// An image whose every DSP value is a NaN, an infinity or a huge float (as a
// damaged mode file or reply could hold) refreshes into saturated editor values.
TEST(SaturateTest, RefreshOfAnImageOfExtremeFloats) {
    BuildDefaultImage();
    const float extremes[] = {std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(), -3e38f, 3e38f};
    int next = 0;
    for (const DspRecordDefault& record : DspRecordDefaults())
        for (int i = 0; i < record.count; ++i)
            WriteBigEndian32(g_ParamImage() + record.valueOffset + 4 * i,
                             FloatBits(extremes[next++ % 4]));
    RefreshFromImage();
    for (const DspParamEntry& entry : DspParamTable) {
        if (entry.kind != DspValueKind::Percent && entry.kind != DspValueKind::TenThousandths)
            continue;
        const float stored = FloatFromBits(ReadBigEndian32(g_ParamImage() + entry.imageOffset));
        const int expected = std::isnan(stored) ? 0 : stored > 0 ? INT_MAX : INT_MIN;
        EXPECT_EQ(expected, *entry.intVar()) << entry.block << "/" << entry.parameter;
    }
    BuildDefaultImage();
}

} // namespace

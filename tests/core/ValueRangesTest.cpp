// The ranges the pages allow, from the one table the command line checks.
#include "state/ValueRanges.h"
#include "controls/EqModel.h"
#include "state/DspParamTable.h"
#include "state/ParamImage.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Every parameter a value can be set for has a range, and its ends survive
// the trip through the image (a range that saturated or wrapped would let a
// "valid" value arrive as another).
TEST(ValueRangesTest, EverySettableParameterHasARangeThatRoundTrips) {
    BuildDefaultImage();
    for (const DspParamEntry& entry : DspParamTable) {
        if (entry.kind == DspValueKind::None || entry.imageOffset < 0) continue;
        const std::string name =
            std::to_string(entry.block) + "/" + std::to_string(entry.parameter);
        const auto range = fx::DspParamRange(entry.block, entry.parameter);
        if (entry.kind == DspValueKind::Raw && entry.block != 14) {
            EXPECT_FALSE(range) << name << ": written raw by its page";
            continue;
        }
        ASSERT_TRUE(range) << name;
        for (const double end : {range->low, range->high}) {
            SetDspParam(entry.block, entry.parameter, end);
            const double back = GetDspParam(entry.block, entry.parameter);
            RefreshFromImage();
            const double reloaded = GetDspParam(entry.block, entry.parameter);
            EXPECT_NEAR(end, back, 1e-4) << name;
            // Milliseconds come back as whole samples; a read-back may lose
            // a unit to the float, but never saturates or wraps.
            EXPECT_NEAR(end, reloaded, entry.kind == DspValueKind::Samples ? 0.011 : 1.0) << name;
        }
    }
    BuildDefaultImage();
}

TEST(ValueRangesTest, ValuesAgainstTheirPages) {
    struct Case {
        int block, parameter;
        double value;
        const char* refusal; // "" when allowed
    };
    const Case cases[] = {
        {1, 14, 60, ""},
        {1, 14, 99, ""},
        {1, 14, 100, "VALUE of block 1 parameter 14 is a whole number 0..99, not 100"},
        {1, 14, 100000, "VALUE of block 1 parameter 14 is a whole number 0..99, not 100000"},
        {1, 14, 1e300, "VALUE of block 1 parameter 14 is a whole number 0..99, not 1e+300"},
        {1, 14, -1, "VALUE of block 1 parameter 14 is a whole number 0..99, not -1"},
        {1, 14, 60.5, "VALUE of block 1 parameter 14 is a whole number 0..99, not 60.5"},
        {1, 4, 100, ""},
        {1, 8, 100, ""},
        {1, 15, 100, ""},
        {1, 15, 50, "VALUE of block 1 parameter 15 is 0 or 100, not 50"},
        {1, 33, 2, "VALUE of block 1 parameter 33 is a whole number 0..1, not 2"},
        {2, 11, 247, ""},
        {2, 11, 100, "VALUE of block 2 parameter 11 is 160..260 ms, not 100"},
        {2, 12, 39, "VALUE of block 2 parameter 12 is a whole number 40..100, not 39"},
        {4, 23, 13, ""},
        {4, 23, 14, "VALUE of block 4 parameter 23 is a whole number 0..13, not 14"},
        {4, 40, 300, ""},
        {4, 40, 301, "VALUE of block 4 parameter 40 is a whole number 0..300, not 301"},
        {10, 21, 500, ""},
        {9, 21, 500, "VALUE of block 9 parameter 21 is a whole number 0..100, not 500"},
        {7, 22, -100, ""},
        {7, 22, 0, "VALUE of block 7 parameter 22 is -100 or 100, not 0"},
        {5, 15, 100, ""},
        {5, 15, 100.1, "VALUE of block 5 parameter 15 is 1.33..100 ms, not 100.1"},
        {14, 4, 18000, ""},
        {14, 4, 3199.5, "VALUE of block 14 parameter 4 is 3200..18000 Hz, not 3199.5"},
        {1, 38, 0.5, "block 1 parameter 38 is not set by value"},
        {4, 21, 0, "block 4 parameter 21 is not set by value"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.refusal, fx::CheckDspParamValue(c.block, c.parameter, c.value))
            << c.block << "/" << c.parameter << " = " << c.value;
    }
    EXPECT_NE("", fx::CheckDspParamValue(1, 14, std::nan("")));
}

TEST(ValueRangesTest, EqBandsTakeTheEditorsLimitsOfTheirType) {
    struct Case {
        int type;
        double frequency, gain, q;
        const char* refusal;
    };
    const Case cases[] = {
        {1, 1000, 3.5, 1.2, ""},
        {1, 20, -15, 0.1, ""},
        {1, 20000, 15, 30, ""},
        {1, 1000, 1e300, 1, "GAIN of type 1 is -15..15 dB, not 1e+300"},
        {1, 1000, 15.1, 1, "GAIN of type 1 is -15..15 dB, not 15.1"},
        {1, 1000, 0, 1e-300, "Q of type 1 is 0.1..30, not 1e-300"},
        {1, 1000, 0, 30.5, "Q of type 1 is 0.1..30, not 30.5"},
        {1, 19.9, 0, 1, "FREQ of type 1 is 20..20000 Hz, not 19.9"},
        {1, 20001, 0, 1, "FREQ of type 1 is 20..20000 Hz, not 20001"},
        {2, 100, 0, 0.707, ""},
        {2, 100, 3, 0.707, "GAIN of type 2 is 0 dB, not 3"},
        {3, 100, 0, 2.5, "Q of type 3 is 0.1..2, not 2.5"},
        {4, 100, -15, 2, ""},
        {5, 5000, 3, 2.1, "Q of type 5 is 0.1..2, not 2.1"},
        {18, 100, 0, 0.707, ""},
        {0, 100, 0, 1, ""},
        {22, 100, 0, 1, "TYPE is a whole number 0..21, not 22"},
        {-1, 100, 0, 1, "TYPE is a whole number 0..21, not -1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.refusal, fx::CheckEqBandValues(c.type, c.frequency, c.gain, c.q))
            << c.type << " " << c.frequency << " " << c.gain << " " << c.q;
    }
}

} // namespace

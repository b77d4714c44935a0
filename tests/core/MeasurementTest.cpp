// Measured responses as measurement programs export them: what is read, what
// is refused (with the line), smoothing and the text written back.
#include "state/Measurement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// Points 20, 40, 80 ... Hz (ten by default) at 70 dB, one a line.
std::string Points(int count, const char* separator = " ") {
    std::string text;
    for (int i = 0; i < count; ++i) text += std::to_string(20 << i) + separator + "70.0\n";
    return text;
}

TEST(MeasurementTest, ReadsCommentsSeparatorsAndPhases) {
    const std::string text = "\xEF\xBB\xBF* Freq(Hz) SPL(dB) Phase(degrees)\r\n"
                             "* from a seeded model\n"
                             "\n"
                             "10.000,46.054,-46.8\r\n"
                             "10.145\t46.526\t37.4\n"
                             "10.293  46.599 -175.2\n" +
                             std::string("20.5, 50.25, 0\n30 51 1\n40 52 2\n50 53 3\n60 54 4\n"
                                         "70 55 5\n80 56 6\n");
    const fx::MeasurementText read = fx::ParseMeasurement(text);
    ASSERT_TRUE(read.ok) << read.Error();
    const fx::Measurement& m = read.measurement;
    ASSERT_EQ(10u, m.size());
    EXPECT_DOUBLE_EQ(10.145, m.frequencies[1]);
    EXPECT_DOUBLE_EQ(46.526, m.levels[1]);
    ASSERT_EQ(10u, m.phases.size());
    EXPECT_DOUBLE_EQ(-175.2, m.phases[2]);
    EXPECT_DOUBLE_EQ(50.25, m.levels[3]);
}

TEST(MeasurementTest, PhasesOnlyWhenEveryPointHasOne) {
    const fx::MeasurementText read = fx::ParseMeasurement("10 50 1\n" + Points(9));
    ASSERT_TRUE(read.ok) << read.Error();
    EXPECT_TRUE(read.measurement.phases.empty());
}

struct RefusedCase {
    const char* name;
    std::string text;
    int line;
    const char* reason; // a part of the reason
};

class MeasurementRefusalTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(MeasurementRefusalTest, RefusesWithTheLineAndKeepsNothing) {
    const RefusedCase& c = GetParam();
    const fx::MeasurementText read = fx::ParseMeasurement(c.text);
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(c.line, read.line) << read.Error();
    EXPECT_NE(std::string::npos, read.reason.find(c.reason)) << read.Error();
    EXPECT_EQ(0u, read.measurement.size());
    EXPECT_EQ(0u, read.measurement.levels.size());
}

INSTANTIATE_TEST_SUITE_P(
    Files, MeasurementRefusalTest,
    testing::Values(
        RefusedCase{"Empty", "", 1, "no measurement points"},
        RefusedCase{"CommentsOnly", "* a\n* b\n", 2, "no measurement points"},
        RefusedCase{"NoNumbers", "* REW\nFreq SPL\n" + Points(10), 2, "not a number: Freq"},
        RefusedCase{"WordInLevel", Points(4) + "400 loud\n", 5, "not a number: loud"},
        RefusedCase{"HeaderWithoutStar", "Frequency,SPL,Phase\n" + Points(10), 1, "not a number"},
        RefusedCase{"NaNLevel", Points(3) + "200 nan\n" + Points(10), 4, "not a finite number"},
        RefusedCase{"InfiniteFrequency", "inf 70\n", 1, "not a finite number"},
        RefusedCase{"HugeNumber", "1e400 70\n", 1, "not a number"},
        RefusedCase{"FrequencyFalls", "20 70\n40 70\n30 70\n" + Points(10), 3,
                    "frequency 30 Hz not above the previous point's 40 Hz"},
        RefusedCase{"FrequencyRepeats", "20 70\n20 71\n", 2, "not above the previous"},
        RefusedCase{"ZeroFrequency", "0 70\n" + Points(10), 1, "not above 0 Hz"},
        RefusedCase{"NegativeFrequency", "-5 70\n", 1, "not above 0 Hz"},
        RefusedCase{"LevelOnly", "20\n", 1, "a frequency without a level"},
        RefusedCase{"FourColumns", "20 70 0 1\n", 1, "more than three numbers"},
        RefusedCase{"AbsurdLevel", "20 7000\n", 1, "level outside"},
        RefusedCase{"NinePoints", "* nine\n" + Points(9), 10, "only 9 points; at least 10"}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return info.param.name; });

TEST(MeasurementTest, LevelBetweenPointsIsLinearInLogFrequency) {
    const fx::Measurement m = fx::ParseMeasurement(Points(10)).measurement;
    fx::Measurement ramp = m;
    for (size_t i = 0; i < ramp.size(); ++i) ramp.levels[i] = 6.0 * static_cast<double>(i);
    EXPECT_NEAR(3.0, ramp.LevelAt(20.0 * std::sqrt(2.0)), 1e-9); // half an octave up
    EXPECT_DOUBLE_EQ(0.0, ramp.LevelAt(5.0));                    // below: the first level
    EXPECT_DOUBLE_EQ(54.0, ramp.LevelAt(1e6));                   // above: the last
}

TEST(MeasurementTest, SmoothingAveragesWithinTheFractionOfAnOctave) {
    // 1/50 octave points with a one-point spike: 1/6 octave holds 9 points.
    fx::Measurement m;
    for (int i = 0; i < 200; ++i) {
        m.frequencies.push_back(20.0 * std::pow(2.0, i / 50.0));
        m.levels.push_back(i == 100 ? 79.0 : 70.0);
    }
    const fx::Measurement smooth = fx::SmoothMeasurement(m, 6.0);
    ASSERT_EQ(m.size(), smooth.size());
    EXPECT_NEAR(71.0, smooth.levels[100], 1e-9);
    EXPECT_NEAR(71.0, smooth.levels[104], 1e-9);
    EXPECT_NEAR(70.0, smooth.levels[105], 1e-9);
    EXPECT_NEAR(70.0, smooth.levels[0], 1e-9);
    EXPECT_EQ(m.levels, fx::SmoothMeasurement(m, 0.0).levels);
}

TEST(MeasurementTest, WrittenTextReadsBackTheSamePoints) {
    fx::Measurement m = fx::ParseMeasurement("* x\n10 50.125 -3.5\n" + Points(9)).measurement;
    m.phases.clear();
    const std::string text = fx::FormatMeasurement(m, {"measurement + EQ", "set 7"});
    EXPECT_EQ(0u, text.rfind("* measurement + EQ\n* set 7\n", 0));
    const fx::MeasurementText back = fx::ParseMeasurement(text);
    ASSERT_TRUE(back.ok) << back.Error();
    EXPECT_EQ(m.frequencies, back.measurement.frequencies);
    EXPECT_NEAR(50.125, back.measurement.levels[0], 1e-9);
}

} // namespace

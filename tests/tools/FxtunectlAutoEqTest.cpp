// fxtunectl auto-eq against a simulator process on 127.0.0.1: a dry run
// prints and sends nothing, a run writes the fitted bands, and bad input is
// refused before anything is connected.
#include "ChildProcess.h"

#include "state/AutoEqFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A room with two modes (+8 dB at 63 Hz, +6 dB at 160 Hz) over 75 dB.
std::string RoomFile() {
    const std::vector<EqBandRecord> modes = {{8.0, 63, 5.0, EQ_PEQ}, {6.0, 160, 4.0, EQ_PEQ}};
    std::string text = "* Freq(Hz) SPL(dB)\n";
    for (double f = 10.0; f < 24000.0; f *= std::pow(2.0, 1.0 / 48.0))
        text +=
            std::to_string(f) + "," + std::to_string(75.0 + fx::BandsResponseDb(modes, f)) + "\n";
    const std::string path = child::TempPath("room.txt");
    std::ofstream(path) << text;
    return path;
}

std::string WriteFile(const std::string& name, const std::string& text) {
    const std::string path = child::TempPath(name);
    std::ofstream(path) << text;
    return path;
}

class FxtunectlAutoEqTest : public child::CtlAgainstSimulator {};

// Without --range the fit starts where the speaker's roll-off ends, as the
// editor's dialog does, never boosts below it, and the export names the channel.
TEST_F(FxtunectlAutoEqTest, TheDefaultRangeStartsAtTheMeasurementsLowFrequencyLimit) {
    const std::string room = FX_TEST_DATA_DIR "/living-room-left.txt";
    const std::string exported = child::TempPath("room-predicted.txt");
    const auto run = Ctl({"auto-eq", "7", room, "--dry-run", "--export", exported});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "RMS deviation 29-500 Hz: ")) << run.out;
    EXPECT_TRUE(Contains(run.out, "no boost below 29 Hz")) << run.out;
    EXPECT_TRUE(Contains(child::Slurp(exported), "* CH 1 EQ\n")) << child::Slurp(exported);
    const auto json = Ctl({"auto-eq", "7", room, "--dry-run", "--json"});
    ASSERT_EQ(0, json.status) << json.err;
    EXPECT_TRUE(Contains(json.out, "\"range\":[29,500]")) << json.out;
}

TEST_F(FxtunectlAutoEqTest, DryRunPrintsTheBandsAndSendsNoChange) {
    const auto run = Ctl({"auto-eq", "7", RoomFile(), "--range", "20-20000", "--bands", "2",
                          "--dry-run", "--export", child::TempPath("predicted.txt")});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "CH 1 EQ: 2 peaking bands\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "band 1: PEQ 63 Hz -8.0 dB Q 5.0")) << run.out;
    EXPECT_TRUE(Contains(run.out, "band 2: PEQ 160 Hz -6.0 dB Q 4.0")) << run.out;
    EXPECT_TRUE(Contains(run.out, "RMS deviation 20-20000 Hz: ")) << run.out;
    EXPECT_TRUE(Contains(run.out, "dry run: nothing written\n"));
    const std::string log = sim->CommandLog();
    EXPECT_EQ(0u, Count(log, "command: 85 ")) << "no band record written";
    EXPECT_EQ(0u, Count(log, "command: 09 ")) << "no coefficients written";
    // The export is the measurement with the EQ: flat within a few tenths.
    const fx::MeasurementText predicted =
        fx::ParseMeasurement(child::Slurp(child::TempPath("predicted.txt")));
    ASSERT_TRUE(predicted.ok) << predicted.Error();
    EXPECT_NEAR(75.0, predicted.measurement.LevelAt(63.0), 0.3);
    EXPECT_NEAR(75.0, predicted.measurement.LevelAt(160.0), 0.3);
}

TEST_F(FxtunectlAutoEqTest, WritesTheBandsIntoTheFreeBands) {
    ASSERT_EQ(0, Ctl({"eq", "7", "1", "1", "10000", "-4", "4"}).status); // band 1 in use
    const size_t mark = sim->CommandLog().size();
    const auto run =
        Ctl({"auto-eq", "7", RoomFile(), "--range", "20-20000", "--bands", "2", "--json"});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_TRUE(Contains(run.out, "\"written\":true")) << run.out;
    EXPECT_TRUE(Contains(run.out, "{\"band\":2,\"frequency\":63,\"gain\":-8")) << run.out;
    EXPECT_EQ(2u, Count(sim->CommandLog().substr(mark), "command: 85 ")) << "two band records";
    const std::string filters = Ctl({"eq-export", "7"}).out;
    EXPECT_TRUE(Contains(filters, "Filter 1: ON PK Fc 10000 Hz Gain -4.0 dB")) << filters;
    EXPECT_TRUE(Contains(filters, "Filter 2: ON PK Fc 63 Hz Gain -8.0 dB")) << filters;
    EXPECT_TRUE(Contains(filters, "Filter 3: ON PK Fc 160 Hz Gain -6.0 dB")) << filters;
}

struct RefusedRun {
    const char* name;
    std::vector<std::string> args; // after "auto-eq 7 FILE"
    std::string fileText;          // empty: the room file
    int status;
    const char* message;
};

class FxtunectlAutoEqRefusalTest : public child::CtlAgainstSimulator,
                                   public testing::WithParamInterface<RefusedRun> {};

TEST_P(FxtunectlAutoEqRefusalTest, RefusesAndChangesNothing) {
    const RefusedRun& c = GetParam();
    const std::string file = c.fileText.empty() ? RoomFile() : WriteFile("bad.txt", c.fileText);
    std::vector<std::string> args = {"auto-eq", "7", file};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto run = Ctl(args);
    EXPECT_EQ(c.status, run.status) << run.err;
    EXPECT_TRUE(Contains(run.err, c.message)) << run.err;
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
    EXPECT_EQ(0u, Count(sim->CommandLog(), "command: 85 ")) << "nothing written";
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, FxtunectlAutoEqRefusalTest,
    testing::Values(
        RefusedRun{"FrequenciesFall", {}, "20 70\n30 70\n25 70\n", 5, "line 3: frequency 25 Hz"},
        RefusedRun{"TooFewPoints", {}, "20 70\n30 70\n", 5, "line 2: only 2 points"},
        RefusedRun{"NaN", {}, "* x\n20 nan\n", 5, "line 2: not a finite number"},
        RefusedRun{"RangeBackwards", {"--range", "500-40"}, "", 2, "the range must lie"},
        RefusedRun{"TooManyBands", {"--bands", "11"}, "", 2, "has 10 free bands, not 11"},
        RefusedRun{"BadTilt", {"--target", "tilt:x"}, "", 2, "tilt is -6..6"},
        RefusedRun{"NegativeBoost", {"--max-boost", "-1"}, "", 2, "the boost must be"},
        RefusedRun{"UnknownOption", {"--fast"}, "", 2, "unknown option --fast"}),
    [](const testing::TestParamInfo<RefusedRun>& info) { return info.param.name; });

// A range past a crossover or another pass band: a warning naming it and the
// range that stops at it; none when the range stops there.
TEST_F(FxtunectlAutoEqTest, WarnsWhenItsRangeRunsPastACrossover) {
    const auto past = Ctl({"auto-eq", "ch6", RoomFile(), "--range", "20-500", "--dry-run"});
    ASSERT_EQ(0, past.status) << past.err;
    EXPECT_EQ("fxtunectl: warning: auto-eq: the range 20-500 Hz runs past the crossover low-pass "
              "at 100 Hz (band 7 of CH 6 EQ): the fit fills in what it cuts; --range 20-100 "
              "stops at it\n",
              past.err);
    const auto within = Ctl({"auto-eq", "ch6", RoomFile(), "--range", "20-100", "--dry-run"});
    ASSERT_EQ(0, within.status) << within.err;
    EXPECT_EQ("", within.err);

    ASSERT_EQ(0, Ctl({"eq", "ch1", "1", "hp", "60", "0", "0.7"}).status);
    const auto highPass = Ctl({"auto-eq", "ch1", RoomFile(), "--dry-run"});
    EXPECT_TRUE(Contains(highPass.err, "runs past the high-pass at 60 Hz (band 1 of CH 1 EQ)"))
        << highPass.err;
    EXPECT_TRUE(Contains(highPass.err, "--range 60-500 stops at it")) << highPass.err;
}

} // namespace

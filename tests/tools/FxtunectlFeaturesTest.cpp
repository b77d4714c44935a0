#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

// fxtunectl's source, bass-boost and auto-level verbs end to end against fxtune-sim.
namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string Hex(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    char text[16];
    std::snprintf(text, sizeof text, "%02X %02X %02X %02X", bits >> 24, (bits >> 16) & 0xFF,
                  (bits >> 8) & 0xFF, bits & 0xFF);
    return text;
}

// The DSP writes and panel writes the simulator received, one "XX XX ..." each.
std::vector<std::string> Changes(const std::string& log) {
    std::vector<std::string> changes;
    size_t at = 0;
    while ((at = log.find("command: ", at)) != std::string::npos) {
        at += 9;
        const std::string line = log.substr(at, log.find('\n', at) - at);
        if (line.rfind("09 ", 0) == 0 || line.rfind("85 ", 0) == 0) changes.push_back(line);
    }
    return changes;
}

class FeaturesCtlTest : public ::testing::Test {
protected:
    void Start(std::vector<std::string> simArgs = {}) {
        m_sim = std::make_unique<child::Simulator>(std::move(simArgs));
        ASSERT_GT(m_sim->Port(), 0);
    }
    child::Result Ctl(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--host", "127.0.0.1", "--port", m_sim->PortText()});
        return child::Run(FXTUNECTL_PATH, args);
    }
    // The changes received since the last call.
    std::vector<std::string> NewChanges() {
        const std::string log = m_sim->CommandLog();
        const std::string fresh = log.substr(m_seen);
        m_seen = log.size();
        return Changes(fresh);
    }

    std::unique_ptr<child::Simulator> m_sim;
    size_t m_seen = 0;
};

} // namespace

TEST_F(FeaturesCtlTest, SourceListsAndSelectsWhatTheModelOffers) {
    Start({"--module", "ARN41"});
    const auto list = Ctl({"source"});
    ASSERT_EQ(0, list.status) << list.err;
    EXPECT_EQ(" 5 SPDIF    100%\n 8 COAX     100%\n11 AUX      100%\n"
              "selected: 0, not offered by ARN41\n",
              list.out);

    const auto select = Ctl({"source", "coax"});
    ASSERT_EQ(0, select.status) << select.err;
    EXPECT_EQ(std::vector<std::string>{"09 00 04 17 01 00 00 00 08"}, NewChanges());
    const auto shown = Ctl({"source"});
    EXPECT_TRUE(Has(shown.out, " 8 COAX     100%  selected\n")) << shown.out;
    EXPECT_FALSE(Has(shown.out, "not offered")) << shown.out;

    // Sources this model's variant lacks, by index and by another model's name.
    for (const char* source : {"6", "AUX1", "0"}) {
        const auto refused = Ctl({"source", source});
        EXPECT_EQ(2, refused.status) << source;
        EXPECT_EQ("fxtunectl: ARN41 has no source " + std::string(source) +
                      " (it offers SPDIF (5), COAX (8), AUX (11))\n",
                  refused.err);
    }
    EXPECT_TRUE(NewChanges().empty()) << "nothing sent";
}

TEST_F(FeaturesCtlTest, SourceByTheNameTheModelShows) {
    Start({"--module", "ARN63"});
    ASSERT_EQ(0, Ctl({"source", "AUX1"}).status);
    ASSERT_EQ(0, Ctl({"source", "android"}).status);
    EXPECT_EQ(
        (std::vector<std::string>{"09 00 04 17 01 00 00 00 0B", "09 00 04 17 01 00 00 00 03"}),
        NewChanges());
    const auto list = Ctl({"source"});
    EXPECT_EQ(" 3 Android  100%  selected\n 0 HDMI1    100%\n 1 HDMI2    100%\n"
              " 2 HDMI3    100%\n 5 SPDIF1   100%\n 6 SPDIF2   100%\n11 AUX1     100%\n",
              list.out);
}

TEST_F(FeaturesCtlTest, BassBoostWritesTheValueThenBothChainsInTheOrderOfTheChange) {
    Start();
    ASSERT_EQ(0, Ctl({"bass-boost", "-6"}).status);
    const std::string p = Hex(std::pow(10.0f, -0.3f));
    const std::string e =
        Hex(static_cast<float>(std::pow(10.0, (0.0022594517 * 36 - 0.799902 * 6) / 20)));
    const std::string in = Hex(1.0f / static_cast<float>(std::pow(10.0, -0.3)));
    const std::string filter = p + " " + e + " 3F 7D 55 4A BF FE A8 DC " + p + " " + e;
    const std::string out = Hex(static_cast<float>(std::pow(10.0, -0.3)));
    EXPECT_EQ((std::vector<std::string>{"85 04 DE 04 C0 C0 00 00", "09 00 01 47 06 " + filter,
                                        "09 00 01 45 01 " + out, "09 00 01 44 01 " + in,
                                        "09 00 01 2C 06 " + filter, "09 00 01 2A 01 " + out,
                                        "09 00 01 29 01 " + in}),
              NewChanges());

    // The next run reads -6 from the processor: back to 0 is a lowering.
    ASSERT_EQ(0, Ctl({"bass-boost", "0"}).status);
    const std::string ones = "3F 80 00 00";
    const std::string flat = ones + " " + ones + " 3F 7D 55 4A BF FE A8 DC " + ones + " " + ones;
    EXPECT_EQ((std::vector<std::string>{"85 04 DE 04 00 00 00 00", "09 00 01 44 01 " + ones,
                                        "09 00 01 47 06 " + flat, "09 00 01 45 01 " + ones,
                                        "09 00 01 29 01 " + ones, "09 00 01 2C 06 " + flat,
                                        "09 00 01 2A 01 " + ones}),
              NewChanges());
    EXPECT_EQ("bass-boost: 0 dB\n", Ctl({"bass-boost"}).out);
}

TEST_F(FeaturesCtlTest, AutoLevelWritesTheRecordAndShowsIt) {
    Start();
    EXPECT_EQ("auto-level: off\nthreshold: 0 dB\nratio: 4.0:1\nattack: 60 ms\nrelease: 600 ms\n",
              Ctl({"auto-level"}).out);
    ASSERT_EQ(0, Ctl({"auto-level", "-20", "4.0", "10", "200"}).status);
    const std::string record =
        "09 00 04 0E 07 C1 A0 00 00 00 00 00 00 3F 40 00 00 41 A0 00 00 3D 4C CC CD " +
        Hex(static_cast<float>(1 - std::exp(-1.0 / 480))) + " " +
        Hex(static_cast<float>(1 - std::exp(-1.0 / 9600)));
    // The settings switch it on.
    EXPECT_EQ((std::vector<std::string>{record, "09 00 04 0F 01 00 00 00 00"}), NewChanges());
    EXPECT_EQ("auto-level: on\nthreshold: -20 dB\nratio: 4.0:1\nattack: 10 ms\nrelease: 200 ms\n",
              Ctl({"auto-level"}).out);
}

// Refused before anything is connected or sent.
TEST_F(FeaturesCtlTest, BadValuesAreRefusedWithNothingSent) {
    Start();
    struct Case {
        std::vector<std::string> args;
        const char* errPart;
    };
    const std::vector<Case> cases = {
        {{"source", "14"}, "no source 14 (K is 0..13, or a source name)"},
        {{"source", "HDMI6"}, "no source HDMI6"},
        {{"source", "1", "2"}, "source takes no argument, or K"},
        {{"bass-boost", "3"}, "DB is -40..0 dB: \"3\""},
        {{"bass-boost", "-40.5"}, "DB is -40..0 dB"},
        {{"bass-boost", "deep"}, "DB is -40..0 dB"},
        {{"auto-level", "-61", "4", "10", "200"}, "THRESHOLD is -60..0 dB"},
        {{"auto-level", "-20", "0.5", "10", "200"}, "RATIO is 1..30"},
        {{"auto-level", "-20", "31", "10", "200"}, "RATIO is 1..30"},
        {{"auto-level", "-20", "4", "0", "200"}, "ATTACK is 1..100 ms"},
        {{"auto-level", "-20", "4", "10", "1001"}, "RELEASE is 1..1000 ms"},
        {{"auto-level", "-20", "4", "10"}, "auto-level takes no argument, on|off, or THRESHOLD"},
    };
    for (const Case& c : cases) {
        const auto result = Ctl(c.args);
        EXPECT_EQ(2, result.status) << c.args[0] << " " << result.err;
        EXPECT_TRUE(Has(result.err, c.errPart)) << result.err;
        EXPECT_EQ(1, std::count(result.err.begin(), result.err.end(), '\n')) << result.err;
    }
    EXPECT_EQ("", m_sim->CommandLog()) << "nothing was sent";
}

TEST_F(FeaturesCtlTest, UnconfirmedChangesExitSix) {
    Start({"--ignore-code", "9"});
    const auto source = Ctl({"source", "5"});
    EXPECT_EQ(6, source.status);
    EXPECT_EQ("fxtunectl: time-out: the processor did not confirm the music source\n", source.err);
    Start({"--ignore-code", "133"});
    const auto boost = Ctl({"bass-boost", "-3"});
    EXPECT_EQ(6, boost.status);
    EXPECT_EQ("fxtunectl: time-out: the processor did not confirm the bass boost\n", boost.err);
}

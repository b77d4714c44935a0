// The command line's conventions: --version, --port=N, --json after the
// verb, warnings when a value is taken otherwise than typed, and the texts
// that say the same thing the same way.
#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

using FxtunectlConventionsTest = child::CtlAgainstSimulator;

TEST(FxtunectlVersion, PrintsTheProgramsVersion) {
    const child::Result version = child::Run(FXTUNECTL_PATH, {"--version"});
    EXPECT_EQ(0, version.status);
    EXPECT_EQ("fxtunectl 1.2\n", version.out);
    EXPECT_EQ("", version.err);
}

// --host=, --port=, --lang= as well as the two-word forms; --json after the
// verb (and its arguments) as before it.
TEST_F(FxtunectlConventionsTest, OptionsWithEqualsAndJsonAfterTheVerb) {
    const std::string expected =
        "{\"block\":1,\"parameter\":14,\"name\":\"Mic Vol\",\"value\":50,\"text\":\"50 %\","
        "\"unit\":\"%\"}\n";
    const std::vector<std::vector<std::string>> forms = {
        {"--host=127.0.0.1", "--port=" + sim->PortText(), "get", "1", "14", "--json"},
        {"--host", "127.0.0.1", "--port=" + sim->PortText(), "--json", "get", "1", "14"},
        {"--host=127.0.0.1", "--port", sim->PortText(), "get", "--json", "1", "14"},
    };
    for (const auto& args : forms) {
        const child::Result run = child::Run(FXTUNECTL_PATH, args);
        EXPECT_EQ(0, run.status) << run.err;
        EXPECT_EQ(expected, run.out);
    }
    const child::Result zh =
        child::Run(FXTUNECTL_PATH, {"--lang=zh", "--host=127.0.0.1", "--port=" + sim->PortText(),
                                    "--json", "get", "1", "14"});
    EXPECT_TRUE(Contains(zh.out, "\"name\":\"话筒音量\"")) << zh.out;
    const child::Result bad = child::Run(FXTUNECTL_PATH, {"--usb=1", "info"});
    EXPECT_EQ(2, bad.status);
    EXPECT_EQ("fxtunectl: --usb takes no value (fxtunectl --help shows the usage)\n", bad.err);
}

// A value kept otherwise than typed, or typed in hexadecimal, is taken with a
// warning saying what was kept; what the verbs print afterwards agrees.
TEST_F(FxtunectlConventionsTest, RoundedAndHexadecimalValuesAreSaid) {
    const struct {
        std::vector<std::string> args;
        std::string warnings;
        std::vector<std::string> shownBy;
        std::string shown;
    } cases[] = {
        {{"comp", "2", "-20.5", "4.03", "10", "200"},
         "fxtunectl: warning: THRESHOLD -20.5 dB kept as -21 dB\n"
         "fxtunectl: warning: RATIO 4.03 kept as 4\n",
         {"comp", "2"},
         "CH 2 compressor: on, threshold -21 dB, ratio 4.0:1, attack 10 ms, release 200 ms\n"},
        {{"auto-level", "-20", "4", "10.4", "200"},
         "fxtunectl: warning: ATTACK 10.4 ms kept as 10 ms\n",
         {"auto-level"},
         "attack: 10 ms\n"},
        {{"eq", "ch3", "1", "peq", "1000.4", "3.04", "1.2345"},
         "fxtunectl: warning: FREQ 1000.4 Hz kept as 1000 Hz\n"
         "fxtunectl: warning: GAIN 3.04 dB kept as 3 dB\n"
         "fxtunectl: warning: Q 1.2345 kept as 1.234\n",
         {"output", "3"},
         "band 1: PEQ 1000 Hz +3.0 dB Q 1.23\n"},
        {{"set", "6", "15", "1.41"},
         "fxtunectl: warning: VALUE 1.41 ms kept as 1.42 ms\n",
         {"get", "6", "15"},
         "1.42\n"},
        {{"set", "6", "15", "1.4"}, "", {"get", "6", "15"}, "1.4\n"},
        {{"set", "1", "14", "0x10"},
         "fxtunectl: warning: 0x10 read as a hexadecimal number, 16\n",
         {"get", "1", "14"},
         "16\n"},
        {{"bass-boost", "-6.5"},
         "fxtunectl: warning: DB -6.5 dB kept as -7 dB\n",
         {"bass-boost"},
         "bass-boost: -7 dB\n"},
        {{"surround", "listener", "0.25", "0"},
         "fxtunectl: warning: X 0.25 m kept as 0.3 m\n",
         {"surround"},
         "listener: +0.3, +0.0 m\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const child::Result run = Ctl(c.args);
        EXPECT_EQ(0, run.status) << run.err;
        EXPECT_EQ(c.warnings, run.err);
        EXPECT_TRUE(Contains(Ctl(c.shownBy).out, c.shown));
    }
}

// One warning per processor, with its address, when several are set up.
TEST_F(FxtunectlConventionsTest, SeveralProcessorsWarnEachWithItsAddress) {
    child::Simulator other({});
    ASSERT_GT(other.Port(), 0);
    const child::Result run = child::Run(
        FXTUNECTL_PATH, {"--host", "127.0.0.1", "--port", sim->PortText(), "--host", "127.0.0.1",
                         "--port", other.PortText(), "comp", "1", "-20.5", "4", "10", "200"});
    EXPECT_EQ(0, run.status) << run.err;
    for (const child::Simulator* s : {sim.get(), &other}) {
        EXPECT_TRUE(Contains(run.err, "127.0.0.1:" + s->PortText() +
                                          ": fxtunectl: warning: THRESHOLD -20.5 dB kept as "
                                          "-21 dB\n"))
            << run.err;
    }
    EXPECT_EQ(0u, run.err.find("127.0.0.1:")) << "no warning without an address";
}

// The same thing said the same way: a stored mode in the words write uses,
// one filter as one, an alignment spelt right (the old spelling still taken).
TEST_F(FxtunectlConventionsTest, TextsSayTheSameThingTheSameWay) {
    const child::Result store = Ctl({"mode", "store", "3"});
    EXPECT_EQ(0, store.status) << store.err;
    EXPECT_EQ("stored into M3\n", store.out);

    const std::string filters = child::TempPath("one-filter.txt");
    std::ofstream(filters) << "Filter 1: ON PK Fc 100 Hz Gain -3.0 dB Q 1.41\n";
    const child::Result one = Ctl({"eq-import", "ch1", filters});
    EXPECT_EQ(0, one.status) << one.err;
    EXPECT_EQ("CH 1 EQ: 1 filter, 0 bands off, 9 bands flat\n", one.out);
    std::ofstream(filters) << "Filter 1: ON PK Fc 100 Hz Gain -3.0 dB Q 1.41\nFilter 2: OFF PK\n";
    EXPECT_EQ("CH 1 EQ: 1 filter, 1 band off, 8 bands flat\n",
              Ctl({"eq-import", "ch1", filters}).out);
    std::remove(filters.c_str());

    ASSERT_EQ(0, Ctl({"xover", "LinkwitzRiely 24dB", "90"}).status);
    EXPECT_EQ("CH 6 band 7: Linkwitz-Riley 24dB LP at 90 Hz\n", Ctl({"xover"}).out);
    ASSERT_EQ(0, Ctl({"xover", "linkwitz-riley-36db", "90"}).status);
    EXPECT_EQ("CH 6 band 7: Linkwitz-Riley 36dB LP at 90 Hz\n", Ctl({"xover"}).out);
}

// With --lang zh every line a verb prints is Chinese (numbers, units, the
// model's source names and the alignment names aside).
TEST_F(FxtunectlConventionsTest, ChineseOutputIsWhollyChinese) {
    const std::string filters = child::TempPath("zh-filters.txt");
    std::ofstream(filters) << "Filter 1: ON PK Fc 100 Hz Gain -3.0 dB Q 1.41\n";
    // A room with a mode of +6 dB at 63 Hz.
    const std::string room = child::TempPath("zh-room.txt");
    std::ofstream measurement(room);
    for (double f = 10.0; f < 24000.0; f *= std::pow(2.0, 1.0 / 24.0)) {
        const double octaves = std::log2(f / 63.0);
        measurement << f << "," << 75.0 + 6.0 * std::exp(-octaves * octaves / 0.05) << "\n";
    }
    measurement.close();
    const std::vector<std::vector<std::string>> verbs = {
        {"info"},
        {"output", "6"},
        {"delay"},
        {"surround"},
        {"comp", "rec"},
        {"xover"},
        {"source"},
        {"auto-level"},
        {"bass-boost"},
        {"mode", "store", "2"},
        {"eq-import", "ch1", filters},
        {"auto-eq", "ch1", room, "--dry-run"},
    };
    const char* const english[] = {"level",   "delay",      " on",        " off",      "band",
                                   "filter",  "stored",     "compressor", "threshold", "ratio",
                                   "attack",  "release",    "source",     "phase",     "mute",
                                   "room",    "listener",   "speaker",    "selected",  "module",
                                   "version", "compatible", "mode:",      "peaking",   "RMS",
                                   "dry run", "channel",    "crossover",  " at "};
    EXPECT_EQ(0u, Ctl({"--lang", "zh", "info"}).out.find("模块: ARN63\n指令集版本: 19\n"));
    for (const auto& verb : verbs) {
        std::vector<std::string> args = {"--lang", "zh"};
        args.insert(args.end(), verb.begin(), verb.end());
        const child::Result run = Ctl(args);
        ASSERT_EQ(0, run.status) << verb[0] << ": " << run.err;
        EXPECT_FALSE(run.out.empty()) << verb[0];
        for (const char* word : english)
            EXPECT_FALSE(Contains(run.out, word)) << verb[0] << " prints \"" << word << "\":\n"
                                                  << run.out;
    }
    std::remove(filters.c_str());
    std::remove(room.c_str());
}

} // namespace

// fxtunectl's output-side verbs (comp, xover, output) against a simulator
// process on 127.0.0.1.
#include "ChildProcess.h"

#include "state/Compressor.h"
#include "state/ParamImage.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// "09 00 05 18 07 C1 A0 ...": a DSP write as the simulator logs it.
std::string DspHex(int block, int parameter, const std::vector<uint32_t>& values) {
    char text[16];
    std::snprintf(text, sizeof text, "09 00 %02X %02X %02X", block, parameter, int(values.size()));
    std::string hex = text;
    for (uint32_t v : values) {
        std::snprintf(text, sizeof text, " %02X %02X %02X %02X", v >> 24, (v >> 16) & 0xFF,
                      (v >> 8) & 0xFF, v & 0xFF);
        hex += text;
    }
    return hex;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class FxtunectlOutputVerbsTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim = std::make_unique<child::Simulator>(std::vector<std::string>{});
        ASSERT_GT(sim->Port(), 0);
    }
    child::Result Ctl(std::vector<std::string> args) {
        args.insert(args.begin(), {"--host", "127.0.0.1", "--port", sim->PortText()});
        return child::Run(FXTUNECTL_PATH, args);
    }
    std::unique_ptr<child::Simulator> sim;
};

TEST_F(FxtunectlOutputVerbsTest, CompWritesTheRecordThatOutputThenShows) {
    const struct {
        const char* channel;
        int block;
        int parameter;
    } cases[] = {{"1", 5, 24}, {"8", 12, 24}, {"rec", 13, 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channel);
        const auto result = Ctl({"comp", c.channel, "-20", "4", "10", "200"});
        ASSERT_EQ(0, result.status) << result.err;
        EXPECT_EQ("", result.out);
        const auto record = EncodeCompressorRecord(-20, 4.0, 10, 200);
        EXPECT_TRUE(
            Contains(sim->CommandLog(),
                     "command: " + DspHex(c.block, c.parameter, {record.begin(), record.end()})))
            << sim->CommandLog();
    }
    const auto shown = Ctl({"output", "8"});
    ASSERT_EQ(0, shown.status) << shown.err;
    // The settings switch the compressor on.
    EXPECT_TRUE(Contains(shown.out, "compressor: on, threshold -20 dB, ratio 4.0:1, attack 10 ms, "
                                    "release 200 ms\n"))
        << shown.out;
}

TEST_F(FxtunectlOutputVerbsTest, OutputDescribesAChannelInWords) {
    const auto result = Ctl({"output", "3"});
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_EQ("channel: CH 3\n"
              "source: CH-SBR\n"
              "direct level: 100 %\n"
              "reverb level: 100 %\n"
              "echo level: 100 %\n"
              "music level: 100 %\n"
              "phase: normal\n"
              "mute: off\n"
              "delay: off, whole channel, 1.33 ms\n"
              "split frequency: 500 Hz\n"
              "compressor: off, threshold 0 dB, ratio 30.0:1, attack 1 ms, release 100 ms\n"
              "eq: on\n"
              "band 1: PEQ 31 Hz +0.0 dB Q 1.41\n"
              "band 2: PEQ 62 Hz +0.0 dB Q 1.41\n"
              "band 3: PEQ 125 Hz +0.0 dB Q 1.41\n"
              "band 4: PEQ 250 Hz +0.0 dB Q 1.41\n"
              "band 5: PEQ 500 Hz +0.0 dB Q 1.41\n"
              "band 6: PEQ 1000 Hz +0.0 dB Q 1.41\n"
              "band 7: PEQ 2000 Hz +0.0 dB Q 1.41\n"
              "band 8: PEQ 4000 Hz +0.0 dB Q 1.41\n"
              "band 9: PEQ 8000 Hz +0.0 dB Q 1.41\n"
              "band 10: PEQ 16000 Hz +0.0 dB Q 1.41\n",
              result.out);
    // Changes made with the other verbs show up.
    ASSERT_EQ(0, Ctl({"set", "7", "22", "-100"}).status);
    ASSERT_EQ(0, Ctl({"set", "7", "16", "0"}).status);
    ASSERT_EQ(0, Ctl({"eq", "9", "1", "3", "80", "0", "0.7"}).status);
    const auto changed = Ctl({"output", "3"});
    EXPECT_TRUE(Contains(changed.out, "phase: inverted\n"));
    EXPECT_TRUE(Contains(changed.out, "delay: on, whole channel, 1.33 ms\n"));
    EXPECT_TRUE(Contains(changed.out, "band 1: HP 80 Hz +0.0 dB Q 0.70\n"));
}

TEST_F(FxtunectlOutputVerbsTest, XoverSetsTheCrossoverBandAndItsSections) {
    const auto before = Ctl({"xover"});
    ASSERT_EQ(0, before.status) << before.err;
    EXPECT_EQ("CH 6 band 7: Butterworth 24dB LP at 100 Hz\n", before.out);

    const auto set = Ctl({"xover", "Bessel 18dB", "120"});
    ASSERT_EQ(0, set.status) << set.err;
    const std::string log = sim->CommandLog();
    for (int parameter = 6; parameter <= 9; ++parameter) {
        char head[32];
        std::snprintf(head, sizeof head, "command: 09 00 0A %02X 05", parameter);
        EXPECT_TRUE(Contains(log, head)) << head;
        std::snprintf(head, sizeof head, "command: 85 %02X %02X 07",
                      EqBandOffset(12, parameter) >> 8, EqBandOffset(12, parameter) & 0xFF);
        EXPECT_TRUE(Contains(log, head)) << head;
    }
    EXPECT_EQ("CH 6 band 7: Bessel 18dB LP at 120 Hz\n", Ctl({"xover"}).out);
    ASSERT_EQ(0, Ctl({"xover", "3", "80"}).status); // by number
    EXPECT_EQ("CH 6 band 7: Linkwitz-Riley 48dB LP at 80 Hz\n", Ctl({"xover"}).out);
    EXPECT_TRUE(Contains(Ctl({"output", "6"}).out,
                         "band 7: Linkwitz-Riley 48dB LP 80 Hz +0.0 dB Q 0.71 (crossover)\n"));

    // A high-pass keeps the high-pass column.
    ASSERT_EQ(0, Ctl({"xover", "linkwitzriely12db", "150", "hp"}).status);
    EXPECT_EQ("CH 6 band 7: Linkwitz-Riley 12dB HP at 150 Hz\n", Ctl({"xover"}).out);
    ASSERT_EQ(0, Ctl({"xover", "1", "160"}).status);
    EXPECT_EQ("CH 6 band 7: Linkwitz-Riley 24dB HP at 160 Hz\n", Ctl({"xover"}).out);
}

struct VerbError {
    std::vector<std::string> args;
    const char* message;
};

class FxtunectlOutputVerbErrorTest : public FxtunectlOutputVerbsTest,
                                     public ::testing::WithParamInterface<VerbError> {};

TEST_P(FxtunectlOutputVerbErrorTest, RefusedWithNothingSent) {
    const auto result = Ctl(GetParam().args);
    EXPECT_EQ(2, result.status) << result.err;
    const std::string expected = std::string("fxtunectl: ") + GetParam().message;
    EXPECT_EQ(0u, result.err.rfind(expected, 0)) << result.err;
    EXPECT_EQ(1, std::count(result.err.begin(), result.err.end(), '\n'));
    EXPECT_EQ("", sim->CommandLog()) << "refused before anything was sent";
}

INSTANTIATE_TEST_SUITE_P(
    Values, FxtunectlOutputVerbErrorTest,
    ::testing::Values(VerbError{{"comp", "0", "-20", "4", "10", "200"}, "CH is 1..8 or rec"},
                      VerbError{{"comp", "9", "-20", "4", "10", "200"}, "CH is 1..8 or rec"},
                      VerbError{{"comp", "REC", "-20", "4", "10", "200"}, "CH is 1..8 or rec"},
                      VerbError{{"comp", "1", "-61", "4", "10", "200"}, "THRESHOLD is -60..0 dB"},
                      VerbError{{"comp", "1", "0.5", "4", "10", "200"}, "THRESHOLD is -60..0 dB"},
                      VerbError{{"comp", "1", "-20", "0.9", "10", "200"}, "RATIO is 1..30"},
                      VerbError{{"comp", "1", "-20", "31", "10", "200"}, "RATIO is 1..30"},
                      VerbError{{"comp", "1", "-20", "4", "0", "200"}, "ATTACK is 1..100 ms"},
                      VerbError{{"comp", "1", "-20", "4", "101", "200"}, "ATTACK is 1..100 ms"},
                      VerbError{{"comp", "1", "-20", "4", "10", "1001"}, "RELEASE is 1..1000 ms"},
                      VerbError{{"comp", "1", "-20", "4", "10", "nan"}, "RELEASE is 1..1000 ms"},
                      VerbError{{"comp", "1", "-20", "4", "10"},
                                "wrong number of arguments for comp"},
                      VerbError{{"xover", "11", "100"}, "ALIGNMENT is 0..10"},
                      VerbError{{"xover", "Bessel 19dB", "100"}, "ALIGNMENT is 0..10"},
                      VerbError{{"xover", "5", "19"}, "FREQ is 20..20000 Hz"},
                      VerbError{{"xover", "5", "20001"}, "FREQ is 20..20000 Hz"},
                      VerbError{{"xover", "5"}, "wrong number of arguments for xover"},
                      VerbError{{"xover", "5", "120", "bp"}, "the crossover is lp or hp"},
                      VerbError{{"output", "0"}, "CH is 1..8"},
                      VerbError{{"output", "1.5"}, "CH is 1..8"},
                      VerbError{{"output"}, "wrong number of arguments for output"}));

} // namespace

// --link ties a pair as the editor's links do: each verb's change of CH 1's
// shared settings reaches CH 2 with it, confirmed, and nothing else does;
// the verbs take their sets by name, bands from 1 and on|off as ever.
TEST(FxtunectlChannelLinkTest, EveryVerbChangesBothChannelsOfALinkedPair) {
    const struct {
        const char* name;
        std::vector<std::string> change; // of CH 1
        std::string shown;               // what "output" then prints for it
    } cases[] = {
        {"set", {"set", "5", "17", "40"}, "direct level: 40 %\n"},
        {"set by name", {"set", "CH 1 echo level", "35"}, "echo level: 35 %\n"},
        {"comp",
         {"comp", "1", "-31", "4", "10", "498"},
         "compressor: on, threshold -31 dB, ratio 4.0:1, attack 10 ms, release 498 ms\n"},
        {"comp on", {"comp", "1", "on"}, "compressor: on, threshold 0 dB"},
        {"delay", {"delay", "1", "50", "high"}, "delay: on, high band, 50.0 ms\n"},
        {"delay on", {"delay", "1", "on"}, "delay: on, whole channel, 1.33 ms\n"},
        {"eq",
         {"eq", "ch1", "4", "peq", "160", "-4.5", "2"},
         "band 4: PEQ 160 Hz -4.5 dB Q 2.00\n"},
        {"eq-import",
         {"eq-import", "ch1", FX_TEST_DATA_DIR "/measurement-export.txt"},
         "band 1: PEQ 45 Hz -6.0 dB Q 5.00\n"},
    };
    for (const auto& c : cases) {
        // Each verb meets every way a processor acknowledges.
        const char* const acks[] = {"generic", "echo", "dsp", "echo"};
        const char* const links[] = {"12", "12,78", "34", "none"};
        for (int run = 0; run < 4; ++run) {
            const char* link = links[run];
            SCOPED_TRACE(std::string(c.name) + " --link " + link + " --ack " + acks[run]);
            child::Simulator sim({"--ack", acks[run]});
            ASSERT_GT(sim.Port(), 0);
            std::vector<std::string> host = {"--host", "127.0.0.1", "--port", sim.PortText()};
            // Also as --link=PAIRS, as --port=N is taken.
            if (run == 1)
                host.push_back(std::string("--link=") + link);
            else
                host.insert(host.end(), {"--link", link});
            std::vector<std::string> args = host;
            args.insert(args.end(), c.change.begin(), c.change.end());
            const auto changed = child::Run(FXTUNECTL_PATH, args);
            ASSERT_EQ(0, changed.status) << changed.err;
            const bool linked = std::string(link).find("12") != std::string::npos;
            for (const char* channel : {"1", "2"}) {
                std::vector<std::string> show = host;
                show.insert(show.end(), {"output", channel});
                const auto shown = child::Run(FXTUNECTL_PATH, show);
                ASSERT_EQ(0, shown.status) << shown.err;
                const bool expected = channel == std::string("1") || linked;
                EXPECT_EQ(expected, Contains(shown.out, c.shown)) << "CH " << channel << "\n"
                                                                  << shown.out;
            }
        }
    }
}

// A linked change that is refused sends nothing to either channel.
TEST(FxtunectlChannelLinkTest, ARefusedLinkedChangeSendsNothing) {
    const child::RefusedLine cases[] = {
        {{"eq", "ch1", "0", "peq", "160", "-4.5", "2"}, "BAND of CH 1 EQ (set 7) is 1..10, not 0"},
        {{"eq", "ch2", "11", "peq", "160", "-4.5", "2"},
         "BAND of CH 2 EQ (set 8) is 1..10, not 11"},
        {{"comp", "1", "-61", "4", "10", "200"}, "THRESHOLD is -60..0 dB"},
        {{"delay", "2", "0.5", "high"}, "MS is 1.33..100 ms"},
        {{"set", "CH 1 direct level", "101"},
         "VALUE of block 5 parameter 17 is a whole number 0..100, not 101"},
    };
    child::Simulator sim({});
    ASSERT_GT(sim.Port(), 0);
    for (const child::RefusedLine& c : cases) {
        SCOPED_TRACE(c.message);
        std::vector<std::string> args = {"--host",       "127.0.0.1", "--port",
                                         sim.PortText(), "--link",    "12"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        child::ExpectRefusedWithNothingSent(child::Run(FXTUNECTL_PATH, args), c, sim.CommandLog());
    }
}

TEST(FxtunectlChannelLinkTest, ABadPairListIsRefusedBeforeAnythingIsSent) {
    for (const char* link : {"13", "12,12", "", "12,", "all", "1+3"}) {
        SCOPED_TRACE(link);
        const auto result =
            child::Run(FXTUNECTL_PATH, {"--host", "127.0.0.1", "--port", "1", "--link", link,
                                        "comp", "1", "-20", "4", "10", "200"});
        EXPECT_EQ(2, result.status);
        EXPECT_TRUE(Contains(result.err, "--link is none or channel pairs")) << result.err;
    }
}

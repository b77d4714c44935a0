// Every verb of fxtunectl that waits for the processor's confirmation,
// against processors that acknowledge in each of the ways the reply table
// allows: reply 20, reply 9 for DSP writes, or the command's own code.
#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// One confirming verb: its arguments (FILE.mode, FILE.remo and FILE.txt stand
// for files the test writes), the command bytes the simulator must have
// received, and a query whose output shows what the simulator holds.
struct ConfirmingVerb {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> received;
    std::vector<std::string> query;
    const char* shown;
};

const std::vector<ConfirmingVerb>& Verbs() {
    static const std::vector<ConfirmingVerb> verbs = {
        {"set",
         {"set", "1", "14", "60"},
         {"09 00 01 0E 01 3F 19 99 9C"},
         {"get", "1", "14"},
         "60\n"},
        {"eq",
         {"eq", "6", "1", "1", "1000", "3.5", "1.2"},
         {"85 01 96 07 00 B9 03 E8 04 B0 01"},
         {"eq-export", "6"},
         "Filter 1: ON PK Fc 1000 Hz Gain 3.5 dB Q 1.20\n"},
        {"mode store", {"mode", "store", "4"}, {"04 03"}, {}, ""},
        {"write and store", {"write", "FILE.mode"}, {"32", "03 01", "04 01"}, {}, ""},
        {"machine set",
         {"machine", "set", "hdmi-mute=on"},
         {"91 "},
         {"machine"},
         "hdmi-mute: on\n"},
        {"remote load",
         {"remote", "load", "FILE.remo"},
         {"63 20 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F 40 41"},
         {},
         ""},
        {"remote learn", {"remote", "learn", "5"}, {"60 05", "63 20 31 32 33 34 45 36"}, {}, ""},
        {"comp", {"comp", "2", "-20", "4", "10", "200"}, {"09 00 06 18 "}, {}, ""},
        {"xover",
         {"xover", "Bessel 18dB", "120"},
         {"09 00 0A 06 05"},
         {"xover"},
         "CH 6 band 7: Bessel 18dB LP at 120 Hz\n"},
        {"delay", {"delay", "3", "12.5", "high"}, {"09 00 07 0F 01 00 00 02 58"}, {}, ""},
        {"surround room", {"surround", "room", "6", "5"}, {"85 04 C6 18 06 05"}, {}, ""},
        {"surround listener", {"surround", "listener", "1", "1"}, {"85 04 C6 18"}, {}, ""},
        {"surround speaker", {"surround", "speaker", "1", "-1", "1"}, {"85 04 C6 18"}, {}, ""},
        {"surround center", {"surround", "center"}, {"85 04 C6 18"}, {}, ""},
        {"surround reset", {"surround", "reset"}, {"85 04 A6 20"}, {}, ""},
        {"source", {"source", "5"}, {"09 00 04 17 01 00 00 00 05"}, {}, ""},
        {"bass-boost",
         {"bass-boost", "-3"},
         {"85 04 DE 04 C0 40 00 00"},
         {"bass-boost"},
         "bass-boost: -3 dB\n"},
        {"auto-level",
         {"auto-level", "-20", "4", "10", "200"},
         {"09 00 04 0E 07 C1 A0 00 00"},
         {},
         ""},
        {"eq-import",
         {"eq-import", "7", "FILE.txt"},
         {"85 01 E3 07"},
         {"eq-export", "7"},
         "Filter 3: OFF"},
    };
    return verbs;
}

class AckStyleTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        m_sim = std::make_unique<child::Simulator>(
            std::vector<std::string>{"--ack", GetParam(), "--learn-delay-ms", "200"});
        ASSERT_GT(m_sim->Port(), 0);
        const std::string style = GetParam();
        m_files = {{"FILE.mode", child::TempPath("m2 " + style + ".mode")},
                   {"FILE.remo", child::TempPath(style + ".remo")},
                   {"FILE.txt", std::string(FX_TEST_DATA_DIR) + "/measurement-export.txt"}};
        ASSERT_EQ(0, Ctl({"read", m_files[0].second}).status);
        std::string keys(18, '\0');
        for (int i = 0; i < 18; ++i) keys[i] = static_cast<char>(0x20 + (i ? 0x10 + i : 0));
        std::ofstream(m_files[1].second, std::ios::binary) << keys;
    }
    void TearDown() override {
        std::remove(m_files[0].second.c_str());
        std::remove(m_files[1].second.c_str());
    }
    child::Result Ctl(std::vector<std::string> args) const {
        for (std::string& arg : args)
            for (const auto& [name, path] : m_files)
                if (arg == name) arg = path;
        args.insert(args.begin(), {"--host", "127.0.0.1", "--port", m_sim->PortText()});
        return child::Run(FXTUNECTL_PATH, args, 60000);
    }

    std::unique_ptr<child::Simulator> m_sim;
    std::vector<std::pair<std::string, std::string>> m_files;
};

TEST_P(AckStyleTest, EveryConfirmingVerbIsConfirmed) {
    for (const ConfirmingVerb& verb : Verbs()) {
        SCOPED_TRACE(verb.name);
        const size_t logged = m_sim->CommandLog().size();
        const child::Result result = Ctl(verb.args);
        EXPECT_EQ(0, result.status) << result.err;
        EXPECT_FALSE(Has(result.err, "fxtunectl:")) << result.err;
        const std::string log = m_sim->CommandLog().substr(logged);
        for (const std::string& bytes : verb.received)
            EXPECT_TRUE(Has(log, "command: " + bytes)) << bytes << "\n" << log;
        if (verb.query.empty()) continue;
        const child::Result shown = Ctl(verb.query);
        EXPECT_EQ(0, shown.status) << shown.err;
        EXPECT_TRUE(Has(shown.out, verb.shown)) << shown.out;
    }
}

// Learning ends on the learned key (reply 96), never on an acknowledgement
// of the learn command, and prints the key's code.
TEST_P(AckStyleTest, RemoteLearningEndsOnTheLearnedKey) {
    const child::Result learned = Ctl({"remote", "learn", "m4-down"});
    ASSERT_EQ(0, learned.status) << learned.err;
    EXPECT_EQ("45\n", learned.out);
    const std::string saved = child::TempPath(std::string(GetParam()) + " saved.remo");
    ASSERT_EQ(0, Ctl({"remote", "save", saved}).status);
    const std::string bytes = child::Slurp(saved);
    std::remove(saved.c_str());
    ASSERT_EQ(18u, bytes.size());
    EXPECT_EQ(0x45, bytes[5]) << "the learned code went back to the processor";
}

INSTANTIATE_TEST_SUITE_P(Styles, AckStyleTest, ::testing::Values("generic", "echo", "dsp"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

// A processor that refuses a change with an error report (reply 10): a
// failure naming the error code, exit 1.
TEST(AckStyleRefusalTest, AnErrorReportIsARefusalWithItsCode) {
    child::Simulator sim({"--error-for", "145"});
    ASSERT_GT(sim.Port(), 0);
    const child::Result result =
        child::Run(FXTUNECTL_PATH, {"--host", "127.0.0.1", "--port", sim.PortText(), "machine",
                                    "set", "hdmi-mute=on"});
    EXPECT_EQ(1, result.status);
    EXPECT_EQ("fxtunectl: the processor refused the machine settings: error code 0x01 "
              "(command 0x91, 0x00)\n",
              result.err);
}

} // namespace

// What installers asked for: parameters by the names diff and dump print,
// the list of crossover alignments, the panel lock.
#include "ChildProcess.h"

#include <gtest/gtest.h>

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The values of the last DSP write in a simulator log, "" when none.
std::string LastDspWrite(const std::string& log) {
    const size_t at = log.rfind("command: 09 00 ");
    if (at == std::string::npos) return "";
    return log.substr(at, log.find('\n', at) - at);
}

using FxtunectlRequestsTest = child::CtlAgainstSimulator;

// get and set take a parameter's name in either language, in any case and
// spacing, and do what they do by BLOCK PARAM.
TEST_F(FxtunectlRequestsTest, GetAndSetByTheNameDiffPrints) {
    const struct {
        std::string name;
        const char* block;
        const char* parameter;
        const char* value;
    } cases[] = {
        {"CH 3 delay", "7", "15", "5"},        {"ch3 DELAY", "7", "15", "7.5"},
        {"通道3延时", "7", "15", "12"},        {"Mic Vol", "1", "14", "60"},
        {"Recording level", "13", "12", "80"}, {"Music input source", "4", "23", "5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(0, Ctl({"set", c.block, c.parameter, c.value}).status);
        const std::string byNumbers = LastDspWrite(sim->CommandLog());
        ASSERT_EQ(0, Ctl({"set", c.name, c.value}).status);
        EXPECT_EQ(byNumbers, LastDspWrite(sim->CommandLog()));
        EXPECT_EQ(std::string(c.value) + "\n", Ctl({"get", c.name}).out);
        EXPECT_EQ(Ctl({"--json", "get", c.block, c.parameter}).out,
                  Ctl({"--json", "get", c.name}).out);
    }
}

// A name no parameter has, and a parameter another verb sets: refused with
// nothing sent.
TEST_F(FxtunectlRequestsTest, NamesThatSetCannotTakeSendNothing) {
    const child::RefusedLine unknown = {{"set", "CH 9 delay", "5"},
                                        "no parameter named \"CH 9 delay\" (give BLOCK PARAM, or a "
                                        "name as diff and dump print it)"};
    child::ExpectRefusedWithNothingSent(Ctl(unknown.args), unknown, sim->CommandLog());
    const child::Result compressor = Ctl({"set", "CH 1 compressor threshold", "-20"});
    EXPECT_EQ(1, compressor.status);
    EXPECT_EQ("fxtunectl: no editable DSP parameter: CH 1 compressor threshold\n", compressor.err);
    EXPECT_EQ("", sim->CommandLog());
}

// The alignments by number and name, with or without a processor named;
// none is contacted.
TEST_F(FxtunectlRequestsTest, XoverListNeedsNoProcessor) {
    const std::string expected = " 0 Linkwitz-Riley 12dB\n 1 Linkwitz-Riley 24dB\n"
                                 " 2 Linkwitz-Riley 36dB\n 3 Linkwitz-Riley 48dB\n"
                                 " 4 Bessel 12dB\n 5 Bessel 18dB\n 6 Bessel 24dB\n"
                                 " 7 Butterworth 12dB\n 8 Butterworth 18dB\n"
                                 " 9 Butterworth 24dB\n10 Chebyshev 12dB\n";
    const child::Result alone = child::Run(FXTUNECTL_PATH, {"xover", "list"});
    EXPECT_EQ(0, alone.status) << alone.err;
    EXPECT_EQ(expected, alone.out);
    const child::Result named = Ctl({"xover", "list"});
    EXPECT_EQ(expected, named.out);
    EXPECT_EQ("", sim->CommandLog());
}

// The panel lock machine prints can be set; the volume and mode locks act
// within it.
TEST_F(FxtunectlRequestsTest, MachineSetsThePanelLock) {
    const child::RefusedLine inner = {{"machine", "set", "panel-lock=off", "mode-lock=on"},
                                      "mode-lock=on needs panel-lock=on"};
    child::ExpectRefusedWithNothingSent(Ctl(inner.args), inner, sim->CommandLog());

    ASSERT_EQ(0, Ctl({"machine", "set", "panel-lock=on", "mode-lock=on"}).status);
    const std::string locked = Ctl({"machine"}).out;
    EXPECT_TRUE(Contains(locked, "panel-lock: on\nvolume-lock: off\nmode-lock: on\n")) << locked;
    ASSERT_EQ(0, Ctl({"machine", "set", "panel-lock=off"}).status);
    EXPECT_TRUE(Contains(Ctl({"machine"}).out, "panel-lock: off\n"));
    const child::Result refused = Ctl({"machine", "set", "volume-lock=on"});
    EXPECT_EQ(2, refused.status);
    EXPECT_EQ("fxtunectl: volume-lock=on needs panel-lock=on\n", refused.err)
        << "the processor's panel lock is off";
}

} // namespace

// The verbs agree with each other: what one prints another takes back and
// stores unchanged, every verb names a source alike, a switch is set and
// shown in words, and diff lists only what differs.
#include "ChildProcess.h"

#include "sim/SimProcessor.h"
#include "state/ParamImage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The values of the last DSP write of block/parameter in a simulator log
// ("09 00 BB PP NN" and what follows), nothing when there is none.
std::optional<std::string> LastWrite(const std::string& log, int block, int parameter) {
    char head[32];
    std::snprintf(head, sizeof head, "command: 09 00 %02X %02X ", block, parameter);
    const size_t at = log.rfind(head);
    if (at == std::string::npos) return std::nullopt;
    const size_t from = at + std::string(head).size();
    return log.substr(from, log.find('\n', from) - from);
}

// "01 00 00 00 40": the record values of the factory image as a write carries them.
std::string FactoryValues(int block, int parameter) {
    const int offset = DspRecordValueOffset(block, parameter);
    const auto& image = SimProcessor::DefaultImage();
    std::string hex;
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02X", image[offset - 1]);
    hex += byte;
    for (int i = 0; i < 4; ++i) {
        std::snprintf(byte, sizeof byte, " %02X", image[offset + i]);
        hex += byte;
    }
    return hex;
}

using FxtunectlAgreementTest = child::CtlAgainstSimulator;

// get prints a value in the unit and rounding set takes; set of that text
// stores the very bytes it came from, and get prints it again.
TEST_F(FxtunectlAgreementTest, WhatGetPrintsSetTakesBackUnchanged) {
    const struct {
        int block, parameter;
        const char* given; // nullptr: the factory value
        const char* printed;
    } cases[] = {
        {6, 15, nullptr, "1.33"}, // the factory delay, 64 samples
        {6, 15, "1.4", "1.4"},    // 67 samples
        {6, 15, "1.41", "1.42"},  // 68 samples
        {6, 15, "100", "100"},     {2, 11, nullptr, "247"}, {14, 0, nullptr, "200"},
        {14, 0, "123.4", "123.4"}, {1, 14, "60", "60"},     {7, 22, "-100", "-100"},
    };
    for (const auto& c : cases) {
        const std::string block = std::to_string(c.block);
        const std::string parameter = std::to_string(c.parameter);
        SCOPED_TRACE(block + " " + parameter + " " + (c.given ? c.given : "factory"));
        std::string stored = FactoryValues(c.block, c.parameter);
        if (c.given) {
            ASSERT_EQ(0, Ctl({"set", block, parameter, c.given}).status);
            stored = *LastWrite(sim->CommandLog(), c.block, c.parameter);
        }
        const auto got = Ctl({"get", block, parameter});
        ASSERT_EQ(0, got.status) << got.err;
        EXPECT_EQ(std::string(c.printed) + "\n", got.out);
        const auto back = Ctl({"set", block, parameter, c.printed});
        ASSERT_EQ(0, back.status) << back.err;
        EXPECT_EQ(stored, LastWrite(sim->CommandLog(), c.block, c.parameter).value_or(""));
        EXPECT_EQ(got.out, Ctl({"get", block, parameter}).out);
        const auto json = Ctl({"--json", "get", block, parameter});
        EXPECT_TRUE(Contains(json.out, std::string("\"value\":") + c.printed + ",")) << json.out;
    }
}

// The delay verb prints and takes the same times as get and set.
TEST_F(FxtunectlAgreementTest, DelayTakesTheFactoryTimeBack) {
    EXPECT_TRUE(Contains(Ctl({"delay"}).out, "CH 3: 1.33 ms, off, whole channel\n"));
    ASSERT_EQ(0, Ctl({"delay", "3", "20"}).status);
    ASSERT_EQ(0, Ctl({"delay", "3", "1.33"}).status);
    EXPECT_EQ(FactoryValues(7, 15), LastWrite(sim->CommandLog(), 7, 15).value_or(""));
    EXPECT_TRUE(Contains(Ctl({"output", "3"}).out, "delay: on, whole channel, 1.33 ms\n"));
}

// One name for the selected source in every verb: the one the model's music
// source dialog shows (source 3 is "Android" on this model, not "HDMI4").
TEST_F(FxtunectlAgreementTest, EveryVerbNamesTheSourceAsTheModelDoes) {
    const std::string before = child::TempPath("before-source.mode");
    ASSERT_EQ(0, Ctl({"read", before}).status);
    ASSERT_EQ(0, Ctl({"source", "android"}).status);
    EXPECT_TRUE(Contains(Ctl({"source"}).out, " 3 Android  100%  selected\n"));
    EXPECT_TRUE(Contains(Ctl({"--json", "get", "4", "23"}).out, "\"text\":\"Android\""));
    const auto diff = Ctl({"diff", before});
    EXPECT_EQ(1, diff.status);
    EXPECT_EQ("Music input source: HDMI1 → Android\n", diff.out);
    std::remove(before.c_str());
}

// A speaker moved to where it stands is stored with another zero (80, not
// 00); diff lists nothing, as nothing differs for the processor.
TEST_F(FxtunectlAgreementTest, DiffListsOnlyWhatDiffers) {
    const std::string before = child::TempPath("before-move.mode");
    ASSERT_EQ(0, Ctl({"read", before}).status);
    ASSERT_EQ(0, Ctl({"surround", "speaker", "2", "0", "1"}).status);
    const auto same = Ctl({"diff", before});
    EXPECT_EQ(0, same.status);
    EXPECT_EQ("", same.out);
    ASSERT_EQ(0, Ctl({"surround", "speaker", "2", "0.5", "1"}).status);
    const auto moved = Ctl({"diff", before});
    EXPECT_EQ(1, moved.status);
    EXPECT_TRUE(Contains(moved.out, "Speaker CEN position: +0.0 m, +1.0 m → +0.5 m, +1.0 m\n"))
        << moved.out;
    std::remove(before.c_str());
}

// comp, auto-level and delay switch their function on and off; the settings
// switch it on unless off is given; the switch is printed in words.
TEST_F(FxtunectlAgreementTest, SwitchesAreSetAndShownInWords) {
    const struct {
        std::vector<std::string> args;
        const char* switchWrite; // the switch parameter's write, "" when none is sent
        std::vector<std::string> shownBy;
        const char* shown;
    } cases[] = {
        {{"comp", "2"},
         "",
         {"comp", "2"},
         "CH 2 compressor: off, threshold 0 dB, ratio 30.0:1, attack 1 ms, release 100 ms\n"},
        {{"comp", "2", "-20", "4", "10", "200"},
         "09 00 06 19 01 00 00 00 00",
         {"output", "2"},
         "compressor: on, threshold -20 dB, ratio 4.0:1, attack 10 ms, release 200 ms\n"},
        {{"comp", "2", "off"},
         "09 00 06 19 01 00 00 00 01",
         {"comp", "2"},
         "CH 2 compressor: off, threshold -20 dB, ratio 4.0:1, attack 10 ms, release 200 ms\n"},
        {{"comp", "rec", "on"},
         "09 00 0D 0B 01 00 00 00 00",
         {"comp", "rec"},
         "recording compressor: on, threshold 0 dB, ratio 30.0:1, attack 1 ms, release 100 ms\n"},
        {{"comp", "2", "-30", "4", "10", "200", "off"},
         "09 00 06 19 01 00 00 00 01",
         {"output", "2"},
         "compressor: off, threshold -30 dB, ratio 4.0:1, attack 10 ms, release 200 ms\n"},
        {{"auto-level", "on"}, "09 00 04 0F 01 00 00 00 00", {"auto-level"}, "auto-level: on\n"},
        {{"auto-level", "off"}, "09 00 04 0F 01 00 00 00 01", {"auto-level"}, "auto-level: off\n"},
        {{"auto-level", "-20", "4", "10", "200"},
         "09 00 04 0F 01 00 00 00 00",
         {"auto-level"},
         "auto-level: on\nthreshold: -20 dB\n"},
        {{"auto-level", "-20", "4", "10", "200", "off"},
         "09 00 04 0F 01 00 00 00 01",
         {"auto-level"},
         "auto-level: off\n"},
        {{"delay", "3", "off"},
         "09 00 07 10 01 00 00 00 01",
         {"delay"},
         "CH 3: 1.33 ms, off, whole channel\n"},
        {{"delay", "3", "5"},
         "09 00 07 10 01 00 00 00 00",
         {"delay"},
         "CH 3: 5.0 ms, on, whole channel\n"},
        {{"delay", "3", "high"}, "", {"delay"}, "CH 3: 5.0 ms, on, high band above 500 Hz\n"},
        {{"delay", "3", "7", "whole", "off"},
         "09 00 07 10 01 00 00 00 01",
         {"output", "3"},
         "delay: off, whole channel, 7.0 ms\n"},
        {{"delay", "3", "on"},
         "09 00 07 10 01 00 00 00 00",
         {"output", "3"},
         "delay: on, whole channel, 7.0 ms\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1] + " (" + std::to_string(c.args.size()) + ")");
        const size_t mark = sim->CommandLog().size();
        const auto run = Ctl(c.args);
        ASSERT_EQ(0, run.status) << run.err;
        const std::string sent = sim->CommandLog().substr(mark);
        if (*c.switchWrite) {
            EXPECT_TRUE(Contains(sent, std::string("command: ") + c.switchWrite)) << sent;
        } else {
            EXPECT_FALSE(Contains(sent, std::string("command: 09 00 ") +
                                            (c.args[0] == "comp" ? "06 19" : "07 10")))
                << "the switch stays as it is";
        }
        const auto shown = Ctl(c.shownBy);
        EXPECT_TRUE(Contains(shown.out, c.shown)) << shown.out;
    }
}

// A switch word that is none, or a count of arguments no form takes:
// refused with nothing sent.
TEST_F(FxtunectlAgreementTest, SwitchWordsAreRefusedBeforeAnythingIsSent) {
    const child::RefusedLine cases[] = {
        {{"comp", "2", "maybe"}, "the switch is on or off"},
        {{"comp", "2", "-20", "4", "10", "200", "yes"}, "the switch is on or off"},
        {{"comp", "2", "-20", "4", "10"}, "wrong number of arguments for comp"},
        {{"auto-level", "loud"}, "the switch is on or off, not loud"},
        {{"auto-level", "-20", "4", "10", "200", "1"}, "the switch is on or off, not 1"},
        {{"auto-level", "on", "off"},
         "auto-level takes no argument, on|off, or THRESHOLD RATIO ATTACK RELEASE [on|off]"},
        {{"delay", "3", "off", "on"},
         "after MS come whole or high and on or off, each once, not on"},
    };
    for (const child::RefusedLine& c : cases) {
        SCOPED_TRACE(c.message);
        child::ExpectRefusedWithNothingSent(Ctl(c.args), c, sim->CommandLog());
    }
}

} // namespace

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

} // namespace

// fxtunectl's speaker verbs (delay, surround) against a simulator process on
// 127.0.0.1.
#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <algorithm>

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

class FxtunectlSpeakerVerbsTest : public child::CtlAgainstSimulator {
protected:
    // What the simulator logged from here on.
    std::string LogSince(size_t mark) const { return sim->CommandLog().substr(mark); }
};

TEST_F(FxtunectlSpeakerVerbsTest, DelaySetsTimeSwitchAndModeThatDelayThenPrints) {
    const auto before = Ctl({"delay"});
    ASSERT_EQ(0, before.status) << before.err;
    EXPECT_TRUE(Contains(before.out, "CH 1: 1.33 ms, off, whole channel\n")) << before.out;
    EXPECT_EQ(8, std::count(before.out.begin(), before.out.end(), '\n'));

    const auto set = Ctl({"delay", "3", "12.5", "high"});
    ASSERT_EQ(0, set.status) << set.err;
    EXPECT_EQ("", set.out);
    const std::string log = sim->CommandLog();
    EXPECT_TRUE(Contains(log, "command: 09 00 07 0F 01 00 00 02 58")) << "600 samples";
    EXPECT_TRUE(Contains(log, "command: 09 00 07 10 01 00 00 00 00")) << "switched on";
    EXPECT_TRUE(Contains(log, "command: 09 00 07 0E 02 3F 80 00 00 3F 80 00 00")) << "high band";
    EXPECT_TRUE(Contains(Ctl({"delay"}).out, "CH 3: 12.5 ms, on, high band above 500 Hz\n"));

    // Without a mode the mode stays.
    ASSERT_EQ(0, Ctl({"delay", "3", "100"}).status);
    EXPECT_TRUE(Contains(Ctl({"delay"}).out, "CH 3: 100.0 ms, on, high band above 500 Hz\n"));
    ASSERT_EQ(0, Ctl({"delay", "8", "1.4", "whole"}).status); // as low as the output page goes
    EXPECT_TRUE(Contains(Ctl({"delay"}).out, "CH 8: 1.4 ms, on, whole channel\n"));
    EXPECT_TRUE(Contains(Ctl({"output", "3"}).out, "delay: on, high band, 100.0 ms\n"));
}

TEST_F(FxtunectlSpeakerVerbsTest, SurroundMovesAndPrintsTheRoomPlan) {
    const auto plan = Ctl({"surround"});
    ASSERT_EQ(0, plan.status) << plan.err;
    EXPECT_EQ("room: 4 x 4 m\n"
              "listener: +0.0, +0.0 m\n"
              "speaker 1 L: -1.0, +1.0 m, 1.41 m away, -1.24 dB, CH 1\n"
              "speaker 2 CEN: +0.0, +1.0 m, 1.00 m away, +0.00 dB, CH 5\n"
              "speaker 3 R: +1.0, +1.0 m, 1.41 m away, -1.24 dB, no output carries it\n"
              "speaker 4 SBL: -1.0, -1.0 m, 1.41 m away, -1.24 dB, CH 4\n"
              "speaker 5 SUB: +0.0, -1.0 m, 1.00 m away, +0.00 dB, CH 6\n"
              "speaker 6 SBR: +1.0, -1.0 m, 1.41 m away, -1.24 dB, CH 3\n"
              "speaker 7 SL: -0.5, +0.0 m, 0.50 m away, +1.50 dB, CH 8\n"
              "speaker 8 SR: +0.5, +0.0 m, 0.50 m away, +1.50 dB, CH 7\n",
              plan.out);

    ASSERT_EQ(0, Ctl({"set", "6", "13", "1"}).status); // CH 2 carries the front right
    size_t mark = sim->CommandLog().size();
    ASSERT_EQ(0, Ctl({"surround", "listener", "1", "1"}).status);
    std::string log = LogSince(mark);
    EXPECT_TRUE(Contains(log, "command: 85 04 C6 18 04 04 0A 0A")) << log;
    EXPECT_EQ(8u, Count(log, "command: 85 04 A6 20")) << "a level for every speaker";
    // +3 dB for the front right on CH 2: g = 1.41254 (3FB4CE08).
    EXPECT_TRUE(Contains(log, "command: 09 00 06 1A 06 3F B4 CE 08")) << log;
    const auto moved = Ctl({"surround"});
    EXPECT_TRUE(Contains(moved.out, "listener: +1.0, +1.0 m\n"));
    EXPECT_TRUE(Contains(moved.out, "speaker 3 R: +1.0, +1.0 m, 0.00 m away, +3.00 dB, CH 2\n"));
    EXPECT_TRUE(Contains(moved.out, "speaker 4 SBL: -1.0, -1.0 m, 2.83 m away, -5.49 dB, CH 4\n"));

    mark = sim->CommandLog().size();
    ASSERT_EQ(0, Ctl({"surround", "room", "6", "3"}).status);
    ASSERT_EQ(0, Ctl({"surround", "speaker", "7", "-2.9", "0.4"}).status);
    log = LogSince(mark);
    EXPECT_EQ(1u, Count(log, "command: 85 04 A6 20")) << "the speaker's level only";
    EXPECT_TRUE(Contains(Ctl({"surround"}).out, "room: 6 x 3 m\n"));
    EXPECT_TRUE(Contains(Ctl({"surround"}).out, "speaker 7 SL: -2.9, +0.4 m"));

    ASSERT_EQ(0, Ctl({"surround", "center"}).status);
    EXPECT_TRUE(Contains(Ctl({"surround"}).out, "listener: +0.0, +0.0 m\n"));
}

TEST_F(FxtunectlSpeakerVerbsTest, SurroundResetSendsEveryLevelAndTheDefaultLayout) {
    ASSERT_EQ(0, Ctl({"surround", "listener", "-1.5", "0.5"}).status);
    ASSERT_EQ(0, Ctl({"surround", "room", "8", "8"}).status);
    const size_t mark = sim->CommandLog().size();
    ASSERT_EQ(0, Ctl({"surround", "reset"}).status);
    const std::string log = LogSince(mark);
    EXPECT_EQ(8u, Count(log, "command: 85 04 A6 20 00 00 00 00"));
    EXPECT_EQ(8u, Count(log, " 1A 06 3F 80 00 00 3F 80 00 00 3F 7E FF 25 BF FF 7E F1"));
    EXPECT_TRUE(Contains(log, "command: 85 04 C6 18 04 04 00 00 8A 0A 00 0A 0A 0A 8A 8A 00 8A 0A "
                              "8A 85 00 05 00 00 00 00 00"))
        << log;
    EXPECT_TRUE(Contains(Ctl({"surround"}).out, "room: 4 x 4 m\nlistener: +0.0, +0.0 m\n"));
}

TEST_F(FxtunectlSpeakerVerbsTest, PlacesOutsideTheRoomAreRefusedAfterTheRead) {
    const size_t mark = sim->CommandLog().size();
    const auto result = Ctl({"surround", "speaker", "3", "2.5", "0"});
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("fxtunectl: +2.5, +0.0 m lies outside the 4 x 4 m room (x -2.0..2.0, y -2.0..2.0)\n",
              result.err);
    const std::string log = LogSince(mark);
    EXPECT_FALSE(Contains(log, "command: 85")) << log;
    EXPECT_FALSE(Contains(log, "command: 09")) << log;
}

using child::RefusedLine;

class FxtunectlSpeakerVerbErrorTest : public FxtunectlSpeakerVerbsTest,
                                      public ::testing::WithParamInterface<RefusedLine> {};

TEST_P(FxtunectlSpeakerVerbErrorTest, RefusedWithNothingSent) {
    child::ExpectRefusedWithNothingSent(Ctl(GetParam().args), GetParam(), sim->CommandLog());
}

INSTANTIATE_TEST_SUITE_P(
    Values, FxtunectlSpeakerVerbErrorTest,
    ::testing::Values(
        RefusedLine{{"delay", "0", "5"}, "CH is 1..8"},
        RefusedLine{{"delay", "9", "5"}, "CH is 1..8"},
        RefusedLine{{"delay", "1", "1.3"}, "MS is 1.33..100 ms"},
        RefusedLine{{"delay", "1", "100.1"}, "MS is 1.33..100 ms"},
        RefusedLine{{"delay", "1", "inf"}, "MS is 1.33..100 ms"},
        RefusedLine{{"delay", "1", "5", "both"},
                    "after MS come whole or high and on or off, each once, not both"},
        RefusedLine{{"delay", "1", "on", "off"},
                    "after MS come whole or high and on or off, each once, not off"},
        RefusedLine{{"delay", "1"}, "wrong number of arguments for delay"},
        RefusedLine{{"surround", "room", "0", "4"}, "W and L are whole metres, 1..10"},
        RefusedLine{{"surround", "room", "4", "11"}, "W and L are whole metres, 1..10"},
        RefusedLine{{"surround", "room", "4.5", "4"}, "W and L are whole metres, 1..10"},
        RefusedLine{{"surround", "listener", "5.1", "0"},
                    "X and Y are metres from the room's centre, -5..5"},
        RefusedLine{{"surround", "listener", "0", "nan"},
                    "X and Y are metres from the room's centre, -5..5"},
        RefusedLine{{"surround", "speaker", "9", "0", "0"}, "K is 1..8"},
        RefusedLine{{"surround", "speaker", "1", "0"},
                    "wrong number of arguments for surround speaker"},
        RefusedLine{{"surround", "centre"},
                    "surround takes room, listener, speaker, center or reset"}));

} // namespace

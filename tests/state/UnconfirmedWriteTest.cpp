// A whole-image write the processor does not confirm in full names what went
// unanswered: the image chunk whose answer was lost, or the end of the write,
// on either transport and whichever way the processor acknowledges.
#include "AckStyleNames.h"
#include "SimTransportFixture.h"

#include <tuple>

namespace {

constexpr int kWriteEnd = kImageChunkCount; // the end of the write follows the 60 chunks

struct LostAnswerCase {
    const char* name;
    int lost; // command of the write whose answer is lost (chunk, or kWriteEnd)
    int late; // command whose answer comes after the reply wait (-1: none)
    const char* missing;
};

const LostAnswerCase kCases[] = {
    {"FirstChunk", 0, -1, "image chunk at 0"},
    {"FourthChunk", 3, -1, "image chunk at 168"},
    {"LastChunk", kImageChunkCount - 1, -1, "image chunk at 3304"},
    {"End", kWriteEnd, -1, "the end of the write"},
    {"ChunkAfterALateOne", 20, 10, "image chunk at 1120"},
    {"ChunkBeforeALateOne", 10, 20, "image chunk at 560"},
};

using Case = std::tuple<Transport, SimAckStyle, LostAnswerCase>;

class UnconfirmedWriteTest : public SimTransportFixture,
                             public ::testing::WithParamInterface<Case> {};

TEST_P(UnconfirmedWriteTest, NamesWhatWentUnanswered) {
    const auto& [transport, ack, c] = GetParam();
    Open(transport);
    sim.SetAckStyle(ack);
    g_bParamsChanged() = true;
    // The write's replies answer its commands in order, from its first; after
    // a command whose answer did not come in time, the outbox asks for the
    // status before the next change (one more reply).
    const auto replyOf = [&](int command) {
        const int resyncs = (c.lost < command) + (c.late >= 0 && c.late < command);
        return ReplyFromNow(command + 1 + resyncs);
    };
    SimFaults faults;
    faults.dropReplyNumber = replyOf(c.lost);
    if (c.late >= 0) {
        faults.slowReplyNumber = replyOf(c.late);
        faults.slowReplyMs = (kReplyWaitMs + 300) / kFastClock;
    }
    sim.SetFaults(faults);

    WriteAll();

    const SyncResult result = LastWriteResult();
    EXPECT_EQ(SyncOutcome::NoAnswer, result.outcome);
    EXPECT_EQ(c.missing, result.missing);
    EXPECT_TRUE(g_bParamsChanged()) << "the processor may not hold the changes";
    EXPECT_TRUE(sim.WaitForCommand(CMD_WRITE_IMAGE_END, 3000)) << "the write went on to its end";
}

INSTANTIATE_TEST_SUITE_P(
    LostAnswers, UnconfirmedWriteTest,
    ::testing::Combine(::testing::Values(Transport::Network, Transport::Usb),
                       ::testing::Values(SimAckStyle::Echo, SimAckStyle::Generic, SimAckStyle::Dsp),
                       ::testing::ValuesIn(kCases)),
    [](const ::testing::TestParamInfo<Case>& info) {
        return TransportName(std::get<0>(info.param)) + AckStyleName(std::get<1>(info.param)) +
               std::get<2>(info.param).name;
    });

class LateAnswersTest : public SimTransportFixture,
                        public ::testing::WithParamInterface<Transport> {};

// A write answered in full, late answers included, is confirmed.
TEST_P(LateAnswersTest, AreConfirmationsAllTheSame) {
    Open(GetParam());
    g_bParamsChanged() = true;
    SimFaults faults;
    faults.slowReplyNumber = ReplyFromNow(4);
    faults.slowReplyMs = (kReplyWaitMs + 300) / kFastClock;
    sim.SetFaults(faults);
    WriteAll();
    EXPECT_TRUE(LastWriteResult().Completed()) << LastWriteResult().missing;
    EXPECT_FALSE(g_bParamsChanged());
}

INSTANTIATE_TEST_SUITE_P(Transports, LateAnswersTest,
                         ::testing::Values(Transport::Network, Transport::Usb),
                         [](const ::testing::TestParamInfo<Transport>& info) {
                             return TransportName(info.param);
                         });

} // namespace

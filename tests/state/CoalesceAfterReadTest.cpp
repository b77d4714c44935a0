// Live edits are queued and coalesced again after a read, whatever became of
// it: a read that failed must not leave every slider step going out on its own.
#include "SimTransportFixture.h"

#include "state/ParamImage.h"

#include <tuple>

namespace {

enum class FailedRead { NoAnswer, Incompatible };

using Case = std::tuple<Transport, FailedRead>;

class CoalesceAfterReadTest : public SimTransportFixture,
                              public ::testing::WithParamInterface<Case> {};

// The DSP writes of block 1 parameter 14 the processor received.
std::vector<SimRecord> MicLevelWrites(const SimProcessor& sim) {
    std::vector<SimRecord> writes;
    for (const SimRecord& record : sim.ReceivedCommands())
        if (record.size() >= 4 && record[0] == CMD_DSP_WRITE && record[2] == 1 && record[3] == 14)
            writes.push_back(record);
    return writes;
}

TEST_P(CoalesceAfterReadTest, LiveEditsCoalesceAfterAFailedRead) {
    const auto& [transport, failure] = GetParam();
    Open(transport);
    if (failure == FailedRead::NoAnswer)
        sim.LoseRepliesTo({CMD_GET_CMD_VERSION}, -1);
    else
        sim.SetIdentity({"XYZ99", 19, "a", "b"});
    ReadAll();
    ASSERT_FALSE(LastReadResult().Completed());
    EXPECT_TRUE(g_bQueuedSend());

    sim.LoseRepliesTo({});
    sim.ClearCommandLog();
    // Each write is answered well within the reply wait, so the writes behind
    // the first wait in the outbox, where the newest replaces the older ones.
    SimFaults slow;
    slow.replyLatencyMs = kReplyWaitMs / kFastClock / 2;
    sim.SetFaults(slow);
    constexpr int kSteps = 10;
    for (int step = 1; step <= kSteps; ++step) SetDspParam(1, 14, 40 + step);
    ASSERT_TRUE(fx::WaitAllWritten());
    const int offset = FindDspParam(1, 14)->imageOffset;
    EXPECT_TRUE(WaitUntil([&] {
        const SimProcessor::Image memory = sim.Memory();
        return std::equal(memory.begin() + offset, memory.begin() + offset + 4,
                          g_ParamImage() + offset);
    })) << "the last step reached the processor";

    const std::vector<SimRecord> writes = MicLevelWrites(sim);
    ASSERT_FALSE(writes.empty());
    EXPECT_LE(writes.size(), 2u) << "the steps behind the first one are coalesced";
}

INSTANTIATE_TEST_SUITE_P(
    Reads, CoalesceAfterReadTest,
    ::testing::Combine(::testing::Values(Transport::Network, Transport::Usb),
                       ::testing::Values(FailedRead::NoAnswer, FailedRead::Incompatible)),
    [](const ::testing::TestParamInfo<Case>& info) {
        return TransportName(std::get<0>(info.param)) +
               (std::get<1>(info.param) == FailedRead::NoAnswer ? "NoAnswer" : "Incompatible");
    });

} // namespace

// A mode load or factory reset waits for the processor's answer: reply 5 or 6
// and the read it starts, or a refusal that leaves the editor as it was.
#include "SimTransportFixture.h"

#include "state/MachineModes.h"

#include <tuple>

namespace {

using SwitchFunction = fx::Confirmation (*)(int mode, int timeoutMs);

struct SwitchCase {
    const char* name;
    SwitchFunction switchMode;
    uint8_t code;
};

using Case = std::tuple<Transport, SwitchCase>;

class ModeSwitchAnswerTest : public SimTransportFixture,
                             public ::testing::WithParamInterface<Case> {
protected:
    void SetUp() override {
        SimTransportFixture::SetUp();
        Open(std::get<Transport>(GetParam()));
        ReadAll();
        ASSERT_TRUE(LastReadResult().Completed());
        g_CurrentMode() = 1;
    }
};

TEST_P(ModeSwitchAnswerTest, ARefusalLeavesTheEditorAsItWas) {
    const SwitchCase& c = std::get<SwitchCase>(GetParam());
    SimFaults refuse;
    refuse.refusedCode = c.code;
    sim.SetFaults(refuse);
    const size_t jobsBefore = view.JobEnds().size();

    const fx::Confirmation answer = c.switchMode(2, kReplyWaitMs);

    EXPECT_EQ(fx::Confirmation::Outcome::Refused, answer.outcome);
    EXPECT_EQ((std::array<uint8_t, 3>{1, c.code, 2}), answer.error);
    EXPECT_EQ(1, g_CurrentMode()) << "the processor did not switch";
    EXPECT_TRUE(g_bJobIdle()) << "no read follows, the status poll goes on";
    JoinSyncJobs();
    EXPECT_EQ(jobsBefore, view.JobEnds().size());
}

TEST_P(ModeSwitchAnswerTest, AnAnsweredSwitchIsFollowedByTheRead) {
    const SwitchCase& c = std::get<SwitchCase>(GetParam());
    const size_t jobsBefore = view.JobEnds().size();

    const fx::Confirmation answer = c.switchMode(2, kReplyWaitMs);

    EXPECT_EQ(fx::Confirmation::Outcome::Confirmed, answer.outcome);
    ASSERT_TRUE(view.WaitForJobEnds(jobsBefore + 1));
    JoinSyncJobs();
    EXPECT_TRUE(LastReadResult().Completed());
    EXPECT_EQ(2, g_CurrentMode());
    EXPECT_EQ(2, sim.CurrentMode());
}

INSTANTIATE_TEST_SUITE_P(
    Switches, ModeSwitchAnswerTest,
    ::testing::Combine(::testing::Values(Transport::Network, Transport::Usb),
                       ::testing::Values(SwitchCase{"Load", LoadMachineModeAnswered, 5},
                                         SwitchCase{"Reset", ResetMachineModeAnswered, 6})),
    [](const ::testing::TestParamInfo<Case>& info) {
        return TransportName(std::get<Transport>(info.param)) +
               std::get<SwitchCase>(info.param).name;
    });

} // namespace

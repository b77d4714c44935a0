// A change whose acknowledgement comes right behind a damaged copy of itself
// (network: the frame cut short in the same write; USB: a report with its
// reply code cleared) is confirmed, whichever way the processor acknowledges.
#include "AckStyleNames.h"
#include "SimTransportFixture.h"

#include "link/ReplyWatch.h"
#include "state/ParamImage.h"

#include <tuple>

namespace {

using Case = std::tuple<Transport, SimAckStyle>;

class DamagedReplyTest : public SimTransportFixture, public ::testing::WithParamInterface<Case> {};

TEST_P(DamagedReplyTest, TheGoodReplyBehindADamagedCopyConfirmsTheChange) {
    const auto& [transport, ack] = GetParam();
    Open(transport);
    ReadAll();
    ASSERT_TRUE(LastReadResult().Completed());
    sim.SetAckStyle(ack);
    const DspParamEntry* entry = FindDspParam(7, 15);
    ASSERT_NE(nullptr, entry);
    SimFaults faults;
    faults.damagedReplyNumber = ReplyFromNow(1);
    sim.SetFaults(faults);

    const fx::Confirmation confirmed = fx::SendConfirmed(
        1, [] { SetDspParam(7, 15, 5); }, kReplyWaitMs);

    EXPECT_EQ(fx::Confirmation::Outcome::Confirmed, confirmed.outcome);
    const SimProcessor::Image memory = sim.Memory();
    EXPECT_TRUE(std::equal(memory.begin() + entry->imageOffset,
                           memory.begin() + entry->imageOffset + 4,
                           g_ParamImage() + entry->imageOffset))
        << "the processor took the change";
}

INSTANTIATE_TEST_SUITE_P(TransportsAndAcks, DamagedReplyTest,
                         ::testing::Combine(::testing::Values(Transport::Network, Transport::Usb),
                                            ::testing::Values(SimAckStyle::Echo,
                                                              SimAckStyle::Generic,
                                                              SimAckStyle::Dsp)),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return TransportName(std::get<0>(info.param)) +
                                    AckStyleName(std::get<1>(info.param));
                         });

} // namespace

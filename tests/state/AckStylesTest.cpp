// The changes the editor waits for are confirmed whichever way the processor
// acknowledges them (reply 20, reply 9 for DSP writes, or the command's own
// code); an error report is a refusal that names its code.
#include "SimNetFixture.h"

#include "link/ReplyWatch.h"
#include "remote/core/RemoteKeys.h"
#include "state/MachineSettings.h"
#include "state/SyncJobs.h"

#include <array>

using namespace fx;

namespace {

using AckStyleTest = SimNetFixture;

TEST_F(AckStyleTest, SettingsKeysAndTheWholeImageAreConfirmedInEveryStyle) {
    for (SimAckStyle style : {SimAckStyle::Generic, SimAckStyle::Echo, SimAckStyle::Dsp}) {
        SCOPED_TRACE(static_cast<int>(style));
        sim.SetAckStyle(style);
        std::array<uint8_t, kMachineSettingsSize> settings{};
        settings[5] = 40 + static_cast<uint8_t>(style);
        settings[6] = 60;
        EXPECT_TRUE(SendMachineSettings(settings.data(), kReplyWaitMs));
        EXPECT_EQ(settings, sim.MachineSettings());

        g_RemoteKeyBlock()[3] = 0x70 + static_cast<uint8_t>(style);
        EXPECT_TRUE(SendRemoteKeyBlock(kReplyWaitMs));
        EXPECT_EQ(g_RemoteKeyBlock()[3], sim.RemoteKeys()[3]);

        WriteAll();
        EXPECT_EQ(SyncOutcome::Completed, LastWriteResult().outcome) << LastWriteResult().missing;
    }
}

TEST_F(AckStyleTest, AnErrorReportIsARefusalWithItsCode) {
    SimFaults faults;
    faults.refusedCode = CMD_WRITE_MACHINE_SETTINGS;
    sim.SetFaults(faults);
    std::array<uint8_t, kMachineSettingsSize> settings{};
    settings[0] = 1;
    const Confirmation refused = SendMachineSettings(settings.data(), kReplyWaitMs);
    EXPECT_EQ(Confirmation::Outcome::Refused, refused.outcome);
    EXPECT_EQ("error code 0x01 (command 0x91, 0x01)", refused.ErrorWords());

    faults.refusedCode = CMD_WRITE_IMAGE_END;
    sim.SetFaults(faults);
    WriteAll();
    EXPECT_EQ(SyncOutcome::Refused, LastWriteResult().outcome);
    EXPECT_EQ("error code 0x01 (command 0x32, 0x00)", LastWriteResult().missing);
}

} // namespace

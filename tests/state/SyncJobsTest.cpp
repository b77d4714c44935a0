#include "SimNetFixture.h"

#include "link/DebugLog.h"
#include "link/LinkOutbox.h"
#include "state/DeviceIdentity.h"

#include <atomic>
#include <cstring>
#include <thread>

namespace {

std::vector<uint8_t> ImageBytes() {
    return {g_ParamImage(), g_ParamImage() + kImageSize};
}
std::vector<uint8_t> Bytes(const SimProcessor::Image& image) {
    return {image.begin(), image.end()};
}

class SyncJobsTest : public SimNetFixture {};

TEST_F(SyncJobsTest, FullReadMirrorsTheProcessor) {
    sim.SetMemory(Pattern(3));
    sim.SetIdentity({"BRK63", 19, "2020-01-02", "2020-03-04"});
    std::array<uint8_t, kMachineSettingsSize> settings{};
    for (int i = 0; i < kMachineSettingsSize; ++i) settings[i] = static_cast<uint8_t>(0x40 + i);
    sim.SetMachineSettings(settings);
    g_bParamsChanged() = true;

    ReadAll();

    EXPECT_EQ(Bytes(sim.Memory()), ImageBytes());
    EXPECT_EQ(0, std::memcmp(g_PanelImage(), g_ParamImage(), kPanelSize)) << "refreshed from image";
    EXPECT_STREQ("BRK63", g_Identity().moduleName);
    EXPECT_EQ(19, g_Identity().commandSetVersion);
    EXPECT_STREQ("2020-01-02", g_Identity().firstVersion);
    EXPECT_STREQ("2020-03-04", g_Identity().secondVersion);
    EXPECT_EQ(0, std::memcmp(settings.data(), g_MachineSettingsDevice(), kMachineSettingsSize));
    EXPECT_EQ(std::vector<int>{0}, view.JobEnds());
    EXPECT_TRUE(g_bJobIdle());
    EXPECT_TRUE(g_bQueuedSend());
    EXPECT_FALSE(g_bParamsChanged());
}

TEST_F(SyncJobsTest, ReadAsksInTheFixedOrderWithSixtyChunks) {
    ReadAll();
    ASSERT_TRUE(sim.WaitForCommandCount(67, 3000));
    const auto commands = sim.ReceivedCommands();
    ASSERT_EQ(4u + 1 + 60 + 2, commands.size());
    const std::vector<uint8_t> head = {128, 127, 129, 126, 7};
    for (size_t i = 0; i < head.size(); ++i) EXPECT_EQ(head[i], commands[i][0]) << i;
    for (int chunk = 0; chunk < 60; ++chunk) {
        const int address = chunk * 56;
        const SimRecord expected = {48, static_cast<uint8_t>(address >> 8),
                                    static_cast<uint8_t>(address & 0xFF),
                                    static_cast<uint8_t>(chunk == 59 ? 46 : 56)};
        EXPECT_EQ(expected, commands[5 + chunk]) << "chunk " << chunk;
    }
    EXPECT_EQ(146, commands[65][0]);
    EXPECT_EQ(98, commands[66][0]);
}

TEST_F(SyncJobsTest, WriteAllRoundTripsByteForByte) {
    const auto pattern = Pattern(11);
    std::memcpy(g_ParamImage(), pattern.data(), kImageSize);
    g_bParamsChanged() = true;

    WriteAll();
    ASSERT_TRUE(sim.WaitForCommand(50, 3000));

    EXPECT_EQ(Bytes(pattern), Bytes(sim.Memory()));
    EXPECT_EQ(std::vector<int>{1}, view.JobEnds());
    EXPECT_FALSE(g_bParamsChanged()) << "closing after a write asks nothing";
    EXPECT_TRUE(g_bJobIdle());
    EXPECT_EQ(60u, CountOf(49));
    EXPECT_EQ(50, Codes().back());
    const SimRecord last = sim.ReceivedCommands()[59];
    EXPECT_EQ((SimRecord{49, 0x0C, 0xE8, 46}), SimRecord(last.begin(), last.begin() + 4));
    EXPECT_EQ(50u, last.size()) << "46 data bytes after the head";

    BuildDefaultImage();
    ReadAll();
    EXPECT_EQ(Bytes(pattern), ImageBytes());
}

struct RefusedIdentity {
    const char* name;
    int version;
    int identityRounds; // an unknown model is asked twice
};

class RefusedProcessorTest : public SyncJobsTest,
                             public ::testing::WithParamInterface<RefusedIdentity> {};

TEST_P(RefusedProcessorTest, IsNeverReadBeyondItsIdentity) {
    const auto pattern = Pattern(5);
    sim.SetMemory(pattern);
    sim.SetIdentity({GetParam().name, GetParam().version, "a", "b"});

    ReadAll();
    // The job does not wait for the last request's reply before it ends.
    const size_t expectedCount = 4u * GetParam().identityRounds;
    ASSERT_TRUE(sim.WaitForCommandCount(expectedCount, 3000));

    std::vector<uint8_t> expected;
    for (int round = 0; round < GetParam().identityRounds; ++round)
        expected.insert(expected.end(), {128, 127, 129, 126});
    EXPECT_EQ(expected, Codes());
    EXPECT_FALSE(IsCompatible());
    EXPECT_EQ(std::vector<int>{0}, view.JobEnds()) << "the view still hears of the end";
    EXPECT_TRUE(g_bJobIdle());
    EXPECT_TRUE(g_bQueuedSend()) << "live edits are queued again after the job";
    EXPECT_NE(0, std::memcmp(g_ParamImage(), pattern.data(), kImageSize));
}

INSTANTIATE_TEST_SUITE_P(Identities, RefusedProcessorTest,
                         ::testing::Values(RefusedIdentity{"XYZ99", 19, 2},
                                           RefusedIdentity{"arn63", 19, 2},
                                           RefusedIdentity{"ARN63 ", 17, 2},
                                           RefusedIdentity{"ARN63", 18, 1}));

// Each request of a job leaves before the next is posted: when a job ends,
// the outbox holds nothing of it.
TEST_F(SyncJobsTest, NetworkJobsLeaveNothingInTheOutbox) {
    ReadAll();
    EXPECT_TRUE(fx::Outbox().Written(fx::Outbox().Mark()));
    WriteAll();
    EXPECT_TRUE(fx::Outbox().Written(fx::Outbox().Mark()));
}

TEST_F(SyncJobsTest, JobsWriteTheirDebugLines) {
    std::vector<std::string> lines;
    std::mutex mutex;
    SetDebugLogSink([&](const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(line);
    });
    ReadAll();
    WriteAll();
    SetDebugLogSink({});
    auto has = [&](const std::string& text) {
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    };
    EXPECT_TRUE(has("Start thread:SynchronizeData\n"));
    EXPECT_TRUE(has("End thread: Delay Read SynchronizeData\n"));
    EXPECT_TRUE(has("End thread: SynchronizeWriteThreadProc\n"));
}

TEST_F(SyncJobsTest, ProcessorFallingSilentEndsTheJobWithItsMessage) {
    SimFaults faults;
    faults.silentAfterCommands = 10;
    sim.SetFaults(faults);
    const size_t before = view.JobEnds().size();
    StartDelayedRead();
    // The link's watchdog closes the silent link; the job then stops.
    ASSERT_TRUE(view.WaitForJobEnds(before + 1, 60000));
    JoinSyncJobs();
    EXPECT_FALSE(g_bConnected());
    EXPECT_TRUE(g_bJobIdle());
    EXPECT_LT(sim.CommandCount(), 67u);
}

} // namespace

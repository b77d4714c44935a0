// The whole-image jobs against a processor that loses, delays or floods
// replies: a job finishes only with everything it asked for, says so when it
// cannot, and never replaces the image with a mixture.
#include "ProcessThreads.h"
#include "SimNetFixture.h"

#include "link/DebugLog.h"
#include "link/LinkClock.h"
#include "link/ReplyDispatcher.h"
#include "link/ReplyLedger.h"
#include "state/DeviceIdentity.h"

#include <atomic>
#include <cstring>
#include <thread>

namespace {

constexpr int kFastClock = 10; // link time runs 10 times faster

class SyncFaultsTest : public SimNetFixture {
protected:
    void SetUp() override {
        SetLinkClock(std::make_shared<ScaledLinkClock>(kFastClock));
        SimNetFixture::SetUp();
        // The heartbeat keeps pace with the link's watchdog.
        server->SetHeartbeatPeriod(1000 / kFastClock);
    }
    void TearDown() override {
        SimNetFixture::TearDown();
        SetLinkClock(nullptr);
    }

    static std::vector<uint8_t> Image() { return {g_ParamImage(), g_ParamImage() + kImageSize}; }
    static std::vector<uint8_t> Bytes(const SimProcessor::Image& image) {
        return {image.begin(), image.end()};
    }
};

struct LostReplyCase {
    const char* name;
    std::vector<uint8_t> command;
    int times; // replies lost, -1: every one; 0: the first one comes late instead
    SyncOutcome outcome;
    const char* missing;
};

class LostReplyTest : public SyncFaultsTest, public ::testing::WithParamInterface<LostReplyCase> {};

// A lost reply is asked for again; one never answered fails the read with
// its name, and the editor keeps the image it had.
TEST_P(LostReplyTest, IsAskedAgainOrFailsTheReadWithItsName) {
    const LostReplyCase& c = GetParam();
    sim.SetMemory(Pattern(4));
    if (c.times == 0) {
        // The command is the second one of the read: 128, then 127.
        SimFaults late;
        late.slowReplyNumber = 2;
        late.slowReplyMs = (kReplyWaitMs + 100) / kFastClock;
        sim.SetFaults(late);
    } else {
        sim.LoseRepliesTo(c.command, c.times);
    }

    ReadAll();

    const SyncResult result = LastReadResult();
    EXPECT_EQ(c.outcome, result.outcome);
    EXPECT_EQ(c.missing, result.missing);
    EXPECT_EQ(std::vector<SyncOutcome>{c.outcome}, view.Outcomes()) << "the view hears how";
    const size_t asked = sim.CountCommands(c.command);
    if (c.outcome == SyncOutcome::Completed) {
        EXPECT_EQ(Bytes(sim.Memory()), Image());
        EXPECT_EQ(c.times == 0 ? 1u : 2u, asked) << "a lost reply is asked once more";
        EXPECT_TRUE(IsCompatible());
        EXPECT_TRUE(g_bQueuedSend());
    } else {
        EXPECT_EQ(Bytes(SimProcessor::DefaultImage()), Image()) << "the image is left alone";
        EXPECT_GE(asked, 3u);
        EXPECT_LE(asked, 6u);
    }
    EXPECT_TRUE(g_bJobIdle());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, LostReplyTest,
    ::testing::Values(
        LostReplyCase{"FirstChunk", {48, 0, 0, 56}, 1, SyncOutcome::Completed, ""},
        LostReplyCase{"MiddleChunk", {48, 0x06, 0x90, 56}, 1, SyncOutcome::Completed, ""},
        LostReplyCase{"LastChunk", {48, 0x0C, 0xE8, 46}, 1, SyncOutcome::Completed, ""},
        LostReplyCase{"CommandSetVersion", {127}, 1, SyncOutcome::Completed, ""},
        LostReplyCase{"CommandSetVersionLate", {127}, 0, SyncOutcome::Completed, ""},
        LostReplyCase{"MachineSettings", {146}, 1, SyncOutcome::Completed, ""},
        LostReplyCase{"RemoteKeys", {98}, 1, SyncOutcome::Completed, ""},
        LostReplyCase{"ChunkNeverAnswered",
                      {48, 0x0A, 0xF0, 56},
                      -1,
                      SyncOutcome::NoAnswer,
                      "image chunk at 2800"},
        LostReplyCase{
            "VersionNeverAnswered", {127}, -1, SyncOutcome::NoAnswer, "command-set version"}),
    [](const ::testing::TestParamInfo<LostReplyCase>& info) { return info.param.name; });

TEST_F(SyncFaultsTest, AProcessorNeverTellingItsVersionIsNotReadAtAll) {
    sim.LoseRepliesTo({127}, -1);
    ReadAll();
    EXPECT_EQ(0u, CountOf(48)) << "the image is never asked for";
    EXPECT_EQ(SyncOutcome::NoAnswer, LastReadResult().outcome);
    EXPECT_TRUE(g_bQueuedSend()) << "live edits are queued again after the job";
}

// However many replies ask for a read, one job runs at a time and at most
// one more follows; the wire cannot make the editor start threads.
TEST_F(SyncFaultsTest, AFloodOfModeChangeRepliesRunsOneReadAtATime) {
    std::vector<uint8_t> flood;
    for (int i = 0; i < 1000; ++i) {
        const auto frame =
            SimFrameParser::Frame(SimRecord{kSimReplyPrefix, REPLY_MODE_LOADED, 0, 0, 0});
        flood.insert(flood.end(), frame.begin(), frame.end());
    }
    std::atomic<bool> sampling{true};
    const int before = ProcessThreadCount();
    std::atomic<int> peak{before};
    std::thread sampler([&] {
        while (sampling) {
            peak = std::max(peak.load(), ProcessThreadCount());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const ReplyTally mark = Replies().Tally();
    ASSERT_TRUE(server->SendRaw(flood));
    ASSERT_TRUE(Replies().WaitUntil(
        [&](const ReplyTally& t) { return t.CountSince(mark, REPLY_MODE_LOADED) >= 1000; }, 60000));
    JoinSyncJobs();
    sampling = false;
    sampler.join();

    const std::vector<int> ends = view.JobEnds();
    EXPECT_GE(ends.size(), 1u);
    EXPECT_LE(ends.size(), 2u) << "one read, and at most one after it";
    EXPECT_LE(CountOf(CMD_GET_MODULE_NAME), 2u * ends.size());
    // The sampler and one job thread.
    EXPECT_LE(peak.load(), before + 2);
    EXPECT_EQ(SyncOutcome::Completed, LastReadResult().outcome);
}

TEST_F(SyncFaultsTest, AnUnconfirmedWriteIsReportedAndKeepsTheChangeFlag) {
    sim.LoseRepliesTo({CMD_WRITE_IMAGE_END}, -1);
    g_bParamsChanged() = true;
    WriteAll();
    const SyncResult result = LastWriteResult();
    EXPECT_EQ(SyncOutcome::NoAnswer, result.outcome);
    EXPECT_EQ("the end of the write", result.missing);
    EXPECT_EQ(std::vector<SyncOutcome>{SyncOutcome::NoAnswer}, view.Outcomes());
    EXPECT_TRUE(g_bParamsChanged()) << "the processor may not hold the changes";

    sim.LoseRepliesTo({});
    WriteAll();
    EXPECT_TRUE(LastWriteResult().Completed());
    EXPECT_FALSE(g_bParamsChanged());
}

} // namespace

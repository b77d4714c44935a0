// The editor's network link against the simulated processor on 127.0.0.1.

#include "SimLinkSupport.h"

#include "link/CommandFrames.h"
#include "link/DebugLog.h"
#include "link/LinkOutbox.h"
#include "link/LinkState.h"
#include "link/NetLink.h"
#include "link/ReplyDispatcher.h"
#include "link/ReplyWatch.h"
#include "sim/SimFrameParser.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"
#include "state/DeviceMirrors.h"
#include "state/ParamImage.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::vector<uint8_t> ReplyFrame(std::initializer_list<uint8_t> record) {
    return SimFrameParser::Frame(std::vector<uint8_t>(record));
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The DSP write the processor received, as block, parameter and first value.
struct DspWriteSeen {
    int block;
    int parameter;
    uint32_t value;
    bool operator==(const DspWriteSeen&) const = default;
};

std::vector<DspWriteSeen> DspWrites(const std::vector<SimRecord>& commands) {
    std::vector<DspWriteSeen> writes;
    for (const SimRecord& c : commands)
        if (c.size() >= 9 && c[0] == CMD_DSP_WRITE)
            writes.push_back(
                {c[2], c[3], static_cast<uint32_t>(c[5] << 24 | c[6] << 16 | c[7] << 8 | c[8])});
    return writes;
}

class SimNetLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        BuildDefaultImage();
        g_bNetMode() = true;
        g_bQueuedSend() = true;
        g_bCoalesce() = true;
        g_bJobIdle() = true;
        g_bParamsChanged() = false;
        server.SetHeartbeatPeriod(0);
        ASSERT_TRUE(server.Start(0));
    }

    void TearDown() override {
        NetDisconnect(false);
        server.Stop();
        SetLinkClock(nullptr);
        SetDebugLogSink(nullptr);
        g_bNetMode() = false;
        g_bQueuedSend() = true;
        g_bJobIdle() = true;
        g_bParamsChanged() = false;
        g_hReplyEvent().Set();
    }

    void Connect() {
        ASSERT_EQ(1, NetConnect("127.0.0.1", server.Port()));
        ASSERT_TRUE(server.WaitForClient(true, 5000));
    }

    // Link time at which each command reached the processor.
    void RecordArrivalTimes() {
        sim.SetCommandObserver([this](const uint8_t*, int) {
            std::lock_guard lock(arrivalMutex);
            arrivals.push_back(LinkNowMs());
        });
    }
    std::vector<int64_t> Arrivals() {
        std::lock_guard lock(arrivalMutex);
        return arrivals;
    }

    SimRecordingView view;
    SimProcessor sim;
    SimTcpServer server{sim};
    std::mutex arrivalMutex;
    std::vector<int64_t> arrivals;
};

TEST_F(SimNetLinkTest, LiveWritesChangeTheProcessorsMemoryAtTheirOffsets) {
    Connect();
    const int micLevel = FindDspParam(1, 14)->imageOffset;
    const int musicLevel = FindDspParam(4, 12)->imageOffset;

    SetDspParam(1, 14, 60); // queued
    ASSERT_TRUE(
        SimWaitUntil([&] { return Slice(sim.Memory(), micLevel, 4) == Big(PercentToStored(60)); }));
    EXPECT_TRUE(SimWaitUntil([] { return g_bParamsChanged().load(); }))
        << "reply 9 acknowledged it";

    g_bQueuedSend() = false; // direct, as during a job
    SetDspParam(4, 12, 35);
    ASSERT_TRUE(SimWaitUntil(
        [&] { return Slice(sim.Memory(), musicLevel, 4) == Big(PercentToStored(35)); }));

    // An equaliser band goes to the panel area with command 133.
    StoreEqBand(7, 2, 3.0, 125, 0.707, 1);
    const int band = EqBandOffset(7, 2);
    ASSERT_TRUE(SimWaitUntil([&] { return sim.WaitForCommand(CMD_WRITE_PANEL, 0); }));
    EXPECT_TRUE(SimWaitUntil([&] {
        return Slice(sim.Memory(), band, kEqBandRecordSize) ==
               std::vector<uint8_t>(g_PanelImage() + band,
                                    g_PanelImage() + band + kEqBandRecordSize);
    }));
    EXPECT_EQ(SimProcessor::DefaultImage()[band - 1], sim.Memory()[band - 1]);
}

TEST_F(SimNetLinkTest, HeartbeatsAreEchoed) {
    server.SetHeartbeatPeriod(20);
    Connect();
    EXPECT_TRUE(SimWaitUntil([&] { return server.Counters().heartbeatEchoes >= 3; }));
    EXPECT_TRUE(g_bConnected());
    EXPECT_EQ(0, server.Counters().badChecksums.load());
}

TEST_F(SimNetLinkTest, AReadStartingWithAHeartbeatAnswersItAndDispatchesTheFrame) {
    Connect();
    g_CurrentMode() = 0;
    ASSERT_TRUE(
        server.SendRaw(Concat({{'$', 'H', 'B', '$'}, ReplyFrame({1, CMD_GET_MODE, 2, 0, 0})})));
    EXPECT_TRUE(SimWaitUntil([] { return g_CurrentMode() == 2; }));
    EXPECT_TRUE(SimWaitUntil([&] { return server.Counters().heartbeatEchoes == 1; }));
}

TEST_F(SimNetLinkTest, AHeartbeatGluedBehindAFrameIsAnsweredAndBlocksNothing) {
    Connect();
    g_CurrentMode() = 0;
    ASSERT_TRUE(
        server.SendRaw(Concat({ReplyFrame({1, CMD_GET_MODE, 2, 0, 0}), {'$', 'H', 'B', '$'}})));
    EXPECT_TRUE(SimWaitUntil([] { return g_CurrentMode() == 2; }));
    EXPECT_TRUE(SimWaitUntil([&] { return server.Counters().heartbeatEchoes == 1; }));
    ASSERT_TRUE(server.SendRaw(ReplyFrame({1, CMD_GET_MODE, 3, 0, 0})));
    EXPECT_TRUE(SimWaitUntil([] { return g_CurrentMode() == 3; }));
}

TEST_F(SimNetLinkTest, TwoFramesInOneReadAreDispatchedInOrder) {
    Connect();
    g_CurrentMode() = 0;
    g_ParamImage()[0] = 0;
    g_ParamImage()[1] = 0;
    // The second chunk overwrites byte 1 of the first; the mode reply comes last.
    ASSERT_TRUE(server.SendRaw(Concat({ReplyFrame({1, CMD_READ_IMAGE, 0, 0, 2, 0x11, 0x22}),
                                       ReplyFrame({1, CMD_READ_IMAGE, 0, 1, 1, 0x99}),
                                       ReplyFrame({1, CMD_GET_MODE, 3, 0, 0})})));
    ASSERT_TRUE(SimWaitUntil([] { return g_CurrentMode() == 3; }));
    EXPECT_EQ(0x11, g_ParamImage()[0]);
    EXPECT_EQ(0x99, g_ParamImage()[1]);
}

TEST_F(SimNetLinkTest, IsConnectedPostsHostBusyAndNothingElse) {
    SimRawClient otherHost;
    ASSERT_EQ(0, otherHost.Connect(server.Port()));
    ASSERT_TRUE(server.WaitForClient(true, 5000));
    g_CurrentMode() = 1;

    ASSERT_EQ(1, NetConnect("127.0.0.1", server.Port()));
    ASSERT_TRUE(view.WaitFor(WM_HOST_BUSY));
    // The processor then closes the connection; that ends the link quietly.
    ASSERT_TRUE(SimWaitUntil([] { return !g_bConnected(); }));
    NetDisconnect(false);
    EXPECT_EQ(std::vector<int>{WM_HOST_BUSY}, view.Codes());
    EXPECT_EQ(1, g_CurrentMode().load());
    EXPECT_EQ(1, server.ClientsTurnedAway());
    EXPECT_EQ(0u, sim.CommandCount());
}

TEST_F(SimNetLinkTest, SilenceClosesTheLinkWithTheTimeoutMessage) {
    SetLinkClock(std::make_shared<ScaledLinkClock>(10));
    sim.SetSilent(true);
    const int64_t connectedAt = LinkNowMs();
    Connect();
    ASSERT_TRUE(view.WaitFor(WM_NET_TIMEOUT));
    const auto messages = view.Messages();
    ASSERT_EQ(1u, messages.size());
    const int64_t linkMs = messages[0].linkTimeMs - connectedAt;
    // A gap over 3000 ms, then six watchdog ticks of 100 ms.
    EXPECT_GE(linkMs, 3500);
    EXPECT_LE(linkMs, 8000);
    EXPECT_FALSE(g_bConnected());
    EXPECT_TRUE(server.WaitForClient(false, 5000)) << "the socket was closed";
}

TEST_F(SimNetLinkTest, ALostReplyDelaysTheNextSendInsteadOfDroppingIt) {
    SetLinkClock(std::make_shared<ScaledLinkClock>(4));
    Connect();
    RecordArrivalTimes();
    for (const bool queued : {true, false}) {
        SCOPED_TRACE(queued ? "through the queue" : "direct");
        g_bQueuedSend() = queued;
        sim.ClearCommandLog();
        const size_t before = sim.CommandCount();
        sim.DropNextReply();
        SendShortCmd({CMD_GET_MODE});
        SendShortCmd({CMD_GET_CMD_VERSION});
        ASSERT_TRUE(sim.WaitForCommandCount(before + 2, 10000));
        const auto times = Arrivals();
        const int64_t gap = times[before + 1] - times[before];
        EXPECT_GE(gap, 1900);
        EXPECT_LT(gap, 4000);
        const auto log = sim.ReceivedCommands();
        ASSERT_EQ(2u, log.size());
        EXPECT_EQ(CMD_GET_CMD_VERSION, log[1][0]);
        // Let the second reply come back before the next round.
        ASSERT_TRUE(SimWaitUntil([] { return !g_bAwaitReply(); }));
        ASSERT_TRUE(LinkWaitEvent(g_hReplyEvent(), kReplyWaitMs));
        g_hReplyEvent().Set();
    }
}

TEST_F(SimNetLinkTest, SliderMovesWhileTheProcessorIsSlowCoalesceIntoTheLastValue) {
    SimFaults slow;
    slow.replyLatencyMs = 300;
    sim.SetFaults(slow);
    Connect();
    SendShortCmd({CMD_GET_MODE}); // in flight while the moves queue up
    ASSERT_TRUE(sim.WaitForCommandCount(1, 5000));

    SetDspParam(1, 14, 1);
    SetDspParam(4, 12, 50);
    for (int value = 2; value <= 10; ++value) SetDspParam(1, 14, value);
    SetDspParam(2, 28, 40);

    ASSERT_TRUE(sim.WaitForCommandCount(4, 10000));
    ASSERT_TRUE(
        SimWaitUntil([] { return fx::Outbox().Written(fx::Outbox().Mark()) && !g_bAwaitReply(); }));
    const auto writes = DspWrites(sim.ReceivedCommands());
    const std::vector<DspWriteSeen> expected = {
        {1, 14, PercentToStored(10)}, {4, 12, PercentToStored(50)}, {2, 28, PercentToStored(40)}};
    EXPECT_EQ(expected, writes);
    EXPECT_EQ(4u, sim.CommandCount());
}

TEST_F(SimNetLinkTest, DisconnectLetsGoBeforeTheSocketCloses) {
    Connect();
    NetDisconnect(true);
    EXPECT_TRUE(sim.WaitForCommand(CMD_LET_GO, 5000));
    EXPECT_TRUE(server.WaitForClient(false, 5000));
}

TEST_F(SimNetLinkTest, BrokenReplyFramesAreDroppedAndFramesInPiecesAssembled) {
    SetLinkClock(std::make_shared<ScaledLinkClock>(10));
    SimFaults faults;
    faults.corruptChecksumNumber = 1;
    faults.pieceSize = 2;
    sim.SetFaults(faults);
    sim.SetIdentity({"ARN70", 19, "2022-01-01", "2022-02-02"});
    ResetIdentityToDefaults();
    std::vector<std::string> lines;
    std::mutex linesMutex;
    SetDebugLogSink([&](const std::string& line) {
        std::lock_guard lock(linesMutex);
        lines.push_back(line);
    });
    Connect();
    g_bQueuedSend() = false;
    const uint64_t before = fx::ReplyCount(REPLY_VERSION1);
    SendShortCmd({CMD_GET_MODULE_NAME}); // its reply is broken
    SendShortCmd({CMD_GET_VERSION1});    // the outbox waits out the lost reply
    ASSERT_TRUE(fx::WaitForReplyAfter(REPLY_VERSION1, before, 10000));
    EXPECT_STREQ("ELM19", g_Identity().moduleName);
    EXPECT_STREQ("2022-01-01", g_Identity().firstVersion);
    SetDebugLogSink(nullptr);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "ProcessRxBuf Checksum error\n "), lines.end());
    ResetIdentityToDefaults();
}

TEST_F(SimNetLinkTest, RefusedConnectionReportsTheErrorCode) {
    server.SetRefuseConnections(true);
    ASSERT_TRUE(SimWaitUntil([&] {
        SimRawClient probe;
        return probe.Connect(server.Port()) == ECONNREFUSED;
    }));
    EXPECT_EQ(ECONNREFUSED, NetConnect("127.0.0.1", server.Port()));
    EXPECT_FALSE(g_bConnected());
}

} // namespace

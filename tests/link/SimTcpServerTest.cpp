#include "SimLinkSupport.h"

#include "link/CommandFrames.h"
#include "sim/SimFrameParser.h"
#include "sim/SimOptions.h"
#include "sim/SimProcessor.h"
#include "sim/SimTcpServer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

const std::vector<uint8_t> kHeartbeat = {'$', 'H', 'B', '$'};

std::vector<uint8_t> CommandFrame(std::initializer_list<uint8_t> record) {
    std::vector<uint8_t> payload = {kNetTagCommand};
    payload.insert(payload.end(), record);
    return SimFrameParser::Frame(payload);
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Cuts what a raw client received into reply records and heartbeats.
struct Received {
    std::vector<SimRecord> replies;
    int heartbeats = 0;
    int badChecksums = 0;
};

Received Parse(const std::vector<uint8_t>& bytes) {
    Received received;
    SimFrameParser parser([&](const uint8_t* p, int n) { received.replies.emplace_back(p, p + n); },
                          [&] { ++received.heartbeats; });
    parser.Feed(bytes.data(), static_cast<int>(bytes.size()));
    received.badChecksums = parser.BadChecksums();
    return received;
}

TEST(SimFrameParser, CutsFramesAndEchoesOutOfAnyPieces) {
    const auto stream = Concat({kHeartbeat,
                                CommandFrame({CMD_GET_STATUS}),
                                {0x00, 0x13},
                                CommandFrame({CMD_READ_IMAGE, 0x0C, 0xE8, 46}),
                                kHeartbeat});
    EXPECT_EQ((std::vector<uint8_t>{0x55, 0x03, 0x81, 0x0E, 0x73}), CommandFrame({CMD_GET_STATUS}));
    EXPECT_EQ((std::vector<uint8_t>{0x55, 0x06, 0x81, 0x30, 0x0C, 0xE8, 0x2E, 0x82}),
              CommandFrame({CMD_READ_IMAGE, 0x0C, 0xE8, 46}));
    for (size_t pieceSize : {stream.size(), size_t{1}, size_t{3}}) {
        std::vector<SimRecord> payloads;
        int echoes = 0;
        SimFrameParser parser([&](const uint8_t* p, int n) { payloads.emplace_back(p, p + n); },
                              [&] { ++echoes; });
        for (size_t at = 0; at < stream.size(); at += pieceSize)
            parser.Feed(stream.data() + at,
                        static_cast<int>(std::min(pieceSize, stream.size() - at)));
        ASSERT_EQ(2u, payloads.size()) << "pieces of " << pieceSize;
        EXPECT_EQ((SimRecord{0x81, CMD_GET_STATUS}), payloads[0]);
        EXPECT_EQ((SimRecord{0x81, CMD_READ_IMAGE, 0x0C, 0xE8, 46}), payloads[1]);
        EXPECT_EQ(2, echoes);
        EXPECT_EQ(2, parser.SkippedBytes()) << "stray bytes are skipped";
    }
}

TEST(SimFrameParser, DropsAFrameWithABadChecksumAndKeepsTheNext) {
    auto bad = CommandFrame({CMD_GET_MODE});
    bad.back() ^= 1;
    const auto stream = Concat({bad, CommandFrame({CMD_GET_MODULE_NAME})});
    const Received received = Parse(stream);
    ASSERT_EQ(1u, received.replies.size());
    EXPECT_EQ((SimRecord{0x81, CMD_GET_MODULE_NAME}), received.replies[0]);
    EXPECT_EQ(1, received.badChecksums);
}

class SimTcpServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.SetHeartbeatPeriod(0);
        ASSERT_TRUE(server.Start(0));
        ASSERT_GT(server.Port(), 0);
    }

    SimProcessor sim;
    SimTcpServer server{sim};
};

TEST_F(SimTcpServerTest, AnswersFramedCommandsWithFramedReplies) {
    SimRawClient client;
    ASSERT_EQ(0, client.Connect(server.Port()));
    ASSERT_TRUE(
        client.Send(Concat({CommandFrame({CMD_GET_MODE}), CommandFrame({CMD_GET_CMD_VERSION})})));
    const Received received = Parse(client.ReceiveAtLeast(16));
    ASSERT_EQ(2u, received.replies.size());
    EXPECT_EQ((SimRecord{kSimReplyPrefix, CMD_GET_MODE, 0, 0, 0}), received.replies[0]);
    EXPECT_EQ((SimRecord{kSimReplyPrefix, CMD_GET_CMD_VERSION, 19, 0, 0}), received.replies[1]);
    EXPECT_EQ(0, received.badChecksums);
}

TEST_F(SimTcpServerTest, TakesInFramesWithBadChecksumsAndRadioBytesWithoutAnswering) {
    SimRawClient client;
    ASSERT_EQ(0, client.Connect(server.Port()));
    auto bad = CommandFrame({CMD_GET_MODE});
    bad.back() ^= 0x40;
    const auto radio = SimFrameParser::Frame(std::vector<uint8_t>{kNetTagRadio, 6});
    ASSERT_TRUE(client.Send(Concat({bad, radio, CommandFrame({CMD_GET_CMD_VERSION})})));
    const Received received = Parse(client.ReceiveAtLeast(8));
    ASSERT_EQ(1u, received.replies.size());
    EXPECT_EQ(CMD_GET_CMD_VERSION, received.replies[0][1]);
    EXPECT_EQ(1, server.Counters().badChecksums.load());
    EXPECT_EQ(1, server.Counters().radioFrames.load());
    EXPECT_EQ(1u, sim.CommandCount());
}

TEST_F(SimTcpServerTest, SendsHeartbeatsAndCountsTheEchoes) {
    server.SetHeartbeatPeriod(20);
    SimRawClient client;
    ASSERT_EQ(0, client.Connect(server.Port()));
    const Received received = Parse(client.ReceiveAtLeast(12));
    EXPECT_GE(received.heartbeats, 3);
    ASSERT_TRUE(client.Send(Concat({kHeartbeat, kHeartbeat})));
    EXPECT_TRUE(SimWaitUntil([&] { return server.Counters().heartbeatEchoes >= 2; }));
}

TEST_F(SimTcpServerTest, SilentProcessorSendsNoHeartbeat) {
    sim.SetSilent(true);
    server.SetHeartbeatPeriod(10);
    SimRawClient client;
    ASSERT_EQ(0, client.Connect(server.Port()));
    ASSERT_TRUE(client.Send(CommandFrame({CMD_GET_MODE})));
    EXPECT_TRUE(client.ReceiveAtLeast(1, 150).empty());
    EXPECT_TRUE(sim.WaitForCommandCount(1, 5000));
}

TEST_F(SimTcpServerTest, TurnsASecondClientAwayWithIsConnected) {
    SimRawClient first;
    ASSERT_EQ(0, first.Connect(server.Port()));
    ASSERT_TRUE(server.WaitForClient(true, 5000));
    SimRawClient second;
    ASSERT_EQ(0, second.Connect(server.Port()));
    EXPECT_TRUE(second.WaitForClose());
    const auto busy = second.ReceiveAtLeast(11, 0);
    EXPECT_EQ("ISCONNECTED", std::string(busy.begin(), busy.end()));
    EXPECT_EQ(1, server.ClientsTurnedAway());

    // The first client is still served; once it leaves, the next one is.
    ASSERT_TRUE(first.Send(CommandFrame({CMD_GET_MODE})));
    EXPECT_EQ(1u, Parse(first.ReceiveAtLeast(8)).replies.size());
    first.Close();
    ASSERT_TRUE(server.WaitForClient(false, 5000));
    SimRawClient third;
    ASSERT_EQ(0, third.Connect(server.Port()));
    ASSERT_TRUE(third.Send(CommandFrame({CMD_GET_MODE})));
    EXPECT_EQ(1u, Parse(third.ReceiveAtLeast(8)).replies.size());
    EXPECT_EQ(2, server.ClientsServed());
}

TEST_F(SimTcpServerTest, RefusesConnectionsWhileTold) {
    server.SetRefuseConnections(true);
    SimRawClient client;
    EXPECT_TRUE(SimWaitUntil([&] { return client.Connect(server.Port()) == ECONNREFUSED; }));
    // A connection made before the refusal took hold was served; it has to be
    // gone, or the next one is turned away as a second client.
    ASSERT_TRUE(server.WaitForClient(false, 5000));
    server.SetRefuseConnections(false);
    EXPECT_TRUE(SimWaitUntil([&] { return client.Connect(server.Port()) == 0; }));
    ASSERT_TRUE(client.Send(CommandFrame({CMD_GET_MODE})));
    EXPECT_EQ(1u, Parse(client.ReceiveAtLeast(8)).replies.size());
}

TEST_F(SimTcpServerTest, CorruptsTheNumberedReplyAndSendsFramesInPieces) {
    SimFaults faults;
    faults.corruptChecksumNumber = 1;
    faults.pieceSize = 3;
    sim.SetFaults(faults);
    SimRawClient client;
    ASSERT_EQ(0, client.Connect(server.Port()));
    ASSERT_TRUE(
        client.Send(Concat({CommandFrame({CMD_GET_MODE}), CommandFrame({CMD_GET_MODULE_NAME})})));
    const Received received = Parse(client.ReceiveAtLeast(8 + 11));
    EXPECT_EQ(1, received.badChecksums);
    ASSERT_EQ(1u, received.replies.size());
    EXPECT_EQ(CMD_GET_MODULE_NAME, received.replies[0][1]);
    EXPECT_EQ("ARN63", std::string(reinterpret_cast<const char*>(received.replies[0].data() + 2)));
}

TEST_F(SimTcpServerTest, BusyServerTellsEveryEditorItIsConnected) {
    server.SetBusy(true);
    const std::string busy = "ISCONNECTED";
    for (int attempt = 0; attempt < 2; ++attempt) {
        SimRawClient client;
        ASSERT_EQ(0, client.Connect(server.Port()));
        EXPECT_EQ(std::vector<uint8_t>(busy.begin(), busy.end()),
                  client.ReceiveAtLeast(busy.size()));
        EXPECT_TRUE(client.WaitForClose());
    }
    EXPECT_EQ(0, server.ClientsServed());
    EXPECT_EQ(2, server.ClientsTurnedAway());
}

// Wire faults around one reply frame: a copy cut short in front of it, or a
// heartbeat behind it, in the same write.
TEST_F(SimTcpServerTest, GluesDamagedCopiesAndHeartbeatsToTheNumberedReply) {
    SimFaults faults;
    faults.damagedReplyNumber = 1;
    faults.heartbeatAfterReplyNumber = 2;
    sim.SetFaults(faults);
    SimRawClient client;
    ASSERT_EQ(0, client.Connect(server.Port()));
    const std::vector<uint8_t> frame =
        SimFrameParser::Frame({kSimReplyPrefix, CMD_GET_MODE, 0, 0, 0});
    ASSERT_TRUE(client.Send(CommandFrame({CMD_GET_MODE})));
    ASSERT_TRUE(client.Send(CommandFrame({CMD_GET_MODE})));
    const std::vector<uint8_t> expected =
        Concat({{frame.begin(), frame.begin() + frame.size() / 2}, frame, frame, kHeartbeat});
    EXPECT_EQ(expected, client.ReceiveAtLeast(expected.size()));
}

TEST_F(SimTcpServerTest, StopsWithAClientConnected) {
    SimRawClient client;
    ASSERT_EQ(0, client.Connect(server.Port()));
    ASSERT_TRUE(server.WaitForClient(true, 5000));
    server.Stop();
    EXPECT_TRUE(client.WaitForClose());
}

// A dropped editor is gone for good, and the port takes the next one.
TEST_F(SimTcpServerTest, DropsTheConnectedClientAndServesTheNext) {
    SimRawClient first;
    ASSERT_EQ(0, first.Connect(server.Port()));
    ASSERT_TRUE(server.WaitForClient(true, 5000));
    server.DropClient();
    EXPECT_TRUE(first.WaitForClose());
    EXPECT_FALSE(server.IsClientConnected());

    SimRawClient second;
    ASSERT_EQ(0, second.Connect(server.Port()));
    ASSERT_TRUE(server.WaitForClient(true, 5000));
    ASSERT_TRUE(second.Send(CommandFrame({CMD_GET_MODE})));
    EXPECT_EQ(1u, Parse(second.ReceiveAtLeast(7)).replies.size());
    EXPECT_EQ(0, server.ClientsTurnedAway());
}

TEST(SimOptions, ParsesEveryOptionAndDocumentsIt) {
    SimOptions options;
    std::string error;
    ASSERT_TRUE(options.Parse({"--port",
                               "0",
                               "--count",
                               "64",
                               "--heartbeat-ms=250",
                               "--refuse",
                               "--refuse-connect",
                               "--module",
                               "ARN52",
                               "--cmd-version",
                               "18",
                               "--version1",
                               "a",
                               "--version2",
                               "b",
                               "--learn-delay-ms",
                               "-1",
                               "--learn-code",
                               "10",
                               "--stream-format",
                               "4",
                               "--latency-ms",
                               "10",
                               "--drop-reply",
                               "3",
                               "--silent-after",
                               "7",
                               "--corrupt-checksum",
                               "2",
                               "--slow-reply",
                               "6",
                               "--slow-reply-ms",
                               "2500",
                               "--damage-reply",
                               "8",
                               "--heartbeat-after-reply",
                               "9",
                               "--pieces",
                               "5",
                               "--piece-gap-ms",
                               "1",
                               "-v"},
                              error))
        << error;
    EXPECT_EQ(0, options.port);
    EXPECT_EQ(64, options.count);
    EXPECT_EQ(250, options.heartbeatMs);
    EXPECT_TRUE(options.busy);
    EXPECT_TRUE(options.refuseConnections);
    EXPECT_EQ("ARN52", options.identity.moduleName);
    EXPECT_EQ(18, options.identity.commandSetVersion);
    EXPECT_EQ("a", options.identity.firstVersion);
    EXPECT_EQ("b", options.identity.secondVersion);
    EXPECT_EQ(-1, options.learnDelayMs);
    EXPECT_EQ(10, options.learnCode);
    EXPECT_EQ(4, options.streamFormat);
    EXPECT_EQ(10, options.faults.replyLatencyMs);
    EXPECT_EQ(3, options.faults.dropReplyNumber);
    EXPECT_EQ(7, options.faults.silentAfterCommands);
    EXPECT_EQ(2, options.faults.corruptChecksumNumber);
    EXPECT_EQ(6, options.faults.slowReplyNumber);
    EXPECT_EQ(2500, options.faults.slowReplyMs);
    EXPECT_EQ(8, options.faults.damagedReplyNumber);
    EXPECT_EQ(9, options.faults.heartbeatAfterReplyNumber);
    EXPECT_EQ(5, options.faults.pieceSize);
    EXPECT_EQ(1, options.faults.pieceGapMs);
    EXPECT_TRUE(options.verbose);
    EXPECT_FALSE(options.help);

    const std::string help = SimOptions::HelpText();
    for (const char* name :
         {"--port",           "--heartbeat-ms",     "--refuse",        "--refuse-connect",
          "--module",         "--cmd-version",      "--version1",      "--version2",
          "--learn-delay-ms", "--learn-code",       "--stream-format", "--verbose",
          "--latency-ms",     "--drop-reply",       "--slow-reply",    "--slow-reply-ms",
          "--silent-after",   "--corrupt-checksum", "--damage-reply",  "--heartbeat-after-reply",
          "--pieces",         "--piece-gap-ms",     "--help"})
        EXPECT_NE(std::string::npos, help.find(name)) << name;
    EXPECT_NE(std::string::npos, help.find("--count"));
}

TEST(SimOptions, RejectsWhatItCannotUse) {
    struct Case {
        std::vector<std::string> arguments;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{"--bogus"}, "unknown option: --bogus"},
        {{"--port"}, "missing value for --port"},
        {{"--port", "70000"}, "bad value for --port: 70000 (expected 0..65535)"},
        {{"--latency-ms", "ten"}, "bad value for --latency-ms: ten (expected 0..600000)"},
        {{"--port=12x"}, "bad value for --port: 12x (expected 0..65535)"},
        {{"--count", "0"}, "bad value for --count: 0 (expected 1..256)"},
        {{"--port", "65535", "--count", "2"}, "--port 65535 with --count 2 runs past port 65535"},
    };
    for (const Case& c : cases) {
        SimOptions options;
        std::string error;
        EXPECT_FALSE(options.Parse(c.arguments, error));
        EXPECT_EQ(c.error, error);
    }
    SimOptions options;
    std::string error;
    EXPECT_TRUE(options.Parse({"-h"}, error));
    EXPECT_TRUE(options.help);
    EXPECT_EQ(SimOptions::kDefaultPort, options.port);
    EXPECT_EQ(1, options.count);
}

} // namespace

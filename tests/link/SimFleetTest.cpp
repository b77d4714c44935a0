// Several simulated processors in one process (fxtune-sim --count): each
// keeps its own memory, reply numbering, faults and editor while another one
// is written to, loses replies or turns an editor away.
#include "SimLinkSupport.h"

#include "link/CommandFrames.h"
#include "sim/SimFleet.h"
#include "sim/SimFrameParser.h"
#include "sim/SimOptions.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

std::vector<uint8_t> CommandFrames(std::initializer_list<SimRecord> records) {
    std::vector<uint8_t> bytes;
    for (const SimRecord& record : records) {
        SimRecord payload = {kNetTagCommand};
        payload.insert(payload.end(), record.begin(), record.end());
        const auto frame = SimFrameParser::Frame(payload);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

// The reply codes in what a raw client received, in order.
std::vector<int> ReplyCodes(const std::vector<uint8_t>& bytes) {
    std::vector<int> codes;
    SimFrameParser parser(
        [&](const uint8_t* payload, int count) {
            if (count > 1) codes.push_back(payload[1]);
        },
        [] {});
    parser.Feed(bytes.data(), static_cast<int>(bytes.size()));
    return codes;
}

SimOptions Options(std::vector<std::string> arguments) {
    SimOptions options;
    std::string error;
    EXPECT_TRUE(options.Parse(arguments, error)) << error;
    return options;
}

TEST(SimFleet, EachProcessorKeepsItsOwnMemoryRepliesFaultsAndEditor) {
    // The first reply of each processor is lost, every one named ARN52.
    SimFleet fleet(Options({"--count", "2", "--port", "0", "--heartbeat-ms", "0", "--drop-reply",
                            "1", "--module", "ARN52"}));
    ASSERT_TRUE(fleet.Start());
    ASSERT_EQ(2, fleet.Count());
    SimTcpServer& first = fleet.Server(0);
    SimTcpServer& second = fleet.Server(1);
    EXPECT_NE(first.Port(), second.Port());

    SimRawClient firstEditor, secondEditor;
    ASSERT_EQ(0, firstEditor.Connect(first.Port()));
    ASSERT_TRUE(first.WaitForClient(true, 5000));
    ASSERT_EQ(0, secondEditor.Connect(second.Port()));
    ASSERT_TRUE(second.WaitForClient(true, 5000)) << "served, not turned away by the first";

    // A value written to the first processor (its acknowledgement is its
    // first reply, lost); then two questions.
    const SimRecord write = {CMD_DSP_WRITE, 0, 1, 14, 1, 0x12, 0x34, 0x56, 0x78};
    ASSERT_TRUE(firstEditor.Send(CommandFrames({write, {CMD_GET_MODE}, {CMD_GET_MODULE_NAME}})));
    EXPECT_EQ((std::vector<int>{CMD_GET_MODE, CMD_GET_MODULE_NAME}),
              ReplyCodes(firstEditor.ReceiveAtLeast(8 + 11)));
    // The second processor counts its replies from its own start: its first
    // is lost too, whatever the first processor answered before.
    ASSERT_TRUE(secondEditor.Send(CommandFrames({{CMD_GET_MODE}, {CMD_GET_MODULE_NAME}})));
    const std::vector<uint8_t> secondReplies = secondEditor.ReceiveAtLeast(11);
    EXPECT_EQ((std::vector<int>{CMD_GET_MODULE_NAME}), ReplyCodes(secondReplies));
    EXPECT_NE(std::string::npos,
              std::string(secondReplies.begin(), secondReplies.end()).find("ARN52"))
        << "every option applies to each processor";

    const int offset = SimProcessor::FindDspValueOffset(SimProcessor::DefaultImage(), 1, 14);
    ASSERT_GE(offset, 0);
    EXPECT_EQ(Big(0x12345678), Slice(fleet.Processor(0).Memory(), offset, 4));
    EXPECT_EQ(SimProcessor::DefaultImage(), fleet.Processor(1).Memory()) << "untouched";
    EXPECT_EQ(3u, fleet.Processor(0).CommandCount());
    EXPECT_EQ(2u, fleet.Processor(1).CommandCount());

    // A second editor at the first processor is turned away; the second
    // processor keeps its own.
    SimRawClient intruder;
    ASSERT_EQ(0, intruder.Connect(first.Port()));
    EXPECT_TRUE(intruder.WaitForClose());
    EXPECT_EQ(1, first.ClientsTurnedAway());
    EXPECT_EQ(0, second.ClientsTurnedAway());

    // The first processor's editor dropped; the second one still answers.
    first.DropClient();
    EXPECT_TRUE(firstEditor.WaitForClose());
    EXPECT_TRUE(second.IsClientConnected());
    ASSERT_TRUE(secondEditor.Send(CommandFrames({{CMD_GET_MODE}})));
    EXPECT_EQ((std::vector<int>{CMD_GET_MODULE_NAME, CMD_GET_MODE}),
              ReplyCodes(secondEditor.ReceiveAtLeast(11 + 8)));
}

TEST(SimFleet, APortInUseStopsTheStartAndNamesThePort) {
    SimProcessor other;
    SimTcpServer taken(other);
    ASSERT_TRUE(taken.Start(0));
    SimFleet fleet(Options({"--count", "2", "--port", std::to_string(taken.Port())}));
    EXPECT_FALSE(fleet.Start());
    EXPECT_EQ(taken.Port(), fleet.FailedPort());
    EXPECT_EQ(EADDRINUSE, fleet.LastError());
}

} // namespace

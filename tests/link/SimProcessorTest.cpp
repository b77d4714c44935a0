#include "sim/SimProcessor.h"

#include "SimLinkSupport.h"
#include "link/CommandFrames.h"
#include "link/ReplyDispatcher.h"
#include "state/DeviceMirrors.h"
#include "state/ParamImage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <mutex>

namespace {

using Image = SimProcessor::Image;

std::vector<SimRecord> Send(SimProcessor& sim, std::initializer_list<uint8_t> record) {
    const std::vector<uint8_t> bytes(record);
    return sim.HandleCommand(bytes.data(), static_cast<int>(bytes.size()));
}

std::vector<SimRecord> Send(SimProcessor& sim, const std::vector<uint8_t>& bytes) {
    return sim.HandleCommand(bytes.data(), static_cast<int>(bytes.size()));
}

std::vector<uint8_t> DspWrite(int block, int parameter, std::initializer_list<uint32_t> values) {
    std::vector<uint8_t> record = {CMD_DSP_WRITE, 0, static_cast<uint8_t>(block),
                                   static_cast<uint8_t>(parameter),
                                   static_cast<uint8_t>(values.size())};
    for (uint32_t value : values)
        for (int shift = 24; shift >= 0; shift -= 8)
            record.push_back(static_cast<uint8_t>(value >> shift));
    return record;
}

Image Pattern(uint8_t seed) {
    Image image{};
    for (int i = 0; i < kImageSize; ++i) image[i] = static_cast<uint8_t>(i * 13 + seed);
    return image;
}

TEST(SimProcessor, StartsWithTheEditorsDefaultImageAndLeavesTheEditorAlone) {
    std::memset(g_ParamImage(), 0xA5, kImageSize);
    SimProcessor sim;
    EXPECT_EQ(0xA5, g_ParamImage()[100]) << "building the default must not change the editor";
    BuildDefaultImage();
    EXPECT_EQ(0, std::memcmp(g_ParamImage(), sim.Memory().data(), kImageSize));
    for (int mode = 0; mode < kSimModeCount; ++mode) EXPECT_EQ(sim.Memory(), sim.ModeImage(mode));
}

// The processor finds DSP records by walking its memory; the editor by its
// table. Both must agree on every parameter that has a place in the image.
TEST(SimProcessor, DspRecordWalkAgreesWithTheEditorsTable) {
    const Image& image = SimProcessor::DefaultImage();
    int checked = 0;
    for (const DspParamEntry& entry : DspParamTable) {
        if (entry.imageOffset < 0) continue;
        EXPECT_EQ(entry.imageOffset,
                  SimProcessor::FindDspValueOffset(image, entry.block, entry.parameter))
            << "block " << entry.block << " parameter " << entry.parameter;
        ++checked;
    }
    EXPECT_GT(checked, 200);
    EXPECT_EQ(-1, SimProcessor::FindDspValueOffset(image, 99, 0));
}

TEST(SimProcessor, DspWriteChangesTheMatchingRecordAndIsAcknowledged) {
    SimProcessor sim;
    const Image before = sim.Memory();
    const int offset = FindDspParam(1, 14)->imageOffset;
    const auto replies = Send(sim, DspWrite(1, 14, {0x3F19999A}));
    ASSERT_EQ(1u, replies.size());
    EXPECT_EQ(CMD_DSP_WRITE, replies[0][1]);
    const Image after = sim.Memory();
    EXPECT_EQ((std::vector<uint8_t>{0x3F, 0x19, 0x99, 0x9A}), Slice(after, offset, 4));
    Image expected = before;
    std::memcpy(expected.data() + offset, after.data() + offset, 4);
    EXPECT_EQ(expected, after) << "nothing else changes";
}

TEST(SimProcessor, DspWriteIsClippedToTheRecordAndToTheBytesReceived) {
    SimProcessor sim;
    const int offset = FindDspParam(1, 4)->imageOffset; // a one-value record followed by 1/5
    const Image before = sim.Memory();
    Send(sim, DspWrite(1, 4, {0x11111111, 0x22222222}));
    EXPECT_EQ((std::vector<uint8_t>{0x11, 0x11, 0x11, 0x11}), Slice(sim.Memory(), offset, 4));
    EXPECT_EQ(Slice(before, offset + 4, 8), Slice(sim.Memory(), offset + 4, 8));

    // Count 5 announced but only one value sent: one value is written.
    const int eqOffset = SimProcessor::FindDspValueOffset(before, 1, 44);
    auto record = DspWrite(1, 44, {0x01020304});
    record[4] = 5;
    Send(sim, record);
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4}), Slice(sim.Memory(), eqOffset, 4));
    EXPECT_EQ(Slice(before, eqOffset + 4, 20), Slice(sim.Memory(), eqOffset + 4, 20));

    // Unknown parameters are acknowledged and change nothing.
    const Image now = sim.Memory();
    EXPECT_EQ(1u, Send(sim, DspWrite(200, 7, {1})).size());
    EXPECT_EQ(now, sim.Memory());
}

TEST(SimProcessor, PitchWriteShowsInTheStatusBlock) {
    SimProcessor sim;
    sim.SetStreamFormat(3);
    Send(sim, DspWrite(4, 21, {0x00000008})); // pitch +3
    const auto replies = Send(sim, {CMD_GET_STATUS});
    ASSERT_EQ(1u, replies.size());
    ASSERT_EQ(18u, replies[0].size());
    EXPECT_EQ(CMD_GET_STATUS, replies[0][1]);
    EXPECT_EQ(0x83, replies[0][2 + 7]);
    EXPECT_EQ(8, sim.PitchByte());
}

TEST(SimProcessor, MeterLevelsMoveBetweenStatusRequests) {
    SimProcessor sim;
    const SimRecord first = Send(sim, {CMD_GET_STATUS})[0];
    const SimRecord second = Send(sim, {CMD_GET_STATUS})[0];
    EXPECT_NE(std::vector<uint8_t>(first.begin() + 10, first.begin() + 14),
              std::vector<uint8_t>(second.begin() + 10, second.begin() + 14));
    for (size_t i = 10; i < 14; ++i) EXPECT_LE(second[i], 100);
}

struct ChunkCase {
    int address;
    int length;
    int sent;
};

TEST(SimProcessor, ImageChunksStopAtTheEndOfMemory) {
    SimProcessor sim(Pattern(5));
    for (const ChunkCase& c :
         {ChunkCase{0, 56, 56}, ChunkCase{3304, 46, 46}, ChunkCase{3349, 56, 1},
          ChunkCase{3350, 56, 0}, ChunkCase{0xFFFF, 56, 0}, ChunkCase{10, 60, 56}}) {
        const auto replies =
            Send(sim, {CMD_READ_IMAGE, static_cast<uint8_t>(c.address >> 8),
                       static_cast<uint8_t>(c.address & 0xFF), static_cast<uint8_t>(c.length)});
        ASSERT_EQ(1u, replies.size());
        const SimRecord& reply = replies[0];
        ASSERT_EQ(5u + c.sent, reply.size()) << c.address;
        EXPECT_EQ(CMD_READ_IMAGE, reply[1]);
        EXPECT_EQ(c.address, reply[2] * 256 + reply[3]);
        EXPECT_EQ(c.sent, reply[4]);
        if (c.sent > 0) {
            EXPECT_EQ(Slice(Pattern(5), c.address, c.sent),
                      std::vector<uint8_t>(reply.begin() + 5, reply.end()));
        }
    }
}

TEST(SimProcessor, ImageWritesLandWhereAddressedAndPanelWritesStayInThePanel) {
    SimProcessor sim;
    std::vector<uint8_t> write = {CMD_WRITE_IMAGE, 0x0C, 0xE8, 46};
    for (int i = 0; i < 46; ++i) write.push_back(static_cast<uint8_t>(0x80 + i));
    auto replies = Send(sim, write);
    ASSERT_EQ(1u, replies.size());
    EXPECT_EQ((SimRecord{kSimReplyPrefix, CMD_WRITE_IMAGE, 0x0C, 0xE8, 46}), replies[0]);
    EXPECT_EQ(std::vector<uint8_t>(write.begin() + 4, write.end()), Slice(sim.Memory(), 3304, 46));
    EXPECT_EQ(CMD_WRITE_IMAGE_END, Send(sim, {CMD_WRITE_IMAGE_END})[0][1]);

    // 133 at 1250 with 10 bytes: only 1250..1253 belong to the panel area.
    const Image before = sim.Memory();
    std::vector<uint8_t> panel = {CMD_WRITE_PANEL, 0x04, 0xE2, 10};
    for (int i = 0; i < 10; ++i) panel.push_back(0xEE);
    replies = Send(sim, panel);
    ASSERT_EQ(1u, replies.size());
    EXPECT_EQ(CMD_WRITE_PANEL, replies[0][1]);
    EXPECT_EQ(std::vector<uint8_t>(4, 0xEE), Slice(sim.Memory(), 1250, 4));
    EXPECT_EQ(Slice(before, kDspAreaStart, 6), Slice(sim.Memory(), kDspAreaStart, 6));
}

TEST(SimProcessor, ModesStoreLoadAndResetToFactory) {
    SimProcessor sim(Pattern(1));
    sim.SetMemory(Pattern(2));
    EXPECT_EQ(CMD_ANNOUNCE_STORE, Send(sim, {CMD_ANNOUNCE_STORE, 2})[0][1]);
    EXPECT_EQ(CMD_STORE_MODE, Send(sim, {CMD_STORE_MODE, 2})[0][1]);
    EXPECT_EQ(Pattern(2), sim.ModeImage(2));
    EXPECT_EQ(Pattern(1), sim.ModeImage(1));

    auto replies = Send(sim, {CMD_LOAD_MODE, 1});
    ASSERT_EQ(1u, replies.size());
    EXPECT_EQ(CMD_LOAD_MODE, replies[0][1]);
    EXPECT_EQ(1, replies[0][2]);
    EXPECT_EQ(Pattern(1), sim.Memory());
    EXPECT_EQ(1, sim.CurrentMode());
    EXPECT_EQ(1, Send(sim, {CMD_GET_MODE})[0][2]);

    Send(sim, {CMD_LOAD_MODE, 2});
    EXPECT_EQ(Pattern(2), sim.Memory());

    replies = Send(sim, {CMD_RESET_MODE, 2});
    ASSERT_EQ(1u, replies.size());
    EXPECT_EQ(CMD_RESET_MODE, replies[0][1]);
    EXPECT_EQ(2, replies[0][2]);
    EXPECT_EQ(Pattern(1), sim.ModeImage(2)) << "factory contents";
    EXPECT_EQ(Pattern(1), sim.Memory());

    // A mode number out of range changes nothing but is still answered.
    sim.SetMemory(Pattern(9));
    replies = Send(sim, {CMD_LOAD_MODE, 7});
    ASSERT_EQ(1u, replies.size());
    EXPECT_EQ(Pattern(9), sim.Memory());
    EXPECT_EQ(2, sim.CurrentMode());
}

TEST(SimProcessor, ProcessorResetNeedsItsConfirmationByte) {
    SimProcessor sim(Pattern(1));
    sim.SetMemory(Pattern(4));
    Send(sim, {CMD_STORE_MODE, 3});
    EXPECT_EQ(CMD_RESET_PROCESSOR, Send(sim, {CMD_RESET_PROCESSOR, 0x55})[0][1]);
    EXPECT_EQ(Pattern(4), sim.Memory());
    Send(sim, {CMD_RESET_PROCESSOR, 170});
    EXPECT_EQ(Pattern(1), sim.Memory());
    EXPECT_EQ(Pattern(1), sim.ModeImage(3));
    EXPECT_EQ(0, sim.CurrentMode());
}

// The processor's text replies, run through the editor's dispatcher.
TEST(SimProcessor, IdentityRepliesFillTheEditorsIdentity) {
    SimProcessor sim;
    sim.SetIdentity({"CRL63MK-with-a-very-long-module-name", 19, "2021-02-03-extra", "v2"});
    for (uint8_t code :
         {CMD_GET_MODULE_NAME, CMD_GET_CMD_VERSION, CMD_GET_VERSION1, CMD_GET_VERSION2}) {
        const SimRecord reply = Send(sim, {code})[0];
        EXPECT_EQ(code, reply[1]);
        ProcessDeviceReply(reply.data(), static_cast<int>(reply.size()));
    }
    EXPECT_STREQ("CRL63MK-with-a-very-long-modul", g_Identity().moduleName);
    EXPECT_EQ(19, g_Identity().commandSetVersion);
    EXPECT_STREQ("2021-02-03", g_Identity().firstVersion);
    EXPECT_STREQ("v2", g_Identity().secondVersion);
    ResetIdentityToDefaults();
}

TEST(SimProcessor, SmallMemoriesRoundTrip) {
    SimProcessor sim;
    std::vector<uint8_t> settings = {CMD_WRITE_MACHINE_SETTINGS};
    for (int i = 0; i < kMachineSettingsSize; ++i) settings.push_back(static_cast<uint8_t>(i + 1));
    EXPECT_EQ(CMD_WRITE_MACHINE_SETTINGS, Send(sim, settings)[0][1]);
    SimRecord reply = Send(sim, {CMD_GET_MACHINE_SETTINGS})[0];
    EXPECT_EQ(CMD_GET_MACHINE_SETTINGS, reply[1]);
    EXPECT_EQ(std::vector<uint8_t>(settings.begin() + 1, settings.end()),
              std::vector<uint8_t>(reply.begin() + 2, reply.end()));

    std::vector<uint8_t> keys = {CMD_WRITE_REMOTE_KEYS};
    for (int i = 0; i < kRemoteKeyBlockSize; ++i) keys.push_back(static_cast<uint8_t>(0xA0 + i));
    EXPECT_EQ(CMD_WRITE_REMOTE_KEYS, Send(sim, keys)[0][1]);
    reply = Send(sim, {CMD_GET_REMOTE_KEYS})[0];
    EXPECT_EQ(CMD_GET_REMOTE_KEYS, reply[1]);
    ASSERT_EQ(18u, reply.size()) << "reply 98 carries the first 16 bytes";
    EXPECT_EQ(std::vector<uint8_t>(keys.begin() + 1, keys.begin() + 17),
              std::vector<uint8_t>(reply.begin() + 2, reply.end()));
}

TEST(SimProcessor, AcknowledgesEveryCommandTheEditorWaitsFor) {
    SimProcessor sim;
    for (uint8_t code : {CMD_ABANDON_LEARN, CMD_LET_GO, CMD_ANNOUNCE_STORE, CMD_STORE_MODE}) {
        const auto replies = Send(sim, {code, 0});
        ASSERT_EQ(1u, replies.size()) << int(code);
        EXPECT_EQ(code, replies[0][1]);
    }
    EXPECT_TRUE(sim.LetGoReceived());
    // Radio-module acknowledgements and unknown codes are not answered.
    EXPECT_TRUE(Send(sim, {18, 1, 6}).empty());
    EXPECT_TRUE(Send(sim, {0xEE}).empty());
}

class SinkRecorder {
public:
    void operator()(const SimRecord& reply) {
        std::lock_guard lock(mutex);
        replies.push_back(reply);
        changed.notify_all();
    }
    bool WaitForCount(size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10),
                                [&] { return replies.size() >= count; });
    }
    std::vector<SimRecord> Replies() {
        std::lock_guard lock(mutex);
        return replies;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<SimRecord> replies;
};

TEST(SimProcessor, LearnIsAnsweredByTheKeyPressAndAbandonCancelsIt) {
    SimProcessor sim;
    SinkRecorder sink;
    sim.SetReplySink([&](const SimRecord& reply) { sink(reply); });
    sim.SetCodeSetByte(0x31);
    EXPECT_TRUE(Send(sim, {CMD_LEARN_KEY, 5}).empty()) << "no answer before the key is pressed";
    EXPECT_EQ(5, sim.LearningKey());
    EXPECT_TRUE(sim.PressRemoteKey(0x0A));
    ASSERT_EQ(1u, sink.Replies().size());
    EXPECT_EQ((SimRecord{kSimReplyPrefix, CMD_LEARN_KEY, 0x31, 5, 0x0A}), sink.Replies()[0]);
    EXPECT_EQ(0x0A, sim.RemoteKeys()[5]);
    EXPECT_EQ(0x31, sim.RemoteKeys()[0]);
    EXPECT_FALSE(sim.PressRemoteKey(0x0B)) << "nothing is being learned any more";

    Send(sim, {CMD_LEARN_KEY, 6});
    EXPECT_EQ(CMD_ABANDON_LEARN, Send(sim, {CMD_ABANDON_LEARN})[0][1]);
    EXPECT_FALSE(sim.PressRemoteKey(0x0B));
    EXPECT_EQ(1u, sink.Replies().size());
    sim.SetReplySink(nullptr);
}

TEST(SimProcessor, KeyIsPressedByItselfAfterTheConfiguredDelay) {
    SimProcessor sim;
    SinkRecorder sink;
    sim.SetReplySink([&](const SimRecord& reply) { sink(reply); });
    sim.SetAutoKeyPress(20);
    Send(sim, {CMD_LEARN_KEY, 12});
    ASSERT_TRUE(sink.WaitForCount(1));
    EXPECT_EQ(12, sink.Replies()[0][3]);
    EXPECT_EQ(0x40 + 12, sink.Replies()[0][4]);
    EXPECT_EQ(-1, sim.LearningKey());
    sim.SetReplySink(nullptr);
}

TEST(SimProcessor, DropsTheNumberedReplyAndFallsSilent) {
    SimProcessor sim;
    SimFaults faults;
    faults.dropReplyNumber = 2;
    faults.silentAfterCommands = 4;
    sim.SetFaults(faults);
    EXPECT_EQ(1u, Send(sim, {CMD_GET_MODE}).size());
    EXPECT_EQ(0u, Send(sim, {CMD_GET_MODE}).size()) << "second reply dropped";
    EXPECT_EQ(1u, Send(sim, {CMD_GET_MODE}).size());
    EXPECT_FALSE(sim.IsSilent());
    EXPECT_EQ(1u, Send(sim, {CMD_GET_MODE}).size());
    EXPECT_TRUE(sim.IsSilent()) << "after four commands";
    EXPECT_EQ(0u, Send(sim, DspWrite(1, 14, {0x3F800000})).size());
    EXPECT_EQ(SimProcessor::DefaultImage(), sim.Memory()) << "a silent processor takes nothing in";
    EXPECT_EQ(5u, sim.CommandCount());

    SimProcessor other;
    other.DropNextReply();
    EXPECT_EQ(0u, Send(other, {CMD_GET_MODE}).size());
    EXPECT_EQ(1u, Send(other, {CMD_GET_MODE}).size());
    other.SetSilent(true);
    EXPECT_EQ(0u, Send(other, {CMD_GET_MODE}).size());

    // A fault switched on while running counts from the replies made so far.
    SimProcessor running;
    Send(running, {CMD_GET_MODE});
    Send(running, {CMD_GET_MODE});
    ASSERT_EQ(2, running.ReplyCount());
    SimFaults later;
    later.dropReplyNumber = running.ReplyCount() + 1;
    running.SetFaults(later);
    EXPECT_EQ(0u, Send(running, {CMD_GET_MODE}).size());
    EXPECT_EQ(1u, Send(running, {CMD_GET_MODE}).size());
    EXPECT_EQ(4, running.ReplyCount()) << "a dropped reply is counted";

    SimProcessor picky;
    picky.LoseRepliesTo({CMD_READ_IMAGE, 0, 56}, 1);
    EXPECT_EQ(0u, Send(picky, {CMD_READ_IMAGE, 0, 56, 56}).size()) << "lost once";
    EXPECT_EQ(1u, Send(picky, {CMD_READ_IMAGE, 0, 0, 56}).size()) << "another chunk";
    EXPECT_EQ(1u, Send(picky, {CMD_READ_IMAGE, 0, 56, 56}).size());
    EXPECT_EQ(2u, picky.CountCommands({CMD_READ_IMAGE, 0, 56}));
    EXPECT_EQ(3u, picky.CountCommands({CMD_READ_IMAGE}));
}

// The processor answers one command after the other: with a latency, three
// commands sent at once are answered one latency apart, and a slow reply
// holds back the ones behind it.
TEST(SimProcessor, AnswersInOrderOneCommandAtATime) {
    SimProcessor sim;
    SimFaults faults;
    faults.replyLatencyMs = 100;
    faults.slowReplyNumber = 2;
    faults.slowReplyMs = 1000;
    faults.damagedReplyNumber = 3;
    faults.heartbeatAfterReplyNumber = 1;
    sim.SetFaults(faults);
    const uint8_t command[] = {CMD_GET_MODE};
    const auto before = std::chrono::steady_clock::now();
    std::vector<SimReply> replies;
    for (int i = 0; i < 3; ++i)
        for (SimReply& reply : sim.Answer(command, 1)) replies.push_back(std::move(reply));
    ASSERT_EQ(3u, replies.size());
    using std::chrono::milliseconds;
    EXPECT_GE(replies[0].due - before, milliseconds(100));
    EXPECT_GE(replies[1].due - replies[0].due, milliseconds(1100)) << "the slow one";
    EXPECT_GE(replies[2].due - replies[1].due, milliseconds(100)) << "waits behind it";
    EXPECT_EQ((std::vector<int>{1, 2, 3}),
              (std::vector<int>{replies[0].number, replies[1].number, replies[2].number}));
    EXPECT_TRUE(replies[0].heartbeatAfter);
    EXPECT_FALSE(replies[0].damagedBefore);
    EXPECT_TRUE(replies[2].damagedBefore);
}

// An ignored code is carried out but never answered; other codes still are.
TEST(SimProcessor, IgnoredCodeIsCarriedOutButNotAnswered) {
    SimProcessor sim;
    SimFaults faults;
    faults.ignoredCode = CMD_WRITE_MACHINE_SETTINGS;
    sim.SetFaults(faults);
    std::vector<uint8_t> settings(1 + kMachineSettingsSize, 7);
    settings[0] = CMD_WRITE_MACHINE_SETTINGS;
    EXPECT_TRUE(Send(sim, settings).empty());
    EXPECT_EQ(7, sim.MachineSettings()[0]);
    EXPECT_EQ(1u, Send(sim, {CMD_GET_MACHINE_SETTINGS}).size());
}

TEST(SimProcessor, LogsCommandsCutToTheirLength) {
    SimProcessor sim;
    uint8_t report[60] = {CMD_READ_IMAGE, 0x0C, 0xE8, 46};
    sim.HandleCommand(report, 60);
    auto dsp = DspWrite(1, 14, {0x3F000000});
    dsp.resize(60, 0);
    Send(sim, dsp);
    uint8_t shortCommand[60] = {CMD_LOAD_MODE, 2};
    sim.HandleCommand(shortCommand, 60);
    const auto log = sim.ReceivedCommands();
    ASSERT_EQ(3u, log.size());
    EXPECT_EQ((SimRecord{CMD_READ_IMAGE, 0x0C, 0xE8, 46}), log[0]);
    EXPECT_EQ(9u, log[1].size());
    EXPECT_EQ((SimRecord{CMD_LOAD_MODE, 2}), log[2]);
    EXPECT_TRUE(sim.WaitForCommand(CMD_LOAD_MODE, 0));
    EXPECT_FALSE(sim.WaitForCommand(CMD_LET_GO, 0));
}

} // namespace

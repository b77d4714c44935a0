#include "link/ReplyDispatcher.h"
#include "state/DeviceMirrors.h"
#include "state/ParamImage.h"
#include "state/SyncJobs.h"

#include "LinkTestSupport.h"
#include "RecordingSink.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
using linktest::DebugLines;
using linktest::LinkGlobalsGuard;
using linktest::RecordingView;
using Bytes = std::vector<uint8_t>;

// A reply record as a USB input report: prefix, code, then the given bytes.
Bytes Report(uint8_t code, Bytes rest = {}) {
    Bytes report(kMaxReplyRecord, 0);
    report[0] = 0x01;
    report[1] = code;
    for (size_t i = 0; i < rest.size() && i + 2 < report.size(); ++i) report[i + 2] = rest[i];
    return report;
}

// Reply 48 / 134: address, length, then `length` data bytes of `fill`.
Bytes Chunk(uint8_t code, int address, int length, uint8_t fill) {
    Bytes rest = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                  static_cast<uint8_t>(length)};
    rest.insert(rest.end(), static_cast<size_t>(std::min(length, 56)), fill);
    return Report(code, rest);
}

Bytes Text(uint8_t code, const std::string& text) {
    return Report(code, Bytes(text.begin(), text.end()));
}

void Dispatch(const Bytes& record) {
    ProcessDeviceReply(record.data(), static_cast<int>(record.size()));
}

class ReplyDispatcher : public ::testing::Test {
protected:
    void SetUp() override {
        BuildDefaultImage();
        std::memcpy(g_PanelImage(), g_ParamImage(), kPanelSize);
        g_bNetMode() = false;
        g_hReplyEvent().Reset();
    }
    void TearDown() override { ResetIdentityToDefaults(); }

    // Every reply releases one waiting sender.
    void ExpectReplyEventSet() { EXPECT_TRUE(g_hReplyEvent().Wait(0)); }

    LinkGlobalsGuard guard;
    RecordingSink transport;
};

TEST_F(ReplyDispatcher, ImageChunkStaysInsideTheImage) {
    struct Case {
        int address, length;
        int firstWritten, lastWritten; // -1: nothing written
    };
    const Case cases[] = {
        {0, 56, 0, 55},     {3304, 46, 3304, 3349}, {3349, 56, 3349, 3349},
        {3350, 56, -1, -1}, {0xFFFF, 56, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        BuildDefaultImage();
        const Bytes before(g_ParamImage(), g_ParamImage() + kImageSize);
        Dispatch(Chunk(REPLY_IMAGE_CHUNK, c.address, c.length, 0xA5));
        for (int i = 0; i < kImageSize; ++i) {
            const bool inside = c.firstWritten >= 0 && i >= c.firstWritten && i <= c.lastWritten;
            ASSERT_EQ(g_ParamImage()[i], inside ? 0xA5 : before[static_cast<size_t>(i)]) << i;
        }
        ExpectReplyEventSet();
    }
}

TEST_F(ReplyDispatcher, ImageChunkCopiesOnlyWhatArrived) {
    // A network record shorter than its length byte claims.
    const Bytes record = {0x00, REPLY_IMAGE_CHUNK, 0x00, 0x10, 56, 0x11, 0x22};
    const uint8_t after = g_ParamImage()[0x12];
    Dispatch(record);
    EXPECT_EQ(g_ParamImage()[0x10], 0x11);
    EXPECT_EQ(g_ParamImage()[0x11], 0x22);
    EXPECT_EQ(g_ParamImage()[0x12], after);
}

TEST_F(ReplyDispatcher, PanelChunkAddressRules) {
    // FF FF at address 0 clears the equaliser records and nothing beyond.
    std::memset(g_PanelImage(), 0x77, kPanelSize);
    Dispatch(Report(REPLY_PANEL_CHUNK, {0, 0, 2, 0xFF, 0xFF}));
    for (int i = 0; i < kPanelSize; ++i) ASSERT_EQ(g_PanelImage()[i], i < 1190 ? 0 : 0x77) << i;
    ExpectReplyEventSet();

    struct Case {
        int address, length;
        bool written;
    };
    const Case cases[] = {
        {7, 7, true},      {1183, 7, true},  {1190, 32, true}, {1246, 8, true},  {1222, 24, true},
        {1223, 24, false}, {1191, 8, false}, {1250, 4, false}, {1254, 4, false}, {0x2000, 4, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        std::memset(g_PanelImage(), 0x77, kPanelSize);
        Dispatch(Chunk(REPLY_PANEL_CHUNK, c.address, c.length, 0x12));
        int changed = 0;
        for (int i = 0; i < kPanelSize; ++i) changed += g_PanelImage()[i] != 0x77;
        EXPECT_EQ(changed, c.written ? c.length : 0);
        if (c.written) {
            EXPECT_EQ(g_PanelImage()[c.address], 0x12);
        }
    }

    // A copy near the end of the panel stops at its last byte.
    std::memset(g_PanelImage(), 0x77, kPanelSize);
    Dispatch(Chunk(REPLY_PANEL_CHUNK, 1246, 56, 0x34));
    EXPECT_EQ(g_PanelImage()[1253], 0x34);
    EXPECT_EQ(g_PanelImage()[1245], 0x77);
}

TEST_F(ReplyDispatcher, SurroundLayoutChunkUpdatesTheEditorValuesAtOnce) {
    Bytes layout(24, 0);
    layout[0] = 3;
    layout[1] = 1;
    layout[2] = 25;   // +2.5
    layout[3] = 0x85; // -0.5
    Bytes rest = {1222 >> 8, 1222 & 0xFF, 24};
    rest.insert(rest.end(), layout.begin(), layout.end());
    Dispatch(Report(REPLY_PANEL_CHUNK, rest));
    EXPECT_EQ(g_SurroundLayout().byte1222, 3);
    EXPECT_EQ(g_SurroundLayout().byte1223, 1);
    EXPECT_FLOAT_EQ(g_SurroundLayout().points[0], static_cast<float>(DecodeSignedTenths(25)));
    EXPECT_FLOAT_EQ(g_SurroundLayout().points[1], static_cast<float>(DecodeSignedTenths(0x85)));

    // At 1223 nothing changes.
    const SurroundLayout before = g_SurroundLayout();
    rest[1] = 1223 & 0xFF;
    rest[3] = 9;
    Dispatch(Report(REPLY_PANEL_CHUNK, rest));
    EXPECT_EQ(g_SurroundLayout().byte1222, before.byte1222);
    EXPECT_EQ(g_PanelImage()[1223], 1);
}

TEST_F(ReplyDispatcher, TextRepliesFillTheirFieldsUpToTheTerminator) {
    struct Case {
        uint8_t code;
        std::string text;
        const char* field;
        std::string expected;
    };
    const Case cases[] = {
        {REPLY_MODULE_NAME, "ARN63", g_Identity().moduleName, "ARN63"},
        {REPLY_MODULE_NAME, "", g_Identity().moduleName, ""},
        {REPLY_MODULE_NAME, std::string("AB\0CD", 5), g_Identity().moduleName, "AB"},
        {REPLY_MODULE_NAME, std::string(40, 'N'), g_Identity().moduleName, std::string(30, 'N')},
        {REPLY_VERSION1, "2024-01-02", g_Identity().firstVersion, "2024-01-02"},
        {REPLY_VERSION1, "2024-01-02-longer", g_Identity().firstVersion, "2024-01-02"},
        {REPLY_VERSION2, "V2", g_Identity().secondVersion, "V2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        ResetIdentityToDefaults();
        Dispatch(Text(c.code, c.text));
        EXPECT_EQ(std::string(c.field), c.expected);
        ExpectReplyEventSet();
    }
    // The field always stays terminated.
    Dispatch(Text(REPLY_VERSION2, std::string(20, 'x')));
    EXPECT_EQ(g_Identity().secondVersion[10], '\0');
}

TEST_F(ReplyDispatcher, SmallMirrors) {
    Dispatch(Report(REPLY_CMD_VERSION, {23}));
    EXPECT_EQ(g_Identity().commandSetVersion, 23);

    Dispatch(Report(REPLY_CURRENT_MODE, {2}));
    EXPECT_EQ(g_CurrentMode(), 2);

    g_bParamsChanged() = false;
    Dispatch(Report(REPLY_DSP_WRITE, {0, 1, 14}));
    EXPECT_TRUE(g_bParamsChanged());

    Bytes settings(14);
    for (size_t i = 0; i < settings.size(); ++i) settings[i] = static_cast<uint8_t>(0x40 + i);
    Dispatch(Report(REPLY_MACHINE_SETTINGS, settings));
    EXPECT_EQ(Bytes(g_MachineSettingsDevice(), g_MachineSettingsDevice() + 14), settings);
    EXPECT_EQ(Bytes(g_MachineSettingsWork(), g_MachineSettingsWork() + 14), settings);

    Bytes keys(16);
    for (size_t i = 0; i < keys.size(); ++i) keys[i] = static_cast<uint8_t>(0x80 + i);
    g_RemoteKeyBlock()[16] = 0x99;
    Dispatch(Report(REPLY_REMOTE_KEYS, keys));
    EXPECT_EQ(Bytes(g_RemoteKeyBlock(), g_RemoteKeyBlock() + 16), keys);
    EXPECT_EQ(g_RemoteKeyBlock()[16], 0x99);
    ExpectReplyEventSet();
}

TEST_F(ReplyDispatcher, StatusFillsTheBlockAndTheMusicPitch) {
    Bytes status(16);
    for (size_t i = 0; i < status.size(); ++i) status[i] = static_cast<uint8_t>(i + 1);
    struct Case {
        uint8_t byte7;
        int pitch;
    };
    for (const Case& c : {Case{0x52, 0}, Case{0x03, -5}, Case{0xA1, 5}, Case{0x83, 3}}) {
        status[7] = c.byte7;
        Dispatch(Report(REPLY_STATUS, status));
        EXPECT_EQ(Bytes(g_StatusBlock(), g_StatusBlock() + 16), status);
        EXPECT_EQ(GetDspParam(4, 21), c.pitch) << int(c.byte7);
    }
    ClearStatusBlock();
}

TEST_F(ReplyDispatcher, LearnedKeyFillsTheBlockAndWaitsForTheView) {
    std::memset(g_RemoteKeyBlock(), 0, sizeof g_RemoteKeyBlock());
    Dispatch(Report(REPLY_LEARNED_KEY, {0x21, 5, 0x6C}));
    EXPECT_EQ(g_RemoteKeyBlock()[0], 0x21);
    EXPECT_EQ(g_RemoteKeyBlock()[5], 0x6C);
    // An index outside the 18-byte block is not written.
    Dispatch(Report(REPLY_LEARNED_KEY, {0x22, 18, 0x7D}));
    EXPECT_EQ(g_RemoteKeyBlock()[0], 0x22);
    const std::vector<RecordingView::Message> expected = {{WM_REMOTE_KEY_DATA, 0x6C, true},
                                                          {WM_REMOTE_KEY_DATA, 0x7D, true}};
    EXPECT_EQ(guard.view.Messages(), expected);
    ExpectReplyEventSet();
}

TEST_F(ReplyDispatcher, ErrorBoxIsShownOnceInARun) {
    ResetErrorBoxGuard();
    Dispatch(Report(REPLY_ERROR, {0, 9, 1}));
    EXPECT_TRUE(guard.view.Boxes().empty()) << "code 0 is no error";
    Dispatch(Report(REPLY_ERROR, {0x3A, 0x09, 0x01}));
    Dispatch(Report(REPLY_ERROR, {0x3B, 0x09, 0x02}));
    EXPECT_EQ(guard.view.Boxes(),
              std::vector<std::string>{"Error|参数错误,代码0x:3A,指令1:0x09,指令2:0x01 "});
    ExpectReplyEventSet();
}

// The acknowledgement is written at once, not behind what the outbox holds;
// the wire wraps it for its transport (18, 1, 6 on USB; 0x80, 6 on the network).
TEST_F(ReplyDispatcher, RadioFramesAreAcknowledgedAtOnce) {
    struct Case {
        Bytes frame;
        bool acknowledged;
    };
    const Case cases[] = {{{3, 0x10, 0x20, 0x30}, true}, {{1, 6}, false}};
    for (const Case& c : cases) {
        for (const bool net : {false, true}) {
            SCOPED_TRACE(testing::Message() << "net " << net << " ack " << c.acknowledged);
            RecordingSink local;
            g_bNetMode() = net;
            g_bConnected() = true;
            Dispatch(Report(REPLY_RADIO, c.frame));
            g_bConnected() = false;
            const auto records = local.Records();
            if (!c.acknowledged) {
                EXPECT_TRUE(records.empty());
            } else {
                EXPECT_EQ(records, (std::vector<RecordingSink::Record>{
                                       {false, fx::RecordKind::Radio, {6}}}));
            }
            ExpectReplyEventSet();
        }
    }
}

TEST_F(ReplyDispatcher, UnknownAndBareRepliesOnlyReleaseASender) {
    const Bytes image(g_ParamImage(), g_ParamImage() + kImageSize);
    for (uint8_t code : {0, 20, 49, 50, 200}) {
        SCOPED_TRACE(int(code));
        Dispatch(code == 0 ? Bytes(kMaxReplyRecord, 0) : Report(code, {1, 2, 3, 4, 5}));
        ExpectReplyEventSet();
        EXPECT_EQ(Bytes(g_ParamImage(), g_ParamImage() + kImageSize), image);
    }
    EXPECT_TRUE(guard.view.Messages().empty());
    EXPECT_TRUE(transport.Records().empty());
    // An empty record reads as all zeros.
    ProcessDeviceReply(nullptr, 0);
    ExpectReplyEventSet();
}

TEST_F(ReplyDispatcher, ModeLoadedStartsTheDelayedRead) {
    DebugLines lines;
    int expected = 0;
    for (uint8_t code : {REPLY_MODE_LOADED, REPLY_MODE_RESET}) {
        SCOPED_TRACE(int(code));
        Dispatch(Report(code, {1}));
        ExpectReplyEventSet();
        JoinSyncJobs();
        ++expected;
        int starts = 0;
        for (const std::string& line : lines.Lines())
            starts += line == "Start thread:SynchronizeData\n";
        EXPECT_EQ(starts, expected);
        int ended = 0;
        for (const auto& m : guard.view.Messages()) ended += m.message == WM_JOB_ENDED && !m.sent;
        EXPECT_EQ(ended, expected);
    }
}
} // namespace

#include "link/CommandFrames.h"
#include "link/LinkState.h"

#include "RecordingSink.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {
using Bytes = std::vector<uint8_t>;

// The senders build the record and hand it to the outbox; the transport's
// wrapping is added below it, so the record is the same on both transports.
class FramesSend : public ::testing::Test {
protected:
    void SetUp() override { m_savedNetMode = g_bNetMode(); }
    void TearDown() override { g_bNetMode() = m_savedNetMode; }

    const RecordingSink::Record& OnlyRecord() {
        m_records = sink.Records();
        EXPECT_EQ(m_records.size(), 1u);
        static const RecordingSink::Record none{};
        return m_records.empty() ? none : m_records.front();
    }

    RecordingSink sink;

private:
    bool m_savedNetMode = false;
    std::vector<RecordingSink::Record> m_records;
};

TEST_F(FramesSend, EverySenderPostsTheSameRecordOnBothTransports) {
    const uint32_t sixty = 0x3F19999C;
    const uint8_t panel[] = {1, 2, 3};
    struct Case {
        const char* name;
        std::function<void()> send;
        Bytes record;
    };
    const Case cases[] = {
        {"status request", [] { SendShortCmd({CMD_GET_STATUS}); }, {0x0E}},
        {"last image chunk request",
         [] {
             SendShortCmd({CMD_READ_IMAGE, 0x0C, 0xE8, 46});
         },
         {0x30, 0x0C, 0xE8, 0x2E}},
        {"microphone level 60",
         [&] { SendDspWrite(1, 14, &sixty, 1); },
         {9, 0, 1, 14, 1, 0x3F, 0x19, 0x99, 0x9C}},
        {"panel write",
         [&] { SendDeviceCmd(CMD_WRITE_PANEL, 0x04, 0xC6, 3, panel); },
         {133, 0x04, 0xC6, 3, 1, 2, 3}},
        {"device command without data",
         [] { SendDeviceCmd(CMD_WRITE_IMAGE, 1, 2, 0, nullptr); },
         {49, 1, 2, 0}},
    };
    for (const Case& c : cases) {
        for (const bool net : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.name << (net ? " on the network" : " on USB"));
            g_bNetMode() = net;
            sink.Clear();
            c.send();
            const RecordingSink::Record& record = OnlyRecord();
            EXPECT_TRUE(record.posted) << "paced by the outbox";
            EXPECT_EQ(record.kind, fx::RecordKind::Command);
            EXPECT_EQ(record.bytes, c.record);
        }
    }
}

TEST_F(FramesSend, SendFramePostsWaitingFramesAndWritesTheOthersAtOnce) {
    const uint8_t frame[] = {7, 1};
    for (const bool wait : {true, false}) {
        SCOPED_TRACE(wait ? "wait" : "no wait");
        sink.Clear();
        SendFrame(frame, 2, wait);
        EXPECT_EQ(OnlyRecord(), (RecordingSink::Record{wait, fx::RecordKind::Command, {7, 1}}));
    }
}

TEST_F(FramesSend, FullDeviceCommandIsASixtyByteRecordAndASixtyFourByteFrame) {
    Bytes data(56);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i + 1);
    SendDeviceCmd(CMD_WRITE_IMAGE, 0x0C, 0xB0, 56, data.data());
    const Bytes record = OnlyRecord().bytes;
    ASSERT_EQ(record.size(), 60u);
    EXPECT_EQ(Bytes(record.begin(), record.begin() + 4), (Bytes{49, 0x0C, 0xB0, 56}));
    EXPECT_EQ(Bytes(record.begin() + 4, record.end()), data);

    // On the network the tag makes it a 61-byte payload.
    Bytes payload = record;
    payload.insert(payload.begin(), kNetTagCommand);
    uint8_t frame[64];
    EXPECT_EQ(BuildNetFrame(payload.data(), 61, frame), 64);
    EXPECT_EQ(frame[1], 62);
}

TEST_F(FramesSend, DeviceCommandNeverCarriesMoreThan56DataBytes) {
    Bytes data(80, 0x11);
    SendDeviceCmd(CMD_WRITE_IMAGE, 0, 0, 80, data.data());
    const Bytes record = OnlyRecord().bytes;
    ASSERT_EQ(record.size(), 60u);
    EXPECT_EQ(record[3], 56);
}

TEST_F(FramesSend, DspWriteIsHeadThenBigEndianValues) {
    const uint32_t values[] = {0x3F19999C, 0x01020304, 0xA0B0C0D0, 0, 0xFFFFFFFF};
    const Bytes expected = {9,    0,    1,    14,   5, 0x3F, 0x19, 0x99, 0x9C, 1,    2,    3,   4,
                            0xA0, 0xB0, 0xC0, 0xD0, 0, 0,    0,    0,    0xFF, 0xFF, 0xFF, 0xFF};
    SendDspWrite(1, 14, values, 5);
    EXPECT_EQ(OnlyRecord().bytes, expected);
    EXPECT_EQ(OnlyRecord().bytes.size(), 25u);
}
} // namespace

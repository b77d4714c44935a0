#include "link/CommandFrames.h"
#include "link/LinkState.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace {
using Bytes = std::vector<uint8_t>;

// Records which transport path each sender took and with which bytes.
class RecordingTransport : public ILinkTransport {
public:
    struct Call {
        std::string path;
        Bytes bytes;
        NetQueueKey key{};
    };

    int WriteUsbData(const uint8_t* bytes, int count) override {
        return Record("WriteUsbData", bytes, count);
    }
    int WriteUsbDataNoWait(const uint8_t* bytes, int count) override {
        return Record("WriteUsbDataNoWait", bytes, count);
    }
    int NetSendSync(const uint8_t* payload, int count) override {
        return Record("NetSendSync", payload, count);
    }
    int NetSendFrame(const uint8_t* payload, int count) override {
        return Record("NetSendFrame", payload, count);
    }
    void NetEnqueue(const NetQueueKey& key, const uint8_t* payload, int count) override {
        Record("NetEnqueue", payload, count);
        std::lock_guard lock(m_mutex);
        calls.back().key = key;
    }

    std::vector<Call> calls;

private:
    int Record(const char* path, const uint8_t* bytes, int count) {
        std::lock_guard lock(m_mutex);
        calls.push_back({path, Bytes(bytes, bytes + count), {}});
        return count;
    }
    std::mutex m_mutex;
};

// Installs the recording transport and puts the link flags back afterwards.
class FramesSend : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = {g_bNetMode, g_bQueuedSend, g_bConnected};
        SetLinkTransport(&transport);
    }
    void TearDown() override {
        SetLinkTransport(nullptr);
        g_bNetMode = m_saved[0];
        g_bQueuedSend = m_saved[1];
        g_bConnected = m_saved[2];
    }
    void UseLink(bool net, bool queued, bool connected) {
        g_bNetMode = net;
        g_bQueuedSend = queued;
        g_bConnected = connected;
    }
    const RecordingTransport::Call& OnlyCall() {
        EXPECT_EQ(transport.calls.size(), 1u);
        static const RecordingTransport::Call none{};
        return transport.calls.empty() ? none : transport.calls.front();
    }

    RecordingTransport transport;

private:
    std::vector<bool> m_saved;
};

TEST_F(FramesSend, StatusRequestOnUsbIsOneByteRecordWrittenWithWaiting) {
    UseLink(false, true, true);
    SendShortCmd({CMD_GET_STATUS});
    const auto& call = OnlyCall();
    EXPECT_EQ(call.path, "WriteUsbData");
    EXPECT_EQ(call.bytes, Bytes{0x0E});
}

TEST_F(FramesSend, ShortCommandOnNetworkIsTaggedAndQueuedWithItsKey) {
    UseLink(true, true, true);
    SendShortCmd({CMD_READ_IMAGE, 0x0C, 0xE8, 46});
    const auto& call = OnlyCall();
    EXPECT_EQ(call.path, "NetEnqueue");
    EXPECT_EQ(call.bytes, (Bytes{0x81, 0x30, 0x0C, 0xE8, 0x2E}));
    EXPECT_EQ(call.key, (NetQueueKey{0x81, 0x30, 0x0C, 0xE8, 0x2E, 0}));
}

// Which path a waiting and a non-waiting frame take in every link state.
TEST_F(FramesSend, SendFramePicksThePathByTransportQueueingAndLinkState) {
    struct Case {
        bool net, queued, connected, wait;
        const char* path; // nullptr: dropped
    };
    const Case cases[] = {
        {false, true, true, true, "WriteUsbData"},
        {false, true, true, false, "WriteUsbDataNoWait"},
        {false, false, false, true, "WriteUsbData"}, // USB writers check the link themselves
        {true, false, true, true, "NetSendSync"},
        {true, false, true, false, "NetSendFrame"},
        {true, true, true, true, "NetEnqueue"},
        {true, true, true, false, "NetEnqueue"},
        {true, true, false, true, nullptr},
        {true, true, false, false, nullptr},
    };
    const uint8_t frame[] = {0x81, 7};
    for (const Case& c : cases) {
        transport.calls.clear();
        UseLink(c.net, c.queued, c.connected);
        SendFrame(frame, 2, c.wait);
        SCOPED_TRACE(testing::Message() << "net " << c.net << " queued " << c.queued
                                        << " connected " << c.connected << " wait " << c.wait);
        if (!c.path) {
            EXPECT_TRUE(transport.calls.empty());
            continue;
        }
        ASSERT_EQ(transport.calls.size(), 1u);
        EXPECT_EQ(transport.calls[0].path, c.path);
        EXPECT_EQ(transport.calls[0].bytes, (Bytes{0x81, 7}));
    }
}

TEST_F(FramesSend, DeviceCommandWithoutDataIsAFourByteRecord) {
    UseLink(false, true, true);
    SendDeviceCmd(CMD_WRITE_IMAGE, 0x01, 0x02, 0, nullptr);
    const auto& call = OnlyCall();
    EXPECT_EQ(call.path, "WriteUsbData");
    EXPECT_EQ(call.bytes, (Bytes{49, 1, 2, 0}));
    const auto report = BuildUsbReport(call.bytes.data(), 4);
    EXPECT_EQ(Bytes(report.begin(), report.begin() + 6), (Bytes{2, 49, 1, 2, 0, 0}));
}

TEST_F(FramesSend, FullDeviceCommandOnNetworkIs61BytePayload) {
    Bytes data(56);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i + 1);
    struct Case {
        bool queued;
        const char* path;
    };
    for (const Case& c : {Case{false, "NetSendSync"}, Case{true, "NetEnqueue"}}) {
        transport.calls.clear();
        UseLink(true, c.queued, true);
        SendDeviceCmd(CMD_WRITE_IMAGE, 0x0C, 0xB0, 56, data.data());
        const auto& call = OnlyCall();
        EXPECT_EQ(call.path, c.path);
        ASSERT_EQ(call.bytes.size(), 61u);
        EXPECT_EQ(Bytes(call.bytes.begin(), call.bytes.begin() + 5),
                  (Bytes{0x81, 49, 0x0C, 0xB0, 56}));
        EXPECT_EQ(Bytes(call.bytes.begin() + 5, call.bytes.end()), data);
        if (c.queued) {
            EXPECT_EQ(call.key, (NetQueueKey{0x81, 49, 0x0C, 0xB0, 56, 0}));
        }

        uint8_t frame[64];
        EXPECT_EQ(BuildNetFrame(call.bytes.data(), 61, frame), 64);
        EXPECT_EQ(frame[1], 62);
    }
}

TEST_F(FramesSend, DeviceCommandIsDroppedWhenQueuedAndClosed) {
    UseLink(true, true, false);
    const uint8_t data[] = {1, 2};
    SendDeviceCmd(CMD_WRITE_PANEL, 0, 0, 2, data);
    EXPECT_TRUE(transport.calls.empty());
}

TEST_F(FramesSend, DeviceCommandNeverCarriesMoreThan56DataBytes) {
    UseLink(false, true, true);
    Bytes data(80, 0x11);
    SendDeviceCmd(CMD_WRITE_IMAGE, 0, 0, 80, data.data());
    const auto& call = OnlyCall();
    ASSERT_EQ(call.bytes.size(), 60u);
    EXPECT_EQ(call.bytes[3], 56);
}

TEST_F(FramesSend, DspWriteIsHeadThenBigEndianValues) {
    const uint32_t values[] = {0x3F19999C, 0x01020304, 0xA0B0C0D0, 0, 0xFFFFFFFF};
    Bytes expected = {9,    0,    1,    14,   5, 0x3F, 0x19, 0x99, 0x9C, 1,    2,    3,   4,
                      0xA0, 0xB0, 0xC0, 0xD0, 0, 0,    0,    0,    0xFF, 0xFF, 0xFF, 0xFF};
    UseLink(false, true, true);
    SendDspWrite(1, 14, values, 5);
    EXPECT_EQ(OnlyCall().path, "WriteUsbData");
    EXPECT_EQ(OnlyCall().bytes, expected);
    EXPECT_EQ(OnlyCall().bytes.size(), 25u);

    transport.calls.clear();
    UseLink(true, true, true);
    SendDspWrite(1, 14, values, 5);
    expected.insert(expected.begin(), 0x81);
    EXPECT_EQ(OnlyCall().path, "NetEnqueue");
    EXPECT_EQ(OnlyCall().bytes, expected);
    EXPECT_EQ(OnlyCall().key, (NetQueueKey{0x81, 9, 0, 1, 14, 0}));
}

TEST_F(FramesSend, MicrophoneLevelSixtyIsASingleValueWrite) {
    UseLink(false, true, true);
    const uint32_t sixty = 0x3F19999C;
    SendDspWrite(1, 14, &sixty, 1);
    EXPECT_EQ(OnlyCall().bytes, (Bytes{9, 0, 1, 14, 1, 0x3F, 0x19, 0x99, 0x9C}));
}
} // namespace

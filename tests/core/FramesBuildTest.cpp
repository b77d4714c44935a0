#include "link/CommandFrames.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
using Bytes = std::vector<uint8_t>;

Bytes Frame(const Bytes& payload) {
    Bytes out(payload.size() + 3);
    const int size = BuildNetFrame(payload.data(), static_cast<int>(payload.size()), out.data());
    out.resize(static_cast<size_t>(size));
    return out;
}

struct FrameCase {
    const char* name;
    Bytes payload;
    Bytes frame;
};

TEST(FramesBuild, NetworkFramesCarryLengthPlusOneAndXorChecksum) {
    const FrameCase cases[] = {
        {"status request", {0x81, 0x0E}, {0x55, 0x03, 0x81, 0x0E, 0x73}},
        {"last image chunk request",
         {0x81, 0x30, 0x0C, 0xE8, 0x2E},
         {0x55, 0x06, 0x81, 0x30, 0x0C, 0xE8, 0x2E, 0x82}},
        {"radio acknowledgement",
         {0x80, 0x06},
         {0x55, 0x03, 0x80, 0x06, 0xFF ^ 0x03 ^ 0x80 ^ 0x06}},
        {"empty payload", {}, {0x55, 0x01, 0xFE}},
    };
    for (const FrameCase& c : cases) EXPECT_EQ(Frame(c.payload), c.frame) << c.name;
}

TEST(FramesBuild, LargestCommandBecomesA64ByteFrame) {
    Bytes payload(61);
    payload[0] = kNetTagCommand;
    for (size_t i = 1; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7);
    const Bytes frame = Frame(payload);
    ASSERT_EQ(frame.size(), 64u);
    EXPECT_EQ(frame[1], 62);
    uint8_t sum = 0xFF ^ 62;
    for (uint8_t b : payload) sum ^= b;
    EXPECT_EQ(frame.back(), sum);
}

TEST(FramesBuild, UsbReportIsId2ThenBytesThenZeros) {
    const uint8_t status[] = {CMD_GET_STATUS};
    const auto report = BuildUsbReport(status, 1);
    ASSERT_EQ(report.size(), 61u);
    EXPECT_EQ(report[0], 2);
    EXPECT_EQ(report[1], 0x0E);
    for (size_t i = 2; i < report.size(); ++i) EXPECT_EQ(report[i], 0) << i;

    // A record longer than a report holds is cut, never written past the end.
    Bytes tooLong(70, 0xAB);
    const auto cut = BuildUsbReport(tooLong.data(), static_cast<int>(tooLong.size()));
    EXPECT_EQ(cut[0], 2);
    EXPECT_EQ(cut[60], 0xAB);
}

} // namespace

// The dispatcher decodes each reply and reports it to the installed sink;
// here a recording sink stands in for the device state, so the link is
// tested on its own.
#include "link/ReplySink.h"
#include "link/ReplyDispatcher.h"

#include "LinkTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {
using Bytes = std::vector<uint8_t>;

std::string Hex(const uint8_t* bytes, int count) {
    std::string out;
    char two[4];
    for (int i = 0; i < count; ++i) {
        std::snprintf(two, sizeof two, i ? " %02X" : "%02X", bytes[i]);
        out += two;
    }
    return out;
}

// Writes every report as one line.
class RecordingReplies final : public fx::IReplySink {
public:
    void StatusReceived(const std::array<uint8_t, kStatusBlockSize>& status) override {
        lines.push_back("status " + Hex(status.data(), kStatusBlockSize));
    }
    void CurrentModeReceived(int mode) override { lines.push_back("mode " + std::to_string(mode)); }
    void ParameterWritten() override { lines.push_back("parameter written"); }
    void ModeLoaded() override { lines.push_back("mode loaded"); }
    void IdentityReceived(std::function<void(IdentityRecord&)> update) override {
        IdentityRecord identity{};
        update(identity);
        lines.push_back("identity " + std::to_string(identity.commandSetVersion) + " [" +
                        identity.moduleName + "][" + identity.firstVersion + "][" +
                        identity.secondVersion + "]");
    }
    void ImageChunkReceived(int address, int length, const uint8_t* data, int available) override {
        lines.push_back("image " + std::to_string(address) + " " + std::to_string(length) + " of " +
                        std::to_string(available) + ": " + Hex(data, std::min(available, 3)));
    }
    void PanelChunkReceived(int address, int length, const uint8_t* data, int available) override {
        lines.push_back("panel " + std::to_string(address) + " " + std::to_string(length) + " of " +
                        std::to_string(available) + ": " + Hex(data, std::min(available, 3)));
    }
    void LearnedKeyReceived(uint8_t first, uint8_t slot, uint8_t code) override {
        lines.push_back("learned " + Hex(&first, 1) + " " + Hex(&slot, 1) + " " + Hex(&code, 1));
    }
    void RemoteKeysReceived(const uint8_t* keys, int available) override {
        lines.push_back("keys " + std::to_string(available) + ": " + Hex(keys, 2));
    }
    void
    MachineSettingsReceived(const std::array<uint8_t, kMachineSettingsSize>& settings) override {
        lines.push_back("settings " + Hex(settings.data(), kMachineSettingsSize));
    }
    void LinkClosed() override { lines.push_back("closed"); }

    std::vector<std::string> lines;
};

class ReplySinkTest : public ::testing::Test {
protected:
    ReplySinkTest() : m_previous(fx::DeviceReplies()) { fx::SetReplySink(&sink); }
    ~ReplySinkTest() override { fx::SetReplySink(&m_previous); }

    linktest::LinkGlobalsGuard guard;
    RecordingReplies sink;

private:
    fx::IReplySink& m_previous;
};

TEST_F(ReplySinkTest, EachReplyIsReportedDecoded) {
    struct Case {
        Bytes record; // as received: prefix, code, data
        const char* reported;
    };
    const Case cases[] = {
        {{1, 14, 1, 2, 3, 4, 5, 6, 7, 0x85, 9, 10, 11, 12, 13, 14, 15, 16},
         "status 01 02 03 04 05 06 07 85 09 0A 0B 0C 0D 0E 0F 10"},
        // A short status: the rest of the block reads as zero.
        {{1, 14, 9, 8}, "status 09 08 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {{1, 7, 2}, "mode 2"},
        {{1, 9, 1, 5, 3}, "parameter written"},
        {{1, 127, 19}, "identity 19 [][][]"},
        {{1, 128, 'A', 'R', 'N', '6', '3', 0}, "identity 0 [ARN63][][]"},
        {{1, 129, '2', '0', '2', '6'}, "identity 0 [][2026][]"},
        {{1, 48, 0x01, 0x00, 56, 0xAA, 0xBB}, "image 256 56 of 2: AA BB"},
        {{1, 134, 0x04, 0xC6, 24, 0x04, 0x04, 0x00}, "panel 1222 24 of 3: 04 04 00"},
        {{1, 96, 0x11, 5, 0x42}, "learned 11 05 42"},
        {{1, 98, 0xA0, 0xA1, 0xA2}, "keys 3: A0 A1"},
        {{1, 146, 1, 2, 3}, "settings 01 02 03 00 00 00 00 00 00 00 00 00 00 00"},
    };
    for (const Case& c : cases) {
        sink.lines.clear();
        ProcessDeviceReply(c.record.data(), static_cast<int>(c.record.size()));
        EXPECT_EQ((std::vector<std::string>{c.reported}), sink.lines) << c.reported;
    }
}

TEST_F(ReplySinkTest, AcknowledgementsAndImageChunksOutsideTheImageChangeNothing) {
    for (const Bytes& record : {Bytes{1, 20, 133}, Bytes{1, 49}, Bytes{1, 50}, Bytes{1, 200, 1},
                                Bytes{1, 48, 0x0D, 0x16, 4, 1, 2, 3, 4}}) // address 3350
        ProcessDeviceReply(record.data(), static_cast<int>(record.size()));
    EXPECT_TRUE(sink.lines.empty());
}

} // namespace

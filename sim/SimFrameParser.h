#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// The processor's side of the network framing: cuts the editor's byte stream
// into frames (0x55, length, payload, checksum) and heartbeat echoes ("$HB$"),
// and frames the processor's replies.
class SimFrameParser {
public:
    using PayloadHandler = std::function<void(const uint8_t* payload, int count)>;
    using EchoHandler = std::function<void()>;

    SimFrameParser(PayloadHandler onPayload, EchoHandler onHeartbeatEcho);

    // Feeds received bytes; complete frames and echoes are handed on in order.
    void Feed(const uint8_t* bytes, int count);

    int BadChecksums() const { return m_badChecksums; }
    int SkippedBytes() const { return m_skippedBytes; }

    // 0xFF XOR the length byte XOR every payload byte.
    static uint8_t Checksum(uint8_t lengthByte, const uint8_t* payload, int count);
    // The frame around payload (at most 254 bytes).
    static std::vector<uint8_t> Frame(const uint8_t* payload, int count);
    static std::vector<uint8_t> Frame(const std::vector<uint8_t>& payload) {
        return Frame(payload.data(), static_cast<int>(payload.size()));
    }

private:
    // Takes one item off the front of the buffer; false when more bytes are needed.
    bool TakeOne();

    PayloadHandler m_onPayload;
    EchoHandler m_onHeartbeatEcho;
    std::vector<uint8_t> m_buffer;
    int m_badChecksums = 0;
    int m_skippedBytes = 0;
};

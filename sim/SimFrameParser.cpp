#include "sim/SimFrameParser.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr uint8_t kFrameStart = 0x55;
constexpr char kHeartbeat[] = "$HB$";
constexpr int kHeartbeatSize = 4;
} // namespace

SimFrameParser::SimFrameParser(PayloadHandler onPayload, EchoHandler onHeartbeatEcho)
    : m_onPayload(std::move(onPayload)), m_onHeartbeatEcho(std::move(onHeartbeatEcho)) {}

void SimFrameParser::Feed(const uint8_t* bytes, int count) {
    m_buffer.insert(m_buffer.end(), bytes, bytes + count);
    while (!m_buffer.empty() && TakeOne()) {
    }
}

bool SimFrameParser::TakeOne() {
    const int size = static_cast<int>(m_buffer.size());
    if (m_buffer[0] == static_cast<uint8_t>(kHeartbeat[0])) {
        const int compared = std::min(size, kHeartbeatSize);
        if (std::memcmp(m_buffer.data(), kHeartbeat, static_cast<size_t>(compared)) == 0) {
            if (size < kHeartbeatSize) return false;
            m_buffer.erase(m_buffer.begin(), m_buffer.begin() + kHeartbeatSize);
            if (m_onHeartbeatEcho) m_onHeartbeatEcho();
            return true;
        }
    }
    if (m_buffer[0] != kFrameStart) {
        // Unlike the editor, the processor resynchronises on the next start byte.
        m_buffer.erase(m_buffer.begin());
        ++m_skippedBytes;
        return true;
    }
    if (size < 2) return false;
    const int length = m_buffer[1];
    if (size < length + 2) return false;
    const int payloadSize = length - 1;
    if (payloadSize >= 0 &&
        Checksum(m_buffer[1], m_buffer.data() + 2, payloadSize) == m_buffer[length + 1]) {
        if (m_onPayload) m_onPayload(m_buffer.data() + 2, payloadSize);
    } else {
        ++m_badChecksums;
    }
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + length + 2);
    return true;
}

uint8_t SimFrameParser::Checksum(uint8_t lengthByte, const uint8_t* payload, int count) {
    uint8_t sum = 0xFF ^ lengthByte;
    for (int i = 0; i < count; ++i) sum ^= payload[i];
    return sum;
}

std::vector<uint8_t> SimFrameParser::Frame(const uint8_t* payload, int count) {
    count = std::clamp(count, 0, 254);
    std::vector<uint8_t> frame{kFrameStart, static_cast<uint8_t>(count + 1)};
    frame.insert(frame.end(), payload, payload + count);
    frame.push_back(Checksum(frame[1], payload, count));
    return frame;
}

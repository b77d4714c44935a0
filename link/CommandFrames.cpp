#include "link/CommandFrames.h"

#include "link/DeviceTransport.h"
#include "link/LinkState.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {
std::atomic<ILinkTransport*> g_installedTransport{nullptr};

// Sends an already tagged network record: directly while a job runs (queued
// sending off), else through the queue while the link is open.
void SendNetRecord(const uint8_t* bytes, int count, bool wait) {
    ILinkTransport& transport = LinkTransport();
    if (!g_bQueuedSend) {
        if (wait)
            transport.NetSendSync(bytes, count);
        else
            transport.NetSendFrame(bytes, count);
        return;
    }
    if (g_bConnected) transport.NetEnqueue(MakeNetQueueKey(bytes, count), bytes, count);
}
} // namespace

NetQueueKey MakeNetQueueKey(const uint8_t* bytes, int count) {
    NetQueueKey key{};
    const int taken = std::clamp(count, 0, 5);
    if (taken > 0) std::memcpy(key.data(), bytes, static_cast<size_t>(taken));
    return key;
}

std::array<uint8_t, kUsbReportSize> BuildUsbReport(const uint8_t* bytes, int count) {
    std::array<uint8_t, kUsbReportSize> report{};
    report[0] = kUsbReportId;
    const int taken = std::clamp(count, 0, kUsbReportSize - 1);
    if (taken > 0) std::memcpy(report.data() + 1, bytes, static_cast<size_t>(taken));
    return report;
}

uint8_t NetFrameChecksum(uint8_t lengthByte, const uint8_t* payload, int count) {
    uint8_t sum = 0xFF ^ lengthByte;
    for (int i = 0; i < count; ++i) sum ^= payload[i];
    return sum;
}

int BuildNetFrame(const uint8_t* payload, int count, uint8_t* out) {
    const auto lengthByte = static_cast<uint8_t>(count + 1);
    out[0] = kNetFrameStart;
    out[1] = lengthByte;
    if (count > 0) std::memcpy(out + 2, payload, static_cast<size_t>(count));
    out[count + 2] = NetFrameChecksum(lengthByte, payload, count);
    return count + 3;
}

void SetLinkTransport(ILinkTransport* transport) {
    g_installedTransport = transport;
}

ILinkTransport& LinkTransport() {
    if (ILinkTransport* installed = g_installedTransport) return *installed;
    return DefaultLinkTransport();
}

void SendDeviceCmd(uint8_t code, uint8_t addressHigh, uint8_t addressLow, uint8_t length,
                   const uint8_t* data) {
    // One tag byte, the 4-byte head and at most 56 data bytes.
    uint8_t buffer[1 + 4 + kMaxCommandData] = {};
    const int dataLength = std::min<int>(length, kMaxCommandData);
    uint8_t* record = buffer + 1;
    record[0] = code;
    record[1] = addressHigh;
    record[2] = addressLow;
    record[3] = static_cast<uint8_t>(dataLength);
    if (dataLength > 0 && data) std::memcpy(record + 4, data, static_cast<size_t>(dataLength));
    if (!g_bNetMode) {
        LinkTransport().WriteUsbData(record, dataLength + 4);
        return;
    }
    buffer[0] = kNetTagCommand;
    SendNetRecord(buffer, dataLength + 5, true);
}

void SendFrame(const uint8_t* bytes, int count, bool wait) {
    if (!g_bNetMode) {
        if (wait)
            LinkTransport().WriteUsbData(bytes, count);
        else
            LinkTransport().WriteUsbDataNoWait(bytes, count);
        return;
    }
    SendNetRecord(bytes, count, wait);
}

void SendShortCmd(std::initializer_list<uint8_t> values) {
    SendShortCmd(values.begin(), static_cast<int>(values.size()));
}

void SendShortCmd(const uint8_t* values, int count) {
    // The bytes after the report id (USB), or the tag and the bytes (network).
    uint8_t buffer[kUsbReportSize] = {};
    const int taken = std::clamp(count, 0, kUsbReportSize - 1);
    const int offset = g_bNetMode ? 1 : 0;
    if (g_bNetMode) buffer[0] = kNetTagCommand;
    if (taken > 0) std::memcpy(buffer + offset, values, static_cast<size_t>(taken));
    SendFrame(buffer, taken + offset, true);
}

void SendDspWrite(int block, int parameter, const uint32_t* values, int count) {
    // A DSP write fits a record: 5 head bytes and at most 13 values.
    constexpr int kMaxDspValues = (kMaxRecordSize - 5) / 4;
    const int valueCount = std::clamp(count, 0, kMaxDspValues);
    uint8_t buffer[1 + kMaxRecordSize] = {};
    const int offset = g_bNetMode ? 1 : 0;
    if (g_bNetMode) buffer[0] = kNetTagCommand;
    uint8_t* record = buffer + offset;
    record[0] = CMD_DSP_WRITE;
    record[1] = 0;
    record[2] = static_cast<uint8_t>(block);
    record[3] = static_cast<uint8_t>(parameter);
    record[4] = static_cast<uint8_t>(valueCount);
    for (int i = 0; i < valueCount; ++i) {
        uint8_t* out = record + 5 + 4 * i;
        out[0] = static_cast<uint8_t>(values[i] >> 24);
        out[1] = static_cast<uint8_t>(values[i] >> 16);
        out[2] = static_cast<uint8_t>(values[i] >> 8);
        out[3] = static_cast<uint8_t>(values[i]);
    }
    SendFrame(buffer, offset + 5 + 4 * valueCount, true);
}

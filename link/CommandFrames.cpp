#include "link/CommandFrames.h"

#include "link/LinkOutbox.h"

#include <algorithm>
#include <cstring>

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

void SendDeviceCmd(uint8_t code, uint8_t addressHigh, uint8_t addressLow, uint8_t length,
                   const uint8_t* data) {
    // The 4-byte head and at most 56 data bytes.
    uint8_t record[4 + kMaxCommandData] = {};
    const int dataLength = std::min<int>(length, kMaxCommandData);
    record[0] = code;
    record[1] = addressHigh;
    record[2] = addressLow;
    record[3] = static_cast<uint8_t>(dataLength);
    if (dataLength > 0 && data) std::memcpy(record + 4, data, static_cast<size_t>(dataLength));
    fx::RecordSink().Post(record, dataLength + 4);
}

void SendFrame(const uint8_t* bytes, int count, bool wait) {
    if (wait)
        fx::RecordSink().Post(bytes, count);
    else
        fx::RecordSink().WriteNow(fx::RecordKind::Command, bytes, count);
}

void SendShortCmd(std::initializer_list<uint8_t> values) {
    SendShortCmd(values.begin(), static_cast<int>(values.size()));
}

void SendShortCmd(const uint8_t* values, int count) {
    // At most what follows the report id of a USB report.
    uint8_t record[kUsbReportSize - 1] = {};
    const int taken = std::clamp(count, 0, kUsbReportSize - 1);
    if (taken > 0) std::memcpy(record, values, static_cast<size_t>(taken));
    SendFrame(record, taken, true);
}

void SendDspWrite(int block, int parameter, const uint32_t* values, int count) {
    // A DSP write fits a record: 5 head bytes and at most 13 values.
    constexpr int kMaxDspValues = (kMaxRecordSize - 5) / 4;
    const int valueCount = std::clamp(count, 0, kMaxDspValues);
    uint8_t record[kMaxRecordSize] = {};
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
    SendFrame(record, 5 + 4 * valueCount, true);
}

void SendEqBand(int block, int parameter, const uint32_t coefficients[5], int recordOffset,
                const uint8_t* record, int recordSize) {
    SendDspWrite(block, parameter, coefficients, 5);
    SendDeviceCmd(CMD_WRITE_PANEL, static_cast<uint8_t>(recordOffset >> 8),
                  static_cast<uint8_t>(recordOffset & 0xFF), static_cast<uint8_t>(recordSize),
                  record);
}

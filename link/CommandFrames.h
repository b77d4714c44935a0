#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

// Command records and their wrapping for the two transports.

constexpr int kUsbReportSize = 61;       // every USB report, input and output
constexpr uint8_t kUsbReportId = 2;      // byte 0 of an output report
constexpr uint8_t kNetTagCommand = 0x81; // a command record, DSP write or short command follows
constexpr uint8_t kNetTagRadio = 0x80;   // bytes for the processor's radio module follow
constexpr uint8_t kNetFrameStart = 0x55;
constexpr int kMaxRecordSize = 60;  // a command record
constexpr int kMaxCommandData = 56; // data bytes in one command record
constexpr int kRxBufferSize = 260;  // network assembly buffer

// Command codes.
enum CommandCode : uint8_t {
    CMD_ANNOUNCE_STORE = 3,
    CMD_STORE_MODE = 4,
    CMD_LOAD_MODE = 5,
    CMD_RESET_MODE = 6,
    CMD_GET_MODE = 7,
    CMD_DSP_WRITE = 9,
    CMD_GET_STATUS = 14,
    CMD_RADIO_FRAME = 18, // USB: bytes for the radio module follow (their count, then them)
    CMD_READ_IMAGE = 48,
    CMD_WRITE_IMAGE = 49,
    CMD_WRITE_IMAGE_END = 50,
    CMD_LEARN_KEY = 96,
    CMD_ABANDON_LEARN = 97,
    CMD_GET_REMOTE_KEYS = 98,
    CMD_WRITE_REMOTE_KEYS = 99,
    CMD_RESET_PROCESSOR = 104,
    CMD_GET_VERSION2 = 126,
    CMD_GET_CMD_VERSION = 127,
    CMD_GET_MODULE_NAME = 128,
    CMD_GET_VERSION1 = 129,
    CMD_WRITE_PANEL = 133,
    CMD_LET_GO = 138,
    CMD_WRITE_MACHINE_SETTINGS = 145,
    CMD_GET_MACHINE_SETTINGS = 146,
};

// Builds the 61-byte USB output report: report id 2, the bytes, zeros.
// count is clamped to 60.
std::array<uint8_t, kUsbReportSize> BuildUsbReport(const uint8_t* bytes, int count);

// Builds the network frame 0x55, length, payload, checksum into out (which
// holds at least count + 3 bytes) and returns its size.
int BuildNetFrame(const uint8_t* payload, int count, uint8_t* out);
// 0xFF XOR the length byte XOR every payload byte.
uint8_t NetFrameChecksum(uint8_t lengthByte, const uint8_t* payload, int count);

// The senders. They build a record and post it to the link's outbox
// (link/LinkOutbox.h), which paces it to the processor on a thread of its
// own: no sender waits. None reports failure: a failure shows only in the
// debug output and in the reply not arriving. The transport's wrapping (the
// USB report id, the network tag and frame) is added below the outbox.
void SendDeviceCmd(uint8_t code, uint8_t addressHigh, uint8_t addressLow, uint8_t length,
                   const uint8_t* data);
// An already built record: posted when wait is set, else written at once
// without pacing.
void SendFrame(const uint8_t* bytes, int count, bool wait);
void SendShortCmd(std::initializer_list<uint8_t> values);
void SendShortCmd(const uint8_t* values, int count);
// DSP write 9, 0, block, parameter, count, then count 4-byte values, most
// significant byte first. values are the values' bit patterns.
void SendDspWrite(int block, int parameter, const uint32_t* values, int count);
// One EQ band as the processor takes it: its five coefficients (a DSP write
// of block and parameter), then its record into the panel memory at offset.
void SendEqBand(int block, int parameter, const uint32_t coefficients[5], int recordOffset,
                const uint8_t* record, int recordSize);

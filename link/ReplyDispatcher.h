#pragma once

#include <cstdint>

// The single place where what the processor sends takes effect. Runs on the
// USB reader thread or the network receive thread.

// Largest reply record: a whole USB input report.
constexpr int kMaxReplyRecord = 61;

// Reply codes the editor acts on.
enum ReplyCode : uint8_t {
    REPLY_MODE_LOADED = 5,
    REPLY_MODE_RESET = 6,
    REPLY_CURRENT_MODE = 7,
    REPLY_DSP_WRITE = 9,
    REPLY_ERROR = 10,
    REPLY_STATUS = 14,
    REPLY_RADIO = 18,
    REPLY_ACK20 = 20,
    REPLY_IMAGE_CHUNK = 48,
    REPLY_IMAGE_WRITTEN = 49,
    REPLY_IMAGE_WRITE_END = 50,
    REPLY_LEARNED_KEY = 96,
    REPLY_REMOTE_KEYS = 98,
    REPLY_VERSION2 = 126,
    REPLY_CMD_VERSION = 127,
    REPLY_MODULE_NAME = 128,
    REPLY_VERSION1 = 129,
    REPLY_PANEL_CHUNK = 134,
    REPLY_MACHINE_SETTINGS = 146,
};

// Handles one reply record: byte 0 prefix (ignored), byte 1 code, then the
// code's data. count is the number of bytes actually received; bytes past it
// read as zero and are never copied into a mirror. Every reply ends by
// setting the link's reply event, releasing the outbox's next record.
void ProcessDeviceReply(const uint8_t* record, int count = kMaxReplyRecord);

// The reply-10 error box is shown once per run of a link; a new run (or a
// test) clears the guard here.
void ResetErrorBoxGuard();

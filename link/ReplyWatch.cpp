#include "link/ReplyWatch.h"

#include "link/CommandFrames.h"
#include "link/LinkOutbox.h"
#include "link/LinkState.h"
#include "link/ReplyLedger.h"

namespace fx {

uint64_t ReplyCount(uint8_t code) {
    return Replies().Tally().counts[code];
}

bool WaitForReplyAfter(uint8_t code, uint64_t countBefore, int timeoutMs) {
    return Replies().WaitUntil(
        [&](const ReplyTally& tally) { return tally.counts[code] > countBefore; }, timeoutMs);
}

bool SendAndConfirm(const uint8_t* command, int count, int timeoutMs) {
    const uint8_t code = command[0];
    const uint64_t before = ReplyCount(code);
    SendShortCmd(command, count);
    if (!g_bConnected) return false; // sent nowhere: no answer can come
    if (!WaitAllWritten()) return false;
    return WaitForReplyAfter(code, before, timeoutMs);
}

} // namespace fx

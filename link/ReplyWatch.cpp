#include "link/ReplyWatch.h"

#include "link/CommandFrames.h"
#include "link/LinkOutbox.h"
#include "link/LinkState.h"
#include "link/ReplyDispatcher.h"
#include "link/ReplyLedger.h"

#include <cstdio>

namespace fx {

uint64_t ReplyCount(uint8_t code) {
    return Replies().Tally().counts[code];
}

bool WaitForReplyAfter(uint8_t code, uint64_t countBefore, int timeoutMs) {
    return Replies().WaitUntil(
        [&](const ReplyTally& tally) { return tally.counts[code] > countBefore; }, timeoutMs);
}

std::string Confirmation::ErrorWords() const {
    char text[64];
    std::snprintf(text, sizeof text, "error code 0x%02X (command 0x%02X, 0x%02X)", error[0],
                  error[1], error[2]);
    return text;
}

Confirmation SendConfirmed(int commands, const std::function<void()>& send, int timeoutMs) {
    using Outcome = Confirmation::Outcome;
    if (!LinkUsable()) return {Outcome::LinkGone};
    const ReplyTally mark = Replies().Tally();
    send();
    // The wait starts once the outbox wrote what was sent.
    if (!WaitAllWritten()) return {Outcome::LinkGone};
    const auto answered = [&](const ReplyTally& now) {
        return now.CountSince(mark, REPLY_ERROR) > 0 ||
               now.ChangeAnswersSince(mark) >= static_cast<uint64_t>(commands);
    };
    const bool done = Replies().WaitUntil(answered, timeoutMs);
    const ReplyTally now = Replies().Tally();
    if (now.CountSince(mark, REPLY_ERROR) > 0) return {Outcome::Refused, now.lastError};
    if (done) return {Outcome::Confirmed};
    if (!LinkUsable()) return {Outcome::LinkGone};
    // Nothing more waits for that reply: the next command goes out at once.
    GiveUpAwaitedReply();
    return {Outcome::NoAnswer};
}

Confirmation SendAndConfirm(const uint8_t* command, int count, int timeoutMs) {
    return SendConfirmed(
        1, [&] { SendShortCmd(command, count); }, timeoutMs);
}

} // namespace fx

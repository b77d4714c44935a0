#include "link/ReplyWatch.h"

#include "link/CommandFrames.h"
#include "link/DebugLog.h"
#include "link/LinkOutbox.h"
#include "link/LinkState.h"
#include "link/ReplyDispatcher.h"
#include "link/ReplyLedger.h"

#include <cstdio>
#include <vector>

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
    std::vector<uint64_t> tickets;
    {
        ConfirmScope confirming(tickets);
        send();
    }
    if (static_cast<int>(tickets.size()) != commands)
        DebugLog("SendConfirmed: %zu commands sent, %d expected\n", tickets.size(), commands);
    LinkOutbox& outbox = Outbox();
    Confirmation result{Outcome::Confirmed};
    // Each command on its own answer, in the order they went out; once one
    // fails, the rest are waited for no more.
    for (const uint64_t ticket : tickets) {
        if (!result) {
            outbox.Abandon(ticket);
            continue;
        }
        const CommandAnswer answer = outbox.WaitAnswer(ticket, timeoutMs);
        switch (answer.outcome) {
        case CommandAnswer::Outcome::Answered:
            break;
        case CommandAnswer::Outcome::Refused:
            result = {Outcome::Refused, answer.error};
            break;
        case CommandAnswer::Outcome::NoAnswer:
            result = {Outcome::NoAnswer};
            break;
        default:
            result = {Outcome::LinkGone};
            break;
        }
    }
    return result;
}

Confirmation SendAndConfirm(const uint8_t* command, int count, int timeoutMs) {
    return SendConfirmed(
        1, [&] { SendShortCmd(command, count); }, timeoutMs);
}

} // namespace fx

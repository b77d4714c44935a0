#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

// Waits for the answer to one's own command, on the reply ledger
// (link/ReplyLedger.h) where the dispatcher notes every reply.
namespace fx {

// How many replies with this code arrived since the program started.
uint64_t ReplyCount(uint8_t code);
// Waits up to timeoutMs of link time until more than countBefore replies with
// this code have arrived; true when one did. Ends at once when the link goes.
bool WaitForReplyAfter(uint8_t code, uint64_t countBefore, int timeoutMs);

// How the processor took a change.
struct Confirmation {
    enum class Outcome { Confirmed, Refused, NoAnswer, LinkGone };
    Outcome outcome = Outcome::Confirmed;
    std::array<uint8_t, 3> error{}; // of a refusal: error code, command bytes 1 and 2

    explicit operator bool() const { return outcome == Outcome::Confirmed; }
    // A refusal in words: "error code 0x05 (command 0x91, 0x00)".
    std::string ErrorWords() const;
};

// The one rule for "the processor confirmed": sends with send() `commands`
// commands, each posted for confirmation (link/LinkOutbox.h), and waits for
// each one's own answer, up to timeoutMs of link time from when it was
// written: the generic reply 20, 9 for a DSP write, or the command's own
// code. An error report naming one of them is a refusal; another command's
// answer or refusal counts for nothing. LinkGone at once when no link is
// open. Never on the window's thread.
Confirmation SendConfirmed(int commands, const std::function<void()>& send, int timeoutMs);
// One command (its code first), confirmed as above.
Confirmation SendAndConfirm(const uint8_t* command, int count, int timeoutMs);

} // namespace fx

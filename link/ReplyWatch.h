#pragma once

#include <cstdint>

// Waits for the answer to one's own command, on the reply ledger
// (link/ReplyLedger.h) where the dispatcher notes every reply.
namespace fx {

// How many replies with this code arrived since the program started.
uint64_t ReplyCount(uint8_t code);
// Waits up to timeoutMs of link time until more than countBefore replies with
// this code have arrived; true when one did. Ends at once when the link goes.
bool WaitForReplyAfter(uint8_t code, uint64_t countBefore, int timeoutMs);
// Sends a command (its code first), waits until the outbox wrote it and then
// up to timeoutMs for the processor's answer, which carries the same code.
// False when no answer came, at once when no link is open. Never on the
// window's thread.
bool SendAndConfirm(const uint8_t* command, int count, int timeoutMs);

} // namespace fx

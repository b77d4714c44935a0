#pragma once

#include <cstdint>

namespace fx {

// Counts the replies by code, so that a sender can tell whether the answer to
// its own command arrived. The dispatcher notes every reply once it has
// taken effect in the mirrors.
void NoteReply(uint8_t code);
// How many replies with this code arrived since the program started.
uint64_t ReplyCount(uint8_t code);
// Waits (real time) until more than countBefore replies with this code have
// arrived; true when one did.
bool WaitForReplyAfter(uint8_t code, uint64_t countBefore, int timeoutMs);
// Sends a command (its code first) on the waiting send path and waits up to
// timeoutMs for the processor's answer, which carries the same code. False
// when no answer came, at once when no link is open.
bool SendAndConfirm(const uint8_t* command, int count, int timeoutMs);

} // namespace fx

#pragma once

#include "link/AutoResetEvent.h"
#include "link/LinkFlags.h"

#include <atomic>
#include <cstdint>
#include <mutex>

// The current link's events and lock (link/Link.h) under their familiar names.
// Set by the dispatcher after every reply; the outbox's writer paces on it.
// Auto-reset, created signalled.
AutoResetEvent& g_hReplyEvent();
// Set by a reader thread when it leaves; a closing link waits on it.
AutoResetEvent& g_hReaderEndedEvent();
// Serialises the write of one USB report or one network frame (and the
// debug dump of a report).
std::mutex& g_SendLock();

// The link can carry commands and replies: open, and its reader still reading.
bool LinkUsable();
// Wakes everything that waits on the link (the outbox's writer pacing on the
// reply event, jobs and commands waiting for replies) once it closed or its reader
// stopped: called right after the flags say so, so every waiter sees it.
void NotifyLinkGone();

// A reply that is waited for no more (its wait timed out): the outbox's next
// record goes out at once instead of waiting for it a second time.
void GiveUpAwaitedReply();

// Ends the current link's connection and threads (no let-go); Link::Shutdown.
void CloseLinkThreads();

// The longest the outbox waits for the previous reply before it sends anyway.
constexpr int kReplyWaitMs = 2000;
// The longest a closing link waits for its reader to end.
constexpr int kReaderEndWaitMs = 1000;

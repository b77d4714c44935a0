#pragma once

#include "link/AutoResetEvent.h"

#include <atomic>
#include <cstdint>
#include <mutex>

// Link flags, single global instances shared by the user-interface thread, the
// reader threads and the job threads.
extern std::atomic<bool> g_bConnected;     // a link (USB or network) is open
extern std::atomic<bool> g_bNetMode;       // the network is the transport
extern std::atomic<bool> g_bJobIdle;       // no whole-image job is running
extern std::atomic<bool> g_bQueuedSend;    // network sends go through the queue
extern std::atomic<bool> g_bCoalesce;      // queued frames with equal keys replace each other
extern std::atomic<bool> g_bParamsChanged; // parameters differ from the stored mode
extern std::atomic<bool> g_bReadThreadEnd; // the reader stopped after a failed read
extern std::atomic<bool> g_bAwaitReply;    // the network writer has a frame in flight

// Set by the dispatcher after every reply; waiting senders pace on it.
// Auto-reset, created signalled.
extern AutoResetEvent g_hReplyEvent;
// Set by a reader thread when it leaves; a closing link waits on it.
extern AutoResetEvent g_hReaderEndedEvent;

// Wakes the network writer early: set when a frame is queued and when a
// reply arrives, so a queued change leaves at once instead of at the
// writer's next 20 ms look.
extern AutoResetEvent g_hWriterWakeEvent;

// Serialises the write of one USB report or one direct network frame (and the
// debug dump of a report).
extern std::mutex g_SendLock;

// The link can carry commands and replies: open, and its reader still reading.
bool LinkUsable();
// Wakes everything that waits on the link (senders pacing on the reply event,
// jobs and commands waiting for replies) once it closed or its reader
// stopped: called right after the flags say so, so every waiter sees it.
void NotifyLinkGone();

// A reply that is waited for no more (its wait timed out): the next waiting
// sender goes out at once instead of waiting for it a second time.
void GiveUpAwaitedReply();

// The longest a waiting sender waits for the previous reply before it sends anyway.
constexpr int kReplyWaitMs = 2000;
// The longest a closing link waits for its reader to end.
constexpr int kReaderEndWaitMs = 1000;

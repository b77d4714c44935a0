#pragma once

#include "link/CommandFrames.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

// The network transport: one TCP client with a receive thread (heartbeat
// echo, frame assembly, dispatch), a writer thread draining the send queue
// one frame per reply, and a watchdog closing the link when the processor
// falls silent.

constexpr int kDefaultNetPort = 30303;
constexpr int kWatchdogTickMs = 100;
constexpr int kHeartbeatGapMs = 3000;  // a receive gap longer than this counts a miss
constexpr int kMaxHeartbeatMisses = 5; // more misses close the link
constexpr int kWriterStepMs = 20;
constexpr int kWriterMaxSteps = 100; // the writer moves on after 2 s without a reply

// One frame waiting for the writer thread: its queue key and the tagged
// record it carries (the writer frames it).
struct NetQueueEntry {
    NetQueueKey key{};
    uint8_t bytes[kMaxNetFrame] = {};
    int length = 0;
};

extern std::deque<NetQueueEntry> g_NetSendQueue;
extern std::mutex g_NetQueueLock;

// Connects to address:port (dotted IPv4) and starts the three threads.
// Returns 1 on success, the socket layer's error code when the connection
// attempt fails, 0 when the socket cannot be created. A previous network
// link ends first; beforeOpen runs once the connection stands, before the
// link state is taken over (the editor lets go of its USB link there), so a
// failed attempt leaves an open USB link as it was.
int NetConnect(const std::string& address, int port, const std::function<void()>& beforeOpen = {});
// Closes the link; with sendLetGo the command 138 goes out first, directly.
// Also ends the link's threads when the link was already closed by the
// watchdog or a receive failure.
void NetDisconnect(bool sendLetGo);

// Waits up to 2000 ms for the previous reply, then sends the framed payload
// under the send lock. Returns what the socket send returns; 0 when closed.
int NetSendSync(const uint8_t* payload, int count);
// Frames the payload and sends it at once; returns what the send returns
// (-1 when no socket is open).
int NetSendFrame(const uint8_t* payload, int count);
// Queues a tagged record for the writer; an entry with an equal key is
// replaced in place when g_bCoalesce is set.
void NetEnqueue(const NetQueueKey& key, const uint8_t* payload, int count);

// Thread bodies (NetConnect starts them).
void RecvThreadProc();
void NetWriteThreadProc();
void NetTimeoutThreadProc();

// Where OpenDeviceLink connects when g_bNetMode is set (the view sets it from
// the stored "IPAddr" and "IPPort"). Without a target it opens nothing.
void SetNetTarget(const std::string& address, int port);
// Connects to that target; 1 when connected, else 0.
int OpenNetTarget();

// The watchdog's heartbeat miss count.
int NetHeartbeatMisses();

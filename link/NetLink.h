#pragma once

#include "link/CommandFrames.h"

#include <cstdint>
#include <functional>
#include <string>

// The network transport: one TCP client whose receive (heartbeat echo, frame
// assembly, dispatch) and watchdog (closing the link when the processor
// falls silent) are handlers on the shared event loop (link/LinkLoop.h). The link's outbox
// (link/LinkOutbox.h) writes the senders' records, tagged and framed, one per reply.

constexpr int kDefaultNetPort = 30303;
constexpr int kWatchdogTickMs = 100;
constexpr int kHeartbeatGapMs = 3000;  // a receive gap longer than this counts a miss
constexpr int kMaxHeartbeatMisses = 5; // more misses close the link
// Connects to address:port (dotted IPv4), starts the receive thread and the
// watchdog and opens the outbox over the socket.
// Returns 1 on success, the socket layer's error code when the connection
// attempt fails, 0 when the socket cannot be created. A previous network
// link ends first; beforeOpen runs once the connection stands, before the
// link state is taken over and the outbox opened over the socket (the editor
// lets go of its USB link there), so a failed attempt leaves an open USB link
// as it was.
int NetConnect(const std::string& address, int port, const std::function<void()>& beforeOpen = {});
// Closes the link; with sendLetGo the command 138 goes out first, behind
// what the outbox still holds and before the socket closes. Also ends the
// link's threads when the link was already closed by the watchdog or a
// receive failure.
void NetDisconnect(bool sendLetGo);

// Frames the payload (a tagged record) and sends it at once under the send
// lock; returns what the send returns (-1 when no socket is open).
int NetSendFrame(const uint8_t* payload, int count);

// Where OpenDeviceLink connects when g_bNetMode is set (the view sets it from
// the stored "IPAddr" and "IPPort"). Without a target it opens nothing.
void SetNetTarget(const std::string& address, int port);
// Connects to that target; 1 when connected, else 0.
int OpenNetTarget();

// The watchdog's heartbeat miss count.
int NetHeartbeatMisses();

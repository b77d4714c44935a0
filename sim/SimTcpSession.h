#pragma once

#include "sim/SimFrameParser.h"
#include "sim/SimProcessor.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class SimEventLoop;

// Counters a TCP server keeps over all its sessions.
struct SimTcpCounters {
    std::atomic<int> replyFrames{0}; // reply frames handed to the socket
    std::atomic<int> heartbeatsSent{0};
    std::atomic<int> heartbeatEchoes{0};
    std::atomic<int> badChecksums{0};
    std::atomic<int> radioFrames{0}; // frames tagged for the radio module
};

// One connected editor, served on the event loop: what it sends is cut into
// frames and the commands handed to the processor; the replies leave when
// they are due, one after the other, and the heartbeat "$HB$" every period.
// Held by a shared pointer: the loop's pending work keeps it alive.
class SimTcpSession : public std::enable_shared_from_this<SimTcpSession> {
public:
    // Takes over the connected socket. onFinished runs on the loop once the
    // editor closed its side (or the connection failed).
    SimTcpSession(SimEventLoop& loop, int socket, SimProcessor& processor, SimTcpCounters& counters,
                  int heartbeatPeriodMs, std::function<void()> onFinished);
    ~SimTcpSession();
    SimTcpSession(const SimTcpSession&) = delete;
    SimTcpSession& operator=(const SimTcpSession&) = delete;

    void Start();
    // Closes the connection; once it returns, nothing more is sent, received
    // or handed to the processor. From any thread.
    void Stop();
    // The editor closed its side (or the connection failed), or it was stopped.
    bool Finished() const { return m_finished; }
    // Bytes or the editor's end are waiting to be taken in (on the loop).
    bool HasUnreadInput() const;

    // Queues a reply made without a command, due when the processor gets to it.
    void QueueReply(const SimRecord& reply);
    // Queues a reply to a command as the processor planned it.
    void QueueReply(const SimReply& reply);
    // Queues bytes to go out as they are, in one send, now.
    void QueueRaw(std::vector<uint8_t> bytes);
    void SetHeartbeatPeriod(int periodMs);

private:
    using Clock = std::chrono::steady_clock;
    struct Outgoing {
        Clock::time_point due;
        std::vector<uint8_t> bytes; // a reply's frame, or raw bytes
        bool isReply;
        std::vector<uint8_t> before; // sent in the same write ahead of the frame
        std::vector<uint8_t> after;  // ... and behind it
    };
    struct Io; // the socket and timers

    // Everything below runs on the loop's thread.
    void Receive();
    void CountBadChecksums();
    void HandlePayload(const uint8_t* payload, int count);
    void Enqueue(Outgoing item);
    // Sends what is due, or sleeps until something is.
    void Pump();
    void SendReplyFrame(Outgoing item);
    void SendPieces(std::shared_ptr<std::vector<uint8_t>> frame, size_t sent, int pieceSize,
                    int gapMs, bool splitOnce);
    // Writes bytes whole; then runs done (with whether they went) and pumps on.
    void Write(std::shared_ptr<std::vector<uint8_t>> bytes, std::function<void(bool)> done);
    void EndConnection();
    void StopOnLoop();

    SimEventLoop& m_loop;
    std::unique_ptr<Io> m_io;
    SimProcessor& m_processor;
    SimTcpCounters& m_counters;
    SimFrameParser m_parser;
    int m_badChecksumsCounted = 0; // of the parser's, added to m_counters
    std::function<void()> m_onFinished;

    std::deque<Outgoing> m_outgoing; // ordered by due time
    int m_heartbeatPeriodMs;
    Clock::time_point m_nextHeartbeat;
    bool m_writing = false;
    bool m_pumpTimerSet = false; // the pump timer waits (until its expiry)
    bool m_stopped = false;
    std::atomic<bool> m_finished{false};
};

#pragma once

#include "sim/SimFrameParser.h"
#include "sim/SimProcessor.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// Counters a TCP server keeps over all its sessions.
struct SimTcpCounters {
    std::atomic<int> replyFrames{0}; // reply frames handed to the socket
    std::atomic<int> heartbeatsSent{0};
    std::atomic<int> heartbeatEchoes{0};
    std::atomic<int> badChecksums{0};
    std::atomic<int> radioFrames{0}; // frames tagged for the radio module
};

// One connected editor: a reader thread that cuts the byte stream into frames
// and hands the commands to the processor, and a writer thread that sends the
// replies when they are due and the heartbeat "$HB$" every period.
class SimTcpSession {
public:
    SimTcpSession(int socket, SimProcessor& processor, SimTcpCounters& counters,
                  int heartbeatPeriodMs);
    ~SimTcpSession(); // stops
    SimTcpSession(const SimTcpSession&) = delete;
    SimTcpSession& operator=(const SimTcpSession&) = delete;

    void Start();
    // Closes the connection and joins both threads.
    void Stop();
    // The editor closed its side (or the connection failed).
    bool Finished() const { return m_finished; }

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

    void ReaderThreadProc();
    void WriterThreadProc();
    void CountBadChecksums();
    void HandlePayload(const uint8_t* payload, int count);
    void Enqueue(Outgoing item);
    void SendReplyFrame(Outgoing item);
    bool SendAll(const uint8_t* bytes, size_t count);

    const int m_socket;
    SimProcessor& m_processor;
    SimTcpCounters& m_counters;
    SimFrameParser m_parser;
    int m_badChecksumsCounted = 0; // of the parser's, added to m_counters (reader thread only)

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Outgoing> m_outgoing; // ordered by due time
    int m_heartbeatPeriodMs;
    bool m_stopping = false;
    std::atomic<bool> m_finished{false};
    bool m_closed = false;
    std::thread m_reader;
    std::thread m_writer;
};

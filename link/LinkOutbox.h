#pragma once

#include "link/CommandFrames.h"
#include "link/LinkThreads.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

// The one way down to the wire. Senders post records to the outbox of the
// open link and return at once; one writer thread per link drains it with
// the processor's pacing rule (one command in flight: the previous reply, at
// most 2000 ms, then the next command anyway). Below it a wire, chosen once
// when the link opens, wraps a record for its transport.
namespace fx {

class Link;

// What a record carries: a command record (command record, DSP write or
// short command), or bytes for the processor's radio module.
enum class RecordKind { Command, Radio };

// The transport below the outbox. USB: the output report (report id 2, the
// record, zeros to 61 bytes); network: the tagged record in a frame.
class ILinkWire {
public:
    virtual ~ILinkWire() = default;
    // Writes one record whole; true when it went out.
    virtual bool WriteRecord(RecordKind kind, const uint8_t* bytes, int count) = 0;
};

// Where the senders hand their records: the link's outbox, or a recording
// one a test installs.
class IRecordSink {
public:
    virtual ~IRecordSink() = default;
    // Queued behind what waits (or coalesced into it); never waits.
    virtual void Post(const uint8_t* record, int count) = 0;
    // Written at once on the calling thread, unpaced (the reader thread's
    // acknowledgement of a radio frame).
    virtual void WriteNow(RecordKind kind, const uint8_t* bytes, int count) = 0;
};

// A latest-value queue: while coalescing is on (g_bCoalesce, and no
// whole-image job running: g_bQueuedSend), a parameter write (DSP write 9 or
// panel write 133) replaces a waiting write with the same record head
// (code, address or block and parameter, length) in its place. It never
// reaches past a waiting record of another kind, so a change never jumps a
// mode command, a request or an image write; nothing but a superseded
// parameter write is ever dropped.
class LinkOutbox : public IRecordSink {
public:
    explicit LinkOutbox(Link& link) : m_link(link) {}
    ~LinkOutbox() override;
    LinkOutbox(const LinkOutbox&) = delete;
    LinkOutbox& operator=(const LinkOutbox&) = delete;

    // The transport's debug lines: a reply that did not come in time, and
    // the writer thread leaving (empty: none).
    struct Lines {
        std::string replyTimeout;
        std::string writerEnd;
    };

    // Serves a link that has just opened: an empty queue and a writer thread
    // over wire.
    void Open(std::shared_ptr<ILinkWire> wire, Lines lines);
    // The link went: what still waits is dropped, the writer leaves and
    // every waiter wakes. Never blocks (any thread may call it).
    void Stop();
    // Stop, then waits a bounded time for the writer thread to end.
    void Close();

    void Post(const uint8_t* record, int count) override;
    void WriteNow(RecordKind kind, const uint8_t* bytes, int count) override;

    // The last record of a link (the let-go command): what still waits is
    // dropped, and the record leaves after the reply in flight (at most the
    // reply wait). Returns once it went out, or the link went.
    void PostLast(const uint8_t* record, int count);

    // A mark of everything posted so far.
    uint64_t Mark() const;
    // Whether every record up to the mark went out (or was dropped by a stop).
    bool Written(uint64_t mark) const;
    // Waits up to timeoutMs of link time until every record up to the mark
    // went out; false when it did not or the outbox stopped first.
    bool WaitWritten(uint64_t mark, int timeoutMs);

private:
    struct Entry {
        uint64_t ticket = 0;
        int length = 0;
        std::array<uint8_t, kMaxRecordSize> bytes{};
    };

    uint64_t Enqueue(const uint8_t* record, int count);
    bool Coalesce(const uint8_t* record, int count);
    void RunWriter(uint64_t session, const std::shared_ptr<ILinkWire>& wire, const Lines& lines);
    bool Serves(uint64_t session) const { return m_open && m_session == session; }

    Link& m_link;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Entry> m_queue;
    uint64_t m_posted = 0;  // tickets handed out, one per queued record
    uint64_t m_written = 0; // every ticket up to this one went out (or was dropped)
    uint64_t m_session = 0;
    bool m_open = false;
    std::shared_ptr<ILinkWire> m_wire;
    LinkThreads m_writers;
};

// The current link's outbox (link/Link.h).
LinkOutbox& Outbox();

// The sink the senders use: the outbox, unless a test installed another
// (nullptr restores the outbox).
void SetRecordSink(IRecordSink* sink);
IRecordSink& RecordSink();

// Clears the coalescing switch (g_bCoalesce) while it lives, then puts it
// back: a sequence of writes that must all arrive, in order, even where a
// later one has the head of an earlier one (the bass boost's six writes, the
// room plan's buttons).
class CoalescingOff {
public:
    CoalescingOff();
    ~CoalescingOff();
    CoalescingOff(const CoalescingOff&) = delete;
    CoalescingOff& operator=(const CoalescingOff&) = delete;

private:
    bool m_previous;
};

// Waits until every record posted so far went out: what the jobs and the
// confirmed changes do before they wait for an answer, on their own thread.
// Returns at once when no link is open (nothing can go out); false when the
// link went first.
bool WaitAllWritten();

} // namespace fx

#pragma once

#include "link/CommandFrames.h"
#include "link/WakeList.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The one way down to the wire. Senders post records to the outbox of the
// open link and return at once; the event loop (link/LinkLoop.h) drains it
// with the processor's pacing rule (one command in flight: the previous
// reply, at most 2000 ms, then the next command anyway), a writer on no
// thread of its own. Below it a wire, chosen once
// when the link opens, wraps a record for its transport.
//
// The outbox knows which command each reply answers: the one in flight. A
// reply answers it when it repeats its code (an echo, a data reply, 9 for a
// DSP write), when it is the generic 20 and the command is a change, or when
// it is an error report (10) naming its code. A change whose answer was given
// up may still be answered late, and a late generic 20 cannot say whose it
// is: before the next change goes out the outbox resynchronises with a status
// request, and everything that comes before its distinct answer is late.
// A command posted for confirmation gets a ticket that only its own answer,
// its own time-out or the link going settles.
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

// How a confirmed command ended.
struct CommandAnswer {
    enum class Outcome { Pending, Answered, Refused, NoAnswer, LinkGone };
    Outcome outcome = Outcome::Pending;
    std::array<uint8_t, 3> error{}; // of a refusal: error code, command bytes 1 and 2
};

// Whose answer a reply was, as the outbox matched it (LinkOutbox::NoteReply).
struct ReplyMatch {
    // It answered the command in flight (or the outbox's own status request).
    bool answeredInFlight = false;
    // That command's ticket when it was posted for confirmation, else 0.
    uint64_t ticket = 0;
};

// Whether a command changes something (may be answered with the generic 20),
// rather than asking for data that comes under its own code.
bool IsChangeCommand(uint8_t code);

// The one rule: a reply answers a command when it repeats its code, when it
// is the generic 20 and the command is a change, or when it is an error
// report (10) naming its code (error: record bytes 2..4).
bool AnswersCommand(uint8_t command, uint8_t code, const std::array<uint8_t, 3>& error);

// While one lives, every record this thread posts (to any outbox) is posted
// for confirmation and its ticket kept here, in order.
class ConfirmScope {
public:
    explicit ConfirmScope(std::vector<uint64_t>& tickets);
    ~ConfirmScope();
    ConfirmScope(const ConfirmScope&) = delete;
    ConfirmScope& operator=(const ConfirmScope&) = delete;

private:
    std::vector<uint64_t>* m_previous;
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
    explicit LinkOutbox(Link& link);
    ~LinkOutbox() override;
    LinkOutbox(const LinkOutbox&) = delete;
    LinkOutbox& operator=(const LinkOutbox&) = delete;

    // The transport's debug lines: a reply that did not come in time, and
    // the writer thread leaving (empty: none).
    struct Lines {
        std::string replyTimeout;
        std::string writerEnd;
    };

    // Serves a link that has just opened: an empty queue and a writer over
    // wire.
    void Open(std::shared_ptr<ILinkWire> wire, Lines lines);
    // The link went: what still waits is dropped, the writer leaves and
    // every waiter wakes. Never blocks (any thread may call it).
    void Stop();
    // Stop, then waits until a write in progress has ended.
    void Close();

    void Post(const uint8_t* record, int count) override;
    void WriteNow(RecordKind kind, const uint8_t* bytes, int count) override;

    // The last record of a link (the let-go command): what still waits is
    // dropped, and the record leaves after the reply in flight (at most the
    // reply wait). Returns once it went out, or the link went.
    void PostLast(const uint8_t* record, int count);

    // Waits for the answer to a confirmed command: up to timeoutMs of link
    // time from when it was written (it first waits to be written). Refused
    // only by an error report naming its code; NoAnswer after its time-out
    // (the next record then goes out at once); LinkGone when the link went.
    CommandAnswer WaitAnswer(uint64_t ticket, int timeoutMs, bool keepWhenGivenUp = false);
    // The same without waiting: Pending while the command is still waited for.
    CommandAnswer PollAnswer(uint64_t ticket, int timeoutMs, bool keepWhenGivenUp = false);
    // A command waited for with keepWhenGivenUp whose wait ended in NoAnswer:
    // its late answer, when one came that can only be its own (it was the one
    // change given up before the outbox resynchronised), else NoAnswer. The
    // ticket is forgotten.
    CommandAnswer TakeLateAnswer(uint64_t ticket);
    // When a confirmed command was written (link time), -1 while it waits
    // (or its ticket is gone).
    int64_t WrittenAtMs(uint64_t ticket) const;
    // Forgets a ticket nobody will wait for.
    void Abandon(uint64_t ticket);
    // The dispatcher's note of every reply (error: record bytes 2..4). When
    // it answers the command in flight, that one is done and the next record
    // may go; true then. match (when given) says whose answer it was.
    bool NoteReply(uint8_t code, const std::array<uint8_t, 3>& error, ReplyMatch* match = nullptr);
    // The command in flight is waited for no more.
    void GiveUpInFlight();
    // Wakes the waiters for answers (the link went).
    void WakeWaiters();

    // The tasks waiting for a record to be written (link/LinkAwait.h).
    WakeList& Wakes() { return m_wakes; }

    // Runs a network receive of the link, on the writer's strand
    // (link/LinkOutboxStrand.h): a reply it takes that lets the next record
    // go writes that record at the receive's end, in the same handler.
    void TakeReplies(const std::function<void()>& receive);

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
        bool confirmed = false; // a waiter has its ticket: never replaced
        int length = 0;
        std::array<uint8_t, kMaxRecordSize> bytes{};
    };
    // The command written last whose answer has not come.
    struct InFlight {
        bool active = false;
        bool resync = false; // the status request of a resynchronisation
        uint8_t code = 0;
        uint64_t ticket = 0; // of a confirmed command, else 0
    };
    struct Ticket {
        CommandAnswer answer;
        int64_t writtenMs = -1;
        bool trusted = true; // written when no late answer could be taken for its own
    };

    uint64_t Enqueue(const uint8_t* record, int count, bool confirmed);
    bool Answers(uint8_t code, const std::array<uint8_t, 3>& error) const;
    // Both true when a ticket was settled.
    bool NoteLateAnswer(uint8_t code, const std::array<uint8_t, 3>& error);
    CommandAnswer PollAnswerLocked(uint64_t ticket, int timeoutMs, bool keepWhenGivenUp,
                                   uint64_t session);
    bool SettleTicket(uint64_t ticket, CommandAnswer answer);
    void GiveUpInFlightLocked();
    void WriteResync(ILinkWire& wire);
    bool Coalesce(const uint8_t* record, int count);
    struct Pacer;
    // The writer's step on the loop: writes what may go now, else waits.
    void Pump(uint64_t session, bool replyWaitOver);
    void SchedulePump(uint64_t session, bool replyWaitOver);
    void AwaitReply(uint64_t session);
    bool AwaitReplyFromHere();
    void RunReplyTimer();
    void GoOnAfterReply();
    friend class OutboxStrandAccess; // link/LinkOutboxStrand.h
    bool Serves(uint64_t session) const { return m_open && m_session == session; }

    Link& m_link;
    WakeList m_wakes;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Entry> m_queue;
    InFlight m_inFlight;
    bool m_uncertain = false; // a change was given up: its answer may still come
    // The changes given up since the outbox last resynchronised (code, ticket or 0).
    std::vector<std::pair<uint8_t, uint64_t>> m_givenUp;
    std::map<uint64_t, Ticket> m_tickets; // of confirmed commands
    uint64_t m_posted = 0;                // tickets handed out, one per queued record
    uint64_t m_written = 0;               // every ticket up to this one went out (or was dropped)
    uint64_t m_session = 0;
    bool m_open = false;
    std::shared_ptr<ILinkWire> m_wire;
    Lines m_lines;
    bool m_pumpScheduled = false;
    bool m_awaiting = false;        // the writer waits for the previous reply
    uint64_t m_awaitSession = 0;    // of that wait
    std::shared_ptr<Pacer> m_pacer; // the loop's side; outlives the outbox in its handlers
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

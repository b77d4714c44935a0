#include "link/LinkOutbox.h"
#include "link/LinkOutboxStrand.h"

#include "link/DebugLog.h"
#include "link/Link.h"
#include "link/LinkClock.h"
#include "link/LinkLoop.h"
#include "link/LinkState.h"

#include <asio/bind_executor.hpp>
#include <asio/defer.hpp>
#include <asio/steady_timer.hpp>
#include <asio/strand.hpp>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace fx {
namespace {

// The record head that keys the latest value: code, address high and low,
// length (a DSP write: 9, 0, block, parameter).
constexpr int kKeySize = 4;
// A waiter looks at the queue again at least this often (link time).
constexpr int kWaitSliceMs = 1000;
// The let-go waits out the reply in flight, and the write.
constexpr int kLastRecordWaitMs = kReplyWaitMs + kWaitSliceMs;

bool IsParameterWrite(const uint8_t* record, int count) {
    return count >= kKeySize && (record[0] == CMD_DSP_WRITE || record[0] == CMD_WRITE_PANEL);
}

bool SameHead(const uint8_t* a, const uint8_t* b) {
    return std::memcmp(a, b, kKeySize) == 0;
}

constexpr uint8_t kGenericAnswer = 20;
constexpr uint8_t kErrorReport = 10;

// The tickets this thread is collecting (ConfirmScope).
thread_local std::vector<uint64_t>* t_confirming = nullptr;

} // namespace

ConfirmScope::ConfirmScope(std::vector<uint64_t>& tickets) : m_previous(t_confirming) {
    t_confirming = &tickets;
}

ConfirmScope::~ConfirmScope() {
    t_confirming = m_previous;
}

// The outbox's side on the event loop: its strand and the timer of the reply
// wait. Handlers hold it and find the outbox through owner, which the
// outbox clears when it goes; a handler runs holding the mutex.
struct LinkOutbox::Pacer {
    using Clock = std::chrono::steady_clock;

    explicit Pacer(asio::io_context& context) : strand(asio::make_strand(context)), timer(strand) {}

    // Runs work on the strand while the outbox lives; asked on a loop
    // thread, as that thread's next work.
    template <typename Work> static void Post(const std::shared_ptr<Pacer>& pacer, Work work) {
        asio::defer(pacer->strand, [pacer, work = std::move(work)] {
            std::lock_guard lock(pacer->mutex);
            if (pacer->owner) work(*pacer->owner);
        });
    }

    asio::strand<asio::io_context::executor_type> strand;
    // Runs out at the latest at the reply wait's end; it is never stopped: a
    // reply that ends the wait only clears m_awaiting, and a timer that runs
    // out before the wait's end (a later wait's) waits on until then.
    asio::steady_timer timer;
    std::mutex mutex;
    LinkOutbox* owner = nullptr;
    // Under the outbox's m_mutex.
    bool timerRunning = false;
    Clock::time_point timerExpiry; // while it runs
    Clock::time_point replyWaitEnd;
};

namespace {

// The outbox whose link's network receive this thread runs now, and whether
// a reply it took lets the writer go on (LinkOutbox::TakeReplies).
thread_local const void* t_receivingFor = nullptr;
thread_local bool t_writerReleased = false;

} // namespace

LinkOutbox::LinkOutbox(Link& link)
    : m_link(link), m_pacer(std::make_shared<Pacer>(DefaultLinkLoop().Context())) {
    m_pacer->owner = this;
    // The previous reply came (or the link went): the writer goes on, at the
    // end of the receive that took the reply, or in a step of its own.
    m_link.ReplyEvent().SetListener([pacer = m_pacer] {
        if (t_receivingFor == pacer.get()) {
            t_writerReleased = true;
            return;
        }
        Pacer::Post(pacer, [](LinkOutbox& outbox) { outbox.GoOnAfterReply(); });
    });
}

// On the loop, holding the pacer's mutex.
void LinkOutbox::GoOnAfterReply() {
    uint64_t session;
    {
        std::lock_guard lock(m_mutex);
        m_awaiting = false;
        session = m_session;
    }
    Pump(session, false);
}

void LinkOutbox::TakeReplies(const std::function<void()>& receive) {
    const std::shared_ptr<Pacer> pacer = m_pacer; // the outbox may go meanwhile
    t_receivingFor = pacer.get();
    t_writerReleased = false;
    receive();
    t_receivingFor = nullptr;
    if (!std::exchange(t_writerReleased, false)) return;
    std::lock_guard lock(pacer->mutex);
    if (pacer->owner) pacer->owner->GoOnAfterReply();
}

class OutboxStrandAccess {
public:
    static asio::strand<asio::io_context::executor_type> Of(LinkOutbox& outbox) {
        return outbox.m_pacer->strand;
    }
};

asio::strand<asio::io_context::executor_type> OutboxStrand(LinkOutbox& outbox) {
    return OutboxStrandAccess::Of(outbox);
}

LinkOutbox::~LinkOutbox() {
    Stop();
    m_link.ReplyEvent().SetListener({});
    // A handler still writing ends first (the link's transport already shut).
    std::lock_guard lock(m_pacer->mutex);
    m_pacer->owner = nullptr;
}

void LinkOutbox::Open(std::shared_ptr<ILinkWire> wire, Lines lines) {
    Close();
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
        m_written = m_posted;
        ++m_session;
        m_open = true;
        m_wire = std::move(wire);
        m_lines = std::move(lines);
        m_inFlight = {};
        m_uncertain = false;
        m_givenUp.clear();
        m_awaiting = false;
    }
}

void LinkOutbox::Stop() {
    std::string writerEnd;
    {
        std::lock_guard lock(m_mutex);
        if (!m_open) return;
        m_open = false;
        ++m_session;
        m_queue.clear();
        m_written = m_posted;
        m_wire.reset();
        m_inFlight = {};
        // A reply wait's timer still running ends as nobody's: it finds no
        // wait, or the next session's own, which it waits out.
        m_awaiting = false;
        writerEnd = m_lines.writerEnd;
        for (auto& [ticket, state] : m_tickets)
            if (state.answer.outcome == CommandAnswer::Outcome::Pending)
                state.answer.outcome = CommandAnswer::Outcome::LinkGone;
    }
    m_changed.notify_all();
    m_wakes.WakeAll();
    if (!writerEnd.empty()) DebugLogText(writerEnd);
}

void LinkOutbox::Close() {
    Stop();
    // A write in progress ends before the link's transport goes.
    std::lock_guard lock(m_pacer->mutex);
}

void LinkOutbox::Post(const uint8_t* record, int count) {
    const bool confirmed = t_confirming != nullptr;
    const uint64_t ticket = Enqueue(record, count, confirmed);
    // No link: a ticket of 0, which no answer settles.
    if (confirmed) t_confirming->push_back(ticket);
}

uint64_t LinkOutbox::Enqueue(const uint8_t* record, int count, bool confirmed) {
    count = std::clamp(count, 0, kMaxRecordSize);
    uint64_t ticket = 0;
    {
        std::lock_guard lock(m_mutex);
        if (!m_open) return 0; // no link: nothing can go out
        const LinkFlags& flags = m_link.Flags();
        if (!confirmed && flags.coalesce && flags.queuedSend && Coalesce(record, count)) return 0;
        Entry& entry = m_queue.emplace_back();
        entry.ticket = ticket = ++m_posted;
        entry.confirmed = confirmed;
        if (confirmed) m_tickets[ticket] = {};
        entry.length = count;
        if (count > 0) std::memcpy(entry.bytes.data(), record, static_cast<size_t>(count));
        if (!AwaitReplyFromHere()) SchedulePump(m_session, false);
    }
    m_changed.notify_all();
    m_wakes.WakeAll();
    return ticket;
}

// Under m_mutex, off the loop's strand: what the writer's step would do for a
// record just queued behind a command whose reply has not come, done here
// when the reply-wait timer already runs (it needs the strand only to be
// set). False when the step must run on the loop.
bool LinkOutbox::AwaitReplyFromHere() {
    if (m_awaiting) return true; // the reply or its time-out moves the writer on
    if (m_pumpScheduled || !m_pacer->timerRunning || m_link.ReplyEvent().IsSet()) return false;
    const auto end = Pacer::Clock::now() + std::chrono::milliseconds(LinkRealMs(kReplyWaitMs));
    if (m_pacer->timerExpiry > end) return false;
    m_awaiting = true;
    m_awaitSession = m_session;
    m_pacer->replyWaitEnd = end;
    return true;
}

// Under m_mutex. The newest value takes the place of a waiting write with the
// same head; the search ends at the first waiting record that is no
// parameter write, which keeps every change on its side of it.
bool LinkOutbox::Coalesce(const uint8_t* record, int count) {
    if (!IsParameterWrite(record, count)) return false;
    for (auto it = m_queue.rbegin(); it != m_queue.rend(); ++it) {
        // A confirmed write is waited for: nothing replaces or passes it.
        if (it->confirmed || !IsParameterWrite(it->bytes.data(), it->length)) return false;
        if (!SameHead(it->bytes.data(), record)) continue;
        it->bytes.fill(0);
        std::memcpy(it->bytes.data(), record, static_cast<size_t>(count));
        it->length = count;
        return true;
    }
    return false;
}

CoalescingOff::CoalescingOff() : m_previous(g_bCoalesce().exchange(false)) {}

CoalescingOff::~CoalescingOff() {
    g_bCoalesce() = m_previous;
}

void LinkOutbox::WriteNow(RecordKind kind, const uint8_t* bytes, int count) {
    std::shared_ptr<ILinkWire> wire;
    {
        std::lock_guard lock(m_mutex);
        wire = m_wire;
    }
    if (wire) wire->WriteRecord(kind, bytes, count);
}

void LinkOutbox::PostLast(const uint8_t* record, int count) {
    count = std::clamp(count, 0, kMaxRecordSize);
    uint64_t ticket;
    {
        std::lock_guard lock(m_mutex);
        if (!m_open) return;
        for (const Entry& dropped : m_queue)
            if (dropped.confirmed) SettleTicket(dropped.ticket, {CommandAnswer::Outcome::LinkGone});
        m_queue.clear();
        m_written = m_posted;
        Entry& entry = m_queue.emplace_back();
        entry.ticket = ticket = ++m_posted;
        entry.length = count;
        if (count > 0) std::memcpy(entry.bytes.data(), record, static_cast<size_t>(count));
        SchedulePump(m_session, false);
    }
    m_changed.notify_all();
    m_wakes.WakeAll();
    WaitWritten(ticket, kLastRecordWaitMs);
}

uint64_t LinkOutbox::Mark() const {
    std::lock_guard lock(m_mutex);
    return m_posted;
}

bool LinkOutbox::Written(uint64_t mark) const {
    std::lock_guard lock(m_mutex);
    return m_written >= mark;
}

bool LinkOutbox::WaitWritten(uint64_t mark, int timeoutMs) {
    std::unique_lock lock(m_mutex);
    const uint64_t session = m_session;
    const int64_t deadline = LinkNowMs() + timeoutMs;
    for (;;) {
        if (m_written >= mark) return m_session == session;
        if (!Serves(session)) return false;
        const int64_t left = deadline - LinkNowMs();
        if (left <= 0) return false;
        LinkWaitCondition(m_changed, lock, static_cast<int>(std::min<int64_t>(left, kWaitSliceMs)),
                          [&] { return m_written >= mark || !Serves(session); });
    }
}

// Under m_mutex: one step of the writer is due on the loop.
void LinkOutbox::SchedulePump(uint64_t session, bool replyWaitOver) {
    if (m_pumpScheduled) return;
    m_pumpScheduled = true;
    Pacer::Post(m_pacer, [session, replyWaitOver](LinkOutbox& outbox) {
        {
            std::lock_guard lock(outbox.m_mutex);
            outbox.m_pumpScheduled = false;
        }
        outbox.Pump(session, replyWaitOver);
    });
}

// Under m_mutex, on the loop: one command in flight, so the next waits for
// the previous reply, at most 2000 ms. The timer is set again only when it
// does not run or would run out after this wait's end (the link's clock
// changed): a reply costs no timer of its own.
void LinkOutbox::AwaitReply(uint64_t session) {
    m_awaiting = true;
    m_awaitSession = session;
    m_pacer->replyWaitEnd =
        Pacer::Clock::now() + std::chrono::milliseconds(LinkRealMs(kReplyWaitMs));
    if (!m_pacer->timerRunning || m_pacer->timer.expiry() > m_pacer->replyWaitEnd) RunReplyTimer();
}

// Under m_mutex, on the loop.
void LinkOutbox::RunReplyTimer() {
    m_pacer->timerRunning = true;
    m_pacer->timerExpiry = m_pacer->replyWaitEnd;
    m_pacer->timer.expires_at(m_pacer->replyWaitEnd);
    m_pacer->timer.async_wait(
        asio::bind_executor(m_pacer->strand, [pacer = m_pacer](const asio::error_code& error) {
            std::lock_guard handlerLock(pacer->mutex);
            LinkOutbox* outbox = pacer->owner;
            if (error || !outbox) return;
            uint64_t session;
            {
                std::lock_guard lock(outbox->m_mutex);
                pacer->timerRunning = false;
                if (!outbox->m_awaiting) return;
                // A later wait than the one that started the timer: it waits on.
                if (Pacer::Clock::now() < pacer->replyWaitEnd) return outbox->RunReplyTimer();
                outbox->m_awaiting = false;
                outbox->GiveUpInFlightLocked();
                session = outbox->m_awaitSession;
            }
            DebugLogText(outbox->m_lines.replyTimeout);
            outbox->Pump(session, true);
        }));
}

// On the loop. Writes what may go now: the previous reply came (or its wait
// is over) and something waits; the record stays queued while the reply is
// awaited, so newer values still replace it.
void LinkOutbox::Pump(uint64_t session, bool replyWaitOver) {
    LinkScope scope(m_link);
    for (;;) {
        Entry entry;
        bool trusted = true;
        bool resync = false;
        std::shared_ptr<ILinkWire> wire;
        {
            std::lock_guard lock(m_mutex);
            if (!Serves(session) || m_queue.empty() || m_awaiting) return;
            if (!replyWaitOver && !m_link.ReplyEvent().Wait(0)) return AwaitReply(session);
            replyWaitOver = false;
            wire = m_wire;
            resync = m_uncertain && IsChangeCommand(m_queue.front().bytes[0]);
            if (resync) {
                // A late answer of the change given up could pass for this one's:
                // first the status request whose distinct answer marks the rest late.
                m_inFlight = {true, true, CMD_GET_STATUS, 0};
            } else {
                entry = m_queue.front();
                m_queue.pop_front();
                trusted = !(m_uncertain && IsChangeCommand(entry.bytes[0]));
                m_inFlight = {true, false, entry.bytes[0], entry.confirmed ? entry.ticket : 0};
            }
        }
        if (resync) {
            WriteResync(*wire);
            continue;
        }
        m_link.Flags().awaitReply = true;
        wire->WriteRecord(RecordKind::Command, entry.bytes.data(), entry.length);
        {
            std::lock_guard lock(m_mutex);
            if (Serves(session)) m_written = std::max(m_written, entry.ticket);
            if (auto it = m_tickets.find(entry.ticket); entry.confirmed && it != m_tickets.end()) {
                it->second.writtenMs = LinkNowMs();
                it->second.trusted = trusted;
            }
        }
        m_changed.notify_all();
        m_wakes.WakeAll();
    }
}

// The status request whose distinct answer marks that every reply before it
// is late (the outbox already waits for it).
void LinkOutbox::WriteResync(ILinkWire& wire) {
    m_link.Flags().awaitReply = true;
    const uint8_t request[] = {CMD_GET_STATUS};
    wire.WriteRecord(RecordKind::Command, request, sizeof request);
}

// Requests whose answer is data under their own code; every other command
// changes something and may be answered with the generic 20.
bool IsChangeCommand(uint8_t code) {
    switch (code) {
    case CMD_GET_MODE:
    case CMD_GET_STATUS:
    case CMD_READ_IMAGE:
    case CMD_GET_REMOTE_KEYS:
    case CMD_GET_VERSION2:
    case CMD_GET_CMD_VERSION:
    case CMD_GET_MODULE_NAME:
    case CMD_GET_VERSION1:
    case CMD_GET_MACHINE_SETTINGS:
        return false;
    default:
        return true;
    }
}

bool AnswersCommand(uint8_t command, uint8_t code, const std::array<uint8_t, 3>& error) {
    if (code == kErrorReport) return error[1] == command;
    if (code == command) return true;
    return code == kGenericAnswer && IsChangeCommand(command);
}

// Under m_mutex.
bool LinkOutbox::Answers(uint8_t code, const std::array<uint8_t, 3>& error) const {
    if (!m_inFlight.active) return false;
    if (m_inFlight.resync) return code == CMD_GET_STATUS;
    return AnswersCommand(m_inFlight.code, code, error);
}

// Under m_mutex: a reply that answers nothing in flight while a change given
// up may still be answered. With exactly one given up since the outbox last
// resynchronised, and nothing written since but the status request, an
// answer that fits it can only be its own.
bool LinkOutbox::NoteLateAnswer(uint8_t code, const std::array<uint8_t, 3>& error) {
    if (!m_uncertain || m_givenUp.size() != 1) return false;
    if (m_inFlight.active && !m_inFlight.resync) return false;
    const auto [command, ticket] = m_givenUp.front();
    if (!AnswersCommand(command, code, error)) return false;
    m_givenUp.clear(); // its one answer came
    if (ticket == 0) return false;
    using Outcome = CommandAnswer::Outcome;
    return SettleTicket(ticket, code == kErrorReport ? CommandAnswer{Outcome::Refused, error}
                                                     : CommandAnswer{Outcome::Answered, {}});
}

// Under m_mutex.
bool LinkOutbox::SettleTicket(uint64_t ticket, CommandAnswer answer) {
    auto it = m_tickets.find(ticket);
    if (it == m_tickets.end() || it->second.answer.outcome != CommandAnswer::Outcome::Pending)
        return false;
    // An answer that may be a late one of another change confirms nothing.
    if (answer.outcome == CommandAnswer::Outcome::Answered && !it->second.trusted)
        answer.outcome = CommandAnswer::Outcome::NoAnswer;
    it->second.answer = answer;
    return true;
}

bool LinkOutbox::NoteReply(uint8_t code, const std::array<uint8_t, 3>& error, ReplyMatch* match) {
    bool answered = false;
    bool settled = false;
    {
        std::lock_guard lock(m_mutex);
        if (!m_inFlight.active) {
            settled = NoteLateAnswer(code, error);
            answered = true; // nothing waits: the writer need not either
        } else if (Answers(code, error)) {
            answered = true;
            if (match) *match = {true, m_inFlight.resync ? 0 : m_inFlight.ticket};
            if (m_inFlight.resync) {
                m_uncertain = false;
                m_givenUp.clear();
            } else if (m_inFlight.ticket != 0) {
                using Outcome = CommandAnswer::Outcome;
                settled = SettleTicket(m_inFlight.ticket,
                                       code == kErrorReport ? CommandAnswer{Outcome::Refused, error}
                                                            : CommandAnswer{Outcome::Answered, {}});
            }
            m_inFlight = {};
        } else {
            settled = NoteLateAnswer(code, error);
        }
    }
    if (settled) {
        // Only a settled ticket is news to the tasks waiting here; a task
        // waiting for its record to be written hears of the write.
        m_changed.notify_all();
        m_wakes.WakeAll();
    }
    if (!answered) return false;
    m_link.ReplyEvent().Set();
    return true;
}

// Under m_mutex.
void LinkOutbox::GiveUpInFlightLocked() {
    if (!m_inFlight.active) return;
    // A given-up change may still be answered, and that answer taken for the next.
    if (m_inFlight.resync || IsChangeCommand(m_inFlight.code)) m_uncertain = true;
    if (!m_inFlight.resync && IsChangeCommand(m_inFlight.code))
        m_givenUp.emplace_back(m_inFlight.code, m_inFlight.ticket);
    m_inFlight = {};
}

void LinkOutbox::GiveUpInFlight() {
    std::lock_guard lock(m_mutex);
    GiveUpInFlightLocked();
}

void LinkOutbox::WakeWaiters() {
    { std::lock_guard lock(m_mutex); }
    m_changed.notify_all();
    m_wakes.WakeAll();
}

int64_t LinkOutbox::WrittenAtMs(uint64_t ticket) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_tickets.find(ticket);
    return it == m_tickets.end() ? -1 : it->second.writtenMs;
}

void LinkOutbox::Abandon(uint64_t ticket) {
    std::lock_guard lock(m_mutex);
    m_tickets.erase(ticket);
    for (Entry& entry : m_queue)
        if (entry.ticket == ticket) entry.confirmed = false;
    if (m_inFlight.ticket == ticket) m_inFlight.ticket = 0;
}

CommandAnswer LinkOutbox::TakeLateAnswer(uint64_t ticket) {
    using Outcome = CommandAnswer::Outcome;
    std::lock_guard lock(m_mutex);
    auto it = m_tickets.find(ticket);
    if (it == m_tickets.end()) return {Outcome::NoAnswer};
    CommandAnswer answer = it->second.answer;
    m_tickets.erase(it);
    if (answer.outcome == Outcome::Pending) answer.outcome = Outcome::NoAnswer;
    return answer;
}

// Under m_mutex: the ticket's outcome now, Pending while it is still waited for.
CommandAnswer LinkOutbox::PollAnswerLocked(uint64_t ticket, int timeoutMs, bool keepWhenGivenUp,
                                           uint64_t session) {
    using Outcome = CommandAnswer::Outcome;
    auto it = m_tickets.find(ticket);
    if (it == m_tickets.end()) return {Outcome::LinkGone};
    Ticket& state = it->second;
    if (state.answer.outcome == Outcome::Pending && (!Serves(session) || !m_link.Usable()))
        state.answer.outcome = Outcome::LinkGone;
    if (state.answer.outcome == Outcome::Pending && state.writtenMs >= 0 &&
        LinkNowMs() - state.writtenMs >= timeoutMs) {
        if (m_inFlight.ticket == ticket) {
            // Nothing waits for it any more: the next record goes out at once.
            GiveUpInFlightLocked();
            m_link.Flags().awaitReply = false;
            m_link.ReplyEvent().Set();
        }
        // Kept pending, a late answer that can only be its own still settles it.
        if (keepWhenGivenUp) return {Outcome::NoAnswer};
        state.answer.outcome = Outcome::NoAnswer;
    }
    if (state.answer.outcome == Outcome::Pending) return {Outcome::Pending};
    const CommandAnswer answer = state.answer;
    m_tickets.erase(it);
    return answer;
}

CommandAnswer LinkOutbox::PollAnswer(uint64_t ticket, int timeoutMs, bool keepWhenGivenUp) {
    std::lock_guard lock(m_mutex);
    return PollAnswerLocked(ticket, timeoutMs, keepWhenGivenUp, m_session);
}

CommandAnswer LinkOutbox::WaitAnswer(uint64_t ticket, int timeoutMs, bool keepWhenGivenUp) {
    using Outcome = CommandAnswer::Outcome;
    std::unique_lock lock(m_mutex);
    const uint64_t session = m_session;
    for (;;) {
        const CommandAnswer answer = PollAnswerLocked(ticket, timeoutMs, keepWhenGivenUp, session);
        if (answer.outcome != Outcome::Pending) return answer;
        const int64_t writtenMs = m_tickets[ticket].writtenMs;
        const int64_t left = writtenMs >= 0 ? writtenMs + timeoutMs - LinkNowMs() : kWaitSliceMs;
        LinkWaitCondition(m_changed, lock,
                          static_cast<int>(std::clamp<int64_t>(left, 1, kWaitSliceMs)), [&] {
                              auto found = m_tickets.find(ticket);
                              return found == m_tickets.end() ||
                                     found->second.answer.outcome != Outcome::Pending ||
                                     found->second.writtenMs != writtenMs || !Serves(session);
                          });
    }
}

LinkOutbox& Outbox() {
    return CurrentLink().Outbox();
}

void SetRecordSink(IRecordSink* sink) {
    CurrentLink().SetRecordSink(sink);
}

IRecordSink& RecordSink() {
    return CurrentLink().RecordSink();
}

bool WaitAllWritten() {
    Link& link = CurrentLink();
    LinkOutbox& outbox = link.Outbox();
    const uint64_t mark = outbox.Mark();
    // Every record ahead leaves within one reply wait; a stop ends the wait at once.
    while (!outbox.WaitWritten(mark, kReplyWaitMs + kWaitSliceMs)) {
        if (outbox.Written(mark) || !link.Usable()) return false; // dropped, or no link to wait for
    }
    return true;
}

} // namespace fx

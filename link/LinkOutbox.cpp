#include "link/LinkOutbox.h"

#include "link/DebugLog.h"
#include "link/Link.h"
#include "link/LinkClock.h"
#include "link/LinkState.h"

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

} // namespace

LinkOutbox::~LinkOutbox() {
    Stop();
    m_writers.WaitAllEnded(kReaderEndWaitMs);
}

void LinkOutbox::Open(std::shared_ptr<ILinkWire> wire, Lines lines) {
    Close();
    uint64_t session;
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
        m_written = m_posted;
        session = ++m_session;
        m_open = true;
        m_wire = wire;
    }
    m_writers.Start([this, session, wire = std::move(wire), lines = std::move(lines)] {
        LinkScope scope(m_link);
        RunWriter(session, wire, lines);
        if (!lines.writerEnd.empty()) DebugLogText(lines.writerEnd);
    });
}

void LinkOutbox::Stop() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_open) return;
        m_open = false;
        ++m_session;
        m_queue.clear();
        m_written = m_posted;
        m_wire.reset();
    }
    m_changed.notify_all();
}

void LinkOutbox::Close() {
    Stop();
    // A writer still busy in a write is joined once it has ended.
    m_writers.WaitAllEnded(kReaderEndWaitMs);
    m_writers.JoinEnded();
}

void LinkOutbox::Post(const uint8_t* record, int count) {
    Enqueue(record, count);
}

uint64_t LinkOutbox::Enqueue(const uint8_t* record, int count) {
    count = std::clamp(count, 0, kMaxRecordSize);
    uint64_t ticket = 0;
    {
        std::lock_guard lock(m_mutex);
        if (!m_open) return 0; // no link: nothing can go out
        const LinkFlags& flags = m_link.Flags();
        if (flags.coalesce && flags.queuedSend && Coalesce(record, count)) return 0;
        Entry& entry = m_queue.emplace_back();
        entry.ticket = ticket = ++m_posted;
        entry.length = count;
        if (count > 0) std::memcpy(entry.bytes.data(), record, static_cast<size_t>(count));
    }
    m_changed.notify_all();
    return ticket;
}

// Under m_mutex. The newest value takes the place of a waiting write with the
// same head; the search ends at the first waiting record that is no
// parameter write, which keeps every change on its side of it.
bool LinkOutbox::Coalesce(const uint8_t* record, int count) {
    if (!IsParameterWrite(record, count)) return false;
    for (auto it = m_queue.rbegin(); it != m_queue.rend(); ++it) {
        if (!IsParameterWrite(it->bytes.data(), it->length)) return false;
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
        m_queue.clear();
        m_written = m_posted;
        Entry& entry = m_queue.emplace_back();
        entry.ticket = ticket = ++m_posted;
        entry.length = count;
        if (count > 0) std::memcpy(entry.bytes.data(), record, static_cast<size_t>(count));
    }
    m_changed.notify_all();
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

void LinkOutbox::RunWriter(uint64_t session, const std::shared_ptr<ILinkWire>& wire,
                           const Lines& lines) {
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return !Serves(session) || !m_queue.empty(); });
            if (!Serves(session)) return;
        }
        // One command in flight: the previous one's reply, at most 2000 ms.
        // The record stays queued meanwhile, so newer values still replace it.
        if (!LinkWaitEvent(m_link.ReplyEvent(), kReplyWaitMs)) DebugLogText(lines.replyTimeout);
        Entry entry;
        {
            std::lock_guard lock(m_mutex);
            if (!Serves(session)) return;
            if (m_queue.empty()) {
                m_link.ReplyEvent().Set(); // nothing went out: the next record need not wait
                continue;
            }
            entry = m_queue.front();
            m_queue.pop_front();
        }
        m_link.Flags().awaitReply = true;
        wire->WriteRecord(RecordKind::Command, entry.bytes.data(), entry.length);
        {
            std::lock_guard lock(m_mutex);
            if (Serves(session)) m_written = std::max(m_written, entry.ticket);
        }
        m_changed.notify_all();
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

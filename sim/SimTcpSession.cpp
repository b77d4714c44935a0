#include "sim/SimTcpSession.h"

#include "link/CommandFrames.h"

#include <algorithm>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr char kHeartbeat[] = "$HB$";
constexpr int kReceiveSize = 512;
// A split reply's first piece: start, length, and the record's prefix, code,
// address and length.
constexpr size_t kSplitHeadSize = 7;
} // namespace

SimTcpSession::SimTcpSession(int socket, SimProcessor& processor, SimTcpCounters& counters,
                             int heartbeatPeriodMs)
    : m_socket(socket), m_processor(processor), m_counters(counters),
      m_parser([this](const uint8_t* payload, int count) { HandlePayload(payload, count); },
               [this] { ++m_counters.heartbeatEchoes; }),
      m_heartbeatPeriodMs(heartbeatPeriodMs) {}

SimTcpSession::~SimTcpSession() {
    Stop();
}

void SimTcpSession::Start() {
    m_reader = std::thread([this] { ReaderThreadProc(); });
    m_writer = std::thread([this] { WriterThreadProc(); });
}

void SimTcpSession::Stop() {
    // Once closed, the descriptor number may already belong to another socket.
    if (m_closed) return;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    // Wakes the reader out of its blocking receive.
    ::shutdown(m_socket, SHUT_RDWR);
    if (m_reader.joinable()) m_reader.join();
    if (m_writer.joinable()) m_writer.join();
    ::close(m_socket);
    m_closed = true;
}

void SimTcpSession::QueueReply(const SimRecord& reply) {
    Enqueue({m_processor.UnsolicitedDue(), SimFrameParser::Frame(reply), true, {}, {}});
}

void SimTcpSession::QueueReply(const SimReply& reply) {
    Outgoing item{reply.due, SimFrameParser::Frame(reply.record), true, {}, {}};
    // A damaged copy: the frame cut short, so its length reaches into the good one.
    if (reply.damagedBefore)
        item.before.assign(item.bytes.begin(), item.bytes.begin() + item.bytes.size() / 2);
    if (reply.heartbeatAfter) item.after = {'$', 'H', 'B', '$'};
    Enqueue(std::move(item));
}

void SimTcpSession::QueueRaw(std::vector<uint8_t> bytes) {
    Enqueue({Clock::now(), std::move(bytes), false, {}, {}});
}

void SimTcpSession::SetHeartbeatPeriod(int periodMs) {
    {
        std::lock_guard lock(m_mutex);
        m_heartbeatPeriodMs = periodMs;
    }
    m_wake.notify_all();
}

void SimTcpSession::Enqueue(Outgoing item) {
    {
        std::lock_guard lock(m_mutex);
        // Keep the queue ordered by due time; equal times keep their order.
        auto position = std::upper_bound(
            m_outgoing.begin(), m_outgoing.end(), item.due,
            [](Clock::time_point due, const Outgoing& queued) { return due < queued.due; });
        m_outgoing.insert(position, std::move(item));
    }
    m_wake.notify_all();
}

void SimTcpSession::ReaderThreadProc() {
    uint8_t buffer[kReceiveSize];
    for (;;) {
        const ssize_t received = ::recv(m_socket, buffer, sizeof buffer, 0);
        if (received <= 0) break;
        m_parser.Feed(buffer, static_cast<int>(received));
        CountBadChecksums();
    }
    m_finished = true;
    m_wake.notify_all();
}

// A damaged frame counts before anything that came behind it is answered,
// so whoever sees that answer sees the count too.
void SimTcpSession::CountBadChecksums() {
    const int seen = m_parser.BadChecksums();
    m_counters.badChecksums += seen - m_badChecksumsCounted;
    m_badChecksumsCounted = seen;
}

void SimTcpSession::HandlePayload(const uint8_t* payload, int count) {
    CountBadChecksums();
    if (count < 1) return;
    if (payload[0] != kNetTagCommand) {
        // Bytes for the radio module (its acknowledgements); nothing answers them.
        ++m_counters.radioFrames;
        return;
    }
    for (const SimReply& reply : m_processor.Answer(payload + 1, count - 1)) QueueReply(reply);
}

void SimTcpSession::WriterThreadProc() {
    std::unique_lock lock(m_mutex);
    auto nextHeartbeat = Clock::now() + std::chrono::milliseconds(m_heartbeatPeriodMs);
    while (!m_stopping && !m_finished) {
        const auto now = Clock::now();
        if (!m_outgoing.empty() && m_outgoing.front().due <= now) {
            Outgoing item = std::move(m_outgoing.front());
            m_outgoing.pop_front();
            lock.unlock();
            if (item.isReply)
                SendReplyFrame(std::move(item));
            else
                SendAll(item.bytes.data(), item.bytes.size());
            lock.lock();
            continue;
        }
        if (m_heartbeatPeriodMs > 0 && nextHeartbeat <= now) {
            nextHeartbeat = now + std::chrono::milliseconds(m_heartbeatPeriodMs);
            lock.unlock();
            if (!m_processor.IsSilent() && SendAll(reinterpret_cast<const uint8_t*>(kHeartbeat), 4))
                ++m_counters.heartbeatsSent;
            lock.lock();
            continue;
        }
        auto wakeAt = m_heartbeatPeriodMs > 0 ? nextHeartbeat : now + std::chrono::hours(1);
        if (!m_outgoing.empty()) wakeAt = std::min(wakeAt, m_outgoing.front().due);
        m_wake.wait_until(lock, wakeAt);
        // A shortened period takes effect at once.
        if (m_heartbeatPeriodMs > 0)
            nextHeartbeat = std::min(nextHeartbeat,
                                     Clock::now() + std::chrono::milliseconds(m_heartbeatPeriodMs));
    }
}

void SimTcpSession::SendReplyFrame(Outgoing item) {
    const SimFaults faults = m_processor.Faults();
    const int number = ++m_counters.replyFrames;
    if (faults.corruptChecksumNumber > 0 && number == faults.corruptChecksumNumber)
        item.bytes.back() ^= 0xFF;
    std::vector<uint8_t> frame = std::move(item.before);
    const size_t splitAt = frame.size() + kSplitHeadSize;
    frame.insert(frame.end(), item.bytes.begin(), item.bytes.end());
    frame.insert(frame.end(), item.after.begin(), item.after.end());
    if (faults.splitReplyNumber > 0 && number == faults.splitReplyNumber &&
        splitAt < frame.size()) {
        if (!SendAll(frame.data(), splitAt)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(faults.pieceGapMs));
        SendAll(frame.data() + splitAt, frame.size() - splitAt);
        return;
    }
    if (faults.pieceSize <= 0) {
        SendAll(frame.data(), frame.size());
        return;
    }
    for (size_t sent = 0; sent < frame.size();) {
        const size_t piece = std::min(frame.size() - sent, static_cast<size_t>(faults.pieceSize));
        if (!SendAll(frame.data() + sent, piece)) return;
        sent += piece;
        if (sent < frame.size())
            std::this_thread::sleep_for(std::chrono::milliseconds(faults.pieceGapMs));
    }
}

bool SimTcpSession::SendAll(const uint8_t* bytes, size_t count) {
    while (count > 0) {
        const ssize_t sent = ::send(m_socket, bytes, count, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes += sent;
        count -= static_cast<size_t>(sent);
    }
    return true;
}

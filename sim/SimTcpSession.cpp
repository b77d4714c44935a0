#include "sim/SimTcpSession.h"

#include "link/CommandFrames.h"
#include "sim/SimEventLoop.h"

#include <asio/buffer.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>

#include <algorithm>
#include <array>
#include <sys/socket.h>
#include <unistd.h>

namespace {
const std::vector<uint8_t> kHeartbeat = {'$', 'H', 'B', '$'};
constexpr size_t kReceiveSize = 512;
// A split reply's first piece: start, length, and the record's prefix, code,
// address and length.
constexpr size_t kSplitHeadSize = 7;
} // namespace

struct SimTcpSession::Io {
    Io(asio::io_context& context, int fd)
        : socket(context), pumpTimer(context), pieceTimer(context) {
        asio::error_code error;
        socket.assign(asio::ip::tcp::v4(), fd, error);
        if (error) ::close(fd);
    }

    asio::ip::tcp::socket socket;
    asio::steady_timer pumpTimer;  // when the next reply or heartbeat is due
    asio::steady_timer pieceTimer; // the gap between two pieces of a frame
    std::array<uint8_t, kReceiveSize> received{};
};

SimTcpSession::SimTcpSession(SimEventLoop& loop, int socket, SimProcessor& processor,
                             SimTcpCounters& counters, int heartbeatPeriodMs,
                             std::function<void()> onFinished)
    : m_loop(loop), m_io(std::make_unique<Io>(loop.Context(), socket)), m_processor(processor),
      m_counters(counters),
      m_parser([this](const uint8_t* payload, int count) { HandlePayload(payload, count); },
               [this] { ++m_counters.heartbeatEchoes; }),
      m_onFinished(std::move(onFinished)), m_heartbeatPeriodMs(heartbeatPeriodMs),
      m_nextHeartbeat(Clock::now() + std::chrono::milliseconds(heartbeatPeriodMs)) {}

SimTcpSession::~SimTcpSession() = default;

bool SimTcpSession::HasUnreadInput() const {
    if (!m_io->socket.is_open()) return false;
    uint8_t byte;
    const ssize_t peeked = ::recv(m_io->socket.native_handle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return peeked >= 0; // 0: its end; more: bytes
}

void SimTcpSession::Start() {
    m_loop.Post([self = shared_from_this()] {
        if (self->m_stopped) return;
        self->Receive();
        self->Pump();
    });
}

void SimTcpSession::Stop() {
    m_loop.RunAndWait([this] { StopOnLoop(); });
}

void SimTcpSession::StopOnLoop() {
    if (m_stopped) return;
    m_stopped = true;
    m_finished = true;
    asio::error_code ignored;
    m_io->socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    m_io->socket.close(ignored);
    m_io->pumpTimer.cancel();
    m_pumpTimerSet = false;
    m_io->pieceTimer.cancel();
}

void SimTcpSession::QueueReply(const SimRecord& reply) {
    Enqueue({m_processor.UnsolicitedDue(), SimFrameParser::Frame(reply), true, {}, {}});
}

void SimTcpSession::QueueReply(const SimReply& reply) {
    Outgoing item{reply.due, SimFrameParser::Frame(reply.record), true, {}, {}};
    // A damaged copy: the frame cut short, so its length reaches into the good one.
    if (reply.damagedBefore)
        item.before.assign(item.bytes.begin(), item.bytes.begin() + item.bytes.size() / 2);
    if (reply.heartbeatAfter) item.after = kHeartbeat;
    Enqueue(std::move(item));
}

void SimTcpSession::QueueRaw(std::vector<uint8_t> bytes) {
    Enqueue({Clock::now(), std::move(bytes), false, {}, {}});
}

void SimTcpSession::SetHeartbeatPeriod(int periodMs) {
    m_loop.Post([self = shared_from_this(), periodMs] {
        if (self->m_stopped) return;
        self->m_heartbeatPeriodMs = periodMs;
        // A shortened period takes effect at once.
        if (periodMs > 0)
            self->m_nextHeartbeat =
                std::min(self->m_nextHeartbeat, Clock::now() + std::chrono::milliseconds(periodMs));
        self->Pump();
    });
}

void SimTcpSession::Enqueue(Outgoing item) {
    auto insert = [self = shared_from_this(), item = std::move(item)]() mutable {
        if (self->m_stopped || self->m_finished) return;
        // Keep the queue ordered by due time; equal times keep their order.
        auto& queue = self->m_outgoing;
        auto position = std::upper_bound(
            queue.begin(), queue.end(), item.due,
            [](Clock::time_point due, const Outgoing& queued) { return due < queued.due; });
        queue.insert(position, std::move(item));
        self->Pump();
    };
    if (m_loop.OnLoopThread())
        insert();
    else
        m_loop.Post(std::move(insert));
}

void SimTcpSession::Receive() {
    m_io->socket.async_read_some(asio::buffer(m_io->received),
                                 [self = shared_from_this()](asio::error_code error, size_t count) {
                                     if (self->m_stopped) return;
                                     if (error || count == 0) {
                                         self->EndConnection();
                                         return;
                                     }
                                     self->m_parser.Feed(self->m_io->received.data(),
                                                         static_cast<int>(count));
                                     self->CountBadChecksums();
                                     self->Receive();
                                 });
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

void SimTcpSession::Pump() {
    if (m_stopped || m_finished || m_writing) return;
    const auto now = Clock::now();
    if (!m_outgoing.empty() && m_outgoing.front().due <= now) {
        Outgoing item = std::move(m_outgoing.front());
        m_outgoing.pop_front();
        if (item.isReply)
            SendReplyFrame(std::move(item));
        else
            Write(std::make_shared<std::vector<uint8_t>>(std::move(item.bytes)), nullptr);
        return;
    }
    if (m_heartbeatPeriodMs > 0 && m_nextHeartbeat <= now) {
        m_nextHeartbeat = now + std::chrono::milliseconds(m_heartbeatPeriodMs);
        if (!m_processor.IsSilent()) {
            Write(std::make_shared<std::vector<uint8_t>>(kHeartbeat), [this](bool sent) {
                if (sent) ++m_counters.heartbeatsSent;
            });
            return;
        }
    }
    auto wakeAt = Clock::time_point::max();
    if (m_heartbeatPeriodMs > 0) wakeAt = m_nextHeartbeat;
    if (!m_outgoing.empty()) wakeAt = std::min(wakeAt, m_outgoing.front().due);
    if (wakeAt == Clock::time_point::max()) {
        m_io->pumpTimer.cancel();
        m_pumpTimerSet = false;
        return;
    }
    // A timer already set for that time stays: a reply sent costs no timer
    // of its own. Re-arming cancels the wait before; its cancelled handler
    // does nothing.
    if (m_pumpTimerSet && m_io->pumpTimer.expiry() == wakeAt) return;
    m_pumpTimerSet = true;
    m_io->pumpTimer.expires_at(wakeAt);
    m_io->pumpTimer.async_wait([self = shared_from_this()](asio::error_code error) {
        if (error) return;
        self->m_pumpTimerSet = false;
        self->Pump();
    });
}

void SimTcpSession::SendReplyFrame(Outgoing item) {
    const SimFaults faults = m_processor.Faults();
    const int number = ++m_counters.replyFrames;
    if (faults.corruptChecksumNumber > 0 && number == faults.corruptChecksumNumber)
        item.bytes.back() ^= 0xFF;
    auto frame = std::make_shared<std::vector<uint8_t>>(std::move(item.before));
    const size_t splitAt = frame->size() + kSplitHeadSize;
    frame->insert(frame->end(), item.bytes.begin(), item.bytes.end());
    frame->insert(frame->end(), item.after.begin(), item.after.end());
    if (faults.splitReplyNumber > 0 && number == faults.splitReplyNumber &&
        splitAt < frame->size()) {
        // Cut where a chunk's data begins; the rest follows whole.
        SendPieces(std::move(frame), 0, static_cast<int>(splitAt), faults.pieceGapMs, true);
        return;
    }
    if (faults.pieceSize <= 0) {
        Write(std::move(frame), nullptr);
        return;
    }
    SendPieces(std::move(frame), 0, faults.pieceSize, faults.pieceGapMs, false);
}

void SimTcpSession::SendPieces(std::shared_ptr<std::vector<uint8_t>> frame, size_t sent,
                               int pieceSize, int gapMs, bool splitOnce) {
    const size_t piece = std::min(frame->size() - sent, static_cast<size_t>(pieceSize));
    m_writing = true;
    asio::async_write(
        m_io->socket, asio::buffer(frame->data() + sent, piece),
        [self = shared_from_this(), frame, next = sent + piece, pieceSize, gapMs,
         splitOnce](asio::error_code error, size_t) {
            if (self->m_stopped) return;
            if (error || next >= frame->size()) {
                self->m_writing = false;
                if (error)
                    self->EndConnection();
                else
                    self->Pump();
                return;
            }
            self->m_io->pieceTimer.expires_after(std::chrono::milliseconds(gapMs));
            self->m_io->pieceTimer.async_wait(
                [self, frame, next, pieceSize, gapMs, splitOnce](asio::error_code waitError) {
                    if (self->m_stopped || waitError) return;
                    const int rest = splitOnce ? static_cast<int>(frame->size() - next) : pieceSize;
                    self->SendPieces(frame, next, rest, gapMs, false);
                });
        });
}

void SimTcpSession::Write(std::shared_ptr<std::vector<uint8_t>> bytes,
                          std::function<void(bool)> done) {
    m_writing = true;
    asio::async_write(
        m_io->socket, asio::buffer(*bytes),
        [self = shared_from_this(), bytes, done = std::move(done)](asio::error_code error, size_t) {
            if (self->m_stopped) return;
            self->m_writing = false;
            if (done) done(!error);
            if (error)
                self->EndConnection();
            else
                self->Pump();
        });
}

// The editor is gone: nothing more is sent; the server takes the session away.
void SimTcpSession::EndConnection() {
    if (m_finished.exchange(true)) return;
    m_io->pumpTimer.cancel();
    m_pumpTimerSet = false;
    m_io->pieceTimer.cancel();
    if (m_onFinished) m_onFinished();
}

#include "link/RxAssembler.h"

#include "link/DebugLog.h"
#include "link/LinkState.h"
#include "link/ReplyDispatcher.h"

#include <algorithm>
#include <cstring>

RxAssembler::RxAssembler()
    : m_sink([](const uint8_t* record, int count) { ProcessDeviceReply(record, count); }) {}

void RxAssembler::SetReplySink(ReplySink sink) {
    m_sink = std::move(sink);
}

void RxAssembler::SetMultiFrameHook(MultiFrameHook hook) {
    m_multiFrameHook = std::move(hook);
}

void RxAssembler::SetHeartbeatHook(HeartbeatHook hook) {
    m_heartbeatHook = std::move(hook);
}

void RxAssembler::Reset() {
    m_fill = 0;
    m_inFrame = false;
}

void RxAssembler::Append(const uint8_t* bytes, int count) {
    // A read goes in as far as it fits and is assembled, then the rest: a
    // frame begun in an earlier read is not lost to a full one. (Assembly
    // never leaves more than a frame's head behind, so there is room.)
    while (count > 0) {
        if (m_fill == kRxBufferSize) Reset();
        const int taken = std::min(count, kRxBufferSize - m_fill);
        std::memcpy(m_buffer + m_fill, bytes, static_cast<size_t>(taken));
        m_fill += taken;
        bytes += taken;
        count -= taken;
        ProcessRxBuf();
    }
}

void RxAssembler::Discard(int count) {
    std::memmove(m_buffer, m_buffer + count, static_cast<size_t>(m_fill - count));
    m_fill -= count;
}

bool RxAssembler::FindFrameStart() {
    static constexpr uint8_t kHeartbeat[] = {'$', 'H', 'B', '$'};
    constexpr int kHeartbeatSize = sizeof kHeartbeat;
    while (m_fill > 0 && m_buffer[0] != kNetFrameStart) {
        const int compared = std::min(m_fill, kHeartbeatSize);
        if (std::memcmp(m_buffer, kHeartbeat, static_cast<size_t>(compared)) == 0) {
            if (compared < kHeartbeatSize) return false; // the rest of it may follow
            Discard(kHeartbeatSize);
            if (m_heartbeatHook) m_heartbeatHook();
            continue;
        }
        int skipped = 1;
        while (skipped < m_fill && m_buffer[skipped] != kNetFrameStart &&
               m_buffer[skipped] != kHeartbeat[0])
            ++skipped;
        Discard(skipped);
        DebugLog("ProcessRxBuf skipped %d bytes\n", skipped);
    }
    return m_fill > 0;
}

void RxAssembler::ProcessRxBuf() {
    for (;;) {
        if (!m_inFrame) {
            if (!FindFrameStart()) return;
            m_inFrame = true;
        }
        if (m_fill < 2) return;
        const int n = m_buffer[1];
        const int frameSize = n + 2;
        if (m_fill < frameSize) return;

        const uint8_t checksum = NetFrameChecksum(m_buffer[1], m_buffer + 2, n - 1 > 0 ? n - 1 : 0);
        const bool good = n >= 1 && checksum == m_buffer[n + 1];
        if (good) {
            if (m_sink) m_sink(m_buffer + 2, n - 1);
            g_bAwaitReply() = false;
        } else {
            DebugLog("ProcessRxBuf Checksum error\n ");
        }
        const bool moreBehind = m_fill > frameSize;
        // A bad frame gives up its start byte only: a frame cut short declares
        // a length that reaches into the good frame behind it, which is
        // searched for again from the next byte.
        const int consumed = good ? frameSize : 1;
        m_inFrame = false;
        if (m_fill == consumed) {
            Reset();
            return;
        }
        Discard(consumed);
        if (moreBehind && m_multiFrameHook) m_multiFrameHook();
    }
}

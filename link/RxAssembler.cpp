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

void RxAssembler::Reset() {
    m_fill = 0;
    m_inFrame = false;
}

void RxAssembler::Append(const uint8_t* bytes, int count) {
    count = std::clamp(count, 0, kRxBufferSize);
    // No room: the stale bytes go, together with any half frame they held.
    if (m_fill + count > kRxBufferSize) Reset();
    if (count > 0) std::memcpy(m_buffer + m_fill, bytes, static_cast<size_t>(count));
    m_fill += count;
    ProcessRxBuf();
}

void RxAssembler::ProcessRxBuf() {
    if (!m_inFrame) {
        // A buffer that does not start a frame waits; it is not searched.
        if (m_fill == 0 || m_buffer[0] != kNetFrameStart) return;
        m_inFrame = true;
    }
    if (m_fill < 2) return;
    const int n = m_buffer[1];
    const int frameSize = n + 2;
    if (m_fill < frameSize) return;

    const uint8_t checksum = NetFrameChecksum(m_buffer[1], m_buffer + 2, n - 1 > 0 ? n - 1 : 0);
    if (n >= 1 && checksum == m_buffer[n + 1]) {
        if (m_sink) m_sink(m_buffer + 2, n - 1);
        g_bAwaitReply = false;
        g_hWriterWakeEvent.Set();
    } else {
        DebugLog("ProcessRxBuf Checksum error\n ");
    }

    if (m_fill == frameSize) {
        Reset();
        return;
    }
    const int rest = m_fill - frameSize;
    std::memmove(m_buffer, m_buffer + frameSize, static_cast<size_t>(rest));
    m_fill = rest;
    ProcessRxBuf();
    if (m_multiFrameHook) m_multiFrameHook();
    m_inFrame = false;
}

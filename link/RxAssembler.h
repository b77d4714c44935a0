#pragma once

#include "link/CommandFrames.h"

#include <cstdint>
#include <functional>

// Cuts network frames (0x55, length, payload, checksum) out of the received
// byte stream. There is no resynchronisation: a buffer that does not start
// with 0x55 waits until an append would overflow it, which empties it.
class RxAssembler {
public:
    // Receives each good reply record (the frame's payload without the length
    // and checksum bytes).
    using ReplySink = std::function<void(const uint8_t* record, int count)>;
    // Called when one read carried more than one frame.
    using MultiFrameHook = std::function<void()>;

    // The sink defaults to ProcessDeviceReply, the hook to nothing.
    RxAssembler();

    void SetReplySink(ReplySink sink);
    void SetMultiFrameHook(MultiFrameHook hook);

    // Appends the bytes of one read (emptying the buffer first when they
    // would not fit) and runs ProcessRxBuf.
    void Append(const uint8_t* bytes, int count);
    // Dispatches every complete frame at the front of the buffer.
    void ProcessRxBuf();
    // Empties the buffer and leaves the frame.
    void Reset();

    int Fill() const { return m_fill; }
    bool InFrame() const { return m_inFrame; }
    const uint8_t* Data() const { return m_buffer; }

private:
    uint8_t m_buffer[kRxBufferSize] = {};
    int m_fill = 0;
    bool m_inFrame = false;
    ReplySink m_sink;
    MultiFrameHook m_multiFrameHook;
};

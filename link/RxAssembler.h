#pragma once

#include "link/CommandFrames.h"

#include <cstdint>
#include <functional>

// Cuts network frames (0x55, length, payload, checksum) out of the received
// byte stream. Bytes that cannot start a frame (a heartbeat glued behind a
// frame, noise) never block it: a heartbeat "$HB$" at the front is handed to
// the heartbeat hook, anything else is discarded up to the next 0x55 (or the
// next "$" that may start a heartbeat) and counted in the debug log. A frame
// whose checksum fails gives up its start byte only, so a good frame that its
// declared length reaches into is still found.
class RxAssembler {
public:
    // Receives each good reply record (the frame's payload without the length
    // and checksum bytes).
    using ReplySink = std::function<void(const uint8_t* record, int count)>;
    // Called when one read carried more than one frame.
    using MultiFrameHook = std::function<void()>;
    // Called for a heartbeat found in the buffer (not at the start of a read).
    using HeartbeatHook = std::function<void()>;

    // The sink defaults to ProcessDeviceReply, the hook to nothing.
    RxAssembler();

    void SetReplySink(ReplySink sink);
    void SetMultiFrameHook(MultiFrameHook hook);
    void SetHeartbeatHook(HeartbeatHook hook);

    // Appends the bytes of one read and runs ProcessRxBuf; a read that does
    // not fit behind what is buffered goes in piece by piece.
    void Append(const uint8_t* bytes, int count);
    // Dispatches every complete frame at the front of the buffer.
    void ProcessRxBuf();
    // Empties the buffer and leaves the frame.
    void Reset();

    int Fill() const { return m_fill; }
    bool InFrame() const { return m_inFrame; }
    const uint8_t* Data() const { return m_buffer; }

private:
    // Drops what cannot start a frame from the front; true when a frame start
    // is there, false when more bytes are needed.
    bool FindFrameStart();
    void Discard(int count);

    uint8_t m_buffer[kRxBufferSize] = {};
    int m_fill = 0;
    bool m_inFrame = false;
    ReplySink m_sink;
    MultiFrameHook m_multiFrameHook;
    HeartbeatHook m_heartbeatHook;
};

#pragma once

#include "link/DeviceRecords.h"

#include <array>
#include <cstdint>
#include <functional>

namespace fx {

// What the processor's replies change in the device state, as the reply
// dispatcher has decoded them. The link reports here from its reader
// thread; the device state's store implements it, applies each change on
// the state thread and installs itself when it is made. Data pointers are valid only
// during the call: available is how many data bytes really arrived.
class IReplySink {
public:
    virtual ~IReplySink() = default;

    // Reply 14: the status block as far as it arrived (the rest zero).
    virtual void StatusReceived(const std::array<uint8_t, kStatusBlockSize>& status) = 0;
    // Reply 7.
    virtual void CurrentModeReceived(int mode) = 0;
    // Reply 9: the processor took a parameter write.
    virtual void ParameterWritten() = 0;
    // Replies 5 and 6: the processor loaded or reset a mode.
    virtual void ModeLoaded() = 0;
    // Replies 126..129: one field of the identity changes.
    virtual void IdentityReceived(std::function<void(IdentityRecord&)> update) = 0;
    // Reply 48 outside a whole-image read: length data bytes for the image at address.
    virtual void ImageChunkReceived(int address, int length, const uint8_t* data,
                                    int available) = 0;
    // Reply 134: a chunk of the panel area.
    virtual void PanelChunkReceived(int address, int length, const uint8_t* data,
                                    int available) = 0;
    // Reply 96: the learned key's code for a slot of the remote-key block.
    virtual void LearnedKeyReceived(uint8_t first, uint8_t slot, uint8_t code) = 0;
    // Reply 98: the first keys of the remote-key block.
    virtual void RemoteKeysReceived(const uint8_t* keys, int available) = 0;
    // Reply 146: the machine settings as far as they arrived (the rest zero).
    virtual void
    MachineSettingsReceived(const std::array<uint8_t, kMachineSettingsSize>& settings) = 0;
    // The link closed: what only an open link reports (the status) is gone.
    virtual void LinkClosed() = 0;
};

// The installed sink; without one, replies change nothing but the ledger.
IReplySink& DeviceReplies();
void SetReplySink(IReplySink* sink);

} // namespace fx

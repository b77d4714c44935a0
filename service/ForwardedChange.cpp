#include "service/ForwardedChange.h"

#include "link/CommandFrames.h"
#include "link/LinkOutbox.h"
#include "link/StateThread.h"
#include "state/DeviceMirrors.h"
#include "state/ImageEdits.h"
#include "state/ParamImage.h"
#include "state/ParamStore.h"
#include "state/Processor.h"
#include "state/SyncJobs.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace fx {
namespace {

constexpr uint8_t kFactoryResetConfirm = 170;
constexpr int kStoredModes = 4; // machine modes 0..3
// Block 4 parameter 21 holds the music pitch plus 5 in its last byte.
constexpr int kPitchBlock = 4;
constexpr int kPitchParameter = 21;

// Copies bytes into target at offset, telling the edit observer first
// (address: where a saved image keeps them).
void Overwrite(uint8_t* target, int offset, const uint8_t* bytes, int size, int address) {
    if (size <= 0) return;
    NoteImageChange(address, target + offset, bytes, size);
    std::memcpy(target + offset, bytes, static_cast<size_t>(size));
}

// 9, 0, block, parameter, count, then count 4-byte values: as many as the
// record in memory holds and the command carries.
void ApplyDspWrite(const uint8_t* record, int count) {
    if (count < 5) return;
    const int block = record[2];
    const int parameter = record[3];
    int offset = -1;
    int held = 0;
    WalkDspRecords(g_ParamImage(), [&](const DspRecordView& view) {
        if (view.block != block || view.parameter != parameter) return true;
        offset = view.offset + 3;
        held = view.count;
        return false;
    });
    const int values = std::min({static_cast<int>(record[4]), held, (count - 5) / 4});
    if (offset < 0 || values <= 0) return;
    Overwrite(g_ParamImage(), offset, record + 5, 4 * values, offset);
    RefreshRecordValues(block, parameter);
    if (block == kPitchBlock && parameter == kPitchParameter)
        g_MusicPitch() = g_ParamImage()[offset + 3] - 5;
}

// code, address high and low, length, then the bytes, into memory below limit.
struct AddressedWrite {
    int address = 0;
    int size = 0;
    const uint8_t* bytes = nullptr;
};

AddressedWrite ReadAddressedWrite(const uint8_t* record, int count, int limit) {
    AddressedWrite write;
    if (count < 4) return write;
    write.address = record[1] * 256 + record[2];
    write.size = std::min({static_cast<int>(record[3]), count - 4, limit - write.address});
    write.bytes = record + 4;
    return write;
}

// 133: the processor's panel memory, which the image's panel area and the
// working copy both mirror.
void ApplyPanelWrite(const uint8_t* record, int count) {
    const AddressedWrite write = ReadAddressedWrite(record, count, kPanelSize);
    if (write.size <= 0) return;
    Overwrite(g_PanelImage(), write.address, write.bytes, write.size, write.address);
    std::memcpy(g_ParamImage() + write.address, write.bytes, static_cast<size_t>(write.size));
    RefreshPanelValues();
}

// 49: a chunk of a whole-memory write; the values drawn from it follow at
// its end (50).
void ApplyImageWrite(const uint8_t* record, int count) {
    const AddressedWrite write = ReadAddressedWrite(record, count, kImageSize);
    if (write.size <= 0) return;
    std::memcpy(g_ParamImage() + write.address, write.bytes, static_cast<size_t>(write.size));
    const int panelBytes = std::min(write.size, kPanelSize - write.address);
    if (panelBytes > 0)
        std::memcpy(g_PanelImage() + write.address, write.bytes, static_cast<size_t>(panelBytes));
}

void ApplyMachineSettings(const uint8_t* record, int count) {
    const int size = std::min(count - 1, kMachineSettingsSize);
    if (size <= 0) return;
    Overwrite(g_MachineSettingsDevice(), 0, record + 1, size, kMachineSettingsAddress);
    std::memcpy(g_MachineSettingsWork(), record + 1, static_cast<size_t>(size));
}

} // namespace

ForwardedEffect ApplyForwardedChange(Processor& processor, const uint8_t* record, int count) {
    if (count < 1 || !IsChangeCommand(record[0])) return ForwardedEffect::None;
    ProcessorScope scope(processor);
    const std::vector<uint8_t> command(record, record + count);
    const uint8_t* bytes = command.data();
    switch (record[0]) {
    case CMD_DSP_WRITE:
        ChangeState([command] {
            ImageEditScope edit;
            ApplyDspWrite(command.data(), static_cast<int>(command.size()));
        });
        break;
    case CMD_WRITE_PANEL:
        ChangeState([command] {
            ImageEditScope edit;
            ApplyPanelWrite(command.data(), static_cast<int>(command.size()));
        });
        break;
    case CMD_WRITE_IMAGE:
        ChangeState(
            [command] { ApplyImageWrite(command.data(), static_cast<int>(command.size())); });
        break;
    case CMD_WRITE_IMAGE_END:
        ChangeState([] { RefreshFromImage(); });
        break;
    case CMD_WRITE_MACHINE_SETTINGS:
        ChangeState([command] {
            ImageEditScope edit;
            ApplyMachineSettings(command.data(), static_cast<int>(command.size()));
        });
        break;
    case CMD_WRITE_REMOTE_KEYS:
        if (count > 1)
            processor.Store().SetRemoteKeyBytes(0, bytes + 1,
                                                std::min(count - 1, kRemoteKeyBlockSize));
        break;
    case CMD_STORE_MODE:
        // The mode stored into is the current one from now on.
        if (count > 1 && bytes[1] < kStoredModes) g_CurrentMode() = bytes[1];
        break;
    case CMD_LOAD_MODE:
    case CMD_RESET_MODE:
        StartDelayedRead();
        return ForwardedEffect::Reread;
    case CMD_RESET_PROCESSOR:
        if (count > 1 && bytes[1] == kFactoryResetConfirm) {
            StartDelayedRead();
            return ForwardedEffect::Reread;
        }
        break;
    default:
        // Learning a key, the store announcement, radio bytes: the processor's
        // replies carry whatever they change.
        break;
    }
    return ForwardedEffect::Applied;
}

} // namespace fx

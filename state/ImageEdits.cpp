#include "state/ImageEdits.h"

#include "link/CommandFrames.h"
#include "link/LinkOutbox.h"
#include "link/StateThread.h"
#include "state/DeviceMirrors.h"
#include "state/EqMath.h"
#include "state/ParamImage.h"
#include "state/Processor.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace fx {

namespace {

// The edit being gathered on this thread, and how deep its scopes are.
thread_local int t_scopeDepth = 0;
thread_local ImageEdit t_pending;
// Bytes put back by undo or redo are not a new edit.
thread_local int t_replaying = 0;

void Report(const ImageEdit& edit) {
    IImageEditObserver* observer = CurrentProcessor().EditObserver().load();
    if (observer != nullptr && !edit.changes.empty()) observer->ImageEdited(edit);
}

class ReplayGuard {
public:
    ReplayGuard() { ++t_replaying; }
    ~ReplayGuard() { --t_replaying; }
    ReplayGuard(const ReplayGuard&) = delete;
    ReplayGuard& operator=(const ReplayGuard&) = delete;
};

// The panel blocks beyond the band records, each sent whole.
struct PanelBlock {
    int offset;
    int size;
};
constexpr PanelBlock kPanelBlocks[] = {
    {kSurroundLevelsOffset, kSurroundLayoutOffset - kSurroundLevelsOffset},
    {kSurroundLayoutOffset, kSurroundLayoutSize},
    {kPanelLevelOffset, 4},
};

// The set and band whose record starts at or covers a panel offset.
bool BandAt(int offset, int& set, int& band) {
    for (int s = 0; s < kEqSetCount; ++s) {
        const int base = EqBandOffset(s, 0);
        if (offset >= base && offset < base + kEqBandRecordSize * EqSetSlots(s)) {
            set = s;
            band = (offset - base) / kEqBandRecordSize;
            return true;
        }
    }
    return false;
}

void ApplyBandRecords(int address, const std::vector<uint8_t>& bytes) {
    const int end = address + static_cast<int>(bytes.size());
    for (int offset = address; offset < end;) {
        int set = 0, band = 0;
        if (!BandAt(offset, set, band)) return;
        const int start = EqBandOffset(set, band);
        uint8_t record[kEqBandRecordSize];
        std::memcpy(record, g_PanelImage() + start, kEqBandRecordSize);
        const int from = std::max(start, address), to = std::min(start + kEqBandRecordSize, end);
        std::memcpy(record + (from - start), bytes.data() + (from - address), to - from);
        const EqBandRecord value = DecodeEqBandRecord(record);
        SetEqBand(set, band, value.type, value.frequency, value.gain, value.q);
        offset = start + kEqBandRecordSize;
    }
}

void ApplyPanelBlock(int address, const std::vector<uint8_t>& bytes) {
    StateGuard lock(StateLock());
    std::memcpy(g_PanelImage() + address, bytes.data(), bytes.size());
    RefreshPanelValues();
    const int end = address + static_cast<int>(bytes.size());
    for (const PanelBlock& block : kPanelBlocks) {
        if (end <= block.offset || address >= block.offset + block.size) continue;
        SendDeviceCmd(CMD_WRITE_PANEL, static_cast<uint8_t>(block.offset >> 8),
                      static_cast<uint8_t>(block.offset & 0xFF), static_cast<uint8_t>(block.size),
                      g_PanelImage() + block.offset);
    }
}

// A DSP write of the record holding the bytes, from its first value to the
// last one they touch: what SetDspParam and WriteDspParam send.
void ApplyDspValues(int address, const std::vector<uint8_t>& bytes) {
    const int end = address + static_cast<int>(bytes.size());
    StateGuard lock(StateLock());
    WalkDspRecords(g_ParamImage(), [&](const DspRecordView& record) {
        const int first = record.offset + 3;
        const int last = first + 4 * record.count;
        if (address < first || address >= last) return true;
        std::memcpy(g_ParamImage() + address, bytes.data(), std::min(end, last) - address);
        const int count = (std::min(end, last) - first + 3) / 4;
        uint32_t values[256];
        for (int i = 0; i < count; ++i) values[i] = ReadBigEndian32(g_ParamImage() + first + 4 * i);
        RefreshRecordValues(record.block, record.parameter);
        SendDspWrite(record.block, record.parameter, values, count);
        return false;
    });
}

void ApplyMachineSettings(int address, const std::vector<uint8_t>& bytes) {
    const int at = address - kMachineSettingsAddress;
    if (at + static_cast<int>(bytes.size()) > kMachineSettingsSize) return;
    uint8_t command[1 + kMachineSettingsSize];
    {
        StateGuard lock(StateLock());
        std::memcpy(g_MachineSettingsDevice() + at, bytes.data(), bytes.size());
        std::memcpy(g_MachineSettingsWork(), g_MachineSettingsDevice(), kMachineSettingsSize);
        command[0] = CMD_WRITE_MACHINE_SETTINGS;
        std::memcpy(command + 1, g_MachineSettingsDevice(), kMachineSettingsSize);
    }
    SendShortCmd(command, sizeof command);
}

} // namespace

void SetImageEditObserver(IImageEditObserver* observer) {
    CurrentProcessor().EditObserver().store(observer);
}

ImageEditScope::ImageEditScope(ImageEditKind kind, int eqSet) {
    if (t_scopeDepth++ == 0) t_pending = ImageEdit{kind, eqSet, {}};
}

ImageEditScope::~ImageEditScope() {
    if (--t_scopeDepth > 0) return;
    ImageEdit edit = std::move(t_pending);
    t_pending = {};
    Report(edit);
}

void NoteImageChange(int address, const uint8_t* before, const uint8_t* after, int size) {
    if (t_replaying > 0 || CurrentProcessor().EditObserver().load() == nullptr || size <= 0) return;
    if (std::memcmp(before, after, static_cast<size_t>(size)) == 0) return;
    ImageBytes change{address, {before, before + size}, {after, after + size}};
    if (t_scopeDepth > 0) {
        t_pending.changes.push_back(std::move(change));
        return;
    }
    ImageEdit edit;
    edit.changes.push_back(std::move(change));
    Report(edit);
}

void NoteImageReplaced() {
    IImageEditObserver* observer = CurrentProcessor().EditObserver().load();
    if (observer != nullptr && t_replaying == 0) observer->ImageReplaced();
}

void ApplyImageBytes(int address, const std::vector<uint8_t>& bytes) {
    const int end = address + static_cast<int>(bytes.size());
    if (bytes.empty() || address < 0) return;
    const ReplayGuard replaying;
    if (address >= kMachineSettingsAddress)
        ApplyMachineSettings(address, bytes);
    else if (end > kImageSize)
        return;
    else if (address >= kDspAreaStart)
        ApplyDspValues(address, bytes);
    else if (address < kSurroundLevelsOffset)
        ApplyBandRecords(address, bytes);
    else if (end <= kPanelSize)
        ApplyPanelBlock(address, bytes);
}

// Each write of a step goes out in order, as the operations that send several
// writes make sure of: none replaces a waiting one.
void RevertImageChanges(const std::vector<ImageBytes>& changes) {
    const CoalescingOff inOrder;
    for (auto change = changes.rbegin(); change != changes.rend(); ++change)
        ApplyImageBytes(change->address, change->before);
}

void ReapplyImageChanges(const std::vector<ImageBytes>& changes) {
    const CoalescingOff inOrder;
    for (const ImageBytes& change : changes) ApplyImageBytes(change.address, change.after);
}

} // namespace fx

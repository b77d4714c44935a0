#include "state/ParamStore.h"

#include "link/Link.h"
#include "link/StateThread.h"
#include "state/DeviceMirrors.h"
#include "state/Processor.h"
#include "state/SyncJobs.h"

#include <algorithm>
#include <cstring>

namespace fx {
namespace {

// The data bytes that arrived of the length a reply declares, no more than
// fit from offset in a target of targetSize.
std::vector<uint8_t> ArrivedData(int length, const uint8_t* data, int available, int offset,
                                 int targetSize) {
    const int n = std::min({length, targetSize - offset, available});
    if (n <= 0) return {};
    return std::vector<uint8_t>(data, data + n);
}

void CopyInto(uint8_t* target, int offset, const std::vector<uint8_t>& data) {
    if (!data.empty()) std::memcpy(target + offset, data.data(), data.size());
}

// The start-up identity: version 17, "ELM19", "2016-10-03", "2016-11-30".
IdentityRecord DefaultIdentity() {
    IdentityRecord identity{};
    identity.commandSetVersion = 17;
    std::strcpy(identity.moduleName, "ELM19");
    std::strcpy(identity.firstVersion, "2016-10-03");
    std::strcpy(identity.secondVersion, "2016-11-30");
    return identity;
}

} // namespace

ParamStore::ParamStore() : m_identity(DefaultIdentity()) {}

void ParamStore::AttachTo(fx::Link& link) {
    link.UseFlags(&m_link);
    link.SetReplySink(this);
}

void ParamStore::ClearStatus() {
    ChangeState([this] { std::memset(m_status, 0, sizeof m_status); });
}

void ParamStore::StatusReceived(const std::array<uint8_t, kStatusBlockSize>& status) {
    ChangeState([this, status] {
        std::memcpy(m_status, status.data(), sizeof m_status);
        // Status byte 7 high nibble is the music pitch plus 5 (the editor
        // value of block 4 parameter 21).
        m_values.musicPitch = (status[7] >> 4) - 5;
    });
}

void ParamStore::CurrentModeReceived(int mode) {
    m_currentMode = mode;
}

void ParamStore::ParameterWritten() {
    m_link.paramsChanged = true;
}

void ParamStore::ModeLoaded() {
    // Read the image again, on a thread of its own since the read needs the
    // reader to dispatch.
    StartDelayedRead();
}

void ParamStore::IdentityReceived(std::function<void(IdentityRecord&)> update) {
    ChangeState([this, update = std::move(update)] { update(m_identity); });
}

void ParamStore::ImageChunkReceived(int address, int length, const uint8_t* data, int available) {
    if (address < 0 || address >= kImageSize) return;
    ChangeState([this, address, bytes = ArrivedData(length, data, available, address, kImageSize)] {
        CopyInto(m_image, address, bytes);
    });
}

void ParamStore::PanelChunkReceived(int address, int length, const uint8_t* data, int available) {
    if (address < 0 || address >= kPanelSize) return;
    // FF FF in place of the data clears every band record.
    const bool clearBands =
        address < kSurroundLevelsOffset && available >= 2 && data[0] == 0xFF && data[1] == 0xFF;
    ChangeState([this, address, clearBands,
                 bytes = ArrivedData(length, data, available, address, kPanelSize)] {
        StorePanelChunk(address, bytes, clearBands);
    });
}

void ParamStore::StorePanelChunk(int address, const std::vector<uint8_t>& data, bool clearBands) {
    if (address < kSurroundLevelsOffset) {
        if (clearBands)
            std::memset(m_panel, 0, kSurroundLevelsOffset);
        else
            CopyInto(m_panel, address, data);
        return;
    }
    if (address == kSurroundLevelsOffset || address == kPanelLevelOffset) {
        CopyInto(m_panel, address, data);
    } else if (address == kSurroundLayoutOffset) {
        CopyInto(m_panel, address, data);
        m_values.surroundLayout = DecodeSurroundLayout(m_panel);
    }
}

void ParamStore::LearnedKeyReceived(uint8_t first, uint8_t slot, uint8_t code) {
    ChangeState([this, first, slot, code] {
        m_remoteKeys[0] = first;
        if (slot < kRemoteKeyBlockSize) m_remoteKeys[slot] = code;
    });
}

void ParamStore::RemoteKeysReceived(const uint8_t* keys, int available) {
    // The block's first 16 bytes come from the processor; the rest stays.
    constexpr int kReportedKeys = 16;
    const int n = std::clamp(available, 0, kReportedKeys);
    std::array<uint8_t, kReportedKeys> copy{};
    if (n > 0) std::memcpy(copy.data(), keys, static_cast<size_t>(n));
    ChangeState([this, copy, n] {
        if (n > 0) std::memcpy(m_remoteKeys, copy.data(), static_cast<size_t>(n));
    });
}

void ParamStore::MachineSettingsReceived(
    const std::array<uint8_t, kMachineSettingsSize>& settings) {
    ChangeState([this, settings] {
        std::memcpy(m_settingsDevice, settings.data(), kMachineSettingsSize);
        std::memcpy(m_settingsWork, settings.data(), kMachineSettingsSize);
    });
}

void ParamStore::LinkClosed() {
    ClearStatus();
}

ParamStore& Store() {
    return CurrentProcessor().Store();
}

namespace {
// The store is made before main, so the link works with its flags and
// reports to it from the first frame on.
[[maybe_unused]] const ParamStore& g_madeAtStart = Store();
} // namespace

} // namespace fx

// The seed's names for the store's memory.
uint8_t (&g_ParamImage())[kImageSize] {
    return fx::Store().Image();
}
uint8_t (&g_PanelImage())[kPanelSize] {
    return fx::Store().Panel();
}
IdentityRecord& g_Identity() {
    return fx::Store().Identity();
}
uint8_t (&g_StatusBlock())[kStatusBlockSize] {
    return fx::Store().StatusBlock();
}
std::atomic<int>& g_CurrentMode() {
    return fx::Store().CurrentMode();
}
uint8_t (&g_RemoteKeyBlock())[kRemoteKeyBlockSize] {
    return fx::Store().RemoteKeyBlock();
}
uint8_t (&g_MachineSettingsDevice())[kMachineSettingsSize] {
    return fx::Store().MachineSettingsDevice();
}
uint8_t (&g_MachineSettingsWork())[kMachineSettingsSize] {
    return fx::Store().MachineSettingsWork();
}

int (&g_DspIntVar())[kDspVarBlocks][kDspVarParameters] {
    return fx::Store().Values().dspInt;
}
float (&g_DspFloatVar())[kDspVarBlocks][kDspVarParameters] {
    return fx::Store().Values().dspFloat;
}
int (&g_OutputIntVar())[kOutputVarParameters][kOutputVarChannels] {
    return fx::Store().Values().outputInt;
}
float (&g_OutputFloatVar())[kOutputVarParameters][kOutputVarChannels] {
    return fx::Store().Values().outputFloat;
}
int& g_MusicPitch() {
    return fx::Store().Values().musicPitch;
}
SurroundLayout& g_SurroundLayout() {
    return fx::Store().Values().surroundLayout;
}
CompressorValues (&g_Compressor())[9] {
    return fx::Store().Values().compressor;
}
bool (&g_WholeChannelDelay())[8] {
    return fx::Store().Values().wholeChannelDelay;
}
CompressorValues& g_AutoLevel() {
    return fx::Store().Values().autoLevel;
}
float& g_PanelLevel() {
    return fx::Store().Values().panelLevel;
}
double& g_ShiftFrequencyA() {
    return fx::Store().Values().shiftFrequencyA;
}
double& g_ShiftFrequencyB() {
    return fx::Store().Values().shiftFrequencyB;
}

int* DspParamEntry::intVar() const {
    fx::EditorValues& values = fx::Store().Values();
    switch (var.array) {
    case EditorVarArray::DspInt:
        return &values.dspInt[var.first][var.second];
    case EditorVarArray::OutputInt:
        return &values.outputInt[var.first][var.second];
    case EditorVarArray::MusicPitch:
        return &values.musicPitch;
    default:
        return nullptr;
    }
}

float* DspParamEntry::floatVar() const {
    fx::EditorValues& values = fx::Store().Values();
    switch (var.array) {
    case EditorVarArray::DspFloat:
        return &values.dspFloat[var.first][var.second];
    case EditorVarArray::OutputFloat:
        return &values.outputFloat[var.first][var.second];
    default:
        return nullptr;
    }
}

void ClearStatusBlock() {
    fx::Store().ClearStatus();
}

void ResetIdentityToDefaults() {
    g_Identity() = fx::DefaultIdentity();
}

#include "state/MachineSettings.h"

#include "link/CommandFrames.h"
#include "link/ReplyWatch.h"
#include "state/DeviceMirrors.h"
#include "state/ImageEdits.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace fx {
namespace {

constexpr uint8_t kHdmiMuteBit = 0x01;
constexpr uint8_t kLowNibble = 0x0F;
constexpr uint8_t kRoutingStep = 0x10;
constexpr uint8_t kVolumeLockBits = 0x83;
constexpr uint8_t kModeLockBit = 0x10;

int StartByte(VolumeInput input) {
    return input == VolumeInput::Microphone ? MS_MIC_START : MS_MUSIC_START;
}

int MaxByte(VolumeInput input) {
    return input == VolumeInput::Microphone ? MS_MIC_MAX : MS_MUSIC_MAX;
}

void SetBits(uint8_t& byte, uint8_t bits, bool on) {
    byte = on ? static_cast<uint8_t>(byte | bits) : static_cast<uint8_t>(byte & ~bits);
}

} // namespace

MasterVolumeParam MasterVolumeOf(VolumeInput input) {
    return input == VolumeInput::Microphone ? MasterVolumeParam{1, 14} : MasterVolumeParam{4, 12};
}

int StartVolume(const uint8_t* record, VolumeInput input) {
    return record[StartByte(input)];
}

int MaxVolume(const uint8_t* record, VolumeInput input) {
    return record[MaxByte(input)];
}

void SetStartVolume(uint8_t* record, VolumeInput input, int volume) {
    record[StartByte(input)] =
        static_cast<uint8_t>(std::clamp(volume, 0, MaxVolume(record, input)));
}

void EnableStartVolume(uint8_t* record, VolumeInput input, bool enabled, int masterVolume) {
    const int maximum = std::max(1, MaxVolume(record, input));
    record[StartByte(input)] =
        enabled ? static_cast<uint8_t>(std::clamp(masterVolume, 1, maximum)) : 0;
}

bool SetMaxVolume(uint8_t* record, VolumeInput input, int maximum) {
    maximum = std::clamp(maximum, 1, kMachineVolumeMax);
    record[MaxByte(input)] = static_cast<uint8_t>(maximum);
    if (StartVolume(record, input) <= maximum) return false;
    record[StartByte(input)] = static_cast<uint8_t>(maximum);
    return true;
}

SaveMode GetSaveMode(const uint8_t* record) {
    return record[MS_SAVE_MODE] != 0 ? SaveMode::ByMode : SaveMode::ByPower;
}

void SetSaveMode(uint8_t* record, SaveMode mode) {
    std::memset(record + MS_SAVE_MODE, mode == SaveMode::ByMode ? 1 : 0, kSaveModeBytes);
}

int PowerOnMode(const uint8_t* record) {
    return record[MS_POWER_ON_MODE];
}

void SetPowerOnMode(uint8_t* record, int mode) {
    record[MS_POWER_ON_MODE] = static_cast<uint8_t>(std::clamp(mode, 0, kPowerOnModeCount - 1));
}

bool HdmiMuted(const uint8_t* record) {
    return (record[MS_HDMI_ROUTING] & kLowNibble) != 0;
}

void SetHdmiMuted(uint8_t* record, bool muted) {
    uint8_t& byte = record[MS_HDMI_ROUTING];
    // Muting sets bit 0; unmuting clears the whole low nibble.
    byte = muted ? static_cast<uint8_t>(byte | kHdmiMuteBit)
                 : static_cast<uint8_t>(byte & ~kLowNibble);
}

std::optional<SurroundRouting> Routing(const uint8_t* record) {
    const int byte = record[MS_HDMI_ROUTING];
    if (byte >= kUnknownRoutingFrom) return std::nullopt;
    return static_cast<SurroundRouting>(byte / kRoutingStep);
}

void SetRouting(uint8_t* record, SurroundRouting routing) {
    uint8_t& byte = record[MS_HDMI_ROUTING];
    byte = static_cast<uint8_t>((byte & kLowNibble) | static_cast<int>(routing) * kRoutingStep);
}

bool PanelLocked(const uint8_t* record) {
    return record[MS_PANEL_LOCK] != 0;
}

void SetPanelLock(uint8_t* record, bool locked) {
    record[MS_PANEL_LOCK] = locked ? 1 : 0;
}

bool VolumeLocked(const uint8_t* record) {
    return (record[MS_LOCK_FLAGS] & 0x01) != 0;
}

void SetVolumeLock(uint8_t* record, bool locked) {
    SetBits(record[MS_LOCK_FLAGS], kVolumeLockBits, locked);
}

bool ModeLocked(const uint8_t* record) {
    return (record[MS_LOCK_FLAGS] & kModeLockBit) != 0;
}

void SetModeLock(uint8_t* record, bool locked) {
    SetBits(record[MS_LOCK_FLAGS], kModeLockBit, locked);
}

bool ModelHasHdmiOutput(const char* moduleName) {
    const std::string_view name(moduleName, strnlen(moduleName, sizeof g_Identity().moduleName));
    return name != "ARN41" && name != "ARN52";
}

void ResetMachineSettingsMirrors() {
    std::memset(g_MachineSettingsDevice(), 0, kMachineSettingsSize);
    std::memset(g_MachineSettingsWork(), 0, kMachineSettingsSize);
    g_MachineSettingsDevice()[MS_MIC_MAX] = kDefaultMaxVolume;
    g_MachineSettingsDevice()[MS_MUSIC_MAX] = kDefaultMaxVolume;
}

void RevertMachineSettingsEdit() {
    std::memcpy(g_MachineSettingsWork(), g_MachineSettingsDevice(), kMachineSettingsSize);
}

void CommitMachineSettingsEdit() {
    NoteImageChange(kMachineSettingsAddress, g_MachineSettingsDevice(), g_MachineSettingsWork(),
                    kMachineSettingsSize);
    std::memcpy(g_MachineSettingsDevice(), g_MachineSettingsWork(), kMachineSettingsSize);
}

Confirmation SendMachineSettings(const uint8_t* record, int timeoutMs) {
    uint8_t command[1 + kMachineSettingsSize];
    command[0] = CMD_WRITE_MACHINE_SETTINGS;
    std::memcpy(command + 1, record, kMachineSettingsSize);
    return SendAndConfirm(command, sizeof command, timeoutMs);
}

} // namespace fx

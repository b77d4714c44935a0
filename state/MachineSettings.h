#pragma once

#include "link/ReplyWatch.h"

#include <cstdint>
#include <optional>

// The machine settings record: 14 bytes telling how the processor behaves on
// its own (power-on volumes and maxima, save mode, power-on mode, HDMI mute,
// surround routing, locks). The device copy (g_MachineSettingsDevice) holds
// what the processor last reported or was last given; the edit copy
// (g_MachineSettingsWork) is what the settings dialog changes. The rules
// below work on any copy.

namespace fx {

enum MachineSettingsByte : int {
    MS_SAVE_MODE = 0, // bytes 0..2, all 0 or all 1
    MS_MIC_START = 3,
    MS_MUSIC_START = 4,
    MS_MIC_MAX = 5,
    MS_MUSIC_MAX = 6,
    MS_PANEL_LOCK = 7,
    MS_LOCK_FLAGS = 8,
    MS_POWER_ON_MODE = 11,
    MS_HDMI_ROUTING = 12,
};

constexpr int kSaveModeBytes = 3;
constexpr int kMachineVolumeMax = 99;
constexpr int kPowerOnModeCount = 5; // Auto, M1..M4
// At start-up (and before the processor reports) both maxima allow everything.
constexpr uint8_t kDefaultMaxVolume = 99;
// Byte 12 at or above this carries a routing the editor does not know.
constexpr int kUnknownRoutingFrom = 0x30;

enum class VolumeInput { Microphone, Music };
enum class SaveMode { ByPower = 0, ByMode = 1 };
enum class SurroundRouting { SlSr = 0, SblSbr = 1, Both = 2 };

// The live master volume a power-on volume stands for: block 1 parameter 14
// (microphone) or block 4 parameter 12 (music).
struct MasterVolumeParam {
    int block;
    int parameter;
};
MasterVolumeParam MasterVolumeOf(VolumeInput input);

// Power-on volume: 0 = not used, else 1..maximum.
int StartVolume(const uint8_t* record, VolumeInput input);
int MaxVolume(const uint8_t* record, VolumeInput input);
// Stores the power-on volume, kept within 0..maximum.
void SetStartVolume(uint8_t* record, VolumeInput input, int volume);
// The "enable" box: checked takes the current master volume (kept within
// 1..maximum, so a checked box always means "used"); unchecked stores 0.
void EnableStartVolume(uint8_t* record, VolumeInput input, bool enabled, int masterVolume);
// Stores the maximum (1..99). A power-on volume above it comes down to it;
// true when that happened (the caller then sends the new master volume).
bool SetMaxVolume(uint8_t* record, VolumeInput input, int maximum);

SaveMode GetSaveMode(const uint8_t* record);
void SetSaveMode(uint8_t* record, SaveMode mode);

// 0 = Auto, 1..4 = M1..M4.
int PowerOnMode(const uint8_t* record);
void SetPowerOnMode(uint8_t* record, int mode);

// Byte 12: bit 0 mutes the HDMI output, the high four bits route the
// decoder's side surround channels.
bool HdmiMuted(const uint8_t* record);
void SetHdmiMuted(uint8_t* record, bool muted);
// Empty when byte 12 holds a routing the editor does not know (0x30 and up).
std::optional<SurroundRouting> Routing(const uint8_t* record);
void SetRouting(uint8_t* record, SurroundRouting routing);

// The locks (kept hidden in the dialog).
bool PanelLocked(const uint8_t* record);
void SetPanelLock(uint8_t* record, bool locked);
bool VolumeLocked(const uint8_t* record);
void SetVolumeLock(uint8_t* record, bool locked);
bool ModeLocked(const uint8_t* record);
void SetModeLock(uint8_t* record, bool locked);

// Models without an HDMI output (the dialog hides the HDMI box for them).
bool ModelHasHdmiOutput(const char* moduleName);

// Both copies as at start-up: zeros, the device copy's maxima 99.
void ResetMachineSettingsMirrors();
// The edit copy back from the device copy (Cancel).
void RevertMachineSettingsEdit();
// The edit copy becomes the device copy (Apply).
void CommitMachineSettingsEdit();

// Command 145 with the 14 bytes, on the waiting send path. Waits up to
// timeoutMs for the processor's answer (link/ReplyWatch.h).
Confirmation SendMachineSettings(const uint8_t* record, int timeoutMs);

} // namespace fx

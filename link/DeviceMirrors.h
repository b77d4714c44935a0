#pragma once

#include <atomic>
#include <cstdint>

// Mirrors of the processor's small memories, filled from the replies. Like
// the parameter image they change only on the state thread
// (link/StateThread.h): the reply dispatcher hands its changes over to it.

constexpr int kStatusBlockSize = 16;
constexpr int kRemoteKeyBlockSize = 18;
constexpr int kMachineSettingsSize = 14;

// Status block of reply 14; cleared whenever a link closes and a job starts
// or ends (the clear is a change of the state thread too).
extern uint8_t g_StatusBlock[kStatusBlockSize];
void ClearStatusBlock();

// Current machine mode 0..3 (reply 7).
extern std::atomic<int> g_CurrentMode;

// Remote-key block (replies 96 and 98 fill its first 16 bytes).
extern uint8_t g_RemoteKeyBlock[kRemoteKeyBlockSize];

// Machine settings as the processor reported them, and the copy the settings
// dialog edits (reply 146 fills both).
extern uint8_t g_MachineSettingsDevice[kMachineSettingsSize];
extern uint8_t g_MachineSettingsWork[kMachineSettingsSize];

// Identity record. Its in-memory order is also the first 60 bytes of a mode
// file, so the layout is fixed: version (native 32-bit), module name, first
// and second version strings, two reserved bytes.
struct IdentityRecord {
    int32_t commandSetVersion;
    char moduleName[32];
    char firstVersion[11];
    char secondVersion[11];
    uint8_t reserved[2];
};
static_assert(sizeof(IdentityRecord) == 60, "identity record is 60 bytes");

extern IdentityRecord g_Identity;
// The start-up defaults: version 17, "ELM19", "2016-10-03", "2016-11-30".
void ResetIdentityToDefaults();

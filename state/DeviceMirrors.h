#pragma once

#include "link/DeviceRecords.h"

#include <atomic>
#include <cstdint>

// Mirrors of the processor's small memories, filled from the replies and
// held by the store (state/ParamStore.h). Like the parameter image they
// change only on the state thread (link/StateThread.h): the store takes the
// replies there.

// Status block of reply 14; cleared whenever a link closes and a job starts
// or ends (the clear is a change of the state thread too).
uint8_t (&g_StatusBlock())[kStatusBlockSize];
void ClearStatusBlock();

// Current machine mode 0..3 (reply 7).
std::atomic<int>& g_CurrentMode();

// Remote-key block (replies 96 and 98 fill its first 16 bytes).
uint8_t (&g_RemoteKeyBlock())[kRemoteKeyBlockSize];

// Machine settings as the processor reported them, and the copy the settings
// dialog edits (reply 146 fills both).
uint8_t (&g_MachineSettingsDevice())[kMachineSettingsSize];
uint8_t (&g_MachineSettingsWork())[kMachineSettingsSize];

IdentityRecord& g_Identity();
// The start-up defaults: version 17, "ELM19", "2016-10-03", "2016-11-30".
void ResetIdentityToDefaults();

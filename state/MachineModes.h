#pragma once

#include <atomic>

// The processor's four machine modes M1..M4 (indices 0..3): load, store,
// factory reset, store of a written mode file, and the processor reset. All
// of them do nothing without an open link.

constexpr int kMachineModeCount = 4;

// View command identifiers.
constexpr int ID_LOAD_MODE_FIRST = 32910;  // ..32913
constexpr int ID_STORE_MODE_FIRST = 32914; // ..32917
constexpr int ID_RESET_MODE_FIRST = 32823; // ..32826
constexpr int ID_RESET_PROCESSOR = 32811;

// The machine mode to store into once a mode file has been written to the
// processor (-1 none); set from the file's name.
extern std::atomic<int> g_PendingStoreMode;

// Mode numbers always pass through this before they are sent.
int ClampMode(int mode);

// Asks first when parameters changed; then switches the processor to the
// mode and shows the synchronisation dialog. The processor's reply 5 or 6
// starts the read that follows.
void LoadMachineMode(int mode);
// Asks, then stores the current parameters into the mode and shows the
// saving notice. Returns true when the store was sent.
bool StoreMachineMode(int mode);
// The store without a question (before a mode file is saved, on closing):
// 4 and the current mode, clearing g_bParamsChanged.
void StoreCurrentMode();
// Resets the mode to its factory parameters (no question); a read follows
// like after a load.
void ResetMachineMode(int mode);
// After a mode file has been written and accepted: 3, mode; 20 ms; 4, mode.
void StoreWrittenModeFile(int mode);
// Asks, then resets the processor, the channel link flags, and asks the
// user to restart the processor by hand. Returns true when it was sent.
bool ResetProcessor();

// Runs a view command of the table above; false when the id is none of them.
bool HandleMachineModeCommand(int commandId);

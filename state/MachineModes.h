#pragma once

#include <atomic>

// The processor's four machine modes M1..M4 (indices 0..3): load, store,
// factory reset, store of a written mode file, and the processor reset. They
// ask and show nothing (the window's mode commands do, pages/CModeCommands)
// and do nothing without an open link. Load, reset and the store of a written
// file pause between their steps: the window runs them on its send thread.

constexpr int kMachineModeCount = 4;

// The machine mode to store into once a mode file has been written to the
// current processor (-1 none); set from the file's name.
std::atomic<int>& g_PendingStoreMode();

// Mode numbers always pass through this before they are sent.
int ClampMode(int mode);

// Switches the processor to the mode: clears the status block and
// g_bJobIdle, pauses 50 ms, then 5 and the mode. The processor's reply 5
// starts the read that follows.
void LoadMachineMode(int mode);
// Stores the current parameters into the mode (4 and the mode), clearing
// g_bParamsChanged. True when it was sent.
bool StoreMachineMode(int mode);
// The store into the current mode (before a mode file is saved, on closing).
void StoreCurrentMode();
// Resets the mode to its factory parameters, as a load does with 6; a read follows.
void ResetMachineMode(int mode);
// After a mode file has been written and accepted: 3, mode; once that went
// out, 20 ms; 4, mode.
void StoreWrittenModeFile(int mode);
// Resets the processor (104, 170; it must then be restarted by hand) and the
// channel link flags. True when it was sent.
bool ResetProcessor();

#pragma once

#include <atomic>

// Enables the view's 500 ms status poll. Set at every start and never
// stored; the about box's "Peak" box shows it and the IR learning dialog
// clears it while open.
extern std::atomic<bool> g_bStatusPoll;

#pragma once

#include "state/Compressor.h"
#include "state/ParamImage.h"

#include <cstdint>
#include <vector>

// The special functions that take more than one write: the microphone bass
// boost of both chains and the automatic music input level.

// The bass boost value g in dB, as the features dialog and the command line
// allow it (the dialog's slider shows -g).
constexpr double kBassBoostMinDb = -40.0;
constexpr double kBassBoostMaxDb = 0.0;
constexpr int kBassBoostFilterCount = 6;

// The automatic music level is a compressor on the music input: its record
// has the compressor's seven values and its settings the compressor's ranges.
constexpr int kAutoLevelValueCount = kCompressorValueCount;
// The record of the automatic level (block 4 parameter 14) and its switch
// (parameter 15, LowByte, 0 = on).
constexpr int kAutoLevelBlock = 4;
constexpr int kAutoLevelParameter = 14;
constexpr int kAutoLevelSwitchParameter = 15;

// One DSP write of block 1 in a bass boost sequence.
struct BassBoostWrite {
    int parameter;
    std::vector<uint32_t> values; // bit patterns
};

// The bass boost value the image holds (panel area 1246..1249): the one
// the processor was last given, or what a whole-image load brought.
float BassBoostDb();

// The six writes that take both chains from the previous value to g, in the
// order they must reach the processor: a boost being lowered (g above the
// previous value) changes the input gains first, one being raised the
// filters first.
std::vector<BassBoostWrite> BassBoostWrites(float g, float previous);

// Stores g in the panel area and sends it (command 133 at 1246), then sends
// the six block 1 writes with coalescing off, so that no queued write of the
// sequence replaces another and every one reaches the processor in order.
void SetBassBoost(double g);

bool AutoLevelOn();
// Switches the automatic level on or off (parameter 15: 0 on, 1 off).
void SetAutoLevelOn(bool on);

// Remembers the four settings (g_AutoLevel) and writes block 4 parameter 14
// in the compressor layout (EncodeCompressorRecord).
void SetAutoLevel(double thresholdDb, double ratio, double attackMs, double releaseMs);

#pragma once

#include "state/ParamImage.h"

#include <array>
#include <cstdint>
#include <vector>

// The special functions that take more than one write: the microphone bass
// boost of both chains and the automatic music input level.

// The bass boost value g in dB, as the features dialog and the command line
// allow it (the dialog's slider shows -g).
constexpr double kBassBoostMinDb = -40.0;
constexpr double kBassBoostMaxDb = 0.0;
constexpr int kBassBoostFilterCount = 6;

// Ranges of the automatic music level, as the dialog's sliders allow them.
constexpr double kAutoLevelThresholdMinDb = -60.0;
constexpr double kAutoLevelThresholdMaxDb = 0.0;
constexpr double kAutoLevelRatioMin = 1.0;
constexpr double kAutoLevelRatioMax = 30.0;
constexpr double kAutoLevelAttackMinMs = 1.0;
constexpr double kAutoLevelAttackMaxMs = 100.0;
constexpr double kAutoLevelReleaseMinMs = 1.0;
constexpr double kAutoLevelReleaseMaxMs = 1000.0;
constexpr int kAutoLevelValueCount = 7;
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

// The seven values of the automatic level record: threshold, 0,
// 1 - 1/ratio, 20.0, 0.05, and the attack and release coefficients
// 1 - exp(-1 / (ms * 48)).
std::array<uint32_t, kAutoLevelValueCount> AutoLevelValues(double thresholdDb, double ratio,
                                                           double attackMs, double releaseMs);

bool AutoLevelOn();

// Remembers the four settings (g_AutoLevel) and writes block 4 parameter 14.
void SetAutoLevel(double thresholdDb, double ratio, double attackMs, double releaseMs);

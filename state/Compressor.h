#pragma once

#include "state/ParamImage.h"

#include <array>
#include <cstdint>

// The compressor (limiter) at the end of every output channel (index 0..7)
// and of the recording output (index 8): a DSP record of seven values
// (threshold, 1 - 1/ratio and the attack and release coefficients, with
// three constants between), and its on-switch beside it.

constexpr int kCompressorCount = 9;
constexpr int kCompressorValueCount = 7;

// The settings' ranges, as the pages' sliders and the command line allow them.
constexpr double kCompThresholdMinDb = -60.0;
constexpr double kCompThresholdMaxDb = 0.0;
constexpr double kCompRatioMin = 1.0;
constexpr double kCompRatioMax = 30.0;
constexpr double kCompAttackMinMs = 1.0;
constexpr double kCompAttackMaxMs = 100.0;
constexpr double kCompReleaseMinMs = 1.0;
constexpr double kCompReleaseMaxMs = 1000.0;

// The settings on the pages' slider steps: threshold, attack and release in
// whole dB and ms, the ratio in tenths (the automatic level's likewise).
CompressorValues CompressorOnPageSteps(double thresholdDb, double ratio, double attackMs,
                                       double releaseMs);

// DSP block and parameter of a compressor's record and of its switch
// (LowByte, 0 = active); -1 for an index outside 0..8.
int CompressorBlock(int index);
int CompressorParameter(int index);
int CompressorSwitchParameter(int index);

// The seven stored values (bit patterns) of a record with these settings.
std::array<uint32_t, kCompressorValueCount>
EncodeCompressorRecord(double thresholdDb, double ratio, double attackMs, double releaseMs);
// The settings of the seven big-endian values at values.
CompressorValues DecodeCompressorRecord(const uint8_t* values);

// Stores the settings in the editor variables of the index and writes the
// record (image and processor) with WriteDspParam. Nothing for a bad index.
void SetCompressor(int index, double thresholdDb, double ratio, double attackMs, double releaseMs);
// The switch of the index is on (its editor value is 0).
bool CompressorActive(int index);
// Switches the compressor of the index on or off (its switch parameter: 0 on,
// 1 off), as the page's "Compressor Switch" does. Nothing for a bad index.
void SetCompressorActive(int index, bool on);

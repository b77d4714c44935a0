#pragma once

#include "state/ParamImage.h"

// The recording output beside the eight speaker outputs: DSP block 13 and
// EQ set 15 (five bands, their coefficients at block 13 parameters 0..4).
// Where its fields match an output channel's, its editor variables are the
// channels' arrays at index kRecordVarIndex.

constexpr int kRecordBlock = 13;
constexpr int kRecordEqSet = 15;

// Parameters of block 13.
enum RecordParameter : int {
    REC_EQ_BYPASS = 5,          // LowByte, 1 = the recording EQ is bypassed
    REC_LEVEL_FIRST = 6,        // Percent: direct, reverb, echo, music (6..9)
    REC_COMPRESSOR = 10,        // the compressor record
    REC_COMPRESSOR_BYPASS = 11, // LowByte, 0 = compressor active
    REC_LEVEL = 12,             // Percent, the overall recording level
};
// Direct, reverb, echo and music: the same four levels an output channel mixes.
constexpr int kRecordMixLevelCount = 4;

// Parameter of level slider n: the four mixes 6..9, then the recording level.
constexpr int RecordLevelParameter(int n) {
    return n < kRecordMixLevelCount ? REC_LEVEL_FIRST + n : REC_LEVEL;
}

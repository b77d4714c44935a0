#pragma once

#include "state/ParamImage.h"

#include <array>
#include <cstdint>

// One record of the DSP record area as the default image holds it.
constexpr int kMaxDspRecordValues = 7;

struct DspRecordDefault {
    int block;
    int parameter;
    int count;
    DspValueKind kind;
    bool hasEntry;                                    // false for block 4 parameters 16 and 17
    bool hasLocation;                                 // false for block 4 parameter 21
    int valueOffset;                                  // image offset of the first value (head + 3)
    std::array<uint32_t, kMaxDspRecordValues> values; // default bit patterns
};

// The 232 records in memory order, from 1254 up to 3350.
const std::array<DspRecordDefault, kDspRecordCount>& DspRecordDefaults();

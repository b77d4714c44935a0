#include "state/ValueRanges.h"

#include "state/EqMath.h"
#include "state/ParamImage.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace fx {

namespace {

// Integer editor values (Percent, LowByte, TenThousandths kinds).
constexpr ValueRange Whole(double low, double high) {
    return {low, high, true, false, ""};
}
// A switch stored as a Percent value: off or on, nothing between.
constexpr ValueRange Switch(double off, double on) {
    return {off, on, true, true, ""};
}
constexpr ValueRange Ms(double low, double high) {
    return {low, high, false, false, " ms"};
}
constexpr ValueRange Real(double low, double high, const char* unit) {
    return {low, high, false, false, unit};
}

constexpr ValueRange kLevel = Whole(0, 100);
constexpr ValueRange kMasterLevel = Whole(0, 99); // the ribbon's level sliders
constexpr ValueRange kOnOff = Whole(0, 1);
constexpr ValueRange kSoundOn = Switch(0, 100);
// The frequency shift writes its window with the shift (2..8 Hz gives
// 1000 / (4 x shift) - 25 ms).
constexpr ValueRange kShiftWindow = Ms(6.25, 100);

// Consecutive parameters of a block sharing a range.
struct RangeRun {
    int block;
    int first;
    int last;
    ValueRange range;
};

constexpr RangeRun kBlockRanges[] = {
    // Microphone inputs, chains A and B, master levels.
    {1, 4, 7, kLevel},         // input volumes
    {1, 8, 11, kLevel},        // noise gates
    {1, 12, 12, kOnOff},       // subwoofer ducking
    {1, 13, 13, kLevel},       // subwoofer level while ducked
    {1, 14, 14, kMasterLevel}, // microphone level
    {1, 15, 15, kSoundOn},     // microphone on-switch
    {1, 16, 16, kMasterLevel}, // effect level
    {1, 17, 17, kSoundOn},     // effect on-switch
    {1, 33, 33, kOnOff},       // EQ bypass of chain A
    {1, 34, 37, kSoundOn},     // inputs into chain A
    {1, 39, 39, kShiftWindow}, // frequency shift window, chain A
    {1, 40, 40, kOnOff},       // frequency shift off, chain A
    {1, 43, 43, kOnOff},       // bass boost off, chain A
    {1, 60, 60, kOnOff},       // EQ bypass of chain B
    {1, 61, 64, kSoundOn},     // inputs into chain B
    {1, 66, 66, kShiftWindow}, // frequency shift window, chain B
    {1, 67, 67, kOnOff},       // frequency shift off, chain B
    {1, 70, 70, kOnOff},       // bass boost off, chain B
    // Echo of chains A (7..13) and B (21..27).
    {2, 7, 8, kOnOff},           // EQ bypass, echo type
    {2, 9, 9, kLevel},           // echo level
    {2, 10, 10, Ms(2, 200)},     // predelay
    {2, 11, 11, Ms(160, 260)},   // echo time
    {2, 12, 12, Whole(40, 100)}, // start volume
    {2, 13, 13, Whole(20, 90)},  // volume decay
    {2, 21, 22, kOnOff},
    {2, 23, 23, kLevel},
    {2, 24, 24, Ms(2, 200)},
    {2, 25, 25, Ms(160, 260)},
    {2, 26, 26, Whole(40, 100)},
    {2, 27, 27, Whole(20, 90)},
    {2, 28, 28, kMasterLevel}, // echo level
    {2, 29, 29, kSoundOn},     // echo on-switch
    // Reverb of chains A (7..11) and B (19..23).
    {3, 7, 7, kOnOff},     // EQ bypass
    {3, 8, 8, kLevel},     // reverb level
    {3, 9, 9, Ms(2, 200)}, // predelay
    {3, 10, 11, kLevel},   // reverb time
    {3, 19, 19, kOnOff},
    {3, 20, 20, kLevel},
    {3, 21, 21, Ms(2, 200)},
    {3, 22, 23, kLevel},
    {3, 24, 24, kMasterLevel}, // reverb level
    {3, 25, 25, kSoundOn},     // reverb on-switch
    // Music input.
    {4, 11, 11, kOnOff},        // EQ bypass
    {4, 12, 12, kMasterLevel},  // music level
    {4, 13, 13, kSoundOn},      // music on-switch
    {4, 15, 15, kOnOff},        // automatic level off
    {4, 22, 22, kLevel},        // noise gate
    {4, 23, 23, Whole(0, 13)},  // music source
    {4, 24, 37, kLevel},        // source levels
    {4, 39, 39, Ms(0, 20)},     // max-bass delay
    {4, 40, 40, Whole(0, 300)}, // max-bass gain
    // Recording output.
    {13, 5, 5, kOnOff},   // EQ bypass
    {13, 6, 9, kLevel},   // direct, reverb, echo, music
    {13, 11, 11, kOnOff}, // compressor off
    {13, 12, 12, kLevel}, // recording level
    // Features: exciter and harmonics.
    {14, 0, 0, Real(70, 450, " Hz")},
    {14, 1, 1, Real(0, 12, " dB")},
    {14, 2, 2, Real(800, 5000, " Hz")},
    {14, 3, 3, Real(0, 12, " dB")},
    {14, 4, 4, Real(3200, 18000, " Hz")},
    {14, 5, 5, Real(0, 12, " dB")},
    {14, 6, 9, kLevel},
    {14, 10, 11, kOnOff},
};

// Every output block 5..12 alike; the surround volume of channel 6 (block
// 10) goes up to 500.
constexpr int kWideSurroundBlock = 10;
constexpr RangeRun kOutputRanges[] = {
    {0, 12, 12, kOnOff},            // EQ bypass
    {0, 13, 13, Whole(0, 7)},       // source
    {0, 15, 15, Ms(1.33, 100)},     // delay time: from the factory 1.33 ms (64 samples)
    {0, 16, 16, kOnOff},            // delay off
    {0, 17, 21, kLevel},            // direct, reverb, echo, music, surround volume
    {0, 22, 22, Switch(-100, 100)}, // phase
    {0, 23, 23, kSoundOn},          // mute
    {0, 25, 25, kOnOff},            // compressor off
};

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

} // namespace

bool ValueRange::Allows(double value) const {
    if (!std::isfinite(value)) return false;
    if (wholeNumbers && value != std::trunc(value)) return false;
    if (endsOnly) return value == low || value == high;
    return value >= low && value <= high;
}

std::string ValueRange::Text() const {
    if (endsOnly) return Number(low) + " or " + Number(high) + unit;
    return (wholeNumbers ? "a whole number " : "") + Number(low) + ".." + Number(high) + unit;
}

std::optional<ValueRange> DspParamRange(int block, int parameter) {
    if (block >= 5 && block <= 12) {
        if (block == kWideSurroundBlock && parameter == 21) return Whole(0, 500);
        for (const RangeRun& run : kOutputRanges)
            if (parameter >= run.first && parameter <= run.last) return run.range;
        return std::nullopt;
    }
    for (const RangeRun& run : kBlockRanges)
        if (run.block == block && parameter >= run.first && parameter <= run.last) return run.range;
    return std::nullopt;
}

std::string CheckDspParamValue(int block, int parameter, double value) {
    const std::string name =
        "block " + std::to_string(block) + " parameter " + std::to_string(parameter);
    const std::optional<ValueRange> range = DspParamRange(block, parameter);
    if (!range) return name + " is not set by value";
    if (range->Allows(value)) return "";
    return "VALUE of " + name + " is " + range->Text() + ", not " + Number(value);
}

std::string MillisecondsText(double ms, int minDecimals) {
    const uint32_t samples = MsToSamples(ms);
    constexpr int kMostDecimals = 4; // 1/48 ms apart: four decimals always tell them apart
    char text[40];
    for (int decimals = minDecimals; decimals <= kMostDecimals; ++decimals) {
        std::snprintf(text, sizeof text, "%.*f", decimals, SamplesToMs(samples));
        if (MsToSamples(std::strtod(text, nullptr)) == samples) break;
    }
    return text;
}

std::string DspValueText(int block, int parameter, double value) {
    const DspParamEntry* entry = FindDspParam(block, parameter);
    if (entry && entry->kind == DspValueKind::Samples) return MillisecondsText(value);
    if (entry && entry->floatVar()) {
        const float stored = static_cast<float>(value);
        char text[64];
        for (int decimals = 0; decimals <= 9; ++decimals) {
            std::snprintf(text, sizeof text, "%.*f", decimals, stored);
            if (static_cast<float>(std::strtod(text, nullptr)) == stored) return text;
        }
        std::snprintf(text, sizeof text, "%.9g", stored);
        return text;
    }
    return Number(value);
}

std::string CheckEqBandValues(int type, double frequency, double gain, double q) {
    if (type < EQ_OFF || type > kMaxEqBandType)
        return "TYPE is a whole number 0.." + std::to_string(kMaxEqBandType) + ", not " +
               std::to_string(type);
    const EqBandLimits limits = EqLimitsOf(type);
    const std::string ofType = " of type " + std::to_string(type);
    const ValueRange ranges[] = {
        Real(limits.frequencyLow, limits.frequencyHigh, " Hz"),
        Real(limits.gainLow, limits.gainHigh, " dB"),
        Real(limits.qLow, limits.qHigh, ""),
    };
    const char* names[] = {"FREQ", "GAIN", "Q"};
    const double values[] = {frequency, gain, q};
    for (int i = 0; i < 3; ++i) {
        if (ranges[i].Allows(values[i])) continue;
        const std::string allowed = ranges[i].low == ranges[i].high
                                        ? Number(ranges[i].low) + ranges[i].unit
                                        : ranges[i].Text();
        return std::string(names[i]) + ofType + " is " + allowed + ", not " + Number(values[i]);
    }
    return "";
}

} // namespace fx

// The compressor record: its encoding, its decoding and the one operation
// every page uses to change it.
#include "state/Compressor.h"

#include "link/DebugLog.h"
#include "state/RecordingOutput.h"

#include <cmath>

namespace {
constexpr float kKneeConstant = 20.0f;  // x3, always
constexpr float kSlopeConstant = 0.05f; // x4, always
constexpr double kSamplesPerMs = 48.0;

bool IsValidIndex(int index) {
    return index >= 0 && index < kCompressorCount;
}

// The one-pole coefficient of a time constant in milliseconds at 48 kHz.
float TimeCoefficient(double ms) {
    return static_cast<float>(1.0 - std::exp(-1.0 / (ms * kSamplesPerMs)));
}

double TimeFromCoefficient(double coefficient) {
    return -1.0 / (std::log(1.0 - coefficient) * kSamplesPerMs);
}

float FloatAt(const uint8_t* values, int index) {
    return FloatFromBits(ReadBigEndian32(values + 4 * index));
}
} // namespace

CompressorValues CompressorOnPageSteps(double thresholdDb, double ratio, double attackMs,
                                       double releaseMs) {
    return {static_cast<float>(std::round(thresholdDb)), std::round(ratio * 10.0) / 10.0,
            std::round(attackMs), std::round(releaseMs)};
}

int CompressorBlock(int index) {
    if (!IsValidIndex(index)) return -1;
    return index == kRecordVarIndex ? kRecordBlock : index + 5;
}

int CompressorParameter(int index) {
    if (!IsValidIndex(index)) return -1;
    return index == kRecordVarIndex ? REC_COMPRESSOR : 24;
}

int CompressorSwitchParameter(int index) {
    if (!IsValidIndex(index)) return -1;
    return index == kRecordVarIndex ? REC_COMPRESSOR_BYPASS : 25;
}

std::array<uint32_t, kCompressorValueCount>
EncodeCompressorRecord(double thresholdDb, double ratio, double attackMs, double releaseMs) {
    return {FloatBits(static_cast<float>(thresholdDb)),
            0,
            FloatBits(static_cast<float>(1.0 - 1.0 / ratio)),
            FloatBits(kKneeConstant),
            FloatBits(kSlopeConstant),
            FloatBits(TimeCoefficient(attackMs)),
            FloatBits(TimeCoefficient(releaseMs))};
}

CompressorValues DecodeCompressorRecord(const uint8_t* values) {
    CompressorValues decoded;
    decoded.thresholdDb = FloatAt(values, 0);
    decoded.ratio = 1.0 / (1.0 - static_cast<double>(FloatAt(values, 2)));
    decoded.attackMs = TimeFromCoefficient(FloatAt(values, 5));
    decoded.releaseMs = TimeFromCoefficient(FloatAt(values, 6));
    return decoded;
}

void SetCompressor(int index, double thresholdDb, double ratio, double attackMs, double releaseMs) {
    if (!IsValidIndex(index)) {
        DebugLog("SetCompressor: index %d out of range\n", index);
        return;
    }
    g_Compressor()[index] = {static_cast<float>(thresholdDb), ratio, attackMs, releaseMs};
    const auto values = EncodeCompressorRecord(thresholdDb, ratio, attackMs, releaseMs);
    WriteDspParam(CompressorBlock(index), CompressorParameter(index), values.data(),
                  kCompressorValueCount);
}

bool CompressorActive(int index) {
    if (!IsValidIndex(index)) return false;
    return GetDspParam(CompressorBlock(index), CompressorSwitchParameter(index)) == 0;
}

void SetCompressorActive(int index, bool on) {
    if (!IsValidIndex(index)) {
        DebugLog("SetCompressorActive: index %d out of range\n", index);
        return;
    }
    SetDspParam(CompressorBlock(index), CompressorSwitchParameter(index), on ? 0 : 1);
}

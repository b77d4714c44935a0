#include "state/Features.h"

#include "link/CommandFrames.h"
#include "link/LinkOutbox.h"
#include "link/LinkState.h"
#include "state/ImageEdits.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int kBassBoostBlock = 1;
// The two fixed values in the middle of the bass boost filter.
constexpr uint32_t kBassBoostFilterMiddle[2] = {0x3F7D554A, 0xBFFEA8DC};

// Parameters of block 1 by chain A, B.
constexpr int kInputGain[2] = {41, 68};
constexpr int kOutputGain[2] = {42, 69};
constexpr int kFilter[2] = {44, 71};

float DbToGain(double db) {
    return static_cast<float>(std::pow(10.0, db / 20.0));
}

} // namespace

float BassBoostDb() {
    return FloatFromBits(ReadBigEndian32(g_PanelImage() + kPanelLevelOffset));
}

std::vector<BassBoostWrite> BassBoostWrites(float g, float previous) {
    const uint32_t p = FloatBits(DbToGain(g));
    const uint32_t e = FloatBits(DbToGain(0.0022594517 * g * g + 0.799902 * g));
    const std::vector<uint32_t> filter = {
        p, e, kBassBoostFilterMiddle[0], kBassBoostFilterMiddle[1], p, e};
    const float d = DbToGain(g);
    const std::vector<uint32_t> output = {FloatBits(d)};
    const std::vector<uint32_t> input = {FloatBits(1.0f / d)};
    if (g > previous) {
        return {{kInputGain[1], input}, {kFilter[1], filter}, {kOutputGain[1], output},
                {kInputGain[0], input}, {kFilter[0], filter}, {kOutputGain[0], output}};
    }
    return {{kFilter[1], filter}, {kOutputGain[1], output}, {kInputGain[1], input},
            {kFilter[0], filter}, {kOutputGain[0], output}, {kInputGain[0], input}};
}

void SetBassBoost(double g) {
    const fx::ImageEditScope edit;
    const float previous = BassBoostDb();
    // Adding zero turns -0 into 0, which is stored as four zero bytes.
    const float value = static_cast<float>(g) + 0.0f;
    uint8_t* stored = g_PanelImage() + kPanelLevelOffset;
    uint8_t bytes[4];
    WriteBigEndian32(bytes, FloatBits(value));
    fx::NoteImageChange(kPanelLevelOffset, stored, bytes, 4);
    std::memcpy(stored, bytes, 4);
    g_PanelLevel() = value;
    SendDeviceCmd(CMD_WRITE_PANEL, static_cast<uint8_t>(kPanelLevelOffset >> 8),
                  static_cast<uint8_t>(kPanelLevelOffset & 0xFF), 4, stored);
    const fx::CoalescingOff distinct;
    for (const BassBoostWrite& write : BassBoostWrites(value, previous))
        WriteDspParam(kBassBoostBlock, write.parameter, write.values.data(),
                      static_cast<int>(write.values.size()));
}

bool AutoLevelOn() {
    return GetDspParam(kAutoLevelBlock, kAutoLevelSwitchParameter) == 0.0;
}

void SetAutoLevelOn(bool on) {
    SetDspParam(kAutoLevelBlock, kAutoLevelSwitchParameter, on ? 0 : 1);
}

void SetAutoLevel(double thresholdDb, double ratio, double attackMs, double releaseMs) {
    g_AutoLevel() = {static_cast<float>(thresholdDb), ratio, attackMs, releaseMs};
    const auto values = EncodeCompressorRecord(thresholdDb, ratio, attackMs, releaseMs);
    WriteDspParam(kAutoLevelBlock, kAutoLevelParameter, values.data(), kAutoLevelValueCount);
}

#include "state/ImageValueCheck.h"

#include "state/Compressor.h"
#include "state/DspParamTable.h"
#include "state/EqMath.h"
#include "state/Features.h"
#include "state/ParamImage.h"
#include "state/ParamNames.h"
#include "state/SurroundVolume.h"
#include "state/ValueRanges.h"

#include <cmath>
#include <cstdio>
#include <optional>

namespace fx {

namespace {

// Decoded settings carry the rounding of their encodings (a ratio read back
// as 29.99997): a value this close to an end is taken as that end.
constexpr double kDecodingSlack = 1e-3;

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// "NAME WHAT VALUE UNIT (LOW..HIGH UNIT)"; empty when value lies within low..high.
std::string OutsideRange(const std::string& name, const char* what, double value, double low,
                         double high, const char* unit) {
    const double slack = kDecodingSlack * std::max(1.0, std::fabs(value));
    if (std::isfinite(value) && value >= low - slack && value <= high + slack) return "";
    const std::string label = *what ? std::string(" ") + what : "";
    return name + label + " " + Number(value) + unit + " (" + Number(low) + ".." + Number(high) +
           unit + ")";
}

std::string ItemName(int offset) {
    const ParamItem* item = FindParamItemAt(offset);
    return item ? item->Name(kLanguageEnglish) : "image offset " + std::to_string(offset);
}

std::string CheckBand(const uint8_t* image, int set, int slot) {
    const int offset = EqBandOffset(set, slot);
    const EqBandRecord band = DecodeEqBandRecord(image + offset);
    const std::string name = ItemName(offset);
    if (band.type < EQ_OFF || band.type > kMaxEqBandType)
        return name + " type " + std::to_string(band.type) + " (0.." +
               std::to_string(kMaxEqBandType) + ")";
    // The widest limits of any type: a band keeps its gain and Q when the
    // page changes its type.
    const EqBandLimits peaking = EqLimitsOf(EQ_PEQ);
    for (const std::string& refusal :
         {OutsideRange(name, "frequency", band.frequency, peaking.frequencyLow,
                       peaking.frequencyHigh, " Hz"),
          OutsideRange(name, "gain", band.gain, peaking.gainLow, peaking.gainHigh, " dB"),
          OutsideRange(name, "Q", band.q, peaking.qLow, peaking.qHigh, "")}) {
        if (!refusal.empty()) return refusal;
    }
    return "";
}

std::string CheckBands(const uint8_t* image) {
    for (int set = 0; set < kEqSetCount; ++set) {
        for (int slot = 0; slot < EqSetSlots(set); ++slot) {
            const std::string refusal = CheckBand(image, set, slot);
            if (!refusal.empty()) return refusal;
        }
    }
    return "";
}

// The editor value of a record's first value, decoded as the editor decodes
// it; nothing for a float that is no number.
std::optional<double> EditorValue(DspValueKind kind, uint32_t stored) {
    switch (kind) {
    case DspValueKind::Percent:
        if (!std::isfinite(FloatFromBits(stored))) return std::nullopt;
        return PercentFromStored(stored);
    case DspValueKind::Raw:
        return FloatFromBits(stored);
    case DspValueKind::LowByte:
        return stored & 0xFF;
    case DspValueKind::Samples:
        return SamplesToMs(stored);
    case DspValueKind::TenThousandths:
        return TenThousandthsFromStored(stored);
    case DspValueKind::None:
        break;
    }
    return std::nullopt;
}

std::string CheckRangedValue(const uint8_t* image, const DspRecordDefault& record) {
    const std::optional<ValueRange> range = DspParamRange(record.block, record.parameter);
    if (!range) return "";
    const std::optional<double> value =
        EditorValue(record.kind, ReadBigEndian32(image + record.valueOffset));
    const std::string name = ItemName(record.valueOffset);
    if (!value) return name + " not a number (" + range->Text() + ")";
    if (range->Allows(*value)) return "";
    return name + " " + Number(*value) + range->unit + " (" + range->Text() + ")";
}

bool IsCompressorRecord(const DspRecordDefault& record) {
    if (record.block == kAutoLevelBlock && record.parameter == kAutoLevelParameter) return true;
    for (int index = 0; index < kCompressorCount; ++index)
        if (record.block == CompressorBlock(index) &&
            record.parameter == CompressorParameter(index))
            return true;
    return false;
}

// Each setting is named by its own value of the record (x0 threshold, x2
// ratio, x5 attack, x6 release).
std::string CheckCompressor(const uint8_t* image, const DspRecordDefault& record) {
    const CompressorValues values = DecodeCompressorRecord(image + record.valueOffset);
    const auto name = [&](int value) { return ItemName(record.valueOffset + 4 * value); };
    for (const std::string& refusal :
         {OutsideRange(name(0), "", values.thresholdDb, kCompThresholdMinDb, kCompThresholdMaxDb,
                       " dB"),
          OutsideRange(name(2), "", values.ratio, kCompRatioMin, kCompRatioMax, ""),
          OutsideRange(name(5), "", values.attackMs, kCompAttackMinMs, kCompAttackMaxMs, " ms"),
          OutsideRange(name(6), "", values.releaseMs, kCompReleaseMinMs, kCompReleaseMaxMs,
                       " ms")}) {
        if (!refusal.empty()) return refusal;
    }
    return "";
}

std::string CheckDspRecords(const uint8_t* image) {
    for (const DspRecordDefault& record : DspRecordDefaults()) {
        const std::string refusal = IsCompressorRecord(record) ? CheckCompressor(image, record)
                                                               : CheckRangedValue(image, record);
        if (!refusal.empty()) return refusal;
    }
    return "";
}

std::string CheckPanelValues(const uint8_t* image) {
    const float boost = FloatFromBits(ReadBigEndian32(image + kPanelLevelOffset));
    std::string refusal = OutsideRange(ItemName(kPanelLevelOffset), "", boost, kBassBoostMinDb,
                                       kBassBoostMaxDb, " dB");
    for (int side = 0; side < 2 && refusal.empty(); ++side) {
        const int offset = kSurroundLayoutOffset + side;
        refusal =
            OutsideRange(ItemName(offset), "", image[offset], kRoomSizeMin, kRoomSizeMax, " m");
    }
    return refusal;
}

} // namespace

std::string FirstImpossibleValue(const uint8_t* image) {
    std::string refusal = CheckBands(image);
    if (refusal.empty()) refusal = CheckDspRecords(image);
    if (refusal.empty()) refusal = CheckPanelValues(image);
    return refusal;
}

} // namespace fx

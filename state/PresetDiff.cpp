#include "state/PresetDiff.h"

#include "state/DspParamTable.h"

#include <cstdio>
#include <cstring>

namespace fx {

namespace {

constexpr int kRecordHeadSize = 3;

std::string HexBytes(const uint8_t* bytes, int size) {
    std::string text;
    for (int i = 0; i < size; ++i) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
        text += hex;
    }
    return text;
}

// The stored bytes behind a value that reads the same on both sides.
void AddStoredBytes(ParamValue& value, const uint8_t* bytes, int size) {
    value.text += " [" + HexBytes(bytes, size) + "]";
}

// Floats the processor computes with: 0.0 and -0.0 (or any two encodings of
// one number) do the same.
bool SameFloats(const uint8_t* a, const uint8_t* b, int size) {
    for (int at = 0; at + 4 <= size; at += 4)
        if (FloatFromBits(ReadBigEndian32(a + at)) != FloatFromBits(ReadBigEndian32(b + at)))
            return false;
    return size % 4 == 0;
}

bool StoresFloats(const ParamItem& item) {
    if (item.block >= 0) {
        // Whole numbers where the editor reads them so; floats otherwise
        // (levels, raw values, compressor records, filters).
        const DspParamEntry* entry = FindDspParam(item.block, item.parameter);
        const DspValueKind kind = entry ? entry->kind : DspValueKind::Raw;
        return kind != DspValueKind::LowByte && kind != DspValueKind::Samples &&
               kind != DspValueKind::TenThousandths;
    }
    return item.format == ParamFormat::Float;
}

// Two stored values the processor cannot tell apart, so no difference: equal
// floats, and places of the room plan whose signed tenths are equal (+0.0 and
// -0.0 m, 00 and 80).
bool SameToTheProcessor(const ParamItem& item, const uint8_t* a, const uint8_t* b) {
    if (std::memcmp(a, b, item.size) == 0) return true;
    if (item.format == ParamFormat::Point) {
        for (int i = 0; i < item.size; ++i)
            if (DecodeSignedTenths(a[i]) != DecodeSignedTenths(b[i])) return false;
        return true;
    }
    return StoresFloats(item) && SameFloats(a, b, item.size);
}

ParamValue HeadValue(const uint8_t* head) {
    char text[32];
    std::snprintf(text, sizeof text, "%d/%d x%d", head[0], head[1], head[2]);
    return {text, std::nullopt, "", std::nullopt};
}

} // namespace

std::vector<ParamDifference> DiffImages(const uint8_t* a, const uint8_t* b, int language) {
    std::vector<ParamDifference> differences;
    for (const ParamItem& item : ParamItems()) {
        if (SameToTheProcessor(item, a + item.offset, b + item.offset)) continue;
        ParamDifference difference{&item, item.offset, ReadParamValue(item, a, language),
                                   ReadParamValue(item, b, language)};
        if (difference.a.text == difference.b.text) {
            AddStoredBytes(difference.a, a + item.offset, item.size);
            AddStoredBytes(difference.b, b + item.offset, item.size);
        }
        differences.push_back(std::move(difference));
    }
    for (const DspRecordDefault& record : DspRecordDefaults()) {
        const int head = record.valueOffset - kRecordHeadSize;
        if (std::memcmp(a + head, b + head, kRecordHeadSize) == 0) continue;
        differences.push_back({nullptr, head, HeadValue(a + head), HeadValue(b + head)});
    }
    return differences;
}

int CountDifferences(const uint8_t* a, const uint8_t* b) {
    int count = 0;
    for (const ParamItem& item : ParamItems())
        if (!SameToTheProcessor(item, a + item.offset, b + item.offset)) ++count;
    for (const DspRecordDefault& record : DspRecordDefaults()) {
        const int head = record.valueOffset - kRecordHeadSize;
        if (std::memcmp(a + head, b + head, kRecordHeadSize) != 0) ++count;
    }
    return count;
}

std::vector<uint8_t> EditedImage() {
    std::vector<uint8_t> image(g_ParamImage(), g_ParamImage() + kImageSize);
    std::memcpy(image.data(), g_PanelImage(), kPanelSize);
    return image;
}

std::string DifferenceName(const ParamDifference& difference, int language) {
    if (difference.item != nullptr) return difference.item->Name(language);
    return (language == kLanguageChinese ? "DSP记录头" : "DSP record head at ") +
           std::to_string(difference.offset);
}

std::string DifferenceLine(const ParamDifference& difference, int language) {
    return DifferenceName(difference, language) + ": " + difference.a.text + " → " +
           difference.b.text;
}

} // namespace fx

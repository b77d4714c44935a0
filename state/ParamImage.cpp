// The parameter image: the mirror of the processor's memory, its encodings,
// the default image and the operations that change a parameter and send the
// change at once.
#include "state/ParamImage.h"

#include "link/CommandFrames.h"
#include "link/DebugLog.h"
#include "link/StateThread.h"
#include "state/Compressor.h"
#include "state/DspParamTable.h"
#include "state/EqMath.h"
#include "state/ImageEdits.h"
#include "state/Saturate.h"
#include "state/SurroundVolume.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

// ---------------------------------------------------------------- encodings

uint32_t ReadBigEndian32(const uint8_t* bytes) {
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
           uint32_t{bytes[3]};
}

void WriteBigEndian32(uint8_t* bytes, uint32_t value) {
    bytes[0] = static_cast<uint8_t>(value >> 24);
    bytes[1] = static_cast<uint8_t>(value >> 16);
    bytes[2] = static_cast<uint8_t>(value >> 8);
    bytes[3] = static_cast<uint8_t>(value);
}

uint32_t FloatBits(float value) {
    return std::bit_cast<uint32_t>(value);
}
float FloatFromBits(uint32_t bits) {
    return std::bit_cast<float>(bits);
}

// A live write adds 0.0000001 to every nonzero value (65 goes out as
// 3F266668), the form the processor has always been sent.
uint32_t PercentToStored(int value) {
    if (value == 0) return 0;
    const float single = static_cast<float>(value) / 100.0f;
    return FloatBits(static_cast<float>(static_cast<double>(single) + 0.0000001));
}

// Reading back rounds to the nearest whole value: an exact 0.65 is
// 64.9999976 percent and shows as 65.
int PercentFromStored(uint32_t stored) {
    return fx::SaturateTo<int>(std::round(static_cast<double>(FloatFromBits(stored)) * 100.0));
}

uint32_t TenThousandthsToStored(int value) {
    return FloatBits(static_cast<float>(value / 10000.0));
}

int TenThousandthsFromStored(uint32_t stored) {
    return fx::SaturateTo<int>(std::round(static_cast<double>(FloatFromBits(stored)) * 10000.0));
}

// A negative time has no sample count; it is stored as 0.
uint32_t MsToSamples(double ms) {
    return fx::SaturateTo<uint32_t>(ms * 48.0 + 0.5);
}

double SamplesToMs(uint32_t samples) {
    return samples * 1000.0 / 48000.0;
}

uint8_t EncodeSignedTenths(double value) {
    const double adjusted = value > 0 ? value + 0.05 : value - 0.05;
    const int tenths = std::clamp(fx::SaturateTo<int>(adjusted * 10.0), -127, 127);
    const int magnitude = tenths < 0 ? -tenths : tenths;
    return static_cast<uint8_t>(magnitude | (adjusted < 0 ? 0x80 : 0x00));
}

// 0x80 (how a zero is encoded) is a plain zero, never -0.0, which would show as "-0.0".
double DecodeSignedTenths(uint8_t byte) {
    const double magnitude = (byte & 0x7F) / 10.0;
    return (byte & 0x80) && magnitude != 0.0 ? -magnitude : magnitude;
}

uint16_t EncodeGainWord(double gainDb) {
    const double word = (gainDb + 0.05 + 15.0) * 10.0;
    return fx::SaturateTo<uint16_t>(word);
}

// The thousandth of a step absorbs the representation error of a Q that was
// decoded from a word (1.001 is 1.00099999... as a double), so a record read
// back and stored again keeps its Q.
uint16_t EncodeQWord(double q) {
    return fx::SaturateTo<uint16_t>(q * 1000.0 + 0.001);
}

double DecodeGainWord(uint16_t word) {
    return word / 10.0 - 15.0;
}
double DecodeQWord(uint16_t word) {
    return word / 1000.0;
}

// ---------------------------------------------------------------- DSP table

const DspParamEntry* FindDspParam(int block, int parameter) {
    for (const DspParamEntry& entry : DspParamTable) {
        if (entry.block == block && entry.parameter == parameter) return &entry;
    }
    return nullptr;
}

double GetDspParam(int block, int parameter) {
    const DspParamEntry* entry = FindDspParam(block, parameter);
    if (entry == nullptr) return 0.0;
    if (entry->intVar() != nullptr) return *entry->intVar();
    if (entry->floatVar() != nullptr) return *entry->floatVar();
    return 0.0;
}

int DspRecordValueOffset(int block, int parameter) {
    for (const DspRecordDefault& record : DspRecordDefaults()) {
        if (record.block == block && record.parameter == parameter) return record.valueOffset;
    }
    return -1;
}

int WalkDspRecords(const uint8_t* image, const std::function<bool(const DspRecordView&)>& visit) {
    int offset = kDspAreaStart;
    while (offset + 3 <= kImageSize) {
        const DspRecordView record{offset, image[offset], image[offset + 1], image[offset + 2]};
        if (offset + 3 + 4 * record.count > kImageSize) break;
        if (!visit(record)) break;
        offset += 3 + 4 * record.count;
    }
    return offset;
}

namespace {

// Sets an entry's editor variable from its stored value.
void LoadEditorVariable(const DspParamEntry& entry, uint32_t stored) {
    switch (entry.kind) {
    case DspValueKind::Percent:
        *entry.intVar() = PercentFromStored(stored);
        break;
    case DspValueKind::Raw:
        *entry.floatVar() = FloatFromBits(stored);
        break;
    case DspValueKind::LowByte:
        *entry.intVar() = static_cast<int>(stored & 0xFF);
        break;
    case DspValueKind::Samples:
        *entry.floatVar() = static_cast<float>(SamplesToMs(stored));
        break;
    case DspValueKind::TenThousandths:
        *entry.intVar() = TenThousandthsFromStored(stored);
        break;
    case DspValueKind::None:
        break;
    }
}

// Stores value in an entry's editor variable and returns the 4-byte stored form.
uint32_t StoreEditorVariable(const DspParamEntry& entry, double value) {
    switch (entry.kind) {
    case DspValueKind::Percent:
        *entry.intVar() = fx::SaturateTo<int>(value);
        return PercentToStored(*entry.intVar());
    case DspValueKind::Raw:
        *entry.floatVar() = static_cast<float>(value);
        return FloatBits(*entry.floatVar());
    case DspValueKind::LowByte:
        *entry.intVar() = fx::SaturateTo<int>(value);
        return static_cast<uint32_t>(*entry.intVar()) & 0xFF;
    case DspValueKind::Samples:
        *entry.floatVar() = static_cast<float>(value);
        return MsToSamples(*entry.floatVar());
    case DspValueKind::TenThousandths:
        *entry.intVar() = fx::SaturateTo<int>(value);
        return TenThousandthsToStored(*entry.intVar());
    case DspValueKind::None:
        break;
    }
    return 0;
}

bool HasEditorVariable(const DspParamEntry& entry) {
    return entry.intVar() != nullptr || entry.floatVar() != nullptr;
}

float ImageFloat(int offset) {
    return FloatFromBits(ReadBigEndian32(g_ParamImage() + offset));
}

// Threshold, ratio and times of a compressor-style record of seven values.
CompressorValues DecodeCompressor(int valueOffset) {
    return DecodeCompressorRecord(g_ParamImage() + valueOffset);
}

// The frequency of a frequency-shift filter, 1 while its switch is on.
double ShiftFrequency(int coefficientParameter, int switchParameter) {
    if ((g_ParamImage()[DspRecordValueOffset(1, switchParameter) + 3]) != 0) return 1.0;
    const double value = ImageFloat(DspRecordValueOffset(1, coefficientParameter));
    return value * 48000.0 * 0.5 / std::numbers::pi + 0.001;
}

void RefreshDerivedValues() {
    for (int channel = 0; channel < 8; ++channel) {
        g_Compressor()[channel] = DecodeCompressor(DspRecordValueOffset(channel + 5, 24));
        const double weight = ImageFloat(DspRecordValueOffset(channel + 5, 14) + 4);
        g_WholeChannelDelay()[channel] = weight * 100.0 == 0.0;
    }
    g_Compressor()[kRecordVarIndex] = DecodeCompressor(DspRecordValueOffset(13, 10));
    g_AutoLevel() = DecodeCompressor(DspRecordValueOffset(4, 14));
    g_MusicPitch() = g_ParamImage()[DspRecordValueOffset(4, 21) + 3] - 5;
    g_PanelLevel() = FloatFromBits(ReadBigEndian32(g_PanelImage() + kPanelLevelOffset));
    g_ShiftFrequencyA() = ShiftFrequency(38, 40);
    g_ShiftFrequencyB() = ShiftFrequency(65, 67);
}

// Default band records of a set: frequencies, and Q, type and gain where they
// differ from 1.414, 1 and 0 dB.
struct DefaultBand {
    double frequency;
    double q = 1.414;
    int type = EQ_PEQ;
    double gain = 0.0;
};

void WriteBand(uint8_t* image, int set, int band, const DefaultBand& value) {
    EncodeEqBandRecord({value.gain, value.frequency, value.q, value.type},
                       image + EqBandOffset(set, band));
}

void WriteBands(uint8_t* image, int set, std::initializer_list<DefaultBand> bands) {
    int band = 0;
    for (const DefaultBand& value : bands) WriteBand(image, set, band++, value);
}

void BuildDefaultBands(uint8_t* image) {
    constexpr double kSlope = 0.707;
    for (int set = 0; set <= 1; ++set) {
        WriteBands(image, set,
                   {{25},
                    {40},
                    {63},
                    {100},
                    {160},
                    {250},
                    {400},
                    {630},
                    {998},
                    {1600},
                    {2500},
                    {4000},
                    {6300},
                    {10000},
                    {16000}});
    }
    WriteBands(image, 2, {{61}, {125}, {250}, {500}, {1000}, {2300}, {5000, kSlope, EQ_LP}});
    WriteBands(
        image, 3,
        {{200, kSlope, EQ_HP}, {160}, {250}, {500}, {1000}, {2300}, {5000, kSlope, EQ_HS, 3.0}});
    WriteBands(
        image, 4,
        {{120, kSlope, EQ_HP}, {160}, {250}, {500}, {1000}, {2300}, {5000, kSlope, EQ_HS, -6.0}});
    WriteBands(
        image, 5,
        {{100, kSlope, EQ_HP}, {160}, {250}, {500}, {1000}, {2300}, {3000, kSlope, EQ_HS, -3.0}});
    WriteBands(image, 6,
               {{31},
                {62},
                {125},
                {250},
                {500},
                {1000},
                {2000},
                {4000},
                {8000},
                {16000},
                {100, kSlope, EQ_LP}});
    for (int set = 7; set <= 14; ++set) {
        if (set == 12) {
            WriteBands(image, set,
                       {{31},
                        {62},
                        {125},
                        {250},
                        {500},
                        {1000},
                        {100, kSlope, 18},
                        {100, kSlope, 20},
                        {100, kSlope, EQ_PEQ},
                        {100, kSlope, EQ_PEQ},
                        {500, kSlope},
                        {1000, kSlope}});
        } else {
            WriteBands(image, set,
                       {{31},
                        {62},
                        {125},
                        {250},
                        {500},
                        {1000},
                        {2000},
                        {4000},
                        {8000},
                        {16000},
                        {500, kSlope},
                        {1000, kSlope}});
        }
    }
    WriteBands(image, 15, {{31}, {62}, {125}, {250}, {500}});
}

void BuildDefaultSurround(uint8_t* image) {
    const auto layout = DefaultSurroundLayout();
    std::memcpy(image + kSurroundLayoutOffset, layout.data(), layout.size());
}

void BuildDefaultRecords(uint8_t* image) {
    for (const DspRecordDefault& record : DspRecordDefaults()) {
        uint8_t* head = image + record.valueOffset - 3;
        head[0] = static_cast<uint8_t>(record.block);
        head[1] = static_cast<uint8_t>(record.parameter);
        head[2] = static_cast<uint8_t>(record.count);
        for (int i = 0; i < record.count; ++i) WriteBigEndian32(head + 3 + 4 * i, record.values[i]);
    }
}

bool IsValidEqSet(int set) {
    return set >= 0 && set < kEqSetCount;
}

bool IsValidEqBand(int set, int band) {
    return IsValidEqSet(set) && band >= 0 && band < EqSetSlots(set);
}

} // namespace

// ---------------------------------------------------------------- image

std::array<uint8_t, kImageSize> DefaultImageBytes() {
    std::array<uint8_t, kImageSize> image{};
    BuildDefaultBands(image.data());
    BuildDefaultSurround(image.data());
    BuildDefaultRecords(image.data());
    return image;
}

void BuildDefaultImage() {
    const std::array<uint8_t, kImageSize> image = DefaultImageBytes();
    fx::StateGuard lock(fx::StateLock());
    std::memcpy(g_ParamImage(), image.data(), kImageSize);
    RefreshFromImage();
}

void RefreshFromImage() {
    fx::StateGuard lock(fx::StateLock());
    std::memcpy(g_PanelImage(), g_ParamImage(), kPanelSize);
    DecodeSurroundLayout();
    RefreshDerivedValues();
    for (const DspParamEntry& entry : DspParamTable) {
        if (entry.kind == DspValueKind::None || entry.imageOffset < 0) continue;
        LoadEditorVariable(entry, ReadBigEndian32(g_ParamImage() + entry.imageOffset));
    }
    fx::NoteImageReplaced();
}

void RefreshRecordValues(int block, int parameter) {
    fx::StateGuard lock(fx::StateLock());
    const DspParamEntry* entry = FindDspParam(block, parameter);
    if (entry != nullptr && entry->kind != DspValueKind::None && entry->imageOffset >= 0)
        LoadEditorVariable(*entry, ReadBigEndian32(g_ParamImage() + entry->imageOffset));
    const int offset = DspRecordValueOffset(block, parameter);
    if (block >= 5 && block <= 12 && parameter == 24)
        g_Compressor()[block - 5] = DecodeCompressor(offset);
    if (block == 13 && parameter == 10) g_Compressor()[kRecordVarIndex] = DecodeCompressor(offset);
    if (block >= 5 && block <= 12 && parameter == 14)
        g_WholeChannelDelay()[block - 5] = ImageFloat(offset + 4) * 100.0 == 0.0;
    if (block == 4 && parameter == 14) g_AutoLevel() = DecodeCompressor(offset);
    if (block == 1 && (parameter == 38 || parameter == 40))
        g_ShiftFrequencyA() = ShiftFrequency(38, 40);
    if (block == 1 && (parameter == 65 || parameter == 67))
        g_ShiftFrequencyB() = ShiftFrequency(65, 67);
}

void RefreshPanelValues() {
    fx::StateGuard lock(fx::StateLock());
    DecodeSurroundLayout();
    g_PanelLevel() = FloatFromBits(ReadBigEndian32(g_PanelImage() + kPanelLevelOffset));
}

void SetDspParam(int block, int parameter, double value) {
    const DspParamEntry* entry = FindDspParam(block, parameter);
    if (entry == nullptr || entry->kind == DspValueKind::None || entry->imageOffset < 0 ||
        !HasEditorVariable(*entry)) {
        return;
    }
    fx::StateGuard lock(fx::StateLock());
    const uint32_t stored = StoreEditorVariable(*entry, value);
    uint8_t bytes[4];
    WriteBigEndian32(bytes, stored);
    fx::NoteImageChange(entry->imageOffset, g_ParamImage() + entry->imageOffset, bytes, 4);
    WriteBigEndian32(g_ParamImage() + entry->imageOffset, stored);
    SendDspWrite(block, parameter, &stored, 1);
}

void WriteDspParam(int block, int parameter, const uint32_t* values, int count) {
    fx::StateGuard lock(fx::StateLock());
    const DspParamEntry* entry = FindDspParam(block, parameter);
    // More values than the record holds would run into the next record's head.
    if (entry != nullptr && entry->imageOffset >= 0 && count > 0 && count <= entry->valueCount) {
        uint8_t bytes[4 * 256];
        for (int i = 0; i < count; ++i) WriteBigEndian32(bytes + 4 * i, values[i]);
        uint8_t* stored = g_ParamImage() + entry->imageOffset;
        fx::NoteImageChange(entry->imageOffset, stored, bytes, 4 * count);
        std::memcpy(stored, bytes, static_cast<size_t>(4 * count));
    }
    SendDspWrite(block, parameter, values, count);
}

// ---------------------------------------------------------------- EQ bands

int EqSetSlots(int set) {
    return fx::EqSetFactsOf(set).recordSlots;
}

int EqBandOffset(int set, int band) {
    static constexpr int kBase[7] = {0, 105, 210, 259, 308, 357, 406};
    if (!IsValidEqSet(set)) return -1;
    int base = 1155;
    if (set <= 6)
        base = kBase[set];
    else if (set <= 14)
        base = (12 * set - 15) * 7;
    return base + kEqBandRecordSize * band;
}

int EqSetBlock(int set) {
    static constexpr int kBlocks[7] = {1, 1, 2, 2, 3, 3, 4};
    if (!IsValidEqSet(set)) return -1;
    if (set <= 6) return kBlocks[set];
    if (set <= 14) return set - 2;
    return 13;
}

int EqSetFirstParameter(int set) {
    static constexpr int kFirst[7] = {18, 45, 0, 14, 0, 12, 0};
    if (!IsValidEqSet(set)) return -1;
    return set <= 6 ? kFirst[set] : 0;
}

EqBandRecord DecodeEqBandRecord(const uint8_t* record) {
    EqBandRecord band;
    band.gain = DecodeGainWord(static_cast<uint16_t>((record[0] << 8) | record[1]));
    band.frequency = (record[2] << 8) | record[3];
    band.q = DecodeQWord(static_cast<uint16_t>((record[4] << 8) | record[5]));
    band.type = record[6];
    return band;
}

void EncodeEqBandRecord(const EqBandRecord& band, uint8_t* record) {
    const uint16_t gain = EncodeGainWord(band.gain);
    const uint16_t frequency = fx::SaturateTo<uint16_t>(band.frequency);
    const uint16_t q = EncodeQWord(band.q);
    record[0] = static_cast<uint8_t>(gain >> 8);
    record[1] = static_cast<uint8_t>(gain);
    record[2] = static_cast<uint8_t>(frequency >> 8);
    record[3] = static_cast<uint8_t>(frequency);
    record[4] = static_cast<uint8_t>(q >> 8);
    record[5] = static_cast<uint8_t>(q);
    record[6] = static_cast<uint8_t>(band.type);
}

EqBandRecord QuantiseEqBand(const EqBandRecord& band) {
    uint8_t record[kEqBandRecordSize];
    EncodeEqBandRecord(band, record);
    return DecodeEqBandRecord(record);
}

// Writes a band record into the panel copy at offset, noting the change.
// The caller holds the state lock.
static void PutEqBandRecord(int offset, const EqBandRecord& band) {
    uint8_t record[kEqBandRecordSize];
    EncodeEqBandRecord(band, record);
    fx::NoteImageChange(offset, g_PanelImage() + offset, record, kEqBandRecordSize);
    std::memcpy(g_PanelImage() + offset, record, kEqBandRecordSize);
}

EqBandRecord SetEqBand(int set, int band, int type, double frequency, double gain, double q) {
    // The coefficients are those of the words the record holds, so the
    // processor, the image and the pages agree on the band.
    const EqBandRecord words = QuantiseEqBand({gain, frequency, q, type});
    if (!IsValidEqBand(set, band)) {
        DebugLog("SetEqBand: band %d of set %d out of range\n", band, set);
        return words;
    }
    const int offset = EqBandOffset(set, band);
    const int block = EqSetBlock(set);
    const int parameter = EqSetFirstParameter(set) + band;
    fx::StateGuard lock(fx::StateLock());
    PutEqBandRecord(offset, {words.gain, words.frequency, words.q, type});
    const std::array<uint32_t, 5> coefficients =
        EqCoefficientWords(type, words.frequency, words.gain, words.q);
    SendEqBand(block, parameter, coefficients.data(), offset, g_PanelImage() + offset,
               kEqBandRecordSize);
    return words;
}

std::vector<EqBandRecord> SetEqBands(int set, const std::vector<EqBandWrite>& bands) {
    std::vector<EqBandRecord> written;
    written.reserve(bands.size());
    for (const EqBandWrite& b : bands)
        written.push_back(SetEqBand(set, b.band, b.type, b.frequency, b.gain, b.q));
    return written;
}

void StoreEqBand(int set, int band, double gain, double frequency, double q, int type) {
    if (!IsValidEqBand(set, band)) {
        DebugLog("StoreEqBand: band %d of set %d out of range\n", band, set);
        return;
    }
    const int offset = EqBandOffset(set, band);
    fx::StateGuard lock(fx::StateLock());
    PutEqBandRecord(offset, {gain, frequency, q, type});
    SendDeviceCmd(CMD_WRITE_PANEL, static_cast<uint8_t>(offset >> 8),
                  static_cast<uint8_t>(offset & 0xFF), kEqBandRecordSize, g_PanelImage() + offset);
}

bool CopyEqSet(int src, int dst) {
    if (src < 0 || src >= kEqSetCount) {
        DebugLogText("MX_CopyEQ src over range");
        return false;
    }
    if (dst < 0 || dst >= kEqSetCount) {
        DebugLogText("MX_CopyEQ dst over range");
        return false;
    }
    const fx::ImageEditScope paste(fx::ImageEditKind::EqPaste, dst);
    const int count = std::min(EqCopyCount(src), EqCopyCount(dst));
    const size_t size = static_cast<size_t>(count) * kEqBandRecordSize;
    uint8_t* target = g_PanelImage() + EqBandOffset(dst, 0);
    const std::vector<uint8_t> before(target, target + size);
    std::memmove(target, g_PanelImage() + EqBandOffset(src, 0), size);
    fx::NoteImageChange(EqBandOffset(dst, 0), before.data(), target, static_cast<int>(size));
    return ResendEqSet(dst);
}

bool ResendEqSet(int set) {
    if (!IsValidEqSet(set)) {
        DebugLogText("MX_CopyEQ src over range");
        return false;
    }
    for (int band = 0; band < EqBandCount(set); ++band) {
        const EqBandRecord record = DecodeEqBandRecord(g_PanelImage() + EqBandOffset(set, band));
        SetEqBand(set, band, record.type, record.frequency, record.gain, record.q);
    }
    return true;
}

void ResetEqSet(int set) {
    // CH 6 keeps its crossover band (6, with sections 7..9) at 100 Hz.
    static constexpr double kSet12Frequencies[10] = {31,   62,  250, 500, 1000,
                                                     2000, 100, 100, 100, 100};
    static constexpr int kSet12Types[10] = {1, 1, 1, 1, 1, 1, 18, 20, 1, 1};
    if (!IsValidEqSet(set)) return;
    const fx::ImageEditScope reset(fx::ImageEditKind::EqReset, set);
    for (int band = 0; band < EqBandCount(set); ++band) {
        const bool crossoverSet = set == 12;
        const int type = crossoverSet ? kSet12Types[band] : EQ_PEQ;
        const double frequency =
            crossoverSet ? kSet12Frequencies[band] : EqInitialFrequency(set, band);
        SetEqBand(set, band, type, frequency, 0.0, 1.41);
    }
}

int g_EqClipboardSet = -1;

// ---------------------------------------------------------------- surround

void DecodeSurroundLayout() {
    fx::StateGuard lock(fx::StateLock());
    g_SurroundLayout() = DecodeSurroundLayout(g_PanelImage());
}

SurroundLayout DecodeSurroundLayout(const uint8_t* panel) {
    const uint8_t* layout = panel + kSurroundLayoutOffset;
    SurroundLayout decoded{};
    decoded.byte1222 = layout[0];
    decoded.byte1223 = layout[1];
    for (int i = 0; i < 18; ++i)
        decoded.points[i] = static_cast<float>(DecodeSignedTenths(layout[2 + i]));
    return decoded;
}

void SendSurroundLayout() {
    fx::StateGuard lock(fx::StateLock());
    uint8_t* layout = g_PanelImage() + kSurroundLayoutOffset;
    uint8_t bytes[20];
    bytes[0] = static_cast<uint8_t>(g_SurroundLayout().byte1222);
    bytes[1] = static_cast<uint8_t>(g_SurroundLayout().byte1223);
    for (int i = 0; i < 18; ++i) bytes[2 + i] = EncodeSignedTenths(g_SurroundLayout().points[i]);
    fx::NoteImageChange(kSurroundLayoutOffset, layout, bytes, sizeof bytes);
    std::memcpy(layout, bytes, sizeof bytes);
    SendDeviceCmd(CMD_WRITE_PANEL, static_cast<uint8_t>(kSurroundLayoutOffset >> 8),
                  static_cast<uint8_t>(kSurroundLayoutOffset & 0xFF), kSurroundLayoutSize, layout);
}

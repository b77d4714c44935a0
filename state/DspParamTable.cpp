// The directory of the DSP record area: every record of the default image in
// memory order, with its kind and default values, and the table that binds the
// DSP parameters to their editor variables and image locations. Both are built
// at compile time from one list, so the table can never disagree with the
// default image about where a record lies.
#include "state/DspParamTable.h"

#include "state/ParamImage.h"
#include "state/SurroundVolume.h"

#include <bit>

namespace {

using K = DspValueKind;

constexpr uint32_t F(float value) {
    return std::bit_cast<uint32_t>(value);
}
constexpr uint32_t I(int value) {
    return static_cast<uint32_t>(value);
}
// A Percent default is the float nearest percent / 100, exactly as the
// processor's factory image holds it (0.65 is 3F266666). Only live writes add
// the small offset; reading back rounds, so these still show as whole percents.
constexpr uint32_t P(int percent) {
    return F(static_cast<float>(percent) / 100.0f);
}

// A run of consecutive parameters sharing count, kind and default values.
struct RecordRun {
    int block;
    int firstParameter;
    int lastParameter;
    int count;
    K kind;
    int flags;
    std::array<uint32_t, kMaxDspRecordValues> values;
};

constexpr std::array<uint32_t, kMaxDspRecordValues> kShiftFilter = {F(1.0f),    F(1.0f), 0x3F7D554A,
                                                                    0xBFFEA8DC, F(1.0f), F(1.0f)};
constexpr std::array<uint32_t, kMaxDspRecordValues> kSurroundFilter = {
    F(1.0f), F(1.0f), kSpeakerFilterC1, kSpeakerFilterC2, F(1.0f), F(1.0f)};
constexpr std::array<uint32_t, kMaxDspRecordValues> kAutoLevel = {
    0, 0, F(0.75f), F(20.0f), F(0.05f), 0x39B6034A, 0x3811A20E};
constexpr std::array<uint32_t, kMaxDspRecordValues> kCompressor = {
    0, 0, 0x3F777777, F(20.0f), F(0.05f), 0x3CA8E6C0, 0x395A7000};
constexpr uint32_t kShiftCoefficient = 0x3A2B92A6;

constexpr int kOutputSourceDefaults[8] = {0, 0, 7, 6, 5, 4, 3, 2};

constexpr int kNoEntry = 1;    // a record without a table entry
constexpr int kNoLocation = 2; // an entry that does not point into the image

constexpr RecordRun R(int block, int first, int last, K kind, uint32_t value, int flags = 0) {
    return {block, first, last, 1, kind, flags, {value}};
}
constexpr RecordRun R1(int block, int parameter, K kind, uint32_t value, int flags = 0) {
    return R(block, parameter, parameter, kind, value, flags);
}
constexpr RecordRun RN(int block, int parameter, int count,
                       const std::array<uint32_t, kMaxDspRecordValues>& values) {
    return {block, parameter, parameter, count, K::None, 0, values};
}

constexpr std::array kBlocks1To4 = {
    // Block 1: microphone inputs and chains A and B.
    R(1, 4, 7, K::Percent, P(100)),
    R(1, 8, 11, K::TenThousandths, F(0.002f)),
    R1(1, 12, K::LowByte, 0),
    R1(1, 13, K::Percent, P(0)),
    R1(1, 14, K::Percent, P(50)),
    R1(1, 15, K::Percent, P(100)),
    R1(1, 16, K::Percent, P(50)),
    R1(1, 17, K::Percent, P(100)),
    R1(1, 33, K::LowByte, 0),
    R(1, 34, 37, K::Percent, P(100)),
    R1(1, 38, K::None, kShiftCoefficient),
    R1(1, 39, K::Samples, I(1200)),
    R1(1, 40, K::LowByte, 0),
    R(1, 41, 42, K::None, F(1.0f)),
    R1(1, 43, K::LowByte, 1),
    RN(1, 44, 6, kShiftFilter),
    R1(1, 60, K::LowByte, 0),
    R(1, 61, 64, K::Percent, P(0)),
    R1(1, 65, K::None, kShiftCoefficient),
    R1(1, 66, K::Samples, I(1200)),
    R1(1, 67, K::LowByte, 0),
    R(1, 68, 69, K::None, F(1.0f)),
    R1(1, 70, K::LowByte, 1),
    RN(1, 71, 6, kShiftFilter),
    // Block 2: echo of chains A and B.
    R1(2, 7, K::LowByte, 0),
    R1(2, 8, K::LowByte, 0),
    R1(2, 9, K::Percent, P(65)),
    R1(2, 10, K::Samples, I(96)),
    R1(2, 11, K::Samples, I(11856)),
    R1(2, 12, K::Percent, P(88)),
    R1(2, 13, K::Percent, P(50)),
    R1(2, 21, K::LowByte, 0),
    R1(2, 22, K::LowByte, 0),
    R1(2, 23, K::Percent, P(65)),
    R1(2, 24, K::Samples, I(96)),
    R1(2, 25, K::Samples, I(11856)),
    R1(2, 26, K::Percent, P(88)),
    R1(2, 27, K::Percent, P(50)),
    R1(2, 28, K::Percent, P(80)),
    R1(2, 29, K::Percent, P(100)),
    // Block 3: reverb of chains A and B.
    R1(3, 7, K::LowByte, 0),
    R1(3, 8, K::Percent, P(12)),
    R1(3, 9, K::Samples, I(96)),
    R(3, 10, 11, K::Percent, P(56)),
    R1(3, 19, K::LowByte, 0),
    R1(3, 20, K::Percent, P(12)),
    R1(3, 21, K::Samples, I(96)),
    R(3, 22, 23, K::Percent, P(56)),
    R1(3, 24, K::Percent, P(50)),
    R1(3, 25, K::Percent, P(100)),
    // Block 4: music input.
    R1(4, 11, K::LowByte, 0),
    R1(4, 12, K::Percent, P(16)),
    R1(4, 13, K::Percent, P(100)),
    RN(4, 14, 7, kAutoLevel),
    R1(4, 15, K::LowByte, 1),
    R1(4, 16, K::None, 0, kNoEntry),
    R1(4, 17, K::None, F(-25.0f), kNoEntry),
    // The pitch record is in the image, but the pitch is sent raw and never
    // stored there by the editor.
    R1(4, 21, K::None, I(5), kNoLocation),
    R1(4, 22, K::TenThousandths, 0),
    R1(4, 23, K::LowByte, 0),
    R(4, 24, 37, K::Percent, P(100)),
    R1(4, 39, K::Samples, 0),
    R1(4, 40, K::Percent, P(0)),
};

// The runs of output block 5..12.
constexpr std::array<RecordRun, 9> OutputBlockRuns(int block) {
    return {{
        R1(block, 12, K::LowByte, 0),
        R1(block, 13, K::LowByte, I(kOutputSourceDefaults[block - 5])),
        RN(block, 14, 2, {F(1.0f), F(0.0f)}),
        R1(block, 15, K::Samples, I(64)),
        R1(block, 16, K::LowByte, 1),
        R(block, 17, 23, K::Percent, P(100)),
        RN(block, 24, 7, kCompressor),
        R1(block, 25, K::LowByte, 1),
        RN(block, 26, 6, kSurroundFilter),
    }};
}

constexpr std::array kBlocks13To14 = {
    // Block 13: recording output.
    R1(13, 5, K::LowByte, 0),
    R(13, 6, 9, K::Percent, P(100)),
    RN(13, 10, 7, kCompressor),
    R1(13, 11, K::LowByte, 1),
    R1(13, 12, K::Percent, P(100)),
    // Block 14: features.
    R1(14, 0, K::Raw, F(200.0f)),
    R1(14, 1, K::Raw, F(3.0f)),
    R1(14, 2, K::Raw, F(1500.0f)),
    R1(14, 3, K::Raw, F(3.0f)),
    R1(14, 4, K::Raw, F(3200.0f)),
    R1(14, 5, K::Raw, F(5.0f)),
    R1(14, 6, K::Percent, P(36)),
    R(14, 7, 9, K::Percent, P(100)),
    R(14, 10, 11, K::LowByte, 1),
};

struct RecordBuilder {
    std::array<DspRecordDefault, kDspRecordCount> records{};
    int count = 0;
    int offset = kDspAreaStart;

    constexpr void Add(const RecordRun& run) {
        for (int parameter = run.firstParameter; parameter <= run.lastParameter; ++parameter) {
            DspRecordDefault& record = records[count++];
            record.block = run.block;
            record.parameter = parameter;
            record.count = run.count;
            record.kind = run.kind;
            record.hasEntry = (run.flags & kNoEntry) == 0;
            record.hasLocation = (run.flags & kNoLocation) == 0;
            record.valueOffset = offset + 3;
            record.values = run.values;
            if (run.count == 1) record.values = {run.values[0]};
            offset += 3 + 4 * run.count;
        }
    }
};

constexpr RecordBuilder BuildRecords() {
    RecordBuilder builder;
    for (const RecordRun& run : kBlocks1To4) builder.Add(run);
    for (int block = 5; block <= 12; ++block) {
        for (const RecordRun& run : OutputBlockRuns(block)) builder.Add(run);
    }
    for (const RecordRun& run : kBlocks13To14) builder.Add(run);
    return builder;
}

constexpr RecordBuilder kRecords = BuildRecords();
static_assert(kRecords.count == kDspRecordCount, "the DSP area holds 232 records");
static_assert(kRecords.offset == kImageSize, "the DSP records fill the area exactly");

constexpr bool IsIntegerKind(K kind) {
    return kind == K::Percent || kind == K::LowByte || kind == K::TenThousandths;
}

// The channel parameter a block 13 parameter shares its editor array with,
// -1 when it has none.
constexpr int RecordingChannelParameter(int parameter) {
    if (parameter == 5) return 12;
    if (parameter >= 6 && parameter <= 9) return parameter + 11;
    if (parameter == 10) return 24;
    if (parameter == 11) return 25;
    return -1;
}

constexpr void BindVariable(DspParamEntry& entry) {
    const int block = entry.block;
    const int parameter = entry.parameter;
    using A = EditorVarArray;
    if (block == 4 && parameter == 21) {
        entry.var = {A::MusicPitch, 0, 0};
        return;
    }
    if (entry.kind == K::None) return;
    const bool isInt = IsIntegerKind(entry.kind);
    int channel = -1;
    int channelParameter = parameter;
    if (block >= 5 && block <= 12) {
        channel = block - 5;
    } else if (block == 13 && RecordingChannelParameter(parameter) >= 0) {
        channel = kRecordVarIndex;
        channelParameter = RecordingChannelParameter(parameter);
    }
    if (channel >= 0)
        entry.var = {isInt ? A::OutputInt : A::OutputFloat, channelParameter, channel};
    else
        entry.var = {isInt ? A::DspInt : A::DspFloat, block, parameter};
}

constexpr std::array<DspParamEntry, kDspTableSize> BuildTable() {
    std::array<DspParamEntry, kDspTableSize> table{};
    int count = 0;
    for (const DspRecordDefault& record : kRecords.records) {
        if (!record.hasEntry) continue;
        DspParamEntry& entry = table[count++];
        entry = {record.block,
                 record.parameter,
                 record.kind,
                 {},
                 record.hasLocation ? record.valueOffset : -1,
                 record.count};
        BindVariable(entry);
    }
    return table;
}

constexpr int CountEntries() {
    int count = 0;
    for (const DspRecordDefault& record : kRecords.records) count += record.hasEntry ? 1 : 0;
    return count;
}
static_assert(CountEntries() == kDspTableSize, "every record but two has an entry");

} // namespace

constinit const std::array<DspParamEntry, kDspTableSize> DspParamTable = BuildTable();

const std::array<DspRecordDefault, kDspRecordCount>& DspRecordDefaults() {
    return kRecords.records;
}

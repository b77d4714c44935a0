// Output channel operations shared by the output page, the other output-side
// pages and the command line.
#include "state/OutputChannels.h"

#include "link/DebugLog.h"
#include "state/Compressor.h"
#include "state/EqMath.h"
#include "state/ImageEdits.h"
#include "state/ParamImage.h"

#include <algorithm>
#include <vector>

const std::array<OutputSourceName, kOutputSourceCount> kOutputSourceNames = {{
    {"前置左", "CH-L"},
    {"前置右", "CH-R"},
    {"侧环绕左", "CH-SL"},
    {"侧环绕右", "CH-SR"},
    {"超低", "CH-SUB"},
    {"中置", "CH-CEN"},
    {"后环绕左", "CH-SBL"},
    {"后环绕右", "CH-SBR"},
}};

uint8_t g_LinkFlags[kLinkFlagCount] = {1, 1, 1, 0, 0, 0, 0, 0};

const std::array<CrossoverAlignmentRow, kCrossoverAlignmentCount> CrossoverAlignment = {{
    {"Linkwitz-Riley 12dB", {10, 10, 1, 1}, {11, 11, 1, 1}},
    {"Linkwitz-Riley 24dB", {12, 12, 1, 1}, {13, 13, 1, 1}},
    {"Linkwitz-Riley 36dB", {14, 10, 14, 10}, {15, 11, 15, 11}},
    {"Linkwitz-Riley 48dB", {18, 20, 18, 20}, {19, 21, 19, 21}},
    {"Bessel 12dB", {8, 1, 1, 1}, {9, 1, 1, 1}},
    {"Bessel 18dB", {8, 10, 1, 1}, {9, 11, 1, 1}},
    {"Bessel 24dB", {8, 8, 1, 1}, {9, 9, 1, 1}},
    {"Butterworth 12dB", {12, 1, 1, 1}, {13, 1, 1, 1}},
    {"Butterworth 18dB", {14, 10, 1, 1}, {15, 11, 1, 1}},
    {"Butterworth 24dB", {18, 20, 1, 1}, {19, 21, 1, 1}},
    {"Chebyshev 12dB", {6, 1, 1, 1}, {7, 1, 1, 1}},
}};

namespace {
constexpr double kSplitQ = 0.707;
constexpr int kComparedBands = 10; // the band objects of the page's graph

bool IsValidChannel(int channel) {
    return channel >= 0 && channel < kOutputChannelCount;
}

EqBandRecord StoredBand(int set, int band) {
    return DecodeEqBandRecord(g_PanelImage() + EqBandOffset(set, band));
}

bool SameBand(const EqBandRecord& a, const EqBandRecord& b) {
    return a.gain == b.gain && a.frequency == b.frequency && a.q == b.q && a.type == b.type;
}

bool SameCompressor(const CompressorValues& a, const CompressorValues& b) {
    return a.thresholdDb == b.thresholdDb && a.ratio == b.ratio && a.attackMs == b.attackMs &&
           a.releaseMs == b.releaseMs;
}

double Field(int channel, int parameter) {
    return GetDspParam(OutputBlock(channel), parameter);
}

// The single-value fields a pair agrees in, in the order a sync sends them.
constexpr int kLevelAndSwitchFields[] = {17, 18, 19, 20, OUT_EQ_BYPASS, OUT_DELAY_BYPASS};
} // namespace

// ---------------------------------------------------------------- linking

int LinkPairOf(int channel) {
    for (int pair = 0; pair < kLinkPairCount; ++pair)
        if (kLinkPairs[pair].first == channel || kLinkPairs[pair].second == channel) return pair;
    return -1;
}

std::array<bool, kOutputChannelCount> LinkedChannels(int channel) {
    std::array<bool, kOutputChannelCount> linked{};
    if (!IsValidChannel(channel)) return linked;
    linked[channel] = true;
    const int pair = LinkPairOf(channel);
    if (pair >= 0 && g_LinkFlags[pair] != 0) {
        const ChannelPair& p = kLinkPairs[pair];
        linked[p.first] = linked[p.second] = true;
    }
    return linked;
}

bool ChannelsMatch(int a, int b) {
    if (!IsValidChannel(a) || !IsValidChannel(b)) return false;
    for (int parameter : kLevelAndSwitchFields)
        if (Field(a, parameter) != Field(b, parameter)) return false;
    if (g_WholeChannelDelay()[a] != g_WholeChannelDelay()[b]) return false;
    if (SplitRowOfChannel(a) != SplitRowOfChannel(b)) return false;
    if (Field(a, OUT_DELAY_TIME) != Field(b, OUT_DELAY_TIME)) return false;
    if (!SameCompressor(g_Compressor()[a], g_Compressor()[b])) return false;
    if (Field(a, OUT_COMPRESSOR_BYPASS) != Field(b, OUT_COMPRESSOR_BYPASS)) return false;
    for (int band = 0; band < kComparedBands; ++band)
        if (!SameBand(StoredBand(OutputEqSet(a), band), StoredBand(OutputEqSet(b), band)))
            return false;
    return true;
}

void SyncChannelPair(int source, int destination) {
    const fx::ImageEditScope edit;
    if (!IsValidChannel(source) || !IsValidChannel(destination) || source == destination) return;
    const auto copyField = [&](int parameter) {
        const double value = Field(source, parameter);
        if (value != Field(destination, parameter))
            SetDspParam(OutputBlock(destination), parameter, value);
    };
    for (int parameter : kLevelAndSwitchFields) copyField(parameter);
    const int row = SplitRowOfChannel(source);
    if (row != SplitRowOfChannel(destination)) SetDelaySplit(destination, row);
    if (g_WholeChannelDelay()[source] != g_WholeChannelDelay()[destination])
        SetDelayMode(destination, g_WholeChannelDelay()[source]);
    copyField(OUT_DELAY_TIME);
    const CompressorValues comp = g_Compressor()[source];
    if (!SameCompressor(comp, g_Compressor()[destination]))
        SetCompressor(destination, comp.thresholdDb, comp.ratio, comp.attackMs, comp.releaseMs);
    copyField(OUT_COMPRESSOR_BYPASS);
    for (int band = 0; band < kComparedBands; ++band) {
        const EqBandRecord from = StoredBand(OutputEqSet(source), band);
        if (SameBand(from, StoredBand(OutputEqSet(destination), band))) continue;
        SetEqBand(OutputEqSet(destination), band, from.type, from.frequency, from.gain, from.q);
    }
}

// ---------------------------------------------------------------- delay

int SplitRowOfChannel(int channel) {
    if (!IsValidChannel(channel)) return 0;
    const int frequency = int(StoredBand(OutputEqSet(channel), kSplitLowSlot).frequency);
    for (int row = 0; row < kSplitRowCount; ++row)
        if (SplitFreqTable[row].splitHz == frequency) return row;
    return 0;
}

void SetDelayMode(int channel, bool wholeChannel) {
    const fx::ImageEditScope edit;
    if (!IsValidChannel(channel)) return;
    g_WholeChannelDelay()[channel] = wholeChannel;
    const uint32_t weights[2] = {FloatBits(1.0f), FloatBits(wholeChannel ? 0.0f : 1.0f)};
    WriteDspParam(OutputBlock(channel), OUT_DELAY_MODE, weights, 2);
    SetDelaySplit(channel, SplitRowOfChannel(channel));
}

void SetDelaySplit(int channel, int row) {
    const fx::ImageEditScope edit;
    if (!IsValidChannel(channel)) return;
    const SplitFrequencies& split = SplitFreqTable[std::clamp(row, 0, kSplitRowCount - 1)];
    const bool whole = g_WholeChannelDelay()[channel];
    const int set = OutputEqSet(channel);
    SetEqBand(set, kSplitLowSlot, whole ? EQ_PEQ : EQ_HP, split.splitHz, 0.0, kSplitQ);
    SetEqBand(set, kSplitHighSlot, whole ? EQ_PEQ : EQ_LP, split.upperHz, 0.0, kSplitQ);
}

// ---------------------------------------------------------------- crossover

bool IsLowPassLike(int type) {
    return type == EQ_LP || (type >= 6 && type % 2 == 0);
}

bool IsHighPassLike(int type) {
    return type == EQ_HP || (type >= 7 && type % 2 == 1);
}

CrossoverMatch MatchCrossover(const SectionTypes& sections) {
    for (int row = 0; row < kCrossoverAlignmentCount; ++row) {
        if (sections == CrossoverAlignment[row].lowPass) return {row, EQ_LP};
        if (sections == CrossoverAlignment[row].highPass) return {row, EQ_HP};
    }
    constexpr int kPlainTypes[] = {EQ_PEQ, EQ_LS, EQ_HS};
    for (int type : kPlainTypes)
        if (sections == SectionTypes{type, EQ_PEQ, EQ_PEQ, EQ_PEQ}) return {0, type};
    return {0, 0};
}

bool CrossoverIsLowPass(const SectionTypes& sections) {
    const CrossoverMatch match = MatchCrossover(sections);
    if (match.bandType == EQ_LP) return true;
    if (match.bandType == EQ_HP) return false;
    return IsLowPassLike(sections[0]);
}

SectionTypes CrossoverSections(int alignment, bool lowPass) {
    const CrossoverAlignmentRow& row =
        CrossoverAlignment[std::clamp(alignment, 0, kCrossoverAlignmentCount - 1)];
    return lowPass ? row.lowPass : row.highPass;
}

SectionTypes StoredSectionTypes(int set, int band) {
    SectionTypes types{};
    for (int s = 0; s < kCompoundSections; ++s) types[s] = StoredBand(set, band + s).type;
    return types;
}

void SetCompoundBand(int set, int band, const SectionTypes& types, double frequency) {
    const fx::ImageEditScope edit;
    if (EqBandOffset(set, band + kCompoundSections - 1) < 0 ||
        band + kCompoundSections > EqSetSlots(set)) {
        DebugLog("SetCompoundBand: band %d of set %d out of range\n", band, set);
        return;
    }
    for (int s = 0; s < kCompoundSections; ++s) {
        const EqBandRecord stored = StoredBand(set, band + s);
        SetEqBand(set, band + s, types[s], frequency, stored.gain, stored.q);
    }
}

bool CrossoverBandIsCrossover() {
    const SectionTypes types = StoredSectionTypes(OutputEqSet(kCrossoverChannel), kCrossoverBand);
    return IsLowPassLike(types[0]) || IsHighPassLike(types[0]);
}

void SetCrossoverBand(int alignment, bool lowPass, double frequency) {
    const fx::ImageEditScope edit;
    const int set = OutputEqSet(kCrossoverChannel);
    const SectionTypes types = CrossoverSections(alignment, lowPass);
    if (CrossoverBandIsCrossover()) {
        SetCompoundBand(set, kCrossoverBand, types, frequency);
        return;
    }
    constexpr double kFlatSectionQ = 0.707;
    std::vector<EqBandWrite> writes;
    for (int s = 0; s < kCompoundSections; ++s)
        writes.push_back({kCrossoverBand + s, types[s], frequency, 0.0, kFlatSectionQ});
    SetEqBands(set, writes);
}

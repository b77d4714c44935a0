#pragma once

#include <array>
#include <cstdint>

// The eight output channels: where their fields live, the source names, the
// channel link flags, the delay mode and split filters, the crossover band
// of CH 6 and the synchronisation of a linked pair. Channel ch (0..7) is DSP
// block ch + 5 and EQ set ch + 7.

constexpr int kOutputChannelCount = 8;

inline int OutputBlock(int channel) {
    return channel + 5;
}
inline int OutputEqSet(int channel) {
    return channel + 7;
}

// Parameters of an output block.
enum OutputParameter : int {
    OUT_EQ_BYPASS = 12,    // LowByte, 1 = the channel's EQ is bypassed
    OUT_SOURCE = 13,       // LowByte, index into the source names
    OUT_DELAY_MODE = 14,   // two raw floats: 1.0, then 0.0 whole channel / 1.0 high band
    OUT_DELAY_TIME = 15,   // Samples (milliseconds)
    OUT_DELAY_BYPASS = 16, // LowByte, 0 = delay active
    OUT_LEVEL_FIRST = 17,  // Percent: direct, reverb, echo, music (17..20)
    OUT_PHASE = 22,        // Percent, 100 normal, -100 inverted
    OUT_MUTE = 23,         // Percent, 100 sounding, 0 muted
    OUT_COMPRESSOR = 24,   // the compressor record
    OUT_COMPRESSOR_BYPASS = 25,
};
constexpr int kOutputLevelCount = 4;

// The signals an output can carry, in the order of the source combos.
constexpr int kOutputSourceCount = 8;
struct OutputSourceName {
    const char* zh;
    const char* en;
};
extern const std::array<OutputSourceName, kOutputSourceCount> kOutputSourceNames;

// ---------------------------------------------------------------- linking

// Link flags: byte 0 CH1+CH2 linked, byte 1 CH3+CH4, byte 2 CH7+CH8, the
// rest always 0. The editor keeps them in its settings ("QtOption").
constexpr int kLinkFlagCount = 8;
extern uint8_t g_LinkFlags[kLinkFlagCount];
constexpr std::array<uint8_t, kLinkFlagCount> kDefaultLinkFlags = {1, 1, 1, 0, 0, 0, 0, 0};

struct ChannelPair {
    int first;
    int second;
};
constexpr int kLinkPairCount = 3;
constexpr std::array<ChannelPair, kLinkPairCount> kLinkPairs = {{{0, 1}, {2, 3}, {6, 7}}};
// The pair (0..2) a channel belongs to, -1 for CH 5 and CH 6.
int LinkPairOf(int channel);
// The channel itself and, when its pair is linked, its partner.
std::array<bool, kOutputChannelCount> LinkedChannels(int channel);

// True when the two channels agree in levels, EQ bypass, delay switch, mode,
// split row and time, compressor settings and switch, and bands 0..9.
// Source, phase and mute are not compared.
bool ChannelsMatch(int a, int b);
// Makes channel destination equal to channel source in what ChannelsMatch
// compares, sending only what differs.
void SyncChannelPair(int source, int destination);

// ---------------------------------------------------------------- delay

// The delay times the delay page's chart, edit and spin set (milliseconds);
// the output page's slider starts a step lower, at 1.4 ms, and the value
// ranges' table allows what either page can send.
constexpr double kDelayMinMs = 1.5;
constexpr double kDelayMaxMs = 100.0;

// Delay split filters: row k gives the split frequency the page shows and
// the frequency of slot 11.
constexpr int kSplitRowCount = 26;
struct SplitFrequencies {
    int splitHz;
    int upperHz;
};
constexpr std::array<SplitFrequencies, kSplitRowCount> SplitFreqTable = [] {
    std::array<SplitFrequencies, kSplitRowCount> rows{};
    for (int k = 0; k < kSplitRowCount; ++k) rows[k] = {500 + 100 * k, 1000 + 100 * k};
    return rows;
}();
constexpr int kSplitLowSlot = 10;  // high-pass (or flat) at the split frequency
constexpr int kSplitHighSlot = 11; // low-pass (or flat) at the upper frequency

// The row whose split frequency is slot 10's frequency; 0 when none is.
int SplitRowOfChannel(int channel);
// Whole-channel delay (true) or high-band delay: the mode flag, parameter 14,
// and the split filters at the channel's current row.
void SetDelayMode(int channel, bool wholeChannel);
// The split filters of row k (0..25): high-pass / low-pass in high-band
// mode, flat in whole-channel mode.
void SetDelaySplit(int channel, int row);

// ---------------------------------------------------------------- crossover

// CH 6 (channel 5) carries the crossover band: band 6 of set 12, realised
// by itself and bands 7..9 as its three further sections.
constexpr int kCrossoverChannel = 5;
constexpr int kCrossoverBand = 6;
constexpr int kCompoundSections = 4;
using SectionTypes = std::array<int, kCompoundSections>;

constexpr int kCrossoverAlignmentCount = 11;
struct CrossoverAlignmentRow {
    const char* name;
    SectionTypes lowPass;
    SectionTypes highPass;
};
extern const std::array<CrossoverAlignmentRow, kCrossoverAlignmentCount> CrossoverAlignment;

// Section types to alignment: the row (0 when none matches) and the band
// type it stands for (LP or HP; PEQ, LS or HS for their plain forms; 0 when
// nothing matches).
struct CrossoverMatch {
    int alignment;
    int bandType;
};
CrossoverMatch MatchCrossover(const SectionTypes& sections);
// Whether alignments apply to this band as a low-pass (else as a high-pass):
// the column its sections match, or the first section's filter kind.
bool CrossoverIsLowPass(const SectionTypes& sections);
SectionTypes CrossoverSections(int alignment, bool lowPass);
bool IsLowPassLike(int type);
bool IsHighPassLike(int type);

// Types of a compound band and its sections as the panel area holds them.
SectionTypes StoredSectionTypes(int set, int band);
// Writes a compound band and its three sections with new types at one
// frequency; each keeps its stored gain and Q.
void SetCompoundBand(int set, int band, const SectionTypes& types, double frequency);
// Makes CH 6's crossover band a crossover of the alignment, low-pass or
// high-pass, at frequency, whatever its sections held before: a band that
// already was a crossover keeps each section's gain and Q (as choosing an
// alignment on the page does); any other starts its sections flat (0 dB,
// Q 0.707), so no peaking gain survives in a crossover section.
void SetCrossoverBand(int alignment, bool lowPass, double frequency);
// Whether CH 6's crossover band is a low-pass or high-pass crossover now.
bool CrossoverBandIsCrossover();

#include "CtlOutputVerbs.h"

#include "CtlConfirm.h"
#include "CtlNumbers.h"
#include "CtlSession.h"

#include "controls/EqModel.h"
#include "link/ReplyDispatcher.h"
#include "state/ChannelLinks.h"
#include "state/Compressor.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

const char* const kOutputVerbUsage =
    "  comp CH THRESHOLD RATIO ATTACK RELEASE\n"
    "                                compressor of output CH (1..8, or rec): threshold\n"
    "                                -60..0 dB, ratio 1..30, attack 1..100 ms, release\n"
    "                                1..1000 ms\n"
    "  xover [ALIGNMENT FREQ]        CH 6 crossover band: print it, or set its alignment\n"
    "                                (0..10 or its name) and frequency (20..20000 Hz)\n"
    "  output CH                     output channel CH's (1..8) settings in words\n";

namespace {

const char* const kTypeNames[6] = {"OFF", "PEQ", "LP", "HP", "LS", "HS"};

CtlResult Refuse(const std::string& what) {
    return CtlResult::Fail(kExitUsage, what);
}

// Letters and digits only, in lower case: "Bessel 18dB" and "bessel18db" meet.
std::string Folded(const std::string& text) {
    std::string folded;
    for (unsigned char c : text)
        if (std::isalnum(c)) folded += char(std::tolower(c));
    return folded;
}

bool ParseAlignment(const std::string& text, int& alignment) {
    if (WholeWithin(text, 0, kCrossoverAlignmentCount - 1, alignment)) return true;
    for (int row = 0; row < kCrossoverAlignmentCount; ++row) {
        if (Folded(text) == Folded(CrossoverAlignment[row].name)) {
            alignment = row;
            return true;
        }
    }
    return false;
}

CtlResult ParseComp(const std::vector<std::string>& args, OutputVerbArgs& out) {
    if (args[0] == "rec")
        out.index = kRecordVarIndex;
    else if (WholeWithin(args[0], 1, kOutputChannelCount, out.index))
        --out.index;
    else
        return Refuse("CH is 1..8 or rec");
    if (!NumberWithin(args[1], kCompThresholdMinDb, kCompThresholdMaxDb, out.threshold))
        return Refuse("THRESHOLD is -60..0 dB");
    if (!NumberWithin(args[2], kCompRatioMin, kCompRatioMax, out.ratio))
        return Refuse("RATIO is 1..30");
    if (!NumberWithin(args[3], kCompAttackMinMs, kCompAttackMaxMs, out.attack))
        return Refuse("ATTACK is 1..100 ms");
    if (!NumberWithin(args[4], kCompReleaseMinMs, kCompReleaseMaxMs, out.release))
        return Refuse("RELEASE is 1..1000 ms");
    return CtlResult::Ok();
}

CtlResult ParseXover(const std::vector<std::string>& args, OutputVerbArgs& out) {
    out.query = args.empty();
    if (out.query) return CtlResult::Ok();
    if (!ParseAlignment(args[0], out.alignment))
        return Refuse("ALIGNMENT is 0..10 or one of the alignment names, such as \"Bessel 18dB\"");
    if (!WholeWithin(args[1], 20, 20000, out.frequency)) return Refuse("FREQ is 20..20000 Hz");
    return CtlResult::Ok();
}

// ---------------------------------------------------------------- words

const char* TypeName(int type) {
    return type >= 0 && type < 6 ? kTypeNames[type] : "section";
}

// "Butterworth 24dB LP", or the plain type of a crossover band without an alignment.
std::string CrossoverWords(const SectionTypes& types) {
    const CrossoverMatch match = MatchCrossover(types);
    if (match.bandType == EQ_LP || match.bandType == EQ_HP)
        return std::string(CrossoverAlignment[match.alignment].name) + " " +
               TypeName(match.bandType);
    if (match.bandType != 0) return TypeName(match.bandType);
    return std::string("sections ") + std::to_string(types[0]) + "," + std::to_string(types[1]) +
           "," + std::to_string(types[2]) + "," + std::to_string(types[3]);
}

void PrintBands(const fx::ParamStore& store, int channel) {
    const int set = OutputEqSet(channel);
    const int shown = channel == kCrossoverChannel ? kCrossoverBand + 1 : EqBandCount(set);
    for (int band = 0; band < shown; ++band) {
        const EqBandRecord r = DecodeEqBandRecord(store.Panel() + EqBandOffset(set, band));
        const bool crossover = channel == kCrossoverChannel && band == kCrossoverBand;
        const std::string type =
            crossover ? CrossoverWords(StoredSectionTypes(set, band)) : TypeName(r.type);
        std::printf("band %d: %s %.0f Hz %+.1f dB Q %.2f%s\n", band + 1, type.c_str(), r.frequency,
                    r.gain, r.q, crossover ? " (crossover)" : "");
    }
}

void PrintOutput(const fx::ParamStore& store, int channel) {
    const int block = OutputBlock(channel);
    const auto field = [block](int parameter) { return GetDspParam(block, parameter); };
    static const char* const kLevels[kOutputLevelCount] = {"direct", "reverb", "echo", "music"};
    const int source = std::clamp(int(field(OUT_SOURCE)), 0, kOutputSourceCount - 1);
    std::printf("channel: CH %d\n", channel + 1);
    std::printf("source: %s\n", kOutputSourceNames[source].en);
    for (int n = 0; n < kOutputLevelCount; ++n)
        std::printf("%s level: %d %%\n", kLevels[n], int(field(OUT_LEVEL_FIRST + n)));
    std::printf("phase: %s\n", field(OUT_PHASE) < 0 ? "inverted" : "normal");
    std::printf("mute: %s\n", field(OUT_MUTE) == 0 ? "on" : "off");
    std::printf("delay: %s, %s, %.1f ms\n", field(OUT_DELAY_BYPASS) == 0 ? "on" : "off",
                g_WholeChannelDelay()[channel] ? "whole channel" : "high band",
                field(OUT_DELAY_TIME));
    std::printf("split frequency: %d Hz\n", SplitFreqTable[SplitRowOfChannel(channel)].splitHz);
    const CompressorValues& comp = g_Compressor()[channel];
    std::printf(
        "compressor: %s, threshold %.0f dB, ratio %.1f:1, attack %.0f ms, release %.0f ms\n",
        CompressorActive(channel) ? "on" : "off", comp.thresholdDb, comp.ratio, comp.attackMs,
        comp.releaseMs);
    std::printf("eq: %s\n", field(OUT_EQ_BYPASS) != 0 ? "bypassed" : "on");
    PrintBands(store, channel);
}

// ---------------------------------------------------------------- verbs

CtlResult Xover(fx::ParamStore& store, const CtlOptions& options, const OutputVerbArgs& args) {
    const int set = OutputEqSet(kCrossoverChannel);
    const SectionTypes types = StoredSectionTypes(set, kCrossoverBand);
    const EqBandRecord band = DecodeEqBandRecord(store.Panel() + EqBandOffset(set, kCrossoverBand));
    if (args.query) {
        std::printf("CH 6 band 7: %s at %.0f Hz\n", CrossoverWords(types).c_str(), band.frequency);
        return CtlResult::Ok();
    }
    // An alignment shapes a low-pass or a high-pass; a PEQ or shelf has none.
    if (!IsLowPassLike(types[0]) && !IsHighPassLike(types[0]))
        return CtlResult::Fail(kExitFailed, "CH 6 band 7 is " + CrossoverWords(types) +
                                                ", not a low-pass or high-pass crossover");
    // Each section: its coefficients (a DSP write) and its band record.
    return SendConfirmed(CommandText(options), 2 * kCompoundSections, [&] {
        SetCompoundBand(set, kCrossoverBand,
                        CrossoverSections(args.alignment, CrossoverIsLowPass(types)),
                        args.frequency);
    });
}

} // namespace

bool IsOutputVerb(const std::string& command) {
    return command == "comp" || command == "xover" || command == "output";
}

CtlResult ParseOutputVerb(const CtlOptions& options, OutputVerbArgs& out) {
    const auto& args = options.arguments;
    const size_t count = args.size();
    const bool arityOk = options.command == "comp"    ? count == 5
                         : options.command == "xover" ? count == 0 || count == 2
                                                      : count == 1;
    if (!arityOk) return Refuse("wrong number of arguments for " + options.command);
    if (options.command == "comp") return ParseComp(args, out);
    if (options.command == "xover") return ParseXover(args, out);
    if (!WholeWithin(args[0], 1, kOutputChannelCount, out.index)) return Refuse("CH is 1..8");
    --out.index;
    return CtlResult::Ok();
}

CtlResult RunOutputVerb(CtlSession& session, const CtlOptions& options,
                        const OutputVerbArgs& args) {
    CtlResult result = session.ReadAll();
    if (!result.ok()) return result;
    if (options.command == "comp") {
        // One record to each channel linked with it; the recording output's alone.
        const int commands = args.index == kRecordVarIndex
                                 ? 1
                                 : static_cast<int>(fx::ChannelsLinkedWith(args.index).size());
        return SendConfirmed(CommandText(options), commands, [&] {
            fx::SetLinkedCompressor(args.index, args.threshold, args.ratio, args.attack,
                                    args.release);
        });
    }
    if (options.command == "xover") return Xover(session.Store(), options, args);
    PrintOutput(session.Store(), args.index);
    return CtlResult::Ok();
}

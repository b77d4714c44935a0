#include "CtlOutputVerbs.h"

#include "CtlConfirm.h"
#include "CtlNumbers.h"
#include "CtlOutput.h"
#include "CtlSession.h"
#include "CtlWarnings.h"
#include "CtlWords.h"

#include "controls/EqModel.h"
#include "link/ReplyDispatcher.h"
#include "state/ChannelLinks.h"
#include "state/Compressor.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"
#include "state/ParamNames.h"
#include "state/ValueRanges.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

const char* const kOutputVerbUsage =
    "  comp CH [on|off]              compressor of output CH (1..8, or rec): print it,\n"
    "                                or switch it on or off\n"
    "  comp CH THRESHOLD RATIO ATTACK RELEASE [on|off]\n"
    "                                set it: threshold -60..0 dB, ratio 1..30, attack\n"
    "                                1..100 ms, release 1..1000 ms; switches it on\n"
    "                                unless off is given\n"
    "  xover list                    the alignments by number and name (no processor)\n"
    "  xover [ALIGNMENT FREQ [lp|hp]]\n"
    "                                CH 6 crossover band (band 7): print it, or make it\n"
    "                                a crossover of the alignment (0..10 or its name) at\n"
    "                                FREQ (20..20000 Hz), low-pass or high-pass (default:\n"
    "                                as it is, a low-pass when it held no crossover)\n"
    "  output CH                     output channel CH's (1..8) settings in words\n";

namespace {

CtlResult Refuse(const std::string& what) {
    return CtlResult::Fail(kExitUsage, what);
}

// Letters and digits only, in lower case: "Bessel 18dB" and "bessel18db"
// meet, and so do "Linkwitz-Riley" and its old misspelling "LinkwitzRiely".
std::string Folded(const std::string& text) {
    std::string folded;
    for (unsigned char c : text)
        if (std::isalnum(c)) folded += char(std::tolower(c));
    const size_t misspelt = folded.find("riely");
    if (misspelt != std::string::npos) folded.replace(misspelt, 5, "riley");
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

// "on" or "off" as the switch (1 or 0); false for any other word.
bool ParseSwitch(const std::string& text, int& on) {
    if (text != "on" && text != "off") return false;
    on = text == "on" ? 1 : 0;
    return true;
}

// comp CH, comp CH on|off, comp CH THRESHOLD RATIO ATTACK RELEASE [on|off]:
// the settings switch the compressor on unless off is given.
CtlResult ParseComp(const std::vector<std::string>& args, OutputVerbArgs& out) {
    if (args[0] == "rec")
        out.index = kRecordVarIndex;
    else if (WholeWithin(args[0], 1, kOutputChannelCount, out.index))
        --out.index;
    else
        return Refuse("CH is 1..8 or rec");
    out.query = args.size() == 1;
    if (args.size() == 2 || args.size() == 6) {
        if (!ParseSwitch(args.back(), out.on)) return Refuse("the switch is on or off");
    }
    out.settings = args.size() >= 5;
    if (!out.settings) return CtlResult::Ok();
    if (out.on < 0) out.on = 1;
    if (!NumberWithin(args[1], kCompThresholdMinDb, kCompThresholdMaxDb, out.threshold))
        return Refuse("THRESHOLD is -60..0 dB");
    if (!NumberWithin(args[2], kCompRatioMin, kCompRatioMax, out.ratio))
        return Refuse("RATIO is 1..30");
    if (!NumberWithin(args[3], kCompAttackMinMs, kCompAttackMaxMs, out.attack))
        return Refuse("ATTACK is 1..100 ms");
    if (!NumberWithin(args[4], kCompReleaseMinMs, kCompReleaseMaxMs, out.release))
        return Refuse("RELEASE is 1..1000 ms");
    // The page's steps, said when they change what was given.
    const CompressorValues steps =
        CompressorOnPageSteps(out.threshold, out.ratio, out.attack, out.release);
    WarnIfRounded("THRESHOLD", out.threshold, steps.thresholdDb, " dB");
    WarnIfRounded("RATIO", out.ratio, steps.ratio, "");
    WarnIfRounded("ATTACK", out.attack, steps.attackMs, " ms");
    WarnIfRounded("RELEASE", out.release, steps.releaseMs, " ms");
    out.threshold = steps.thresholdDb;
    out.ratio = steps.ratio;
    out.attack = steps.attackMs;
    out.release = steps.releaseMs;
    return CtlResult::Ok();
}

CtlResult ParseXover(const std::vector<std::string>& args, OutputVerbArgs& out) {
    out.query = args.empty();
    if (out.query || (args.size() == 1 && args[0] == "list")) return CtlResult::Ok();
    if (!ParseAlignment(args[0], out.alignment))
        return Refuse("ALIGNMENT is 0..10 or one of the alignment names, such as \"Bessel 18dB\"");
    if (!WholeWithin(args[1], 20, 20000, out.frequency)) return Refuse("FREQ is 20..20000 Hz");
    if (args.size() == 3) {
        if (args[2] != "lp" && args[2] != "hp") return Refuse("the crossover is lp or hp");
        out.lowPass = args[2] == "lp" ? 1 : 0;
    }
    return CtlResult::Ok();
}

// ---------------------------------------------------------------- words

// "Butterworth 24dB LP", or the plain type of a crossover band without an alignment.
std::string CrossoverWords(const SectionTypes& types, int language) {
    const CrossoverMatch match = MatchCrossover(types);
    if (match.bandType == EQ_LP || match.bandType == EQ_HP)
        return std::string(CrossoverAlignment[match.alignment].name) + " " +
               fx::EqTypeText(match.bandType, language);
    if (match.bandType != 0) return fx::EqTypeText(match.bandType, language);
    return std::string(Say(language, "分节 ", "sections ")) + std::to_string(types[0]) + "," +
           std::to_string(types[1]) + "," + std::to_string(types[2]) + "," +
           std::to_string(types[3]);
}

void PrintBands(const fx::ParamStore& store, int channel, int language) {
    const int set = OutputEqSet(channel);
    const int shown = channel == kCrossoverChannel ? kCrossoverBand + 1 : EqBandCount(set);
    for (int band = 0; band < shown; ++band) {
        const EqBandRecord r = DecodeEqBandRecord(store.Panel() + EqBandOffset(set, band));
        const bool crossover = channel == kCrossoverChannel && band == kCrossoverBand;
        const std::string type = crossover ? CrossoverWords(StoredSectionTypes(set, band), language)
                                           : fx::EqTypeText(r.type, language);
        std::fprintf(CtlStdout(), "%s%d: %s %.0f Hz %+.1f dB Q %.2f%s\n",
                     Say(language, "频段", "band "), band + 1, type.c_str(), r.frequency, r.gain,
                     r.q, crossover ? Say(language, " (分频)", " (crossover)") : "");
    }
}

std::string ChannelWords(int channel, int language) {
    return Say(language, "通道", "CH ") + std::to_string(channel + 1);
}

const char* OnOff(bool on, int language) {
    return on ? Say(language, "开", "on") : Say(language, "关", "off");
}

// "on, threshold -20 dB, ratio 4.0:1, attack 10 ms, release 200 ms"
std::string CompressorWords(int index, int language) {
    const CompressorValues& comp = g_Compressor()[index];
    char text[200];
    std::snprintf(text, sizeof text, "%s, %s %.0f dB, %s %.1f:1, %s %.0f ms, %s %.0f ms",
                  OnOff(CompressorActive(index), language), Say(language, "阈值", "threshold"),
                  comp.thresholdDb, Say(language, "衰减比例", "ratio"), comp.ratio,
                  Say(language, "启动时间", "attack"), comp.attackMs,
                  Say(language, "释放时间", "release"), comp.releaseMs);
    return text;
}

void PrintOutput(const fx::ParamStore& store, int channel, int language) {
    const int block = OutputBlock(channel);
    const auto field = [block](int parameter) { return GetDspParam(block, parameter); };
    static const char* const kLevels[2][kOutputLevelCount] = {
        {"直达声音量", "混响音量", "回声音量", "音乐音量"},
        {"direct level", "reverb level", "echo level", "music level"}};
    const int source = std::clamp(int(field(OUT_SOURCE)), 0, kOutputSourceCount - 1);
    const bool zh = language == 0;
    std::fprintf(CtlStdout(), "%s: %s\n", Say(language, "通道", "channel"),
                 ChannelWords(channel, language).c_str());
    std::fprintf(CtlStdout(), "%s: %s\n", Say(language, "信号源", "source"),
                 zh ? kOutputSourceNames[source].zh : kOutputSourceNames[source].en);
    for (int n = 0; n < kOutputLevelCount; ++n)
        std::fprintf(CtlStdout(), "%s: %d %%\n", kLevels[zh ? 0 : 1][n],
                     int(field(OUT_LEVEL_FIRST + n)));
    std::fprintf(CtlStdout(), "%s: %s\n", Say(language, "相位", "phase"),
                 field(OUT_PHASE) < 0 ? Say(language, "180°", "inverted")
                                      : Say(language, "正常", "normal"));
    std::fprintf(CtlStdout(), "%s: %s\n", Say(language, "静音", "mute"),
                 OnOff(field(OUT_MUTE) == 0, language));
    std::fprintf(CtlStdout(), "%s: %s, %s, %s ms\n", Say(language, "延时", "delay"),
                 OnOff(field(OUT_DELAY_BYPASS) == 0, language),
                 g_WholeChannelDelay()[channel] ? Say(language, "通道延时", "whole channel")
                                                : Say(language, "高频延时", "high band"),
                 fx::MillisecondsText(field(OUT_DELAY_TIME), 1).c_str());
    std::fprintf(CtlStdout(), "%s: %d Hz\n", Say(language, "分频点", "split frequency"),
                 SplitFreqTable[SplitRowOfChannel(channel)].splitHz);
    std::fprintf(CtlStdout(), "%s: %s\n", Say(language, "压限", "compressor"),
                 CompressorWords(channel, language).c_str());
    std::fprintf(CtlStdout(), "%s: %s\n", Say(language, "均衡", "eq"),
                 field(OUT_EQ_BYPASS) != 0 ? Say(language, "旁路", "bypassed")
                                           : Say(language, "开", "on"));
    PrintBands(store, channel, language);
}

// "CH 2 compressor: on, threshold -20 dB, ..." or "recording compressor: ...".
void PrintCompressor(int index, int language) {
    const std::string owner =
        (index == kRecordVarIndex ? std::string(Say(language, "录音", "recording"))
                                  : ChannelWords(index, language)) +
        Say(language, "", " ");
    std::fprintf(CtlStdout(), "%s%s: %s\n", owner.c_str(), Say(language, "压限", "compressor"),
                 CompressorWords(index, language).c_str());
}

// ---------------------------------------------------------------- verbs

// The settings (one record) and the switch (one write), each when given, to
// each channel linked with it; the recording output's alone.
CtlResult Comp(const CtlOptions& options, const OutputVerbArgs& args) {
    if (args.query) {
        PrintCompressor(args.index, options.language);
        return CtlResult::Ok();
    }
    const int channels = args.index == kRecordVarIndex
                             ? 1
                             : static_cast<int>(fx::ChannelsLinkedWith(args.index).size());
    const int commands = channels * ((args.settings ? 1 : 0) + (args.on >= 0 ? 1 : 0));
    return SendConfirmed(CommandText(options), commands, [&] {
        const fx::ImageEditScope edit;
        if (args.settings)
            fx::SetLinkedCompressor(args.index, args.threshold, args.ratio, args.attack,
                                    args.release);
        if (args.on >= 0) fx::SetLinkedCompressorSwitch(args.index, args.on == 1);
    });
}

CtlResult Xover(fx::ParamStore& store, const CtlOptions& options, const OutputVerbArgs& args) {
    const int set = OutputEqSet(kCrossoverChannel);
    const SectionTypes types = StoredSectionTypes(set, kCrossoverBand);
    const EqBandRecord band = DecodeEqBandRecord(store.Panel() + EqBandOffset(set, kCrossoverBand));
    if (args.query) {
        std::fprintf(CtlStdout(), "%s: %s %s%.0f Hz\n",
                     Say(options.language, "通道6频段7", "CH 6 band 7"),
                     CrossoverWords(types, options.language).c_str(),
                     Say(options.language, "", "at "), band.frequency);
        return CtlResult::Ok();
    }
    // A band that holds no crossover (a PEQ or shelf, or broken sections) is
    // made a low-pass unless the command says otherwise.
    const bool lowPass = args.lowPass >= 0            ? args.lowPass == 1
                         : CrossoverBandIsCrossover() ? CrossoverIsLowPass(types)
                                                      : true;
    // Each section: its coefficients (a DSP write) and its band record.
    return SendConfirmed(CommandText(options), 2 * kCompoundSections,
                         [&] { SetCrossoverBand(args.alignment, lowPass, args.frequency); });
}

} // namespace

void PrintAlignments() {
    for (int row = 0; row < kCrossoverAlignmentCount; ++row)
        std::fprintf(CtlStdout(), "%2d %s\n", row, CrossoverAlignment[row].name);
}

bool IsOutputVerb(const std::string& command) {
    return command == "comp" || command == "xover" || command == "output";
}

CtlResult ParseOutputVerb(const CtlOptions& options, OutputVerbArgs& out) {
    const auto& args = options.arguments;
    const size_t count = args.size();
    const bool arityOk =
        options.command == "comp" ? count == 1 || count == 2 || count == 5 || count == 6
        : options.command == "xover"
            ? count == 0 || count == 2 || count == 3 || (count == 1 && args[0] == "list")
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
    if (options.command == "comp") return Comp(options, args);
    if (options.command == "xover") return Xover(session.Store(), options, args);
    PrintOutput(session.Store(), args.index, options.language);
    return CtlResult::Ok();
}

#include "CtlFeatures.h"

#include "CtlConfirm.h"
#include "CtlOutput.h"
#include "CtlSession.h"
#include "CtlWarnings.h"
#include "CtlWords.h"

#include "link/LinkState.h"
#include "state/DeviceIdentity.h"
#include "state/Features.h"
#include "state/MusicSources.h"
#include "state/ParamImage.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

CtlResult Usage(const std::string& what) {
    return CtlResult::Fail(kExitUsage, what);
}

bool ParseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    const bool ok = !text.empty() && *end == '\0' && std::isfinite(value);
    if (ok) WarnIfHexadecimal(text);
    return ok;
}

// A number within low..high; the message names the range.
CtlResult ParseInRange(const std::string& text, const char* what, double low, double high,
                       const char* unit, double& value) {
    if (ParseNumber(text, value) && value >= low && value <= high) return CtlResult::Ok();
    char message[160];
    std::snprintf(message, sizeof message, "%s is %g..%g%s: \"%s\"", what, low, high, unit,
                  text.c_str());
    return Usage(message);
}

// A source index 0..13 as digits, -1 otherwise.
int SourceIndex(const std::string& text) {
    if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != text.npos)
        return -1;
    const int index = std::stoi(text);
    return index < kMusicSourceCount ? index : -1;
}

// The threshold, ratio, attack and release of auto-level.
struct LevelArguments {
    double values[4] = {};
};

CtlResult ParseLevel(const std::vector<std::string>& args, LevelArguments& out) {
    struct Range {
        const char* what;
        double low, high;
        const char* unit;
    };
    static const Range ranges[4] = {
        {"THRESHOLD", kCompThresholdMinDb, kCompThresholdMaxDb, " dB"},
        {"RATIO", kCompRatioMin, kCompRatioMax, ""},
        {"ATTACK", kCompAttackMinMs, kCompAttackMaxMs, " ms"},
        {"RELEASE", kCompReleaseMinMs, kCompReleaseMaxMs, " ms"},
    };
    for (int i = 0; i < 4; ++i) {
        const Range& r = ranges[i];
        CtlResult result = ParseInRange(args[i], r.what, r.low, r.high, r.unit, out.values[i]);
        if (!result.ok()) return result;
    }
    // The features dialog's steps, said when they change what was given.
    double* v = out.values;
    const CompressorValues steps = CompressorOnPageSteps(v[0], v[1], v[2], v[3]);
    const double kept[4] = {steps.thresholdDb, steps.ratio, steps.attackMs, steps.releaseMs};
    for (int i = 0; i < 4; ++i) {
        WarnIfRounded(ranges[i].what, v[i], kept[i], ranges[i].unit);
        v[i] = kept[i];
    }
    return CtlResult::Ok();
}

std::string OfferedSources() {
    std::string list;
    for (const MusicSourceChoice& choice : MusicSourcesOfModel())
        list += (list.empty() ? "" : ", ") + std::string(choice.name) + " (" +
                std::to_string(choice.source) + ")";
    return list;
}

int SelectedSource() {
    return static_cast<int>(std::lround(GetDspParam(kMusicSourceBlock, kMusicSourceParameter)));
}

void PrintSources(int language) {
    const int selected = SelectedSource();
    for (const MusicSourceChoice& choice : MusicSourcesOfModel()) {
        const double level =
            GetDspParam(kMusicSourceBlock, MusicSourceLevelParameter(choice.source));
        std::fprintf(CtlStdout(), "%2d %-8s %3.0f%%%s\n", choice.source, choice.name, level,
                     choice.source == selected ? Say(language, "  已选", "  selected") : "");
    }
    if (!FindMusicSource(MusicInputDialogFor(), selected))
        std::fprintf(CtlStdout(),
                     Say(language, "已选: %d, %s 不提供\n", "selected: %d, not offered by %s\n"),
                     selected, ModuleNameText().c_str());
}

CtlResult SelectSource(const std::string& text) {
    const int resource = MusicInputDialogFor();
    const int index = SourceIndex(text);
    const MusicSourceChoice* choice =
        index >= 0 ? FindMusicSource(resource, index) : FindMusicSourceByName(resource, text);
    if (!choice)
        return Usage(ModuleNameText() + " has no source " + text + " (it offers " +
                     OfferedSources() + ")");
    return SendConfirmed("the music source", 1, [&] {
        SetDspParam(kMusicSourceBlock, kMusicSourceParameter, choice->source);
    });
}

// The features dialog's slider takes whole dB.
CtlResult ParseBassBoost(const std::string& text, double& g) {
    CtlResult result = ParseInRange(text, "DB", kBassBoostMinDb, kBassBoostMaxDb, " dB", g);
    if (!result.ok()) return result;
    WarnIfRounded("DB", g, std::round(g), " dB");
    g = std::round(g);
    return result;
}

CtlResult BassBoost(const std::string& text) {
    double g = 0;
    CtlResult result = ParseBassBoost(text, g);
    if (!result.ok()) return result;
    // The panel write, then the filter writes.
    return SendConfirmed("the bass boost", 1 + kBassBoostFilterCount, [g] { SetBassBoost(g); });
}

// "on" or "off" as the switch (1 or 0), -1 for anything else.
int SwitchWord(const std::string& text) {
    return text == "on" ? 1 : text == "off" ? 0 : -1;
}

// auto-level on|off, or THRESHOLD RATIO ATTACK RELEASE [on|off]: the
// settings switch it on unless off is given.
CtlResult AutoLevel(const std::vector<std::string>& args) {
    const bool settings = args.size() >= 4;
    const int on = args.size() % 4 == 1 ? SwitchWord(args.back()) : 1;
    LevelArguments level;
    if (settings) {
        CtlResult result = ParseLevel(args, level);
        if (!result.ok()) return result;
    }
    const double* v = level.values;
    return SendConfirmed("the automatic music level", settings ? 2 : 1, [=] {
        if (settings) SetAutoLevel(v[0], v[1], v[2], v[3]);
        SetAutoLevelOn(on == 1);
    });
}

void PrintAutoLevel(int language) {
    std::fprintf(CtlStdout(),
                 Say(language,
                     "音乐输入电平自动控制: %s\n阈值: %g dB\n衰减比例: %.1f:1\n启动时间: %.0f ms\n"
                     "释放时间: %.0f ms\n",
                     "auto-level: %s\nthreshold: %g dB\nratio: %.1f:1\nattack: %.0f ms\n"
                     "release: %.0f ms\n"),
                 AutoLevelOn() ? Say(language, "开", "on") : Say(language, "关", "off"),
                 g_AutoLevel().thresholdDb, g_AutoLevel().ratio, g_AutoLevel().attackMs,
                 g_AutoLevel().releaseMs);
}

} // namespace

bool IsFeatureVerb(const std::string& command) {
    return command == "source" || command == "bass-boost" || command == "auto-level";
}

CtlResult CheckFeatureArguments(const CtlOptions& options) {
    const std::string& verb = options.command;
    const auto& args = options.arguments;
    if (verb == "source") {
        if (args.size() > 1) return Usage("source takes no argument, or K (0..13) or NAME");
        if (args.size() == 1 && SourceIndex(args[0]) < 0 && !IsMusicSourceName(args[0]))
            return Usage("no source " + args[0] + " (K is 0..13, or a source name)");
        return CtlResult::Ok();
    }
    if (verb == "bass-boost") {
        if (args.size() > 1) return Usage("bass-boost takes no argument, or DB (-40..0)");
        double g = 0;
        if (args.size() == 1) return ParseBassBoost(args[0], g);
        return CtlResult::Ok();
    }
    if (args.empty()) return CtlResult::Ok();
    if (args.size() != 1 && args.size() != 4 && args.size() != 5)
        return Usage("auto-level takes no argument, on|off, or THRESHOLD RATIO ATTACK RELEASE "
                     "[on|off]");
    if (args.size() % 4 == 1 && SwitchWord(args.back()) < 0)
        return Usage("the switch is on or off, not " + args.back());
    if (args.size() == 1) return CtlResult::Ok();
    LevelArguments level;
    return ParseLevel(args, level);
}

CtlResult RunFeatureCommand(CtlSession& session, const CtlOptions& options) {
    // The arguments were checked, and warned about, before connecting.
    const QuietCtlWarnings quiet;
    CtlResult result = session.ReadAll();
    if (!result.ok()) return result;
    const std::string& verb = options.command;
    const auto& args = options.arguments;
    if (verb == "source") {
        if (args.empty()) {
            PrintSources(options.language);
            return CtlResult::Ok();
        }
        return SelectSource(args[0]);
    }
    if (verb == "bass-boost") {
        if (args.empty()) {
            std::fprintf(CtlStdout(), "%s: %g dB\n",
                         Say(options.language, "话筒低音增强", "bass-boost"), BassBoostDb());
            return CtlResult::Ok();
        }
        return BassBoost(args[0]);
    }
    if (args.empty()) {
        PrintAutoLevel(options.language);
        return CtlResult::Ok();
    }
    return AutoLevel(args);
}

#include "CtlAutoEq.h"

#include "CtlCommands.h"
#include "CtlConfirm.h"
#include "CtlOutput.h"
#include "CtlSession.h"
#include "CtlWords.h"
#include "ImageJson.h"

#include "link/ReplyDispatcher.h"
#include "modefile/MeasurementFile.h"
#include "modefile/SafeFile.h"
#include "state/ChannelLinks.h"
#include "state/EqMath.h"
#include "state/OutputChannels.h"
#include "state/ParamImage.h"
#include "state/ParamNames.h"
#include "state/TextNumbers.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

const char* const kAutoEqUsage =
    "  auto-eq SET MEASUREMENT [--range LOW-HIGH] [--target FILE|flat|tilt:DB]\n"
    "          [--bands N] [--max-boost DB] [--export FILE] [--dry-run] [--json]\n"
    "                                fit peaking bands of EQ set SET (0..15) to a\n"
    "                                measured response (default range from where it\n"
    "                                falls 6 dB below its average to 500 Hz, flat\n"
    "                                target, the set's free bands, 3 dB boost, never a\n"
    "                                boost below that limit), print them with the RMS\n"
    "                                deviation before and after and write them;\n"
    "                                --export saves measurement + EQ\n";

namespace {

CtlResult Usage(const std::string& what) {
    return CtlResult::Fail(kExitUsage, "auto-eq: " + what);
}

CtlResult ReadMeasurementFile(const std::string& path, fx::Measurement& out) {
    const fx::MeasurementText text = fx::ReadMeasurementFile(path);
    if (!text.ok)
        return CtlResult::Fail(kExitBadFile,
                               text.line == 0 ? text.reason : path + ": " + text.Error());
    out = text.measurement;
    return CtlResult::Ok();
}

bool ParseRange(const std::string& text, double& low, double& high) {
    const size_t dash = text.find('-', 1);
    return dash != std::string::npos && fx::ParseDecimal(text.substr(0, dash), low) &&
           fx::ParseDecimal(text.substr(dash + 1), high);
}

CtlResult ParseTarget(const std::string& text, fx::EqTarget& target) {
    if (text == "flat") {
        target.kind = fx::EqTarget::Flat;
        return CtlResult::Ok();
    }
    if (text.rfind("tilt:", 0) == 0) {
        target.kind = fx::EqTarget::Tilt;
        if (!fx::ParseDecimal(text.substr(5), target.tiltDbPerOctave) ||
            target.tiltDbPerOctave < -6.0 || target.tiltDbPerOctave > 6.0)
            return Usage("tilt is -6..6 dB per octave: " + text);
        return CtlResult::Ok();
    }
    target.kind = fx::EqTarget::Curve;
    return ReadMeasurementFile(text, target.curve);
}

// One option and its value (value is empty for a flag).
CtlResult ParseOption(const std::string& name, const std::string& value, AutoEqArgs& out) {
    fx::AutoEqRequest& r = out.request;
    if (name == "--range") {
        if (!ParseRange(value, r.lowHz, r.highHz)) return Usage("--range is LOW-HIGH in Hz");
        out.rangeGiven = true;
        return CtlResult::Ok();
    }
    if (name == "--target") return ParseTarget(value, r.target);
    if (name == "--bands") {
        if (!fx::ParseWholeNumber(value, 1, 15, out.bands)) return Usage("--bands is 1..15");
        return CtlResult::Ok();
    }
    if (name == "--max-boost") {
        if (!fx::ParseDecimal(value, r.maxBoostDb)) return Usage("--max-boost is a number of dB");
        return CtlResult::Ok();
    }
    out.exportPath = value; // --export
    return CtlResult::Ok();
}

bool TakesValue(const std::string& name) {
    return name == "--range" || name == "--target" || name == "--bands" || name == "--max-boost" ||
           name == "--export";
}

CtlResult ParseOptions(const std::vector<std::string>& args, AutoEqArgs& out) {
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--dry-run" || name == "--json") {
            (name == "--json" ? out.json : out.dryRun) = true;
            continue;
        }
        if (!TakesValue(name)) return Usage("unknown option " + name);
        if (i + 1 >= args.size()) return Usage(name + " needs a value");
        CtlResult result = ParseOption(name, args[++i], out);
        if (!result.ok()) return result;
    }
    return CtlResult::Ok();
}

std::string BandsJson(const std::vector<int>& slots, const std::vector<EqBandRecord>& bands) {
    std::string out;
    for (size_t i = 0; i < bands.size(); ++i) {
        out += (i ? ",\n " : "\n ") + std::string("{\"band\":") + std::to_string(slots[i] + 1) +
               ",\"frequency\":" + JsonNumber(bands[i].frequency) +
               ",\"gain\":" + JsonNumber(bands[i].gain) + ",\"q\":" + JsonNumber(bands[i].q) + "}";
    }
    return out;
}

void PrintJson(const AutoEqArgs& args, int language, const std::vector<int>& slots,
               const fx::AutoEqResult& fit, bool written) {
    const std::string out = "{\"set\":" + std::to_string(args.set) +
                            ",\"name\":" + JsonString(fx::EqSetName(args.set, language)) +
                            ",\"range\":[" + JsonNumber(args.request.lowHz) + "," +
                            JsonNumber(args.request.highHz) +
                            "],\"rmsBefore\":" + JsonNumber(fit.rmsBeforeDb) +
                            ",\"rmsAfter\":" + JsonNumber(fit.rmsAfterDb) +
                            ",\"noBoostBelow\":" + JsonNumber(fit.noBoostBelowHz) +
                            ",\"written\":" + (written ? "true" : "false") + ",\"bands\":[" +
                            BandsJson(slots, fit.bands) + "]}\n";
    std::fputs(out.c_str(), CtlStdout());
}

void PrintProse(const AutoEqArgs& args, int language, const std::vector<int>& slots,
                const fx::AutoEqResult& fit, bool written) {
    std::fprintf(CtlStdout(), Say(language, "%s: %d个参量频段\n", "%s: %d peaking bands\n"),
                 fx::EqSetName(args.set, language).c_str(), static_cast<int>(fit.bands.size()));
    for (size_t i = 0; i < fit.bands.size(); ++i) {
        const EqBandRecord& b = fit.bands[i];
        std::fprintf(CtlStdout(),
                     Say(language, "频段%d: 参量 %.0f Hz %+.1f dB Q %.3f\n",
                         "band %d: PEQ %.0f Hz %+.1f dB Q %.3f\n"),
                     slots[i] + 1, b.frequency, b.gain, b.q);
    }
    std::fprintf(CtlStdout(),
                 Say(language, "%g-%g Hz 均方根偏差: 之前 %.2f dB, 之后 %.2f dB\n",
                     "RMS deviation %g-%g Hz: %.2f dB before, %.2f dB after\n"),
                 args.request.lowHz, args.request.highHz, fit.rmsBeforeDb, fit.rmsAfterDb);
    if (fit.noBoostBelowHz > 0.0)
        std::fprintf(CtlStdout(),
                     Say(language, "低于 %.0f Hz 不提升: 测量的低频极限\n",
                         "no boost below %.0f Hz, the measurement's low-frequency limit\n"),
                     fit.noBoostBelowHz);
    if (!written)
        std::fprintf(CtlStdout(), "%s\n",
                     Say(language, "试运行: 未写入", "dry run: nothing written"));
}

// The measurement with the whole set as it will be: the kept bands and the fit.
CtlResult ExportPrediction(const AutoEqArgs& args, std::vector<EqBandRecord> bands,
                           const fx::AutoEqResult& fit) {
    bands.insert(bands.end(), fit.bands.begin(), fit.bands.end());
    const fx::Measurement predicted = fx::PredictedMeasurement(args.request.measurement, bands);
    const std::string text = fx::FormatMeasurement(
        predicted, {"measurement + EQ", fx::EqSetName(args.set, 1), "Freq(Hz) SPL(dB)"});
    const fx::FileWriteResult saved = fx::WriteFileAtomically(
        args.exportPath, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (!saved.ok) return CtlResult::Fail(kExitFailed, CantWriteLine(saved));
    return CtlResult::Ok();
}

// The fitted bands, each confirmed (its coefficients and its record).
CtlResult WriteBands(const CtlOptions& options, int set, const std::vector<int>& slots,
                     const std::vector<EqBandRecord>& bands) {
    const int commands = 2 * static_cast<int>(fx::EqSetsLinkedWith(set).size());
    for (size_t i = 0; i < bands.size(); ++i) {
        const EqBandRecord& b = bands[i];
        const CtlResult result = SendConfirmed(
            "band " + std::to_string(slots[i] + 1) + " of " + CommandText(options), commands,
            [&] { fx::SetLinkedEqBand(set, slots[i], EQ_PEQ, b.frequency, b.gain, b.q); });
        if (!result.ok()) return result;
    }
    return CtlResult::Ok();
}

// A low-pass or high-pass of the set (a crossover, or a band of that type)
// inside the fit's range: the fit would fill in what it cuts. One warning
// each, with the range that stops at it.
void WarnOfPassesInTheRange(const AutoEqArgs& args, const uint8_t* panel) {
    const double low = args.request.lowHz, high = args.request.highHz;
    // A compound band's sections share its frequency: the band speaks for them.
    const bool compound = args.set == OutputEqSet(kCrossoverChannel);
    const std::vector<int> free = fx::FreeEqBands(args.set, panel);
    for (int band = 0; band < EqBandCount(args.set); ++band) {
        if (compound && band > kCrossoverBand && band < kCrossoverBand + kCompoundSections)
            continue;
        if (std::find(free.begin(), free.end(), band) != free.end()) continue;
        const EqBandRecord record = DecodeEqBandRecord(panel + EqBandOffset(args.set, band));
        const bool lowPass = IsLowPassLike(record.type), highPass = IsHighPassLike(record.type);
        if ((!lowPass && !highPass) || record.frequency <= low || record.frequency >= high)
            continue;
        const bool crossover = compound && band == kCrossoverBand;
        std::fprintf(CtlStderr(),
                     "fxtunectl: warning: auto-eq: the range %g-%g Hz runs past the %s%s at "
                     "%.0f Hz (band %d of %s): the fit fills in what it cuts; --range %g-%g "
                     "stops at it\n",
                     low, high, crossover ? "crossover " : "", lowPass ? "low-pass" : "high-pass",
                     record.frequency, band + 1,
                     fx::EqSetName(args.set, fx::kLanguageEnglish).c_str(),
                     lowPass ? low : record.frequency, lowPass ? record.frequency : high);
    }
}

} // namespace

CtlResult ParseAutoEqArguments(const CtlOptions& options, AutoEqArgs& out) {
    const std::vector<std::string>& args = options.arguments;
    if (args.size() < 2) return Usage("give SET and MEASUREMENT");
    out.set = fx::EqSetFromText(args[0]);
    if (out.set < 0) return Usage(std::string("SET is ") + fx::kEqSetChoices + ", not " + args[0]);
    CtlResult result = ParseOptions(args, out);
    if (result.ok()) result = ReadMeasurementFile(args[1], out.request.measurement);
    if (!result.ok()) return result;
    if (!out.rangeGiven) {
        const fx::AutoEqRequest defaults = fx::DefaultAutoEqRequest(out.request.measurement);
        out.request.lowHz = defaults.lowHz;
        out.request.highHz = defaults.highHz;
    }
    out.json = out.json || options.json;
    out.request.bandCount = out.bands;
    const std::string refusal = fx::CheckAutoEqRequest(out.request);
    if (!refusal.empty()) return Usage(refusal);
    if (!out.exportPath.empty()) {
        const fx::FileWriteResult target = fx::CheckWriteTarget(out.exportPath);
        if (!target.ok) return CtlResult::Fail(kExitFailed, CantWriteLine(target));
    }
    return CtlResult::Ok();
}

CtlResult RunAutoEq(CtlSession& session, const CtlOptions& options, const AutoEqArgs& args) {
    fx::ParamStore& store = session.Store();
    CtlResult result = session.ReadAll();
    if (!result.ok()) return result;
    const std::vector<int> slots = fx::FreeEqBands(args.set, store.Panel());
    if (slots.empty())
        return CtlResult::Fail(kExitFailed, "auto-eq: EQ set " + std::to_string(args.set) +
                                                " has no free band (all are in use)");
    if (args.bands > static_cast<int>(slots.size()))
        return Usage("EQ set " + std::to_string(args.set) + " has " + std::to_string(slots.size()) +
                     " free bands, not " + std::to_string(args.bands));
    WarnOfPassesInTheRange(args, store.Panel());
    fx::AutoEqRequest request = args.request;
    request.keptBands = fx::KeptEqBands(args.set, store.Panel());
    request.bandCount = args.bands > 0 ? args.bands : static_cast<int>(slots.size());
    const fx::AutoEqResult fit = fx::FitAutoEq(request);
    if (!args.exportPath.empty()) result = ExportPrediction(args, request.keptBands, fit);
    if (result.ok() && !args.dryRun) result = WriteBands(options, args.set, slots, fit.bands);
    if (!result.ok()) return result;
    if (args.json)
        PrintJson(args, options.language, slots, fit, !args.dryRun);
    else
        PrintProse(args, options.language, slots, fit, !args.dryRun);
    return CtlResult::Ok();
}

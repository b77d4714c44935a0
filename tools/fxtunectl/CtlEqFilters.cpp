#include "CtlEqFilters.h"

#include "CtlConfirm.h"
#include "CtlOutput.h"
#include "CtlSession.h"
#include "CtlWords.h"
#include "ImageJson.h"

#include "controls/EqModel.h"
#include "modefile/SafeFile.h"
#include "state/ChannelLinks.h"
#include "state/EqFilterText.h"
#include "state/ParamImage.h"
#include "state/ParamNames.h"
#include "state/TextNumbers.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The set and, for an import, the file's filters.
struct FilterArguments {
    int set = 0;
    fx::FilterText text;
};

CtlResult ParseFilterArguments(const CtlOptions& options, FilterArguments& out) {
    out.set = fx::EqSetFromText(options.arguments[0]);
    if (out.set < 0)
        return CtlResult::Fail(kExitUsage, std::string("SET is ") + fx::kEqSetChoices + ", not " +
                                               options.arguments[0]);
    if (options.command != "eq-import") return CtlResult::Ok();
    const std::string& path = options.arguments[1];
    const fx::FileReadResult file = fx::ReadRegularFile(path, fx::kMaxFilterTextBytes);
    if (!file.ok) return CtlResult::Fail(kExitBadFile, file.message);
    out.text = fx::ParseFilterText(std::string(file.bytes.begin(), file.bytes.end()),
                                   fx::FilterBandCount(out.set));
    // A text without a single filter line is no filter file at all.
    if (!out.text.ok)
        return CtlResult::Fail(out.text.line == 0 ? kExitBadFile : kExitUsage,
                               path + ": " + out.text.Error());
    return CtlResult::Ok();
}

// "1 filter", "2 filters"; "1个滤波器".
std::string CountOf(int count, const std::string& noun, const char* zh, int language) {
    if (language == 0) return std::to_string(count) + "个" + zh;
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// The preamp and the includes, which the import does not carry out, and the
// header lines it skipped (one line on CtlStderr(): a notice, not an error).
void ReportWhatIsNotImported(const std::string& path, const fx::FilterText& text, int language) {
    // No EQ set has a level in dB beside its bands to take the preamp.
    if (text.preampDb) {
        std::fprintf(CtlStdout(),
                     Say(language,
                         "第%2$d行的前级增益 %1$.1f dB 已忽略: 均衡没有前级增益; "
                         "滤波器需要余量时请降低电平\n",
                         "Preamp %.1f dB on line %d ignored: the EQ has no preamp; lower a level "
                         "if the filters need headroom\n"),
                     *text.preampDb, text.preampLine);
    }
    for (const std::string& include : text.includes)
        std::fprintf(CtlStdout(),
                     Say(language, "Include: %s 未读取: 请单独导入该文件\n",
                         "Include: %s not followed: import that file on its own\n"),
                     include.c_str());
    if (text.skippedLines > 0 && language == 0)
        std::fprintf(CtlStderr(), "%s: 跳过%d行非滤波器文本\n", path.c_str(), text.skippedLines);
    else if (text.skippedLines > 0)
        std::fprintf(CtlStderr(), "%s: %d line%s that %s no filter skipped\n", path.c_str(),
                     text.skippedLines, text.skippedLines == 1 ? "" : "s",
                     text.skippedLines == 1 ? "is" : "are");
}

std::string FiltersJson(const fx::ParamStore& store, int set, int language) {
    std::string out = "{\"set\":" + std::to_string(set) +
                      ",\"name\":" + JsonString(fx::EqSetName(set, language)) + ",\"filters\":[";
    bool first = true;
    for (const fx::ExportedFilter& filter : fx::ExportFilters(set, store.Panel())) {
        out += (first ? "\n " : ",\n ") + std::string("{\"filter\":") +
               std::to_string(filter.number) + ",\"on\":" + (filter.on ? "true" : "false") +
               ",\"type\":" + JsonString(filter.type) +
               ",\"frequency\":" + JsonNumber(filter.band.frequency) +
               ",\"gain\":" + JsonNumber(filter.band.gain) + ",\"q\":" + JsonNumber(filter.band.q) +
               "}";
        first = false;
    }
    return out + "]}\n";
}

} // namespace

CtlResult CheckEqFilterArguments(const CtlOptions& options) {
    FilterArguments arguments;
    return ParseFilterArguments(options, arguments);
}

CtlResult RunEqImport(CtlSession& session, const CtlOptions& options) {
    FilterArguments arguments;
    CtlResult result = ParseFilterArguments(options, arguments);
    if (result.ok()) result = session.ReadAll();
    if (!result.ok()) return result;
    const fx::FilterText& text = arguments.text;
    ReportWhatIsNotImported(options.arguments[1], text, options.language);
    // Band by band, each confirmed (its coefficients and its record, in each
    // linked set) before the next.
    const std::vector<EqBandRecord> bands = fx::ImportedBands(arguments.set, text.filters);
    const int commands = 2 * static_cast<int>(fx::EqSetsLinkedWith(arguments.set).size());
    for (int band = 0; band < static_cast<int>(bands.size()); ++band) {
        const EqBandRecord& b = bands[band];
        result = SendConfirmed(
            "band " + std::to_string(band + 1) + " of " + CommandText(options), commands,
            [&] { fx::SetLinkedEqBand(arguments.set, band, b.type, b.frequency, b.gain, b.q); });
        if (!result.ok()) return result;
    }
    const int active = text.ActiveCount();
    const int off = static_cast<int>(text.filters.size()) - active;
    const int flat = fx::FilterBandCount(arguments.set) - static_cast<int>(text.filters.size());
    const int language = options.language;
    std::fprintf(CtlStdout(),
                 Say(language, "%s: %s, %s关闭, %s平直\n", "%s: %s, %s off, %s flat\n"),
                 fx::EqSetName(arguments.set, language).c_str(),
                 CountOf(active, "filter", "滤波器", language).c_str(),
                 CountOf(off, "band", "频段", language).c_str(),
                 CountOf(flat, "band", "频段", language).c_str());
    return CtlResult::Ok();
}

CtlResult RunEqExport(CtlSession& session, const CtlOptions& options) {
    fx::ParamStore& store = session.Store();
    FilterArguments arguments;
    CtlResult result = ParseFilterArguments(options, arguments);
    if (result.ok()) result = session.ReadAll();
    if (!result.ok()) return result;
    if (options.json)
        std::fputs(FiltersJson(store, arguments.set, options.language).c_str(), CtlStdout());
    else
        std::fputs(fx::FormatFilterText(arguments.set, store.Panel()).c_str(), CtlStdout());
    return CtlResult::Ok();
}

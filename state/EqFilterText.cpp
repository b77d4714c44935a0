#include "state/EqFilterText.h"

#include "state/EqMath.h"
#include "state/ImageEdits.h"
#include "state/ParamNames.h"
#include "state/TextNumbers.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace fx {

namespace {

constexpr double kDefaultSlopeQ = 0.707;
constexpr double kDefaultNotchQ = 30.0;
constexpr double kFlatQ = 1.41;

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// What a filter type of the text becomes on the processor.
enum class Realised { Band, Notch, AllPass };

struct TypeName {
    const char* name;
    int type;
    Realised as = Realised::Band;
};
constexpr TypeName kTypes[] = {
    {"PK", EQ_PEQ},
    {"PEQ", EQ_PEQ},
    {"LS", EQ_LS},
    {"LSC", EQ_LS},
    {"HS", EQ_HS},
    {"HSC", EQ_HS},
    {"LP", EQ_LP},
    {"LPQ", EQ_LP},
    {"HP", EQ_HP},
    {"HPQ", EQ_HP},
    {"NO", EQ_PEQ, Realised::Notch},
    {"NOTCH", EQ_PEQ, Realised::Notch},
    {"AP", EQ_PEQ, Realised::AllPass},
};

bool IsShelf(int type) {
    return type == EQ_LS || type == EQ_HS;
}

// One line's verdict.
struct LineResult {
    enum Kind { Blank, Comment, Other, Filter, Preamp, Include, Refused } kind = Blank;
    FilterLine filter{};
    bool numbered = false;
    double preampDb = 0;
    std::string text; // the reason of a refusal, the file of an include
};

LineResult Refuse(std::string reason) {
    LineResult result;
    result.kind = LineResult::Refused;
    result.text = std::move(reason);
    return result;
}

// Fc, Gain and Q (or BW in octaves) in any order, each once, their units as
// words of their own or written onto the number.
struct FilterValues {
    std::optional<double> frequency, gain, q, bandwidth;
};

// A number with an optional unit glued to it ("1.2kHz", "-3dB"): the number
// scaled by the unit, or nothing when the text is neither.
std::optional<double> ValueWithUnit(const std::string& word, const char* const* units,
                                    const double* scales) {
    const std::string upper = Upper(word);
    double number = 0;
    for (int i = 0; units[i] != nullptr; ++i)
        if (EndsWith(upper, units[i]) &&
            ParseDecimal(word.substr(0, word.size() - std::strlen(units[i])), number))
            return number * scales[i];
    if (ParseDecimal(word, number)) return number;
    return std::nullopt;
}

std::string ReadValue(const std::vector<std::string>& words, size_t& at, const std::string& key,
                      std::optional<double>& slot) {
    static const char* const kFrequencyUnits[] = {"KHZ", "HZ", nullptr};
    static const double kFrequencyScales[] = {1000.0, 1.0};
    static const char* const kGainUnits[] = {"DB", nullptr};
    static const char* const kNoUnits[] = {nullptr};
    static const double kOne[] = {1.0};
    const bool frequency = key == "FC";
    const bool gain = key == "GAIN";
    // "BW Oct 0.5" names its unit first.
    if (key == "BW" && at < words.size() && Upper(words[at]) == "OCT") ++at;
    if (at >= words.size()) return words[at - 1] + " needs a number";
    const std::optional<double> value =
        frequency ? ValueWithUnit(words[at], kFrequencyUnits, kFrequencyScales)
        : gain    ? ValueWithUnit(words[at], kGainUnits, kOne)
                  : ValueWithUnit(words[at], kNoUnits, kOne);
    if (!value) return key == "FC" ? "Fc needs a number" : words[at - 1] + " needs a number";
    slot = *value;
    ++at;
    if (at < words.size()) {
        const std::string unit = Upper(words[at]);
        if ((frequency && (unit == "HZ" || unit == "KHZ")) || (gain && unit == "DB") ||
            (key == "BW" && unit == "OCT")) {
            if (unit == "KHZ") slot = *slot * 1000.0;
            ++at;
        }
    }
    return {};
}

std::string ReadValues(const std::vector<std::string>& words, size_t at, FilterValues& values) {
    while (at < words.size()) {
        const std::string key = Upper(words[at]);
        std::optional<double>* slot = key == "FC"     ? &values.frequency
                                      : key == "GAIN" ? &values.gain
                                      : key == "Q"    ? &values.q
                                      : key == "BW"   ? &values.bandwidth
                                                      : nullptr;
        if (slot == nullptr) return "unexpected \"" + words[at] + "\"";
        if (slot->has_value()) return words[at] + " given twice";
        ++at;
        if (std::string problem = ReadValue(words, at, key, *slot); !problem.empty())
            return problem;
    }
    if (values.q && values.bandwidth) return "Q and BW both given";
    if (values.bandwidth) {
        if (*values.bandwidth <= 0 || *values.bandwidth > 10)
            return "BW " + Number(*values.bandwidth) + " octaves is no bandwidth";
        const double ratio = std::exp2(*values.bandwidth);
        values.q = std::sqrt(ratio) / (ratio - 1.0);
    }
    return {};
}

// The limits the editor puts on a band of the type (gain 0..0 where the type
// takes none).
std::string CheckLimits(const std::string& typeName, int type, double frequency, double gain,
                        double q) {
    const EqBandLimits limits = EqLimitsOf(type);
    if (frequency < limits.frequencyLow || frequency > limits.frequencyHigh)
        return "Fc " + Number(frequency) + " Hz is outside " + Number(limits.frequencyLow) + ".." +
               Number(limits.frequencyHigh) + " Hz";
    if (limits.gainLow == limits.gainHigh && gain != limits.gainLow)
        return typeName + " takes no gain";
    if (gain < limits.gainLow || gain > limits.gainHigh)
        return "Gain " + Number(gain) + " dB is outside " + Number(limits.gainLow) + "..+" +
               Number(limits.gainHigh) + " dB";
    if (q < limits.qLow || q > limits.qHigh)
        return "Q " + Number(std::round(q * 1000.0) / 1000.0) + " is outside " +
               Number(limits.qLow) + ".." + Number(limits.qHigh) + " for " + typeName;
    return {};
}

EqBandRecord Stepped(int type, double frequency, double gain, double q) {
    return {std::round(gain * 10.0) / 10.0, std::round(frequency), std::round(q * 1000.0) / 1000.0,
            type};
}

// A slope after a shelf's type: "6dB", "12dB" or "6 dB". The processor's
// shelves have one slope, set by Q.
size_t SkipShelfSlope(const std::vector<std::string>& words, size_t at) {
    if (at >= words.size()) return at;
    const std::string word = Upper(words[at]);
    double number = 0;
    if (EndsWith(word, "DB") && ParseDecimal(word.substr(0, word.size() - 2), number))
        return at + 1;
    if (ParseDecimal(word, number) && at + 1 < words.size() && Upper(words[at + 1]) == "DB")
        return at + 2;
    return at;
}

// An OFF filter keeps whatever usable values it names, as an export of an
// off band writes them.
LineResult OffFilter(const std::vector<std::string>& words) {
    LineResult result;
    result.kind = LineResult::Filter;
    result.filter.record.type = EQ_OFF;
    FilterValues values;
    const size_t at = words.size() >= 2 ? SkipShelfSlope(words, 2) : words.size();
    if (!ReadValues(words, at, values).empty() || !values.frequency) return result;
    const double gain = values.gain.value_or(0.0);
    const double q = values.q.value_or(kFlatQ);
    if (!CheckLimits("PK", EQ_PEQ, *values.frequency, gain, q).empty()) return result;
    result.filter.valuesGiven = true;
    result.filter.record = Stepped(EQ_OFF, *values.frequency, gain, q);
    return result;
}

LineResult OnFilter(const std::vector<std::string>& words) {
    const std::string typeName = Upper(words[1]);
    const auto known = std::find_if(std::begin(kTypes), std::end(kTypes),
                                    [&](const TypeName& t) { return typeName == t.name; });
    if (known == std::end(kTypes))
        return Refuse("type " + words[1] + " has no equivalent on the processor");
    FilterValues values;
    const size_t at = IsShelf(known->type) ? SkipShelfSlope(words, 2) : 2;
    std::string problem = ReadValues(words, at, values);
    if (problem.empty() && !values.frequency) problem = typeName + " needs Fc";
    const bool takesGain = EqLimitsOf(known->type).gainLow < 0;
    if (problem.empty() && known->as == Realised::Band && takesGain && !values.gain)
        problem = typeName + " needs Gain";
    if (problem.empty() && known->as == Realised::Band && known->type == EQ_PEQ && !values.q)
        problem = typeName + " needs Q or BW";
    if (problem.empty() && known->as != Realised::Band && values.gain.value_or(0.0) != 0.0)
        problem = typeName + " takes no gain";
    if (!problem.empty()) return Refuse(problem);
    const double q =
        values.q.value_or(known->as == Realised::Notch ? kDefaultNotchQ : kDefaultSlopeQ);
    // A notch is the deepest cut a band can make; an all-pass changes no level.
    const double gain =
        known->as == Realised::Notch ? EqLimitsOf(EQ_PEQ).gainLow : values.gain.value_or(0.0);
    problem = CheckLimits(typeName, known->type, *values.frequency,
                          known->as == Realised::Band ? gain : 0.0, q);
    if (!problem.empty()) return Refuse(problem);
    LineResult result;
    result.kind = LineResult::Filter;
    result.filter.on = true;
    result.filter.valuesGiven = true;
    result.filter.record = Stepped(known->type, *values.frequency, gain, q);
    return result;
}

LineResult ParseFilter(const std::vector<std::string>& words) {
    if (words.empty()) return Refuse("a filter needs ON or OFF and a type");
    const std::string state = Upper(words[0]);
    if (state == "NONE" || state == "OFF") return OffFilter(words);
    if (state != "ON") return Refuse("a filter is ON or OFF, not \"" + words[0] + "\"");
    if (words.size() < 2) return Refuse("a filter needs a type");
    if (Upper(words[1]) == "NONE") return OffFilter({});
    return OnFilter(words);
}

LineResult ParsePreamp(const std::vector<std::string>& words) {
    LineResult result;
    const bool unitOk = words.size() == 1 || (words.size() == 2 && Upper(words[1]) == "DB");
    if (words.empty() || !unitOk || !ParseDecimal(words[0], result.preampDb))
        return Refuse("Preamp needs a gain in dB");
    result.kind = LineResult::Preamp;
    return result;
}

LineResult Kind(LineResult::Kind kind, std::string text = {}) {
    LineResult result;
    result.kind = kind;
    result.text = std::move(text);
    return result;
}

// "Filter", "Filter 3", "Preamp" or "Include" before the colon; any other
// line is no filter.
LineResult ParseLine(const std::string& raw) {
    const std::string line = Trim(raw);
    if (line.empty()) return {};
    if (line[0] == '#' || line[0] == ';' || line.rfind("//", 0) == 0)
        return Kind(LineResult::Comment);
    const size_t colon = line.find(':');
    if (colon == std::string::npos) return Kind(LineResult::Other);
    const std::vector<std::string> head = Words(line.substr(0, colon));
    const std::vector<std::string> rest = Words(line.substr(colon + 1));
    const std::string keyword = head.empty() ? "" : Upper(head[0]);
    if (keyword == "PREAMP" && head.size() == 1) return ParsePreamp(rest);
    if (keyword == "INCLUDE" && head.size() == 1)
        return Kind(LineResult::Include, Trim(line.substr(colon + 1)));
    if (keyword != "FILTER" || head.size() > 2) return Kind(LineResult::Other);
    int number = 0;
    if (head.size() == 2 && !ParseWholeNumber(head[1], 1, 9999, number))
        return Refuse("\"" + head[1] + "\" is no filter number");
    LineResult result = ParseFilter(rest);
    result.numbered = head.size() == 2;
    result.filter.band = number - 1;
    return result;
}

// Places a filter line on its band; an empty text when it fits.
std::string PlaceFilter(FilterText& text, LineResult& parsed, int bandCount, int& nextBand) {
    FilterLine& filter = parsed.filter;
    if (!parsed.numbered) filter.band = nextBand;
    nextBand = filter.band + 1;
    if (filter.band >= bandCount) {
        // Unused slots of a longer equaliser are no bands to set.
        if (!filter.on) return {};
        return "Filter " + std::to_string(filter.band + 1) + " is past the " +
               std::to_string(bandCount) + " bands of the EQ set";
    }
    for (const FilterLine& earlier : text.filters)
        if (earlier.band == filter.band)
            return "band " + std::to_string(filter.band + 1) + " given twice (first on line " +
                   std::to_string(earlier.line) + ")";
    text.filters.push_back(filter);
    return {};
}

FilterText Refused(int line, std::string reason) {
    FilterText result;
    result.line = line;
    result.reason = std::move(reason);
    return result;
}

} // namespace

int FilterBandCount(int set) {
    return EqCopyCount(set);
}

int FilterText::ActiveCount() const {
    return static_cast<int>(
        std::count_if(filters.begin(), filters.end(), [](const FilterLine& f) { return f.on; }));
}

std::string FilterText::Error() const {
    if (line == 0) return reason;
    return "line " + std::to_string(line) + ": " + reason;
}

FilterText ParseFilterText(const std::string& text, int bandCount) {
    FilterText result;
    std::istringstream in(text);
    int lineNumber = 0;
    int nextBand = 0;
    bool anyFilterLine = false;
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        if (lineNumber == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        LineResult parsed = ParseLine(line);
        if (parsed.kind == LineResult::Filter) {
            anyFilterLine = true;
            parsed.filter.line = lineNumber;
            std::string problem = PlaceFilter(result, parsed, bandCount, nextBand);
            if (!problem.empty()) return Refused(lineNumber, std::move(problem));
        }
        if (parsed.kind == LineResult::Preamp && result.preampDb)
            return Refused(lineNumber, "a second Preamp line (the first is line " +
                                           std::to_string(result.preampLine) + ")");
        switch (parsed.kind) {
        case LineResult::Refused:
            return Refused(lineNumber, parsed.text);
        case LineResult::Preamp:
            result.preampDb = parsed.preampDb;
            result.preampLine = lineNumber;
            break;
        case LineResult::Include:
            result.includes.push_back(parsed.text);
            break;
        case LineResult::Other:
            ++result.skippedLines;
            break;
        default:
            break;
        }
    }
    if (!anyFilterLine) return Refused(0, "no filter line in it");
    result.ok = true;
    return result;
}

std::vector<EqBandRecord> ImportedBands(int set, const std::vector<FilterLine>& filters) {
    std::vector<EqBandRecord> bands;
    for (int band = 0; band < FilterBandCount(set); ++band) {
        EqBandRecord flat{0.0, EqInitialFrequency(set, band), kFlatQ, EQ_PEQ};
        const auto given = std::find_if(filters.begin(), filters.end(),
                                        [band](const FilterLine& f) { return f.band == band; });
        if (given == filters.end()) {
            bands.push_back(flat);
        } else if (given->valuesGiven) {
            bands.push_back(given->record);
        } else {
            flat.type = EQ_OFF;
            bands.push_back(flat);
        }
    }
    return bands;
}

void ApplyImportedBands(int set, const std::vector<FilterLine>& filters) {
    const ImageEditScope import(ImageEditKind::EqImport, set);
    const std::vector<EqBandRecord> bands = ImportedBands(set, filters);
    for (int band = 0; band < static_cast<int>(bands.size()); ++band) {
        const EqBandRecord& b = bands[band];
        SetEqBand(set, band, b.type, b.frequency, b.gain, b.q);
    }
}

std::vector<ExportedFilter> ExportFilters(int set, const uint8_t* panel) {
    static constexpr const char* kExported[6] = {"PK", "PK", "LPQ", "HPQ", "LSC", "HSC"};
    std::vector<ExportedFilter> filters;
    for (int band = 0; band < FilterBandCount(set); ++band) {
        ExportedFilter filter;
        filter.number = band + 1;
        filter.band = DecodeEqBandRecord(panel + EqBandOffset(set, band));
        const int type = filter.band.type;
        const bool userType = type >= EQ_OFF && type <= EQ_HS;
        filter.on = userType && type != EQ_OFF;
        filter.type = userType ? kExported[type] : "None";
        filters.push_back(filter);
    }
    return filters;
}

std::string FormatFilterText(int set, const uint8_t* panel) {
    std::string text;
    char line[160];
    for (const ExportedFilter& filter : ExportFilters(set, panel)) {
        const EqBandRecord& b = filter.band;
        if (filter.type == "None") {
            std::snprintf(line, sizeof line, "Filter %d: OFF None\n", filter.number);
        } else if (b.type == EQ_LP || b.type == EQ_HP) {
            std::snprintf(line, sizeof line, "Filter %d: ON %s Fc %.0f Hz Q %s\n", filter.number,
                          filter.type.c_str(), b.frequency, QText(b.q).c_str());
        } else {
            std::snprintf(line, sizeof line, "Filter %d: %s %s Fc %.0f Hz Gain %.1f dB Q %s\n",
                          filter.number, filter.on ? "ON" : "OFF", filter.type.c_str(), b.frequency,
                          b.gain, QText(b.q).c_str());
        }
        text += line;
    }
    return text;
}

} // namespace fx

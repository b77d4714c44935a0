#include "state/EqFilterText.h"

#include "state/EqMath.h"
#include "state/ImageEdits.h"
#include "state/ParamNames.h"
#include "state/TextNumbers.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace fx {

namespace {

constexpr double kDefaultSlopeQ = 0.707;

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

// A filter type of the text and the band type that realises it.
struct TypeName {
    const char* name;
    int type;
};
constexpr TypeName kTypes[] = {
    {"PK", EQ_PEQ}, {"LS", EQ_LS},  {"LSC", EQ_LS}, {"HS", EQ_HS},  {"HSC", EQ_HS},
    {"LP", EQ_LP},  {"LPQ", EQ_LP}, {"HP", EQ_HP},  {"HPQ", EQ_HP},
};

// One line's verdict: skipped, a filter, the preamp, or refused.
struct LineResult {
    enum Kind { Skip, Filter, Preamp, Refused } kind = Skip;
    EqBandRecord band{};
    double preampDb = 0;
    std::string reason;
};

LineResult Refuse(std::string reason) {
    LineResult result;
    result.kind = LineResult::Refused;
    result.reason = std::move(reason);
    return result;
}

// Fc, Gain and Q with their optional units, in any order, each once.
struct FilterValues {
    std::optional<double> frequency, gain, q;
};

std::string ReadValues(const std::vector<std::string>& words, size_t at, FilterValues& values) {
    while (at < words.size()) {
        const std::string key = Upper(words[at]);
        std::optional<double>* slot = key == "FC"     ? &values.frequency
                                      : key == "GAIN" ? &values.gain
                                      : key == "Q"    ? &values.q
                                                      : nullptr;
        if (slot == nullptr) return "unexpected \"" + words[at] + "\"";
        if (slot->has_value()) return words[at] + " given twice";
        double number = 0;
        if (at + 1 >= words.size() || !ParseDecimal(words[at + 1], number))
            return words[at] + " needs a number";
        *slot = number;
        at += 2;
        const char* unit = key == "FC" ? "HZ" : key == "GAIN" ? "DB" : nullptr;
        if (unit != nullptr && at < words.size() && Upper(words[at]) == unit) ++at;
    }
    return {};
}

// The limits the editor puts on a band of the type (gain 0..0 where the type
// takes none).
std::string CheckLimits(const std::string& typeName, int type, const FilterValues& values) {
    const EqBandLimits limits = EqLimitsOf(type);
    const double frequency = *values.frequency;
    if (frequency < limits.frequencyLow || frequency > limits.frequencyHigh)
        return "Fc " + Number(frequency) + " Hz is outside " + Number(limits.frequencyLow) + ".." +
               Number(limits.frequencyHigh) + " Hz";
    const double gain = values.gain.value_or(0.0);
    if (limits.gainLow == limits.gainHigh && gain != limits.gainLow)
        return typeName + " takes no gain";
    if (gain < limits.gainLow || gain > limits.gainHigh)
        return "Gain " + Number(gain) + " dB is outside " + Number(limits.gainLow) + "..+" +
               Number(limits.gainHigh) + " dB";
    const double q = values.q.value_or(kDefaultSlopeQ);
    if (q < limits.qLow || q > limits.qHigh)
        return "Q " + Number(q) + " is outside " + Number(limits.qLow) + ".." +
               Number(limits.qHigh) + " for " + typeName;
    return {};
}

LineResult ParseFilter(const std::vector<std::string>& words) {
    if (words.empty()) return Refuse("a filter needs ON or OFF and a type");
    const std::string state = Upper(words[0]);
    if (state == "NONE" || state == "OFF") return {};
    if (state != "ON") return Refuse("a filter is ON or OFF, not \"" + words[0] + "\"");
    if (words.size() < 2) return Refuse("a filter needs a type");
    const std::string typeName = Upper(words[1]);
    if (typeName == "NONE") return {};
    const auto known = std::find_if(std::begin(kTypes), std::end(kTypes),
                                    [&](const TypeName& t) { return typeName == t.name; });
    if (known == std::end(kTypes))
        return Refuse("type " + words[1] + " has no equivalent on the processor");
    FilterValues values;
    std::string problem = ReadValues(words, 2, values);
    if (problem.empty() && !values.frequency) problem = typeName + " needs Fc";
    const EqBandLimits limits = EqLimitsOf(known->type);
    const bool needsGain = limits.gainLow != limits.gainHigh;
    if (problem.empty() && needsGain && !values.gain) problem = typeName + " needs Gain";
    if (problem.empty() && known->type == EQ_PEQ && !values.q) problem = "PK needs Q";
    if (problem.empty()) problem = CheckLimits(typeName, known->type, values);
    if (!problem.empty()) return Refuse(problem);
    LineResult result;
    result.kind = LineResult::Filter;
    result.band.type = known->type;
    result.band.frequency = std::round(*values.frequency);
    result.band.gain = std::round(values.gain.value_or(0.0) * 10.0) / 10.0;
    result.band.q = std::round(values.q.value_or(kDefaultSlopeQ) * 1000.0) / 1000.0;
    return result;
}

LineResult ParsePreamp(const std::vector<std::string>& words) {
    LineResult result;
    const bool unitOk = words.size() == 1 || (words.size() == 2 && Upper(words[1]) == "DB");
    if (words.empty() || !unitOk || !ParseDecimal(words[0], result.preampDb))
        return Refuse("Preamp needs a gain in dB");
    result.kind = LineResult::Preamp;
    return result;
}

// "Filter", "Filter 3" or "Preamp" before the colon.
LineResult ParseLine(const std::string& raw) {
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == '#' || line[0] == ';' || line.rfind("//", 0) == 0) return {};
    const size_t colon = line.find(':');
    if (colon == std::string::npos) return Refuse("not a filter, preamp or comment line");
    const std::vector<std::string> head = Words(line.substr(0, colon));
    const std::vector<std::string> rest = Words(line.substr(colon + 1));
    const std::string keyword = head.empty() ? "" : Upper(head[0]);
    if (keyword == "PREAMP" && head.size() == 1) return ParsePreamp(rest);
    double number = 0;
    const bool numbered = head.size() == 2 && ParseDecimal(head[1], number);
    if (keyword == "FILTER" && (head.size() == 1 || numbered)) return ParseFilter(rest);
    return Refuse("not a filter, preamp or comment line");
}

} // namespace

int FilterBandCount(int set) {
    return EqCopyCount(set);
}

std::string FilterText::Error() const {
    return "line " + std::to_string(line) + ": " + reason;
}

FilterText ParseFilterText(const std::string& text, int bandCount) {
    FilterText result;
    std::istringstream in(text);
    int lineNumber = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        if (lineNumber == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        LineResult parsed = ParseLine(line);
        if (parsed.kind == LineResult::Filter &&
            static_cast<int>(result.filters.size()) >= bandCount) {
            parsed = Refuse("more active filters than the " + std::to_string(bandCount) +
                            " bands of the EQ set");
        }
        if (parsed.kind == LineResult::Preamp && result.preampDb) {
            parsed = Refuse("a second Preamp line (the first is line " +
                            std::to_string(result.preampLine) + ")");
        }
        if (parsed.kind == LineResult::Refused) {
            result.line = lineNumber;
            result.reason = parsed.reason;
            result.filters.clear();
            return result;
        }
        if (parsed.kind == LineResult::Filter) result.filters.push_back(parsed.band);
        if (parsed.kind == LineResult::Preamp) {
            result.preampDb = parsed.preampDb;
            result.preampLine = lineNumber;
        }
    }
    result.ok = true;
    return result;
}

std::vector<EqBandRecord> ImportedBands(int set, const std::vector<EqBandRecord>& filters) {
    std::vector<EqBandRecord> bands;
    for (int band = 0; band < FilterBandCount(set); ++band) {
        if (band < static_cast<int>(filters.size()))
            bands.push_back(filters[band]);
        else
            bands.push_back({0.0, EqInitialFrequency(set, band), 1.41, EQ_PEQ});
    }
    return bands;
}

void ApplyImportedBands(int set, const std::vector<EqBandRecord>& filters) {
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

#include "state/Measurement.h"

#include "state/TextNumbers.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace fx {

namespace {

constexpr double kLevelLimitDb = 500.0;

struct PointLine {
    enum Kind { Skipped, Point, Refused } kind = Skipped;
    double values[3] = {0, 0, 0};
    int count = 0;
    std::string reason;
};

PointLine Refuse(std::string reason) {
    PointLine line;
    line.kind = PointLine::Refused;
    line.reason = std::move(reason);
    return line;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    for (char c : line) {
        if (c == ',' || c == '\t' || c == ' ' || c == '\r') {
            if (!field.empty()) fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    if (!field.empty()) fields.push_back(field);
    return fields;
}

bool LooksNonFinite(const std::string& field) {
    std::string lower;
    for (char c : field) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("nan") != std::string::npos || lower.find("inf") != std::string::npos;
}

PointLine ParsePointLine(const std::string& raw) {
    const std::vector<std::string> fields = Fields(raw);
    if (fields.empty() || fields[0][0] == '*') return {};
    if (fields.size() > 3) return Refuse("more than three numbers (frequency, level, phase)");
    PointLine line;
    line.kind = PointLine::Point;
    for (const std::string& field : fields) {
        if (LooksNonFinite(field)) return Refuse("not a finite number: " + field);
        if (!ParseDecimal(field, line.values[line.count])) return Refuse("not a number: " + field);
        ++line.count;
    }
    if (line.count < 2) return Refuse("a frequency without a level");
    if (!(line.values[0] > 0.0)) return Refuse("frequency not above 0 Hz");
    if (std::fabs(line.values[1]) > kLevelLimitDb) return Refuse("level outside -500..500 dB");
    return line;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

} // namespace

double Measurement::LevelAt(double frequency) const {
    if (frequencies.empty()) return 0.0;
    if (frequency <= frequencies.front()) return levels.front();
    if (frequency >= frequencies.back()) return levels.back();
    const size_t upper = static_cast<size_t>(
        std::upper_bound(frequencies.begin(), frequencies.end(), frequency) - frequencies.begin());
    const size_t lower = upper - 1;
    const double t = std::log(frequency / frequencies[lower]) /
                     std::log(frequencies[upper] / frequencies[lower]);
    return levels[lower] + t * (levels[upper] - levels[lower]);
}

std::string MeasurementText::Error() const {
    return "line " + std::to_string(line) + ": " + reason;
}

MeasurementText ParseMeasurement(const std::string& text) {
    MeasurementText result;
    Measurement& m = result.measurement;
    std::istringstream in(text);
    int lineNumber = 0;
    bool allPhases = true;
    const auto refuse = [&](int line, std::string reason) {
        result.line = line;
        result.reason = std::move(reason);
        result.measurement = {};
        return result;
    };
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        if (lineNumber == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        const PointLine parsed = ParsePointLine(line);
        if (parsed.kind == PointLine::Refused) return refuse(lineNumber, parsed.reason);
        if (parsed.kind == PointLine::Skipped) continue;
        const double frequency = parsed.values[0];
        if (!m.frequencies.empty() && frequency <= m.frequencies.back()) {
            return refuse(lineNumber, "frequency " + Number(frequency) +
                                          " Hz not above the previous point's " +
                                          Number(m.frequencies.back()) + " Hz");
        }
        m.frequencies.push_back(frequency);
        m.levels.push_back(parsed.values[1]);
        allPhases = allPhases && parsed.count == 3;
        m.phases.push_back(parsed.values[2]);
    }
    if (!allPhases) m.phases.clear();
    const int points = static_cast<int>(m.size());
    if (points < kMinMeasurementPoints) {
        return refuse(std::max(lineNumber, 1),
                      points == 0 ? std::string("no measurement points")
                                  : "only " + std::to_string(points) + " points; at least " +
                                        std::to_string(kMinMeasurementPoints) + " are needed");
    }
    result.ok = true;
    return result;
}

Measurement SmoothMeasurement(const Measurement& measurement, double fraction) {
    if (!(fraction > 0.0)) return measurement;
    Measurement smooth;
    smooth.frequencies = measurement.frequencies;
    smooth.levels.resize(measurement.size());
    const double halfWidth = std::pow(2.0, 0.5 / fraction);
    const std::vector<double>& f = measurement.frequencies;
    // A window sliding up the rising frequencies: [low, high) holds the
    // points within the band around point i.
    size_t low = 0, high = 0;
    double sum = 0.0;
    for (size_t i = 0; i < f.size(); ++i) {
        while (high < f.size() && f[high] <= f[i] * halfWidth) sum += measurement.levels[high++];
        while (f[low] < f[i] / halfWidth) sum -= measurement.levels[low++];
        smooth.levels[i] = sum / static_cast<double>(high - low);
    }
    return smooth;
}

std::string FormatMeasurement(const Measurement& measurement,
                              const std::vector<std::string>& comments) {
    std::string out;
    for (const std::string& comment : comments) out += "* " + comment + "\n";
    char line[96];
    for (size_t i = 0; i < measurement.size(); ++i) {
        if (measurement.phases.size() == measurement.size()) {
            std::snprintf(line, sizeof line, "%.3f %.3f %.4f\n", measurement.frequencies[i],
                          measurement.levels[i], measurement.phases[i]);
        } else {
            std::snprintf(line, sizeof line, "%.3f %.3f\n", measurement.frequencies[i],
                          measurement.levels[i]);
        }
        out += line;
    }
    return out;
}

} // namespace fx

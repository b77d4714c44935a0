// Arbitrary text through the measurement reader: a refusal names a line and
// keeps no point; an accepted measurement has at least 10 points at rising,
// positive frequencies with finite levels, smooths to finite levels and,
// written out, reads back with as many points.
#include "state/Measurement.h"

#include <cmath>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const fx::MeasurementText read = fx::ParseMeasurement(text);
    if (read.ok != (read.line == 0) || read.ok == !read.reason.empty()) __builtin_trap();
    const fx::Measurement& m = read.measurement;
    if (!read.ok) {
        if (m.size() != 0) __builtin_trap();
        return 0;
    }
    if (m.size() < static_cast<size_t>(fx::kMinMeasurementPoints)) __builtin_trap();
    for (size_t i = 0; i < m.size(); ++i) {
        if (!(m.frequencies[i] > 0.0) || !std::isfinite(m.levels[i])) __builtin_trap();
        if (i > 0 && !(m.frequencies[i] > m.frequencies[i - 1])) __builtin_trap();
    }
    for (double level : fx::SmoothMeasurement(m, 6.0).levels)
        if (!std::isfinite(level)) __builtin_trap();
    const fx::MeasurementText back = fx::ParseMeasurement(fx::FormatMeasurement(m, {"x"}));
    // Printing to 0.001 Hz can merge frequencies closer than that.
    if (back.ok && back.measurement.size() != m.size()) __builtin_trap();
    return 0;
}

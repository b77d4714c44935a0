#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A measured frequency response in the text that room-measurement programs
// export: lines starting with '*' are comments, then one point a line,
// frequency in Hz, level in dB and optionally phase in degrees, separated by
// commas, tabs or spaces.
//
//   * Freq(Hz) SPL(dB) Phase(degrees)
//   20.000 74.310 -12.5
//   20.292 74.402 -14.1
namespace fx {

// Far more than a 1/96-octave or a 64k-point linear export; a larger file is
// refused before it is read.
constexpr size_t kMaxMeasurementBytes = 16u << 20;
constexpr int kMinMeasurementPoints = 10;

struct Measurement {
    std::vector<double> frequencies; // Hz, strictly rising
    std::vector<double> levels;      // dB
    std::vector<double> phases;      // degrees; empty unless every point has one

    size_t size() const { return frequencies.size(); }
    // The level at any frequency: linear in log frequency between points, the
    // end levels beyond them.
    double LevelAt(double frequency) const;
};

struct MeasurementText {
    bool ok = false;
    int line = 0;       // the refused line (1-based), 0 when ok
    std::string reason; // why it was refused
    Measurement measurement;

    // "line 12: frequency 50 Hz not above the previous point's 50.5 Hz"
    std::string Error() const;
};

// Reads a whole text. A line that is not two or three numbers, a NaN or an
// infinite value, a frequency not above 0 Hz or not above the previous one,
// a level outside -500..500 dB or fewer than 10 points refuse the whole text.
MeasurementText ParseMeasurement(const std::string& text);

// Fractional-octave smoothing for the eye: each level becomes the mean of the
// levels within 1/fraction octave centred on its frequency (fraction 6: 1/6
// octave). fraction <= 0 returns the measurement unchanged. Phases are dropped.
Measurement SmoothMeasurement(const Measurement& measurement, double fraction);

// The measurement in the same text form, the comment lines first ('*' added).
std::string FormatMeasurement(const Measurement& measurement,
                              const std::vector<std::string>& comments);

} // namespace fx

#pragma once

#include <optional>
#include <string>

// The values the editor's pages let the user give, in one table, so that
// every other way in (the command line above all) refuses what no page could
// send. Values are editor values: percent, milliseconds, Hz, dB as the pages
// show them.
namespace fx {

struct ValueRange {
    double low = 0;
    double high = 0;
    bool wholeNumbers = false; // the editor value is an integer
    bool endsOnly = false;     // a switch: low or high, nothing between
    const char* unit = "";     // shown after the range, e.g. " ms"

    bool Allows(double value) const;
    // "0..99", "0 or 100", "2..200 ms"
    std::string Text() const;
};

// The range of a DSP parameter's editor value from the page that edits it;
// nothing when no page sets the parameter by value (or there is no such
// parameter).
std::optional<ValueRange> DspParamRange(int block, int parameter);

// Empty when value may be set; otherwise one line naming the allowed range.
std::string CheckDspParamValue(int block, int parameter, double value);

// A DSP parameter's editor value as the command line prints it and takes it
// back: a whole number as such, a time with the fewest decimals that give the
// same sample count (64 samples: "1.33"), a float with the fewest digits
// that give the same float. What it prints, set stores unchanged.
std::string DspValueText(int block, int parameter, double value);
// A time in milliseconds with at least minDecimals decimals and no more than
// it takes to give the same sample count ("1.33", "5.0").
std::string MillisecondsText(double ms, int minDecimals = 0);

// Band types: 0 off, 1..5 the editor's types, 6..21 crossover sections.
constexpr int kMaxEqBandType = 21;

// Empty when the band may be set as given (type 0..21, the editor's limits
// of that type for gain and Q, 20..20000 Hz); otherwise one line naming the
// range the first bad value breaks.
std::string CheckEqBandValues(int type, double frequency, double gain, double q);

} // namespace fx

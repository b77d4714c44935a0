#pragma once

#include "state/ParamImage.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The plain filter text that measurement programs export and PC equalisers
// read, one filter a line, numbered by band:
//
//   Preamp: -6.0 dB
//   Filter 1: ON PK Fc 100 Hz Gain -3.0 dB Q 1.41
//   Filter 2: ON LS 12dB Fc 80 Hz Gain 4.0 dB
//   Filter 3: OFF None
//   Filter 4: ON PK Fc 1.2 kHz Gain -2.0 dB BW Oct 0.5
//
// Types PK/PEQ (peaking), LS/LSC and HS/HSC (shelves, with or without a
// slope such as "6dB"; Q 0.707 when not given), LP/LPQ and HP/HPQ (second
// order, Q 0.707 when not given), NO/NOTCH (the deepest peaking cut, Q 30
// when not given) and AP (all-pass: a flat peaking band, the same
// magnitude). Fc in Hz or kHz, Q or BW in octaves, gain in dB. OFF filters
// and filters of type None leave their band off. Blank lines and lines
// starting with '#', ';' or "//" are comments; "Include:" lines are noted,
// not followed; any other line that is no filter (the header a measurement
// program writes) is skipped and counted.
namespace fx {

// Longer than any filter text a measurement program writes; a reader refuses
// a larger file.
constexpr size_t kMaxFilterTextBytes = 1 << 20;

// How many filters an EQ set takes: its bands on the page, less the
// crossover band of CH 6 and its sections (the bands copy and paste move).
int FilterBandCount(int set);

// One filter line as read: the band it sets and the record it gives it, in
// the steps the image keeps (frequency to the Hz, gain to 0.1 dB, Q to
// 0.001). An OFF band keeps the values its line gives (type EQ_OFF); without
// usable values (valuesGiven false) it takes the band's flat defaults.
struct FilterLine {
    int band = 0; // 0-based
    bool on = false;
    bool valuesGiven = false;
    EqBandRecord record{};
    int line = 0;
};

struct FilterText {
    bool ok = false;
    int line = 0;       // the refused line (1-based); 0 when ok or when the whole text is refused
    std::string reason; // why it was refused
    std::vector<FilterLine> filters; // in file order, one per band at most
    std::optional<double> preampDb;  // a Preamp line
    int preampLine = 0;
    int skippedLines = 0;              // lines that are no filter, preamp, include or comment
    std::vector<std::string> includes; // files named by "Include:" lines, not followed

    int ActiveCount() const;
    // "line 4: type BP has no equivalent on the processor"
    std::string Error() const;
};

// Parses a whole filter text for a set of bandCount bands. A filter line that
// cannot be read, a type the processor has no equivalent for, a value of an
// active filter outside the band limits (20..20000 Hz; gain -15..+15 dB, none
// on LP and HP; Q 0.1..30 for PK, 0.1..2 otherwise), an active filter past
// the bands or a band given twice refuse the whole text by its line; so does
// a text without any filter line (line 0).
FilterText ParseFilterText(const std::string& text, int bandCount);

// The records of the set's first FilterBandCount bands after an import: each
// band as its filter line gives it, an OFF band without values off at its
// flat defaults, and a band no line names flat (PEQ, 0 dB, Q 1.41 at the
// band's initial frequency).
std::vector<EqBandRecord> ImportedBands(int set, const std::vector<FilterLine>& filters);
// Writes those bands to the processor and the image with SetEqBand.
void ApplyImportedBands(int set, const std::vector<FilterLine>& filters);

// One band of a set as a filter of the text: shelves as LSC/HSC and passes
// as LPQ/HPQ with their Q, an OFF band as an OFF filter, a crossover section
// as "OFF None".
struct ExportedFilter {
    int number = 0; // 1-based, the band's number
    bool on = false;
    std::string type; // "PK", "LSC", "HSC", "LPQ", "HPQ" or "None"
    EqBandRecord band{};
};
// The set's filter bands, read from a panel area.
std::vector<ExportedFilter> ExportFilters(int set, const uint8_t* panel);
// The same as text, one "Filter N: ..." line each.
std::string FormatFilterText(int set, const uint8_t* panel);

} // namespace fx

#pragma once

#include "state/ParamImage.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The plain filter text that measurement programs export and PC equalisers
// read, one filter a line:
//
//   Preamp: -6.0 dB
//   Filter 1: ON PK Fc 100 Hz Gain -3.0 dB Q 1.41
//   Filter 2: ON LSC Fc 80 Hz Gain 4.0 dB Q 0.71
//   Filter 3: OFF None
//
// Types PK (peaking), LS/LSC and HS/HSC (shelves, Q 0.707 when not given),
// LP/LPQ and HP/HPQ (second order, Q 0.707 when not given). OFF and None
// filters, blank lines and lines starting with '#', ';' or "//" are skipped.
namespace fx {

// Longer than any filter text a measurement program writes; a reader refuses
// a larger file.
constexpr size_t kMaxFilterTextBytes = 1 << 20;

// How many filters an EQ set takes: its bands on the page, less the
// crossover band of CH 6 and its sections (the bands copy and paste move).
int FilterBandCount(int set);

struct FilterText {
    bool ok = false;
    int line = 0;       // the refused line (1-based), 0 when ok
    std::string reason; // why it was refused
    // The active filters in file order, as band records: frequency to the
    // Hz, gain to 0.1 dB and Q to 0.001, the steps the image keeps.
    std::vector<EqBandRecord> filters;
    std::optional<double> preampDb; // a Preamp line, which the processor has no use for
    int preampLine = 0;

    // "line 4: type BP has no equivalent on the processor"
    std::string Error() const;
};

// Parses a whole filter text for a set of bandCount bands. A line that is
// not a filter, a comment or the preamp, a type the processor has no
// equivalent for, a value outside the band limits (20..20000 Hz; gain
// -15..+15 dB, none on LP and HP; Q 0.1..30 for PK, 0.1..2 otherwise) or
// more active filters than bands refuse the whole text.
FilterText ParseFilterText(const std::string& text, int bandCount);

// The records of the set's first FilterBandCount bands after an import: the
// filters in order, then flat bands (PEQ, 0 dB, Q 1.41 at the band's initial
// frequency).
std::vector<EqBandRecord> ImportedBands(int set, const std::vector<EqBandRecord>& filters);
// Writes those bands to the processor and the image with SetEqBand.
void ApplyImportedBands(int set, const std::vector<EqBandRecord>& filters);

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

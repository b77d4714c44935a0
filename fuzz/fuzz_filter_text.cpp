// Arbitrary text through the filter text reader (the first byte picks the
// set): a refusal names a line (or none, for a text without filters) and
// keeps no filter; accepted filters fit the set, each band once, within the
// band limits, and written back out they read the same, byte for byte.
#include "controls/EqModel.h"
#include "state/EqFilterText.h"
#include "state/ParamImage.h"

#include <cstring>
#include <string>

namespace {

// An OFF band keeps values a peaking band could have.
bool WithinLimits(const EqBandRecord& band) {
    const EqBandLimits limits = EqLimitsOf(band.type == EQ_OFF ? EQ_PEQ : band.type);
    return band.frequency >= limits.frequencyLow && band.frequency <= limits.frequencyHigh &&
           band.gain >= limits.gainLow && band.gain <= limits.gainHigh && band.q >= limits.qLow &&
           band.q <= limits.qHigh;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int set = data[0] % kEqSetCount;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const fx::FilterText parsed = fx::ParseFilterText(text, fx::FilterBandCount(set));
    if (parsed.ok != parsed.reason.empty() || (parsed.ok && parsed.line != 0)) __builtin_trap();
    if (!parsed.ok) {
        if (!parsed.filters.empty()) __builtin_trap();
        return 0;
    }
    bool seen[64] = {};
    for (const fx::FilterLine& filter : parsed.filters) {
        if (filter.band < 0 || filter.band >= fx::FilterBandCount(set) || seen[filter.band])
            __builtin_trap();
        seen[filter.band] = true;
        if (filter.valuesGiven && !WithinLimits(filter.record)) __builtin_trap();
    }

    // The bands as the image holds them, written out and read back.
    uint8_t panel[kPanelSize] = {};
    const std::vector<EqBandRecord> bands = fx::ImportedBands(set, parsed.filters);
    for (size_t band = 0; band < bands.size(); ++band)
        EncodeEqBandRecord(bands[band], panel + EqBandOffset(set, static_cast<int>(band)));
    const fx::FilterText back =
        fx::ParseFilterText(fx::FormatFilterText(set, panel), fx::FilterBandCount(set));
    if (!back.ok) __builtin_trap();
    const std::vector<EqBandRecord> again = fx::ImportedBands(set, back.filters);
    if (again.size() != bands.size()) __builtin_trap();
    for (size_t i = 0; i < bands.size(); ++i) {
        uint8_t a[kEqBandRecordSize], b[kEqBandRecordSize];
        EncodeEqBandRecord(bands[i], a);
        EncodeEqBandRecord(again[i], b);
        if (std::memcmp(a, b, sizeof a) != 0) __builtin_trap();
    }
    return 0;
}

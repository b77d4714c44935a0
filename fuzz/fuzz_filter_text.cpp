// Arbitrary text through the filter text reader (the first byte picks the
// set): a refusal names a line and keeps no filter; accepted filters fit the
// set and the band limits, and written back out they read the same.
#include "controls/EqModel.h"
#include "state/EqFilterText.h"
#include "state/ParamImage.h"

#include <cstring>
#include <string>

namespace {

bool WithinLimits(const EqBandRecord& band) {
    const EqBandLimits limits = EqLimitsOf(band.type);
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
    if (parsed.ok != (parsed.line == 0) || parsed.ok == !parsed.reason.empty()) __builtin_trap();
    if (!parsed.ok) {
        if (!parsed.filters.empty()) __builtin_trap();
        return 0;
    }
    if (static_cast<int>(parsed.filters.size()) > fx::FilterBandCount(set)) __builtin_trap();
    for (const EqBandRecord& band : parsed.filters)
        if (!WithinLimits(band)) __builtin_trap();

    // The bands as the image holds them, written out and read back.
    uint8_t panel[kPanelSize] = {};
    const std::vector<EqBandRecord> bands = fx::ImportedBands(set, parsed.filters);
    for (size_t band = 0; band < bands.size(); ++band)
        EncodeEqBandRecord(bands[band], panel + EqBandOffset(set, static_cast<int>(band)));
    const fx::FilterText back =
        fx::ParseFilterText(fx::FormatFilterText(set, panel), fx::FilterBandCount(set));
    if (!back.ok || back.filters.size() != bands.size()) __builtin_trap();
    for (size_t i = 0; i < bands.size(); ++i) {
        uint8_t a[kEqBandRecordSize], b[kEqBandRecordSize];
        EncodeEqBandRecord(bands[i], a);
        EncodeEqBandRecord(back.filters[i], b);
        if (std::memcmp(a, b, sizeof a) != 0) __builtin_trap();
    }
    return 0;
}

#pragma once

#include "state/EqMath.h"
#include "state/Measurement.h"
#include "state/ParamImage.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Room correction: peaking bands fitted to a measured response so that
// "measurement + EQ" follows a target over a frequency range. Peaks are cut
// fully; dips are filled by at most the chosen boost, and narrow deep dips
// (a room's nulls, which no boost fills) are left alone. Pure and
// deterministic: the same request gives the same bands everywhere.
namespace fx {

// The target: flat at the median level of the range, a tilt in dB per
// octave about the range's geometric centre, or a curve read from a file in
// the measurement's form; a tilt and a curve are moved to the measurement's
// level (the median of their difference over the range).
struct EqTarget {
    enum Kind { Flat, Tilt, Curve } kind = Flat;
    double tiltDbPerOctave = 0.0;
    Measurement curve;
};

// The default range runs from the measurement's low-frequency limit to this.
constexpr double kAutoEqDefaultHighHz = 500.0;
// Two bands closer than this (in octaves) share a frequency; the fit lets
// them only when that lowers the residual (plain RMS over the range) by at
// least kSharedFrequencyMarginDb against the bands spread out.
constexpr double kSharedFrequencyOctaves = 1.0 / 12.0;
constexpr double kSharedFrequencyMarginDb = 0.25;

struct AutoEqRequest {
    Measurement measurement;
    // Bands the set keeps (not free): the fit corrects the measurement with
    // them in place, as "measurement + EQ" will be.
    std::vector<EqBandRecord> keptBands;
    EqTarget target;
    double lowHz = 20.0, highHz = kAutoEqDefaultHighHz;
    // Below this the fit never boosts: its bands add nothing there, whatever
    // the range. Negative: the measurement's low-frequency limit; 0: none.
    double noBoostBelowHz = -1.0;
    int bandCount = 0;       // peaking bands to place (at most)
    double maxBoostDb = 3.0; // 0: cut only
    EqBandLimits limits = EqLimitsOf(EQ_PEQ);
    bool refine = true; // false: the greedy placement alone
};

struct AutoEqResult {
    // The bands as the processor will hold them (whole Hz, 0.1 dB, 0.001 Q),
    // by falling frequency of need: the first placed first.
    std::vector<EqBandRecord> bands;
    double rmsBeforeDb = 0.0;    // RMS deviation from the target over the range
    double rmsAfterDb = 0.0;     // the same with the bands
    double rmsGreedyDb = 0.0;    // with the greedy placement alone
    double noBoostBelowHz = 0.0; // the limit the fit kept to (0: none)
    // With the bands kept apart, when the refinement put two on one
    // frequency (0 otherwise): the shared ones stay only when rmsAfterDb is
    // below it by kSharedFrequencyMarginDb.
    double rmsApartDb = 0.0;
    std::vector<double> gridHz;   // the fit's grid over the range (48 a octave)
    std::vector<double> targetDb; // the target on the grid
};

// Called with the part done (0..1), from the thread that runs the fit.
using AutoEqProgress = std::function<void(double fraction)>;

// Where the speaker's own low end ends: the lowest frequency at which the
// measurement, smoothed to a third of an octave, has risen to within 6 dB of
// its average level over 20..500 Hz. Boosting below it drives the speaker
// where it cannot play; its first point when it never lies lower.
double LowFrequencyLimit(const Measurement& measurement);
// The request the editor's dialog and fxtunectl start from: the range from
// the low-frequency limit to 500 Hz, flat target, 3 dB boost.
AutoEqRequest DefaultAutoEqRequest(const Measurement& measurement);

// The request's range must be within 10..24000 Hz with low below high, and
// the measurement must cover part of it; see CheckAutoEqRequest.
AutoEqResult FitAutoEq(const AutoEqRequest& request, const AutoEqProgress& progress = {});

// Why a request cannot be fitted, empty when it can.
std::string CheckAutoEqRequest(const AutoEqRequest& request);

// The target's levels at the given frequencies for a measurement and range.
std::vector<double> TargetLevels(const AutoEqRequest& request,
                                 const std::vector<double>& frequencies);

// Response in dB of a set of band records at one frequency, with the
// coefficients the processor is sent.
double BandsResponseDb(const std::vector<EqBandRecord>& bands, double frequency);

// "measurement + EQ": the measurement with the bands' response added at
// every point (phases dropped).
Measurement PredictedMeasurement(const Measurement& measurement,
                                 const std::vector<EqBandRecord>& bands);

// The bands of a set a fit may take: among the bands copy and paste move,
// those that are OFF or flat peaking bands (0 dB).
std::vector<int> FreeEqBands(int set, const uint8_t* panel);
// The records of the set's other bands (a crossover's sections included).
std::vector<EqBandRecord> KeptEqBands(int set, const uint8_t* panel);

// Writes the fitted bands into the free bands of the set as one edit (one
// undo step); bands beyond the free ones are dropped.
void ApplyAutoEqBands(int set, const std::vector<int>& freeBands,
                      const std::vector<EqBandRecord>& bands);

} // namespace fx

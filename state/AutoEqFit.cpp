#include "state/AutoEqFit.h"

#include "state/ImageEdits.h"
#include "state/LeastSquares.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace fx {

namespace {

constexpr double kGridPerOctave = 48.0;
constexpr double kLowestHz = 10.0;
constexpr double kHighestHz = 24000.0;
// A dip deeper than the boost by this much (so that the boost would fill
// less than a quarter of it at 3 dB) and narrower than a third of an octave
// at half its depth is a null: no boost fills it, so the fit does not try.
constexpr double kNullExtraDepthDb = 9.0;
constexpr double kNullWidthOctaves = 1.0 / 3.0;
// Weight of the EQ's excess over the boost limit anywhere in the range, and
// of any boost below the low-frequency limit (kept to a few hundredths of a
// dB).
constexpr double kBoostPenalty = 3.0;
constexpr double kNoBoostPenalty = 100.0;
// Below the low-frequency limit the fit watches the EQ down to kLowestHz at
// this many points an octave.
constexpr double kGuardPerOctave = 12.0;
constexpr double kBoostRampOctaves = 1.0;
// The low-frequency limit: the measurement smoothed to 1/3 octave, against
// its average over 20..500 Hz.
constexpr double kLimitSmoothing = 3.0;
constexpr double kLimitAverageLowHz = 20.0;
constexpr double kLimitDropDb = 6.0;
// Nothing is placed for a deviation smaller than this.
constexpr double kSmallestDeviationDb = 0.1;
constexpr int kParametersPerBand = 3; // log frequency, gain, log Q
constexpr int kRefineIterations = 300;
// Bands kept apart in the refinement are held this far from each other: a
// little more than the sharing distance, which rounding to whole hertz then
// keeps (see KeptApartWhenRounded).
constexpr double kApartOctaves = 1.2 * kSharedFrequencyOctaves;

double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    const size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + middle, values.end());
    const double upper = values[middle];
    if (values.size() % 2 == 1) return upper;
    return 0.5 * (upper + *std::max_element(values.begin(), values.begin() + middle));
}

std::vector<double> LogGrid(double lowHz, double highHz) {
    const int count =
        std::max(2, static_cast<int>(std::ceil(std::log2(highHz / lowHz) * kGridPerOctave)) + 1);
    std::vector<double> grid(count);
    for (int i = 0; i < count; ++i)
        grid[i] = lowHz * std::pow(highHz / lowHz, i / static_cast<double>(count - 1));
    return grid;
}

double SinSquared(double frequency) {
    const double s = std::sin(std::numbers::pi * frequency / kEqSampleRate);
    return s * s;
}

// The level the fit starts from: the measurement with the kept bands.
double StartLevel(const AutoEqRequest& request, double frequency) {
    return request.measurement.LevelAt(frequency) + BandsResponseDb(request.keptBands, frequency);
}

// The fit's view of the range: what each grid point asks of the EQ. The
// range's points come first; after them the guard points below the
// low-frequency limit and under the range, where the EQ may only cut.
struct FitGrid {
    std::vector<double> frequencies; // the range's points
    std::vector<double> phi;         // sin^2(pi f / fs), range and guard points
    std::vector<double> deviation;   // measured - target, range points
    std::vector<double> goal;        // the deviation the EQ should cancel
    std::vector<double> boostCap;    // the most the EQ may add, every point
    std::vector<double> capWeight;   // how hard an excess over it counts
    double maxBoostDb = 0.0;
    size_t Points() const { return phi.size(); }
};

// Extends a run of points out along both skirts of the dip it lies in, as
// far as the deviation keeps rising and stays below 0 dB.
std::pair<size_t, size_t> DipSkirts(const FitGrid& grid, size_t start, size_t end) {
    const std::vector<double>& d = grid.deviation;
    while (start > 0 && d[start - 1] < 0.0 && d[start - 1] >= d[start]) --start;
    while (end < d.size() && d[end] < 0.0 && d[end] >= d[end - 1]) ++end;
    return {start, end};
}

// Nulls: dips that reach kNullExtraDepthDb below the boost and whose
// half-depth width is less than kNullWidthOctaves. The EQ should add nothing
// over a null and its skirts, so their goal is 0 dB.
void MarkNulls(FitGrid& grid) {
    const size_t n = grid.frequencies.size();
    const double deep = -grid.maxBoostDb - kNullExtraDepthDb;
    for (size_t i = 1; i + 1 < n; ++i) {
        const double d = grid.deviation[i];
        if (!(d < deep && d <= grid.deviation[i - 1] && d <= grid.deviation[i + 1])) continue;
        size_t start = i, end = i + 1;
        while (start > 0 && grid.deviation[start - 1] < d / 2.0) --start;
        while (end < n && grid.deviation[end] < d / 2.0) ++end;
        const double width = std::log2(grid.frequencies[end - 1] / grid.frequencies[start]);
        if (width >= kNullWidthOctaves) continue;
        const auto [low, high] = DipSkirts(grid, start, end);
        std::fill(grid.goal.begin() + low, grid.goal.begin() + high, 0.0);
    }
}

// The most the EQ may add at f: nothing below the low-frequency limit, then
// rising to the boost over kBoostRampOctaves, so that the speaker's roll-off
// above the limit is not met by a wall of narrow bands.
double BoostCap(double maxBoostDb, double f, double limit) {
    if (limit <= 0.0) return maxBoostDb;
    if (f < limit) return 0.0;
    return maxBoostDb * std::min(1.0, std::log2(f / limit) / kBoostRampOctaves);
}

double NoBoostBelow(const AutoEqRequest& request) {
    return request.noBoostBelowHz < 0.0 ? LowFrequencyLimit(request.measurement)
                                        : request.noBoostBelowHz;
}

FitGrid MakeFitGrid(const AutoEqRequest& request) {
    FitGrid grid;
    grid.maxBoostDb = std::max(0.0, request.maxBoostDb);
    grid.frequencies = LogGrid(request.lowHz, request.highHz);
    const double limit = NoBoostBelow(request);
    const std::vector<double> target = TargetLevels(request, grid.frequencies);
    for (size_t i = 0; i < grid.frequencies.size(); ++i) {
        const double f = grid.frequencies[i];
        const double d = StartLevel(request, f) - target[i];
        const bool below = f < limit;
        const double cap = BoostCap(grid.maxBoostDb, f, limit);
        grid.phi.push_back(SinSquared(f));
        grid.deviation.push_back(d);
        grid.goal.push_back(std::max(d, -cap));
        grid.boostCap.push_back(cap);
        grid.capWeight.push_back(below ? kNoBoostPenalty : kBoostPenalty);
    }
    MarkNulls(grid);
    // Guard points from kLowestHz up to the limit or the range, whichever is lower.
    const double guardTop = std::min(limit, request.lowHz);
    for (double f = kLowestHz; f < guardTop; f *= std::pow(2.0, 1.0 / kGuardPerOctave)) {
        grid.phi.push_back(SinSquared(f));
        grid.boostCap.push_back(0.0);
        grid.capWeight.push_back(kNoBoostPenalty);
    }
    return grid;
}

struct PeakingBand {
    double frequency, gain, q;
};

// Adds the band's response on the grid to sum.
void AddBandResponse(const PeakingBand& band, const FitGrid& grid, std::vector<double>& sum) {
    const SectionMagnitude magnitude(
        ComputeBiquad(EQ_PEQ, band.frequency, band.gain, band.q, 0.0, kEqSampleRate));
    for (size_t i = 0; i < sum.size(); ++i)
        sum[i] += magnitude.Db(grid.phi[i], grid.phi[i] * grid.phi[i]);
}

// The bands' response at every point, the guard points too.
std::vector<double> EqOnGrid(const std::vector<PeakingBand>& bands, const FitGrid& grid) {
    std::vector<double> sum(grid.Points(), 0.0);
    for (const PeakingBand& band : bands) AddBandResponse(band, grid, sum);
    return sum;
}

double Rms(const std::vector<double>& deviation, const std::vector<double>& eq) {
    double sum = 0.0;
    for (size_t i = 0; i < deviation.size(); ++i)
        sum += (deviation[i] + eq[i]) * (deviation[i] + eq[i]);
    return deviation.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(deviation.size()));
}

// Bounds of a band's parameters: within the range and the set's limits, the
// gain no higher than the boost allows.
struct BandBounds {
    double lowHz, highHz, gainLow, gainHigh, qLow, qHigh;
};

BandBounds BoundsOf(const AutoEqRequest& request, const FitGrid& grid) {
    const EqBandLimits& l = request.limits;
    return {std::max(request.lowHz, l.frequencyLow),
            std::min(request.highHz, l.frequencyHigh),
            l.gainLow,
            std::min(grid.maxBoostDb, l.gainHigh),
            l.qLow,
            l.qHigh};
}

PeakingBand BandFromParameters(const std::vector<double>& p, size_t first) {
    return {std::exp(p[first]), p[first + 1], std::exp(p[first + 2])};
}

void AppendParameters(const PeakingBand& band, std::vector<double>& p) {
    p.push_back(std::log(band.frequency));
    p.push_back(band.gain);
    p.push_back(std::log(band.q));
}

// The least-squares problem of the free bands (their parameters in order)
// over the fixed ones' response.
// Moves the bands' log frequencies (every kParametersPerBand-th value of p)
// at least kApartOctaves apart, upwards and then within the upper bound.
void SpreadFrequencies(std::vector<double>& p, double logHigh) {
    std::vector<size_t> order;
    for (size_t first = 0; first < p.size(); first += kParametersPerBand) order.push_back(first);
    std::sort(order.begin(), order.end(), [&p](size_t a, size_t b) { return p[a] < p[b]; });
    const double gap = kApartOctaves * std::numbers::ln2;
    for (size_t i = 1; i < order.size(); ++i)
        p[order[i]] = std::max(p[order[i]], p[order[i - 1]] + gap);
    if (!order.empty()) p[order.back()] = std::min(p[order.back()], logHigh);
    for (size_t i = order.size(); i-- > 1;)
        p[order[i - 1]] = std::min(p[order[i - 1]], p[order[i]] - gap);
}

// With keepApart, the bands are held kApartOctaves apart.
LeastSquaresProblem BandProblem(const FitGrid& grid, const BandBounds& bounds,
                                const std::vector<double>& fixedEq, size_t freeBands,
                                bool keepApart = false) {
    const size_t n = grid.frequencies.size();
    const size_t points = grid.Points();
    LeastSquaresProblem problem;
    problem.residualCount = static_cast<int>(n + points);
    problem.residuals = [&grid, &fixedEq, n, points](const std::vector<double>& p,
                                                     std::vector<double>& r) {
        std::vector<double> eq = fixedEq;
        for (size_t first = 0; first < p.size(); first += kParametersPerBand)
            AddBandResponse(BandFromParameters(p, first), grid, eq);
        for (size_t i = 0; i < n; ++i) r[i] = grid.goal[i] + eq[i];
        for (size_t i = 0; i < points; ++i)
            r[n + i] = grid.capWeight[i] * std::max(0.0, eq[i] - grid.boostCap[i]);
    };
    problem.project = [bounds, keepApart](std::vector<double>& p) {
        for (size_t first = 0; first < p.size(); first += kParametersPerBand) {
            p[first] = std::clamp(p[first], std::log(bounds.lowHz), std::log(bounds.highHz));
            p[first + 1] = std::clamp(p[first + 1], bounds.gainLow, bounds.gainHigh);
            p[first + 2] = std::clamp(p[first + 2], std::log(bounds.qLow), std::log(bounds.qHigh));
        }
        if (keepApart) SpreadFrequencies(p, std::log(bounds.highHz));
    };
    for (size_t b = 0; b < freeBands; ++b)
        problem.steps.insert(problem.steps.end(), {1e-4, 1e-3, 1e-4});
    return problem;
}

// Q of a peak whose half-height points are width octaves apart.
double QFromWidth(double octaves) {
    const double ratio = std::pow(2.0, std::max(octaves, 0.02));
    return std::sqrt(ratio) / (ratio - 1.0);
}

// A band where what is left to correct is largest, shaped by its
// half-height width; nothing when every point is within kSmallestDeviationDb.
// Points within kSharedFrequencyOctaves of `avoidHz` (when above 0) are not
// chosen.
bool PlaceBand(const FitGrid& grid, const BandBounds& bounds, const std::vector<double>& eq,
               PeakingBand& band, double avoidHz = 0.0) {
    const size_t n = grid.frequencies.size();
    size_t worst = 0;
    double worstSize = 0.0;
    for (size_t i = 0; i < n; ++i) {
        if (avoidHz > 0.0 &&
            std::fabs(std::log2(grid.frequencies[i] / avoidHz)) < kSharedFrequencyOctaves)
            continue;
        const double size = std::fabs(grid.goal[i] + eq[i]);
        if (size > worstSize) worstSize = size, worst = i;
    }
    if (worstSize < kSmallestDeviationDb) return false;
    const double peak = grid.goal[worst] + eq[worst];
    const auto aboveHalf = [&](size_t i) { return (grid.goal[i] + eq[i]) / peak > 0.5; };
    size_t low = worst, high = worst;
    while (low > 0 && aboveHalf(low - 1)) --low;
    while (high + 1 < n && aboveHalf(high + 1)) ++high;
    const double octaves = std::log2(grid.frequencies[high] / grid.frequencies[low]);
    band.frequency = std::clamp(grid.frequencies[worst], bounds.lowHz, bounds.highHz);
    band.gain = std::clamp(-peak, bounds.gainLow, bounds.gainHigh);
    band.q = std::clamp(QFromWidth(octaves), bounds.qLow, bounds.qHigh);
    return true;
}

// Greedy placement: one band at a time where the deviation is largest, each
// fitted alone over the ones placed before it.
std::vector<PeakingBand> GreedyBands(const AutoEqRequest& request, const FitGrid& grid,
                                     const AutoEqProgress& progress, double share) {
    const BandBounds bounds = BoundsOf(request, grid);
    std::vector<PeakingBand> bands;
    std::vector<double> eq(grid.Points(), 0.0);
    for (int b = 0; b < request.bandCount; ++b) {
        PeakingBand band{};
        if (!PlaceBand(grid, bounds, eq, band)) break;
        std::vector<double> p;
        AppendParameters(band, p);
        MinimiseLeastSquares(BandProblem(grid, bounds, eq, 1), p);
        band = BandFromParameters(p, 0);
        bands.push_back(band);
        AddBandResponse(band, grid, eq);
        if (progress) progress(share * (b + 1) / request.bandCount);
    }
    return bands;
}

// All bands' frequency, gain and Q refined together.
std::vector<PeakingBand> RefinedBands(const AutoEqRequest& request, const FitGrid& grid,
                                      const std::vector<PeakingBand>& start,
                                      bool keepApart = false) {
    const BandBounds bounds = BoundsOf(request, grid);
    std::vector<double> p;
    for (const PeakingBand& band : start) AppendParameters(band, p);
    const std::vector<double> none(grid.Points(), 0.0);
    LeastSquaresOptions options;
    options.maxIterations = kRefineIterations;
    options.relativeTolerance = 1e-9;
    MinimiseLeastSquares(BandProblem(grid, bounds, none, start.size(), keepApart), p, options);
    std::vector<PeakingBand> bands;
    for (size_t first = 0; first < p.size(); first += kParametersPerBand)
        bands.push_back(BandFromParameters(p, first));
    return bands;
}

// The bands as their records hold them.
std::vector<PeakingBand> Quantised(const std::vector<PeakingBand>& bands,
                                   std::vector<EqBandRecord>& records) {
    std::vector<PeakingBand> out;
    records.clear();
    for (const PeakingBand& band : bands) {
        const EqBandRecord r =
            QuantiseEqBand({band.gain, std::round(band.frequency), band.q, EQ_PEQ});
        records.push_back(r);
        out.push_back({r.frequency, r.gain, r.q});
    }
    return out;
}

// Rounding to whole hertz may bring two bands kept apart within the sharing
// distance (at the lowest frequencies a hertz is much of it): the upper one
// moves up a hertz at a time until it is clear.
std::vector<PeakingBand> KeptApartWhenRounded(std::vector<PeakingBand> bands,
                                              std::vector<EqBandRecord>& records) {
    std::vector<size_t> order(bands.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return bands[a].frequency < bands[b].frequency; });
    for (size_t i = 1; i < order.size(); ++i) {
        PeakingBand& upper = bands[order[i]];
        const double lower = bands[order[i - 1]].frequency;
        while (std::log2(upper.frequency / lower) < kSharedFrequencyOctaves) upper.frequency += 1.0;
        records[order[i]].frequency = upper.frequency;
    }
    return bands;
}

bool SharedPair(const std::vector<PeakingBand>& bands) {
    for (size_t a = 0; a < bands.size(); ++a)
        for (size_t b = a + 1; b < bands.size(); ++b)
            if (std::fabs(std::log2(bands[a].frequency / bands[b].frequency)) <
                kSharedFrequencyOctaves)
                return true;
    return false;
}

} // namespace

double LowFrequencyLimit(const Measurement& measurement) {
    if (measurement.size() == 0) return 0.0;
    const Measurement smooth = SmoothMeasurement(measurement, kLimitSmoothing);
    const double low = std::max(kLimitAverageLowHz, smooth.frequencies.front());
    const double high = std::min(kAutoEqDefaultHighHz, smooth.frequencies.back());
    if (!(low < high)) return smooth.frequencies.front();
    double sum = 0.0;
    const std::vector<double> grid = LogGrid(low, high);
    for (double f : grid) sum += smooth.LevelAt(f);
    const double floor = sum / static_cast<double>(grid.size()) - kLimitDropDb;
    for (size_t i = 0; i < smooth.size() && smooth.frequencies[i] < high; ++i)
        if (smooth.levels[i] >= floor) return smooth.frequencies[i];
    return smooth.frequencies.front();
}

AutoEqRequest DefaultAutoEqRequest(const Measurement& measurement) {
    AutoEqRequest request;
    request.measurement = measurement;
    request.lowHz = std::clamp(std::round(LowFrequencyLimit(measurement)), kLowestHz,
                               kAutoEqDefaultHighHz / 2.0);
    request.highHz = kAutoEqDefaultHighHz;
    return request;
}

std::string CheckAutoEqRequest(const AutoEqRequest& request) {
    if (!(request.lowHz >= kLowestHz && request.highHz <= kHighestHz &&
          request.lowHz < request.highHz))
        return "the range must lie within 10..24000 Hz, low below high";
    if (request.measurement.size() < static_cast<size_t>(kMinMeasurementPoints))
        return "the measurement has too few points";
    if (request.measurement.frequencies.back() < request.lowHz ||
        request.measurement.frequencies.front() > request.highHz)
        return "the measurement does not cover the range";
    if (request.target.kind == EqTarget::Curve &&
        request.target.curve.size() < static_cast<size_t>(kMinMeasurementPoints))
        return "the target curve has too few points";
    if (!(request.maxBoostDb >= 0.0 && request.maxBoostDb <= request.limits.gainHigh))
        return "the boost must be 0.." + std::to_string(static_cast<int>(request.limits.gainHigh)) +
               " dB";
    if (request.bandCount < 0) return "the number of bands cannot be negative";
    return {};
}

std::vector<double> TargetLevels(const AutoEqRequest& request,
                                 const std::vector<double>& frequencies) {
    const std::vector<double> grid = LogGrid(request.lowHz, request.highHz);
    const double centre = std::sqrt(request.lowHz * request.highHz);
    const auto shape = [&](double f) {
        switch (request.target.kind) {
        case EqTarget::Tilt:
            return request.target.tiltDbPerOctave * std::log2(f / centre);
        case EqTarget::Curve:
            return request.target.curve.LevelAt(f);
        default:
            return 0.0;
        }
    };
    std::vector<double> difference;
    for (double f : grid) difference.push_back(StartLevel(request, f) - shape(f));
    const double level = Median(difference);
    std::vector<double> levels;
    for (double f : frequencies) levels.push_back(level + shape(f));
    return levels;
}

AutoEqResult FitAutoEq(const AutoEqRequest& request, const AutoEqProgress& progress) {
    AutoEqResult result;
    if (!CheckAutoEqRequest(request).empty()) return result;
    const FitGrid grid = MakeFitGrid(request);
    result.gridHz = grid.frequencies;
    for (size_t i = 0; i < grid.frequencies.size(); ++i)
        result.targetDb.push_back(StartLevel(request, grid.frequencies[i]) - grid.deviation[i]);
    result.rmsBeforeDb = Rms(grid.deviation, std::vector<double>(grid.deviation.size(), 0.0));
    const double greedyShare = request.refine ? 0.3 : 1.0;
    std::vector<EqBandRecord> greedyRecords;
    const std::vector<PeakingBand> greedy =
        Quantised(GreedyBands(request, grid, progress, greedyShare), greedyRecords);
    result.rmsGreedyDb = Rms(grid.deviation, EqOnGrid(greedy, grid));
    result.bands = greedyRecords;
    result.rmsAfterDb = result.rmsGreedyDb;
    result.noBoostBelowHz = NoBoostBelow(request);
    if (request.refine && !greedy.empty()) {
        std::vector<EqBandRecord> refinedRecords;
        std::vector<PeakingBand> refined =
            Quantised(RefinedBands(request, grid, greedy), refinedRecords);
        double rms = Rms(grid.deviation, EqOnGrid(refined, grid));
        // Bands that share a frequency stay so only when that is better by
        // the margin than the same bands kept apart.
        if (SharedPair(refined)) {
            std::vector<EqBandRecord> apartRecords;
            const std::vector<PeakingBand> apart = KeptApartWhenRounded(
                Quantised(RefinedBands(request, grid, greedy, true), apartRecords), apartRecords);
            const double apartRms = Rms(grid.deviation, EqOnGrid(apart, grid));
            result.rmsApartDb = apartRms;
            if (!(rms < apartRms - kSharedFrequencyMarginDb)) {
                refined = apart;
                refinedRecords = apartRecords;
                rms = apartRms;
            }
        }
        // The refinement minimises the fit's goal (dips filled only so far,
        // nulls left out); the reported RMS is plain, so keep the better.
        if (rms <= result.rmsGreedyDb) {
            result.bands = refinedRecords;
            result.rmsAfterDb = rms;
        }
    }
    if (progress) progress(1.0);
    return result;
}

double BandsResponseDb(const std::vector<EqBandRecord>& bands, double frequency) {
    double sum = 0.0;
    for (const EqBandRecord& band : bands) {
        if (band.type == EQ_OFF) continue;
        sum += SectionMagnitudeDb(
            ComputeBiquad(band.type, band.frequency, band.gain, band.q, 0.0, kEqSampleRate),
            frequency);
    }
    return sum;
}

Measurement PredictedMeasurement(const Measurement& measurement,
                                 const std::vector<EqBandRecord>& bands) {
    Measurement predicted;
    predicted.frequencies = measurement.frequencies;
    for (size_t i = 0; i < measurement.size(); ++i)
        predicted.levels.push_back(measurement.levels[i] +
                                   BandsResponseDb(bands, measurement.frequencies[i]));
    return predicted;
}

std::vector<int> FreeEqBands(int set, const uint8_t* panel) {
    std::vector<int> free;
    for (int band = 0; band < EqCopyCount(set); ++band) {
        const EqBandRecord record = DecodeEqBandRecord(panel + EqBandOffset(set, band));
        const bool flat = record.type == EQ_PEQ && std::fabs(record.gain) < 0.05;
        if (record.type == EQ_OFF || flat) free.push_back(band);
    }
    return free;
}

std::vector<EqBandRecord> KeptEqBands(int set, const uint8_t* panel) {
    const std::vector<int> free = FreeEqBands(set, panel);
    std::vector<EqBandRecord> kept;
    for (int band = 0; band < EqBandCount(set); ++band) {
        if (std::find(free.begin(), free.end(), band) == free.end())
            kept.push_back(DecodeEqBandRecord(panel + EqBandOffset(set, band)));
    }
    return kept;
}

void ApplyAutoEqBands(int set, const std::vector<int>& freeBands,
                      const std::vector<EqBandRecord>& bands) {
    const ImageEditScope fit(ImageEditKind::EqAutoFit, set);
    const size_t count = std::min(freeBands.size(), bands.size());
    for (size_t i = 0; i < count; ++i) {
        const EqBandRecord& b = bands[i];
        SetEqBand(set, freeBands[i], EQ_PEQ, b.frequency, b.gain, b.q);
    }
}

} // namespace fx

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
// Weight of the EQ's excess over the boost limit anywhere in the range.
constexpr double kBoostPenalty = 3.0;
// Nothing is placed for a deviation smaller than this.
constexpr double kSmallestDeviationDb = 0.1;
constexpr int kParametersPerBand = 3; // log frequency, gain, log Q

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

// The fit's view of the range: what each grid point asks of the EQ.
struct FitGrid {
    std::vector<double> frequencies;
    std::vector<double> phi;       // sin^2(pi f / fs)
    std::vector<double> deviation; // measured - target
    std::vector<double> goal;      // the deviation the EQ should cancel
    double maxBoostDb = 0.0;
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

FitGrid MakeFitGrid(const AutoEqRequest& request) {
    FitGrid grid;
    grid.maxBoostDb = std::max(0.0, request.maxBoostDb);
    grid.frequencies = LogGrid(request.lowHz, request.highHz);
    const std::vector<double> target = TargetLevels(request, grid.frequencies);
    for (size_t i = 0; i < grid.frequencies.size(); ++i) {
        const double d = StartLevel(request, grid.frequencies[i]) - target[i];
        grid.phi.push_back(SinSquared(grid.frequencies[i]));
        grid.deviation.push_back(d);
        grid.goal.push_back(std::max(d, -grid.maxBoostDb));
    }
    MarkNulls(grid);
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

std::vector<double> EqOnGrid(const std::vector<PeakingBand>& bands, const FitGrid& grid) {
    std::vector<double> sum(grid.frequencies.size(), 0.0);
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
LeastSquaresProblem BandProblem(const FitGrid& grid, const BandBounds& bounds,
                                const std::vector<double>& fixedEq, size_t freeBands) {
    const size_t n = grid.frequencies.size();
    LeastSquaresProblem problem;
    problem.residualCount = static_cast<int>(2 * n);
    problem.residuals = [&grid, &fixedEq, n](const std::vector<double>& p, std::vector<double>& r) {
        std::vector<double> eq = fixedEq;
        for (size_t first = 0; first < p.size(); first += kParametersPerBand)
            AddBandResponse(BandFromParameters(p, first), grid, eq);
        for (size_t i = 0; i < n; ++i) {
            r[i] = grid.goal[i] + eq[i];
            r[n + i] = kBoostPenalty * std::max(0.0, eq[i] - grid.maxBoostDb);
        }
    };
    problem.project = [bounds](std::vector<double>& p) {
        for (size_t first = 0; first < p.size(); first += kParametersPerBand) {
            p[first] = std::clamp(p[first], std::log(bounds.lowHz), std::log(bounds.highHz));
            p[first + 1] = std::clamp(p[first + 1], bounds.gainLow, bounds.gainHigh);
            p[first + 2] = std::clamp(p[first + 2], std::log(bounds.qLow), std::log(bounds.qHigh));
        }
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
bool PlaceBand(const FitGrid& grid, const BandBounds& bounds, const std::vector<double>& eq,
               PeakingBand& band) {
    size_t worst = 0;
    double worstSize = 0.0;
    for (size_t i = 0; i < eq.size(); ++i) {
        const double size = std::fabs(grid.goal[i] + eq[i]);
        if (size > worstSize) worstSize = size, worst = i;
    }
    if (worstSize < kSmallestDeviationDb) return false;
    const double peak = grid.goal[worst] + eq[worst];
    const auto aboveHalf = [&](size_t i) { return (grid.goal[i] + eq[i]) / peak > 0.5; };
    size_t low = worst, high = worst;
    while (low > 0 && aboveHalf(low - 1)) --low;
    while (high + 1 < eq.size() && aboveHalf(high + 1)) ++high;
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
    std::vector<double> eq(grid.frequencies.size(), 0.0);
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
                                      const std::vector<PeakingBand>& start) {
    const BandBounds bounds = BoundsOf(request, grid);
    std::vector<double> p;
    for (const PeakingBand& band : start) AppendParameters(band, p);
    const std::vector<double> none(grid.frequencies.size(), 0.0);
    LeastSquaresOptions options;
    options.maxIterations = 300;
    options.relativeTolerance = 1e-9;
    MinimiseLeastSquares(BandProblem(grid, bounds, none, start.size()), p, options);
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

} // namespace

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
    if (request.refine && !greedy.empty()) {
        std::vector<EqBandRecord> refinedRecords;
        const std::vector<PeakingBand> refined =
            Quantised(RefinedBands(request, grid, greedy), refinedRecords);
        const double rms = Rms(grid.deviation, EqOnGrid(refined, grid));
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

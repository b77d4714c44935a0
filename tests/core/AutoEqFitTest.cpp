// Room correction: the fit finds the peaking filters a response was made of,
// keeps to the boost and the set's limits, and is deterministic.
#include "state/AutoEqFit.h"

#include "modefile/MeasurementFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr double kLevelDb = 75.0;

// A response at 1/48 octave from 10 Hz to 24 kHz made of the given filters
// over a flat level.
fx::Measurement Synthetic(const std::vector<EqBandRecord>& filters) {
    fx::Measurement m;
    for (double f = 10.0; f < 24000.0; f *= std::pow(2.0, 1.0 / 48.0)) {
        m.frequencies.push_back(f);
        m.levels.push_back(kLevelDb + fx::BandsResponseDb(filters, f));
    }
    return m;
}

// Over the whole band the median level is the flat level the modes stand on
// (over a range the modes fill, the median and so the target would rise).
fx::AutoEqRequest Request(const fx::Measurement& m, int bands) {
    fx::AutoEqRequest request;
    request.measurement = m;
    request.lowHz = 20.0;
    request.highHz = 20000.0;
    request.bandCount = bands;
    return request;
}

// The fitted band nearest in frequency to a filter.
EqBandRecord Nearest(const std::vector<EqBandRecord>& bands, double frequency) {
    return *std::min_element(bands.begin(), bands.end(), [&](const auto& a, const auto& b) {
        return std::fabs(std::log(a.frequency / frequency)) <
               std::fabs(std::log(b.frequency / frequency));
    });
}

struct SyntheticCase {
    const char* name;
    std::vector<EqBandRecord> filters; // gain, frequency, Q, type
};

class AutoEqSyntheticTest : public testing::TestWithParam<SyntheticCase> {};

// The EQ that undoes the room is the room's filters with their gains negated.
TEST_P(AutoEqSyntheticTest, FindsTheFiltersTheResponseWasMadeOf) {
    const std::vector<EqBandRecord>& filters = GetParam().filters;
    const fx::AutoEqResult fit =
        fx::FitAutoEq(Request(Synthetic(filters), static_cast<int>(filters.size())));
    ASSERT_EQ(filters.size(), fit.bands.size());
    for (const EqBandRecord& filter : filters) {
        const EqBandRecord band = Nearest(fit.bands, filter.frequency);
        EXPECT_NEAR(filter.frequency, band.frequency, 0.02 * filter.frequency)
            << "filter at " << filter.frequency << " Hz";
        EXPECT_NEAR(-filter.gain, band.gain, 0.3) << "filter at " << filter.frequency << " Hz";
        EXPECT_NEAR(filter.q, band.q, 0.1 * filter.q) << "filter at " << filter.frequency << " Hz";
        EXPECT_EQ(EQ_PEQ, band.type);
    }
    EXPECT_LT(fit.rmsAfterDb, 0.1);
    EXPECT_GT(fit.rmsBeforeDb, 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Rooms, AutoEqSyntheticTest,
    testing::Values(
        SyntheticCase{"OneMode", {{8.0, 63, 5.0, EQ_PEQ}}},
        SyntheticCase{"ThreeModes",
                      {{9.0, 45, 6.0, EQ_PEQ}, {6.0, 118, 4.0, EQ_PEQ}, {4.5, 230, 8.0, EQ_PEQ}}},
        // A shallow dip the 3 dB boost can fill, between two peaks.
        SyntheticCase{"PeaksAndAFillableDip",
                      {{7.0, 52, 7.0, EQ_PEQ}, {-2.5, 90, 3.0, EQ_PEQ}, {5.0, 160, 5.0, EQ_PEQ}}},
        // Two modes a third of an octave apart.
        SyntheticCase{"CloseModes", {{6.0, 80, 6.0, EQ_PEQ}, {5.0, 101, 7.0, EQ_PEQ}}}),
    [](const testing::TestParamInfo<SyntheticCase>& info) { return info.param.name; });

TEST(AutoEqFitTest, BoostsNoMoreThanAllowedAndLeavesANullAlone) {
    // A wide 8 dB dip (filled by 3 dB at most) and a narrow 20 dB null.
    const fx::Measurement m = Synthetic({{-8.0, 60, 1.5, EQ_PEQ}, {-20.0, 300, 12.0, EQ_PEQ}});
    fx::AutoEqRequest request = Request(m, 4);
    request.maxBoostDb = 3.0;
    const fx::AutoEqResult fit = fx::FitAutoEq(request);
    for (double f = 20.0; f <= 20000.0; f *= 1.01)
        EXPECT_LE(fx::BandsResponseDb(fit.bands, f), 3.0 + 0.15) << f << " Hz";
    EXPECT_GT(fx::BandsResponseDb(fit.bands, 60.0), 2.5);  // the wide dip is filled
    EXPECT_LT(fx::BandsResponseDb(fit.bands, 300.0), 1.0); // the null is not chased

    request.maxBoostDb = 0.0;
    for (const EqBandRecord& band : fx::FitAutoEq(request).bands) EXPECT_LE(band.gain, 0.0);
}

TEST(AutoEqFitTest, StaysWithinTheRangeAndTheLimits) {
    fx::AutoEqRequest request = Request(Synthetic({{10.0, 150, 40.0, EQ_PEQ}}), 2);
    request.lowHz = 100.0;
    request.highHz = 400.0;
    request.limits.qHigh = 10.0;
    const fx::AutoEqResult fit = fx::FitAutoEq(request);
    ASSERT_FALSE(fit.bands.empty());
    for (const EqBandRecord& band : fit.bands) {
        EXPECT_GE(band.frequency, 100.0);
        EXPECT_LE(band.frequency, 400.0);
        EXPECT_LE(band.q, 10.0);
        EXPECT_GE(band.gain, -15.0);
    }
}

TEST(AutoEqFitTest, RefinedIsNeverWorseThanGreedyAndIsDeterministic) {
    const fx::Measurement m =
        Synthetic({{6.0, 47, 9.0, EQ_PEQ}, {-5.0, 70, 2.0, EQ_PEQ}, {4.0, 130, 3.0, EQ_PEQ}});
    fx::AutoEqRequest request = Request(m, 2); // fewer bands than modes
    const fx::AutoEqResult first = fx::FitAutoEq(request);
    EXPECT_LE(first.rmsAfterDb, first.rmsGreedyDb);
    const fx::AutoEqResult second = fx::FitAutoEq(request);
    ASSERT_EQ(first.bands.size(), second.bands.size());
    for (size_t i = 0; i < first.bands.size(); ++i) {
        EXPECT_EQ(first.bands[i].frequency, second.bands[i].frequency);
        EXPECT_EQ(first.bands[i].gain, second.bands[i].gain);
        EXPECT_EQ(first.bands[i].q, second.bands[i].q);
    }
    request.refine = false;
    EXPECT_DOUBLE_EQ(first.rmsGreedyDb, fx::FitAutoEq(request).rmsAfterDb);
}

TEST(AutoEqFitTest, CorrectsWhatTheKeptBandsLeave) {
    // A +8 dB mode of which a band the set keeps already cuts 5 dB.
    fx::AutoEqRequest request = Request(Synthetic({{8.0, 63, 5.0, EQ_PEQ}}), 1);
    request.keptBands = {{-5.0, 63, 5.0, EQ_PEQ}};
    const fx::AutoEqResult fit = fx::FitAutoEq(request);
    ASSERT_EQ(1u, fit.bands.size());
    EXPECT_NEAR(63.0, fit.bands[0].frequency, 1.0);
    EXPECT_NEAR(-3.0, fit.bands[0].gain, 0.3);
    EXPECT_LT(fit.rmsAfterDb, 0.1);
    // "measurement + EQ" with every band of the set is flat again.
    std::vector<EqBandRecord> all = request.keptBands;
    all.insert(all.end(), fit.bands.begin(), fit.bands.end());
    EXPECT_NEAR(kLevelDb, fx::PredictedMeasurement(request.measurement, all).LevelAt(63.0), 0.3);
}

TEST(AutoEqFitTest, TargetsFollowTheirLevelAndShape) {
    fx::AutoEqRequest request = Request(Synthetic({}), 0);
    request.target.kind = fx::EqTarget::Tilt;
    request.target.tiltDbPerOctave = -1.0;
    const double centre = std::sqrt(20.0 * 20000.0);
    const std::vector<double> tilt = fx::TargetLevels(request, {centre, 2.0 * centre});
    EXPECT_NEAR(kLevelDb, tilt[0], 1e-6);
    EXPECT_NEAR(kLevelDb - 1.0, tilt[1], 1e-6);

    request.target.kind = fx::EqTarget::Curve;
    request.target.curve = Synthetic({{-6.0, 1000, 1.0, EQ_PEQ}});
    for (double& level : request.target.curve.levels) level -= kLevelDb; // a shape about 0 dB
    const std::vector<double> curve = fx::TargetLevels(request, {30.0, 1000.0});
    const fx::Measurement& shape = request.target.curve;
    EXPECT_NEAR(shape.LevelAt(1000.0) - shape.LevelAt(30.0), curve[1] - curve[0], 1e-9);
    EXPECT_NEAR(kLevelDb, curve[0], 0.5); // moved to the measurement's level
}

TEST(AutoEqFitTest, RefusesWhatCannotBeFitted) {
    fx::AutoEqRequest request = Request(Synthetic({}), 4);
    EXPECT_TRUE(fx::CheckAutoEqRequest(request).empty());
    request.lowHz = 600.0;
    request.highHz = 500.0;
    EXPECT_FALSE(fx::CheckAutoEqRequest(request).empty());
    EXPECT_TRUE(fx::FitAutoEq(request).bands.empty());
    request = Request(Synthetic({}), 4);
    request.maxBoostDb = -1.0;
    EXPECT_FALSE(fx::CheckAutoEqRequest(request).empty());
    request = Request(Synthetic({}), 4);
    request.measurement.frequencies.resize(5);
    request.measurement.levels.resize(5);
    EXPECT_FALSE(fx::CheckAutoEqRequest(request).empty());
}

TEST(AutoEqFitTest, TwoBandsShareAFrequencyOnlyWhenThatPays) {
    // A 24 dB mode needs more cut than one band has (-15 dB): the two bands
    // sit on it together.
    const fx::AutoEqResult deep = fx::FitAutoEq(Request(Synthetic({{24.0, 63, 5.0, EQ_PEQ}}), 2));
    ASSERT_EQ(2u, deep.bands.size());
    for (const EqBandRecord& band : deep.bands)
        EXPECT_LT(std::fabs(std::log2(band.frequency / 63.0)), fx::kSharedFrequencyOctaves);
    EXPECT_LT(deep.rmsAfterDb, 0.3);
}

// The measurements of two rooms (speaker roll-offs, modes, ripple), fitted
// with the defaults the editor's dialog and fxtunectl start from, into the
// ten bands of an output channel's set.
class AutoEqDefaultsTest : public testing::TestWithParam<const char*> {
protected:
    fx::Measurement Room() const {
        const fx::MeasurementText read =
            fx::ReadMeasurementFile(std::string(FX_TEST_DATA_DIR "/") + GetParam());
        EXPECT_TRUE(read.ok) << read.Error();
        return read.measurement;
    }
};

TEST_P(AutoEqDefaultsTest, StartAtTheLowFrequencyLimitNeverBoostBelowItAndSpreadTheBands) {
    const fx::Measurement room = Room();
    const double limit = fx::LowFrequencyLimit(room);
    // The speaker's roll-off: 6 dB down a little under 30 Hz in both rooms.
    EXPECT_GT(limit, 25.0);
    EXPECT_LT(limit, 35.0);
    fx::AutoEqRequest request = fx::DefaultAutoEqRequest(room);
    EXPECT_EQ(std::round(limit), request.lowHz);
    EXPECT_EQ(500.0, request.highHz);
    request.bandCount = 10;

    for (double lowHz : {request.lowHz, 20.0}) { // the default, and a range set lower
        SCOPED_TRACE(lowHz);
        request.lowHz = lowHz;
        const fx::AutoEqResult fit = fx::FitAutoEq(request);
        ASSERT_EQ(10u, fit.bands.size());
        EXPECT_DOUBLE_EQ(limit, fit.noBoostBelowHz);
        for (double f = 10.0; f < limit; f *= std::pow(2.0, 1.0 / 48.0))
            EXPECT_LE(fx::BandsResponseDb(fit.bands, f), 0.05) << "boost at " << f << " Hz";
        // Two bands on one frequency only when that beats the bands kept
        // apart by the margin.
        for (size_t a = 0; a < fit.bands.size(); ++a)
            for (size_t b = a + 1; b < fit.bands.size(); ++b)
                if (std::fabs(std::log2(fit.bands[a].frequency / fit.bands[b].frequency)) <
                    fx::kSharedFrequencyOctaves) {
                    EXPECT_LE(fit.rmsAfterDb, fit.rmsApartDb - fx::kSharedFrequencyMarginDb)
                        << fit.bands[a].frequency << " and " << fit.bands[b].frequency << " Hz";
                }
        if (lowHz == 20.0) continue;
        // The residual: the modes are flattened; what is left is mostly the
        // roll-off above the limit and the ripple, which are left alone.
        EXPECT_LT(fit.rmsAfterDb, 0.65 * fit.rmsBeforeDb)
            << fit.rmsBeforeDb << " -> " << fit.rmsAfterDb << " dB";
        EXPECT_LT(fit.rmsAfterDb, 2.2);
    }
}

INSTANTIATE_TEST_SUITE_P(SharedRooms, AutoEqDefaultsTest,
                         testing::Values("living-room-left.txt", "small-studio.txt"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             name = name.substr(0, name.find('.'));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace

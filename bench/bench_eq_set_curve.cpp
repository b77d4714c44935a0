// The set curve of a 15-band equaliser (512 points), re-summed at every
// repaint of the graph; and, for comparison, the recomputation of one band's
// response (done on every mouse move while a band is dragged).
#include "controls/EqModel.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kBands = 15;

void InitBands(EqBand* bands) {
    for (int b = 0; b < kBands; ++b) {
        bands[b].index = b;
        bands[b].type = b % 5 == 4 ? EQ_LS : EQ_PEQ;
        bands[b].frequency = EqInitialFrequency(0, b);
        bands[b].gain = static_cast<float>((b % 7) - 3);
        bands[b].q = 1.41f;
        ComputeBandResponse(bands[b]);
    }
}

void BM_EqSetCurve15Bands(benchmark::State& state) {
    static EqBand bands[kBands];
    InitBands(bands);
    float curve[kEqPoints];
    for (auto _ : state) {
        ComputeSetCurve(bands, kBands, curve);
        benchmark::DoNotOptimize(curve);
        benchmark::ClobberMemory();
    }
    state.SetLabel("ns per set curve");
}
BENCHMARK(BM_EqSetCurve15Bands);

void BM_EqBandResponse(benchmark::State& state) {
    EqBand band;
    band.type = EQ_PEQ;
    band.frequency = 1000.0f;
    band.gain = 6.0f;
    band.q = 1.41f;
    float gain = 6.0f;
    for (auto _ : state) {
        band.gain = gain;
        ComputeBandResponse(band);
        benchmark::DoNotOptimize(band.response);
        gain = gain > 12.0f ? -12.0f : gain + 0.1f;
    }
}
BENCHMARK(BM_EqBandResponse);

void BM_EqSetCurveWithAllResponses(benchmark::State& state) {
    static EqBand bands[kBands];
    InitBands(bands);
    float curve[kEqPoints];
    for (auto _ : state) {
        for (EqBand& band : bands) ComputeBandResponse(band);
        ComputeSetCurve(bands, kBands, curve);
        benchmark::DoNotOptimize(curve);
    }
}
BENCHMARK(BM_EqSetCurveWithAllResponses);

} // namespace

BENCHMARK_MAIN();

// Room correction figures: the fit of each measurement in ../shared/measurements
// with --range 40-500 --bands 8 --max-boost 3 and the flat target, greedy
// placement alone and with the joint refinement, and the RMS deviation over
// the range before and after as counters. Without the folder nothing runs.

#include "state/AutoEqFit.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

fx::AutoEqRequest RoomModeRequest(const fx::Measurement& measurement, bool refine) {
    fx::AutoEqRequest request;
    request.measurement = measurement;
    request.lowHz = 40.0;
    request.highHz = 500.0;
    request.bandCount = 8;
    request.maxBoostDb = 3.0;
    request.refine = refine;
    return request;
}

void BM_AutoEqFit(benchmark::State& state, const fx::Measurement& measurement, bool refine) {
    const fx::AutoEqRequest request = RoomModeRequest(measurement, refine);
    fx::AutoEqResult result;
    for (auto _ : state) {
        result = fx::FitAutoEq(request);
        benchmark::DoNotOptimize(result.bands.data());
    }
    state.counters["rms_before_dB"] = result.rmsBeforeDb;
    state.counters["rms_after_dB"] = result.rmsAfterDb;
    state.counters["rms_greedy_dB"] = result.rmsGreedyDb;
    state.counters["bands"] = static_cast<double>(result.bands.size());
}

// One benchmark pair per readable measurement file; the number registered.
int RegisterMeasurements(const fs::path& folder) {
    std::error_code error;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().extension() == ".txt") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    int registered = 0;
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        const fx::MeasurementText read = fx::ParseMeasurement(text);
        if (!read.ok) continue;
        const std::string name = file.stem().string();
        benchmark::RegisterBenchmark(("BM_AutoEqFit/" + name).c_str(), BM_AutoEqFit,
                                     read.measurement, true)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_AutoEqGreedyOnly/" + name).c_str(), BM_AutoEqFit,
                                     read.measurement, false)
            ->Unit(benchmark::kMillisecond);
        ++registered;
    }
    return registered;
}

} // namespace

int main(int argc, char** argv) {
    const fs::path folder = fs::path(FX_MEASUREMENTS_DIR);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (RegisterMeasurements(folder) == 0) {
        std::printf("no measurements in %s: nothing to time\n", folder.string().c_str());
        return 0;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

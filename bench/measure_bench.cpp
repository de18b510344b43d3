// Cost of the equalizer fit and of what it works from: reading a measurement
// file, putting it on the grid (smoothed), and a whole fit of an output
// channel's 31 bands against a target.
//
// Target (median, Release build, one core): a fit of 31 bands under 100 ms.
// The fit's counters give the corpus case's error after the fit (dB RMS).

#include <benchmark/benchmark.h>

#include <string>

#include "measure/point_file.h"
#include "support/fit_corpus.h"

namespace {

// A REW export of about 500 rows (1/48 octave, 15 Hz .. 22 kHz).
void BM_ReadMeasurement(benchmark::State& state) {
    const std::string text = MeasurementText(fit_corpus::RoomCase(1, false).file);
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadMeasurement(text));
}
BENCHMARK(BM_ReadMeasurement)->Unit(benchmark::kMicrosecond);

void BM_SmoothOntoGrid(benchmark::State& state) {
    const CurvePoints points = fit_corpus::RoomCase(1, false).file;
    for (auto _ : state)
        benchmark::DoNotOptimize(CurveOnGrid(points, 6));
}
BENCHMARK(BM_SmoothOntoGrid)->Unit(benchmark::kMicrosecond);

// Args: corpus seed, 1 for cut-only (else boosts up to 20 dB), 1 for a
// measurement of device bands (else a room).
void BM_Fit31Bands(benchmark::State& state) {
    const auto seed = static_cast<unsigned>(state.range(0));
    const bool cutOnly = state.range(1) == 1;
    const fit_corpus::Case c = state.range(2) == 1 ? fit_corpus::DeviceCase(seed, cutOnly)
                                                   : fit_corpus::RoomCase(seed, seed % 3 == 0);
    const FitRequest request = fit_corpus::RequestFor(c, cutOnly, 20);
    FitResult result;
    for (auto _ : state) {
        result = FitBands(request);
        benchmark::DoNotOptimize(result.bands.data());
    }
    state.counters["rms_before_db"] = result.rmsBefore;
    state.counters["rms_after_db"] = result.rmsAfter;
    state.SetLabel(c.name);
}
BENCHMARK(BM_Fit31Bands)
    ->ArgsProduct({{1, 3, 6}, {0, 1}, {0}})
    ->ArgsProduct({{2}, {0, 1}, {1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();

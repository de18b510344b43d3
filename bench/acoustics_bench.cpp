// Cost of the measurement signal processing: a whole sweep measurement from
// recording to curve, and one update of the live analyser.
//
// Targets (Release build): processing a 3 s sweep (deconvolution, gating,
// the response on the graph's frequencies) under 200 ms; the analyser at
// 1/24 octave under 5 % of one core at 10 updates per second, i.e. one
// update under 5 ms.

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "acoustics/impulse.h"
#include "acoustics/rta.h"
#include "acoustics/sweep.h"

namespace {

// What the microphone would record: the sweep 40 ms late, half as loud,
// with a resonance's ringing and a reflection, then one second of room.
std::vector<double> Recording(const SweepSpec& spec) {
    const auto sweep = ExpSweep(spec);
    std::vector<double> out(sweep.size() + 1920 + kAudioRate, 0.0);
    for (size_t i = 0; i < sweep.size(); ++i) {
        out[1920 + i] += 0.5 * sweep[i];
        out[1920 + 300 + i] += 0.2 * sweep[i];
    }
    return out;
}

void BM_ProcessSweep(benchmark::State& state) {
    SweepSpec spec;
    spec.seconds = static_cast<double>(state.range(0));
    const auto recording = Recording(spec);
    for (auto _ : state) {
        CSweepDeconvolver deconvolver(spec, recording.size());
        const auto ir = deconvolver.ImpulseResponse(recording);
        const auto grid =
            ResponseOnGrid(GateImpulse(ir, PeakIndex(ir), GateSpec{}), spec.sampleRate);
        benchmark::DoNotOptimize(grid.db.data());
    }
}
BENCHMARK(BM_ProcessSweep)->Arg(1)->Arg(3)->Arg(10)->Unit(benchmark::kMillisecond);

// Args: bands per octave.
void BM_RtaUpdate(benchmark::State& state) {
    RtaSpec spec;
    spec.fraction = static_cast<int>(state.range(0));
    CRta rta(spec);
    const auto noise = PeriodicPinkNoise(rta.BlockSize(), -20, spec.sampleRate);
    const std::vector<float> block(noise.begin(), noise.end());
    std::vector<double> levels;
    for (auto _ : state) {
        rta.Analyse(block, levels);
        benchmark::DoNotOptimize(levels.data());
    }
}
BENCHMARK(BM_RtaUpdate)->Arg(3)->Arg(24)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

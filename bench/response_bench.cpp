// Cost of the response curves: one filter of each kind, and a whole channel
// in its most expensive state, as recomputed on every drag step.

#include <benchmark/benchmark.h>

#include "model/tables.h"
#include "response/ktveq.h"

namespace {

void BM_Peaking(benchmark::State& state) {
    CFilter band;
    band.SetFreq(1000, false);
    band.SetGainIndex(260);
    for (auto _ : state) {
        band.ComputeResponse();
        benchmark::DoNotOptimize(band.GetResponse().data());
    }
}
BENCHMARK(BM_Peaking);

void BM_Shelf(benchmark::State& state) {
    CFilter shelf;
    shelf.SetType(static_cast<int>(state.range(0)));
    shelf.SetSlope(1, false);
    shelf.SetFreq(1000, false);
    shelf.SetGainIndex(260);
    for (auto _ : state) {
        shelf.ComputeResponse();
        benchmark::DoNotOptimize(shelf.GetResponse().data());
    }
}
BENCHMARK(BM_Shelf)->ArgName("type")->Arg(kBandLowShelf)->Arg(kBandHighShelf);

// Args: type (3 high-pass, 4 low-pass), family (0 LR, 1 Bessel, 2 BW), order 0..6.
void BM_Crossover(benchmark::State& state) {
    CFilter x;
    x.SetHasMarker(false);
    x.SetType(static_cast<int>(state.range(0)));
    x.SetXoverType(static_cast<int>(state.range(1)), false);
    x.SetSlope(static_cast<int>(state.range(2)), false);
    x.SetFreq(1000, false);
    for (auto _ : state) {
        x.ComputeResponse();
        benchmark::DoNotOptimize(x.GetResponse().data());
    }
}
BENCHMARK(BM_Crossover)
    ->ArgNames({"type", "family", "order"})
    ->ArgsProduct({{kBandHighPass, kBandLowPass}, {0, 1, 2}, {0, 1, 2, 3, 4, 5, 6}});

// An output channel with all 31 bands active and both crossovers at 48 dB/Oct.
void MakeBusyChannel(CKTVEQ& eq) {
    eq.BuildBands(30, 32, 8, 20, 20000);
    eq.SetRect(600, 320);
    for (int i = 0; i < eq.GetBandCount(); ++i)
        eq.GetBand(i)->SetGainIndex(230 + i);
    for (CFilter* x : {eq.GetHighPass(), eq.GetLowPass()}) {
        x->SetXoverType(kBessel, false);
        x->SetSlope(6, false);
    }
    eq.GetHighPass()->SetFreq(80, false);
    eq.GetLowPass()->SetFreq(12000, false);
}

// Every filter recomputed, then the summed curve.
void BM_WorstCaseChannel(benchmark::State& state) {
    CKTVEQ eq;
    MakeBusyChannel(eq);
    for (auto _ : state) {
        for (int i = 0; i < eq.GetFilterCount(); ++i)
            eq.GetFilter(i)->ComputeResponse();
        eq.SumCurve();
        benchmark::DoNotOptimize(eq.GetCurvePointsF().data());
    }
}
BENCHMARK(BM_WorstCaseChannel)->Unit(benchmark::kMicrosecond);

// One drag step: the dragged band and the channel's sum.
void BM_DragStep(benchmark::State& state) {
    CKTVEQ eq;
    MakeBusyChannel(eq);
    CFilter* band = eq.GetBand(17);
    band->BeginMarkerDrag(band->GetMarkerRect().Center());
    int step = 0;
    for (auto _ : state) {
        band->DragBandMarker({300 + (step++ & 63), 120});
        eq.SumCurve();
        benchmark::DoNotOptimize(eq.GetCurvePointsF().data());
    }
}
BENCHMARK(BM_DragStep)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

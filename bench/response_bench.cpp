// Cost of the response curves: one filter of each kind and order, a whole
// channel in its most expensive state, and one drag step in the graph.
//
// Targets (median, Release build): a peaking band's curve under 10 us, the
// worst-case channel under 300 us, a drag step with all six curves shown
// under 100 us.

#include <benchmark/benchmark.h>

#include <array>

#include "response/ktveq.h"
#include "tables/value_tables.h"

namespace {

constexpr int kPlotWidth = 600;
constexpr int kPlotHeight = 320;
constexpr int kChannels = 6;

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

// Args: type (1 low shelf, 2 high shelf), slope (0 6 dB/Oct, 1 12 dB/Oct).
void BM_Shelf(benchmark::State& state) {
    CFilter shelf;
    shelf.SetType(static_cast<int>(state.range(0)));
    shelf.SetSlope(static_cast<int>(state.range(1)), false);
    shelf.SetFreq(1000, false);
    shelf.SetGainIndex(260);
    for (auto _ : state) {
        shelf.ComputeResponse();
        benchmark::DoNotOptimize(shelf.GetResponse().data());
    }
}
BENCHMARK(BM_Shelf)
    ->ArgNames({"type", "slope"})
    ->ArgsProduct({{kBandLowShelf, kBandHighShelf}, {0, 1}});

// Args: type (3 high-pass, 4 low-pass), family (0 LR, 1 Bessel, 2 BW),
// order 0..6 (12..48 dB/Oct) and 7 (off).
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
    ->ArgsProduct({{kBandHighPass, kBandLowPass}, {0, 1, 2}, {0, 1, 2, 3, 4, 5, 6, kSlopeOff}});

// An output channel with all 31 bands active and both crossovers at 48 dB/Oct.
void MakeBusyChannel(CKTVEQ& eq) {
    eq.BuildBands(30, 32, 8, 20, 20000);
    eq.SetRect(kPlotWidth, kPlotHeight);
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

// The sum of a busy channel's 33 curves into graph points, as every redraw
// does for each curve it draws.
void BM_ChannelSum(benchmark::State& state) {
    CKTVEQ eq;
    MakeBusyChannel(eq);
    for (auto _ : state) {
        eq.SumCurve();
        benchmark::DoNotOptimize(eq.GetCurvePointsF().data());
    }
}
BENCHMARK(BM_ChannelSum)->Unit(benchmark::kMicrosecond);

// One mouse-move of a drag on a band marker of CH1 with every channel busy:
// the drag rule (which recomputes the band's curve), then the curves a redraw
// needs: each grey channel shown (CH1..CH6 when all are switched on, the
// shown one among them) and the shown channel in its own colour.
// Arg: how many channels are switched on as grey curves (0 or 6).
void BM_DragStep(benchmark::State& state) {
    std::array<CKTVEQ, kChannels> channels;
    for (CKTVEQ& eq : channels)
        MakeBusyChannel(eq);
    const int greyCurves = static_cast<int>(state.range(0));
    CKTVEQ& shown = channels[0];
    CFilter* band = shown.GetBand(17);
    band->BeginMarkerDrag(band->GetMarkerRect().Center());
    int step = 0;
    int changed = 0;
    for (auto _ : state) {
        // Frequency and gain both move, so every step counts as a change.
        changed += band->DragBandMarker({300 + step % 64, 100 + step % 7 * 3}) ? 1 : 0;
        ++step;
        for (int c = 0; c < greyCurves; ++c)
            channels[c].SumCurve();
        shown.SumCurve();
        benchmark::DoNotOptimize(shown.GetCurvePointsF().data());
    }
    if (changed != step) state.SkipWithError("a drag step did not change the band");
}
BENCHMARK(BM_DragStep)
    ->ArgName("grey_curves")
    ->Arg(0)
    ->Arg(kChannels)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

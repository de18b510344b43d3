// The sweep, its deconvolution into an impulse response and the response on
// the graph's frequencies, on synthetic recordings of known systems.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>

#include "acoustics/impulse.h"
#include "acoustics/signals.h"
#include "acoustics/sweep.h"

namespace {

constexpr double kRate = kAudioRate;

TEST(SweepSpec, RefusesWhatCannotBePlayed) {
    struct Case {
        const char* name;
        std::function<void(SweepSpec&)> change;
        bool ok;
    } cases[] = {
        {"default", [](SweepSpec&) {}, true},
        {"one second", [](SweepSpec& s) { s.seconds = 1; }, true},
        {"ten seconds", [](SweepSpec& s) { s.seconds = 10; }, true},
        {"too short", [](SweepSpec& s) { s.seconds = 0.5; }, false},
        {"too long", [](SweepSpec& s) { s.seconds = 10.5; }, false},
        {"not a number", [](SweepSpec& s) { s.seconds = NAN; }, false},
        {"full scale", [](SweepSpec& s) { s.levelDbfs = 0; }, true},
        {"above full scale", [](SweepSpec& s) { s.levelDbfs = 0.5; }, false},
        {"end above Nyquist", [](SweepSpec& s) { s.endHz = 25000; }, false},
        {"backwards", [](SweepSpec& s) { s.startHz = 2000, s.endHz = 1000; }, false},
    };
    for (const auto& c : cases) {
        SweepSpec spec;
        c.change(spec);
        EXPECT_EQ(SweepSpecError(spec).empty(), c.ok) << c.name;
    }
}

TEST(Sweep, LevelLengthFadesAndRate) {
    SweepSpec spec;
    spec.seconds = 2;
    spec.levelDbfs = -12;
    const auto x = ExpSweep(spec);
    ASSERT_EQ(x.size(), 96000u);
    const double peak = std::fabs(x[PeakIndex(x)]);
    EXPECT_NEAR(20 * std::log10(peak), -12.0, 0.01);
    // Faded: no step at either end.
    EXPECT_LT(std::fabs(x.front()), 1e-6);
    EXPECT_LT(std::fabs(x.back()), 1e-6);
    // Exponential: halfway through (in time) it is halfway (in octaves).
    const size_t mid = x.size() / 2;
    std::vector<size_t> rises;
    for (size_t i = mid - 2400; i < mid + 2400; ++i)
        if (x[i] <= 0 && x[i + 1] > 0) rises.push_back(i);
    ASSERT_GE(rises.size(), 2u);
    const double hz = (rises.size() - 1) * kRate / (rises.back() - rises.front());
    EXPECT_NEAR(hz, std::sqrt(SweepFirstHz(spec) * SweepLastHz(spec)), 5.0);
    // It sweeps a margin beyond the range at both ends.
    EXPECT_LT(SweepFirstHz(spec), 20.0);
    EXPECT_GT(SweepLastHz(spec), 20000.0);
}

// Records the sweep through `system` after `latency` samples, deconvolves,
// gates at `reference` (or at the peak when negative) and puts the result on
// the grid.
GridResponse Measure(const std::function<std::vector<double>(std::span<const double>)>& system,
                     size_t latency, long reference = -1) {
    SweepSpec spec;
    const auto sweep = ExpSweep(spec);
    const auto recording = system(Delayed(sweep, latency, 1.0, 24000));
    CSweepDeconvolver deconvolver(spec, recording.size());
    const auto ir = deconvolver.ImpulseResponse(recording);
    const size_t at = reference >= 0 ? static_cast<size_t>(reference) : PeakIndex(ir);
    return ResponseOnGrid(GateImpulse(ir, at, GateSpec{}), static_cast<int>(kRate));
}

TEST(SweepMeasurement, RecoversKnownSystemsOnTheGrid) {
    struct Case {
        const char* name;
        Biquad filter;
        double gain;
        double worstDb;  // allowed error over 25 Hz .. 18 kHz (band means against point values)
    } cases[] = {
        {"wire", Biquad{}, 1.0, 0.02},
        {"half level", Biquad{}, 0.5, 0.02},
        {"peak 1 kHz +6 dB Q 4", Biquad::Peaking(1000, 4, 6, kRate), 1.0, 0.05},
        {"resonance 60 Hz +8 dB Q 5", Biquad::Peaking(60, 5, 8, kRate), 1.0, 0.1},
        {"dip 3 kHz -10 dB Q 2", Biquad::Peaking(3000, 2, -10, kRate), 1.0, 0.05},
        {"high-pass 80 Hz", Biquad::HighPass(80, M_SQRT1_2, kRate), 1.0, 0.05},
        {"low-pass 2 kHz", Biquad::LowPass(2000, M_SQRT1_2, kRate), 1.0, 0.1},
    };
    for (const auto& c : cases) {
        const size_t latency = 1000;
        const auto grid = Measure(
            [&](std::span<const double> x) {
                auto y = c.filter.Run(x);
                for (auto& v : y)
                    v *= c.gain;
                return y;
            },
            latency, latency);
        double worstDb = 0;
        double worstDeg = 0;
        for (int i = 0; i < kGridPoints; ++i) {
            const double f = g_adGridFreq[i];
            if (f < 25 || f > 18000) continue;
            const auto h = c.gain * c.filter.At(f, kRate);
            worstDb = std::max(worstDb, std::fabs(grid.db[i] - Db(h)));
            const double deg = std::remainder(grid.phaseDeg[i] - std::arg(h) * 180 / M_PI, 360.0);
            worstDeg = std::max(worstDeg, std::fabs(deg));
        }
        EXPECT_LT(worstDb, c.worstDb) << c.name;
        EXPECT_LT(worstDeg, 2.0) << c.name;
    }
}

TEST(SweepMeasurement, HarmonicDistortionIsGatedOut) {
    // A loudspeaker driven hard: second and third harmonics at -20 and -26 dB.
    const auto grid = Measure(
        [](std::span<const double> x) {
            std::vector<double> y(x.size());
            for (size_t i = 0; i < x.size(); ++i) {
                const double s = x[i] / 0.25;  // the sweep's peak level
                y[i] = x[i] + 0.25 * (0.1 * s * s + 0.05 * s * s * s);
            }
            return y;
        },
        2000);
    // The third harmonic's cubic term adds 3/4 of its amplitude to the fundamental.
    const double expected = 20 * std::log10(1 + 0.75 * 0.05);
    for (int i = 0; i < kGridPoints; ++i) {
        const double f = g_adGridFreq[i];
        if (f < 25 || f > 18000) continue;
        EXPECT_NEAR(grid.db[i], expected, 0.1) << f << " Hz";
    }
}

TEST(SweepMeasurement, ArrivalAndLevelSurviveNoise) {
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 0.01);  // -40 dBFS
    const size_t latency = 4321;
    SweepSpec spec;
    const auto sweep = ExpSweep(spec);
    auto recording = Delayed(sweep, latency, 0.5, 24000);
    for (auto& v : recording)
        v += noise(random);
    CSweepDeconvolver deconvolver(spec, recording.size());
    const auto ir = deconvolver.ImpulseResponse(recording);
    EXPECT_NEAR(FindArrival(ir).peak, latency, 0.1);
    const auto grid =
        ResponseOnGrid(GateImpulse(ir, PeakIndex(ir), GateSpec{}), static_cast<int>(kRate));
    for (int i = 0; i < kGridPoints; ++i) {
        const double f = g_adGridFreq[i];
        if (f < 40 || f > 16000) continue;
        EXPECT_NEAR(grid.db[i], -6.02, 0.3) << f << " Hz";
    }
}

TEST(AverageTakes, MeansPeriodsAndRefusesShortRecordings) {
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0.0, 1.0);
    const size_t period = 1000;
    const int takes = 8;
    std::vector<double> recording(period * takes + 17);
    for (size_t i = 0; i < recording.size(); ++i)
        recording[i] = std::sin(0.01 * static_cast<double>(i % period)) + noise(random);
    const auto mean = AverageTakes(recording, period, takes);
    ASSERT_EQ(mean.size(), period);
    double residual = 0;
    for (size_t i = 0; i < period; ++i)
        residual += std::pow(mean[i] - std::sin(0.01 * static_cast<double>(i)), 2);
    // Uncorrelated noise falls with the square root of the takes.
    EXPECT_NEAR(std::sqrt(residual / period), 1 / std::sqrt(takes), 0.05);

    EXPECT_TRUE(AverageTakes(recording, period, takes + 1).empty());
    EXPECT_TRUE(AverageTakes(recording, period, 0).empty());
    EXPECT_EQ(AverageTakes(recording, period, 1),
              std::vector<double>(recording.begin(), recording.begin() + period));
}

}  // namespace

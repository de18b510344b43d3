// Curves on the response grid: interpolation and smoothing of file points,
// the target shapes, the level that places a target, and the fit range.

#include <gtest/gtest.h>

#include <cmath>

#include "measure/curves.h"
#include "response/grid.h"

namespace {

TargetSpec Target(TargetShape shape, double tilt = 0, CurvePoints file = {}) {
    TargetSpec t;
    t.shape = shape;
    t.tiltDbPerOctave = tilt;
    t.file = std::move(file);
    return t;
}

double At(const ResponseCurve& c, double hz) {
    return c[static_cast<std::size_t>(NearestGridIndex(hz))];
}

TEST(CurveOnGrid, LinearInLogFrequencyAndHeldBeyondTheEnds) {
    const ResponseCurve c = CurveOnGrid({{100, 400}, {0, 6}});
    for (int i = 0; i < kGridPoints; ++i) {
        const double f = g_adGridFreq[i];
        const double expected = f <= 100 ? 0 : f >= 400 ? 6 : 3 * std::log2(f / 100);
        EXPECT_NEAR(c[i], expected, 1e-9) << f;
    }
}

TEST(CurveOnGrid, SmoothingIsTheMeanOverTheOctaveFraction) {
    // A triangle 1/24 octave wide and 12 dB high on 1 kHz, flat elsewhere:
    // its area is 0.25 dB x octave, whatever window holds it whole.
    const CurvePoints spike = {
        {20, 1000 * std::exp2(-1.0 / 48), 1000, 1000 * std::exp2(1.0 / 48), 20000},
        {0, 0, 12, 0, 0}};
    const struct {
        int fraction;
        double expected;
    } cases[] = {{kSmoothingNone, 12.0}, {3, 0.75}, {6, 1.5}, {12, 3.0}};
    for (const auto& c : cases)
        EXPECT_NEAR(At(CurveOnGrid(spike, c.fraction), 1000), c.expected, 1e-9) << c.fraction;

    // A straight line in log-frequency is its own mean inside the span.
    const CurvePoints line = {{20, 20000}, {0, 2 * std::log2(1000.0)}};
    EXPECT_NEAR(At(CurveOnGrid(line, 3), 1000), 2 * std::log2(1000.0 / 20), 1e-9);
}

TEST(Target, ShapesTiltAndFiles) {
    const ResponseCurve car = TargetCurve(Target(TargetShape::Car));
    const struct {
        double hz;
        double db;
    } carPoints[] = {{19.7, 9.0},  {125, 3.0},    {250, 0.5},   {1000, 0.0},
                     {8000, -1.0}, {16000, -2.5}, {20000, -3.0}};
    for (const auto& p : carPoints)
        EXPECT_NEAR(At(car, p.hz), p.db, 1e-9) << p.hz;
    // Between table points: log-linear from 63 Hz (+7.4) to 80 Hz (+6.0).
    EXPECT_NEAR(At(car, 72.2), 7.4 - 1.4 * std::log2(72.2 / 63) / std::log2(80.0 / 63), 1e-9);

    const ResponseCurve tilted = TargetCurve(Target(TargetShape::Car, 1.0));
    EXPECT_NEAR(At(tilted, 8000), -1.0 + 3.0, 1e-9);
    EXPECT_NEAR(At(tilted, 500), -1.0, 1e-9);
    EXPECT_NEAR(At(TargetCurve(Target(TargetShape::Flat, -0.5)), 4000), -1.0, 1e-9);

    const ResponseCurve file = TargetCurve(Target(TargetShape::File, 0, {{100, 1000}, {2, -2}}));
    EXPECT_NEAR(file.front(), 2, 1e-9);
    EXPECT_NEAR(file.back(), -2, 1e-9);
    EXPECT_NEAR(TargetAt(Target(TargetShape::File, 0, {{100, 1000}, {2, -2}}), 316.2277660168), 0,
                1e-9);
}

TEST(Level, BestOffsetAndErrorAfterIt) {
    const ResponseCurve target = TargetCurve(Target(TargetShape::Car));
    ResponseCurve curve = target;
    const std::vector<int> range = GridIndexesIn({40, 16000});
    for (std::size_t k = 0; k < range.size(); ++k)
        curve[static_cast<std::size_t>(range[k])] += 85 + (k % 2 ? 1 : -1);
    if (range.size() % 2) curve[static_cast<std::size_t>(range.back())] += 1;  // keep the mean
    EXPECT_NEAR(LevelOffset(curve, target, range), 85, 1e-9);
    EXPECT_NEAR(RmsError(curve, target, range), 1, 0.01);
}

TEST(Range, EndsIncludedAndClippedToTheMeasurement) {
    const std::vector<int> idx = GridIndexesIn({1000, 2000});
    EXPECT_EQ(g_adGridFreq[idx.front()], 1000);
    EXPECT_EQ(g_adGridFreq[idx.back()], 2000);

    EXPECT_EQ(ClipRange({40, 16000}, {{30, 10000}, {0, 0}}), (FreqRange{40, 10000}));
    EXPECT_EQ(ClipRange({40, 16000}, {{60, 20000}, {0, 0}}), (FreqRange{60, 16000}));
    EXPECT_FALSE(ClipRange({40, 16000}, {{17000, 20000}, {0, 0}}));
    EXPECT_FALSE(ClipRange({40, 16000}, {{1001, 1020}, {0, 0}}));  // no grid point inside
}

}  // namespace

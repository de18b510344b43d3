#pragma once
// Synthetic speaker measurements for the equalizer fit, shared by its tests
// and its benchmark. Two kinds:
//  - rooms: a target shape at a level of 75..95 dB, plus 8..14 resonances
//    (any frequency, Q 1..10, +-3..12 dB), a tilt of up to +-0.5 dB/Oct and
//    for some a second-order roll-off below 40 Hz; written as a file of
//    1/48-octave rows and read back 1/6-octave smoothed;
//  - device bands: a target plus bands the device itself can make, on the
//    grid frequencies and unsmoothed, so that an exact fit exists (all of
//    them boosts when the fit is to cut only).
// Everything comes from a fixed seed, so every run sees the same corpus.

#include <cmath>
#include <complex>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "measure/band_fit.h"
#include "response/grid.h"

namespace fit_corpus {

struct Case {
    std::string name;
    CurvePoints file;  // the measurement as read from its file
    int smoothing = kSmoothingNone;
    TargetSpec target;
};

// |H| in dB of a section at any frequency, as the grid evaluation does it.
inline double SectionDb(const Biquad& s, double hz) {
    const std::complex<double> z1 = std::polar(1.0, -6.2831852 * hz / 96000.0);
    const auto num = s.b0 + s.b1 * z1 + s.b2 * z1 * z1;
    const auto den = s.a0 + s.a1 * z1 + s.a2 * z1 * z1;
    return 20.0 * std::log10(std::abs(num / den));
}

// Second-order high-pass (Q 0.707) of an analog speaker, in dB.
inline double RollOffDb(double hz, double cornerHz) {
    const double x = hz / cornerHz;
    const double q = 0.7071;
    return 20.0 * std::log10(x * x / std::sqrt((1 - x * x) * (1 - x * x) + (x / q) * (x / q)));
}

inline Case RoomCase(unsigned seed, bool rollOff) {
    std::mt19937 rng(seed);
    auto uniform = [&](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(rng);
    };
    Case c;
    c.target.shape = seed % 2 ? TargetShape::Car : TargetShape::Flat;
    c.smoothing = 6;
    const double level = uniform(75, 95);
    const double tilt = uniform(-0.5, 0.5);
    const double corner = uniform(20, 35);
    const int count = std::uniform_int_distribution<int>(8, 14)(rng);
    std::vector<Biquad> resonances;
    for (int k = 0; k < count; ++k) {
        const double hz = std::exp2(uniform(std::log2(30.0), std::log2(18000.0)));
        const double q = std::exp2(uniform(0, std::log2(10.0)));
        const double gain = uniform(3, 12) * (rng() % 2 ? 1 : -1);
        const double octaves = 2 / std::log(2.0) * std::asinh(1 / (2 * q));
        resonances.push_back(PeakingSection(hz, gain, octaves));
    }
    for (double u = std::log2(15.0); u <= std::log2(22000.0); u += 1.0 / 48) {
        const double hz = std::exp2(u);
        double db = level + TargetAt(c.target, hz) + tilt * std::log2(hz / 1000);
        for (const Biquad& r : resonances)
            db += SectionDb(r, hz);
        if (rollOff) db += RollOffDb(hz, corner);
        c.file.hz.push_back(hz);
        c.file.db.push_back(db);
    }
    char name[64];
    std::snprintf(name, sizeof name, "room%u_%s%s_%dres", seed,
                  c.target.shape == TargetShape::Car ? "car" : "flat", rollOff ? "_rolloff" : "",
                  count);
    c.name = name;
    return c;
}

inline Case DeviceCase(unsigned seed, bool boostsOnly) {
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    Case c;
    c.target.shape = seed % 2 ? TargetShape::Car : TargetShape::Flat;
    const double level = 75 + pick(0, 200) * 0.1;
    const int count = pick(6, 12);
    ResponseCurve bands{};
    for (int k = 0; k < count; ++k) {
        BandSetting b;
        // Grid points from about 45 Hz to 15 kHz, where an integer frequency lands.
        const int grid = pick(30, 225);
        b.freq = static_cast<int>(std::lround(g_adGridFreq[grid]));
        b.bandwidthIndex = pick(10, 200);
        const int size = pick(20, 120);
        b.gainIndex = kGainIndexFlat + (boostsOnly || pick(0, 1) ? size : -size);
        const ResponseCurve curve = BandCurve(b);
        for (int i = 0; i < kGridPoints; ++i)
            bands[i] += curve[i];
    }
    const ResponseCurve shape = TargetCurve(c.target);
    for (int i = 0; i < kGridPoints; ++i) {
        c.file.hz.push_back(g_adGridFreq[i]);
        c.file.db.push_back(level + shape[i] + bands[i]);
    }
    char name[64];
    std::snprintf(name, sizeof name, "device%u_%s_%dbands", seed, boostsOnly ? "boosts" : "mixed",
                  count);
    c.name = name;
    return c;
}

// A fit of an output channel whose 31 bands are flat and whose crossovers
// are off, as it was when measured.
inline FitRequest RequestFor(const Case& c, bool cutOnly, double maxBoostDb) {
    CKTVEQ eq;
    eq.BuildBands(30, 32, 0, kFreqMin, kFreqMax);
    FitRequest r;
    r.measurement = CurveOnGrid(c.file, c.smoothing);
    r.responseWhenMeasured = r.responseNow = eq.TotalResponse();
    r.bands = BandSettingsOf(eq);
    r.freeBands = FlatBands(r.bands);
    r.target = TargetCurve(c.target);
    r.range = {40, 16000};
    r.cutOnly = cutOnly;
    r.maxBoostDb = maxBoostDb;
    return r;
}

}  // namespace fit_corpus

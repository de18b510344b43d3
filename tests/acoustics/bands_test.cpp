// Fractional-octave bands and the live analyser on synthetic signals.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "acoustics/bands.h"
#include "acoustics/rta.h"
#include "response/grid.h"

namespace {

TEST(FractionalOctaveBands, CentresEdgesAndCounts) {
    struct Case {
        int fraction;
        size_t bands;  // centres within 19.5 Hz .. 20.5 kHz
    } cases[] = {{3, 31}, {6, 61}, {12, 121}, {24, 241}};
    for (const auto& c : cases) {
        const auto bands = FractionalOctaveBands(c.fraction, 19.5, 20500);
        ASSERT_EQ(bands.size(), c.bands) << "1/" << c.fraction;
        EXPECT_TRUE(std::any_of(bands.begin(), bands.end(),
                                [](const Band& b) { return std::fabs(b.centreHz - 1000) < 1e-9; }));
        for (size_t i = 0; i + 1 < bands.size(); ++i) {
            EXPECT_NEAR(bands[i].highHz, bands[i + 1].lowHz, 1e-9) << "1/" << c.fraction;
            EXPECT_NEAR(bands[i].highHz / bands[i].lowHz, std::pow(2.0, 1.0 / c.fraction), 1e-12);
        }
    }
    EXPECT_TRUE(FractionalOctaveBands(0).empty());
    EXPECT_TRUE(FractionalOctaveBands(3, 1000, 500).empty());
}

TEST(GridBands, SurroundTheGridFrequenciesWithoutGaps) {
    const auto bands = GridBands();
    ASSERT_EQ(bands.size(), static_cast<size_t>(kGridPoints));
    for (int i = 0; i < kGridPoints; ++i) {
        EXPECT_EQ(bands[i].centreHz, g_adGridFreq[i]);
        EXPECT_LT(bands[i].lowHz, bands[i].centreHz);
        EXPECT_GT(bands[i].highHz, bands[i].centreHz);
        if (i > 0) {
            EXPECT_DOUBLE_EQ(bands[i - 1].highHz, bands[i].lowHz);
        }
    }
}

// A flat spectrum of ones: a band's sum is its width in bins, its mean is 1,
// however the band falls across the bins (wider than many, narrower than one).
TEST(BandAverager, SharesBinsByTheirOverlap) {
    const size_t fft = 4096;
    const double rate = 48000;
    const double binHz = rate / fft;
    const std::vector<Band> bands = {
        {1000, 1100, 1200},                   // many bins
        {30.0, 30.3, 30.6},                   // inside one bin
        {5 * binHz, 5.5 * binHz, 6 * binHz},  // straddles two half bins
        {23000, 23500, 24000},                // up to the last bin
        {0.0, 0.2 * binHz, 0.4 * binHz},      // at DC
    };
    const CBandAverager averager(bands, fft, rate);
    const std::vector<double> ones(fft / 2 + 1, 1.0);
    std::vector<double> sum(bands.size());
    std::vector<double> mean(bands.size());
    averager.Sum(ones, sum);
    averager.Mean(ones, mean);
    for (size_t b = 0; b < bands.size(); ++b) {
        const double widthBins =
            (std::min(bands[b].highHz, rate / 2 + binHz / 2) - bands[b].lowHz) / binHz;
        EXPECT_NEAR(sum[b], widthBins, 1e-9) << b;
        EXPECT_NEAR(mean[b], 1.0, 1e-12) << b;
    }
    // A single strong bin counts once across the bands that share it.
    std::vector<double> spike(fft / 2 + 1, 0.0);
    spike[300] = 1;
    const auto third = FractionalOctaveBands(3);
    const CBandAverager thirds(third, fft, rate);
    std::vector<double> levels(third.size());
    thirds.Sum(spike, levels);
    EXPECT_NEAR(std::accumulate(levels.begin(), levels.end(), 0.0), 1.0, 1e-12);
}

std::vector<float> Floats(const std::vector<double>& x) {
    return {x.begin(), x.end()};
}

TEST(Rta, PeriodicPinkNoiseReadsFlatAtEveryResolution) {
    for (int fraction : {3, 6, 12, 24}) {
        RtaSpec spec;
        spec.fraction = fraction;
        CRta rta(spec);
        const auto noise = Floats(PeriodicPinkNoise(rta.BlockSize(), -20, spec.sampleRate));
        std::vector<double> levels;
        rta.Analyse(noise, levels);
        ASSERT_EQ(levels.size(), rta.Bands().size());
        // Equal power per band; together the bands hold the whole -20 dBFS.
        double total = 0;
        for (size_t b = 0; b < levels.size(); ++b) {
            total += std::pow(10, levels[b] / 10);
            const Band& band = rta.Bands()[b];
            // The lowest 1/24-octave bands hold less than a bin each: shares of
            // bins, whose levels differ a little from the bands' own.
            if (band.lowHz < 20 || band.highHz > 20000) continue;
            const double expected = -20 - 10 * std::log10(std::log2(20000.0 / 20.0) * fraction);
            EXPECT_NEAR(levels[b], expected, band.centreHz < 100 ? 1.0 : 0.25)
                << "1/" << fraction << " at " << band.centreHz;
        }
        EXPECT_NEAR(10 * std::log10(total), -20, 0.05) << "1/" << fraction;
    }
}

TEST(Rta, SineLevelLandsInItsBand) {
    struct Case {
        int fraction;
        bool periodic;
        double hz;
        double amplitude;
    } cases[] = {
        {3, false, 1000, 1.0},                     // full scale reads 0 dBFS
        {24, false, 1000, 0.5},                    // -6 dB
        {6, false, 63, 0.1},                       // -20 dB, low down
        {12, true, 48000.0 / 16384 * 1707, 0.25},  // periodic in the block: no window
    };
    for (const auto& c : cases) {
        RtaSpec spec;
        spec.fraction = c.fraction;
        spec.periodicSignal = c.periodic;
        CRta rta(spec);
        std::vector<float> sine(rta.BlockSize());
        for (size_t i = 0; i < sine.size(); ++i)
            sine[i] = static_cast<float>(c.amplitude * std::sin(2 * M_PI * c.hz * i / 48000.0));
        std::vector<double> levels;
        rta.Analyse(sine, levels);
        const auto& bands = rta.Bands();
        const auto it = std::find_if(bands.begin(), bands.end(), [&](const Band& b) {
            return b.lowHz <= c.hz && c.hz < b.highHz;
        });
        ASSERT_NE(it, bands.end());
        const size_t b = static_cast<size_t>(it - bands.begin());
        // Hann windows spread a sine over a few bins; at 63 Hz in 1/6
        // octave some of them fall in the neighbours.
        EXPECT_NEAR(levels[b], 20 * std::log10(c.amplitude), 0.2) << c.hz << " Hz";
        const double next = std::max(b > 0 ? levels[b - 1] : -300.0,
                                     b + 1 < levels.size() ? levels[b + 1] : -300.0);
        EXPECT_LT(next, levels[b] - 6) << c.hz << " Hz";
    }
}

TEST(Rta, CalibrationIsTakenOut) {
    MicCalibration cal;
    cal.freqHz = {20, 1000, 20000};
    cal.db = {3, 0, -2};
    RtaSpec spec;
    spec.fraction = 3;
    CRta plain(spec);
    CRta calibrated(spec, &cal);
    const auto noise = Floats(PeriodicPinkNoise(plain.BlockSize(), -20, spec.sampleRate));
    std::vector<double> a;
    std::vector<double> b;
    plain.Analyse(noise, a);
    calibrated.Analyse(noise, b);
    for (size_t i = 0; i < a.size(); ++i)
        EXPECT_NEAR(a[i] - b[i], cal.DbAt(plain.Bands()[i].centreHz), 1e-9);
}

}  // namespace

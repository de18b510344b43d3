// Response math of single filters: which curve, its shape at telling points,
// and agreement with an independent evaluation of the transfer function.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>

#include "base/globals.h"
#include "response/filter.h"
#include "tables/value_tables.h"

namespace {

int GridIndexOf(double f) {
    return NearestGridIndex(f);
}

bool IsFlat(const CFilter& f) {
    const auto& r = f.GetResponse();
    return std::all_of(r.begin(), r.end(), [](double v) { return v == 0.0; });
}

int PeakIndex(const CFilter& f) {
    const auto& r = f.GetResponse();
    return static_cast<int>(std::max_element(r.begin(), r.end()) - r.begin());
}

CFilter PeakingBand(int freq, int gainIndex, int bwIndex = 15) {
    CFilter band;
    band.SetFreq(freq, false);
    band.SetBandwidthIndex(bwIndex);
    band.SetGainIndex(gainIndex);
    return band;
}

CFilter Crossover(int type, int family, int slope, int freq, bool twoSlopes = false) {
    CFilter x;
    x.SetHasMarker(false);
    x.SetTwoSlopes(twoSlopes);
    x.SetType(type);
    x.SetXoverType(family, false);
    x.SetSlope(slope, false);
    x.SetFreq(freq, false);
    return x;
}

// |H(e^jw)| in dB of b(z)/a(z), evaluated directly with complex numbers.
double DirectDb(const double b[3], const double a[3], double f) {
    const std::complex<double> z1 = std::polar(1.0, -6.2831852 * f / 96000.0);
    const auto num = b[0] + b[1] * z1 + b[2] * z1 * z1;
    const auto den = a[0] + a[1] * z1 + a[2] * z1 * z1;
    return 20.0 * std::log10(std::abs(num / den));
}

class FilterResponse : public ::testing::Test {
protected:
    void SetUp() override { g_bOnline = false; }
};

}  // namespace

TEST_F(FilterResponse, PeakingBandPeaksOnTheSnappedGridPoint) {
    struct Case {
        int freq;
        int peakIndex;
    };
    // 1015 lies exactly between 1000 and 1030: the upper point wins.
    for (const Case c : {Case{1000, 136}, Case{1010, 136}, Case{1015, 137}, Case{20, 1}}) {
        const CFilter band = PeakingBand(c.freq, 260);  // +6.0 dB
        EXPECT_EQ(PeakIndex(band), c.peakIndex) << c.freq;
        EXPECT_NEAR(band.GetResponse()[c.peakIndex], 6.0, 1e-4) << c.freq;
    }
}

TEST_F(FilterResponse, PeakingBandwidthWidensTheCurve) {
    const CFilter narrow = PeakingBand(1000, 260, 15);
    const CFilter wide = PeakingBand(1000, 260, 95);
    const int octaveUp = GridIndexOf(2000);
    EXPECT_LT(narrow.GetResponse()[octaveUp], 0.5);
    EXPECT_GT(wide.GetResponse()[octaveUp], 2.0);
    // A cut mirrors a boost.
    const CFilter cut = PeakingBand(1000, 140);
    for (int i = 0; i < kGridPoints; ++i)
        EXPECT_NEAR(cut.GetResponse()[i], -narrow.GetResponse()[i], 1e-9) << i;
}

TEST_F(FilterResponse, SectionEvaluationMatchesTheTransferFunction) {
    // Peaking band designed by hand at the grid centre 1000 Hz, +6 dB, 0.2 octave.
    const double a = std::pow(10.0, 6.0 / 40), w0 = 6.544985e-05 * 1000;
    const double alpha = std::sin(w0) * std::sinh(0.69314718 * 0.2 * w0 / std::sin(w0));
    const double b[3] = {1 + alpha * a, -2 * std::cos(w0), 1 - alpha * a};
    const double den[3] = {1 + alpha / a, -2 * std::cos(w0), 1 - alpha / a};
    const CFilter band = PeakingBand(1000, 260);
    for (int i = 0; i < kGridPoints; ++i)
        EXPECT_NEAR(band.GetResponse()[i], DirectDb(b, den, g_adGridFreq[i]), 1e-9) << i;
}

TEST_F(FilterResponse, OddOrderCrossoverMatchesItsSections) {
    // Butterworth 18 dB/Oct high-pass: a first-order section (scale 1.0) and a
    // second-order one (c = 0.5).
    const double w0 = 6.544985e-05 * 500, t = std::tan(w0 / 2), cw = std::cos(w0);
    const double b1[3] = {1, -1, 0}, a1[3] = {t + 1, t - 1, 0};
    const double alpha = std::sin(w0) * 0.5;
    const double b2[3] = {(1 + cw) / 2, -(1 + cw), (1 + cw) / 2};
    const double a2[3] = {1 + alpha, -2 * cw, 1 - alpha};
    const CFilter hp = Crossover(kBandHighPass, 2, 1, 500);
    for (int i = 0; i < kGridPoints; ++i) {
        const double f = g_adGridFreq[i];
        EXPECT_NEAR(hp.GetResponse()[i], DirectDb(b1, a1, f) + DirectDb(b2, a2, f), 1e-9) << i;
    }
}

TEST_F(FilterResponse, KnownCrossoverLevelsAtTheCornerFrequency) {
    const int at1k = GridIndexOf(1000);
    EXPECT_NEAR(Crossover(kBandHighPass, 2, 0, 1000).GetResponse()[at1k], -2.97, 0.005);
    EXPECT_NEAR(Crossover(kBandHighPass, 0, 2, 1000).GetResponse()[at1k], -5.95, 0.005);
    // Butterworth keeps about -3 dB at the corner for every order, both ways;
    // Bessel low-pass is normalised to -3 dB too.
    for (int order = 0; order <= 6; ++order) {
        for (int type : {kBandHighPass, kBandLowPass}) {
            EXPECT_NEAR(Crossover(type, 2, order, 1000).GetResponse()[at1k], -3.0, 0.11)
                << type << " order " << order;
        }
        EXPECT_NEAR(Crossover(kBandLowPass, 1, order, 1000).GetResponse()[at1k], -3.0, 0.05)
            << "Bessel order " << order;
    }
}

// Linkwitz-Riley at 1 kHz, every order, high- and low-pass: the level at the
// corner and one octave to either side. Each order has its own sections, so a
// wrong coefficient in any of them moves these by a decibel or more.
TEST_F(FilterResponse, LinkwitzRileyLevelsAroundTheCornerOfEveryOrder) {
    struct Case {
        int order;
        double corner;
        double octaveIntoPass;
        double octaveIntoStopHp;  // at 500 Hz
        double octaveIntoStopLp;  // at 2 kHz
    };
    const Case cases[] = {
        {0, -6.021, -1.935, -13.983, -13.994}, {1, -5.985, -1.214, -19.284, -19.303},
        {2, -5.950, -0.492, -24.584, -24.611}, {3, -6.747, -0.494, -30.609, -30.643},
        {4, -6.021, -0.134, -36.272, -36.313}, {5, -6.653, -0.196, -42.357, -42.405},
        {6, -5.620, 0.032, -48.152, -48.207},
    };
    const int i500 = GridIndexOf(500), i1k = GridIndexOf(1000), i2k = GridIndexOf(2000);
    for (const Case& c : cases) {
        SCOPED_TRACE(12 + 6 * c.order);
        const ResponseCurve hp = Crossover(kBandHighPass, 0, c.order, 1000).GetResponse();
        const ResponseCurve lp = Crossover(kBandLowPass, 0, c.order, 1000).GetResponse();
        EXPECT_NEAR(hp[i1k], c.corner, 0.01);
        EXPECT_NEAR(lp[i1k], c.corner, 0.01);
        EXPECT_NEAR(hp[i2k], c.octaveIntoPass, 0.01);
        EXPECT_NEAR(lp[i500], c.octaveIntoPass, 0.01);
        EXPECT_NEAR(hp[i500], c.octaveIntoStopHp, 0.01);
        EXPECT_NEAR(lp[i2k], c.octaveIntoStopLp, 0.01);
    }
}

// Far in the stop band every family falls at 6 dB/Oct per filter order
// (12 .. 48 dB/Oct), and the pass band stays at 0 dB.
TEST_F(FilterResponse, EveryFamilyAndOrderHasItsSlope) {
    const int i50 = GridIndexOf(50), i100 = GridIndexOf(100), i10k = GridIndexOf(10000);
    const int i5k = GridIndexOf(5000);
    for (int family = 0; family <= 2; ++family) {
        double previousStop = 0;
        for (int order = 0; order <= 6; ++order) {
            const double slope = 12.0 + 6.0 * order;
            const ResponseCurve hp = Crossover(kBandHighPass, family, order, 1000).GetResponse();
            EXPECT_NEAR(hp[i100] - hp[i50], slope, 0.25) << family << " " << order;
            EXPECT_NEAR(hp[i10k], 0.0, 0.1) << family << " " << order;
            EXPECT_LT(hp[i100], previousStop) << family << " " << order;
            previousStop = hp[i100];
            // Low-pass: one octave 5 kHz -> 10 kHz is well into the stop band
            // (bilinear warping near Nyquist makes it steeper, never shallower).
            const ResponseCurve lp = Crossover(kBandLowPass, family, order, 1000).GetResponse();
            EXPECT_GT(lp[i5k] - lp[i10k], slope - 0.25) << family << " " << order;
            EXPECT_NEAR(lp[i100], 0.0, 0.1) << family << " " << order;
        }
    }
}

TEST_F(FilterResponse, BesselHighAndLowPassAreNotMirrors) {
    const int at1k = GridIndexOf(1000);
    const double hp = Crossover(kBandHighPass, 1, 0, 1000).GetResponse()[at1k];
    const double lp = Crossover(kBandLowPass, 1, 0, 1000).GetResponse()[at1k];
    EXPECT_GT(std::abs(hp - lp), 1.0);
}

TEST_F(FilterResponse, TwoSlopeModeMapsCodeOneTo24dB) {
    const CFilter twoSlope = Crossover(kBandHighPass, 2, 1, 300, true);
    const CFilter order24 = Crossover(kBandHighPass, 2, 2, 300);
    const CFilter order18 = Crossover(kBandHighPass, 2, 1, 300);
    EXPECT_EQ(twoSlope.GetResponse(), order24.GetResponse());
    EXPECT_NE(twoSlope.GetResponse(), order18.GetResponse());
    EXPECT_EQ(Crossover(kBandHighPass, 2, 0, 300, true).GetResponse(),
              Crossover(kBandHighPass, 2, 0, 300).GetResponse());
}

TEST_F(FilterResponse, FlatCases) {
    struct Case {
        const char* what;
        CFilter filter;
    };
    const Case cases[] = {
        {"high-pass at 20 Hz", Crossover(kBandHighPass, 0, 6, 20)},
        {"high-pass off", Crossover(kBandHighPass, 0, kSlopeOff, 1000)},
        {"low-pass at 20 kHz", Crossover(kBandLowPass, 1, 6, 20000)},
        {"low-pass off", Crossover(kBandLowPass, 1, kSlopeOff, 1000)},
        {"slope code beyond the table", Crossover(kBandLowPass, 2, 9, 1000)},
        {"band at 0 dB", PeakingBand(1000, 200)},
        {"new filter", CFilter{}},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(IsFlat(c.filter)) << c.what;
}

TEST_F(FilterResponse, ShelvesReachTheirGainOnTheirSide) {
    struct Case {
        int type, slope, freq;
        double at20, at20k;
        double halfGainFreq;  // where a 6 dB/Oct shelf is at half its gain
    };
    const Case cases[] = {
        {kBandLowShelf, 0, 1000, 6.0, 0.0, 2000},
        {kBandLowShelf, 1, 1000, 6.0, 0.0, 0},
        {kBandHighShelf, 0, 2200, 0.0, 6.0, 1000},  // 2200 x 0.4545 = 1000
        {kBandHighShelf, 1, 1000, 0.0, 6.0, 0},
    };
    for (const auto& c : cases) {
        CFilter shelf;
        shelf.SetType(c.type);
        shelf.SetSlope(c.slope, false);
        shelf.SetFreq(c.freq, false);
        shelf.SetGainIndex(260);
        const auto& r = shelf.GetResponse();
        EXPECT_NEAR(r[1], c.at20, 0.1) << c.type << " " << c.slope;
        EXPECT_NEAR(r[240], c.at20k, 0.1) << c.type << " " << c.slope;
        if (c.halfGainFreq > 0) {
            EXPECT_NEAR(r[GridIndexOf(c.halfGainFreq)], 3.0, 0.01);
        }
    }
}

TEST_F(FilterResponse, TwelveDbShelfIsSteeperThanSixDb) {
    auto shelfAt = [](int slope, double f) {
        CFilter shelf;
        shelf.SetType(kBandLowShelf);
        shelf.SetSlope(slope, false);
        shelf.SetFreq(1000, false);
        shelf.SetGainIndex(300);  // +10 dB
        return shelf.GetResponse()[GridIndexOf(f)];
    };
    EXPECT_GT(shelfAt(1, 630) - shelfAt(1, 2520), shelfAt(0, 630) - shelfAt(0, 2520));
}

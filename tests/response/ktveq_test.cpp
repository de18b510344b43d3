// A channel's equalizer: element order, band records and the combined curve.

#include <gtest/gtest.h>

#include <algorithm>

#include "base/globals.h"
#include "response/ktveq.h"
#include "tables/value_tables.h"

namespace {

class Equalizer : public ::testing::Test {
protected:
    void SetUp() override {
        g_bOnline = false;
        eq.BuildBands(30, 32, 9, 20, 20000);
    }
    void TearDown() override { g_bOnline = false; }

    CKTVEQ eq;
};

struct RecordCase {
    const char* what;
    BYTE in[8];
    double gain;
    bool flat;
    double bandwidth;
    BYTE out[8];  // what GetBandRecord gives back
};

}  // namespace

TEST_F(Equalizer, OutputChannelLayout) {
    ASSERT_EQ(eq.GetFilterCount(), 33);
    EXPECT_EQ(eq.GetBandCount(), 31);
    for (int i = 0; i < 31; ++i) {
        const CFilter* band = eq.GetBand(i);
        ASSERT_NE(band, nullptr);
        EXPECT_EQ(band, eq.GetFilter(i));
        EXPECT_EQ(band->GetFreq(), kIsoBandFreq[i]);
        EXPECT_EQ(band->GetSentFreq(), kIsoBandFreq[i]);
        EXPECT_EQ(band->GetIndex(), i);
        EXPECT_EQ(band->GetType(), kBandPeaking);
        EXPECT_TRUE(band->HasMarker());
        EXPECT_TRUE(band->IsFlat());
    }
    const CFilter* hp = eq.GetHighPass();
    const CFilter* lp = eq.GetLowPass();
    ASSERT_TRUE(hp && lp);
    EXPECT_EQ(hp, eq.GetFilter(31));
    EXPECT_EQ(lp, eq.GetFilter(32));
    for (const CFilter* x : {hp, lp}) {
        EXPECT_FALSE(x->HasMarker());
        EXPECT_EQ(x->GetIndex(), 32);
        EXPECT_EQ(x->GetDragMode(), 9);
    }
    EXPECT_EQ(hp->GetFreq(), 20);
    EXPECT_EQ(hp->GetSentFreq(), 20);
    EXPECT_EQ(lp->GetFreq(), 20000);
    EXPECT_EQ(lp->GetSentFreq(), 20000);
    EXPECT_EQ(eq.GetBand(31), nullptr);
    EXPECT_EQ(eq.GetBand(-1), nullptr);
    const ResponseCurve total = eq.TotalResponse();
    EXPECT_TRUE(std::all_of(total.begin(), total.end(), [](double v) { return v == 0.0; }));
}

TEST_F(Equalizer, InputAndEffectLayouts) {
    CKTVEQ input;
    input.BuildInputBands();
    ASSERT_EQ(input.GetBandCount(), 9);
    EXPECT_EQ(input.GetBand(0)->GetType(), kBandLowShelf);
    EXPECT_EQ(input.GetBand(8)->GetType(), kBandHighShelf);
    EXPECT_EQ(input.GetBand(0)->GetSlope(), 0);
    EXPECT_EQ(input.GetBand(4)->GetType(), kBandPeaking);
    EXPECT_EQ(input.GetBand(4)->GetFreq(), kInputBandFreq[4]);
    for (const CFilter* x : {input.GetHighPass(), input.GetLowPass()}) {
        EXPECT_EQ(x->GetIndex(), 10);
        EXPECT_TRUE(x->IsTwoSlopes());
        EXPECT_EQ(x->GetSlope(), 0);
        EXPECT_EQ(x->GetXoverType(), kButterworth);
    }

    CKTVEQ effect;
    effect.BuildEffectBands();
    ASSERT_EQ(effect.GetBandCount(), 3);
    EXPECT_EQ(effect.GetBand(2)->GetFreq(), 10000);
    EXPECT_EQ(effect.GetLowPass()->GetDragMode(), 6);
    EXPECT_EQ(effect.GetHighPass()->GetIndex(), 8);
    EXPECT_EQ(effect.GetLowPass()->GetFreq(), 20000);
}

TEST_F(Equalizer, BandRecords) {
    // clang-format off
    const RecordCase cases[] = {
        {"+12 dB, 0.2 octave", {0xE8, 0x03, 0xD0, 0x02, 15, 0, 0, 0}, 12.0, false, 0.20,
                               {0xE8, 0x03, 0xD0, 0x02, 15, 0, 0, 0}},
        {"0 dB is flat",       {0x64, 0x00, 0x58, 0x02, 95, 0, 1, 1}, 0.0, true, 1.00,
                               {0x64, 0x00, 0x58, 0x02, 95, 0, 1, 1}},
        {"-20 dB",             {0x20, 0x4E, 0x90, 0x01, 0x27, 0x01, 0, 2}, -20.0, false, 3.00,
                               {0x20, 0x4E, 0x90, 0x01, 0x27, 0x01, 0, 2}},
        {"index 3 loads as 0.09", {0x14, 0x00, 0x58, 0x02, 3, 0, 0, 0}, 0.0, true, 0.09,
                                  {0x14, 0x00, 0x58, 0x02, 4, 0, 0, 0}},
        {"a zeroed record",    {0, 0, 0, 0, 0, 0, 0, 0}, -20.0, false, 0.09,
                               {0, 0, 0x90, 0x01, 4, 0, 0, 0}},
    };
    // clang-format on
    for (const auto& c : cases) {
        ASSERT_TRUE(eq.SetBandRecord(5, c.in)) << c.what;
        const CFilter* band = eq.GetBand(5);
        EXPECT_DOUBLE_EQ(band->GetGain(), c.gain) << c.what;
        EXPECT_EQ(band->IsFlat(), c.flat) << c.what;
        EXPECT_NEAR(band->GetBandwidth(), c.bandwidth, 1e-12) << c.what;
        BYTE out[8] = {};
        ASSERT_TRUE(eq.GetBandRecord(5, out));
        EXPECT_TRUE(std::equal(out, out + 8, c.out)) << c.what;
    }
    BYTE out[8];
    EXPECT_FALSE(eq.GetBandRecord(31, out)) << "the crossover is no band";
    EXPECT_FALSE(eq.SetBandRecord(-1, out));
}

TEST_F(Equalizer, BypassedBandTravelsAsZeroDb) {
    const BYTE in[8] = {0xE8, 0x03, 0xD0, 0x02, 15, 0, 0, 0};
    eq.SetBandRecord(3, in);
    eq.GetBand(3)->SetBypass(true);
    BYTE out[8];
    eq.GetBandRecord(3, out);
    EXPECT_EQ(GetWord(out + 2), 600);
}

TEST_F(Equalizer, LoadingOnlineStartsTheStepsToALargeUpwardFrequency) {
    g_bOnline = true;
    eq.GetBand(2)->SetFreq(100, false);
    const BYTE in[8] = {0x40, 0x1F, 0x58, 0x02, 15, 0, 0, 0};  // 8000 Hz
    eq.SetBandRecord(2, in);
    EXPECT_EQ(eq.GetBand(2)->GetFreq(), 8000);
    EXPECT_EQ(eq.GetBand(2)->GetSentFreq(), 200);
    EXPECT_TRUE(eq.GetBand(2)->IsPending());
    g_bOnline = false;
    eq.SetBandRecord(4, in);
    EXPECT_EQ(eq.GetBand(4)->GetSentFreq(), 8000);
    EXPECT_FALSE(eq.GetBand(4)->IsPending());
}

TEST_F(Equalizer, CurveIsTheSumOfAllFilters) {
    eq.SetRect(600, 320);
    for (int i : {10, 11, 12}) {
        eq.GetBand(i)->SetFreq(1000, false);
        eq.GetBand(i)->SetGainIndex(300);  // +10 dB
    }
    const ResponseCurve total = eq.TotalResponse();
    EXPECT_NEAR(total[136], 30.0, 1e-3);

    eq.SumCurve();
    const PlotGeometry& plot = eq.GetPlot();
    const auto& pts = eq.GetCurvePoints();
    const auto& ptsF = eq.GetCurvePointsF();
    // Nothing is clamped: +30 dB lies 80 px above the plot's top edge.
    EXPECT_EQ(pts[136].y, plot.DbToY(total[136]) + 10);
    EXPECT_LT(pts[136].y, 10);
    EXPECT_NEAR(ptsF[136].y, plot.DbToYf(total[136]) + 10, 1e-3);
    EXPECT_NEAR(ptsF[136].x, plot.FreqToXf(1000) + 35, 1e-3);
    EXPECT_EQ(pts[0].x, plot.FreqToX(19.7) + 35);
    EXPECT_EQ(pts[240].y, 170) << "far from the bands the sum is 0 dB";

    // The high-pass adds in.
    eq.GetHighPass()->SetSlope(6, false);
    eq.GetHighPass()->SetFreq(100, false);
    EXPECT_LT(eq.TotalResponse()[0], -100.0);

    eq.SingleCurve(11);
    EXPECT_EQ(eq.GetCurvePoints()[136].y, plot.DbToY(eq.GetBand(11)->GetResponse()[136]) + 10);
}

TEST_F(Equalizer, SetRectReachesEveryFilter) {
    eq.SetRect(600, 320);
    for (int i = 0; i < eq.GetFilterCount(); ++i) {
        EXPECT_EQ(eq.GetFilter(i)->GetPlot().width, 600);
        EXPECT_EQ(eq.GetFilter(i)->GetPlot().height, 320);
    }
    EXPECT_EQ(eq.GetBand(17)->GetMarkerRect().left, 339 - 8 + 35);
}

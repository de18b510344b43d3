// Filter parameters: gain, bandwidth and bypass rules, pending marks, the
// transmitted frequency, copying and label texts.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "base/globals.h"
#include "response/filter.h"
#include "tables/value_tables.h"

namespace {

bool IsFlatCurve(const CFilter& f) {
    const auto& r = f.GetResponse();
    return std::all_of(r.begin(), r.end(), [](double v) { return v == 0.0; });
}

CFilter HighPass(int freq) {
    CFilter x;
    x.SetHasMarker(false);
    x.SetType(kBandHighPass);
    x.SetFreq(freq, false);
    return x;
}

class FilterState : public ::testing::Test {
protected:
    void SetUp() override { g_bOnline = false; }
    void TearDown() override { g_bOnline = false; }
};

}  // namespace

TEST_F(FilterState, GainIndexZeroMakesFlatAndOtherGainsClearBothBypasses) {
    CFilter band;
    band.SetGainIndex(260);
    EXPECT_FALSE(band.IsFlat());
    EXPECT_EQ(band.GetGainIndex(), 260);
    EXPECT_DOUBLE_EQ(band.GetGain(), 6.0);

    band.SetGainIndex(200);
    EXPECT_TRUE(band.IsFlat());
    EXPECT_EQ(band.GetGain(), 0.0);
    EXPECT_EQ(band.GetGainIndex(), 200);
    EXPECT_TRUE(IsFlatCurve(band));

    band.SetGainIndex(320);
    band.SetEqBypass(true);
    EXPECT_EQ(band.GetGainIndex(), 200);  // bypassed bands travel as 0 dB
    band.SetGainIndex(100);
    EXPECT_FALSE(band.IsEqBypass());
    EXPECT_FALSE(band.IsFlat());
    EXPECT_EQ(band.GetGainIndex(), 100);
}

TEST_F(FilterState, GainIndexOutsideTheRangeIsHeldAtTheEnds) {
    CFilter band;
    band.SetGainIndex(-400);  // a zeroed image word
    EXPECT_DOUBLE_EQ(band.GetGain(), -20.0);
    band.SetGainIndex(900);
    EXPECT_DOUBLE_EQ(band.GetGain(), 20.0);
}

TEST_F(FilterState, BandwidthIndex) {
    struct Case {
        int index;
        double octaves;
        int readBack;
    };
    const Case cases[] = {{0, 0.09, 4},   {3, 0.09, 4},     {4, 0.09, 4},     {5, 0.10, 5},
                          {15, 0.20, 15}, {295, 3.00, 295}, {1000, 3.00, 295}};
    for (const auto& c : cases) {
        CFilter band;
        band.SetBandwidthIndex(c.index);
        EXPECT_NEAR(band.GetBandwidth(), c.octaves, 1e-12) << c.index;
        EXPECT_EQ(band.GetBandwidthIndex(), c.readBack) << c.index;
    }
}

TEST_F(FilterState, BypassRules) {
    CFilter zero;
    zero.SetBypass(false);
    EXPECT_TRUE(zero.IsFlat()) << "a 0 dB band stays flat";
    EXPECT_TRUE(IsFlatCurve(zero));

    CFilter band;
    band.SetGainIndex(260);
    const auto boosted = band.GetResponse();
    band.SetBypass(true);
    EXPECT_TRUE(band.IsBypassed());
    EXPECT_TRUE(IsFlatCurve(band));
    EXPECT_EQ(band.GetGainIndex(), 200);
    band.SetBypass(false);
    EXPECT_EQ(band.GetResponse(), boosted);
    EXPECT_EQ(band.GetGainIndex(), 260);

    // Un-bypassing a band of a bypassed equalizer brings it back.
    band.SetEqBypass(true);
    EXPECT_TRUE(IsFlatCurve(band));
    band.SetBypass(false);
    EXPECT_FALSE(band.IsBypassed());
    EXPECT_EQ(band.GetResponse(), boosted);
}

TEST_F(FilterState, EqBypassRestoresTheSavedState) {
    CFilter band;
    band.SetGainIndex(260);
    band.SetEqBypass(true);
    EXPECT_TRUE(band.IsEqBypass());
    EXPECT_TRUE(IsFlatCurve(band));
    band.SetEqBypass(false);
    EXPECT_FALSE(band.IsEqBypass());
    EXPECT_FALSE(IsFlatCurve(band));
}

TEST_F(FilterState, EqBypassLeavesCrossoversAlone) {
    CFilter hp = HighPass(200);
    const auto curve = hp.GetResponse();
    hp.SetEqBypass(true);
    EXPECT_EQ(hp.GetResponse(), curve);
}

// Every marking setter copies g_bOnline into the pending marker; the channel
// operations (reset, copy, equalizer bypass) never mark.
TEST_F(FilterState, SettersMarkOnlyWhileOnline) {
    struct Case {
        const char* what;
        std::function<void(CFilter&)> edit;
        bool marks;
    };
    CFilter source;
    source.SetGainIndex(300);
    const std::vector<Case> cases = {
        {"SetFreq step", [](CFilter& f) { f.SetFreq(500, true); }, true},
        {"SetFreq no step", [](CFilter& f) { f.SetFreq(500, false); }, false},
        {"SetGainIndex", [](CFilter& f) { f.SetGainIndex(210); }, true},
        {"SetBandwidthIndex", [](CFilter& f) { f.SetBandwidthIndex(30); }, true},
        {"SetSlope mark", [](CFilter& f) { f.SetSlope(1, true); }, true},
        {"SetSlope no mark", [](CFilter& f) { f.SetSlope(1, false); }, false},
        {"SetXoverType mark", [](CFilter& f) { f.SetXoverType(0, true); }, true},
        {"SetXoverType no mark", [](CFilter& f) { f.SetXoverType(0, false); }, false},
        {"SetType", [](CFilter& f) { f.SetType(1); }, true},
        {"SetBypass", [](CFilter& f) { f.SetBypass(true); }, true},
        {"SetEqBypass", [](CFilter& f) { f.SetEqBypass(true); }, false},
        {"ResetBand", [](CFilter& f) { f.ResetBand(100); }, false},
        {"CopyValues", [&](CFilter& f) { f.CopyValues(source); }, false},
    };
    for (bool online : {false, true}) {
        for (const auto& c : cases) {
            g_bOnline = false;
            CFilter band;
            band.SetFreq(1000, false);
            band.SetGainIndex(260);  // not flat, so that a bypass changes something
            g_bOnline = online;
            c.edit(band);
            EXPECT_EQ(band.IsPending(), online && c.marks) << c.what << " online " << online;
        }
    }
}

TEST_F(FilterState, LargeUpwardChangeIsSentInOctaveSteps) {
    CFilter hp = HighPass(100);
    g_bOnline = true;
    hp.SetFreq(8000, true);
    EXPECT_TRUE(hp.IsPending());
    EXPECT_EQ(hp.GetSentFreq(), 100);
    std::vector<int> sent;
    while (hp.IsPending() && sent.size() < 20) {
        hp.StepSentFreq(false);
        sent.push_back(hp.GetSentFreq());
    }
    // The last call finds the target reached, clears the marker and repeats it.
    EXPECT_EQ(sent, (std::vector<int>{200, 400, 800, 1600, 3200, 6400, 8000, 8000}));
    EXPECT_FALSE(hp.IsPending());
}

TEST_F(FilterState, DownwardAndSmallChangesAreSentAtOnce) {
    struct Case {
        int from, to, sent;
    };
    const Case cases[] = {{8000, 100, 100}, {1000, 1999, 1999}, {1000, 2000, 1000}, {20, 20, 20}};
    for (const auto& c : cases) {
        g_bOnline = false;
        CFilter band;
        band.SetFreq(c.from, false);
        g_bOnline = true;
        band.SetFreq(c.to, true);
        EXPECT_EQ(band.GetSentFreq(), c.sent) << c.from << " -> " << c.to;
        EXPECT_EQ(band.GetFreq(), c.to);
    }
}

TEST_F(FilterState, OfflineChangesTakeTheSentFrequencyAlong) {
    // Nothing is transmitted offline; the image (and a file saved from it)
    // must carry the new frequency, for bands and crossovers alike.
    CFilter band;
    band.SetFreq(100, false);
    band.SetFreq(8000, true);
    EXPECT_EQ(band.GetSentFreq(), 8000);
    EXPECT_FALSE(band.IsPending());
    CFilter hp = HighPass(100);
    hp.SetFreq(8000, true);
    EXPECT_EQ(hp.GetSentFreq(), 8000);
}

TEST_F(FilterState, StepSentFreqHalvesWhenTheTargetIsFarBelow) {
    CFilter band;
    band.SetFreq(1000, false);
    band.SetSentFreq(8000);
    band.StepSentFreq(false);
    EXPECT_EQ(band.GetSentFreq(), 4000);
    band.SetSentFreq(0);  // never divides by zero
    band.StepSentFreq(false);
    EXPECT_EQ(band.GetSentFreq(), 40);
    EXPECT_TRUE(band.IsPending());
}

TEST_F(FilterState, LowPassTypeStartsItsSentFrequencyAtTheTop) {
    CFilter lp;
    lp.SetType(kBandLowPass);
    EXPECT_EQ(lp.GetSentFreq(), 20000);
}

TEST_F(FilterState, CopyValuesKeepsTheFrequencyInFixedDragMode) {
    CFilter source = HighPass(300);
    source.SetSlope(4, false);
    source.SetXoverType(1, false);
    for (int mode : {8, static_cast<int>(kDragFixed)}) {
        CFilter target = HighPass(50);
        target.SetDragMode(mode);
        target.CopyValues(source);
        EXPECT_EQ(target.GetFreq(), mode == kDragFixed ? 50 : 300);
        EXPECT_EQ(target.GetSentFreq(), target.GetFreq());
        EXPECT_EQ(target.GetSlope(), 4);
        EXPECT_EQ(target.GetXoverType(), 1);
    }
}

TEST_F(FilterState, ResetBandReturnsToAFlatBand) {
    CFilter band;
    band.SetGainIndex(320);
    band.SetBandwidthIndex(100);
    band.ResetBand(630);
    EXPECT_EQ(band.GetFreq(), 630);
    EXPECT_EQ(band.GetSentFreq(), 630);
    EXPECT_EQ(band.GetBandwidthIndex(), 15);
    EXPECT_TRUE(band.IsFlat());
    EXPECT_TRUE(IsFlatCurve(band));
}

TEST_F(FilterState, LabelTexts) {
    struct Case {
        int type, freq, gainIndex, bwIndex, slope;
        const char* label;
    };
    const Case cases[] = {
        {kBandPeaking, 1000, 230, 15, 0, "G:3.0-F:1000-Q:7.208"},
        {kBandPeaking, 1000, 200, 4, 0, "G:0.0-F:1000-Q:16.03"},
        {kBandPeaking, 63, 80, 95, 0, "G:-12.0-F:63-Q:1.414"},
        {kBandLowShelf, 100, 170, 15, 1, "Lo 100-12dB/Oct G-3.0"},
        {kBandHighShelf, 8000, 230, 15, 0, "Hi F:8000-6dB/Oct G:3.0"},
        {kBandHighPass, 80, 200, 15, 2, "F:80"},
        {kBandLowPass, 12000, 200, 15, 2, "F:12000"},
    };
    for (const auto& c : cases) {
        CFilter f;
        f.SetHasMarker(c.type < kBandHighPass);
        f.SetType(c.type);
        f.SetSlope(c.slope, false);
        f.SetFreq(c.freq, false);
        f.SetGainIndex(c.gainIndex);
        f.SetBandwidthIndex(c.bwIndex);
        EXPECT_EQ(f.GetLabelText(), c.label);
    }
    CFilter bypassed;
    bypassed.SetGainIndex(230);
    bypassed.SetBypass(true);
    EXPECT_EQ(bypassed.GetLabelText(), "G:0.0-F:1000-Q:7.208");
}

TEST_F(FilterState, ShelfSlopeText) {
    CFilter shelf;
    for (auto [slope, text] : {std::pair{0, "6dB/Oct"}, {1, "12dB/Oct"}, {2, ""}}) {
        shelf.SetSlope(slope, false);
        EXPECT_EQ(shelf.GetShelfSlopeText(), text);
    }
}

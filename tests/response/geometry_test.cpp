// Plot coordinates, marker/handle/label placement and the drag rules of the
// response graph (no drawing).

#include <gtest/gtest.h>

#include <cmath>

#include "base/globals.h"
#include "response/filter.h"
#include "tables/value_tables.h"

namespace {

constexpr int kW = 600;  // 200 px per decade
constexpr int kH = 320;  // 8 px per dB

class Geometry : public ::testing::Test {
protected:
    void SetUp() override { g_bOnline = false; }

    static CFilter Band(int index, int freq, int gainIndex, int type = kBandPeaking) {
        CFilter band;
        band.SetIndex(index);
        band.SetType(type);
        band.SetRect(kW, kH);
        band.SetFreq(freq, false);
        band.SetGainIndex(gainIndex);
        return band;
    }

    static CFilter Xover(int type, int freq, int dragMode) {
        CFilter x;
        x.SetHasMarker(false);
        x.SetType(type);
        x.SetDragMode(dragMode);
        x.SetRect(kW, kH);
        x.SetFreq(freq, false);
        return x;
    }

    // Client point of a frequency and gain.
    static Point At(double freq, double db) {
        PlotGeometry plot{kW, kH};
        return {plot.FreqToX(freq) + kPlotLeft, plot.DbToY(db) + kPlotTop};
    }

    // Grab the marker at its centre and drag it to p.
    static bool DragMarkerTo(CFilter& f, Point p, int limit = 0) {
        f.BeginMarkerDrag(f.GetMarkerRect().Center());
        return f.HasMarker() ? f.DragBandMarker(p) : f.DragXoverMarker(p, limit);
    }
};

struct RecordingObserver : IFilterObserver {
    int freq = -1;
    int gainIndex = -1;
    void OnFilterFreq(int n) override { freq = n; }
    void OnFilterGainIndex(int n) override { gainIndex = n; }
};

}  // namespace

TEST_F(Geometry, Mapping) {
    const PlotGeometry plot{kW, kH};
    struct FreqCase {
        double f;
        int x;
    };
    // 19.7 Hz lies 1.3 px left of the axis: truncation goes toward zero.
    for (auto c : {FreqCase{20, 0}, FreqCase{200, 200}, FreqCase{1000, 339}, FreqCase{20000, 600},
                   FreqCase{19.7, -1}}) {
        EXPECT_EQ(plot.FreqToX(c.f), c.x) << c.f;
        EXPECT_NEAR(plot.FreqToXf(c.f), 200 * std::log10(c.f / 20), 1e-9);
    }
    struct DbCase {
        double g;
        int y;
    };
    for (auto c : {DbCase{20, 0}, DbCase{0, 160}, DbCase{-20, 320}, DbCase{0.06, 160},
                   DbCase{0.07, 159}, DbCase{25, -39}, DbCase{-30, 400}}) {
        EXPECT_EQ(plot.DbToY(c.g), c.y) << c.g;
    }
    EXPECT_DOUBLE_EQ(plot.DbToYf(0.06), 159.52);
    struct XCase {
        int x, f;
    };
    for (auto c : {XCase{0, 20}, XCase{-50, 20}, XCase{200, 200}, XCase{339, 990},
                   XCase{600, 20000}, XCase{700, 20000}}) {
        EXPECT_EQ(plot.XToFreq(c.x), c.f) << c.x;
    }
    // A plot without a size maps everything to the origin, without faults.
    const PlotGeometry none{};
    EXPECT_EQ(none.FreqToX(1000), 0);
    EXPECT_EQ(none.XToFreq(100), 20);
    EXPECT_EQ(none.YToDb(100), 0.0);
}

TEST_F(Geometry, PixelRowToGainIsTheInverseAtTenthDb) {
    for (int h : {320, 301, 200, 399}) {
        const PlotGeometry plot{kW, h};
        EXPECT_EQ(plot.YToDb(plot.DbToY(0)), 0.0) << "0 dB line, height " << h;
        EXPECT_EQ(plot.YToDb(0), 20.0);
        EXPECT_EQ(plot.YToDb(h), -20.0);
        for (int y = 0; y <= h; ++y) {
            const double g = plot.YToDb(y);
            EXPECT_NEAR(g * 10, std::round(g * 10), 1e-9) << y;
            EXPECT_EQ(plot.DbToY(g), y) << "height " << h << " row " << y;
        }
    }
}

TEST_F(Geometry, BandMarkerIsClampedAtThePlotEdges) {
    struct Case {
        const char* what;
        int index, freq, gainIndex;
        Rect marker;
    };
    const Case cases[] = {
        // Lower bands may reach 8 px left of the plot; from band 10 on they stay inside.
        {"band 1 at 20 Hz", 0, 20, 200, {27, 162, 43, 178}},
        {"band 10 at 20 Hz", 9, 20, 200, {35, 162, 51, 178}},
        {"at 20 kHz", 30, 20000, 200, {619, 162, 635, 178}},
        {"at +20 dB", 17, 1000, 400, {366, 10, 382, 26}},
        {"at -20 dB", 17, 1000, 0, {366, 314, 382, 330}},
        {"at 0 dB", 17, 1000, 200, {366, 162, 382, 178}},
    };
    for (const auto& c : cases) {
        const CFilter band = Band(c.index, c.freq, c.gainIndex);
        EXPECT_EQ(band.GetMarkerRect(), c.marker) << c.what;
    }
}

TEST_F(Geometry, LabelSitsBelowTheMarkerOrAboveNearTheBottom) {
    const CFilter mid = Band(17, 1000, 230);
    const Rect m = mid.GetMarkerRect();
    EXPECT_EQ(mid.GetLabelRect(), (Rect{m.left, m.top + 25, m.right + 210, m.bottom + 25}));

    const CFilter low = Band(17, 1000, 0);  // -20 dB
    const Rect lm = low.GetMarkerRect();
    EXPECT_EQ(low.GetLabelRect().bottom, lm.bottom - 25);
    EXPECT_EQ(low.GetLabelRect().top, lm.top - 25);

    // Near the right edge the label is pulled left to end at the plot's edge.
    const CFilter right = Band(30, 20000, 230);
    EXPECT_EQ(right.GetLabelRect().right, kW + kPlotLeft);
    EXPECT_EQ(right.GetLabelRect().left, kW + kPlotLeft - 200);
    const CFilter shelf = Band(30, 20000, 230, kBandHighShelf);
    EXPECT_EQ(shelf.GetLabelRect().left, kW + kPlotLeft - 116);
    const CFilter shelfMid = Band(3, 100, 230, kBandLowShelf);
    EXPECT_EQ(shelfMid.GetLabelRect().right, shelfMid.GetMarkerRect().right + 90);
}

TEST_F(Geometry, BandwidthHandlesFlankTheBand) {
    CFilter band = Band(17, 1000, 260);
    band.SetBandwidthIndex(95);  // 1.0 octave
    const Point c = band.GetMarkerRect().Center();
    const PlotGeometry plot{kW, kH};
    const int xr = plot.FreqToX(2000) + 45, xl = plot.FreqToX(500) + 25;
    EXPECT_EQ(band.GetBwRightRect(), (Rect{xr - 6, c.y + 4, xr + 7, c.y + 16}));
    EXPECT_EQ(band.GetBwLeftRect(), (Rect{xl - 7, c.y + 4, xl + 6, c.y + 16}));
    band.SetGainIndex(140);  // a cut puts them above the marker
    EXPECT_EQ(band.GetBwRightRect().top, band.GetMarkerRect().Center().y - 16);
}

TEST_F(Geometry, CrossoverMarkers) {
    const CFilter hp = Xover(kBandHighPass, 20, 8);
    const PlotGeometry plot{kW, kH};
    EXPECT_EQ(hp.GetMarkerRect(), (Rect{27, plot.DbToY(-12) + 10, 43, plot.DbToY(-12) + 26}));
    EXPECT_EQ(hp.GetLabelRect(),
              (Rect{27, hp.GetMarkerRect().top + 15, 93, hp.GetMarkerRect().bottom + 25}));
    const CFilter lp = Xover(kBandLowPass, 20000, 8);
    EXPECT_EQ(lp.GetMarkerRect().right, kW + 8 + kPlotLeft);
    EXPECT_EQ(lp.GetMarkerRect().top, plot.DbToY(-15) + 10);
    EXPECT_EQ(lp.GetLabelRect(), (Rect{kW + kPlotLeft - 66, lp.GetMarkerRect().top - 15,
                                       kW + kPlotLeft, lp.GetMarkerRect().bottom + 20}));
}

TEST_F(Geometry, DraggingABandMarker) {
    CFilter band = Band(17, 1000, 200);
    RecordingObserver observer;
    band.SetLinkedCtrl(&observer);

    EXPECT_TRUE(DragMarkerTo(band, At(200, 6.0)));
    EXPECT_EQ(band.GetFreq(), 200);
    EXPECT_DOUBLE_EQ(band.GetGain(), 6.0);
    EXPECT_FALSE(band.IsFlat());
    EXPECT_EQ(observer.gainIndex, 260);
    // The marker follows, so the same point is no change.
    EXPECT_FALSE(band.DragBandMarker(At(200, 6.0)));

    // Back onto the 0 dB line: exactly 0 dB, flat.
    EXPECT_TRUE(DragMarkerTo(band, At(200, 0.0)));
    EXPECT_EQ(band.GetGain(), 0.0);
    EXPECT_TRUE(band.IsFlat());
    EXPECT_EQ(band.GetGainIndex(), 200);

    // Beyond the plot: held at the edges, and the top edge always counts.
    EXPECT_TRUE(DragMarkerTo(band, {5000, -100}));
    EXPECT_EQ(band.GetFreq(), 20000);
    EXPECT_DOUBLE_EQ(band.GetGain(), 20.0);
    EXPECT_TRUE(band.DragBandMarker({5000, -100}));
    EXPECT_TRUE(DragMarkerTo(band, {-100, 5000}));
    EXPECT_EQ(band.GetFreq(), 20);
    EXPECT_DOUBLE_EQ(band.GetGain(), -20.0);
}

TEST_F(Geometry, DragOffsetKeepsTheGrabPoint) {
    CFilter band = Band(17, 200, 200);  // 200 Hz sits exactly on a pixel column
    const Point c = band.GetMarkerRect().Center();
    band.BeginMarkerDrag({c.x + 5, c.y - 3});  // grabbed off-centre
    EXPECT_FALSE(band.DragBandMarker({c.x + 5, c.y - 3}));
    EXPECT_EQ(band.GetFreq(), 200);
    EXPECT_TRUE(band.DragBandMarker({c.x + 5 + 200, c.y - 3}));
    EXPECT_EQ(band.GetFreq(), 2000);
}

TEST_F(Geometry, BandDragMarksWhileOnline) {
    CFilter band = Band(17, 1000, 200);
    g_bOnline = true;
    DragMarkerTo(band, At(1000, 3.0));
    EXPECT_TRUE(band.IsPending());
    g_bOnline = false;
}

TEST_F(Geometry, ShelvesStayOnTheirSideOf2kHz) {
    CFilter low = Band(0, 100, 260, kBandLowShelf);
    DragMarkerTo(low, At(8000, 6.0));
    EXPECT_EQ(low.GetFreq(), 2000);
    CFilter high = Band(8, 10000, 260, kBandHighShelf);
    DragMarkerTo(high, At(100, 6.0));
    EXPECT_EQ(high.GetFreq(), 2000);
    DragMarkerTo(high, At(5000, 6.0));
    EXPECT_NEAR(high.GetFreq(), 5000, 40);
}

TEST_F(Geometry, GraphicModeMovesOnlyTheGain) {
    CFilter band = Band(17, 1000, 200);
    band.SetGeqMode(true);
    EXPECT_TRUE(DragMarkerTo(band, At(5000, -6.0)));
    EXPECT_EQ(band.GetFreq(), 1000);
    EXPECT_DOUBLE_EQ(band.GetGain(), -6.0);
    EXPECT_FALSE(DragMarkerTo(band, At(100, -6.0))) << "a sideways move changes nothing";
}

TEST_F(Geometry, DraggingBandwidthHandles) {
    CFilter band = Band(17, 1000, 260);
    const int y = band.GetBwRightRect().Center().y;
    struct Case {
        BwHandle handle;
        double toFreq;
        double octaves;
    };
    const Case cases[] = {
        {BwHandle::Right, 2000, 1.0},  {BwHandle::Left, 250, 2.0}, {BwHandle::Right, 1000, 0.09},
        {BwHandle::Right, 20000, 3.0}, {BwHandle::Left, 20, 3.0},  {BwHandle::Left, 5000, 0.09},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(band.DragBwHandle({At(c.toFreq, 0).x, y}, c.handle));
        EXPECT_NEAR(band.GetBandwidth(), c.octaves, 0.011) << c.toFreq;
        EXPECT_NEAR(band.GetBandwidth() * 100, std::round(band.GetBandwidth() * 100), 1e-9);
    }
}

// Crossover drags: the high-pass stays below the low-pass and the low-pass
// above the high-pass, with the per-channel exceptions.
TEST_F(Geometry, CrossoverDragLimits) {
    struct Case {
        const char* what;
        int type, freq, mode;
        Point to;
        int limit, result;
    };
    const Point farLeft{-200, 200}, farRight{2000, 200};
    const Case cases[] = {
        {"high-pass far left, mode 7", kBandHighPass, 1000, 7, farLeft, 5000, 20},
        {"high-pass far left, mode 8", kBandHighPass, 1000, 8, farLeft, 5000, 20},
        {"high-pass far left, mode 9", kBandHighPass, 1000, 9, farLeft, 5000, 20},
        {"high-pass right, mode 7", kBandHighPass, 100, 7, farRight, 5000, 5000},
        {"high-pass right, mode 8", kBandHighPass, 100, 8, farRight, 5000, 5000},
        {"high-pass right edge, mode 9", kBandHighPass, 100, 9, farRight, 5000, 20000},
        {"high-pass short of the low-pass, mode 9", kBandHighPass, 100, 9, At(2000, 0), 5000, 2000},
        {"low-pass far left, mode 7", kBandLowPass, 10000, 7, farLeft, 300, 300},
        {"low-pass far left, mode 8", kBandLowPass, 10000, 8, farLeft, 300, 300},
        {"low-pass right edge", kBandLowPass, 1000, 9, farRight, 300, 20000},
        {"fixed mode", kBandHighPass, 1000, kDragFixed, farLeft, 5000, 1000},
    };
    for (const auto& c : cases) {
        CFilter x = Xover(c.type, c.freq, c.mode);
        DragMarkerTo(x, c.to, c.limit);
        EXPECT_EQ(x.GetFreq(), c.result) << c.what;
    }
}

TEST_F(Geometry, HighPassDraggedToTheLeftEdgeIsFlat) {
    CFilter hp = Xover(kBandHighPass, 1000, 7);
    RecordingObserver observer;
    hp.SetLinkedCtrl(&observer);
    EXPECT_TRUE(DragMarkerTo(hp, {0, 200}, 20000));
    EXPECT_EQ(hp.GetFreq(), 20);
    EXPECT_EQ(observer.freq, 20);
    const auto& r = hp.GetResponse();
    EXPECT_TRUE(std::all_of(r.begin(), r.end(), [](double v) { return v == 0.0; }));
    EXPECT_EQ(hp.GetMarkerRect().left, kPlotLeft - 8);
    // Already there: no change.
    EXPECT_FALSE(hp.DragXoverMarker({0, 200}, 20000));
}

TEST_F(Geometry, CrossoverAtItsLimitDoesNotChange) {
    CFilter hp = Xover(kBandHighPass, 5000, 8);
    EXPECT_FALSE(DragMarkerTo(hp, {2000, 200}, 5000));
    EXPECT_EQ(hp.GetFreq(), 5000);
}

// The graph's pointer rules and notices, driven headless.
#include <gtest/gtest.h>

#include <mutex>
#include <utility>
#include <vector>

#include "model/ktv_out_data.h"
#include "tables/value_tables.h"
#include "workspace/device_link.h"
#include "workspace/graph_presenter.h"
#include "workspace/workspace_state.h"

namespace {

constexpr int kWidth = 660;
constexpr int kHeight = 278;

class CountingView : public IGraphView {
public:
    void ScheduleRepaint() override { ++repaints; }
    int repaints = 0;
};

class GraphPresenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_abCurveShown.fill(0);
        graph.SetNotice([this](int index, int code) { notices.emplace_back(index, code); });
        graph.Layout(kWidth, kHeight);
        graph.SelectOutput(0);
    }
    void TearDown() override { g_abCurveShown.fill(0); }

    CKTV_OutData& Out(int c) { return *host.Model().GetOutput(c); }
    Point MarkerOf(const CFilter* f) { return f->GetMarkerRect().Center(); }
    // A point on no marker and no handle.
    Point Empty() { return {kPlotLeft + 2, kPlotTop + 2}; }
    void DragMarker(const CFilter* f, Point to) {
        const Point from = MarkerOf(f);
        graph.OnMouseMove(from);
        graph.OnButtonDown(from);
        graph.OnMouseMove({(from.x + to.x) / 2, (from.y + to.y) / 2});
        graph.OnMouseMove(to);
        graph.OnButtonUp();
    }

    VirtualDeviceHost host;
    CountingView view;
    GraphPresenter graph{host, view};
    std::vector<std::pair<int, int>> notices;
};

TEST_F(GraphPresenterTest, ChangesBetweenTwoTicksGiveOneNoticePerFilter) {
    const CFilter* band = Out(0).GetBand(10);
    const Point from = MarkerOf(band);
    graph.OnMouseMove(from);
    graph.OnButtonDown(from);
    for (int i = 1; i <= 5; ++i)
        graph.OnMouseMove({from.x + 2 * i, from.y - 5 * i});
    graph.OnButtonUp();
    // The pointer moves on and selects another band before the tick.
    graph.OnMouseMove(MarkerOf(Out(0).GetBand(20)));
    ASSERT_EQ(graph.SelectedIndex(), 20);

    graph.OnNoticeTick();
    EXPECT_EQ(notices, (std::vector<std::pair<int, int>>{{10, kGraphChannelCodeBase}}));
    graph.OnNoticeTick();
    EXPECT_EQ(notices.size(), 1u) << "no notice without a change";
}

TEST_F(GraphPresenterTest, NoticeKeepsTheChannelOfTheDrag) {
    DragMarker(Out(0).GetHighPass(), {kPlotLeft + 200, MarkerOf(Out(0).GetHighPass()).y});
    DragMarker(Out(0).GetBand(3), {kPlotLeft + 60, kPlotTop + 40});
    graph.SelectOutput(2);
    graph.OnNoticeTick();
    EXPECT_EQ(notices, (std::vector<std::pair<int, int>>{{3, kGraphChannelCodeBase},
                                                         {kGraphHighPass, kGraphChannelCodeBase}}));
}

TEST_F(GraphPresenterTest, HoverKeepsABandButDropsACrossover) {
    graph.OnMouseMove(MarkerOf(Out(0).GetBand(7)));
    EXPECT_TRUE(graph.Scene().hit);
    graph.OnMouseMove(Empty());
    EXPECT_EQ(graph.SelectedIndex(), 7) << "a band's label stays until another marker is touched";
    EXPECT_FALSE(graph.Scene().hit);
    EXPECT_FALSE(graph.Scene().label.text.empty());

    graph.OnMouseMove(MarkerOf(Out(0).GetLowPass()));
    EXPECT_EQ(graph.SelectedIndex(), kGraphLowPass);
    graph.OnMouseMove(Empty());
    EXPECT_EQ(graph.SelectedIndex(), -1);
    EXPECT_TRUE(graph.Scene().label.text.empty());
}

TEST_F(GraphPresenterTest, PressAwayFromEveryMarkerDragsNothing) {
    const CFilter* band = Out(0).GetBand(7);
    const int gain = band->GetGainIndex();
    graph.OnMouseMove(MarkerOf(band));
    graph.OnMouseMove(Empty());
    graph.OnButtonDown(Empty());
    graph.OnMouseMove({Empty().x + 30, Empty().y + 30});
    graph.OnButtonUp();
    EXPECT_EQ(band->GetGainIndex(), gain);
    graph.OnNoticeTick();
    EXPECT_TRUE(notices.empty());
}

TEST_F(GraphPresenterTest, HandlesOnlyForPeakingBands) {
    CFilter* band = Out(0).GetBand(12);
    {
        std::lock_guard lock(g_csModel);
        band->SetGainIndex(260);
    }
    graph.OnMouseMove(MarkerOf(band));
    EXPECT_TRUE(graph.Scene().showHandles);
    graph.OnMouseMove(band->GetBwLeftRect().Center());
    EXPECT_TRUE(graph.Scene().hit);

    {
        std::lock_guard lock(g_csModel);
        band->SetType(kBandLowShelf);
    }
    graph.Redraw();
    EXPECT_FALSE(graph.Scene().showHandles);
    graph.OnMouseMove(MarkerOf(band));
    graph.OnMouseMove(band->GetBwLeftRect().Center());
    EXPECT_FALSE(graph.Scene().hit) << "a shelf shows no handles, so none is hit";
}

TEST_F(GraphPresenterTest, LabelOfTheGivenFilterOrOfTheSelection) {
    graph.OnMouseMove(MarkerOf(Out(0).GetBand(4)));
    const std::string selected = graph.Scene().label.text;
    graph.RedrawGraph(kGraphLowPass);
    EXPECT_EQ(graph.Scene().label.text, "F:" + std::to_string(Out(0).GetLowPass()->GetFreq()));
    graph.RedrawGraph(-1);
    EXPECT_EQ(graph.Scene().label.text, selected);
}

TEST_F(GraphPresenterTest, MarkerTextsAndAlignment) {
    struct Case {
        int band;
        int freq;
        TextAlign align;
    };
    const Case cases[] = {
        {0, 20, TextAlign::Right},     // at the left edge
        {1, 1000, TextAlign::Center},  //
        {2, 19999, TextAlign::Left},   // touches the right edge
        {3, 20000, TextAlign::Left},   //
    };
    {
        std::lock_guard lock(g_csModel);
        for (const Case& c : cases)
            Out(0).GetBand(c.band)->SetFreq(c.freq, false);
    }
    graph.Redraw();
    const std::vector<GraphText>& markers = graph.Scene().markers;
    ASSERT_EQ(markers.size(), 33u);
    // Drawn from the last filter to the first, so band 1 ends on top.
    EXPECT_EQ(markers.front().text, "Lo");
    EXPECT_EQ(markers[1].text, "Hi");
    EXPECT_EQ(markers.back().text, "1");
    for (const Case& c : cases) {
        const GraphText& m = markers[markers.size() - 1 - c.band];
        EXPECT_EQ(m.text, std::to_string(c.band + 1));
        EXPECT_EQ(m.align, c.align) << "band at " << c.freq << " Hz";
    }
}

TEST_F(GraphPresenterTest, GreyCurvesFirstAndOnlyForShownChannels) {
    g_abCurveShown[2] = g_abCurveShown[0] = true;
    graph.Redraw();
    const std::vector<GraphCurve>& curves = graph.Scene().curves;
    ASSERT_EQ(curves.size(), 2u) << "the selected channel is not drawn twice";
    EXPECT_TRUE(curves.front().grey);
    EXPECT_FALSE(curves.back().grey);
    EXPECT_EQ(curves.back().color, Out(0).GetCurveColor());

    const unsigned revision = graph.Scene().curveRevision;
    graph.OnMouseMove(MarkerOf(Out(0).GetBand(9)));
    EXPECT_EQ(graph.Scene().curveRevision, revision) << "hovering leaves the curves alone";
}

TEST_F(GraphPresenterTest, IdleUntilAChannelIsShown) {
    GraphPresenter idle(host, view);
    idle.Layout(kWidth, kHeight);
    g_abCurveShown[1] = true;
    idle.Redraw();
    EXPECT_EQ(idle.Scene().mode, GraphMode::Idle);
    EXPECT_TRUE(idle.Scene().markers.empty());
    EXPECT_EQ(idle.Scene().curves.size(), 1u);
    idle.OnMouseMove(MarkerOf(Out(0).GetBand(5)));
    EXPECT_EQ(idle.SelectedIndex(), -1);
}

}  // namespace

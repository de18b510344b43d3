// Cost of the response graph on screen, at its size in the main window
// (660 x 278), in the worst case: six curves shown, every channel with 31
// active bands and two 48 dB/Oct crossovers, every marker, a band's label
// and its handles. Painting goes to the offscreen platform's raster backing
// store, as on a desktop without GPU help.
//
// Targets (median, Release build): a full repaint (grid, curves, markers,
// label, every cache rebuilt) under 3 ms; a drag step from the mouse event to
// the repainted widget under 6 ms; a band-field edit of the equalizer panel
// below the graph, to the repainted window, under 5 ms.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "base/globals.h"
#include "bench/gui_bench_main.h"
#include "gui/controls/num_field.h"
#include "gui/response/graph_widget.h"
#include "gui/workspace/eq_panel.h"
#include "image/param_image.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "tests/workspace/offline_host.h"
#include "workspace/workspace_state.h"

namespace {

constexpr int kWidth = 660;
constexpr int kHeight = 278;
constexpr int kDraggedBand = 17;

// Every channel shown, with 31 active bands and two 48 dB/Oct crossovers.
void MakeBusy(OfflineHost& host) {
    std::lock_guard lock(g_csModel);
    for (int c = 0; c < kOutputCount; ++c) {
        CKTV_OutData& out = *host.Model().GetOutput(c);
        for (int i = 0; i < out.GetBandCount(); ++i)
            out.GetBand(i)->SetGainIndex(230 + i + c);
        for (CFilter* x : {out.GetHighPass(), out.GetLowPass()}) {
            x->SetXoverType(kBessel, false);
            x->SetSlope(6, false);
        }
        out.GetHighPass()->SetFreq(80, false);
        out.GetLowPass()->SetFreq(12000, false);
        g_abCurveShown[c] = true;
    }
}

// Every channel busy and shown; CH1 selected with a band hovered, so that
// its label and handles are drawn too.
struct BusyGraph {
    OfflineHost host;
    GraphWidget widget{host};

    BusyGraph() {
        MakeBusy(host);
        widget.resize(kWidth, kHeight);
        widget.show();
        QApplication::processEvents();
        widget.Presenter().SelectOutput(0);
        Move(Marker(), Qt::NoButton);
        widget.repaint();
    }

    CFilter* Band() { return host.Model().GetOutput(0)->GetBand(kDraggedBand); }
    QPoint Marker() {
        const Point c = Band()->GetMarkerRect().Center();
        return {c.x, c.y};
    }
    void Move(QPoint p, Qt::MouseButtons held) {
        QMouseEvent event(QEvent::MouseMove, p, widget.mapToGlobal(p), Qt::NoButton, held,
                          Qt::NoModifier);
        QApplication::sendEvent(&widget, &event);
    }
    void Press(QPoint p) {
        QMouseEvent event(QEvent::MouseButtonPress, p, widget.mapToGlobal(p), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&widget, &event);
    }
};

// Everything drawn anew: the grid cache (as after a language change), the
// curves after a band's gain changed, markers, handles and label.
void BM_GraphFullRepaint(benchmark::State& state) {
    BusyGraph graph;
    int step = 0;
    for (auto _ : state) {
        {
            std::lock_guard lock(g_csModel);
            graph.Band()->SetGainIndex(300 + step++ % 2);
        }
        QEvent languageChange(QEvent::LanguageChange);
        QApplication::sendEvent(&graph.widget, &languageChange);
        graph.widget.Presenter().Redraw(-1);
        graph.widget.repaint();
    }
    state.counters["curves"] = static_cast<double>(graph.widget.Presenter().Scene().curves.size());
}
BENCHMARK(BM_GraphFullRepaint)->Unit(benchmark::kMillisecond);

// One mouse-move of a band-marker drag: the drag rule, the curves of the six
// shown channels, the scene, and the repaint (curves cache rebuilt, grid
// cache reused).
void BM_GraphDragStep(benchmark::State& state) {
    BusyGraph graph;
    const QPoint from = graph.Marker();
    graph.Press(from);
    int step = 0;
    const int startGain = graph.Band()->GetGainIndex();
    for (auto _ : state) {
        ++step;
        graph.Move(from + QPoint(step % 64, -(step % 7) * 3 - 3), Qt::LeftButton);
        graph.widget.repaint();
    }
    if (graph.Band()->GetGainIndex() == startGain && step > 1)
        state.SkipWithError("the drag did not move the band");
}
BENCHMARK(BM_GraphDragStep)->Unit(benchmark::kMillisecond);

// ---- A band-field edit ----
// The committed value goes through the panel's presenter into the model and
// the link group, the graph recomputes the band's curve and the shown
// channels' sums, and the window repaints what changed (the field, its
// fader, the label, the graph). Target: under 5 ms.

constexpr int kEditedBand = 12;

// The graph above the panel in one window, CH1 selected and linked to CH2.
struct Workspace {
    OfflineHost host;
    QWidget window;
    GraphWidget* graph = new GraphWidget(host, &window);
    EqPanel* panel = new EqPanel(host, &window);

    Workspace() {
        MakeBusy(host);
        {
            std::lock_guard lock(g_csModel);
            g_anLinkGroup[1] = 0;
        }
        graph->setGeometry(0, 0, kWidth, kHeight);
        panel->move(0, kHeight);
        window.resize(EqPanel::kWidth, kHeight + EqPanel::kHeight);
        panel->Presenter().SetRedrawGraph(
            [this](int curve) { graph->Presenter().RedrawGraph(curve); });
        window.show();
        QApplication::processEvents();
        graph->Presenter().SelectOutput(0);
        panel->Presenter().ReloadEqualizer(0);
        QApplication::processEvents();
    }
    ~Workspace() { g_anLinkGroup[1] = 1; }
};

// An arrow step commits at once; up and down in turn keep the band busy.
void BM_BandFieldEdit(benchmark::State& state) {
    Workspace ws;
    CNumField* gain =
        ws.panel->findChild<CNumField*>(QStringLiteral("eq.band%1.gain").arg(kEditedBand + 1));
    int step = 0;
    for (auto _ : state) {
        gain->StepBy(step++ % 2 == 0 ? 1 : -1);
        QApplication::processEvents();  // the coalesced repaints
    }
    CKTV_OutData& partner = *ws.host.Model().GetOutput(1);
    if (partner.GetBand(kEditedBand)->GetGainIndex() != gain->Pos() || step < 1)
        state.SkipWithError("the edit did not reach the linked channel");
}
BENCHMARK(BM_BandFieldEdit)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return RunGuiBenchmarks(argc, argv);
}

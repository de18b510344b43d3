// A drag on the response graph while the link runs: the graph of the
// session's model in the offscreen window, the link polling a virtual
// processor at 1 ms latency (or sending everything, 68 packets), and a
// pointer that moves a band marker 50 times over 0.73 s. The moves are
// posted to the widget from a thread of their own, as the window system
// delivers them whether or not the user-interface thread is busy.
//
// Each move's latency runs from its posting to the end of the first paint
// that shows the marker where that move put it (or further along). The
// marker position each move gives is learnt first with the same drag. Time
// is the longest latency of the iteration. Counters: p50_ms, p99_ms and
// max_ms of every move's latency, catchup_ms (the longest time from the last
// move to the paint that shows it, over the iterations), cycle_ms (latency
// and pause of one link cycle) and moves.
//
// Targets: p99 within one cycle, the longest within one cycle + 2 ms, the
// catch-up within one cycle.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "base/globals.h"
#include "bench/bench_host.h"
#include "bench/gui_bench_main.h"
#include "gui/response/graph_widget.h"
#include "edits/bulk_ops.h"
#include "workspace/workspace_state.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kWidth = 660;
constexpr int kHeight = 278;
constexpr int kBand = 17;
constexpr int kMoves = 50;
constexpr auto kMoveGap = 14600us;  // 50 moves in 0.73 s
constexpr int kStepPx = 4;          // right, and half as much up

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The same marker place. Each move has a row of its own; the frequency is
// left out, as each press may shift it by a pixel or two.
bool Near(Point a, Point b) {
    return a.y == b.y;
}

// The graph, noting when each paint ended and where the band's marker was.
class TimedGraph : public GraphWidget {
public:
    using GraphWidget::GraphWidget;

    struct Paint {
        Clock::time_point at;
        Point marker;
    };
    std::vector<Paint> paints;

protected:
    void paintEvent(QPaintEvent* event) override {
        GraphWidget::paintEvent(event);
        const GraphScene& s = Presenter().Scene();
        if (s.markers.size() <= kBand) return;
        paints.push_back({Clock::now(), s.markers[s.markers.size() - 1 - kBand].rc.Center()});
    }
};

struct DragRig {
    BenchHost host{1.0};
    QObject context;
    std::unique_ptr<TimedGraph> graph;
    std::vector<QPoint> path;    // the pointer's positions, forwards
    std::vector<Point> markers;  // where each puts the marker
    bool ok = false;

    DragRig() {
        if (!host.Connect()) return;
        CTunerSession& session = host.Session();
        session.SetWakeHook([this] {
            QMetaObject::invokeMethod(
                &context, [this] { host.Session().Drain(); }, Qt::QueuedConnection);
        });
        g_abCurveShown.fill(0);
        g_abCurveShown[0] = true;
        graph = std::make_unique<TimedGraph>(session);
        graph->resize(kWidth, kHeight);
        graph->show();
        QApplication::processEvents();
        graph->Presenter().SelectOutput(0);
        Point start;
        {
            std::lock_guard lock(g_csModel);
            start = session.Model().GetOutput(0)->GetBand(kBand)->GetMarkerRect().Center();
        }
        for (int i = 0; i < kMoves; ++i)
            path.emplace_back(start.x + (i + 1) * kStepPx, start.y - (i + 1) * kStepPx / 2);
        // Learn the marker's place for each move, then drag back.
        GraphPresenter& presenter = graph->Presenter();
        presenter.OnMouseMove(start);
        presenter.OnButtonDown(start);
        for (const QPoint& p : path) {
            presenter.OnMouseMove({p.x(), p.y()});
            markers.push_back(presenter.Scene()
                                  .markers[presenter.Scene().markers.size() - 1 - kBand]
                                  .rc.Center());
        }
        presenter.OnButtonUp();
        path.insert(path.begin(), QPoint(start.x, start.y));
        markers.insert(markers.begin(), start);
        ok = Drag(true, nullptr, nullptr);  // back to the start, untimed
    }
    ~DragRig() { host.Session().SetWakeHook({}); }

    // One drag along the path (backwards when `back`): press on the marker,
    // the moves, release. Adds each move's latency to `latencies` and the
    // catch-up to `catchup`; false when the marker never got there.
    bool Drag(bool back, std::vector<double>* latencies, double* catchup) {
        std::vector<QPoint> points = path;
        std::vector<Point> expected = markers;
        if (back) {
            std::reverse(points.begin(), points.end());
            std::reverse(expected.begin(), expected.end());
        }
        const int n = static_cast<int>(points.size());
        std::vector<Clock::time_point> posted(n);
        std::atomic<int> nPosted{0};
        graph->paints.clear();
        const auto post = [&](QEvent::Type type, QPoint p, Qt::MouseButton button,
                              Qt::MouseButtons held) {
            QCoreApplication::postEvent(graph.get(), new QMouseEvent(type, p, graph->mapToGlobal(p),
                                                                     button, held, Qt::NoModifier));
        };
        // Hover and press where the marker is, then the moves (index 0 is
        // the press).
        const QPoint press(expected[0].x, expected[0].y);
        points[0] = press;
        post(QEvent::MouseMove, press, Qt::NoButton, Qt::NoButton);
        post(QEvent::MouseButtonPress, press, Qt::LeftButton, Qt::LeftButton);
        std::thread pointer([&] {
            posted[0] = Clock::now();
            nPosted = 1;
            Clock::time_point next = Clock::now();
            for (int i = 1; i < n; ++i) {
                next += kMoveGap;
                std::this_thread::sleep_until(next);
                posted[i] = Clock::now();
                post(QEvent::MouseMove, points[i], Qt::NoButton, Qt::LeftButton);
                nPosted = i + 1;
            }
        });
        // Which move each paint shows: the furthest one posted whose marker
        // place it matches (the steps are two pixels or more apart).
        std::vector<Clock::time_point> shown(n);
        int reached = 0;
        std::size_t seen = 0;
        const Clock::time_point limit = Clock::now() + kMoveGap * n + 3s;
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, [&] {
            for (; seen < graph->paints.size(); ++seen) {
                const TimedGraph::Paint& paint = graph->paints[seen];
                for (int i = nPosted - 1; i > reached; --i) {
                    if (Near(expected[i], paint.marker)) {
                        for (int j = reached + 1; j <= i; ++j)
                            shown[j] = paint.at;
                        reached = i;
                        break;
                    }
                }
            }
            if ((reached == n - 1 && nPosted == n) || Clock::now() > limit) loop.quit();
        });
        check.start(1);
        loop.exec();
        pointer.join();
        post(QEvent::MouseButtonRelease, points[n - 1], Qt::LeftButton, Qt::NoButton);
        QApplication::processEvents();
        if (reached != n - 1) return false;
        if (latencies) {
            for (int i = 1; i < n; ++i)
                latencies->push_back(Ms(shown[i] - posted[i]));
        }
        if (catchup) *catchup = Ms(shown[n - 1] - posted[n - 1]);
        return true;
    }
};

void Report(benchmark::State& state, std::vector<double>& latencies,
            const std::vector<double>& catchups, DragRig& rig) {
    if (latencies.empty()) return;
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) {
        return latencies[static_cast<std::size_t>(q * static_cast<double>(latencies.size() - 1))];
    };
    state.counters["p50_ms"] = at(0.50);
    state.counters["p99_ms"] = at(0.99);
    state.counters["max_ms"] = latencies.back();
    state.counters["catchup_ms"] = *std::max_element(catchups.begin(), catchups.end());
    state.counters["moves"] = static_cast<double>(latencies.size());
    state.counters["cycle_ms"] =
        rig.host.LatencyMs() + Ms(rig.host.Session().Timings().normalCyclePause);
}

// `transfer`: each drag runs while the link sends everything.
void RunDrags(benchmark::State& state, bool transfer) {
    DragRig rig;
    if (!rig.ok) {
        state.SkipWithError("no drag: the device did not come online or the marker stuck");
        return;
    }
    CTunerSession& session = rig.host.Session();
    std::vector<double> latencies;
    std::vector<double> catchups;
    bool back = false;
    for (auto _ : state) {
        const int transfersBefore = session.TransfersDone();
        if (transfer) {
            std::lock_guard lock(g_csModel);
            if (!QueueSendEverything(session.Command(), session.IsConnected())) {
                state.SkipWithError("nothing was queued");
                break;
            }
        }
        std::vector<double> these;
        double catchup = 0;
        if (!rig.Drag(back, &these, &catchup)) {
            state.SkipWithError("the marker did not reach the pointer");
            break;
        }
        back = !back;
        state.SetIterationTime(*std::max_element(these.begin(), these.end()) / 1000.0);
        latencies.insert(latencies.end(), these.begin(), these.end());
        catchups.push_back(catchup);
        if (transfer) {
            // Let the transfer end before the next drag.
            QElapsedTimer waited;
            waited.start();
            while (session.TransfersDone() == transfersBefore && waited.elapsed() < 5000)
                QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }
    Report(state, latencies, catchups, rig);
}

void BM_DragWhilePolling(benchmark::State& state) {
    RunDrags(state, false);
}
BENCHMARK(BM_DragWhilePolling)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

void BM_DragDuringTransfer(benchmark::State& state) {
    RunDrags(state, true);
}
BENCHMARK(BM_DragDuringTransfer)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

}  // namespace

int main(int argc, char** argv) {
    return RunGuiBenchmarks(argc, argv);
}

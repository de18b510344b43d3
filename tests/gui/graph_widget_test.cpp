// The response graph driven by real mouse events: drags change the model and
// reach the device, the drag rules of each filter kind hold, notices are
// coalesced, and the pixels that matter are painted in the right place.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QtTest>
#include <atomic>
#include <future>
#include <mutex>
#include <thread>

#include "gui/response/graph_widget.h"
#include "model/ktv_out_data.h"
#include "tables/value_tables.h"
#include "workspace/device_link.h"
#include "workspace/workspace_state.h"

namespace {

constexpr int kWidth = 660;
constexpr int kHeight = 278;

QPoint ToQPoint(Point p) {
    return {p.x, p.y};
}

// Client position of a frequency and gain in a graph of the test's size.
QPoint At(const PlotGeometry& plot, int freq, double gain) {
    return {plot.FreqToX(freq) + kPlotLeft, plot.DbToY(gain) + kPlotTop};
}

std::vector<BYTE> BandBytes(const std::vector<BYTE>& slot, int band) {
    const auto first = slot.begin() + band * kBandRecordBytes;
    return {first, first + kBandRecordBytes};
}

QRect ToQRect(const Rect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}

int ColorDistance(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
           std::abs(a.blue() - b.blue());
}

}  // namespace

class GraphWidgetTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<VirtualDeviceHost> host;
    std::unique_ptr<GraphWidget> graph;
    std::vector<std::pair<int, int>> notices;
    QElapsedTimer sinceNotice;

    GraphPresenter& presenter() { return graph->Presenter(); }
    CKTV_OutData& out(int c) { return *host->Model().GetOutput(c); }
    PlotGeometry plot() { return out(0).GetEQ().GetPlot(); }

    void send(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, p, graph->mapToGlobal(p), button, held, Qt::NoModifier);
        QApplication::sendEvent(graph.get(), &event);
    }
    void hover(QPoint p) { send(QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton); }
    // Hover, press, move in `steps` even steps to `to`, release.
    void drag(QPoint from, QPoint to, int steps = 4) {
        hover(from);
        send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        for (int i = 1; i <= steps; ++i)
            send(QEvent::MouseMove, from + (to - from) * i / steps, Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }
    QPoint markerOf(const CFilter* f) { return ToQPoint(f->GetMarkerRect().Center()); }

private slots:
    void init() {
        g_abCurveShown.fill(0);
        host = std::make_unique<VirtualDeviceHost>();
        graph = std::make_unique<GraphWidget>(*host);
        graph->resize(kWidth, kHeight);
        graph->show();
        QVERIFY(QTest::qWaitForWindowExposed(graph.get()));
        notices.clear();
        presenter().SetNotice([this](int index, int code) {
            notices.emplace_back(index, code);
            sinceNotice.start();
        });
        presenter().SelectOutput(0);
    }
    void cleanup() {
        graph.reset();
        host.reset();
        g_abCurveShown.fill(0);
    }

    void idleUntilAChannelIsShown() {
        GraphWidget idle(*host);
        idle.resize(kWidth, kHeight);
        idle.show();
        const QPoint marker = markerOf(out(0).GetBand(15));
        QMouseEvent move(QEvent::MouseMove, marker, idle.mapToGlobal(marker), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&idle, &move);
        QCOMPARE(idle.Presenter().SelectedIndex(), -1);
        QVERIFY(idle.Presenter().Scene().markers.empty());
        QCOMPARE(idle.cursor().shape(), Qt::ArrowCursor);
    }

    // The link holds the model lock through its cycle: drag steps arriving
    // meanwhile never block the window and collapse into the latest, which
    // the window applies at the link's next gap.
    void dragStepsWaitingForTheLinkCollapseIntoTheLatest() {
        CFilter* band = out(0).GetBand(11);
        const QPoint from = markerOf(band);
        hover(from);
        send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        const int gainBefore = band->GetGainIndex();

        std::promise<void> holding;
        std::promise<void> release;
        std::atomic<bool> handedOver{false};
        std::thread link([&] {
            {
                std::lock_guard cycle(g_csModel);
                holding.set_value();
                release.get_future().wait_for(std::chrono::seconds(10));
            }
            handedOver = g_csModel.HandOver(std::chrono::seconds(10));
        });
        holding.get_future().wait();
        const QPoint target = At(plot(), 1500, 6.0);
        for (const QPoint p : {At(plot(), 900, 3.0), At(plot(), 1200, -4.0), target})
            send(QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(band->GetGainIndex(), gainBefore);  // nothing applied while the link holds it

        release.set_value();
        QTRY_VERIFY(band->GetGainIndex() != gainBefore);
        link.join();
        QVERIFY(handedOver);
        QCOMPARE(band->GetGainIndex(), 260);
        QCOMPARE(band->GetFreq(), plot().XToFreq(target.x() - kPlotLeft));
        send(QEvent::MouseButtonRelease, target, Qt::LeftButton, Qt::NoButton);
    }

    void bandMarkerDragReachesTheDevice() {
        CFilter* band = out(0).GetBand(11);
        const int oldFreq = band->GetFreq();
        hover(markerOf(band));
        QCOMPARE(presenter().SelectedIndex(), 11);
        QCOMPARE(graph->cursor().shape(), Qt::SizeAllCursor);

        const QPoint target = At(plot(), 1500, 6.0);
        drag(markerOf(band), target);
        QCOMPARE(band->GetGainIndex(), 260);
        QVERIFY(band->GetFreq() != oldFreq);
        QCOMPARE(band->GetFreq(), plot().XToFreq(target.x() - kPlotLeft));
        QVERIFY(presenter().Scene().label.text.find("G:6.0-F:") == 0);

        QVERIFY(host->RunLinkUntilIdle() > 0);
        const std::vector<BYTE> slot = host->DeviceSlot(0);
        BYTE expected[kBandRecordBytes];
        QVERIFY(out(0).GetEQ().GetBandRecord(11, expected));
        QCOMPARE(BandBytes(slot, 11), std::vector<BYTE>(expected, expected + kBandRecordBytes));
        QCOMPARE(int(GetWord(slot.data() + 11 * kBandRecordBytes + kBandFreq)), band->GetFreq());
    }

    void bandwidthHandleDragReachesTheDevice() {
        CFilter* band = out(0).GetBand(15);
        {
            std::lock_guard lock(g_csModel);
            band->SetGainIndex(300);  // +10 dB, handles below the marker
        }
        hover(markerOf(band));
        QVERIFY(presenter().Scene().showHandles);
        const int oldBw = band->GetBandwidthIndex();
        const QPoint handle = ToQPoint(band->GetBwRightRect().Center());
        drag(handle, handle + QPoint(40, 0));
        QVERIFY2(band->GetBandwidthIndex() > oldBw + 20, "the right handle widens the band");
        QCOMPARE(band->GetGainIndex(), 300);

        host->RunLinkUntilIdle();
        QCOMPARE(int(GetWord(host->DeviceSlot(0).data() + 15 * kBandRecordBytes + kBandWidth)),
                 band->GetBandwidthIndex());
    }

    void stepsWithinTheNoticePeriodGiveOneNotice() {
        CFilter* band = out(0).GetBand(20);
        const QPoint from = markerOf(band);
        hover(from);
        send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        // Every step moves the gain, so every step changes the band.
        int step = 0;
        auto dragStep = [&] {
            ++step;
            const QPoint p = from + QPoint(step % 5, -4 * (step % 8 + 1));
            send(QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
        };
        // The steps start right after a notice, so that they all fall in the
        // next period; on a machine too busy for that, the round is repeated.
        size_t base = 0;
        bool timed = false;
        for (int round = 0; round < 10 && !timed; ++round) {
            const size_t before = notices.size();
            dragStep();
            QVERIFY(QTest::qWaitFor([&] { return notices.size() > before; }, 1000));
            base = notices.size();
            for (int i = 0; i < 6; ++i)
                dragStep();
            timed = sinceNotice.elapsed() < kGraphNoticeMs - 10;
            if (!timed) QTest::qWait(2 * kGraphNoticeMs);
        }
        if (!timed) QSKIP("the machine is too busy to time a notice period");
        QTest::qWait(4 * kGraphNoticeMs);
        send(QEvent::MouseButtonRelease, from, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(notices.size(), base + 1);
        QCOMPARE(notices.back(), std::make_pair(20, kGraphChannelCodeBase));
    }

    void crossoverDragStopsAtTheOtherFilter_data() {
        QTest::addColumn<int>("channel");
        QTest::addColumn<bool>("highPass");
        QTest::addColumn<int>("targetFreq");
        QTest::addColumn<int>("expected");
        // High-pass 100 Hz, low-pass 1000 Hz; channels 1/4, 2/5, 3/6 use modes 9, 8, 7.
        QTest::newRow("ch2 high-pass up to the low-pass") << 1 << true << 5000 << 1000;
        QTest::newRow("ch3 high-pass up to the low-pass") << 2 << true << 5000 << 1000;
        QTest::newRow("ch1 high-pass up to the low-pass") << 0 << true << 5000 << 1000;
        QTest::newRow("ch2 low-pass down to the high-pass") << 1 << false << 40 << 100;
        QTest::newRow("ch3 low-pass down to the high-pass") << 2 << false << 40 << 100;
        QTest::newRow("ch1 high-pass at the right edge passes") << 0 << true << 30000 << 20000;
        QTest::newRow("ch3 high-pass at the left edge goes flat") << 2 << true << 1 << 20;
    }
    void crossoverDragStopsAtTheOtherFilter() {
        QFETCH(int, channel);
        QFETCH(bool, highPass);
        QFETCH(int, targetFreq);
        QFETCH(int, expected);
        {
            std::lock_guard lock(g_csModel);
            out(channel).GetHighPass()->SetFreq(100, true);
            out(channel).GetLowPass()->SetFreq(1000, true);
        }
        presenter().SelectOutput(channel);
        CFilter* f = highPass ? out(channel).GetHighPass() : out(channel).GetLowPass();
        const QPoint from = markerOf(f);
        const int x = targetFreq <= kFreqMin  ? 0
                      : targetFreq > kFreqMax ? kWidth - 1
                                              : plot().FreqToX(targetFreq) + kPlotLeft;
        drag(from, QPoint(x, from.y()), 8);
        QCOMPARE(f->GetFreq(), expected);

        host->RunLinkUntilIdle();
        const std::vector<BYTE> slot = host->DeviceSlot(channel);
        QCOMPARE(
            int(GetWord(slot.data() + kOutXover + (highPass ? kXoverHighFreq : kXoverLowFreq))),
            expected);
    }

    void graphicModeDragsVertically() {
        {
            std::lock_guard lock(g_csModel);
            out(0).SetEqMode(1);
        }
        CFilter* band = out(0).GetBand(14);
        const int freq = band->GetFreq();
        hover(markerOf(band));
        QVERIFY(!presenter().Scene().showHandles);
        // Where the right handle of a peaking band would be is no handle.
        hover(ToQPoint(band->GetBwRightRect().Center()));
        QCOMPARE(graph->cursor().shape(), Qt::ArrowCursor);

        drag(markerOf(band), At(plot(), freq * 4, -8.0));
        QCOMPARE(band->GetFreq(), freq);
        QCOMPARE(band->GetGainIndex(), 120);
    }

    // +30 dB from three bands at 400 Hz above the plot; a 24 dB/Oct high-pass
    // at 60 Hz takes the left end below -20 dB. A grey curve is drawn first,
    // as the clip must hold for every curve, not only the first one.
    void curvesAreClippedAtThePlotEdges() {
        g_abCurveShown[1] = true;
        {
            std::lock_guard lock(g_csModel);
            for (int i : {13, 14, 15}) {
                out(0).GetBand(i)->SetFreq(400, false);
                out(0).GetBand(i)->SetGainIndex(300);
            }
            CFilter* highPass = out(0).GetHighPass();
            highPass->SetXoverType(kLinkwitzRiley, false);
            highPass->SetSlope(2, false);
            highPass->SetFreq(60, false);
        }
        presenter().Redraw();
        const QImage image = graph->grab().toImage();
        const QColor curve = QColor(255, 14, 198);
        const Rect& rcPlot = presenter().Scene().rcPlot;
        auto curvePixels = [&](int top, int bottom) {
            int n = 0;
            for (int x = rcPlot.left; x < rcPlot.right; ++x) {
                for (int y = top; y < bottom; ++y)
                    n += ColorDistance(image.pixelColor(x, y), curve) < 150 ? 1 : 0;
            }
            return n;
        };
        QCOMPARE(curvePixels(0, rcPlot.top), 0);
        QCOMPARE(curvePixels(rcPlot.bottom, kHeight), 0);
        QVERIFY2(curvePixels(rcPlot.top, rcPlot.top + 3) > 0, "the curve reaches the top edge");
        QVERIFY2(curvePixels(rcPlot.bottom - 3, rcPlot.bottom) > 0,
                 "the curve reaches the bottom edge");
    }

    void selectedCurveIsDrawnOverTheGreyOnes() {
        {
            std::lock_guard lock(g_csModel);
            CFilter* lowPass = out(0).GetLowPass();
            lowPass->SetXoverType(kLinkwitzRiley, false);
            lowPass->SetSlope(2, false);  // 24 dB/Oct
            lowPass->SetFreq(300, false);
            out(1).CopyFrom(out(0));
        }
        g_abCurveShown[1] = true;
        presenter().Redraw();
        const GraphScene& scene = presenter().Scene();
        QCOMPARE(scene.curves.size(), size_t{2});
        QVERIFY(scene.curves.front().points == scene.curves.back().points);
        const QImage image = graph->grab().toImage();
        const QColor selected(255, 14, 198);
        const QColor grey(83, 83, 83);
        int checked = 0;
        for (const PointF& pt : scene.curves.back().points) {
            const QPoint p(qRound(pt.x), qRound(pt.y));
            // Away from the plot's edges and from every marker's circle.
            const QRect clear(p - QPoint(14, 14), QSize(29, 29));
            bool covered = !ToQRect(scene.rcPlot).contains(clear);
            for (const GraphText& m : scene.markers)
                covered = covered || clear.intersects(ToQRect(m.rc));
            if (covered) continue;
            const QColor c = image.pixelColor(p);
            QVERIFY2(
                ColorDistance(c, selected) < ColorDistance(c, grey),
                qPrintable(
                    QStringLiteral("grey over the selected curve at %1,%2").arg(p.x()).arg(p.y())));
            ++checked;
        }
        QVERIFY(checked > 3);
    }
};

QTEST_MAIN(GraphWidgetTest)
#include "graph_widget_test.moc"

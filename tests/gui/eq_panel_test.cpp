// What the equalizer panel and the crossover group add to their presenters:
// user actions forwarded, the keyboard walk through the band fields, the
// buttons keeping the presenter's state, and fields wide enough for what they
// show. With TQR905_SHOT_DIR set the panels are also saved as pictures.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <mutex>

#include "base/globals.h"
#include "base/texts.h"
#include "gui/controls/fader.h"
#include "gui/controls/num_field.h"
#include "gui/workspace/eq_panel.h"
#include "gui/workspace/limiter_fields.h"
#include "gui/workspace/xover_group.h"
#include "model/ktv_out_data.h"
#include "response/filter.h"
#include "workspace/offline_host.h"

namespace {

CFilter& Band(IWorkspaceHost& host, int c, int band) {
    return *host.Model().GetOutput(c)->GetBand(band);
}

template <typename T>
T* Find(QWidget& root, const QString& name) {
    T* w = root.findChild<T*>(name);
    if (!w) qFatal("no control %s", qPrintable(name));
    return w;
}

QLineEdit* Edit(QWidget& root, const QString& name) {
    return Find<CNumField>(root, name)->Edit();
}

void Type(QLineEdit* edit, const QString& text, int key = Qt::Key_Return) {
    edit->setFocus();
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, static_cast<Qt::Key>(key));
}

}  // namespace

class EqPanelTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        host = std::make_unique<OfflineHost>();
        window = std::make_unique<QWidget>();
        window->resize(EqPanel::kWidth + XoverGroup::kWidth, EqPanel::kHeight);
        panel = new EqPanel(*host, window.get());
        group = new XoverGroup(*host, window.get());
        group->move(EqPanel::kWidth, 0);
        panel->Presenter().ReloadEqualizer(0);
        group->Presenter().RefreshCrossover(0);
        group->Limiter().Presenter().ReloadEqualizer(0);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void cleanup() {
        window.reset();
        host.reset();
    }

    void typedGainReachesTheBandAndMarksIt() {
        Type(Edit(*panel, "eq.band5.gain"), "6");
        QCOMPARE(Band(*host, 0, 4).GetGainIndex(), 260);
        QCOMPARE(Find<CFader>(*panel, "eq.band5.fader")->value(), 260);
        QVERIFY(Find<CNumField>(*panel, "eq.band5.gain")->IsHighlighted());
        const QColor label =
            Find<QLabel>(*panel, "eq.band5.label")->palette().color(QPalette::WindowText);
        QCOMPARE(label, QColor(Qt::red));
        QVERIFY2(Edit(*panel, "eq.band6.gain")->hasFocus(), "Enter moves along the row");
    }

    void enterWalksTheRowsAndSkipsDisabledFields_data() {
        QTest::addColumn<bool>("graphic");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("along the row") << false << "eq.band1.freq"
                                       << "eq.band2.freq";
        QTest::newRow("frequencies to Q") << false << "eq.band31.freq"
                                          << "eq.band1.q";
        QTest::newRow("Q to gains") << false << "eq.band31.q"
                                    << "eq.band1.gain";
        QTest::newRow("gains to frequencies") << false << "eq.band31.gain"
                                              << "eq.band1.freq";
        QTest::newRow("graphic: gains stay") << true << "eq.band31.gain"
                                             << "eq.band1.gain";
    }
    void enterWalksTheRowsAndSkipsDisabledFields() {
        QFETCH(bool, graphic);
        QFETCH(QString, from);
        QFETCH(QString, to);
        panel->ShowEqMode(graphic);
        Edit(*panel, from)->setFocus();
        QTest::keyClick(Edit(*panel, from), Qt::Key_Return);
        QVERIFY2(Edit(*panel, to)->hasFocus(), qPrintable(from + " -> " + to));
    }

    void leftAndRightOnAFaderWrapAroundTheBands() {
        auto* first = Find<CFader>(*panel, "eq.band1.fader");
        auto* last = Find<CFader>(*panel, "eq.band31.fader");
        first->setFocus();
        QTest::keyClick(first, Qt::Key_Left);
        QVERIFY(last->hasFocus());
        QTest::keyClick(last, Qt::Key_Right);
        QVERIFY(first->hasFocus());
        QTest::keyClick(first, Qt::Key_Right);
        QVERIFY(Find<CFader>(*panel, "eq.band2.fader")->hasFocus());
        QCOMPARE(first->value(), 200);  // the arrows moved focus, not the gain
    }

    void bypassButtonsShowThePresentersState() {
        auto* by = Find<QPushButton>(*panel, "eq.band3.bypass");
        QVERIFY(by->isChecked());
        QTest::mouseClick(by, Qt::LeftButton);
        QVERIFY2(by->isChecked(), "a band at 0 dB stays bypassed");

        Type(Edit(*panel, "eq.band3.gain"), "-3");
        QVERIFY(!by->isChecked());
        QTest::mouseClick(by, Qt::LeftButton);
        QVERIFY(by->isChecked());
        QCOMPARE(Edit(*panel, "eq.band3.gain")->text(), QString("0.0"));
        QTest::mouseClick(by, Qt::LeftButton);
        QCOMPARE(Edit(*panel, "eq.band3.gain")->text(), QString("-3.0"));

        auto* all = Find<QCheckBox>(*panel, "eq.allBypass");
        QVERIFY(!all->isChecked());
        QTest::mouseClick(all, Qt::LeftButton);
        QVERIFY(all->isChecked());
        QCOMPARE(Edit(*panel, "eq.band3.gain")->text(), QString("0.0"));
    }

    // A click into the gain field of a bypassed band (which shows 0.0) and
    // out again keeps the gain the band holds; the click still marks it.
    void clickIntoABypassedGainKeepsTheStoredGain() {
        Type(Edit(*panel, "eq.band3.gain"), "-3");
        auto* by = Find<QPushButton>(*panel, "eq.band3.bypass");
        QTest::mouseClick(by, Qt::LeftButton);
        QCOMPARE(Edit(*panel, "eq.band3.gain")->text(), QString("0.0"));
        QTest::mouseClick(Edit(*panel, "eq.band3.gain"), Qt::LeftButton);
        QVERIFY(Find<CNumField>(*panel, "eq.band3.gain")->IsHighlighted());
        QTest::keyClick(Edit(*panel, "eq.band3.gain"), Qt::Key_Escape);
        QVERIFY(Band(*host, 0, 2).IsBypassed());
        QTest::mouseClick(by, Qt::LeftButton);
        QCOMPARE(Band(*host, 0, 2).GetGainIndex(), 170);
        QCOMPARE(Edit(*panel, "eq.band3.gain")->text(), QString("-3.0"));
    }

    // The mode button names the mode in use, in both languages.
    void modeButtonNamesTheModeInUse() {
        auto* mode = Find<QPushButton>(*panel, "eq.mode");
        for (const bool chinese : {false, true}) {
            g_bChinese = chinese;
            for (const bool graphic : {false, true}) {
                panel->ShowEqMode(graphic);
                QCOMPARE(mode->text(),
                         QString::fromUtf8(Text(graphic ? TextId::BandGeq : TextId::BandPeq)));
                QCOMPARE(mode->isChecked(), graphic);
            }
            panel->Retranslate();
            QCOMPARE(mode->text(), QString::fromUtf8(Text(TextId::BandGeq)));
        }
        g_bChinese = false;
    }

    void crossoverAndLimiterEditsReachTheModel() {
        CKTV_OutData& ch1 = *host->Model().GetOutput(0);
        Type(Edit(*group, "xover.lp.freq"), "500");
        Type(Edit(*group, "xover.hp.freq"), "800");
        QCOMPARE(ch1.GetHighPass()->GetFreq(), 500);
        QCOMPARE(Edit(*group, "xover.hp.freq")->text(), QString("500Hz"));

        auto* type = Find<QComboBox>(*group, "xover.hp.type");
        QCOMPARE(type->count(), 3);
        emit type->activated(0);
        auto* slope = Find<QComboBox>(*group, "xover.hp.slope");
        slope->setCurrentIndex(3);
        emit slope->activated(3);
        QCOMPARE(ch1.GetHighPass()->GetSlope(), 4);
        QCOMPARE(slope->currentText(), QString("36dB/Oct"));

        Type(Edit(*group, "limiter.threshold"), "-6");
        QCOMPARE(ch1.GetLimitThreshold(), 240);
        emit Find<QComboBox>(*group, "limiter.release")->activated(1);
        QCOMPARE(int(ch1.GetLimitRelease()), 1);
    }

    // Every field shows its widest value whole.
    void fieldsFitTheirWidestText_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("pos");
        QTest::newRow("band frequency") << "eq.band31.freq" << 20000;
        QTest::newRow("band gain") << "eq.band1.gain" << 0;
        QTest::newRow("band Q") << "eq.band1.q" << 20;
        QTest::newRow("crossover") << "xover.lp.freq" << 20000;
        QTest::newRow("threshold") << "limiter.threshold" << 0;
    }
    void fieldsFitTheirWidestText() {
        QFETCH(QString, field);
        QFETCH(int, pos);
        auto* f = Find<CNumField>(*window, field);
        f->SetPos(pos);
        QLineEdit* edit = f->Edit();
        const int needed = QFontMetrics(edit->font()).horizontalAdvance(edit->text());
        const int room = edit->contentsRect().width() - 4;  // the line edit's own margins
        QVERIFY2(
            needed <= room,
            qPrintable(QString("%1 needs %2 px, has %3").arg(edit->text()).arg(needed).arg(room)));
    }

    void shots() {
        const QByteArray dir = qgetenv("TQR905_SHOT_DIR");
        if (dir.isEmpty()) QSKIP("TQR905_SHOT_DIR not set");
        {
            std::lock_guard lock(g_csModel);
            Band(*host, 0, 6).SetGainIndex(290);
            Band(*host, 0, 20).SetGainIndex(95);
            Band(*host, 0, 20).SetBandwidthIndex(3);
        }
        // As the application shows them: Fusion on the dialog background.
        QApplication::setStyle(QStringLiteral("Fusion"));
        QPalette pal = window->palette();
        pal.setColor(QPalette::Window, QColor(227, 228, 238));
        window->setPalette(pal);
        window->setAutoFillBackground(true);
        for (bool chinese : {false, true}) {
            g_bChinese = chinese;
            panel->Presenter().Relabel();
            group->Presenter().Relabel();
            group->Limiter().Presenter().Relabel();
            panel->Presenter().ReloadEqualizer(0);
            panel->Presenter().OnGainCommitted(6, 290);
            window->grab().save(
                QString("%1/eq_%2.png").arg(QString(dir)).arg(chinese ? "zh" : "en"));
        }
        g_bChinese = false;
    }

private:
    std::unique_ptr<OfflineHost> host;
    std::unique_ptr<QWidget> window;
    EqPanel* panel = nullptr;
    XoverGroup* group = nullptr;
};

QTEST_MAIN(EqPanelTest)
#include "eq_panel_test.moc"

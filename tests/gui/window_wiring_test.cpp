// The assembled window without a device: the menu's variant command reaches
// the car area and the top bar, the language command relabels every area at
// once, and Tab walks the areas in reading order.
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "base/globals.h"
#include "gui/app/main_window.h"
#include "gui/app/menus.h"
#include "gui/app/tune_app.h"
#include "gui/controls/num_field.h"
#include "gui/workspace/variant_dialog.h"
#include "gui/workspace/workspace_window.h"
#include "link/hid_registry.h"
#include "modal_answer.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "model/startup_contents.h"
#include "response/filter.h"
#include "workspace/menu_rules.h"

namespace {

// No backend: the application never finds a device.
std::unique_ptr<CTuneApp> OfflineApp() {
    SessionOptions options;
    options.registry = std::make_unique<HidBackendRegistry>();
    auto app = std::make_unique<CTuneApp>(std::move(options));
    app->Presenter().Start();
    app->MainWindow().show();
    return app;
}

QStringList Entries(const QComboBox* list) {
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->itemText(i);
    return entries;
}

}  // namespace

class WindowWiringTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InitStartupContents(); }
    void init() { g_bChinese = false; }
    void cleanup() { g_bChinese = false; }

    void setModalSwitchesCh5AndTheLink56Toggle() {
        const auto app = OfflineApp();
        CWorkspaceWindow& w = app->Workspace();
        app->Presenter().SelectChannel(4);
        auto* link56 = w.findChild<QPushButton*>("top.link56");
        QVERIFY(link56 != nullptr);
        QVERIFY(!link56->isVisibleTo(&w));

        const struct {
            int variant;
            bool link56Shown;
            int highPass;
            int lowPass;
        } steps[] = {{1, true, 20, 500}, {0, false, 256, 2000}};
        for (const auto& step : steps) {
            bool currentStayedOpen = false;
            AnswerModal<VariantDialog>([&](VariantDialog* dialog) {
                auto* current = dialog->findChild<QPushButton*>(
                    QStringLiteral("variant.%1").arg(1 - step.variant));
                QVERIFY(current->isChecked());
                current->click();
                currentStayedOpen = dialog->isVisible();
                dialog->findChild<QPushButton*>(QStringLiteral("variant.%1").arg(step.variant))
                    ->click();
            });
            RunMenuCommand(kCmdSetModal, app->Menus());
            QVERIFY(currentStayedOpen);
            QCOMPARE(link56->isVisibleTo(&w), step.link56Shown);
            QVERIFY(!link56->isEnabled());
            for (const char* select : {"ch5.select", "ch6.select"})
                QCOMPARE(w.findChild<QPushButton*>(select)->property("variantLook").toBool(),
                         step.variant == 1);
            QVERIFY(!w.findChild<QPushButton*>("ch4.select")->property("variantLook").toBool());
            QCOMPARE(w.findChild<CNumField*>("xover.hp.freq")->Pos(), step.highPass);
            QCOMPARE(w.findChild<CNumField*>("xover.lp.freq")->Pos(), step.lowPass);
        }
    }

    void languageSwitchKeepsListPositionsAndChangesTexts() {
        const auto app = OfflineApp();
        CWorkspaceWindow& w = app->Workspace();
        {
            std::lock_guard lock(g_csModel);
            CKTV_OutData* ch1 = app->Session().Model().GetOutput(0);
            ch1->GetHighPass()->SetXoverType(1, false);  // Bessel, 18 dB
            ch1->GetHighPass()->SetSlope(2, false);
            ch1->GetLowPass()->SetXoverType(0, false);  // Linkwitz-Riley, 36 dB
            ch1->GetLowPass()->SetSlope(4, false);
            ch1->SetLimitRelease(3);
        }
        app->Presenter().RefreshAll();
        app->Presenter().OnSourceChosen(2);

        const char* const lists[] = {"top.source",    "xover.hp.type",  "xover.hp.slope",
                                     "xover.lp.type", "xover.lp.slope", "limiter.release"};
        QList<int> positions;
        for (const char* name : lists)
            positions << w.findChild<QComboBox*>(name)->currentIndex();
        QCOMPARE(positions, (QList<int>{2, 1, 2, 0, 3, 3}));
        const QStringList lowPassSlopes = Entries(w.findChild<QComboBox*>("xover.lp.slope"));
        const char* const buttons[] = {"top.connect", "top.mixer", "ch1.output", "eq.reset",
                                       "car.unit.ms"};
        QStringList english;
        for (const char* name : buttons)
            english << w.findChild<QAbstractButton*>(name)->text();
        const QString englishType = w.findChild<QComboBox*>("xover.hp.type")->currentText();

        RunMenuCommand(kCmdLanguage, app->Menus());
        QVERIFY(g_bChinese);

        for (int i = 0; i < int(std::size(lists)); ++i)
            QVERIFY2(w.findChild<QComboBox*>(lists[i])->currentIndex() == positions[i], lists[i]);
        // The family's own list, not the eight-entry one.
        QCOMPARE(Entries(w.findChild<QComboBox*>("xover.lp.slope")), lowPassSlopes);
        QCOMPARE(w.findChild<QComboBox*>("xover.hp.type")->currentText(), QString("贝塞尔"));
        QVERIFY(englishType != QString("贝塞尔"));
        for (int i = 0; i < int(std::size(buttons)); ++i)
            QVERIFY2(w.findChild<QAbstractButton*>(buttons[i])->text() != english[i], buttons[i]);
    }

    // Tab visits the areas in reading order, each once, and stops only on
    // controls.
    void tabWalksTheAreasInReadingOrder() {
        const auto app = OfflineApp();
        CWorkspaceWindow& w = app->Workspace();
        app->MainWindow().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&app->MainWindow()));
        const QStringList areas = {"topBar",  "strips", "graphArea",
                                   "carArea", "eqArea", "xoverArea"};
        const auto areaOf = [&](QWidget* widget) {
            for (int i = 0; i < areas.size(); ++i)
                if (w.Area(qPrintable(areas[i]))->isAncestorOf(widget)) return i;
            if (w.findChild<QWidget*>("topBar")->isAncestorOf(widget)) return 0;
            return -1;
        };
        QWidget* first = w.findChild<QWidget*>("top.connect");
        first->setFocus(Qt::TabFocusReason);
        QCOMPARE(QApplication::focusWidget(), first);

        QStringList visited;
        int area = 0;
        for (int i = 0; i < 1000; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* now = QApplication::focusWidget();
            if (now == first) break;
            QVERIFY2(areaOf(now) >= area,
                     qPrintable(QString("%1 %2 in %3 area %4 after %5")
                                    .arg(now->metaObject()->className(), now->objectName(),
                                         now->parentWidget()->objectName())
                                    .arg(areaOf(now))
                                    .arg(visited.mid(visited.size() - 12).join(","))));
            area = areaOf(now);
            QVERIFY2(qobject_cast<QAbstractButton*>(now) || qobject_cast<QComboBox*>(now) ||
                         qobject_cast<QLineEdit*>(now) || qobject_cast<QAbstractSlider*>(now),
                     qPrintable(now->objectName()));
            // A field's stop is its line edit; name it by the field.
            QWidget* named = now->objectName().isEmpty() ? now->parentWidget() : now;
            visited << named->objectName();
        }
        QCOMPARE(QApplication::focusWidget(), first);
        for (const char* stop :
             {"top.source", "top.menu", "ch1.select", "ch6.gain", "legend.ch3", "car.pos2.delay",
              "car.unit.ms", "eq.band31.gain", "xover.lp.slope", "limiter.release"})
            QVERIFY2(visited.contains(stop), stop);
        QCOMPARE(visited.removeDuplicates(), 0);
    }
};

QTEST_MAIN(WindowWiringTest)
#include "window_wiring_test.moc"

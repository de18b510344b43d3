// The assembled window without a device: the menu's variant command reaches
// the car area and the top bar, the language command relabels every area at
// once, and Tab walks the areas in reading order.
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QWheelEvent>
#include <QtTest>
#include <algorithm>
#include <memory>
#include <optional>

#include "base/globals.h"
#include "controls/num_value.h"
#include "gui/app/app_setup.h"
#include "gui/app/main_window.h"
#include "gui/app/menus.h"
#include "gui/presets/preset_windows.h"
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

// Closes each popup (menu or list) as soon as it shows, for as long as it
// lives; `seen` gets the widget each closed popup was opened from.
class PopupCloser {
public:
    explicit PopupCloser(QWidget** seen = nullptr) {
        QObject::connect(&m_timer, &QTimer::timeout, [seen] {
            QWidget* popup = QApplication::activePopupWidget();
            if (popup == nullptr) return;
            if (seen != nullptr) *seen = popup->parentWidget();
            popup->close();
        });
        m_timer.start(10);
    }

private:
    QTimer m_timer;
};

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
    void initTestCase() {
        InitStartupContents();
        SetUpLook(*qApp);  // the look and input rules of the real application
    }
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

    // A value typed into a field is committed before whatever the next
    // press does: a control that reloads the fields (a channel button, a
    // car position), a list, a menu, or the close button, none of which
    // takes the keyboard focus from the field.
    void typedValueIsCommittedBeforeTheNextPress_data() {
        QTest::addColumn<QString>("pressed");
        QTest::addColumn<bool>("popup");
        QTest::newRow("channel button") << "ch2.select" << false;
        QTest::newRow("car position") << "car.pos3.select" << false;
        QTest::newRow("source list") << "top.source" << true;
        QTest::newRow("crossover list") << "xover.lp.type" << true;
        QTest::newRow("menu") << "top.menu" << true;
        QTest::newRow("sound groups") << "top.groups" << true;
        QTest::newRow("close") << "top.close" << false;
    }
    void typedValueIsCommittedBeforeTheNextPress() {
        QFETCH(QString, pressed);
        QFETCH(bool, popup);
        const auto app = OfflineApp();
        CWorkspaceWindow& w = app->Workspace();
        app->MainWindow().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&app->MainWindow()));
        const auto bandGain = [&] {
            std::lock_guard lock(g_csModel);
            return app->Session().Model().GetOutput(0)->GetBand(4)->GetGainIndex();
        };
        const int before = bandGain();
        auto* field = w.findChild<CNumField*>("eq.band5.gain");
        QTest::mouseClick(field->Edit(), Qt::LeftButton, {}, QPoint(4, 4));
        QTest::keyClicks(field->Edit(), "7.5");
        QCOMPARE(bandGain(), before);
        // Menus and lists open a popup: it is closed once it shows.
        std::optional<PopupCloser> closer;
        if (popup) closer.emplace();
        QWidget* target = w.findChild<QWidget*>(pressed);
        QVERIFY(target != nullptr);
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(6, 6));
        QCOMPARE(bandGain(), 275);
    }

    // The current setting's name shows under the title and in the window's
    // title, elided when long; a new name replaces it.
    void settingNameIsShown() {
        const auto app = OfflineApp();
        auto* shown = app->Workspace().findChild<QLabel*>("top.settingName");
        QVERIFY(shown != nullptr);
        QVERIFY(shown->text().isEmpty());
        app->Menus().Presets().ShowSettingName("Road Trip");
        QCOMPARE(shown->text(), QString("Road Trip"));
        QVERIFY(app->MainWindow().windowTitle().endsWith("Road Trip"));
        const std::string longName(80, 'x');
        app->Menus().Presets().ShowSettingName(longName);
        QVERIFY(shown->text().contains(QChar(0x2026)));
        QCOMPARE(shown->toolTip(), QString::fromStdString(longName));
    }

    // The sound-group menu drops from the Sound button, not from Menu.
    void soundGroupMenuOpensBelowTheSoundButton() {
        const auto app = OfflineApp();
        CWorkspaceWindow& w = app->Workspace();
        app->MainWindow().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&app->MainWindow()));
        auto* sound = w.findChild<QAbstractButton*>("top.groups");
        QWidget* anchor = nullptr;
        const PopupCloser closer(&anchor);
        // Placed from the button it belongs to (the offscreen screen is too
        // small to compare positions: the menu is moved onto it).
        QTest::mouseClick(sound, Qt::LeftButton);
        QCOMPARE(anchor, static_cast<QWidget*>(sound));
    }

    // Scrolling over controls that do not have the keyboard focus changes
    // nothing; once a control has the focus the wheel works as usual.
    void wheelActsOnlyWithFocus() {
        const auto app = OfflineApp();
        CWorkspaceWindow& w = app->Workspace();
        app->MainWindow().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&app->MainWindow()));
        const auto snapshot = [&] {
            std::lock_guard lock(g_csModel);
            CKTV_OutData* ch1 = app->Session().Model().GetOutput(0);
            return QList<int>{w.findChild<QComboBox*>("top.source")->currentIndex(),
                              ch1->GetLowPass()->GetXoverType(), ch1->GetGain(),
                              ch1->GetBand(9)->GetGainIndex(), ch1->GetBand(9)->GetFreq()};
        };
        const auto wheel = [](QWidget* at) {
            const QPointF local(at->width() / 2.0, at->height() / 2.0);
            QWheelEvent e(local, at->mapToGlobal(local), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(at, &e);
        };
        w.findChild<QWidget*>("top.connect")->setFocus();
        const QList<int> start = snapshot();
        const char* const scrolled[] = {"top.source",      "xover.lp.type",  "ch1.fader",
                                        "eq.band10.fader", "eq.band10.freq", "ch1.gain"};
        for (const char* name : scrolled) {
            auto* control = w.findChild<QWidget*>(name);
            QVERIFY2(control != nullptr, name);
            auto* field = qobject_cast<CNumField*>(control);
            wheel(field ? field->Edit() : control);
            QVERIFY2(snapshot() == start, name);
        }
        auto* fader = w.findChild<QWidget*>("eq.band10.fader");
        fader->setFocus();
        wheel(fader);
        QVERIFY(snapshot() != start);
    }

    // Every numeric field of the window and its panels shows its longest
    // text whole (negative gains, "OFF" in Chinese, five-digit frequencies).
    void everyFieldShowsItsLongestText_data() {
        QTest::addColumn<bool>("chinese");
        QTest::newRow("English") << false;
        QTest::newRow("Chinese") << true;
    }
    void everyFieldShowsItsLongestText() {
        QFETCH(bool, chinese);
        g_bChinese = chinese;
        const auto app = OfflineApp();
        QWidget& main = app->MainWindow();
        const QList<CNumField*> fields = main.findChildren<CNumField*>();
        QVERIFY(fields.size() > 100);
        QStringList clipped;
        for (CNumField* field : fields) {
            const CNumValue& value = field->Value();
            const int span = value.GetMax() - value.GetMin();
            const int stride = std::max(1, span / 400);
            QLineEdit* edit = field->Edit();
            const int frame =
                edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
            const int room = edit->width() - 2 * frame - 4;  // the line edit's own margins
            QString longest;
            for (int p = value.GetMin(); p <= value.GetMax(); p += stride) {
                for (const int q : {p, std::min(p + stride - 1, value.GetMax())}) {
                    const QString text = QString::fromStdString(value.TextOf(q));
                    if (edit->fontMetrics().horizontalAdvance(text) >
                        edit->fontMetrics().horizontalAdvance(longest))
                        longest = text;
                }
            }
            if (edit->fontMetrics().horizontalAdvance(longest) > room)
                clipped << QString("%1 '%2' %3>%4")
                               .arg(field->objectName(), longest)
                               .arg(edit->fontMetrics().horizontalAdvance(longest))
                               .arg(room);
        }
        clipped.removeDuplicates();
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join("; ")));
    }
};

QTEST_MAIN(WindowWiringTest)
#include "window_wiring_test.moc"

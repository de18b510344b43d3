// The main window and the workspace as laid out: the fixed size and area
// rectangles, the clipped frame, the move on a screen change, and the
// background click and Enter that commit a field.
#include <QAbstractButton>
#include <QApplication>
#include <QFrame>
#include <QLayout>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include "base/globals.h"
#include "gui/app/main_window.h"
#include "gui/controls/fader.h"
#include "gui/controls/num_field.h"
#include "gui/workspace/workspace_window.h"

class WorkspaceWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { g_bChinese = false; }

    void areasHaveTheirFixedPlaces_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("top bar") << "topBar" << QRect(0, 0, 1284, 44);
        QTest::newRow("strips") << "strips" << QRect(2, 44, 178, 300);
        QTest::newRow("graph") << "graphArea" << QRect(180, 44, 660, 300);
        QTest::newRow("car") << "carArea" << QRect(840, 44, 442, 300);
        QTest::newRow("equalizer") << "eqArea" << QRect(2, 344, 1070, 323);
        QTest::newRow("crossover") << "xoverArea" << QRect(1072, 344, 210, 323);
    }
    void areasHaveTheirFixedPlaces() {
        QFETCH(QString, name);
        QFETCH(QRect, rect);
        CWorkspaceWindow w;
        QCOMPARE(w.size(), QSize(1284, 669));
        QFrame* area = w.Area(name.toLatin1().constData());
        QVERIFY(area != nullptr);
        QCOMPARE(area->geometry(), rect);
        if (name == "topBar") return;  // laid out by the workspace itself
        QVERIFY(area->layout() != nullptr);
        QCOMPARE(area->layout()->contentsMargins(), QMargins());
    }

    // Every control of the strips and the top bar lies inside its area and
    // no two of them overlap, in both languages.
    void controlsFitWithoutOverlap_data() {
        QTest::addColumn<bool>("chinese");
        QTest::newRow("English") << false;
        QTest::newRow("Chinese") << true;
    }
    void controlsFitWithoutOverlap() {
        QFETCH(bool, chinese);
        g_bChinese = chinese;
        CWorkspaceWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (const char* areaName : {"topBar", "strips"}) {
            QFrame* area = w.Area(areaName);
            QList<QRect> placed;
            const QList<QWidget*> controls = area->findChildren<QWidget*>();
            for (QWidget* c : controls) {
                if (!c->objectName().startsWith(QLatin1String("top.")) &&
                    !c->objectName().startsWith(QLatin1String("ch")))
                    continue;
                if (c->objectName().endsWith(QLatin1String(".strip"))) continue;
                const QRect r(c->mapTo(area, QPoint(0, 0)), c->size());
                QVERIFY2(area->rect().contains(r), qPrintable(c->objectName()));
                // A text that needs more room than its button has is clipped.
                if (auto* b = qobject_cast<QAbstractButton*>(c); b && !b->text().isEmpty()) {
                    QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) + 8 <= b->width(),
                             qPrintable(b->objectName() + ": " + b->text()));
                }
                for (const QRect& other : placed)
                    QVERIFY2(!other.intersects(r), qPrintable(c->objectName()));
                placed << r;
            }
            QVERIFY(placed.size() >= 6);
        }
    }

    void frameIsClippedAndScreenChangeMovesTheWindow() {
        CMainWindow main;
        main.SetWorkspace(new CWorkspaceWindow);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QCOMPARE(main.size(), QSize(1284, 669));
        QCOMPARE(main.mask(), QRegion(2, 2, 1280, 665));
        QVERIFY(main.windowFlags() & Qt::FramelessWindowHint);

        main.OnScreenGeometryChanged();
        QCOMPARE(main.geometry(), QRect(0, 0, 1204, 679));
        QCOMPARE(main.mask(), QRegion(2, 2, 1200, 675));
    }

    void closingRunsTheHookFirst() {
        CMainWindow main;
        int stops = 0;
        main.onClosing = [&] {
            QVERIFY(main.isVisible());
            ++stops;
        };
        main.show();
        QVERIFY(main.close());
        QCOMPARE(stops, 1);
    }

    // A click on the background and the Enter key both commit the field
    // being edited.
    void backgroundClickAndEnterCommit() {
        CWorkspaceWindow w;
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        CNumField* gain = w.GainField(1);
        QSignalSpy committed(gain, &CNumField::committed);

        gain->Edit()->setFocus();
        gain->Edit()->selectAll();
        QTest::keyClicks(gain->Edit(), "-12");
        QTest::mouseClick(&w, Qt::LeftButton, {}, QPoint(600, 660));
        QCOMPARE(committed.size(), 1);
        QCOMPARE(gain->Text(), QString("-12dB"));
        QCOMPARE(w.GainFader(1)->value(), 48);

        gain->Edit()->setFocus();
        gain->Edit()->selectAll();
        QTest::keyClicks(gain->Edit(), "-3");
        QTest::keyClick(gain->Edit(), Qt::Key_Enter);
        QCOMPARE(committed.size(), 2);
        QCOMPARE(gain->Pos(), 57);
    }
};

QTEST_MAIN(WorkspaceWindowTest)
#include "workspace_window_test.moc"

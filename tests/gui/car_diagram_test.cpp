// What the car diagram, the mixer panel and the two small dialogs add to
// their presenters: clicks and typed values go out with the right position
// or cell, the unit buttons redraw every delay, the panel opens once.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "base/globals.h"
#include "controls/delay_units.h"
#include "gui/controls/fader.h"
#include "gui/controls/num_field.h"
#include "gui/workspace/car_diagram.h"
#include "gui/workspace/mixer_panel.h"
#include "gui/workspace/variant_dialog.h"
#include "model/ktv_data.h"
#include "workspace/offline_host.h"

namespace {

// Types into the field as a user does, replacing its text, and commits with Enter.
void Type(CNumField* field, const QString& text) {
    QWidget* window = field->window();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    field->Edit()->setFocus();
    field->Edit()->selectAll();
    QTest::keyClicks(field->Edit(), text);
    QTest::keyClick(field->Edit(), Qt::Key_Return);
}

}  // namespace

class CarDiagramTest : public QObject {
    Q_OBJECT
private slots:
    void positionClicksNameTheirPosition() {
        CarDiagram car;
        car.show();
        car.ShowPosition(kPosRearLeftLow, true, 2);
        car.ShowPosition(kPosCentreHigh, true, kNoChannel);
        QSignalSpy clicks(&car, &CarDiagram::positionClicked);
        QTest::mouseClick(car.PositionButton(kPosRearLeftLow), Qt::LeftButton);
        QTest::mouseClick(car.PositionButton(kPosCentreHigh), Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.at(0).at(0).toInt(), int(kPosRearLeftLow));
        QCOMPARE(car.PositionButton(kPosRearLeftLow)->text(), QString("CH3"));
        QVERIFY(!car.PositionButton(kPosFrontLeftHigh)->isVisible());
    }

    void unitButtonsRedrawEveryDelay() {
        CarDiagram car;
        car.show();
        connect(&car, &CarDiagram::unitChosen, &car, &CarDiagram::ShowDelayUnit);
        car.ShowDelay(kPosLeftSub, 960);
        car.ShowDelay(kPosFrontRightLow, 139);
        const struct {
            int unit;
            const char* sub;
            const char* frontRight;
        } cases[] = {{kDelayUnitCm, "692.0", "100.2"},
                     {kDelayUnitInch, "272.4", "39.4"},
                     {kDelayUnitMs, "20.000", "2.896"}};
        for (const auto& c : cases) {
            QTest::mouseClick(car.UnitButton(c.unit), Qt::LeftButton);
            QCOMPARE(car.DelayField(kPosLeftSub)->Text(), QString(c.sub));
            QCOMPARE(car.DelayField(kPosFrontRightLow)->Text(), QString(c.frontRight));
            for (int u = 0; u < 3; ++u)
                QCOMPARE(car.UnitButton(u)->isChecked(), u == c.unit);
        }
        QCOMPARE(car.DelayField(kPosLeftSub)->Pos(), 960);
    }

    void typedDelayGoesOutInSamples() {
        CarDiagram car;
        car.show();
        car.ShowPosition(kPosFrontRightHigh, true, 2);
        car.ShowDelayUnit(kDelayUnitCm);
        QSignalSpy edits(&car, &CarDiagram::delayEdited);
        Type(car.DelayField(kPosFrontRightHigh), "100");
        QCOMPARE(edits.count(), 1);
        QCOMPARE(edits.at(0).at(0).toInt(), int(kPosFrontRightHigh));
        QCOMPARE(edits.at(0).at(1).toInt(), 139);
    }

    void mixerPanelOpensOnceAndSendsItsCells() {
        OfflineHost host;
        QWidget owner;
        QPushButton mixerButton(&owner);
        owner.show();
        auto* panel = new MixerPanel(&owner);
        CMixerPresenter mixer(host, *panel);
        connect(&mixerButton, &QPushButton::clicked, [&] { mixer.OnMixerButton(); });
        connect(panel, &MixerPanel::closed, [&] { mixer.OnPanelClosed(); });
        connect(panel, &MixerPanel::cellChanged,
                [&](int o, int k, int level) { mixer.OnCellChanged(o, k, level); });
        panel->SetMixerButton(&mixerButton);

        QTest::mouseClick(&mixerButton, Qt::LeftButton);
        QVERIFY(panel->isVisible());
        const QPoint opened = panel->pos();
        panel->move(opened + QPoint(40, 40));
        QTest::mouseClick(&mixerButton, Qt::LeftButton);
        QCOMPARE(panel->pos(), opened + QPoint(40, 40));  // untouched by the second press
        QCOMPARE(owner.findChildren<MixerPanel*>().size(), qsizetype(1));

        // The standard layout shows inputs 1..4; "more inputs" shows all twelve.
        QVERIFY(panel->Field(3, 3)->isVisible());
        QVERIFY(!panel->Field(3, 5)->isVisible());
        QVERIFY(!panel->Fader(3, 5)->isVisible());
        panel->SetMoreInputs(true);
        QVERIFY(panel->Field(5, 11)->isVisible());

        Type(panel->Field(1, 9), "55");
        QCOMPARE(int(host.Model().GetOutput(1)->GetMix(9)), 55);
        QCOMPARE(panel->Fader(1, 9)->value(), 55);
        panel->Fader(2, 0)->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(int(host.Model().GetOutput(2)->GetMix(0)), panel->Fader(2, 0)->value());
        QCOMPARE(panel->Field(2, 0)->Pos(), panel->Fader(2, 0)->value());

        panel->close();
        QVERIFY(!mixer.IsOpen());
        QTest::mouseClick(&mixerButton, Qt::LeftButton);
        QVERIFY(panel->isVisible());
    }

    void variantDialogIgnoresTheCurrentVariant() {
        VariantDialog dialog(1);
        dialog.show();
        auto* current = dialog.findChild<QPushButton*>("variant.1");
        auto* other = dialog.findChild<QPushButton*>("variant.0");
        QTest::mouseClick(current, Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QVERIFY(current->isChecked());
        QTest::mouseClick(other, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.Chosen(), 0);
    }
};

QTEST_MAIN(CarDiagramTest)
#include "car_diagram_test.moc"

// The numeric field and spin as a user drives them: typed text committed on
// focus loss, arrow steps, the held-arrow throttle, the out-of-range message,
// the click, and a fader attached to a field.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStyle>
#include <QtTest>

#include "base/globals.h"
#include "controls/num_value.h"
#include "gui/controls/fader.h"
#include "gui/controls/look.h"
#include "gui/controls/num_field.h"

namespace {

struct FieldSetup {
    int type;
    int lo, hi;
    double step, offset;
};

const FieldSetup kEqGain{kValEqGain, 0, 400, 0.1, 20.0};
const FieldSetup kDelayMs{kValDelayMs, 0, 960, 0, 0};
const FieldSetup kDelayCm{kValDelayCm, 0, 960, 0, 0};
const FieldSetup kBandFreq{kValBandFreq, 20, 20000, 0, 0};
const FieldSetup kChannelGain{kValGainDb, 0, 60, 1.0, 60.0};

void Configure(CNumField& f, const FieldSetup& s) {
    f.SetStep(s.step);
    f.SetOffset(s.offset);
    f.SetType(s.type);
    f.SetRange(s.lo, s.hi);
}

// A window with the field and something else to take the focus.
struct Form {
    QWidget window;
    CNumField* field;
    QLineEdit* other;
    explicit Form(const FieldSetup& s) {
        window.resize(200, 100);
        field = new CNumField(&window);
        field->setGeometry(10, 10, 80, 22);
        other = new QLineEdit(&window);
        other->setGeometry(10, 50, 80, 22);
        Configure(*field, s);
        window.show();
        window.activateWindow();
        (void)QTest::qWaitForWindowActive(&window);
    }
    // Types into the field as a user does, replacing its text.
    void Type(const QString& text) {
        field->Edit()->setFocus();
        field->Edit()->selectAll();
        QTest::keyClicks(field->Edit(), text);
    }
};

}  // namespace

Q_DECLARE_METATYPE(FieldSetup)

class NumFieldTest : public QObject {
    Q_OBJECT
private slots:
    void init() { g_bChinese = false; }

    void typedTextIsCommittedOnFocusLoss_data() {
        QTest::addColumn<FieldSetup>("setup");
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("pos");
        QTest::addColumn<QString>("shown");
        // Typed values are truncated to the step, not rounded.
        QTest::newRow("eq gain -3.45") << kEqGain << 200 << "-3.45" << 165 << "-3.5";
        QTest::newRow("delay 30 ms clamps") << kDelayMs << 0 << "30" << 960 << "20.000";
        QTest::newRow("delay 700 cm clamps") << kDelayCm << 0 << "700" << 960 << "692.0";
        QTest::newRow("no number is 0 dB") << kChannelGain << 30 << "abc" << 60 << "0dB";
        QTest::newRow("off word") << kChannelGain << 30 << "OFF" << 0 << "-60dB";
    }
    void typedTextIsCommittedOnFocusLoss() {
        QFETCH(FieldSetup, setup);
        QFETCH(int, start);
        QFETCH(QString, typed);
        QFETCH(int, pos);
        QFETCH(QString, shown);
        Form form(setup);
        QVERIFY(form.field->SetPos(start));
        QSignalSpy committed(form.field, &CNumField::committed);
        form.Type(typed);
        QCOMPARE(form.field->Text(), typed);
        QVERIFY(committed.isEmpty());
        form.other->setFocus();
        QCOMPARE(form.field->Pos(), pos);
        QCOMPARE(form.field->Text(), shown);
        QCOMPARE(committed.size(), 1);
        QCOMPARE(committed.front().front().toInt(), pos);
    }

    // Focus passing through without typing tells the owner nothing; reading
    // the position commits typed text; Enter and Escape commit too.
    void commitPaths() {
        Form form(kChannelGain);
        form.field->SetPos(30);
        QSignalSpy committed(form.field, &CNumField::committed);
        form.field->Edit()->setFocus();
        form.other->setFocus();
        QCOMPARE(committed.size(), 0);

        form.Type("-12");
        QCOMPARE(form.field->GetPos(), 48);
        QCOMPARE(committed.size(), 1);
        QCOMPARE(form.field->Text(), QString("-12dB"));

        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            form.Type("-20");
            QTest::keyClick(form.field->Edit(), key);
            QVERIFY(!form.field->Edit()->hasFocus());
            QCOMPARE(form.field->Pos(), 40);
            form.field->SetPos(30);
        }
        QCOMPARE(committed.size(), 3);
    }

    void arrowSteps_data() {
        QTest::addColumn<FieldSetup>("setup");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("pos");
        // Frequencies land on the neighbouring response-grid frequency.
        QTest::newRow("1000 Hz up") << kBandFreq << 1000 << 1 << 1030;
        QTest::newRow("1000 Hz down") << kBandFreq << 1000 << -1 << 972;
        QTest::newRow("20 Hz down stays") << kBandFreq << 20 << -1 << 20;
        QTest::newRow("gain up") << kChannelGain << 30 << 1 << 31;
        QTest::newRow("gain at top stays") << kChannelGain << 60 << 1 << 60;
    }
    void arrowSteps() {
        QFETCH(FieldSetup, setup);
        QFETCH(int, start);
        QFETCH(int, delta);
        QFETCH(int, pos);
        Form form(setup);
        form.field->SetPos(start);
        QSignalSpy committed(form.field, &CNumField::committed);
        form.field->Spin()->setFocus();
        QTest::keyClick(form.field->Spin(), delta > 0 ? Qt::Key_Up : Qt::Key_Down);
        QCOMPARE(form.field->Pos(), pos);
        QCOMPARE(form.field->Text(), QString::fromStdString(form.field->Value().Text()));
        // The owner hears of a change at once, and of nothing else.
        QCOMPARE(committed.size(), pos == start ? 0 : 1);
    }

    // A step starts from text typed but not yet committed.
    void stepStartsFromTypedText() {
        Form form(kChannelGain);
        form.field->SetPos(30);
        form.Type("-10");
        QTest::keyClick(form.field->Edit(), Qt::Key_Up);
        QCOMPARE(form.field->Pos(), 51);
        QCOMPARE(form.field->Text(), QString("-9dB"));
    }

    // Holding an arrow: the text follows every step, the owner hears at most
    // every 400 ms and once more at release.
    void heldArrowIsThrottled() {
        Form form(kBandFreq);
        form.field->SetPos(100);
        QStringList texts;
        connect(form.field->Edit(), &QLineEdit::textChanged, form.field,
                [&](const QString& t) { texts << t; });
        QList<qint64> heard;
        QElapsedTimer clock;
        connect(form.field, &CNumField::committed, form.field, [&] { heard << clock.elapsed(); });
        QWidget* spin = form.field->Spin();
        const QPoint upArrow(spin->width() / 2, 2);
        clock.start();
        QTest::mousePress(spin, Qt::LeftButton, {}, upArrow);
        QTest::qWait(1300);
        const qint64 held = clock.elapsed();
        const qsizetype heardWhileHeld = heard.size();
        QTest::mouseRelease(spin, Qt::LeftButton, {}, upArrow);

        QVERIFY2(heardWhileHeld <= held / CNumField::kRepeatNotifyMs,
                 qPrintable(QString("%1 notices in %2 ms").arg(heardWhileHeld).arg(held)));
        QVERIFY(heardWhileHeld >= 1);
        for (qsizetype i = 1; i < heard.size() - 1; ++i)
            QVERIFY(heard[i] - heard[i - 1] >= CNumField::kRepeatNotifyMs);
        QCOMPARE(heard.size(), heardWhileHeld + 1);  // the release reports the rest
        QVERIFY2(texts.size() > heard.size() + 3, qPrintable(texts.join(' ')));
        QCOMPARE(texts.back(), form.field->Text());
        QVERIFY(form.field->Pos() > 100);

        // A release after the last change was reported adds nothing.
        heard.clear();
        form.field->SetPos(20000);
        const QPoint downArrow(spin->width() / 2, spin->height() - 2);
        QTest::mousePress(spin, Qt::LeftButton, {}, upArrow);
        QTest::qWait(450);
        QTest::mouseRelease(spin, Qt::LeftButton, {}, upArrow);
        QCOMPARE(heard.size(), 0);
        QTest::mouseClick(spin, Qt::LeftButton, {}, downArrow);
        QCOMPARE(heard.size(), 1);
        QVERIFY(form.field->Pos() < 20000);
    }

    void outOfRangeIsShownAndMarked_data() {
        QTest::addColumn<bool>("chinese");
        QTest::addColumn<QString>("message");
        QTest::newRow("English") << false << "ch4.gain:Data beyond range!";
        QTest::newRow("Chinese") << true << "ch4.gain:数据超范围!";
    }
    // A stored value beyond the range is shown as it is, in the warning
    // colour with a tooltip that names the field, and an arrow step starts
    // from it clamped into the range, not from an older value.
    void outOfRangeIsShownAndMarked() {
        QFETCH(bool, chinese);
        QFETCH(QString, message);
        g_bChinese = chinese;
        Form form(kChannelGain);
        form.field->setObjectName("ch4.gain");
        form.field->SetPos(40);
        QSignalSpy committed(form.field, &CNumField::committed);
        QVERIFY(!form.field->SetPos(65));
        QCOMPARE(form.field->Text(), QString("5dB"));
        QVERIFY(form.field->IsOutOfRange());
        QCOMPARE(form.field->Edit()->palette().color(QPalette::Text), kWarningColour);
        QVERIFY2(form.field->Edit()->toolTip().startsWith(message),
                 qPrintable(form.field->Edit()->toolTip()));
        QVERIFY(committed.isEmpty());

        form.field->Spin()->setFocus();
        QTest::keyClick(form.field->Spin(), Qt::Key_Down);
        QCOMPARE(form.field->Pos(), 59);
        QCOMPARE(committed.size(), 1);
        QVERIFY(!form.field->IsOutOfRange());
        QVERIFY(form.field->Edit()->palette().color(QPalette::Text) != kWarningColour);
        QVERIFY(form.field->Edit()->toolTip().isEmpty());

        QVERIFY(!form.field->SetPos(-1));
        QCOMPARE(form.field->Text(), QString("-61dB"));
        QVERIFY(form.field->IsOutOfRange());
        g_bChinese = false;
    }

    // Leaving a field with the text it showed sends nothing, however it is
    // left; a changed text is committed each way.
    void unchangedTextCommitsNothing_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("leave");  // 0: other widget, 1: Escape, 2: Tab, 3: Enter
        QTest::addColumn<int>("commits");
        for (int leave = 0; leave < 4; ++leave) {
            QTest::addRow("untouched, leave %d", leave) << QString() << leave << 0;
            QTest::addRow("retyped, leave %d", leave) << "-18dB" << leave << 0;
            QTest::addRow("changed, leave %d", leave) << "-17" << leave << 1;
        }
    }
    void unchangedTextCommitsNothing() {
        QFETCH(QString, typed);
        QFETCH(int, leave);
        QFETCH(int, commits);
        Form form(kChannelGain);
        form.field->SetPos(42);
        QSignalSpy committed(form.field, &CNumField::committed);
        QTest::mouseClick(form.field->Edit(), Qt::LeftButton, {}, QPoint(5, 5));
        if (!typed.isEmpty()) QTest::keyClicks(form.field->Edit(), typed);
        switch (leave) {
            case 0:
                QTest::mouseClick(form.other, Qt::LeftButton);
                form.other->setFocus();
                break;
            case 1:
                QTest::keyClick(form.field->Edit(), Qt::Key_Escape);
                break;
            case 2:
                QTest::keyClick(form.field->Edit(), Qt::Key_Tab);
                break;
            default:
                QTest::keyClick(form.field->Edit(), Qt::Key_Return);
                break;
        }
        QVERIFY(!form.field->Edit()->hasFocus());
        QCOMPARE(committed.size(), commits);
        QCOMPARE(form.field->Pos(), commits ? 43 : 42);
    }

    // The wheel steps a field only while it has the keyboard focus.
    void wheelNeedsFocus() {
        Form form(kChannelGain);
        form.field->SetPos(30);
        QSignalSpy committed(form.field, &CNumField::committed);
        const auto wheel = [&](int notches) {
            const QPointF at(5, 5);
            QWheelEvent e(at, form.field->Edit()->mapToGlobal(at), QPoint(),
                          QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
            QApplication::sendEvent(form.field->Edit(), &e);
        };
        form.other->setFocus();
        wheel(1);
        QCOMPARE(form.field->Pos(), 30);
        QVERIFY(committed.isEmpty());
        form.field->Edit()->setFocus();
        wheel(2);
        QCOMPARE(form.field->Pos(), 32);
        wheel(-1);
        QCOMPARE(form.field->Pos(), 31);
        QCOMPARE(committed.size(), 3);
    }

    void clickSelects() {
        Form form(kChannelGain);
        form.field->SetPos(42);
        QSignalSpy clicked(form.field, &CNumField::clicked);
        QSignalSpy committed(form.field, &CNumField::committed);
        QTest::mouseClick(form.field->Edit(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(clicked.front().front().toInt(), 42);
        QVERIFY(committed.isEmpty());
        QVERIFY(form.field->Edit()->hasFocus());
        QCOMPARE(form.field->Edit()->selectedText(), QString("-18dB"));
        // Typing replaces the selected text.
        QTest::keyClicks(form.field->Edit(), "-5");
        QCOMPARE(form.field->Text(), QString("-5"));
    }

    void textLimit() {
        Form form(kChannelGain);
        form.field->SetMaxChars(6);
        form.Type("-12345678");
        QCOMPARE(form.field->Text(), QString("-12345"));
        form.other->setFocus();
        QCOMPARE(form.field->Pos(), 0);
    }

    void highlight() {
        Form form(kChannelGain);
        CFader fader(&form.window);
        form.field->AttachFader(&fader);
        form.field->SetHighlight(true);
        QCOMPARE(form.field->Edit()->palette().color(QPalette::Base), kHighlightColour);
        QVERIFY(fader.IsHighlighted());
        form.field->SetHighlight(false);
        QVERIFY(form.field->Edit()->palette().color(QPalette::Base) != kHighlightColour);
        QVERIFY(!fader.IsHighlighted());
    }

    // The fader takes the field's range and follows it; dragging the fader
    // moves the field without a commit (the owner hears the fader itself),
    // and releasing it gives the field the focus.
    void faderFollowsField() {
        Form form(kChannelGain);
        auto* fader = new CFader(&form.window);
        fader->setGeometry(120, 0, 20, 100);
        fader->show();
        form.field->AttachFader(fader);
        QCOMPARE(fader->minimum(), 0);
        QCOMPARE(fader->maximum(), 60);
        QSignalSpy moved(fader, &CFader::moved);
        QSignalSpy committed(form.field, &CNumField::committed);
        form.field->SetPos(25);
        QCOMPARE(fader->value(), 25);
        form.Type("-6");
        form.other->setFocus();
        QCOMPARE(fader->value(), 54);
        QVERIFY(moved.isEmpty());  // positions set by the program emit nothing
        QCOMPARE(committed.size(), 1);

        fader->setFocus();
        QTest::keyClick(fader, Qt::Key_Down);
        QCOMPARE(moved.size(), 1);
        QCOMPARE(form.field->Pos(), 53);
        QCOMPARE(form.field->Text(), QString("-7dB"));
        QCOMPARE(committed.size(), 1);
        fader->setSliderDown(true);
        fader->setSliderDown(false);
        QVERIFY(form.field->Edit()->hasFocus());
    }
};

QTEST_MAIN(NumFieldTest)
#include "num_field_test.moc"

#include "gui/controls/num_field.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionSpinBox>
#include <QTimer>
#include <QWheelEvent>
#include <QtDebug>

#include "base/texts.h"
#include "gui/controls/fader.h"
#include "gui/controls/look.h"

namespace {

// A held arrow steps after this delay, then at the repeat interval.
constexpr int kArrowFirstRepeatMs = 300;
constexpr int kArrowRepeatMs = 60;

}  // namespace

// The up/down arrows beside the field. A press on an arrow steps at once and
// keeps stepping while held; the field throttles what the owner hears.
class CNumSpin : public QWidget {
public:
    explicit CNumSpin(CNumField* field) : QWidget(field), m_pField(field) {
        setFocusPolicy(Qt::ClickFocus);
        setFixedWidth(14);
        m_repeat.setSingleShot(false);
        connect(&m_repeat, &QTimer::timeout, this, [this] {
            m_repeat.setInterval(kArrowRepeatMs);
            m_pField->StepBy(m_nHeldDelta, true);
        });
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QStyleOptionSpinBox opt;
        opt.initFrom(this);
        opt.frame = false;
        opt.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
        opt.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
        opt.activeSubControls = m_nHeldDelta > 0   ? QStyle::SC_SpinBoxUp
                                : m_nHeldDelta < 0 ? QStyle::SC_SpinBoxDown
                                                   : QStyle::SC_None;
        if (m_nHeldDelta != 0) opt.state |= QStyle::State_Sunken;
        const int half = height() / 2;
        QStyleOption arrow(opt);
        for (int up = 0; up < 2; ++up) {
            arrow.rect = up ? QRect(0, 0, width(), half) : QRect(0, half, width(), height() - half);
            style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &arrow, &p, this);
            style()->drawPrimitive(up ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown,
                                   &arrow, &p, this);
        }
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton || m_nHeldDelta != 0) return;
        m_nHeldDelta = e->position().y() < height() / 2.0 ? 1 : -1;
        update();
        m_pField->StepBy(m_nHeldDelta, true);
        m_repeat.start(kArrowFirstRepeatMs);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton || m_nHeldDelta == 0) return;
        m_repeat.stop();
        m_nHeldDelta = 0;
        update();
        m_pField->ReleaseHeld();
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Up || e->key() == Qt::Key_Down) {
            m_pField->StepBy(e->key() == Qt::Key_Up ? 1 : -1);
            return;
        }
        QWidget::keyPressEvent(e);
    }

private:
    CNumField* m_pField;
    QTimer m_repeat;
    int m_nHeldDelta = 0;
};

CNumField::CNumField(QWidget* parent) : QWidget(parent) {
    m_pEdit = new QLineEdit(this);
    m_pEdit->setAlignment(Qt::AlignCenter);
    m_pEdit->installEventFilter(this);
    m_pSpin = new CNumSpin(this);
    m_pSpin->installEventFilter(this);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(m_pEdit, 1);
    row->addWidget(m_pSpin);
    setFocusProxy(m_pEdit);
    // The field is one stop of the tab chain; a window can order it as one.
    setFocusPolicy(m_pEdit->focusPolicy());

    m_pNotifyTimer = new QTimer(this);
    m_pNotifyTimer->setInterval(kRepeatNotifyMs);
    // Restarted after each tick rather than periodic, and precise: a late
    // tick must not bring the next one closer, nor a coarse timer fire early.
    m_pNotifyTimer->setSingleShot(true);
    m_pNotifyTimer->setTimerType(Qt::PreciseTimer);
    connect(m_pNotifyTimer, &QTimer::timeout, this, &CNumField::OnRepeatTick);
    connect(m_pEdit, &QLineEdit::textEdited, this, [this] { m_bModified = true; });
    ShowValue();
}

CNumField::~CNumField() = default;

QWidget* CNumField::Spin() const {
    return m_pSpin;
}

void CNumField::SetStep(double step) {
    m_value.SetStep(step);
    ShowValue();
}

void CNumField::SetOffset(double offset) {
    m_value.SetOffset(offset);
    ShowValue();
}

void CNumField::SetType(int type) {
    m_value.SetType(type);
    ShowValue();
}

void CNumField::SetMaxChars(int chars) {
    m_pEdit->setMaxLength(chars > 0 ? chars : 32767);
}

void CNumField::SetRange(int lo, int hi) {
    m_value.SetRange(lo, hi);
    if (m_pFader) {
        m_pFader->setRange(lo, hi);
        m_pFader->SetPos(m_value.GetPos());
    }
    ShowValue();
}

std::string CNumField::FieldName() const {
    if (!objectName().isEmpty()) return objectName().toStdString();
    return std::to_string(m_nControlId);
}

bool CNumField::SetPos(int p) {
    const bool inRange = m_value.SetPos(p);
    if (!inRange) m_value.HoldPos(p);
    m_bModified = false;
    ShowValue();
    return inRange;
}

int CNumField::GetPos() {
    CommitAndNotify();
    return m_value.GetPos();
}

QString CNumField::Text() const {
    return m_pEdit->text();
}

void CNumField::ShowValue() {
    m_pEdit->setText(QString::fromStdString(m_value.Text()));
    if (m_pFader) m_pFader->SetPos(m_value.GetPos());
    ShowRangeMark();
}

// A stored value outside the range is shown in the warning colour; its
// tooltip names the field and says why. The text is built when shown, so
// that it follows the language.
void CNumField::ShowRangeMark() {
    const bool outside = m_value.IsOutOfRange();
    if (outside != m_pEdit->property("outOfRange").toBool()) {
        m_pEdit->setProperty("outOfRange", outside);
        QPalette pal = m_pEdit->palette();
        pal.setColor(QPalette::Text, outside ? kWarningColour : QPalette().color(QPalette::Text));
        m_pEdit->setPalette(pal);
    }
    m_pEdit->setToolTip(outside ? OutOfRangeText() : QString());
}

QString CNumField::OutOfRangeText() const {
    return QString::fromStdString(BeyondRangeText(FieldName())) + QLatin1Char('\n') +
           QString::fromUtf8(::Text(TextId::FieldOutOfRange));
}

// Text left as the field showed it is no change: clicking in and out, or
// retyping the shown text, sends nothing.
bool CNumField::CommitText() {
    if (!m_bModified) return false;
    m_bModified = false;
    const std::string typed = m_pEdit->text().toStdString();
    if (typed == m_value.Text()) return false;
    m_value.Commit(typed);
    ShowValue();
    return true;
}

void CNumField::CommitAndNotify() {
    if (CommitText()) Notify();
}

void CNumField::Notify() {
    emit committed(m_value.GetPos());
}

void CNumField::StepBy(int delta, bool held) {
    // Typed text not yet committed is where the step starts from.
    CommitText();
    const int before = m_value.GetPos();
    m_value.Step(delta);
    ShowValue();
    if (m_value.GetPos() != before) m_bPendingNotify = true;
    if (held) {
        if (!m_bHeld) {
            m_bHeld = true;
            m_pNotifyTimer->start();
        }
        return;
    }
    NotifyPending();
}

void CNumField::OnRepeatTick() {
    NotifyPending();
    if (m_bHeld) m_pNotifyTimer->start();
}

void CNumField::NotifyPending() {
    if (!m_bPendingNotify) return;
    m_bPendingNotify = false;
    Notify();
}

void CNumField::ReleaseHeld() {
    if (!m_bHeld) return;
    m_bHeld = false;
    m_pNotifyTimer->stop();
    NotifyPending();
}

void CNumField::SetHighlight(bool on) {
    if (on == m_bHighlighted) return;
    m_bHighlighted = on;
    QPalette pal = m_pEdit->palette();
    pal.setColor(QPalette::Base, on ? kHighlightColour : QPalette().color(QPalette::Base));
    m_pEdit->setPalette(pal);
    if (m_pFader) m_pFader->SetHighlight(on);
}

void CNumField::AttachFader(CFader* fader) {
    m_pFader = fader;
    if (!fader) return;
    fader->setRange(m_value.GetMin(), m_value.GetMax());
    fader->SetPos(m_value.GetPos());
    fader->SetHighlight(m_bHighlighted);
    connect(fader, &CFader::moved, this, &CNumField::OnFaderMoved);
    connect(fader, &CFader::released, this, [this] { m_pEdit->setFocus(Qt::OtherFocusReason); });
}

void CNumField::OnFaderMoved(int pos) {
    if (m_value.SetPos(pos)) {
        m_bModified = false;
        m_pEdit->setText(QString::fromStdString(m_value.Text()));
        ShowRangeMark();
    }
}

// A wheel notch is an arrow step, but only for a field that has the keyboard
// focus: scrolling across a window of fields changes nothing. False when the
// wheel is not the field's to take.
bool CNumField::Wheel(QWheelEvent* event) {
    if (!m_pEdit->hasFocus() && !m_pSpin->hasFocus()) return false;
    event->accept();
    m_nWheelAngle += event->angleDelta().y();
    constexpr int kNotch = 120;
    while (m_nWheelAngle >= kNotch || m_nWheelAngle <= -kNotch) {
        const int delta = m_nWheelAngle > 0 ? 1 : -1;
        m_nWheelAngle -= delta * kNotch;
        StepBy(delta);
    }
    return true;
}

bool CNumField::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel && (watched == m_pEdit || watched == m_pSpin)) {
        if (Wheel(static_cast<QWheelEvent*>(event))) return true;
        event->ignore();
        return true;  // no scrolling of anything below the field either
    }
    if (watched != m_pEdit) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::FocusOut:
            CommitAndNotify();
            break;
        case QEvent::MouseButtonPress: {
            auto* me = static_cast<QMouseEvent*>(event);
            if (me->button() != Qt::LeftButton) break;
            // The whole text selected, so that typing replaces it.
            m_pEdit->setFocus(Qt::MouseFocusReason);
            m_pEdit->selectAll();
            emit clicked(m_value.GetPos());
            return true;
        }
        case QEvent::MouseButtonDblClick:
            m_pEdit->selectAll();
            return true;
        case QEvent::KeyPress: {
            auto* ke = static_cast<QKeyEvent*>(event);
            switch (ke->key()) {
                case Qt::Key_Up:
                case Qt::Key_Down:
                    StepBy(ke->key() == Qt::Key_Up ? 1 : -1);
                    return true;
                case Qt::Key_Return:
                case Qt::Key_Enter:
                case Qt::Key_Escape:
                    // Enter and Escape commit by giving the focus back to the
                    // window; the commit runs on the focus loss, or here when
                    // the focus could not move (an inactive window).
                    if (QWidget* w = window(); w != nullptr && w != m_pEdit)
                        w->setFocus(Qt::OtherFocusReason);
                    CommitAndNotify();
                    return true;
                default:
                    break;
            }
            break;
        }
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

#pragma once
// CNumField: the numeric entry field and its spin, one widget. The value is
// an integer step position held by a CNumValue (core/controls), whose value
// type decides the text, the parsing of typed text and the arrow steps.
//
// Set up in this order before the first value: SetStep, SetOffset, SetType,
// SetMaxChars, SetRange (the position becomes the range's low end).
//
// What the owner hears, all with the position:
//   committed(pos)  the user changed the value: typed text committed (focus
//                   left the field, Enter, Escape), an arrow step, or a wheel
//                   notch while the field has the keyboard focus. Text left
//                   as it was shown commits nothing, so a click in and out
//                   never writes a value the field merely shows. While a
//                   spin arrow is held the text follows every step but
//                   committed() comes at most every 400 ms, and once more at
//                   release when a change is still unreported.
//   clicked(pos)    a click into the field: the owner may highlight the
//                   parameter, but must not write the value; the field
//                   takes the focus with its whole text selected.
// SetPos from the program never emits anything. An out-of-range SetPos shows
// the stored value as it is, marked in the warning colour with a tooltip
// "<field>: Data beyond range!" and why; an arrow step then starts from it
// clamped into the range. (A message box at every refresh would stop a new
// device's window at each channel for a value the field now shows.)
//
// A fader attached with AttachFader follows the field and moves it: see
// gui/controls/fader.h.

#include <QWidget>
#include <string>

#include "controls/num_value.h"

class QLineEdit;
class QTimer;
class CFader;
class CNumSpin;
class QWheelEvent;

class CNumField : public QWidget {
    Q_OBJECT
public:
    // The held-arrow notification period.
    static constexpr int kRepeatNotifyMs = 400;

    explicit CNumField(QWidget* parent = nullptr);
    ~CNumField() override;

    // ---- Set-up ----
    void SetStep(double step);
    void SetOffset(double offset);
    void SetType(int type);
    // Longest text the user may type (6 for gains, 10 for delays); 0: no limit.
    void SetMaxChars(int chars);
    void SetRange(int lo, int hi);
    // The identifier the out-of-range message names.
    void SetControlId(int id) { m_nControlId = id; }
    int ControlId() const { return m_nControlId; }

    // ---- Value ----
    // Stores p and shows it; returns false (after the out-of-range message
    // and with the value marked) when it lies outside the range. Emits
    // nothing; an attached fader follows.
    bool SetPos(int p);
    // The value shown lies outside the range (marked in the warning colour).
    bool IsOutOfRange() const { return m_value.IsOutOfRange(); }
    // How the out-of-range message names the field: its role name, else its
    // identifier.
    std::string FieldName() const;
    // The tooltip of a marked field.
    QString OutOfRangeText() const;
    // Commits pending typed text first (which notifies the owner), then
    // returns the position.
    int GetPos();
    // The position without committing typed text.
    int Pos() const { return m_value.GetPos(); }
    int Min() const { return m_value.GetMin(); }
    int Max() const { return m_value.GetMax(); }
    const CNumValue& Value() const { return m_value; }
    // The text shown now (typed text until it is committed).
    QString Text() const;
    // The user typed since the last commit.
    bool IsModified() const { return m_bModified; }

    // Arrow step by +1 / -1, as a click on the spin's arrows: the frequency
    // types snap to the response grid. `held`: a mouse button stays down on
    // the arrow, so the owner hears of it through the 400 ms throttle.
    void StepBy(int delta, bool held = false);
    // The mouse button held on the spin was released: a still unreported
    // change is reported now.
    void ReleaseHeld();
    bool IsHeld() const { return m_bHeld; }

    // ---- Look ----
    void SetHighlight(bool on);
    bool IsHighlighted() const { return m_bHighlighted; }
    // The fader follows the field (position, range, highlight); dragging it
    // moves the field, and releasing it gives the field the focus.
    void AttachFader(CFader* fader);
    CFader* Fader() const { return m_pFader; }

    QLineEdit* Edit() const { return m_pEdit; }
    QWidget* Spin() const;

signals:
    void committed(int pos);
    void clicked(int pos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class CNumSpin;
    void ShowValue();
    // Parses pending typed text into the position; true when there was some.
    bool CommitText();
    void CommitAndNotify();
    void Notify();
    void OnRepeatTick();
    void NotifyPending();
    void OnFaderMoved(int pos);
    void ShowRangeMark();
    bool Wheel(QWheelEvent* event);

    CNumValue m_value;
    QLineEdit* m_pEdit = nullptr;
    CNumSpin* m_pSpin = nullptr;
    CFader* m_pFader = nullptr;
    QTimer* m_pNotifyTimer = nullptr;
    int m_nControlId = 0;
    int m_nWheelAngle = 0;  // eighths of a degree not yet stepped
    bool m_bModified = false;
    bool m_bHighlighted = false;
    bool m_bHeld = false;
    bool m_bPendingNotify = false;
};

#pragma once
// CFader: a vertical fader (top = the range's high end). Attached to a
// CNumField it takes the field's range and follows its position; the field
// follows the fader while it is dragged. The owner connects moved() (every
// position the user drags or pages to) and released() (the drag ended) to
// its handler; positions set by the program emit nothing.

#include <QSlider>

class CFader : public QSlider {
    Q_OBJECT
public:
    explicit CFader(QWidget* parent = nullptr);

    // Sets the position without emitting moved().
    void SetPos(int pos);
    void SetHighlight(bool on);
    bool IsHighlighted() const { return m_bHighlighted; }

protected:
    void paintEvent(QPaintEvent* event) override;

signals:
    void moved(int pos);
    void released(int pos);

private:
    bool m_bProgram = false;
    bool m_bHighlighted = false;
};

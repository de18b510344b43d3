#include "gui/controls/fader.h"

#include "gui/controls/look.h"

CFader::CFader(QWidget* parent) : QSlider(Qt::Vertical, parent) {
    setFocusPolicy(Qt::ClickFocus);
    setPageStep(1);
    connect(this, &QSlider::valueChanged, this, [this](int value) {
        if (!m_bProgram) emit moved(value);
    });
    connect(this, &QSlider::sliderReleased, this, [this] { emit released(value()); });
}

void CFader::SetPos(int pos) {
    m_bProgram = true;
    setValue(pos);
    m_bProgram = false;
}

void CFader::SetHighlight(bool on) {
    if (on == m_bHighlighted) return;
    m_bHighlighted = on;
    QPalette pal = palette();
    pal.setColor(QPalette::Button, on ? kHighlightColour : QPalette().color(QPalette::Button));
    setPalette(pal);
    update();
}

#include "gui/controls/fader.h"

#include <QPainter>
#include <QStyleOptionSlider>

#include "gui/controls/look.h"

namespace {
constexpr int kHighlightAlpha = 200;
}  // namespace

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
    update();
}

// The highlight is painted over the handle rather than set as a palette:
// every new palette gives the style new names for its cached pictures of
// the groove and handle, and with the highlight moving from band to band
// those pictures piled up in memory.
void CFader::paintEvent(QPaintEvent* event) {
    QSlider::paintEvent(event);
    if (!m_bHighlighted) return;
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    QColor fill = kHighlightColour;
    fill.setAlpha(kHighlightAlpha);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(handle).adjusted(1, 1, -1, -1), 2, 2);
}

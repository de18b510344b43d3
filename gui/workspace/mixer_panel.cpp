#include "gui/workspace/mixer_panel.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QWindow>

#include "base/texts.h"
#include "controls/num_value.h"
#include "gui/controls/fader.h"
#include "gui/controls/look.h"
#include "gui/controls/num_field.h"

namespace {

constexpr int kStripHeight = 28;   // the top strip that drags the panel
constexpr int kHeaderHeight = 22;  // the output labels
constexpr int kLabelWidth = 48;    // the input labels
constexpr int kCellWidth = 186;
constexpr int kCellHeight = 28;
constexpr int kFaderWidth = 100;
constexpr int kFieldWidth = 58;
constexpr int kMargin = 8;
// The field identifiers the out-of-range message names.
constexpr int kMixFieldId = 2582;

QString Format(TextId id, int n) {
    return QString::fromUtf8(Text(id)).replace("%d", QString::number(n));
}

}  // namespace

MixerPanel::MixerPanel(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint),
      m_title(new QLabel(this)),
      m_more(new QPushButton(this)),
      m_close(new QToolButton(this)) {
    setObjectName("mixer");
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackgroundColour);
    setPalette(pal);
    setAutoFillBackground(true);

    m_title->setObjectName("mixer.title");
    m_title->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_more->setObjectName("mixer.more");
    m_more->setCheckable(true);
    m_more->setFocusPolicy(Qt::NoFocus);
    connect(m_more, &QPushButton::toggled, this, &MixerPanel::SetMoreInputs);
    m_close->setObjectName("mixer.close");
    m_close->setText(QString::fromUtf8("\u2715"));
    m_close->setAutoRaise(true);
    m_close->setFocusPolicy(Qt::NoFocus);
    connect(m_close, &QToolButton::clicked, this, &QWidget::close);

    for (int o = 0; o < kMixerOutputs; ++o) {
        m_outputLabels[o] = new QLabel(this);
        m_outputLabels[o]->setAlignment(Qt::AlignCenter);
        for (int k = 0; k < kMixerInputs; ++k) {
            Cell& cell = m_cells[o][k];
            const QString name = QString("mixer.out%1.in%2").arg(o + 1).arg(k + 1);
            cell.field = new CNumField(this);
            cell.field->setObjectName(name);
            cell.field->SetStep(1);
            cell.field->SetType(kValMixPercent);
            cell.field->SetMaxChars(3);
            cell.field->SetRange(0, kMixLevelMax);
            cell.field->SetControlId(kMixFieldId + 12 * o + k);
            cell.fader = new CFader(this);
            cell.fader->setObjectName(name + ".fader");
            cell.fader->setOrientation(Qt::Horizontal);
            cell.field->AttachFader(cell.fader);
            connect(cell.field, &CNumField::committed, this,
                    [this, o, k](int level) { emit cellChanged(o, k, level); });
            connect(cell.fader, &CFader::moved, this,
                    [this, o, k](int level) { emit cellChanged(o, k, level); });
        }
    }
    for (int k = 0; k < kMixerInputs; ++k)
        m_inputLabels[k] = new QLabel(this);
    Relabel();
    Arrange();
}

void MixerPanel::OpenPanel() {
    if (m_pMixerButton) PlaceBelow(m_pMixerButton);
    show();
    raise();
}

void MixerPanel::ShowCell(int output, int input, int level) {
    m_cells[output][input].field->SetPos(std::clamp(level, 0, kMixLevelMax));
}

void MixerPanel::Relabel() {
    m_title->setText(QString::fromUtf8(Text(TextId::MixerTitle)));
    m_more->setText(QString::fromUtf8(Text(TextId::MixerMoreInputs)));
    for (int o = 0; o < kMixerOutputs; ++o)
        m_outputLabels[o]->setText(Format(TextId::MixerOutputFormat, o + 1));
    for (int k = 0; k < kMixerInputs; ++k)
        m_inputLabels[k]->setText(Format(TextId::MixerInputFormat, k + 1));
}

void MixerPanel::SetMoreInputs(bool more) {
    m_bMoreInputs = more;
    if (m_more->isChecked() != more) m_more->setChecked(more);
    Arrange();
}

void MixerPanel::Arrange() {
    const int rows = m_bMoreInputs ? kMixerInputs : kMixerStandardInputs;
    const int width = 2 * kMargin + kLabelWidth + kMixerOutputs * kCellWidth;
    const int top = kStripHeight + kHeaderHeight;
    setFixedSize(width, top + rows * kCellHeight + kMargin);
    m_title->setGeometry(kMargin, 0, 200, kStripHeight);
    m_close->setGeometry(width - kStripHeight, 2, kStripHeight - 4, kStripHeight - 4);
    m_more->setGeometry(width - kStripHeight - 8 - 110, 3, 110, kStripHeight - 6);
    for (int o = 0; o < kMixerOutputs; ++o) {
        const int x = kMargin + kLabelWidth + o * kCellWidth;
        m_outputLabels[o]->setGeometry(x, kStripHeight, kCellWidth, kHeaderHeight);
        for (int k = 0; k < kMixerInputs; ++k) {
            const Cell& cell = m_cells[o][k];
            const bool shown = k < rows;
            const int y = top + k * kCellHeight + 3;
            cell.fader->setGeometry(x + 6, y, kFaderWidth, kCellHeight - 6);
            cell.field->setGeometry(x + 10 + kFaderWidth, y, kFieldWidth, kCellHeight - 6);
            cell.fader->setVisible(shown);
            cell.field->setVisible(shown);
        }
    }
    for (int k = 0; k < kMixerInputs; ++k) {
        m_inputLabels[k]->setGeometry(kMargin, top + k * kCellHeight, kLabelWidth, kCellHeight);
        m_inputLabels[k]->setVisible(k < rows);
    }
}

void MixerPanel::PlaceBelow(QWidget* mixerButton) {
    const QPoint buttonBottomLeft = mixerButton->mapToGlobal(QPoint(0, mixerButton->height()));
    QPoint at(buttonBottomLeft.x() - 2, buttonBottomLeft.y() + 125);
    // Kept on the screen, so that the close button stays reachable.
    if (const QScreen* screen = mixerButton->screen()) {
        const QRect avail = screen->availableGeometry();
        at.setX(std::max(avail.left(), std::min(at.x(), avail.right() + 1 - width())));
        at.setY(std::max(avail.top(), std::min(at.y(), avail.bottom() + 1 - height())));
    }
    move(at);
}

void MixerPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || event->position().y() >= kStripHeight) return;
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    // No window manager to move it (as under Xvfb): move it by hand.
    m_bDragging = true;
    m_dragOffset = event->globalPosition().toPoint() - pos();
}

void MixerPanel::mouseMoveEvent(QMouseEvent* event) {
    if (m_bDragging) move(event->globalPosition().toPoint() - m_dragOffset);
}

void MixerPanel::mouseReleaseEvent(QMouseEvent*) {
    m_bDragging = false;
}

void MixerPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(QRect(0, 0, width(), kStripHeight), kBackgroundColour.darker(110));
    p.setPen(kBackgroundColour.darker(150));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    // Grid lines between the outputs.
    for (int o = 1; o < kMixerOutputs; ++o) {
        const int x = kMargin + kLabelWidth + o * kCellWidth;
        p.drawLine(x, kStripHeight + 2, x, height() - kMargin);
    }
}

void MixerPanel::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    emit closed();
}

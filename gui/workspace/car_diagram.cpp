#include "gui/workspace/car_diagram.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include "base/texts.h"
#include "controls/delay_units.h"
#include "gui/controls/num_field.h"

namespace {

// Where each position's controls sit and where its speaker is in the car.
struct PositionPlace {
    int x, y;         // top left of the select button
    bool fieldFirst;  // the field left of the button (left side of the car)
    QPoint speaker;   // the speaker in the drawing
};

constexpr int kButtonWidth = 40;
constexpr int kFieldWidth = 74;
constexpr int kRowHeight = 22;
constexpr int kGap = 3;
constexpr int kLeftButtonX = 8 + kFieldWidth + kGap;  // 85
constexpr int kRightButtonX = 317;
constexpr int kCentreButtonX = 164;

// By position number. The car's front is at the top.
const PositionPlace kPlaces[kCarPositionCount] = {
    {kLeftButtonX, 22, true, {176, 88}},       // front-left high: the A pillar
    {kLeftButtonX, 50, true, {170, 118}},      // front-left mid
    {kLeftButtonX, 78, true, {168, 142}},      // front-left low: the front door
    {kRightButtonX, 22, false, {266, 88}},     // front-right high
    {kRightButtonX, 50, false, {272, 118}},    // front-right mid
    {kRightButtonX, 78, false, {274, 142}},    // front-right low
    {kLeftButtonX, 150, true, {170, 196}},     // rear-left high
    {0, 0, true, {}},                          // (none)
    {kLeftButtonX, 178, true, {168, 214}},     // rear-left low: the rear door
    {kRightButtonX, 150, false, {272, 196}},   // rear-right high
    {0, 0, false, {}},                         // (none)
    {kRightButtonX, 178, false, {274, 214}},   // rear-right low
    {kLeftButtonX, 232, true, {196, 250}},     // left subwoofer: the boot
    {kCentreButtonX, 232, false, {221, 254}},  // subwoofer
    {kRightButtonX, 232, false, {246, 250}},   // right subwoofer
    {kCentreButtonX, 52, false, {246, 76}},    // centre low: the dashboard, right
    {kCentreButtonX, 28, false, {221, 76}},    // centre full: the dashboard, middle
    {kCentreButtonX, 4, false, {196, 76}},     // centre high: the dashboard, left
};

// The delay of a channel no position edits: its channel list and field,
// bottom left, under the left subwoofer.
const QRect kOtherChannelRect(8, 274, 56, kRowHeight);
const QRect kOtherDelayRect(8 + 56 + kGap, 274, kFieldWidth, kRowHeight);

// Body of the car in the drawing.
const QRectF kBody(158, 8, 126, 262);

const QColor kBodyColour(206, 210, 224);
const QColor kGlassColour(150, 170, 196);
const QColor kOutlineColour(92, 96, 112);
const QColor kSpeakerColour(70, 74, 90);
// The selected channel's position: the legend's red.
const QColor kSelectedColour(0xEB, 0x14, 0x14);

const TextId kUnitTexts[3] = {TextId::DelayUnitMs, TextId::DelayUnitCm, TextId::DelayUnitInch};
const char* const kUnitNames[3] = {"ms", "cm", "in"};

}  // namespace

CarDiagram::CarDiagram(QWidget* parent) : QWidget(parent) {
    setFixedSize(kWidth, kHeight);
    for (int k = 0; k < kCarPositionCount; ++k) {
        const PositionPlace& place = kPlaces[k];
        Position& pos = m_positions[k];
        pos.select = new QPushButton(this);
        pos.select->setObjectName(QString("car.pos%1.select").arg(k));
        pos.select->setGeometry(place.x, place.y, kButtonWidth, kRowHeight);
        pos.select->setFocusPolicy(Qt::TabFocus);
        connect(pos.select, &QPushButton::clicked, this, [this, k] { emit positionClicked(k); });

        pos.delay = new CNumField(this);
        pos.delay->setObjectName(QString("car.pos%1.delay").arg(k));
        pos.delay->SetType(kDelayUnitMs);
        pos.delay->SetMaxChars(10);
        pos.delay->SetRange(0, kDelayMaxSamples);
        pos.delay->SetControlId(2580 + k);
        const int fieldX =
            place.fieldFirst ? place.x - kGap - kFieldWidth : place.x + kButtonWidth + kGap;
        pos.delay->setGeometry(fieldX, place.y, kFieldWidth, kRowHeight);
        connect(pos.delay, &CNumField::committed, this,
                [this, k](int samples) { emit delayEdited(k, samples); });

        pos.select->hide();
        pos.delay->hide();
    }

    m_otherChannel = new QComboBox(this);
    m_otherChannel->setObjectName(QStringLiteral("car.other.channel"));
    m_otherChannel->setGeometry(kOtherChannelRect);
    m_otherChannel->setFocusPolicy(Qt::StrongFocus);
    m_otherDelay = new CNumField(this);
    m_otherDelay->setObjectName(QStringLiteral("car.other.delay"));
    m_otherDelay->SetType(kDelayUnitMs);
    m_otherDelay->SetMaxChars(10);
    m_otherDelay->SetRange(0, kDelayMaxSamples);
    m_otherDelay->setGeometry(kOtherDelayRect);
    connect(m_otherChannel, &QComboBox::currentIndexChanged, this, [this] { ShowOtherChoice(); });
    connect(m_otherDelay, &CNumField::committed, this, [this](int samples) {
        const int channel = m_otherChannel->currentData().toInt();
        if (m_otherChannel->currentIndex() >= 0) emit otherDelayEdited(channel, samples);
    });
    m_otherChannel->hide();
    m_otherDelay->hide();

    auto* units = new QButtonGroup(this);
    for (int u = 0; u < 3; ++u) {
        QPushButton* b = new QPushButton(this);
        b->setObjectName(QString("car.unit.%1").arg(kUnitNames[u]));
        b->setCheckable(true);
        b->setFocusPolicy(Qt::TabFocus);
        b->setGeometry(kWidth - 3 * 52 - 8 + u * 52, kHeight - kRowHeight - 4, 48, kRowHeight);
        units->addButton(b, u);
        m_units[u] = b;
    }
    units->setExclusive(true);
    connect(units, &QButtonGroup::idClicked, this, [this](int u) { emit unitChosen(u); });
    m_units[kDelayUnitMs]->setChecked(true);
    Relabel();
}

void CarDiagram::ShowPosition(int k, bool visible, int channel) {
    Position& pos = m_positions[k];
    pos.visible = visible;
    pos.select->setText(channel == kNoChannel ? QString() : QString("CH%1").arg(channel + 1));
    pos.select->setEnabled(channel != kNoChannel);
    pos.delay->setEnabled(channel != kNoChannel);
    pos.select->setVisible(visible);
    pos.delay->setVisible(visible);
    update();
}

void CarDiagram::SetPositionHighlight(int k, bool on) {
    Position& pos = m_positions[k];
    if (pos.highlighted == on) return;
    pos.highlighted = on;
    QPalette pal = pos.select->palette();
    pal.setColor(QPalette::Button, on ? kSelectedColour : QPalette().color(QPalette::Button));
    pal.setColor(QPalette::ButtonText,
                 on ? QColor(Qt::white) : QPalette().color(QPalette::ButtonText));
    pos.select->setPalette(pal);
    update();
}

void CarDiagram::ShowDelay(int k, int samples) {
    m_positions[k].delay->SetPos(samples);
}

void CarDiagram::ShowDelayUnit(int unit) {
    m_units[unit]->setChecked(true);
    for (Position& pos : m_positions)
        pos.delay->SetType(unit);
    m_otherDelay->SetType(unit);
}

// The list keeps the channel it showed when that channel is still listed.
void CarDiagram::ShowOtherDelays(const std::vector<int>& channels) {
    const int shown =
        m_otherChannel->currentIndex() >= 0 ? m_otherChannel->currentData().toInt() : -1;
    {
        const QSignalBlocker quiet(m_otherChannel);
        m_otherChannel->clear();
        for (int c : channels)
            m_otherChannel->addItem(QStringLiteral("CH%1").arg(c + 1), c);
        const int again = m_otherChannel->findData(shown);
        m_otherChannel->setCurrentIndex(again >= 0 ? again : (channels.empty() ? -1 : 0));
    }
    m_otherChannel->setVisible(!channels.empty());
    m_otherDelay->setVisible(!channels.empty());
    ShowOtherChoice();
}

void CarDiagram::ShowOtherDelay(int channel, int samples) {
    if (channel < 0 || channel >= static_cast<int>(m_otherSamples.size())) return;
    m_otherSamples[channel] = samples;
    if (m_otherChannel->currentIndex() >= 0 && m_otherChannel->currentData().toInt() == channel)
        m_otherDelay->SetPos(samples);
}

void CarDiagram::ShowOtherChoice() {
    if (m_otherChannel->currentIndex() < 0) return;
    const int channel = m_otherChannel->currentData().toInt();
    if (channel >= 0 && channel < static_cast<int>(m_otherSamples.size()))
        m_otherDelay->SetPos(m_otherSamples[channel]);
}

void CarDiagram::Relabel() {
    for (int u = 0; u < 3; ++u)
        m_units[u]->setText(QString::fromUtf8(Text(kUnitTexts[u])));
}

void CarDiagram::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    PaintCar(p);
    // Each shown speaker, joined to its button.
    for (int k = 0; k < kCarPositionCount; ++k) {
        const Position& pos = m_positions[k];
        if (!pos.visible) continue;
        const QPoint speaker = kPlaces[k].speaker;
        const QRect button = pos.select->geometry();
        const QColor colour = pos.highlighted ? kSelectedColour : kSpeakerColour;
        p.setPen(QPen(colour, 1, Qt::DotLine));
        const QPoint anchor =
            speaker.x() < button.left()    ? QPoint(button.left(), button.center().y())
            : speaker.x() > button.right() ? QPoint(button.right(), button.center().y())
                                           : QPoint(button.center().x(), button.bottom());
        p.drawLine(anchor, speaker);
        p.setPen(QPen(colour, 1.5));
        p.setBrush(pos.highlighted ? kSelectedColour : QColor(Qt::white));
        p.drawEllipse(QPointF(speaker), 5.5, 5.5);
        p.setBrush(colour);
        p.drawEllipse(QPointF(speaker), 2, 2);
    }
}

// A saloon seen from above, front at the top.
void CarDiagram::PaintCar(QPainter& p) const {
    const QRectF b = kBody;
    p.setPen(QPen(kOutlineColour, 1.5));
    // Wheels, behind the body.
    p.setBrush(kOutlineColour);
    for (qreal y : {b.top() + 40, b.bottom() - 78}) {
        p.drawRoundedRect(QRectF(b.left() - 5, y, 10, 38), 3, 3);
        p.drawRoundedRect(QRectF(b.right() - 5, y, 10, 38), 3, 3);
    }
    QPainterPath body;
    body.addRoundedRect(b, 34, 26);
    p.setBrush(kBodyColour);
    p.drawPath(body);
    // Mirrors.
    p.drawEllipse(QRectF(b.left() - 10, b.top() + 84, 12, 8));
    p.drawEllipse(QRectF(b.right() - 2, b.top() + 84, 12, 8));
    // Windscreen, roof and rear window.
    p.setBrush(kGlassColour);
    QPolygonF windscreen;
    windscreen << QPointF(b.left() + 12, b.top() + 70) << QPointF(b.right() - 12, b.top() + 70)
               << QPointF(b.right() - 18, b.top() + 96) << QPointF(b.left() + 18, b.top() + 96);
    p.drawPolygon(windscreen);
    QPolygonF rear;
    rear << QPointF(b.left() + 18, b.bottom() - 66) << QPointF(b.right() - 18, b.bottom() - 66)
         << QPointF(b.right() - 12, b.bottom() - 48) << QPointF(b.left() + 12, b.bottom() - 48);
    p.drawPolygon(rear);
    // Seats.
    p.setBrush(kBodyColour.darker(112));
    p.drawRoundedRect(QRectF(b.left() + 22, b.top() + 112, 32, 36), 6, 6);
    p.drawRoundedRect(QRectF(b.right() - 54, b.top() + 112, 32, 36), 6, 6);
    p.drawRoundedRect(QRectF(b.left() + 22, b.top() + 166, b.width() - 44, 30), 6, 6);
}

#include "gui/workspace/eq_panel.h"

#include <QCheckBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <utility>

#include "base/texts.h"
#include "controls/num_value.h"
#include "gui/controls/fader.h"
#include "gui/controls/num_field.h"

namespace {

constexpr int kBands = 31;

// Geometry at 96 dpi: 31 columns of 34 px under a 26 px control row.
constexpr int kColumnWidth = 34;
constexpr int kLeft = (EqPanel::kWidth - kBands * kColumnWidth) / 2;
constexpr int kControlRowHeight = 26;
constexpr int kLabelTop = 28;
constexpr int kLabelHeight = 14;
constexpr int kFieldHeight = 20;
constexpr int kFreqTop = kLabelTop + kLabelHeight + 2;
constexpr int kQTop = kFreqTop + kFieldHeight + 2;
constexpr int kGainTop = kQTop + kFieldHeight + 2;
constexpr int kFaderTop = kGainTop + kFieldHeight + 4;
constexpr int kBypassHeight = 20;
constexpr int kBypassTop = EqPanel::kHeight - kBypassHeight - 6;
constexpr int kFaderHeight = kBypassTop - kFaderTop - 4;
constexpr int kSpinWidth = 6;

// Field value types, ranges and steps of a band column.
constexpr int kFreqMin = 20;
constexpr int kFreqMax = 20000;
constexpr int kQMax = 295;
constexpr int kGainMax = 400;
constexpr double kGainStep = 0.1;
constexpr double kGainOffset = 20.0;
constexpr int kGainMaxChars = 6;

const QColor kLabelColour(0x50, 0x50, 0x50);
const QColor kLastEditedColour(0xFF, 0x00, 0x00);

// A click into a field re-applies its value through the presenter, which
// shows it again; setting the same text would drop the selection the click
// made, so an unchanged position is left alone.
void Show(CNumField* field, int pos) {
    if (field->Pos() != pos || field->IsModified()) field->SetPos(pos);
}

QString Tr(TextId id) {
    return QString::fromUtf8(Text(id));
}

// Five digits fit a 27 px field: a small face with the letters drawn a
// little closer.
QFont FieldFont() {
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(9);
    font.setLetterSpacing(QFont::AbsoluteSpacing, -0.8);
    return font;
}

CNumField* MakeField(QWidget* parent, const QString& name, int type, int lo, int hi) {
    auto* field = new CNumField(parent);
    field->setObjectName(name);
    if (type == kValEqGain) {
        field->SetStep(kGainStep);
        field->SetOffset(kGainOffset);
        field->SetMaxChars(kGainMaxChars);
    }
    field->SetType(type);
    field->SetRange(lo, hi);
    field->Edit()->setFrame(false);
    field->Edit()->setFont(FieldFont());
    field->Spin()->setFixedWidth(kSpinWidth);
    return field;
}

}  // namespace

EqPanel::EqPanel(IWorkspaceHost& host, QWidget* parent)
    : QWidget(parent), m_presenter(host, *this) {
    setObjectName(QStringLiteral("eq.panel"));
    // Its frame draws a border around it: the columns keep clear of it.
    setMinimumSize(kWidth - 4, kHeight - 4);
    resize(kWidth, kHeight);
    BuildControls();
    for (int band = 0; band < kBands; ++band)
        BuildColumn(band);
    Retranslate();
}

EqPanel::~EqPanel() = default;

void EqPanel::BuildControls() {
    m_pAllBypass = new QCheckBox(this);
    m_pAllBypass->setObjectName(QStringLiteral("eq.allBypass"));
    m_pAllBypass->setGeometry(kLeft, 3, 110, kControlRowHeight - 4);
    connect(m_pAllBypass, &QCheckBox::clicked, this, [this] {
        m_presenter.ToggleAllBypass();
        m_pAllBypass->setChecked(m_bAllBypass);
    });

    m_pMode = new QPushButton(this);
    m_pMode->setObjectName(QStringLiteral("eq.mode"));
    m_pMode->setCheckable(true);
    m_pMode->setGeometry(kLeft + 120, 2, 90, kControlRowHeight - 4);
    connect(m_pMode, &QPushButton::clicked, this, [this] {
        m_presenter.ToggleMode();
        m_pMode->setChecked(m_bGraphic);
    });

    m_pReset = new QPushButton(this);
    m_pReset->setObjectName(QStringLiteral("eq.reset"));
    m_pReset->setGeometry(kLeft + 220, 2, 90, kControlRowHeight - 4);
    connect(m_pReset, &QPushButton::clicked, this, [this] { m_presenter.ResetAll(); });
}

void EqPanel::BuildColumn(int band) {
    Column& col = m_columns[band];
    const QString prefix = QStringLiteral("eq.band%1.").arg(band + 1);
    const int x = kLeft + band * kColumnWidth;
    const int w = kColumnWidth - 1;

    col.label = new QLabel(QString::number(band + 1), this);
    col.label->setObjectName(prefix + QStringLiteral("label"));
    col.label->setAlignment(Qt::AlignCenter);
    col.label->setGeometry(x, kLabelTop, w, kLabelHeight);

    col.freq = MakeField(this, prefix + QStringLiteral("freq"), kValBandFreq, kFreqMin, kFreqMax);
    // The fields take the whole column: "20000" and "28.877" need it.
    col.freq->setGeometry(x, kFreqTop, kColumnWidth, kFieldHeight);
    col.q = MakeField(this, prefix + QStringLiteral("q"), kValQ, 0, kQMax);
    col.q->setGeometry(x, kQTop, kColumnWidth, kFieldHeight);
    col.gain = MakeField(this, prefix + QStringLiteral("gain"), kValEqGain, 0, kGainMax);
    col.gain->setGeometry(x, kGainTop, kColumnWidth, kFieldHeight);

    col.fader = new CFader(this);
    col.fader->setObjectName(prefix + QStringLiteral("fader"));
    col.fader->setGeometry(x + (w - 18) / 2, kFaderTop, 18, kFaderHeight);
    col.gain->AttachFader(col.fader);

    col.bypass = new QPushButton(this);
    col.bypass->setObjectName(prefix + QStringLiteral("bypass"));
    col.bypass->setCheckable(true);
    col.bypass->setGeometry(x + 1, kBypassTop, w - 2, kBypassHeight);

    connect(col.freq, &CNumField::committed, this,
            [this, band](int pos) { m_presenter.OnFreqCommitted(band, pos); });
    connect(col.q, &CNumField::committed, this,
            [this, band](int pos) { m_presenter.OnQCommitted(band, pos); });
    connect(col.gain, &CNumField::committed, this,
            [this, band](int pos) { m_presenter.OnGainCommitted(band, pos); });
    // A click into a field marks the band and writes nothing.
    const std::pair<CNumField*, BandField> fields[] = {
        {col.freq, BandField::Freq}, {col.q, BandField::Q}, {col.gain, BandField::Gain}};
    for (const auto& [field, which] : fields) {
        connect(field, &CNumField::clicked, this,
                [this, band, which = which] { m_presenter.OnFieldClicked(band, which); });
    }
    for (auto sig : {&CFader::moved, &CFader::released}) {
        connect(col.fader, sig, this,
                [this, band](int pos) { m_presenter.OnGainFaderMoved(band, pos); });
    }
    connect(col.bypass, &QPushButton::clicked, this,
            [this, band] { m_presenter.OnBypassClicked(band); });

    for (CNumField* field : {col.freq, col.q, col.gain})
        field->Edit()->installEventFilter(this);
    col.fader->installEventFilter(this);
    PaintLabel(band);
}

void EqPanel::Retranslate() {
    m_pAllBypass->setText(Tr(TextId::EqAllBypass));
    m_pMode->setText(Tr(m_bGraphic ? TextId::BandGeq : TextId::BandPeq));
    m_pReset->setText(Tr(TextId::EqResetButton));
    for (Column& col : m_columns)
        col.bypass->setText(Tr(TextId::EqBandBypass));
}

void EqPanel::ShowBandFreq(int band, int freq) {
    Show(m_columns[band].freq, freq);
}

void EqPanel::ShowBandQ(int band, int bandwidthIndex) {
    Show(m_columns[band].q, bandwidthIndex);
}

void EqPanel::ShowBandGain(int band, int gainIndex) {
    Show(m_columns[band].gain, gainIndex);
}

void EqPanel::ShowBandBypass(int band, bool bypassed) {
    m_columns[band].bypass->setChecked(bypassed);
}

void EqPanel::ShowAllBypass(bool on) {
    m_bAllBypass = on;
    m_pAllBypass->setChecked(on);
}

// The button names the mode in use.
void EqPanel::ShowEqMode(bool graphic) {
    m_bGraphic = graphic;
    m_pMode->setChecked(graphic);
    m_pMode->setText(Tr(graphic ? TextId::BandGeq : TextId::BandPeq));
    for (Column& col : m_columns) {
        col.freq->setEnabled(!graphic);
        col.q->setEnabled(!graphic);
    }
}

CNumField* EqPanel::FieldOf(int band, BandField field) const {
    if (band < 0 || band >= kBands) return nullptr;
    switch (field) {
        case BandField::Freq:
            return m_columns[band].freq;
        case BandField::Q:
            return m_columns[band].q;
        case BandField::Gain:
            return m_columns[band].gain;
        default:
            return nullptr;
    }
}

void EqPanel::PaintLabel(int band) {
    QPalette pal = m_columns[band].label->palette();
    pal.setColor(QPalette::WindowText, band == m_nMarkedBand ? kLastEditedColour : kLabelColour);
    m_columns[band].label->setPalette(pal);
}

void EqPanel::MarkEdited(int band, BandField field) {
    if (CNumField* old = FieldOf(m_nMarkedBand, m_markedField)) old->SetHighlight(false);
    const int oldBand = m_nMarkedBand;
    m_nMarkedBand = band;
    m_markedField = field;
    if (oldBand >= 0) PaintLabel(oldBand);
    if (band >= 0) PaintLabel(band);
    if (CNumField* now = FieldOf(band, field)) now->SetHighlight(true);
}

bool EqPanel::AskOkCancel(TextId question) {
    return QMessageBox::question(this, QString(), Tr(question),
                                 QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

CNumField* EqPanel::NextInRows(int band, BandField row) const {
    static constexpr BandField kRows[] = {BandField::Freq, BandField::Q, BandField::Gain};
    int r = row == BandField::Freq ? 0 : row == BandField::Q ? 1 : 2;
    int b = band;
    for (int tries = 0; tries < 3 * kBands; ++tries) {
        if (++b == kBands) {
            b = 0;
            r = (r + 1) % 3;
        }
        CNumField* next = FieldOf(b, kRows[r]);
        if (next->isEnabled()) return next;
    }
    return nullptr;
}

bool EqPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    for (int band = 0; band < kBands; ++band) {
        const Column& col = m_columns[band];
        if (watched == col.fader && (key == Qt::Key_Left || key == Qt::Key_Right)) {
            const int next = (band + (key == Qt::Key_Left ? kBands - 1 : 1)) % kBands;
            m_columns[next].fader->setFocus(Qt::TabFocusReason);
            return true;
        }
        if (key != Qt::Key_Return && key != Qt::Key_Enter) continue;
        for (BandField row : {BandField::Freq, BandField::Q, BandField::Gain}) {
            if (watched != FieldOf(band, row)->Edit()) continue;
            // The field commits as it loses the focus.
            if (CNumField* next = NextInRows(band, row)) {
                next->Edit()->setFocus(Qt::TabFocusReason);
                next->Edit()->selectAll();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

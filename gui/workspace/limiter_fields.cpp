#include "gui/workspace/limiter_fields.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "base/texts.h"
#include "controls/num_value.h"
#include "gui/controls/num_field.h"
#include "gui/workspace/list_util.h"

namespace {

constexpr int kThresholdMax = 360;
constexpr double kThresholdStep = 0.1;  // dBu per step from -30 dBu
constexpr double kThresholdOffset = 30.0;
constexpr int kAttackMax = 106;
constexpr int kCaptionWidth = 78;
constexpr int kFieldWidth = 110;
constexpr int kTitleHeight = 18;
constexpr int kRowHeight = 22;
constexpr int kRowPitch = 26;

}  // namespace

LimiterFields::LimiterFields(IWorkspaceHost& host, QWidget* parent)
    : QWidget(parent), m_presenter(host, *this) {
    setObjectName(QStringLiteral("limiter"));
    m_pTitle = new QLabel(this);
    m_pTitle->setGeometry(0, 0, kCaptionWidth + kFieldWidth, kTitleHeight);
    QFont bold = m_pTitle->font();
    bold.setBold(true);
    m_pTitle->setFont(bold);

    m_pThreshold = new CNumField(this);
    m_pThreshold->SetStep(kThresholdStep);
    m_pThreshold->SetOffset(kThresholdOffset);
    m_pThreshold->SetType(kValThresholdDbu);
    m_pThreshold->SetRange(0, kThresholdMax);
    connect(m_pThreshold, &CNumField::committed, this,
            [this](int pos) { m_presenter.OnThresholdCommitted(pos); });
    m_pThresholdCaption = AddRow(0, m_pThreshold, QStringLiteral("limiter.threshold"));

    m_pAttack = new CNumField(this);
    m_pAttack->SetType(kValAttack);
    m_pAttack->SetRange(0, kAttackMax);
    connect(m_pAttack, &CNumField::committed, this,
            [this](int pos) { m_presenter.OnAttackCommitted(pos); });
    m_pAttackCaption = AddRow(1, m_pAttack, QStringLiteral("limiter.attack"));

    m_pRelease = new QComboBox(this);
    connect(m_pRelease, &QComboBox::activated, this,
            [this](int entry) { m_presenter.OnReleaseChosen(entry); });
    m_pReleaseCaption = AddRow(2, m_pRelease, QStringLiteral("limiter.release"));

    setFixedSize(kCaptionWidth + kFieldWidth, kTitleHeight + 2 + 3 * kRowPitch);
    Retranslate();
}

// Row `row` below the title: a caption, then the control.
QLabel* LimiterFields::AddRow(int row, QWidget* control, const QString& name) {
    const int y = kTitleHeight + 2 + row * kRowPitch;
    auto* caption = new QLabel(this);
    caption->setGeometry(0, y, kCaptionWidth, kRowHeight);
    control->setObjectName(name);
    control->setGeometry(kCaptionWidth, y, kFieldWidth, kRowHeight);
    return caption;
}

void LimiterFields::Retranslate() {
    m_pTitle->setText(QString::fromUtf8(Text(TextId::LimiterTitle)));
    m_pThresholdCaption->setText(QString::fromUtf8(Text(TextId::LimiterThreshold)));
    m_pAttackCaption->setText(QString::fromUtf8(Text(TextId::LimiterAttack)));
    m_pReleaseCaption->setText(QString::fromUtf8(Text(TextId::LimiterRelease)));
}

void LimiterFields::ShowThreshold(int step) {
    m_pThreshold->SetPos(step);
}

void LimiterFields::ShowAttack(int code) {
    m_pAttack->SetPos(code);
}

void LimiterFields::ShowRelease(const std::vector<std::string>& entries, int selected) {
    SetListEntries(m_pRelease, entries, selected);
}

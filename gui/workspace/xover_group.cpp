#include "gui/workspace/xover_group.h"

#include <QComboBox>
#include <QLabel>

#include "base/texts.h"
#include "controls/num_value.h"
#include "gui/controls/num_field.h"
#include "gui/workspace/limiter_fields.h"
#include "gui/workspace/list_util.h"

namespace {

constexpr int kMargin = 6;
constexpr int kRowHeight = 22;
constexpr int kListWidth = 96;
constexpr int kFreqWidth = 96;
constexpr int kFilterPitch = 82;
constexpr int kFreqMin = 20;
constexpr int kFreqMax = 20000;

QFont Bold(const QFont& font) {
    QFont bold = font;
    bold.setBold(true);
    return bold;
}

}  // namespace

XoverGroup::XoverGroup(IWorkspaceHost& host, QWidget* parent)
    : QWidget(parent), m_presenter(host, *this) {
    setObjectName(QStringLiteral("xover"));
    setMinimumSize(kWidth - 4, kHeight - 4);
    resize(kWidth, kHeight);
    BuildFilter(XoverSide::HighPass, 4);
    BuildFilter(XoverSide::LowPass, 4 + kFilterPitch);
    m_pLimiter = new LimiterFields(host, this);
    m_pLimiter->move(kMargin, 4 + 2 * kFilterPitch + 6);
    Retranslate();
}

void XoverGroup::BuildFilter(XoverSide side, int top) {
    Filter& f = m_filters[side];
    const QString prefix =
        side == XoverSide::HighPass ? QStringLiteral("xover.hp.") : QStringLiteral("xover.lp.");
    f.title = new QLabel(this);
    f.title->setFont(Bold(f.title->font()));
    f.title->setGeometry(kMargin, top, kWidth - 2 * kMargin, 18);

    f.type = new QComboBox(this);
    f.type->setObjectName(prefix + QStringLiteral("type"));
    f.type->setGeometry(kMargin, top + 20, kListWidth, kRowHeight);
    connect(f.type, &QComboBox::activated, this,
            [this, side](int entry) { m_presenter.OnTypeChosen(side, entry); });

    f.slope = new QComboBox(this);
    f.slope->setObjectName(prefix + QStringLiteral("slope"));
    f.slope->setGeometry(kMargin + kListWidth + 6, top + 20, kListWidth, kRowHeight);
    connect(f.slope, &QComboBox::activated, this,
            [this, side](int entry) { m_presenter.OnSlopeChosen(side, entry); });

    f.freq = new CNumField(this);
    f.freq->setObjectName(prefix + QStringLiteral("freq"));
    f.freq->SetType(kValXoverFreq);
    f.freq->SetRange(kFreqMin, kFreqMax);
    f.freq->setGeometry(kMargin, top + 20 + kRowHeight + 4, kFreqWidth, kRowHeight);
    connect(f.freq, &CNumField::committed, this,
            [this, side](int pos) { m_presenter.OnFreqCommitted(side, pos); });
}

void XoverGroup::Retranslate() {
    m_filters[XoverSide::HighPass].title->setText(QString::fromUtf8(Text(TextId::XoverHighPass)));
    m_filters[XoverSide::LowPass].title->setText(QString::fromUtf8(Text(TextId::XoverLowPass)));
}

void XoverGroup::ShowTypeList(XoverSide side, const std::vector<std::string>& entries,
                              int selected) {
    SetListEntries(m_filters[side].type, entries, selected);
}

void XoverGroup::ShowSlopeList(XoverSide side, const std::vector<std::string>& entries,
                               int selected) {
    SetListEntries(m_filters[side].slope, entries, selected);
}

void XoverGroup::ShowFreq(XoverSide side, int freq) {
    m_filters[side].freq->SetPos(freq);
}

#include "gui/workspace/workspace_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>
#include <string_view>

#include "base/texts.h"
#include "gui/app/message_box.h"
#include "gui/controls/fader.h"
#include "gui/controls/look.h"
#include "gui/controls/num_field.h"
#include "workspace/workspace_presenter.h"

namespace {

// Legend label colours.
const QColor kLegendRed(0xEB, 0x14, 0x14);
const QColor kLegendGrey(0x89, 0x89, 0x89);

// Control identifiers the out-of-range message names.
constexpr int kMasterFieldId = 2225;
constexpr int kGainFieldId = 8630;

// Area frames of the main window (x, y, w, h).
constexpr QRect kTopBarRect(0, 0, 1284, 44);
constexpr QRect kStripsRect(2, 44, 178, 300);
constexpr QRect kGraphRect(180, 44, 660, 300);
constexpr QRect kCarRect(840, 44, 442, 300);
constexpr QRect kEqRect(2, 344, 1070, 323);
constexpr QRect kXoverRect(1072, 344, 210, 323);
constexpr int kLegendHeight = 22;
constexpr int kStripHeight = 50;

QString Tr(TextId id) {
    return QString::fromUtf8(Text(id));
}

QString ChannelName(int channel) {
    return Tr(TextId::WsChannelFormat).replace(QLatin1String("%d"), QString::number(channel + 1));
}

QString RoleName(int channel, const char* role) {
    return QStringLiteral("ch%1.%2").arg(channel + 1).arg(QLatin1String(role));
}

// The top strip: dragging its background moves the main window.
class CTopStrip : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) return QFrame::mousePressEvent(e);
        QWidget* top = window();
        // The window manager moves it when it can; otherwise (no window
        // manager) the window follows the mouse by hand.
        if (top->windowHandle() != nullptr && top->windowHandle()->startSystemMove()) return;
        m_grab = e->globalPosition().toPoint() - top->frameGeometry().topLeft();
        m_bDragging = true;
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (!m_bDragging || !(e->buttons() & Qt::LeftButton)) return;
        window()->move(e->globalPosition().toPoint() - m_grab);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) m_bDragging = false;
    }

private:
    QPoint m_grab;
    bool m_bDragging = false;
};

// Buttons take the focus from the keyboard only: a click leaves the field
// being edited as it is.
QPushButton* MakeButton(QWidget* parent, const QString& name, const QRect& rect, bool checkable) {
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    b->setGeometry(rect);
    b->setCheckable(checkable);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

// The second look of the CH5 and CH6 select buttons (the other hardware
// variant): an amber frame, also when checked.
const QString kVariantLookSheet = QStringLiteral(
    "QPushButton[variantLook=\"true\"] { border: 2px solid #c8861e; border-radius: 3px; "
    "background-color: #f4e7cf; }"
    "QPushButton[variantLook=\"true\"]:checked { background-color: %1; }");

}  // namespace

CWorkspaceWindow::CWorkspaceWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("workspace"));
    setFixedSize(kWidth, kHeight);
    setFocusPolicy(Qt::ClickFocus);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackgroundColour);
    setPalette(pal);

    m_pTopBar = new CTopStrip(this);
    m_pTopBar->setObjectName(QStringLiteral("topBar"));
    m_pTopBar->setGeometry(kTopBarRect);
    m_pTopBar->setFrameShape(QFrame::NoFrame);
    m_pStrips = MakeArea("strips", kStripsRect);
    m_pGraphArea = MakeArea("graphArea", kGraphRect);
    MakeArea("carArea", kCarRect);
    MakeArea("eqArea", kEqRect);
    MakeArea("xoverArea", kXoverRect);

    BuildTopBar();
    BuildStrips();
    BuildLegend();
    Relabel();
}

CWorkspaceWindow::~CWorkspaceWindow() = default;

QFrame* CWorkspaceWindow::MakeArea(const char* name, const QRect& rect) {
    auto* frame = new QFrame(this);
    frame->setObjectName(QLatin1String(name));
    frame->setGeometry(rect);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return frame;
}

QFrame* CWorkspaceWindow::Area(const char* name) const {
    return findChild<QFrame*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
}

template <typename Call>
void CWorkspaceWindow::Forward(Call call) {
    if (m_pPresenter != nullptr) call(*m_pPresenter);
}

void CWorkspaceWindow::BuildTopBar() {
    QWidget* bar = m_pTopBar;
    constexpr int y = 9;
    constexpr int h = 26;
    m_pConnect = MakeButton(bar, QStringLiteral("top.connect"), QRect(8, y, 76, h), true);
    connect(m_pConnect, &QPushButton::clicked, this, [this] {
        // The button shows the link's state, not its own.
        m_pConnect->setChecked(m_bConnectedShown);
        if (onConnectClicked) onConnectClicked();
    });

    m_pMasterLabel = new QLabel(bar);
    m_pMasterLabel->setObjectName(QStringLiteral("top.masterLabel"));
    m_pMasterLabel->setGeometry(92, y, 54, h);
    m_pMasterLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pMasterFader = new CFader(bar);
    m_pMasterFader->setOrientation(Qt::Horizontal);
    m_pMasterFader->setObjectName(QStringLiteral("top.masterFader"));
    m_pMasterFader->setGeometry(152, y, 150, h);
    m_pMasterField = new CNumField(bar);
    m_pMasterField->setObjectName(QStringLiteral("top.master"));
    m_pMasterField->setGeometry(306, y + 1, 64, h - 2);
    m_pMasterField->SetStep(1.0);
    m_pMasterField->SetOffset(kGainStepOffset);
    m_pMasterField->SetType(kValGainDb);
    m_pMasterField->SetMaxChars(6);
    m_pMasterField->SetRange(0, kMasterSteps);
    m_pMasterField->SetControlId(kMasterFieldId);
    m_pMasterField->AttachFader(m_pMasterFader);
    connect(m_pMasterField, &CNumField::committed, this,
            [this](int step) { Forward([&](auto& p) { p.OnMasterVolumeCommitted(step); }); });
    connect(m_pMasterFader, &CFader::moved, this,
            [this](int step) { Forward([&](auto& p) { p.OnMasterFaderMoved(step); }); });
    connect(m_pMasterFader, &CFader::released, this,
            [this](int step) { Forward([&](auto& p) { p.OnMasterFaderMoved(step); }); });

    m_pMasterOutput =
        MakeButton(bar, QStringLiteral("top.masterOutput"), QRect(378, y, 64, h), true);
    connect(m_pMasterOutput, &QPushButton::clicked, this,
            [this] { Forward([](auto& p) { p.OnMasterOutputToggled(); }); });

    m_pSource = new QComboBox(bar);
    m_pSource->setObjectName(QStringLiteral("top.source"));
    m_pSource->setGeometry(450, y, 92, h);
    m_pSource->setFocusPolicy(Qt::TabFocus);
    for (int i = 0; i < kSourceEntryCount; ++i)
        m_pSource->addItem(QString());
    connect(m_pSource, &QComboBox::activated, this,
            [this](int entry) { Forward([&](auto& p) { p.OnSourceChosen(entry); }); });

    m_pPreset = new QComboBox(bar);
    m_pPreset->setObjectName(QStringLiteral("top.preset"));
    m_pPreset->setGeometry(550, y, 86, h);
    m_pPreset->setEnabled(false);
    m_pPreset->setFocusPolicy(Qt::TabFocus);
    for (int i = 0; i < 6; ++i)
        m_pPreset->addItem(QString());

    m_pLink = MakeButton(bar, QStringLiteral("top.link"), QRect(644, y, 84, h), true);
    // The CH5/CH6 link: only one hardware variant shows it, and never lets it be used.
    m_pLink56 = MakeButton(bar, QStringLiteral("top.link56"), QRect(736, y, 64, h), true);
    m_pLink56->setEnabled(false);
    m_pLink56->hide();
    m_pMixer = MakeButton(bar, QStringLiteral("top.mixer"), QRect(808, y, 72, h), false);
    m_pGroups = MakeButton(bar, QStringLiteral("top.groups"), QRect(888, y, 72, h), false);
    m_pMenu = MakeButton(bar, QStringLiteral("top.menu"), QRect(968, y, 72, h), false);

    m_pTitle = new QLabel(bar);
    m_pTitle->setObjectName(QStringLiteral("top.title"));
    m_pTitle->setGeometry(1048, 2, 164, 20);
    m_pTitle->setAlignment(Qt::AlignCenter);
    m_pTitle->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont titleFont = m_pTitle->font();
    titleFont.setBold(true);
    m_pTitle->setFont(titleFont);
    // The current setting's name (a group stored or recalled, a file loaded
    // or saved) under the title.
    m_pSettingName = new QLabel(bar);
    m_pSettingName->setObjectName(QStringLiteral("top.settingName"));
    m_pSettingName->setGeometry(1048, 22, 164, 20);
    m_pSettingName->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_pSettingName->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_pMinimize = new QToolButton(bar);
    m_pMinimize->setObjectName(QStringLiteral("top.minimize"));
    m_pMinimize->setGeometry(1220, y, 26, h);
    m_pMinimize->setIcon(style()->standardIcon(QStyle::SP_TitleBarMinButton));
    m_pMinimize->setFocusPolicy(Qt::NoFocus);
    m_pClose = new QToolButton(bar);
    m_pClose->setObjectName(QStringLiteral("top.close"));
    m_pClose->setGeometry(1250, y, 26, h);
    m_pClose->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    m_pClose->setFocusPolicy(Qt::NoFocus);
    connect(m_pMinimize, &QToolButton::clicked, this, [this] {
        if (onMinimize) onMinimize();
    });
    connect(m_pClose, &QToolButton::clicked, this, [this] {
        if (onClose) onClose();
    });
}

void CWorkspaceWindow::BuildStrips() {
    // One row per channel: select, output and phase buttons with the gain
    // field on the first line, the gain fader under them.
    for (int c = 0; c < kChannels; ++c) {
        auto* row = new QWidget(m_pStrips);
        row->setObjectName(RoleName(c, "strip"));
        row->setGeometry(1, c * kStripHeight, kStripsRect.width() - 2, kStripHeight);
        m_select[c] = MakeButton(row, RoleName(c, "select"), QRect(2, 3, 40, 22), true);
        m_output[c] = MakeButton(row, RoleName(c, "output"), QRect(44, 3, 38, 22), true);
        m_phase[c] = MakeButton(row, RoleName(c, "phase"), QRect(84, 3, 38, 22), true);
        m_gain[c] = new CNumField(row);
        m_gain[c]->setObjectName(RoleName(c, "gain"));
        m_gain[c]->setGeometry(124, 4, 51, 20);
        m_gain[c]->SetStep(1.0);
        m_gain[c]->SetOffset(kGainStepOffset);
        m_gain[c]->SetType(kValGainDb);
        m_gain[c]->SetMaxChars(6);
        m_gain[c]->SetRange(0, kGainSteps);
        m_gain[c]->SetControlId(kGainFieldId + c);
        // Narrow arrows leave "-60dB" its room.
        m_gain[c]->Spin()->setFixedWidth(10);
        m_fader[c] = new CFader(row);
        m_fader[c]->setOrientation(Qt::Horizontal);
        m_fader[c]->setObjectName(RoleName(c, "fader"));
        m_fader[c]->setGeometry(2, 27, 173, 20);
        m_gain[c]->AttachFader(m_fader[c]);

        connect(m_select[c], &QPushButton::clicked, this, [this, c] {
            // The presenter decides what the buttons show.
            m_select[c]->setChecked(!m_select[c]->isChecked());
            Forward([c](auto& p) { p.OnSelectClicked(c); });
        });
        connect(m_output[c], &QPushButton::clicked, this,
                [this, c] { Forward([c](auto& p) { p.OnOutputToggled(c); }); });
        connect(m_phase[c], &QPushButton::clicked, this,
                [this, c] { Forward([c](auto& p) { p.OnPhaseToggled(c); }); });
        const auto gainChanged = [this, c](int step) {
            Forward([&](auto& p) { p.OnGainChanged(c, step); });
        };
        connect(m_gain[c], &CNumField::committed, this, gainChanged);
        connect(m_fader[c], &CFader::moved, this, gainChanged);
        connect(m_fader[c], &CFader::released, this, gainChanged);
    }
}

void CWorkspaceWindow::BuildLegend() {
    auto* row = new QWidget(m_pGraphArea);
    row->setObjectName(QStringLiteral("legend"));
    row->setFixedHeight(kLegendHeight);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(8, 0, 8, 0);
    layout->setSpacing(4);
    for (int c = 0; c < kChannels; ++c) {
        m_legend[c] = new QCheckBox(row);
        m_legend[c]->setObjectName(QStringLiteral("legend.ch%1").arg(c + 1));
        m_legend[c]->setFocusPolicy(Qt::TabFocus);
        m_legendLabel[c] = new QLabel(row);
        m_legendLabel[c]->setObjectName(QStringLiteral("legend.ch%1.label").arg(c + 1));
        layout->addWidget(m_legend[c]);
        layout->addWidget(m_legendLabel[c]);
        layout->addSpacing(14);
        connect(m_legend[c], &QCheckBox::clicked, this, [this, c] {
            m_legend[c]->setChecked(!m_legend[c]->isChecked());
            Forward([c](auto& p) { p.OnLegendToggled(c); });
        });
        ShowLegend(c, false, LegendColour::Grey);
    }
    layout->addStretch(1);
    // On top of the area, with or without the graph below it.
    static_cast<QVBoxLayout*>(m_pGraphArea->layout())->addWidget(row, 0, Qt::AlignTop);
}

void CWorkspaceWindow::ShowVariantLooks(int variant) {
    for (QPushButton* b : {m_select[4], m_select[5]}) {
        b->setProperty("variantLook", variant == 1);
        // Properties in the style sheet take effect on the next polish.
        b->style()->unpolish(b);
        b->style()->polish(b);
    }
}

void CWorkspaceWindow::ChainFocusByArea() {
    // Reading order of the window, whatever order the areas were filled in.
    static const char* const kAreaOrder[] = {"topBar",  "strips", "graphArea",
                                             "carArea", "eqArea", "xoverArea"};
    QWidget* previous = nullptr;
    for (const char* name : kAreaOrder) {
        QWidget* area = name == std::string_view("topBar") ? m_pTopBar : Area(name);
        // The area's own chain, in the order Qt keeps it. A field that
        // hands its focus to its line edit moves as one with it.
        QList<QWidget*> stops;
        for (QWidget* w = area->nextInFocusChain(); w != area; w = w->nextInFocusChain()) {
            if (!area->isAncestorOf(w) || !(w->focusPolicy() & Qt::TabFocus)) continue;
            if (w->parentWidget() != nullptr && w->parentWidget()->focusProxy() == w) continue;
            stops << w;
        }
        for (QWidget* w : stops) {
            if (previous != nullptr) setTabOrder(previous, w);
            previous = w;
        }
    }
}

void CWorkspaceWindow::StyleButtons() {
    // A switched-on button stands out from the others. The sheet goes on
    // each button, not on the window: a sheet on the window would take over
    // the painting of every control in it, faders included, and the palettes
    // it makes on every state change defeat the style's picture cache (the
    // resident set grew by about a megabyte a minute while faders moved).
    const QString sheet = QStringLiteral(
                              "QPushButton:checked { background-color: %1; border: 1px solid "
                              "#5a7ea6; border-radius: 3px; }")
                              .arg(kHighlightColour.name()) +
                          kVariantLookSheet.arg(kHighlightColour.name());
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setStyleSheet(sheet);
}

void CWorkspaceWindow::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    QWidget::mousePressEvent(event);
}

// ---- IWorkspaceView ----

void CWorkspaceWindow::ShowTitle(const std::string& title) {
    const QString text = QString::fromStdString(title);
    window()->setWindowTitle(text);
    m_pTitle->setText(text);
}

void CWorkspaceWindow::ShowSettingName(const std::string& name) {
    const QString full = QString::fromStdString(name).trimmed();
    m_pSettingName->setText(m_pSettingName->fontMetrics().elidedText(full, Qt::ElideMiddle,
                                                                     m_pSettingName->width() - 4));
    m_pSettingName->setToolTip(full);
    window()->setWindowTitle(full.isEmpty() ? m_pTitle->text()
                                            : m_pTitle->text() + QStringLiteral(" - ") + full);
}

void CWorkspaceWindow::Relabel() {
    m_pConnect->setText(Tr(TextId::WsConnect));
    m_pMasterLabel->setText(Tr(TextId::WsMaster));
    m_pMasterOutput->setText(Tr(TextId::WsMasterOutput));
    const TextId sources[kSourceEntryCount] = {TextId::SourceHighLevel, TextId::SourceLowLevel,
                                               TextId::SourceBluetooth, TextId::SourcePlayer};
    for (int i = 0; i < kSourceEntryCount; ++i)
        m_pSource->setItemText(i, Tr(sources[i]));
    const TextId presets[] = {TextId::WsPresetDefault, TextId::WsPresetMode1,
                              TextId::WsPresetMode2,   TextId::WsPresetMode3,
                              TextId::WsPresetMode4,   TextId::WsPresetMode5};
    for (int i = 0; i < m_pPreset->count(); ++i)
        m_pPreset->setItemText(i, Tr(presets[i]));
    m_pLink->setText(Tr(TextId::WsLinkLeftRight));
    m_pLink56->setText(Tr(TextId::Link56));
    m_pMixer->setText(Tr(TextId::WsMixer));
    m_pGroups->setText(Tr(TextId::WsSoundGroups));
    m_pMenu->setText(Tr(TextId::WsMainMenu));
    m_pMinimize->setToolTip(Tr(TextId::WsMinimize));
    m_pClose->setToolTip(Tr(TextId::WsClose));
    for (int c = 0; c < kChannels; ++c) {
        m_select[c]->setText(ChannelName(c));
        m_output[c]->setText(Tr(TextId::WsChannelOutput));
        m_phase[c]->setText(
            Tr(m_phase[c]->isChecked() ? TextId::PhaseInverted : TextId::PhaseNormal));
        m_legendLabel[c]->setText(ChannelName(c));
        // "OFF" texts of the fields follow the language.
        m_gain[c]->SetPos(m_gain[c]->Pos());
    }
    m_pMasterField->SetPos(m_pMasterField->Pos());
}

void CWorkspaceWindow::ShowMessage(TextId text) {
    ShowMessageBox(this, Tr(text));
}

void CWorkspaceWindow::ShowConnected(bool connected) {
    m_bConnectedShown = connected;
    m_pConnect->setChecked(connected);
}

void CWorkspaceWindow::ShowMasterVolume(int step) {
    m_pMasterField->SetPos(step);
}

void CWorkspaceWindow::ShowMasterOutput(bool on) {
    m_pMasterOutput->setChecked(on);
}

void CWorkspaceWindow::ShowSource(int entry) {
    m_pSource->setCurrentIndex(entry);
}

void CWorkspaceWindow::ShowChannelPreset(int entry) {
    m_pPreset->setCurrentIndex(entry >= 0 && entry < m_pPreset->count() ? entry : 0);
    m_pPreset->show();
}

void CWorkspaceWindow::ShowLinkToggle(bool on) {
    m_pLink->setChecked(on);
}

void CWorkspaceWindow::ShowSelected(int channel, bool checked) {
    m_select[channel]->setChecked(checked);
}

void CWorkspaceWindow::ShowOutputOn(int channel, bool on) {
    m_output[channel]->setChecked(on);
}

void CWorkspaceWindow::ShowPhase(int channel, bool inverted) {
    m_phase[channel]->setChecked(inverted);
    m_phase[channel]->setText(Tr(inverted ? TextId::PhaseInverted : TextId::PhaseNormal));
}

void CWorkspaceWindow::ShowGain(int channel, int step) {
    m_gain[channel]->SetPos(step);
}

void CWorkspaceWindow::ShowLegend(int channel, bool checked, LegendColour colour) {
    m_legend[channel]->setChecked(checked);
    QPalette pal = m_legendLabel[channel]->palette();
    pal.setColor(QPalette::WindowText, colour == LegendColour::Red ? kLegendRed : kLegendGrey);
    m_legendLabel[channel]->setPalette(pal);
}

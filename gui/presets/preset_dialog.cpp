#include "gui/presets/preset_dialog.h"

#include <QButtonGroup>
#include <QCursor>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/texts.h"
#include "gui/presets/dialog_look.h"
#include "gui/presets/group_name_dialog.h"
#include "image/param_image.h"

namespace {

constexpr int kGroupColumns = 3;
const QSize kGroupButtonSize(132, 44);

QString TextOf(TextId id) {
    return QString::fromUtf8(Text(id));
}

TextId FilterName(PresetFileFilter filter) {
    switch (filter) {
        case PresetFileFilter::OpenAny:
            return TextId::PresetFilesFilterName;
        case PresetFileFilter::SaveSingleSet:
            return TextId::SingleSetFilterName;
        case PresetFileFilter::SaveAllData:
            return TextId::AllDataFilterName;
    }
    return TextId::PresetFilesFilterName;
}

}  // namespace

CPresetDialog::CPresetDialog(PresetDialog kind, CPresetPresenter& presenter, QWidget* parent)
    : QDialog(parent), m_eKind(kind), m_presenter(presenter) {
    const bool load = kind == PresetDialog::Load;
    setObjectName(load ? QStringLiteral("soundLoadDialog") : QStringLiteral("soundSaveDialog"));
    setWindowTitle(TextOf(load ? TextId::SourceLoadTitle : TextId::SourceSaveTitle));
    ApplyDialogLook(this);

    auto* groups = new QGridLayout;
    for (int g = 1; g <= kDeviceGroupCount; ++g) {
        auto* button = new QPushButton(this);
        button->setObjectName(QStringLiteral("preset.group%1").arg(g));
        button->setFixedSize(kGroupButtonSize);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QPushButton::clicked, this, [this, g] { m_presenter.OnGroupClicked(g); });
        connect(button, &QWidget::customContextMenuRequested, this,
                [this, g] { m_presenter.OnGroupRightClicked(g); });
        groups->addWidget(button, (g - 1) / kGroupColumns, (g - 1) % kGroupColumns);
        m_groupButtons[static_cast<std::size_t>(g - 1)] = button;
    }

    auto* bottom = new QHBoxLayout;
    if (load) {
        auto* fromFile = new QPushButton(TextOf(TextId::LoadFromFileButton), this);
        fromFile->setObjectName(QStringLiteral("preset.loadFile"));
        connect(fromFile, &QPushButton::clicked, this, [this] { m_presenter.OnLoadFromFile(); });
        bottom->addStretch();
        bottom->addWidget(fromFile);
    } else {
        auto* all = new QRadioButton(TextOf(TextId::SaveScopeAllGroups), this);
        auto* current = new QRadioButton(TextOf(TextId::SaveScopeCurrentGroup), this);
        all->setObjectName(QStringLiteral("preset.scopeAll"));
        current->setObjectName(QStringLiteral("preset.scopeCurrent"));
        auto* pair = new QButtonGroup(this);
        pair->addButton(all);
        pair->addButton(current);
        connect(all, &QRadioButton::clicked, this,
                [this] { m_presenter.OnScopeClicked(SaveScope::AllGroups); });
        connect(current, &QRadioButton::clicked, this,
                [this] { m_presenter.OnScopeClicked(SaveScope::CurrentGroup); });
        m_pScopeAll = all;
        m_pScopeCurrent = current;
        auto* toFile = new QPushButton(TextOf(TextId::SaveToFileButton), this);
        toFile->setObjectName(QStringLiteral("preset.saveFile"));
        connect(toFile, &QPushButton::clicked, this, [this] { m_presenter.OnSaveToFile(); });
        bottom->addWidget(all);
        bottom->addWidget(current);
        bottom->addStretch();
        bottom->addWidget(toFile);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(12);
    layout->addLayout(groups);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_presenter.Open(kind, *this);
}

CPresetDialog::~CPresetDialog() {
    m_presenter.Close();
}

void CPresetDialog::ShowGroupCaption(int group, const std::string& caption) {
    if (group < 1 || group > kDeviceGroupCount) return;
    m_groupButtons[static_cast<std::size_t>(group - 1)]->setText(QString::fromStdString(caption));
}

void CPresetDialog::ShowSaveScope(SaveScope scope) {
    if (m_pScopeAll == nullptr) return;
    m_pScopeAll->setChecked(scope == SaveScope::AllGroups);
    m_pScopeCurrent->setChecked(scope == SaveScope::CurrentGroup);
}

std::optional<GroupMenuChoice> CPresetDialog::AskGroupMenu(int /*group*/) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("preset.groupMenu"));
    QAction* load = menu.addAction(TextOf(TextId::MenuLoad));
    QAction* save = menu.addAction(TextOf(TextId::MenuSave));
    QAction* remove = menu.addAction(TextOf(TextId::MenuDelete));
    QAction* chosen = menu.exec(QCursor::pos());
    if (chosen == load) return GroupMenuChoice::Load;
    if (chosen == save) return GroupMenuChoice::Save;
    if (chosen == remove) return GroupMenuChoice::Delete;
    return std::nullopt;
}

std::optional<std::string> CPresetDialog::AskGroupName(const std::string& current) {
    CGroupNameDialog dialog(QString::fromStdString(current), this);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Name().toStdString();
}

bool CPresetDialog::AskOkCancel(TextId text) {
    return QMessageBox::question(this, windowTitle(), TextOf(text),
                                 QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Ok;
}

std::optional<std::string> CPresetDialog::ChooseOpenFile(PresetFileFilter filter) {
    return RunFileDialog(filter, false);
}

std::optional<std::string> CPresetDialog::ChooseSaveFile(PresetFileFilter filter) {
    return RunFileDialog(filter, true);
}

// Non-native, so that it looks the same everywhere and tests can answer it.
std::optional<std::string> CPresetDialog::RunFileDialog(PresetFileFilter filter, bool save) {
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("preset.fileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowTitle(windowTitle());
    dialog.setNameFilter(QStringLiteral("%1 (%2)").arg(TextOf(FilterName(filter)),
                                                       QString::fromUtf8(FilterPatterns(filter))));
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // The overwrite question then asks about the file that is written.
        dialog.setDefaultSuffix(filter == PresetFileFilter::SaveAllData ? QStringLiteral("dspa")
                                                                        : QStringLiteral("dsps"));
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

#include "gui/firmware/update_dialog.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include "base/texts.h"
#include "gui/presets/dialog_look.h"

namespace {

QString TextOf(TextId id) {
    return QString::fromUtf8(Text(id));
}

const QString kSettingsGroup = QStringLiteral("USB");

}  // namespace

RememberedUpgradeFile CQtUpgradeFileStore::Load() {
    QSettings settings;
    settings.beginGroup(kSettingsGroup);
    return {settings.value(QStringLiteral("Name")).toString().toStdString(),
            settings.value(QStringLiteral("Path")).toString().toStdString()};
}

void CQtUpgradeFileStore::Save(const RememberedUpgradeFile& file) {
    QSettings settings;
    settings.beginGroup(kSettingsGroup);
    settings.setValue(QStringLiteral("Name"), QString::fromStdString(file.name));
    settings.setValue(QStringLiteral("Path"), QString::fromStdString(file.path));
}

CUpdateDialog::CUpdateDialog(CFirmwareUpdater& updater, IUpgradeFileStore& store, QWidget* parent)
    : QDialog(parent), m_presenter(updater, *this, store) {
    setObjectName(QStringLiteral("updateDialog"));
    setWindowTitle(TextOf(TextId::FirmwareUpdateTitle));
    ApplyDialogLook(this);

    m_pPath = new QLineEdit(this);
    m_pPath->setObjectName(QStringLiteral("update.path"));
    m_pPath->setMinimumWidth(320);
    auto* browse = new QPushButton(TextOf(TextId::FirmwareBrowse), this);
    browse->setObjectName(QStringLiteral("update.browse"));
    auto* start = new QPushButton(TextOf(TextId::FirmwareStart), this);
    start->setObjectName(QStringLiteral("update.start"));
    start->setDefault(true);
    auto* reset = new QPushButton(TextOf(TextId::FirmwareFactoryReset), this);
    reset->setObjectName(QStringLiteral("update.factoryReset"));
    m_pProgress = new QProgressBar(this);
    m_pProgress->setObjectName(QStringLiteral("update.progress"));
    m_pProgress->setRange(0, 1);
    m_pProgress->setValue(0);
    m_pStatus = new QLabel(this);
    m_pStatus->setObjectName(QStringLiteral("update.status"));
    m_pStatus->setMinimumHeight(20);

    connect(browse, &QPushButton::clicked, this, [this] { m_presenter.OnBrowse(); });
    connect(start, &QPushButton::clicked, this,
            [this] { m_presenter.OnStart(m_pPath->text().toStdString()); });
    connect(reset, &QPushButton::clicked, this, [this] { m_presenter.OnFactoryReset(); });

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(new QLabel(TextOf(TextId::FirmwareFileLabel), this));
    pathRow->addWidget(m_pPath, 1);
    pathRow->addWidget(browse);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(reset);
    buttons->addStretch();
    buttons->addWidget(start);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(10);
    layout->addLayout(pathRow);
    layout->addWidget(m_pProgress);
    layout->addWidget(m_pStatus);
    layout->addLayout(buttons);
    setFixedWidth(520);

    m_presenter.Open();
}

bool CUpdateDialog::HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    return m_presenter.HandleMessage(msg, wParam, lParam);
}

void CUpdateDialog::ShowPath(const std::string& path) {
    m_pPath->setText(QString::fromStdString(path));
}

void CUpdateDialog::ShowStatus(TextId text) {
    m_pStatus->setText(TextOf(text));
}

void CUpdateDialog::SetProgressRange(int total) {
    m_pProgress->setRange(0, total);
}

void CUpdateDialog::SetProgress(int position) {
    m_pProgress->setValue(position);
}

void CUpdateDialog::ShowMessage(TextId text) {
    QMessageBox::warning(this, windowTitle(), TextOf(text));
}

bool CUpdateDialog::AskYesNo(TextId text) {
    return QMessageBox::question(this, windowTitle(), TextOf(text),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

std::optional<std::string> CUpdateDialog::ChooseUpgradeFile(const std::string& current) {
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("update.fileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowTitle(windowTitle());
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("%1 (%2)").arg(TextOf(TextId::FirmwareFilesFilterName),
                                                       QString::fromUtf8(kUpgradeFilePatterns)));
    if (!current.empty()) {
        const QFileInfo info(QString::fromStdString(current));
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

void CUpdateDialog::CloseDialog() {
    QDialog::reject();
}

void CUpdateDialog::reject() {
    if (m_presenter.OnCloseRequested()) QDialog::reject();
}

void CUpdateDialog::closeEvent(QCloseEvent* event) {
    if (m_presenter.OnCloseRequested()) {
        QDialog::closeEvent(event);
    } else {
        event->ignore();
    }
}

#include "gui/presets/preset_windows.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include "gui/presets/preset_dialog.h"

CPresetWindows::CPresetWindows(IWorkspaceHost& host, QWidget* parent)
    : m_pParent(parent), m_presenter(host, *this) {}

void CPresetWindows::RunSoundLoad() {
    Run(PresetDialog::Load);
}

void CPresetWindows::RunSoundSave() {
    Run(PresetDialog::Save);
}

void CPresetWindows::Run(PresetDialog kind) {
    if (m_presenter.OpenDialog()) return;
    CPresetDialog dialog(kind, m_presenter, m_pParent);
    dialog.exec();
}

void CPresetWindows::ShowMessage(TextId text) {
    QWidget* over = QApplication::activeModalWidget();
    QMessageBox::information(over != nullptr ? over : m_pParent, QString(),
                             QString::fromUtf8(Text(text)));
}

void CPresetWindows::ShowSettingName(const std::string& name) {
    if (showSettingName) showSettingName(name);
}

void CPresetWindows::RefreshAll() {
    if (refreshAll) refreshAll();
}

bool CPresetWindows::TryConnect() {
    return tryConnect && tryConnect();
}

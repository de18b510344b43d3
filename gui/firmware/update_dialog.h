#pragma once
// The firmware update dialog ("设备固件更新" / "Device Firmware Update"):
// path field, Browse, Start, factory reset, progress bar and status line.
// The rules are CUpdatePresenter's; while the dialog is open the front end
// hands it the update's messages (HandleMessage).

#include <QDialog>

#include <cstdint>
#include <memory>

#include "workspace/update_presenter.h"

class CFirmwareUpdater;
class QLabel;
class QLineEdit;
class QProgressBar;

// Name and Path in the application's settings.
class CQtUpgradeFileStore : public IUpgradeFileStore {
public:
    RememberedUpgradeFile Load() override;
    void Save(const RememberedUpgradeFile& file) override;
};

class CUpdateDialog : public QDialog, public IUpdateView {
    Q_OBJECT
public:
    CUpdateDialog(CFirmwareUpdater& updater, IUpgradeFileStore& store, QWidget* parent = nullptr);

    bool HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    CUpdatePresenter& Presenter() { return m_presenter; }

    // IUpdateView
    void ShowPath(const std::string& path) override;
    void ShowStatus(TextId text) override;
    void SetProgressRange(int total) override;
    void SetProgress(int position) override;
    void ShowMessage(TextId text) override;
    bool AskYesNo(TextId text) override;
    std::optional<std::string> ChooseUpgradeFile(const std::string& current) override;
    void CloseDialog() override;

    // Close box, Escape and cancel pass the close guard.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CUpdatePresenter m_presenter;
    QLineEdit* m_pPath;
    QProgressBar* m_pProgress;
    QLabel* m_pStatus;
};

#include "workspace/update_presenter.h"

#include "base/globals.h"

// The file dialog makes the chosen image's folder the working folder.
std::string DataFilePattern(const std::string& workingFolder) {
    return workingFolder + "/DataFile/*.bin";
}

CUpdatePresenter::CUpdatePresenter(CFirmwareUpdater& updater, IUpdateView& view,
                                   IUpgradeFileStore& store)
    : m_updater(updater), m_view(view), m_store(store) {
    m_updater.SetListener(this);
}

CUpdatePresenter::~CUpdatePresenter() {
    m_updater.SetListener(nullptr);
}

void CUpdatePresenter::Open() {
    m_strPath = m_store.Load().name;
    m_view.ShowPath(m_strPath);
}

bool CUpdatePresenter::MayAct() {
    if (const std::optional<TextId> guard = m_updater.CloseGuardText()) {
        m_view.ShowMessage(*guard);
        return false;
    }
    return true;
}

void CUpdatePresenter::OnBrowse() {
    if (!MayAct()) return;
    const std::optional<std::string> chosen = m_view.ChooseUpgradeFile(m_strPath);
    if (!chosen) return;
    m_strPath = *chosen;
    const std::string folder =
        m_strPath.find('/') == std::string::npos ? "." : m_strPath.substr(0, m_strPath.rfind('/'));
    m_store.Save({m_strPath, DataFilePattern(folder)});
    m_view.ShowPath(m_strPath);
}

void CUpdatePresenter::OnStart(const std::string& pathField) {
    if (m_updater.IsBusy()) return;
    m_strPath = pathField;
    if (m_updater.Start(m_strPath)) return;
    // An unreadable file forgets the path; the field shows what is left.
    if (m_updater.LoadResult().eError == TextId::HexFileError) m_strPath.clear();
    m_view.ShowPath(m_strPath);
}

void CUpdatePresenter::OnFactoryReset() {
    if (!MayAct()) return;
    if (!m_view.AskYesNo(TextId::FactoryResetConfirm)) return;
    // Offline the core says "The device is not connected"; either way the
    // dialog has done its part. The device's factory values are read back,
    // so that the window and later single edits match the device.
    if (m_updater.FactoryReset() == FactoryResetResult::Queued) m_updater.ReadDeviceAgain();
    m_view.CloseDialog();
}

bool CUpdatePresenter::OnCloseRequested() {
    return MayAct();
}

bool CUpdatePresenter::HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    return m_updater.HandleMessage(msg, wParam, lParam);
}

void CUpdatePresenter::OnUpgradeProgress(const UpgradeProgress& progress) {
    if (progress.status) m_view.ShowStatus(*progress.status);
    if (progress.nTotal > 0) {
        m_view.SetProgressRange(progress.nTotal);
        m_view.SetProgress(progress.nPosition);
    }
}

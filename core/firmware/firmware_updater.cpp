#include "firmware/firmware_updater.h"

#include <mutex>

#include "base/globals.h"
#include "base/messages.h"
#include "link/connection_manager.h"
#include "protocol/frame_builder.h"
#include "protocol/ktv_command.h"

namespace {

using Clock = std::chrono::steady_clock;

UpgradeOutcome OutcomeOf(UpgradePhase phase) {
    switch (phase) {
        case UpgradePhase::Idle:
            return UpgradeOutcome::Idle;
        case UpgradePhase::Disconnecting:
        case UpgradePhase::Searching:
        case UpgradePhase::Transferring:
            return UpgradeOutcome::Running;
        case UpgradePhase::Succeeded:
            return UpgradeOutcome::Succeeded;
        case UpgradePhase::Failed:
        case UpgradePhase::NotFound:
            return UpgradeOutcome::Failed;
    }
    return UpgradeOutcome::Idle;
}

void ShowMessage(TextId text) {
    PostUiMessage(UM_SHOW_MESSAGE, static_cast<std::uintptr_t>(text));
}

}  // namespace

const char* UpgradeOutcomeName(UpgradeOutcome outcome) {
    switch (outcome) {
        case UpgradeOutcome::Idle:
            return "idle";
        case UpgradeOutcome::Running:
            return "running";
        case UpgradeOutcome::Succeeded:
            return "succeeded";
        case UpgradeOutcome::Failed:
            return "failed";
    }
    return "?";
}

const char* UpgradePhaseName(UpgradePhase phase) {
    switch (phase) {
        case UpgradePhase::Idle:
            return "idle";
        case UpgradePhase::Disconnecting:
            return "disconnecting";
        case UpgradePhase::Searching:
            return "searching";
        case UpgradePhase::Transferring:
            return "transferring";
        case UpgradePhase::Succeeded:
            return "succeeded";
        case UpgradePhase::Failed:
            return "failed";
        case UpgradePhase::NotFound:
            return "not found";
    }
    return "?";
}

CFirmwareUpdater::CFirmwareUpdater(CConnectionManager& connection)
    : m_connection(connection), m_cycle(m_state), m_steps(connection.Scheduler()) {
    m_connection.Worker().SetUpgradeCycle(&m_cycle);
    std::lock_guard lock(g_csModel);
    m_connection.Command().SetUpgradeReplyHook(
        [this](int code) { UpgradeStatusStep(m_state, code); });
}

CFirmwareUpdater::~CFirmwareUpdater() {
    // The worker must not run a cycle of an updater that is gone.
    if (IsUpgrading()) StopTransfer();
    m_connection.Worker().SetUpgradeCycle(nullptr);
    std::lock_guard lock(g_csModel);
    m_connection.Command().SetUpgradeReplyHook(nullptr);
}

bool CFirmwareUpdater::Start(const std::string& path, CImageFileReader* reader) {
    if (IsBusy()) return false;
    m_loadResult = reader != nullptr ? LoadUpgradeFile(path, m_state, *reader)
                                     : LoadUpgradeFile(path, m_state);
    if (!m_loadResult.bOk) {
        SetPhase(UpgradePhase::Failed);
        return false;
    }
    m_cycle.Reset();
    m_steps.Cancel();
    m_progress = {};
    DisconnectForUpgrade();
    return true;
}

// A link that is up is taken down without a message; the search follows the close.
void CFirmwareUpdater::DisconnectForUpgrade() {
    if (!m_connection.IsConnected()) {
        BeginSearch();
        return;
    }
    SetPhase(UpgradePhase::Disconnecting);
    m_connection.TakeDown(false, m_steps.Guarded([this] { BeginSearch(); }));
}

void CFirmwareUpdater::BeginSearch() {
    m_firstSearchFailure.reset();
    SetPhase(UpgradePhase::Searching);
    TrySearch();
}

// The device may still be restarting from an earlier attempt: it is looked
// for again and again until the search window ends.
void CFirmwareUpdater::TrySearch() {
    if (m_connection.Link().OpenFirstMatching()) {
        StartTransfer();
        return;
    }
    const LinkTimings& t = m_connection.Timings();
    const Clock::time_point now = Clock::now();
    if (!m_firstSearchFailure) {
        m_firstSearchFailure = now;
        PostUiMessage(UM_UPGRADE_STATUS, static_cast<std::uintptr_t>(TextId::SearchForDevice));
    }
    ++m_progress.nSearchAttempts;
    m_progress.searchTime =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - *m_firstSearchFailure);
    if (now - *m_firstSearchFailure >= t.upgradeSearchWindow) {
        g_bUpgrading = false;
        CConnectionManager::ReportLinkFailure();
        {
            std::lock_guard lock(g_csModel);
            m_connection.Command().ClearQueue();
        }
        SetPhase(UpgradePhase::NotFound);
        return;
    }
    Notify();
    Later(t.upgradeSearchRetry, [this] { TrySearch(); });
}

void CFirmwareUpdater::StartTransfer() {
    {
        std::lock_guard lock(g_csModel);
        m_connection.Command().ClearQueue();
    }
    // A new session: no step of an earlier update excuses a removal now.
    g_nLastUpgradeCommand = 0;
    m_connection.Link().ClearInReport();
    g_bUpgrading = true;
    m_connection.StartLink(true);
    PostUiMessage(UM_UPGRADE_RANGE, static_cast<std::uintptr_t>(m_state.m_nProgressTotal));
    PostUiMessage(UM_UPGRADE_PROGRESS, 0);
    SetPhase(UpgradePhase::Transferring);
}

void CFirmwareUpdater::Later(std::chrono::milliseconds delay, std::function<void()> step) {
    m_connection.Later(delay, m_steps.Guarded(std::move(step)));
}

void CFirmwareUpdater::SetPhase(UpgradePhase phase) {
    m_progress.ePhase = phase;
    Notify();
}

void CFirmwareUpdater::Notify(std::optional<TextId> status) {
    m_progress.status = status;
    if (m_pListener != nullptr) m_pListener->OnUpgradeProgress(m_progress);
    m_progress.status.reset();
}

bool CFirmwareUpdater::HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    switch (msg) {
        case UM_UPGRADE_DONE:
            OnUpgradeDone(lParam);
            return true;
        case UM_UPGRADE_RANGE:
            m_progress.nTotal = static_cast<int>(wParam);
            Notify();
            return true;
        case UM_UPGRADE_PROGRESS:
            m_progress.nPosition = static_cast<int>(wParam);
            Notify();
            return true;
        case UM_UPGRADE_STATUS:
            Notify(static_cast<TextId>(wParam));
            return true;
        case UM_DEVICE_ID:
            // An update asks for no identification: this one answers the
            // link the update took down, and its read-all must not reach the
            // queue the update cycle works on.
            return IsBusy();
        default:
            return false;
    }
}

// The worker stops sending once the end step is answered; the link is
// closed without the disconnect pause.
void CFirmwareUpdater::OnUpgradeDone(std::intptr_t lParam) {
    if (lParam != kUpgradeDoneParam) return;
    m_connection.TakeDown(false, m_steps.Guarded([this] {
        g_bUpgrading = false;
        ShowMessage(TextId::FirmwareUpdateDone);
        SetPhase(UpgradePhase::Succeeded);
    }));
}

UpgradeOutcome CFirmwareUpdater::Outcome() {
    return OutcomeOf(Phase());
}

UpgradePhase CFirmwareUpdater::Phase() {
    if (m_progress.ePhase == UpgradePhase::Transferring && !m_connection.IsDisconnecting() &&
        (!g_bUpgrading || !m_connection.IsConnected())) {
        // The connection manager took the link down (failure, removal, or an
        // empty reply, which leaves g_bUpgrading set on its own).
        g_bUpgrading = false;
        SetPhase(UpgradePhase::Failed);
    }
    return m_progress.ePhase;
}

void CFirmwareUpdater::Abandon() {
    m_steps.Cancel();
    StopTransfer();
    if (OutcomeOf(m_progress.ePhase) == UpgradeOutcome::Running) SetPhase(UpgradePhase::Failed);
}

void CFirmwareUpdater::StopTransfer() {
    m_connection.StopLink();
    m_connection.CloseActiveLink();
    g_bUpgrading = false;
}

bool CFirmwareUpdater::IsUpgrading() const {
    return g_bUpgrading;
}

bool CFirmwareUpdater::IsBusy() const {
    return g_bUpgrading || m_progress.ePhase == UpgradePhase::Disconnecting ||
           m_progress.ePhase == UpgradePhase::Searching;
}

FactoryResetResult CFirmwareUpdater::FactoryReset() {
    if (IsBusy()) {
        ShowMessage(TextId::DontCloseUpdate);
        return FactoryResetResult::UpdateRunning;
    }
    if (!m_connection.IsConnected() || m_connection.IsDisconnecting()) {
        ShowMessage(TextId::DeviceNotConnected);
        return FactoryResetResult::NotConnected;
    }
    std::lock_guard lock(g_csModel);
    std::unique_ptr<CSendData> reset = MakeSystemWrite(SYS_FACTORY_RESET, 0);
    // Lets a front end that waits (the command line) know when it was answered.
    reset->SetNotifyDone(true);
    m_connection.Command().PushPacket(std::move(reset));
    return FactoryResetResult::Queued;
}

void CFirmwareUpdater::ReadDeviceAgain() {
    m_connection.ReadDeviceAgain();
}

std::optional<TextId> CFirmwareUpdater::CloseGuardText() const {
    if (IsBusy()) return TextId::DontCloseUpdate;
    return std::nullopt;
}

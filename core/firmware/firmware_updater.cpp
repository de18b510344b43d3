#include "firmware/firmware_updater.h"

#include <mutex>
#include <thread>

#include "base/globals.h"
#include "base/messages.h"
#include "link/connection_manager.h"
#include "link/message_queue.h"
#include "protocol/frame_builder.h"
#include "protocol/ktv_command.h"

namespace {

using Clock = std::chrono::steady_clock;

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

CFirmwareUpdater::CFirmwareUpdater(CConnectionManager& connection)
    : m_connection(connection), m_cycle(m_state) {
    m_connection.Worker().SetUpgradeCycle(&m_cycle);
    std::lock_guard lock(g_csModel);
    m_connection.Command().SetUpgradeReplyHook(
        [this](int code) { UpgradeStatusStep(m_state, code); });
}

CFirmwareUpdater::~CFirmwareUpdater() {
    // The worker must not run a cycle of an updater that is gone.
    if (IsUpgrading()) {
        m_connection.StopLink();
        m_connection.CloseActiveLink();
        g_bUpgrading = false;
    }
    m_connection.Worker().SetUpgradeCycle(nullptr);
    std::lock_guard lock(g_csModel);
    m_connection.Command().SetUpgradeReplyHook(nullptr);
}

bool CFirmwareUpdater::Start(const std::string& path, CImageFileReader* reader) {
    if (g_bUpgrading) return false;
    m_loadResult = reader != nullptr ? LoadUpgradeFile(path, m_state, *reader)
                                     : LoadUpgradeFile(path, m_state);
    if (!m_loadResult.bOk) {
        m_eOutcome = UpgradeOutcome::Failed;
        return false;
    }
    m_cycle.Reset();
    DisconnectForUpgrade();
    if (!ConnectForUpgrade()) {
        m_eOutcome = UpgradeOutcome::Failed;
        return false;
    }
    PostUiMessage(UM_UPGRADE_RANGE, static_cast<std::uintptr_t>(m_state.m_nProgressTotal));
    PostUiMessage(UM_UPGRADE_PROGRESS, 0);
    m_eOutcome = UpgradeOutcome::Running;
    return true;
}

void CFirmwareUpdater::DisconnectForUpgrade() {
    if (!m_connection.IsConnected()) return;
    m_connection.StopLink();
    m_connection.CloseActiveLink();
}

// The device may still be restarting from an earlier attempt: it is looked
// for again and again until the search window ends.
bool CFirmwareUpdater::ConnectForUpgrade() {
    const LinkTimings& t = m_connection.Timings();
    CHidLink& link = m_connection.Link();
    std::optional<Clock::time_point> firstFailure;
    while (!link.OpenFirstMatching()) {
        const Clock::time_point now = Clock::now();
        if (!firstFailure) {
            firstFailure = now;
            PostUiMessage(UM_UPGRADE_STATUS, static_cast<std::uintptr_t>(TextId::SearchForDevice));
        }
        if (now - *firstFailure >= t.upgradeSearchWindow) {
            g_bUpgrading = false;
            CConnectionManager::ReportLinkFailure();
            std::lock_guard lock(g_csModel);
            m_connection.Command().ClearQueue();
            return false;
        }
        std::this_thread::sleep_for(t.upgradeSearchRetry);
    }
    {
        std::lock_guard lock(g_csModel);
        m_connection.Command().ClearQueue();
    }
    // A new session: no step of an earlier update excuses a removal now.
    g_nLastUpgradeCommand = 0;
    link.ClearInReport();
    g_bUpgrading = true;
    m_connection.StartLink(true);
    return true;
}

bool CFirmwareUpdater::HandleMessage(unsigned msg, std::uintptr_t, std::intptr_t lParam) {
    switch (msg) {
        case UM_UPGRADE_DONE:
            OnUpgradeDone(lParam);
            return true;
        case UM_DEVICE_ID:
            // An update asks for no identification: this one answers the
            // link the update took down, and its read-all must not reach the
            // queue the update cycle works on.
            return g_bUpgrading;
        default:
            return false;
    }
}

void CFirmwareUpdater::OnUpgradeDone(std::intptr_t lParam) {
    if (lParam != kUpgradeDoneParam) return;
    m_connection.StopLink();
    g_bUpgrading = false;
    m_connection.CloseActiveLink();
    ShowMessage(TextId::FirmwareUpdateDone);
    m_eOutcome = UpgradeOutcome::Succeeded;
}

UpgradeOutcome CFirmwareUpdater::Outcome() {
    if (m_eOutcome == UpgradeOutcome::Running && (!g_bUpgrading || !m_connection.IsConnected())) {
        // The connection manager took the link down (failure, removal, or an
        // empty reply, which leaves g_bUpgrading set on its own).
        g_bUpgrading = false;
        m_eOutcome = UpgradeOutcome::Failed;
    }
    return m_eOutcome;
}

bool CFirmwareUpdater::IsUpgrading() const {
    return g_bUpgrading;
}

FactoryResetResult CFirmwareUpdater::FactoryReset() {
    if (g_bUpgrading) {
        ShowMessage(TextId::DontCloseUpdate);
        return FactoryResetResult::UpdateRunning;
    }
    if (!m_connection.IsConnected()) {
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

std::optional<TextId> CFirmwareUpdater::CloseGuardText() {
    if (g_bUpgrading) return TextId::DontCloseUpdate;
    return std::nullopt;
}

UpgradeOutcome RunUpgrade(CFirmwareUpdater& updater, CConnectionManager& connection,
                          CMessageQueue& messages, const std::string& path,
                          const CMessageQueue::Handler& observe, Clock::duration limit) {
    const auto dispatch = [&](const UiMessage& m) {
        if (observe) observe(m);
        if (!updater.HandleMessage(m.msg, m.wParam, m.lParam))
            connection.HandleMessage(m.msg, m.wParam, m.lParam);
    };
    const bool started = updater.Start(path);
    // What Start posted (a refusal, the search status) reaches the observer too.
    messages.DispatchPending(dispatch);
    if (!started) return updater.Outcome();
    const bool ended = messages.RunUntil(
        dispatch, [&] { return updater.Outcome() != UpgradeOutcome::Running; },
        Clock::now() + limit);
    if (!ended) {
        connection.StopLink();
        connection.CloseActiveLink();
        g_bUpgrading = false;
    }
    messages.DispatchPending(dispatch);
    return updater.Outcome();
}

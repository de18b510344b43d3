#pragma once
// CFirmwareUpdater: the firmware update and the factory reset as the update
// dialog (desktop) and `tqr905 upgrade` / `tqr905 factory-reset` (command
// line) run them, on top of the connection manager.
//
// Everything here runs on the front end's user-interface thread. Progress and
// status reach the front end as posted messages:
//   UM_UPGRADE_RANGE    wParam progress total (the bar runs 0 .. total)
//   UM_UPGRADE_PROGRESS wParam position (one per answered step)
//   UM_UPGRADE_STATUS   wParam TextId of the status line
//   UM_SHOW_MESSAGE     wParam TextId of a message box
//   UM_UPGRADE_DONE     lParam 179: hand it to HandleMessage
//
// A front end drains its messages and offers each to HandleMessage here and
// then to the connection manager's, or lets the session's RunUpgrade do all
// of it. An update dialog can instead listen (SetListener): it hears each
// step of the start and every status, progress and outcome the messages
// carry.
//
// Start returns at once when the connection manager has a step scheduler:
// taking down a link that is up and the search for the device (every
// upgradeSearchRetry, up to upgradeSearchWindow) are steps of the front end's
// loop. Without one, Start blocks through them.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/step_scheduler.h"
#include "base/texts.h"
#include "firmware/upgrade_cycle.h"
#include "firmware/upgrade_file.h"
#include "firmware/upgrade_steps.h"

class CConnectionManager;

enum class UpgradeOutcome {
    Idle,       // nothing started
    Running,    // under way: taking down the link, looking for the device, or transferring
    Succeeded,  // the last step was answered; the link is closed
    Failed,     // refused file, no device, or the link failed; the link is closed
};
const char* UpgradeOutcomeName(UpgradeOutcome outcome);

enum class UpgradePhase {
    Idle,           // nothing started
    Disconnecting,  // the link that was up is being taken down
    Searching,      // looking for the device, which may be restarting
    Transferring,   // the worker runs update cycles
    Succeeded,      // the last step was answered; the link is closed
    Failed,         // refused file, or the link failed; the link is closed
    NotFound,       // no device within the search window; nothing was sent
};
const char* UpgradePhaseName(UpgradePhase phase);

// Where an update stands, as its dialog shows it.
struct UpgradeProgress {
    UpgradePhase ePhase = UpgradePhase::Idle;
    std::optional<TextId> status;  // the status line, set by this step
    int nPosition = 0;             // the progress bar runs 0 .. nTotal
    int nTotal = 0;
    int nSearchAttempts = 0;                 // failed attempts to open the device
    std::chrono::milliseconds searchTime{};  // since the first of them
};

class IUpgradeListener {
public:
    virtual ~IUpgradeListener() = default;
    // On the user-interface thread, once per step: a phase change, a failed
    // search attempt, a status line, a progress step.
    virtual void OnUpgradeProgress(const UpgradeProgress& progress) = 0;
};

enum class FactoryResetResult {
    Queued,         // the reset request is on its way; UM_TRANSFER_DONE follows its answer
    NotConnected,   // "The device is not connected" was shown
    UpdateRunning,  // "Don't close up the update!" was shown
};

class CFirmwareUpdater {
public:
    // Hooks the update's cycle into the manager's worker and its status
    // step into the reply parser; the destructor unhooks them.
    explicit CFirmwareUpdater(CConnectionManager& connection);
    ~CFirmwareUpdater();
    CFirmwareUpdater(const CFirmwareUpdater&) = delete;
    CFirmwareUpdater& operator=(const CFirmwareUpdater&) = delete;

    void SetListener(IUpgradeListener* listener) { m_pListener = listener; }

    // The Start button: loads the file (LoadUpgradeFile), takes down a link
    // that is up, looks for the device for up to the search window and starts
    // the update cycles. False when the file was refused (the message was
    // shown) or an update is already under way; true when it got under way.
    // `reader` replaces the file reader (tests).
    bool Start(const std::string& path, CImageFileReader* reader = nullptr);

    // UM_UPGRADE_DONE, the status, progress and range of the update, and
    // while an update runs the stale identification of the link it replaced;
    // true when the message was the updater's.
    bool HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    // The update's last step was answered (lParam 179): stop and close the
    // link and tell the user.
    void OnUpgradeDone(std::intptr_t lParam);

    // The front end stops waiting for an update under way: the steps of the
    // start still to come are dropped, the worker stops, the device is closed
    // and g_bUpgrading cleared, so that the link is free and the dialog may
    // close; the update counts as failed.
    void Abandon();

    // Where the update stands. A link that went down while it ran makes it
    // Failed (and clears g_bUpgrading, so the dialog may close again).
    UpgradeOutcome Outcome();
    UpgradePhase Phase();
    const UpgradeProgress& Progress() const { return m_progress; }
    bool IsUpgrading() const;
    // An update is under way, its start included: the dialog must not close.
    bool IsBusy() const;
    const UpgradeLoadResult& LoadResult() const { return m_loadResult; }
    int ProgressTotal() const { return m_state.m_nProgressTotal; }

    // The reset after the user agreed to TextId::FactoryResetConfirm.
    FactoryResetResult FactoryReset();
    // Queues a read of the device's whole setting behind what is queued (the
    // factory reset): the window then shows what the device holds.
    void ReadDeviceAgain();
    // What closing the dialog (close box, cancel, Browse) shows instead of
    // acting while an update is under way; none when closing is fine.
    std::optional<TextId> CloseGuardText() const;

private:
    using Clock = std::chrono::steady_clock;

    // Stops the worker, closes the device and clears g_bUpgrading.
    void StopTransfer();
    // The steps of Start.
    void DisconnectForUpgrade();
    void BeginSearch();
    void TrySearch();
    void StartTransfer();

    void SetPhase(UpgradePhase phase);
    void Notify(std::optional<TextId> status = std::nullopt);
    void Later(std::chrono::milliseconds delay, std::function<void()> step);

    CConnectionManager& m_connection;
    UpgradeState m_state;
    CUpgradeCycle m_cycle;
    UpgradeLoadResult m_loadResult;
    UpgradeProgress m_progress;
    std::optional<Clock::time_point> m_firstSearchFailure;
    IUpgradeListener* m_pListener = nullptr;
    CStepGuard m_steps;  // the start's steps; none run for an updater that is gone
};

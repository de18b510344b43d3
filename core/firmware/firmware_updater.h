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
// then to the connection manager's, or lets RunUpgrade do all of it.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/texts.h"
#include "firmware/upgrade_cycle.h"
#include "firmware/upgrade_file.h"
#include "firmware/upgrade_steps.h"
#include "link/message_queue.h"

class CConnectionManager;

enum class UpgradeOutcome {
    Idle,       // nothing started
    Running,    // the worker runs update cycles
    Succeeded,  // the last step was answered; the link is closed
    Failed,     // refused file, no device, or the link failed; the link is closed
};
const char* UpgradeOutcomeName(UpgradeOutcome outcome);

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

    // The Start button: loads the file (LoadUpgradeFile), takes down a link
    // that is up, looks for the device for up to the search window (blocking)
    // and starts the update cycles. False when the file was refused or no
    // device was found (the message was shown). Does nothing while an update
    // runs. `reader` replaces the file reader (tests).
    bool Start(const std::string& path, CImageFileReader* reader = nullptr);

    // UM_UPGRADE_DONE, and while an update runs the stale identification of
    // the link it replaced; true when the message was the updater's.
    bool HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    // The update's last step was answered (lParam 179): stop and close the
    // link and tell the user.
    void OnUpgradeDone(std::intptr_t lParam);

    // Where the update stands. A link that went down while it ran makes it
    // Failed (and clears g_bUpgrading, so the dialog may close again).
    UpgradeOutcome Outcome();
    bool IsUpgrading() const;
    const UpgradeLoadResult& LoadResult() const { return m_loadResult; }
    int ProgressTotal() const { return m_state.m_nProgressTotal; }

    // The reset after the user agreed to TextId::FactoryResetConfirm.
    FactoryResetResult FactoryReset();
    // What closing the dialog (close box, cancel, Browse) shows instead of
    // acting while an update runs; none when closing is fine.
    static std::optional<TextId> CloseGuardText();

    // ---- Steps of Start, for front ends that drive them one by one ----
    // Takes a link that is up down again, without a message.
    void DisconnectForUpgrade();
    // Opens the first matching device, retrying while the search window
    // lasts, and starts the worker with update cycles.
    bool ConnectForUpgrade();

private:
    CConnectionManager& m_connection;
    UpgradeState m_state;
    CUpgradeCycle m_cycle;
    UpgradeLoadResult m_loadResult;
    UpgradeOutcome m_eOutcome = UpgradeOutcome::Idle;
};

// Runs a whole update for a front end without a window system: Start, then
// drains `messages` (the installed message sink) through the updater and the
// connection manager until the update ends or `limit` passes. Every message,
// the updater's and the manager's included, is also handed to `observe`
// (progress, status lines, message boxes). A time limit that passes stops
// the link and counts as a failure.
UpgradeOutcome RunUpgrade(CFirmwareUpdater& updater, CConnectionManager& connection,
                          CMessageQueue& messages, const std::string& path,
                          const CMessageQueue::Handler& observe,
                          std::chrono::steady_clock::duration limit = std::chrono::minutes(30));

#pragma once
// The connection manager: decides when the link to the processor comes up
// and goes down, and what the user is told. The link comes up by itself at
// start-up and whenever a matching device is plugged in; the Connect button
// toggles it. Right after it comes up the device is asked for its
// identification; only a matching device is read out completely and kept.
//
// Shared by every front end. All members run on the front end's
// user-interface thread: it drains the messages the link worker and the
// reply parser post (UM_*) and hands each to HandleMessage. Messages for the
// user go out as UM_SHOW_MESSAGE (wParam TextId) through the same sink;
// connection state changes reach an optional listener.
//
// Taking a link down waits for the worker to end its cycle and then, for the
// Connect button, a link failure and a refused identification, pauses before
// the device is closed. With a step scheduler those waits are steps of the
// front end's loop and the handlers return at once (the state reads
// Disconnecting meanwhile); without one they block the calling thread.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/step_scheduler.h"
#include "link/hid_backend.h"
#include "link/hid_link.h"
#include "link/hid_registry.h"
#include "link/link_timings.h"
#include "link/link_worker.h"

class CKTVCommand;
class ILinkModel;

// Posted by the device watcher's thread when arrivals or removals wait for
// the user-interface thread; HandleMessage takes them from there.
constexpr unsigned UM_DEVICE_CHANGE = 1310;

enum class ConnectionState {
    Disconnected,   // no link, no worker
    Connecting,     // device open, identification asked for
    Reading,        // identification accepted, read-all under way
    Online,         // model read; edits reach the device
    Upgrading,      // the worker runs the firmware update
    Disconnecting,  // the worker is stopping, or the pause before the device is closed
};
const char* ConnectionStateName(ConnectionState state);

class IConnectionListener {
public:
    virtual ~IConnectionListener() = default;
    // Connect button, level indicators, status line.
    virtual void OnConnectionStateChanged(ConnectionState state) = 0;
    // Every record was loaded from g_CurImage: refresh every control.
    virtual void OnModelReloaded(int /*group*/) {}
    // The transfer progress dialog is to be hidden.
    virtual void OnTransferHidden() {}
};

class CConnectionManager {
public:
    // `steps`: the front end's scheduler, which must outlive the manager;
    // null when the caller has no loop and may block.
    CConnectionManager(const HidBackendRegistry& registry, CKTVCommand& command, ILinkModel* model,
                       const LinkTimings& timings = {}, IStepScheduler* steps = nullptr);
    // Shutdown().
    ~CConnectionManager();
    CConnectionManager(const CConnectionManager&) = delete;
    CConnectionManager& operator=(const CConnectionManager&) = delete;

    void SetListener(IConnectionListener* listener) { m_pListener = listener; }

    // Starts reporting arrivals and removals (as UM_DEVICE_CHANGE). False,
    // with the reason in *pError, when no backend can be watched.
    bool StartWatching(std::string* pError = nullptr);
    void StopWatching();

    // Acts on one drained message; true when it was one of the manager's.
    // Front ends still show UM_SHOW_MESSAGE and the transfer progress
    // messages themselves.
    bool HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

    // ---- Handlers ----
    void OnConnectButton();
    void OnAutoConnect();
    void OnDeviceChange(const DeviceEvent& event);
    void OnLinkFailed();
    void OnDeviceId();
    void OnEmptyReply();
    void OnOutputsLoaded(int group);
    void OnTransferStart();
    void OnTransferDone();
    void OnSourceChanged(int source);
    // Reads the device's whole setting again (after a factory reset): the
    // state goes back to Reading, and the window reloads when it is in.
    void ReadDeviceAgain();
    // Runs on the user-interface thread once a device is identified, before
    // its read-all is queued: what it queues goes out first (the window's
    // own setting, when the user keeps it over the device's).
    void SetBeforeReadAll(std::function<void()> hook) { m_beforeReadAll = std::move(hook); }

    // ---- Building blocks, also used by the firmware update ----
    // The common start sequence: open (the first matching device for an
    // empty path, else that path), empty the queue, forget pending changes,
    // queue the identification request and start the worker. False when the
    // device could not be opened; nothing is shown.
    bool ConnectUsb(std::string_view path = {});
    // Closes the USB link and returns the view state to disconnected.
    void CloseActiveLink();
    // Stops the worker, pauses for the disconnect wait when asked to, closes
    // the link (CloseActiveLink) and then runs `then`. Returns at once with a
    // scheduler: IsDisconnecting() holds until `then` has run. Device events
    // that arrive meanwhile are acted on after the close.
    void TakeDown(bool pauseBeforeClose, std::function<void()> then = {});
    // TakeDown with the pause: the Connect button's disconnect, shown to nobody.
    void Disconnect();
    static void ReportLinkFailure();
    void StartLink(bool upgrade);
    void StopLink();
    // At exit: stops the worker and the watcher and drops the claim.
    void Shutdown();

    // ---- State ----
    // A link is up; it stays up while it is being taken down, until the close.
    bool IsConnected() const { return m_bConnected; }
    bool IsDisconnecting() const { return m_bClosing; }
    ConnectionState State() const;
    bool IsTransferShown() const { return m_bTransferShown; }
    // Why the last open failed, for logs and the command line.
    const std::string& LastError() const { return m_link.LastError(); }
    CHidLink& Link() { return m_link; }
    CLinkWorker& Worker() { return m_worker; }
    CKTVCommand& Command() { return m_command; }
    const LinkTimings& Timings() const { return m_link.Timings(); }
    // The front end's scheduler; null when waits block.
    IStepScheduler* Scheduler() const { return m_steps.Scheduler(); }
    // Runs `step` after `delay`: a step of the front end's loop, or at once
    // after sleeping when there is no scheduler. Steps still waiting when the
    // manager shuts down are dropped.
    void Later(std::chrono::milliseconds delay, std::function<void()> step);

private:
    enum class Phase { Connecting, Reading, Online };

    void OnArrival(const std::string& path);
    void OnRemoval(const std::string& path);
    bool IsOurDevice(const std::string& path) const;
    void TakeDeviceEvents();
    void StopWorkerThen(std::function<void()> next);
    void WhenWorkerEnded(std::chrono::steady_clock::time_point abortAt, bool aborted,
                         std::function<void()> next);
    void ClearQueue();
    void HideTransfer();
    void NotifyIfChanged();

    const HidBackendRegistry& m_registry;
    CKTVCommand& m_command;
    ILinkModel* m_pModel;
    CHidLink m_link;
    CLinkWorker m_worker;
    IConnectionListener* m_pListener = nullptr;

    CStepGuard m_steps;  // without a scheduler: waits block
    std::function<void()> m_beforeReadAll;
    std::vector<std::function<void()>> m_afterClose;  // TakeDown asked for again meanwhile

    bool m_bConnected = false;
    bool m_bClosing = false;
    Phase m_ePhase = Phase::Connecting;
    bool m_bTransferShown = false;
    ConnectionState m_eLastState = ConnectionState::Disconnected;

    std::unique_ptr<IDeviceWatcher> m_watcher;
    std::mutex m_eventsMutex;  // the watcher's thread against the user-interface thread
    std::deque<DeviceEvent> m_pendingEvents;
    bool m_bTakingEvents = false;  // a close inside OnDeviceChange must not take the next ones
};

#pragma once
// CTunerSession: the host side of one processor, as every front end holds it.
// It owns the model, the model's link face, the command queue, the
// connection manager and the message queue; it installs the queue as the
// process's message sink, and hands each drained message to the connection
// manager, to the main view's handlers that live in the core, and to the
// listeners.
//
// Threads: the link worker and the reply parser post messages from their
// own threads; everything else here runs on the front end's thread, the one
// that calls Drain or RunUntil. Two ways to drive it:
//  - with an event loop (the desktop application): SetWakeHook with a
//    callable that schedules one Drain() on the loop (a queued call) and its
//    timers as SessionOptions::steps; nothing ever waits here;
//  - without one (the command-line tool, tests): RunUntil waits for messages
//    and drains them until a condition holds, bounded.
//
// One session at a time per process: the model, the images and the sink are
// process-wide. The destructor stops the link worker, closes the device,
// drops the claim and puts the previous sink back.
//
// Presenters work on it as their IWorkspaceHost; change notices reach them
// as IChangeListener (workspace/change_listener.h).

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/texts.h"
#include "edits/ab_compare.h"
#include "edits/edit_history.h"
#include "edits/edits.h"
#include "firmware/firmware_updater.h"
#include "link/connection_manager.h"
#include "link/hid_registry.h"
#include "link/link_timings.h"
#include "link/message_queue.h"
#include "model/ktv_data.h"
#include "model/model_changes.h"
#include "model/model_link.h"
#include "protocol/ktv_command.h"
#include "workspace/change_listener.h"
#include "workspace/read_views.h"
#include "workspace/workspace_host.h"

struct SessionOptions {
    // The backends to search; null for hidraw, then vhid of the environment.
    std::unique_ptr<HidBackendRegistry> registry;
    // An interface path ("hidraw:/dev/hidraw3", "vhid:/run/.../x.sock"): only
    // that device is ever found, also by the firmware update's search. Empty:
    // the first matching device.
    std::string devicePath;
    LinkTimings timings;
    // Every report written and read goes to this file while the session
    // lives; empty: only TQR905_TRACE of the environment decides.
    std::string traceFile;
    // The front end's timers, for the waits it performs (the disconnect
    // pause, the firmware update's device search): a front end that drains
    // from a wake hook must give them. Null: the session's own loop (Drain,
    // RunUntil) runs those steps.
    IStepScheduler* steps = nullptr;
};

enum class WaitEnd {
    Done,         // the condition holds
    LinkDown,     // the link went down (failure, removal, empty reply, rejected identification)
    TimedOut,     // the device did not get there in time
    Interrupted,  // the front end's interrupt check said so
};

class CTunerSession final : public IWorkspaceHost, private IConnectionListener {
public:
    using Clock = std::chrono::steady_clock;
    // Consumes a message before the session sees it when it returns true
    // (the firmware update takes its own messages this way).
    using MessageFilter = std::function<bool(const UiMessage&)>;

    explicit CTunerSession(SessionOptions options = {});
    ~CTunerSession() override;
    CTunerSession(const CTunerSession&) = delete;
    CTunerSession& operator=(const CTunerSession&) = delete;

    // Why the trace file could not be opened; empty when it was (or none was asked for).
    const std::string& TraceError() const { return m_strTraceError; }

    // ---- Listeners and hooks ----
    void AddListener(IChangeListener* listener);
    void RemoveListener(IChangeListener* listener);
    void SetMessageFilter(MessageFilter filter) { m_filter = std::move(filter); }
    // See CMessageQueue::SetWakeHook; called on the posting thread.
    void SetWakeHook(std::function<void()> wake) { m_queue.SetWakeHook(std::move(wake)); }
    // Ends every RunUntil early when it returns true (a signal in the CLI).
    void SetInterruptCheck(std::function<bool()> interrupted) {
        m_interrupted = std::move(interrupted);
    }

    // ---- Driving ----
    // Dispatches the messages queued now; the number dispatched.
    std::size_t Drain();
    // Hands one message to the filter, the listeners, the connection manager
    // and the core's handlers of the main view.
    void Dispatch(const UiMessage& message);
    // Drains, waiting for messages, until the condition holds or the wait ends
    // otherwise (link down, interrupt, `limit` passed). The condition is
    // checked after every message and at least every 10 ms. The firmware
    // update, whose device leaves the bus and comes back, waits with
    // `linkDownEnds` false.
    WaitEnd RunUntil(const std::function<bool()>& condition, Clock::duration limit,
                     bool linkDownEnds = true);
    // A bound for a wait on `packets` exchanges: that many link cycles plus
    // the disconnect waits and some slack. Every real failure ends the wait
    // sooner through the link's own time-outs.
    Clock::duration WaitLimit(int packets) const;

    // ---- Firmware update, for a front end without an update dialog ----
    // A whole update with `updater` (made on Manager()): Start, then the
    // messages drained through the updater first and the session after it
    // until the update ends. `observe` sees every message before them
    // (progress, status lines, message boxes). The wait is bounded by every
    // step of the loaded file at its time-out plus the search and the
    // restart, or by `limit` when given; a wait that passes its bound, or
    // that the interrupt check ends, abandons the update (a failure).
    UpgradeOutcome RunUpgrade(CFirmwareUpdater& updater, const std::string& path,
                              const std::function<void(const UiMessage&)>& observe = {},
                              std::optional<Clock::duration> limit = std::nullopt);

    // ---- Connecting ----
    // Whether a device the session may open is present now.
    bool DevicePresent() const;
    // The start sequence on the first matching (or the chosen) device; false
    // with the reason in LastError() when it could not be opened. Online
    // follows after the identification and the read-all (drain to get there).
    bool StartConnect();
    // What the main view posts to itself at start-up: connect when a device is there.
    void PostAutoConnect();
    // The path of the open (or last opened) device.
    std::string DevicePath() const;
    const std::string& LastError() const { return m_manager->LastError(); }
    ConnectionState State() const { return m_manager->State(); }
    bool IsConnected() const override { return m_manager->IsConnected(); }
    // The identification the device reported last, taken before a refused
    // one is blanked; none before the first report.
    const std::optional<DeviceIdentity>& ReportedIdentity() const { return m_reportedIdentity; }

    // ---- Edits ----
    // ApplyEdits (edits/edits.h) on this session's model and queue, then
    // the listeners hear what changed.
    EditOutcome ApplyEdits(const std::vector<Edit>& edits);
    // Tells the listeners what an edit made on this thread changed.
    void NotifyEdited(const ModelChanges& changes);

    // ---- Edit history ----
    // Every applied command that changed something is a step of the history
    // (the sink: the core's own CEditHistory unless a front end gave its
    // own). The commands applied between BeginGesture and EndGesture (a drag
    // from press to release, a spin held down) merge into one step.
    void BeginGesture();
    void EndGesture();
    // Null: the core's own history again.
    void SetHistorySink(IHistorySink* sink) { m_sink = sink != nullptr ? sink : &m_history; }
    CEditHistory& History() { return m_history; }
    // Takes back (makes again) the next step of the core's own history;
    // false when there is none or the device refused it.
    bool Undo();
    bool Redo();
    // Puts one side of a step into effect without recording it, the way its
    // own kind of change reaches the device: edits through the applier, a
    // replaced setting as a single-setting write, an A/B switch as a switch.
    // Listeners hear of it as of any edit or reload.
    bool ApplyStep(const HistoryStep& step, bool after);

    // ---- A/B comparison ----
    // The first press copies the current setting into both slots (B plays);
    // every later press switches and is a step of the history.
    void PressAB();
    char LiveABSlot() const { return m_ab.LiveSlot(); }

    // IWorkspaceHost: whole-setting changes for the history.
    void SettingReplacing(int group) override;
    void SettingReplaced() override;
    void SettingKept() override { m_sink->OnSettingKept(); }

    // ---- Counts of what was drained (for waits) ----
    int TransfersDone() const { return m_nTransfersDone; }
    int OutputLoads() const { return m_nOutputLoads; }
    int DeviceGroupReads() const { return m_nGroup6Loads; }
    // The message boxes a front end would have shown, in order.
    const std::vector<TextId>& Shown() const { return m_shown; }

    // ---- Parts ----
    CKTV_Data& Model() override { return m_model; }
    const CKTV_Data& Model() const { return m_model; }
    CKTVCommand& Command() override { return m_command; }
    CConnectionManager& Manager() { return *m_manager; }
    CMessageQueue& Queue() { return m_queue; }
    CModelLink& ModelLink() { return m_modelLink; }
    const HidBackendRegistry& Registry() const { return *m_registry; }
    const LinkTimings& Timings() const { return m_manager->Timings(); }

private:
    // IConnectionListener
    void OnConnectionStateChanged(ConnectionState state) override;
    void OnModelReloaded(int group) override;
    void OnTransferHidden() override;

    bool IsStaleSourceReport(const UiMessage& message) const;
    void Note(const UiMessage& message);
    void ActOnMainViewMessage(const UiMessage& message);
    void OnEffectLoaded(int group);
    void OnSystemAreaLoaded();
    template <typename Call>
    void Tell(Call call);
    // The applier, with the step it made recorded when `record`.
    EditOutcome Apply(const std::vector<Edit>& edits, bool record);
    void RecordSetting(SettingSource source, int group);
    bool SwitchAB();

    std::unique_ptr<HidBackendRegistry> m_baseRegistry;
    std::unique_ptr<HidBackendRegistry> m_registry;
    bool m_bTraceEnabled = false;
    std::string m_strTraceError;
    CMessageQueue m_queue;
    IMessageSink* m_pPreviousSink = nullptr;
    CKTV_Data m_model;
    CModelLink m_modelLink{m_model};
    CKTVCommand m_command;
    std::unique_ptr<CConnectionManager> m_manager;

    std::vector<IChangeListener*> m_listeners;
    MessageFilter m_filter;
    std::function<bool()> m_interrupted;

    std::optional<DeviceIdentity> m_reportedIdentity;
    int m_nTransfersDone = 0;
    int m_nOutputLoads = 0;
    int m_nGroup6Loads = 0;
    std::vector<TextId> m_shown;

    CEditHistory m_history;
    IHistorySink* m_sink = &m_history;
    int m_nGesture = 0;  // the gesture in progress, 0 for none
    int m_nLastGesture = 0;
    // The setting before a recall or file load replaces it.
    std::optional<ParamImage> m_replacedSetting;
    CABCompare m_ab;
};

#include "session/tuner_session.h"

#include <algorithm>
#include <mutex>
#include <optional>

#include "base/globals.h"
#include "base/messages.h"
#include "edits/bulk_ops.h"
#include "image/param_image.h"
#include "link/frame_log.h"
#include "link/hid_link.h"
#include "link/pinned_backend.h"
#include "model/system_area.h"

namespace {

// Beyond the link's own time-outs, which end a silent exchange long before.
constexpr auto kWaitSlack = std::chrono::seconds(2);
constexpr auto kRecheck = std::chrono::milliseconds(10);
// Beyond the steps of the file: the device search, the restart into the
// loader and the pause after it.
constexpr int kUpgradeExtraSteps = 8;

// The backends of the session; with a device chosen, only that interface is
// visible. `base` keeps the registry the result depends on.
std::unique_ptr<HidBackendRegistry> MakeRegistry(SessionOptions& options,
                                                 std::unique_ptr<HidBackendRegistry>& base) {
    base = options.registry ? std::move(options.registry) : MakeDefaultHidRegistry();
    if (options.devicePath.empty()) return std::move(base);
    auto pinned = PinnedRegistry(*base, options.devicePath);
    // A path whose scheme no backend serves: nothing is ever found.
    return pinned ? std::move(pinned) : std::make_unique<HidBackendRegistry>();
}

}  // namespace

CTunerSession::CTunerSession(SessionOptions options) {
    if (!options.traceFile.empty()) {
        m_bTraceEnabled = EnableFrameLog(options.traceFile, &m_strTraceError);
    }
    m_registry = MakeRegistry(options, m_baseRegistry);
    m_pPreviousSink = g_pMessageSink.exchange(&m_queue);
    IStepScheduler* steps = options.steps != nullptr ? options.steps : &m_queue.Steps();
    m_manager = std::make_unique<CConnectionManager>(*m_registry, m_command, &m_modelLink,
                                                     options.timings, steps);
    m_manager->SetListener(this);
}

// The worker stops before the device is closed and the claim dropped, and
// all of it before the message sink goes away.
CTunerSession::~CTunerSession() {
    m_manager->StopLink();
    m_manager->CloseActiveLink();
    m_manager->Shutdown();
    m_manager.reset();
    g_pMessageSink = m_pPreviousSink;
    if (m_bTraceEnabled) DisableFrameLog();
}

// ---- Listeners ----

void CTunerSession::AddListener(IChangeListener* listener) {
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void CTunerSession::RemoveListener(IChangeListener* listener) {
    std::erase(m_listeners, listener);
}

// A listener may remove itself (a dialog that closes) while it is told.
template <typename Call>
void CTunerSession::Tell(Call call) {
    const std::vector<IChangeListener*> listeners = m_listeners;
    for (IChangeListener* listener : listeners) {
        if (std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end())
            call(*listener);
    }
}

EditOutcome CTunerSession::ApplyEdits(const std::vector<Edit>& edits) {
    return Apply(edits, true);
}

// The values before and after are read under the same hold of the lock as
// the applier's, so that nothing the link does comes in between.
EditOutcome CTunerSession::Apply(const std::vector<Edit>& edits, bool record) {
    EditOutcome outcome;
    HistoryStep step;
    {
        std::lock_guard lock(g_csModel);
        const std::vector<EditKey> keys = record ? KeysTouchedBy(edits) : std::vector<EditKey>{};
        const auto before = CurrentEdits(m_model, keys);
        outcome = ::ApplyEdits(m_model, m_command, IsConnected(), edits);
        if (outcome.ok && record)
            step = MakeEditStep(edits, keys, before, CurrentEdits(m_model, keys));
    }
    if (!outcome.ok) return outcome;
    if (record && (step.Changes() || m_nGesture != 0)) {
        step.gesture = m_nGesture;
        m_sink->OnStep(step);
    }
    NotifyEdited(outcome.changes);
    return outcome;
}

// ---- Edit history ----

void CTunerSession::BeginGesture() {
    if (m_nGesture == 0) m_nGesture = ++m_nLastGesture;
}

void CTunerSession::EndGesture() {
    if (m_nGesture == 0) return;
    const int gesture = m_nGesture;
    m_nGesture = 0;
    m_sink->OnGestureEnded(gesture);
}

bool CTunerSession::Undo() {
    const HistoryStep* step = m_history.NextUndo();
    if (step == nullptr || !ApplyStep(*step, false)) return false;
    m_history.StepBack();
    return true;
}

bool CTunerSession::Redo() {
    const HistoryStep* step = m_history.NextRedo();
    if (step == nullptr || !ApplyStep(*step, true)) return false;
    m_history.StepForward();
    return true;
}

bool CTunerSession::ApplyStep(const HistoryStep& step, bool after) {
    switch (step.kind) {
        case StepKind::ABSwitch:
            return SwitchAB();
        case StepKind::Setting: {
            {
                std::lock_guard lock(g_csModel);
                g_CurImage = after ? step.imageAfter : step.imageBefore;
                m_model.LoadFromImage(g_CurImage, kLoadModeFile);
            }
            if (IsConnected()) QueueWriteGroup(m_command, 0, true, nullptr);
            Tell([](IChangeListener& l) { l.OnModelReloaded(kLoadModeFile); });
            return true;
        }
        default:
            return Apply(step.EditsFor(after), false).ok;
    }
}

void CTunerSession::PressAB() {
    if (!m_ab.Active()) {
        m_ab.Press(m_model, m_command, IsConnected());
        return;
    }
    if (!SwitchAB()) return;
    HistoryStep step;
    step.kind = StepKind::ABSwitch;
    m_sink->OnStep(step);
}

bool CTunerSession::SwitchAB() {
    if (!m_ab.Press(m_model, m_command, IsConnected())) return false;
    Tell([](IChangeListener& l) { l.OnModelReloaded(kLoadModeFile); });
    return true;
}

// The applier keeps the image's channel slots in step with the records.
void CTunerSession::SettingReplacing(int /*group*/) {
    std::lock_guard lock(g_csModel);
    m_replacedSetting = g_CurImage;
}

void CTunerSession::SettingReplaced() {
    RecordSetting(SettingSource::PresetFile, 0);
}

void CTunerSession::RecordSetting(SettingSource source, int group) {
    if (!m_replacedSetting) return;
    HistoryStep step;
    step.kind = StepKind::Setting;
    step.source = source;
    step.group = group;
    step.imageBefore = *m_replacedSetting;
    m_replacedSetting.reset();
    {
        std::lock_guard lock(g_csModel);
        step.imageAfter = g_CurImage;
    }
    if (step.Changes()) m_sink->OnStep(step);
}

void CTunerSession::NotifyEdited(const ModelChanges& changes) {
    if (changes.Any()) Tell([&](IChangeListener& l) { l.OnEdited(changes); });
}

void CTunerSession::OnConnectionStateChanged(ConnectionState state) {
    Tell([&](IChangeListener& l) { l.OnConnectionStateChanged(state); });
}

// A recall ends as a step of the history; the device's own setting read
// whole (after connecting, after a factory reset) starts the history afresh.
void CTunerSession::OnModelReloaded(int group) {
    if (group > 0) {
        RecordSetting(SettingSource::Recall, group);
    } else {
        m_replacedSetting.reset();
        m_ab.Reset();
        m_sink->OnHistoryCleared();
    }
    Tell([&](IChangeListener& l) { l.OnModelReloaded(group); });
}

void CTunerSession::OnTransferHidden() {
    Tell([](IChangeListener& l) { l.OnTransferHidden(); });
}

// ---- Driving ----

std::size_t CTunerSession::Drain() {
    return m_queue.DispatchPending([this](const UiMessage& m) { Dispatch(m); });
}

void CTunerSession::Dispatch(const UiMessage& message) {
    if (m_filter && m_filter(message)) return;
    if (IsStaleSourceReport(message)) return;
    Tell([&](IChangeListener& l) { l.OnMessage(message); });
    if (message.receiver == MessageReceiver::PresetDialogs) {
        if (message.msg == UM_PRESET_MENU) {
            const int group = static_cast<int>(message.wParam);
            Tell([&](IChangeListener& l) { l.OnPresetMenu(group); });
        }
        return;
    }
    Note(message);
    m_manager->HandleMessage(message.msg, message.wParam, message.lParam);
    ActOnMainViewMessage(message);
}

// A source report the link posted just before the user picked another source
// is handled after that choice. While the choice's write is unanswered, the
// report can only be the device's old source; taken, it would put that source
// back on the screen and into the settings the write sends. The first poll
// after the answer reports the device's source again.
bool CTunerSession::IsStaleSourceReport(const UiMessage& message) const {
    if (message.msg != UM_SOURCE_CHANGED) return false;
    std::lock_guard lock(g_csModel);
    return m_command.SettingsWriteOutstanding();
}

// Taken before the manager acts: a refused identification is blanked by it.
void CTunerSession::Note(const UiMessage& message) {
    switch (message.msg) {
        case UM_DEVICE_ID:
            m_reportedIdentity = ReadDeviceIdentity();
            break;
        case UM_TRANSFER_DONE:
            ++m_nTransfersDone;
            break;
        case UM_OUTPUTS_LOADED:
            ++m_nOutputLoads;
            break;
        case UM_GROUP6_LOADED:
            ++m_nGroup6Loads;
            break;
        case UM_SHOW_MESSAGE:
            m_shown.push_back(static_cast<TextId>(message.wParam));
            break;
        default:
            break;
    }
}

// The main view's handlers that are not the connection manager's, and the
// notices of what the manager did.
void CTunerSession::ActOnMainViewMessage(const UiMessage& message) {
    const int wParam = static_cast<int>(message.wParam);
    switch (message.msg) {
        case UM_SOURCE_CHANGED:
            Tell([&](IChangeListener& l) { l.OnSourceReported(wParam); });
            break;
        case UM_NAME_LOADED:
            Tell([](IChangeListener& l) { l.OnNamesLoaded(); });
            break;
        case UM_EFFECT_LOADED:
            OnEffectLoaded(wParam);
            break;
        case UM_SYSTEM64_LOADED:
            OnSystemAreaLoaded();
            break;
        case UM_GROUP6_LOADED:
            Tell([&](IChangeListener& l) { l.OnDeviceGroupsRead(wParam); });
            break;
        case UM_SHOW_MESSAGE:
            Tell([&](IChangeListener& l) { l.OnShowMessage(static_cast<TextId>(wParam)); });
            break;
        case UM_TRANSFER_START:
            Tell([&](IChangeListener& l) { l.OnTransferStarted(wParam); });
            break;
        case UM_TRANSFER_PROGRESS:
            Tell([&](IChangeListener& l) { l.OnTransferProgress(wParam); });
            break;
        case UM_TRANSFER_DONE:
            Tell([&](IChangeListener& l) { l.OnTransferDone(message.lParam != 0); });
            break;
        default:
            break;
    }
}

void CTunerSession::OnEffectLoaded(int group) {
    {
        std::lock_guard lock(g_csModel);
        m_model.GetEffect().LoadFromImage(g_CurImage.data());
    }
    Tell([&](IChangeListener& l) { l.OnEffectLoaded(group); });
}

void CTunerSession::OnSystemAreaLoaded() {
    {
        std::lock_guard lock(g_csModel);
        LimitListenSelection();
    }
    Tell([](IChangeListener& l) { l.OnSystemAreaLoaded(); });
}

WaitEnd CTunerSession::RunUntil(const std::function<bool()>& condition, Clock::duration limit,
                                bool linkDownEnds) {
    std::optional<WaitEnd> end;
    const auto settled = [&] {
        if (condition()) {
            end = WaitEnd::Done;
        } else if (m_interrupted && m_interrupted()) {
            end = WaitEnd::Interrupted;
        } else if (linkDownEnds && !m_manager->IsConnected()) {
            end = WaitEnd::LinkDown;
        }
        return end.has_value();
    };
    m_queue.RunUntil([this](const UiMessage& m) { Dispatch(m); }, settled, Clock::now() + limit,
                     kRecheck);
    return end.value_or(WaitEnd::TimedOut);
}

CTunerSession::Clock::duration CTunerSession::WaitLimit(int packets) const {
    const LinkTimings& t = m_manager->Timings();
    return t.cycleLimit * (packets + 2) + 2 * t.disconnectWait + kWaitSlack;
}

// ---- Firmware update ----

UpgradeOutcome CTunerSession::RunUpgrade(CFirmwareUpdater& updater, const std::string& path,
                                         const std::function<void(const UiMessage&)>& observe,
                                         std::optional<Clock::duration> limit) {
    const MessageFilter previous = m_filter;
    m_filter = [&](const UiMessage& m) {
        if (observe) observe(m);
        return updater.HandleMessage(m.msg, m.wParam, m.lParam);
    };
    // What Start posted (a refusal, the search status) is seen too.
    const bool started = updater.Start(path);
    Drain();
    if (started) {
        const LinkTimings& t = m_manager->Timings();
        const Clock::duration bound =
            limit.value_or((updater.ProgressTotal() + kUpgradeExtraSteps) * t.upgradeCycleLimit +
                           t.upgradeSearchWindow + t.postBootReopenWait + t.postSearchPause);
        const WaitEnd end =
            RunUntil([&] { return updater.Outcome() != UpgradeOutcome::Running; }, bound, false);
        if (end != WaitEnd::Done) updater.Abandon();
        Drain();
    }
    m_filter = previous;
    return updater.Outcome();
}

// ---- Connecting ----

bool CTunerSession::DevicePresent() const {
    return m_registry->FirstMatching().has_value();
}

bool CTunerSession::StartConnect() {
    return m_manager->ConnectUsb();
}

void CTunerSession::PostAutoConnect() {
    m_queue.PostTo(MessageReceiver::MainView, UM_AUTO_CONNECT, 0, 0);
}

std::string CTunerSession::DevicePath() const {
    return g_strDevicePath.Get();
}

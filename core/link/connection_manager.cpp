#include "link/connection_manager.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "base/globals.h"
#include "base/messages.h"
#include "base/texts.h"
#include "image/param_image.h"
#include "link/claims.h"
#include "link/model_interface.h"
#include "protocol/frame_builder.h"
#include "protocol/ktv_command.h"

const char* ConnectionStateName(ConnectionState state) {
    switch (state) {
        case ConnectionState::Disconnected:
            return "disconnected";
        case ConnectionState::Connecting:
            return "connecting";
        case ConnectionState::Reading:
            return "reading";
        case ConnectionState::Online:
            return "online";
        case ConnectionState::Upgrading:
            return "upgrading";
        case ConnectionState::Disconnecting:
            return "disconnecting";
    }
    return "?";
}

CConnectionManager::CConnectionManager(const HidBackendRegistry& registry, CKTVCommand& command,
                                       ILinkModel* model, const LinkTimings& timings,
                                       IStepScheduler* steps)
    : m_registry(registry),
      m_command(command),
      m_pModel(model),
      m_link(registry, command, model, timings),
      m_worker(m_link),
      m_steps(steps) {}

CConnectionManager::~CConnectionManager() {
    Shutdown();
}

// ---- Device watching ----

bool CConnectionManager::StartWatching(std::string* pError) {
    if (m_watcher) return true;
    auto watcher = m_registry.Watch([this](const DeviceEvent& event) {
        {
            std::lock_guard lock(m_eventsMutex);
            m_pendingEvents.push_back(event);
        }
        PostUiMessage(UM_DEVICE_CHANGE);
    });
    if (!watcher) {
        if (pError != nullptr) *pError = watcher.ErrorText();
        return false;
    }
    m_watcher = std::move(watcher.Value());
    return true;
}

void CConnectionManager::StopWatching() {
    if (m_watcher) m_watcher->Stop();
    m_watcher.reset();
    std::lock_guard lock(m_eventsMutex);
    m_pendingEvents.clear();
}

// While a link is being taken down the events wait for the close: the device
// is still held, and an arrival could not open it yet.
// One at a time and in order: an event that takes the link down leaves the
// ones after it for the close, which takes them from here again.
void CConnectionManager::TakeDeviceEvents() {
    if (m_bTakingEvents) return;
    m_bTakingEvents = true;
    while (!m_bClosing) {
        DeviceEvent event;
        {
            std::lock_guard lock(m_eventsMutex);
            if (m_pendingEvents.empty()) break;
            event = std::move(m_pendingEvents.front());
            m_pendingEvents.pop_front();
        }
        OnDeviceChange(event);
    }
    m_bTakingEvents = false;
}

// ---- Message dispatch ----

bool CConnectionManager::HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t) {
    switch (msg) {
        case UM_AUTO_CONNECT:
            OnAutoConnect();
            return true;
        case UM_DEVICE_CHANGE:
            TakeDeviceEvents();
            return true;
        case UM_LINK_FAILED:
            OnLinkFailed();
            return true;
        case UM_DEVICE_ID:
            OnDeviceId();
            return true;
        case UM_EMPTY_REPLY:
            OnEmptyReply();
            return true;
        case UM_OUTPUTS_LOADED:
            OnOutputsLoaded(static_cast<int>(wParam));
            return true;
        case UM_TRANSFER_START:
            OnTransferStart();
            return true;
        case UM_TRANSFER_DONE:
            OnTransferDone();
            return true;
        case UM_SOURCE_CHANGED:
            OnSourceChanged(static_cast<int>(wParam));
            return true;
        default:
            return false;
    }
}

// ---- Handlers ----

// A click while the link is being taken down finds it still connected: the
// disconnect is already under way.
void CConnectionManager::OnConnectButton() {
    if (m_bClosing) return;
    if (m_bConnected) {
        Disconnect();
    } else if (!ConnectUsb()) {
        ReportLinkFailure();
    }
    NotifyIfChanged();
}

// Without a device nothing is shown: the arrival will connect it.
void CConnectionManager::OnAutoConnect() {
    if (!m_bConnected) ConnectUsb();
    NotifyIfChanged();
}

void CConnectionManager::OnDeviceChange(const DeviceEvent& event) {
    if (event.eKind == DeviceEvent::Kind::Arrived) {
        OnArrival(event.strPath);
    } else {
        OnRemoval(event.strPath);
    }
    NotifyIfChanged();
}

// Every arriving HID interface is reported, keyboards included; only one
// with the processor's identity is opened and spoken to.
void CConnectionManager::OnArrival(const std::string& path) {
    if (m_bConnected || !IsPathFree(path) || !IsOurDevice(path)) return;
    g_strDevicePath.Set(path);
    if (ConnectUsb(path)) g_bOnline = true;
}

bool CConnectionManager::IsOurDevice(const std::string& path) const {
    const auto info = m_registry.QueryInfo(path);
    return info && MatchesDevice(info.Value());
}

// A device restarting into its loader for an update leaves the bus and comes
// back: that removal is expected.
void CConnectionManager::OnRemoval(const std::string& path) {
    if (!g_bDeviceOpen || path != g_strDevicePath.Get()) return;
    const int lastCommand = g_nLastUpgradeCommand;
    if (lastCommand == UPG_BOOT || lastCommand == UPG_SEARCH) return;
    g_bDeviceOpen = false;
    g_bUpgrading = false;
    TakeDown(false, [] { ReportLinkFailure(); });
}

void CConnectionManager::OnLinkFailed() {
    if (!m_bConnected || m_bClosing) return;
    TakeDown(true, [this] {
        g_bUpgrading = false;
        ClearQueue();
        ReportLinkFailure();
    });
    NotifyIfChanged();
}

// Another model (an older major version) is dropped without a word; its
// identification is blanked so that a later check cannot pass on stale data.
void CConnectionManager::OnDeviceId() {
    const bool matches =
        std::memcmp(g_DeviceModel.data(), kDeviceIdentification, kIdentificationCompared) == 0;
    if (matches) {
        // Never with the model lock held: the hook may ask the user.
        if (m_beforeReadAll && m_bConnected && !m_bClosing) m_beforeReadAll();
        std::lock_guard lock(g_csModel);
        m_command.QueueReadAll(m_bConnected);
        m_ePhase = Phase::Reading;
    } else {
        {
            std::lock_guard lock(g_csModel);
            g_DeviceModel.fill(' ');
        }
        if (m_bConnected && !m_bClosing) {
            TakeDown(true, [this] { ClearQueue(); });
        } else {
            ClearQueue();
        }
    }
    NotifyIfChanged();
}

void CConnectionManager::ReadDeviceAgain() {
    if (!m_bConnected || m_bClosing) return;
    m_command.QueueReadAll(true);
    m_ePhase = Phase::Reading;
    NotifyIfChanged();
}

// The two texts of this message differ in meaning; they are shown as they are.
void CConnectionManager::OnEmptyReply() {
    const auto show = [] {
        PostUiMessage(UM_SHOW_MESSAGE, static_cast<std::uintptr_t>(TextId::EmptyReply));
    };
    if (m_bConnected && !m_bClosing) {
        TakeDown(false, show);
    } else {
        show();
    }
    NotifyIfChanged();
}

// A message that arrives after the link went down still loads what reached
// the image, but does not put the model online without a device.
void CConnectionManager::OnOutputsLoaded(int group) {
    {
        std::lock_guard lock(g_csModel);
        if (m_pModel != nullptr) m_pModel->LoadCurrentImage(group);
    }
    if (m_pListener != nullptr) m_pListener->OnModelReloaded(group);
    if (m_bConnected && !m_bClosing) {
        g_bOnline = true;
        m_ePhase = Phase::Online;
    }
    NotifyIfChanged();
}

void CConnectionManager::OnTransferStart() {
    m_bTransferShown = true;
}

void CConnectionManager::OnTransferDone() {
    HideTransfer();
}

// A source picked on the device itself (its remote or hand controller).
void CConnectionManager::OnSourceChanged(int source) {
    std::lock_guard lock(g_csModel);
    m_command.SetShownSource(source);
    g_SysSettings[kSysInputSource] = static_cast<BYTE>(source);
}

// ---- Building blocks ----

bool CConnectionManager::ConnectUsb(std::string_view path) {
    if (m_bClosing) return false;  // the device is still held
    const bool opened =
        path.empty() ? m_link.OpenFirstMatching() : m_link.OpenPath(std::string(path));
    if (!opened) return false;
    // A new session: an update's boot command from before no longer excuses a removal.
    g_nLastUpgradeCommand = 0;
    {
        std::lock_guard lock(g_csModel);
        m_command.ClearQueue();
        if (m_pModel != nullptr) m_pModel->ClearPending();
        m_command.ResetProgressCounter();
    }
    m_bConnected = true;
    m_ePhase = Phase::Connecting;
    {
        std::lock_guard lock(g_csModel);
        m_command.PushPacket(MakeSystemRead(SYS_IDENTIFY, 0));
    }
    m_link.ClearInReport();
    StartLink(false);
    return true;
}

void CConnectionManager::CloseActiveLink() {
    m_link.Close();
    m_bConnected = false;
    g_bOnline = false;
    {
        std::lock_guard lock(g_csModel);
        if (m_pModel != nullptr) m_pModel->ClearPending();
    }
    HideTransfer();
    m_ePhase = Phase::Connecting;
}

void CConnectionManager::Disconnect() {
    TakeDown(true);
}

// The link state stays "connected" until the close, as it did for a front
// end that blocked through these waits.
void CConnectionManager::TakeDown(bool pauseBeforeClose, std::function<void()> then) {
    if (m_bClosing) {
        // Already going down: the follow-up runs after that close.
        if (then) m_afterClose.push_back(std::move(then));
        return;
    }
    m_bClosing = true;
    NotifyIfChanged();
    StopWorkerThen([this, pauseBeforeClose, then = std::move(then)] {
        const auto close = [this, then] {
            CloseActiveLink();
            m_bClosing = false;
            std::vector<std::function<void()>> later;
            later.swap(m_afterClose);
            if (then) then();
            for (const auto& step : later)
                step();
            NotifyIfChanged();
            TakeDeviceEvents();
        };
        if (pauseBeforeClose) {
            Later(Timings().disconnectWait, close);
        } else {
            close();
        }
    });
}

void CConnectionManager::Later(std::chrono::milliseconds delay, std::function<void()> step) {
    if (Scheduler() != nullptr) {
        m_steps.After(delay, std::move(step));
        return;
    }
    std::this_thread::sleep_for(delay);
    step();
}

// The worker finishes the cycle it is in: up to a reply wait with a silent
// device. With a scheduler this thread only looks now and then.
void CConnectionManager::StopWorkerThen(std::function<void()> next) {
    if (Scheduler() == nullptr) {
        m_worker.StopLink();
        next();
        return;
    }
    m_worker.RequestStop();
    WhenWorkerEnded(std::chrono::steady_clock::now() + m_worker.LongestCycle(), false,
                    std::move(next));
}

void CConnectionManager::WhenWorkerEnded(std::chrono::steady_clock::time_point abortAt,
                                         bool aborted, std::function<void()> next) {
    if (m_worker.HasEnded()) {
        m_worker.StopLink();  // joins a thread that has already left its loop
        next();
        return;
    }
    // A read the device keeps blocked is cut short, as StopLink does.
    if (!aborted && std::chrono::steady_clock::now() >= abortAt) {
        m_link.AbortIo();
        aborted = true;
    }
    m_steps.After(Timings().stopPoll, [this, abortAt, aborted, next = std::move(next)] {
        WhenWorkerEnded(abortAt, aborted, next);
    });
}

void CConnectionManager::ReportLinkFailure() {
    CKTVCommand::ReportLinkFailure();
}

void CConnectionManager::StartLink(bool upgrade) {
    m_worker.StartLink(upgrade);
    m_bConnected = true;
    NotifyIfChanged();
}

void CConnectionManager::StopLink() {
    m_worker.StopLink();
    m_bConnected = false;
}

void CConnectionManager::Shutdown() {
    m_steps.Cancel();
    m_bClosing = false;
    m_afterClose.clear();
    StopWatching();
    m_worker.StopLink();
    ReleasePath(g_strDevicePath.Get());
}

void CConnectionManager::ClearQueue() {
    std::lock_guard lock(g_csModel);
    m_command.ClearQueue();
}

void CConnectionManager::HideTransfer() {
    if (!m_bTransferShown) return;
    m_bTransferShown = false;
    if (m_pListener != nullptr) m_pListener->OnTransferHidden();
}

// ---- State ----

ConnectionState CConnectionManager::State() const {
    if (m_bClosing) return ConnectionState::Disconnecting;
    if (!m_bConnected) return ConnectionState::Disconnected;
    if (g_bUpgrading) return ConnectionState::Upgrading;
    switch (m_ePhase) {
        case Phase::Connecting:
            return ConnectionState::Connecting;
        case Phase::Reading:
            return ConnectionState::Reading;
        case Phase::Online:
            return ConnectionState::Online;
    }
    return ConnectionState::Connecting;
}

void CConnectionManager::NotifyIfChanged() {
    const ConnectionState state = State();
    if (state == m_eLastState) return;
    m_eLastState = state;
    if (m_pListener != nullptr) m_pListener->OnConnectionStateChanged(state);
}

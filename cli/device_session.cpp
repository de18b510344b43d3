#include "cli/device_session.h"

#include <cstring>
#include <mutex>

#include "base/globals.h"
#include "base/messages.h"
#include "image/param_image.h"
#include "link/hid_link.h"
#include "protocol/frame_format.h"
#include "workspace/edits.h"

namespace {

// The identification request and the sixteen requests of the read-all.
constexpr int kConnectPackets = 17;
// Beyond the link's own time-outs, which end a silent exchange long before.
constexpr auto kWaitSlack = std::chrono::seconds(2);

}  // namespace

CDeviceSession::CDeviceSession(CliContext& ctx)
    : m_ctx(ctx), m_progress(ctx.err, ctx.stderrTerminal) {
    m_registry = ctx.MakeRegistry(m_baseRegistry);
    // A --device whose scheme no backend serves: nothing is ever found.
    if (!m_registry) m_registry = std::make_unique<HidBackendRegistry>();
    m_pPreviousSink = g_pMessageSink.exchange(&m_queue);
    m_manager =
        std::make_unique<CConnectionManager>(*m_registry, m_command, &m_modelLink, ctx.Timings());
    m_manager->SetListener(this);
}

// The worker stops before the device is closed and the claim dropped, and
// both before the message sink goes away.
CDeviceSession::~CDeviceSession() {
    m_manager->StopLink();
    m_manager->CloseActiveLink();
    m_manager->Shutdown();
    m_manager.reset();
    m_progress.Finish();
    g_pMessageSink = m_pPreviousSink;
}

std::string CDeviceSession::DevicePath() const {
    return g_strDevicePath.Get();
}

int CDeviceSession::Connect() {
    if (!m_registry->FirstMatching()) {
        const std::string detail =
            m_ctx.device.empty() ? "no TQR-905 found" : m_ctx.device + " is not present";
        return Fail(m_ctx, kExitNoDevice, WithDetail(TextId::UnableToConnect, detail));
    }
    if (!m_manager->ConnectUsb()) {
        return Fail(m_ctx, kExitNoDevice,
                    WithDetail(TextId::UnableToConnect, m_manager->LastError()));
    }
    const WaitEnd end =
        RunUntil([this] { return m_manager->State() == ConnectionState::Online; }, kConnectPackets);
    if (end == WaitEnd::Done) return kExitOk;
    return ReportWaitEnd(end, "connecting");
}

CDeviceSession::Clock::duration CDeviceSession::WaitLimit(int packets) const {
    const LinkTimings& t = m_manager->Timings();
    return t.cycleLimit * (packets + 2) + 2 * t.disconnectWait + kWaitSlack;
}

WaitEnd CDeviceSession::RunUntil(const std::function<bool()>& condition, int packets) {
    std::optional<WaitEnd> end;
    const auto settled = [&] {
        if (condition()) {
            end = WaitEnd::Done;
        } else if (CliInterrupted()) {
            end = WaitEnd::Interrupted;
        } else if (!m_manager->IsConnected()) {
            end = WaitEnd::LinkDown;
        }
        return end.has_value();
    };
    m_queue.RunUntil([this](const UiMessage& m) { Dispatch(m); }, settled,
                     Clock::now() + WaitLimit(packets));
    return end.value_or(WaitEnd::TimedOut);
}

int CDeviceSession::ReportWaitEnd(WaitEnd end, const std::string& what) {
    m_progress.Finish();
    switch (end) {
        case WaitEnd::Done:
            return kExitOk;
        case WaitEnd::Interrupted:
            return Fail(m_ctx, kExitInterrupted, "interrupted while " + what);
        case WaitEnd::TimedOut:
            return Fail(m_ctx, kExitDevice,
                        WithDetail(TextId::UnableToConnect,
                                   "the device did not finish " + what + " in time"));
        case WaitEnd::LinkDown:
            break;
    }
    // The message that says why was posted by the handler that took the link down.
    m_queue.DispatchPending([this](const UiMessage& m) { Dispatch(m); });
    if (m_bIdentificationRefused) {
        return Fail(m_ctx, kExitDevice,
                    "wrong identification \"" + m_strIdentification + "\" (expected " +
                        std::string(kDeviceIdentification, kIdentificationCompared) + ")");
    }
    const std::string detail = "the link went down while " + what;
    if (m_shown.empty()) return Fail(m_ctx, kExitDevice, detail);
    return Fail(m_ctx, kExitDevice, WithDetail(m_shown.back(), detail));
}

int CDeviceSession::WaitForTransfer(int transfersBefore, int packets, const std::string& what) {
    const WaitEnd end = RunUntil(
        [&] { return m_nTransfersDone > transfersBefore && NothingPending(m_model, m_command); },
        packets);
    return ReportWaitEnd(end, what);
}

int CDeviceSession::WaitUntilSettled(int packets, const std::string& what) {
    const WaitEnd end = RunUntil([&] { return NothingPending(m_model, m_command); }, packets);
    return ReportWaitEnd(end, what);
}

void CDeviceSession::Dispatch(const UiMessage& message) {
    if (m_observer) m_observer(message);
    switch (message.msg) {
        case UM_SHOW_MESSAGE:
            m_shown.push_back(static_cast<TextId>(message.wParam));
            break;
        case UM_TRANSFER_START:
            m_progress.Start(Text(TextId::TransferTitle), static_cast<int>(message.wParam));
            break;
        case UM_TRANSFER_PROGRESS:
            m_progress.Update(static_cast<int>(message.wParam));
            break;
        case UM_TRANSFER_DONE:
            ++m_nTransfersDone;
            break;
        case UM_DEVICE_ID:
            NoteIdentification();
            break;
        case UM_GROUP6_LOADED:
            ++m_nGroup6Loads;
            break;
        case UM_OUTPUTS_LOADED:
            ++m_nOutputLoads;
            break;
        default:
            break;
    }
    m_manager->HandleMessage(message.msg, message.wParam, message.lParam);
}

// Taken before the manager sees the message: a refused identification is
// blanked by it.
void CDeviceSession::NoteIdentification() {
    std::lock_guard lock(g_csModel);
    const auto* bytes = reinterpret_cast<const char*>(g_DeviceModel.data());
    m_strIdentification.assign(bytes, strnlen(bytes, kIdentificationBytes));
    m_bIdentificationRefused =
        std::memcmp(g_DeviceModel.data(), kDeviceIdentification, kIdentificationCompared) != 0;
}

int WithDevice(CliContext& ctx, const std::function<int(CDeviceSession&)>& body) {
    CDeviceSession session(ctx);
    if (const int status = session.Connect(); status != kExitOk) return status;
    return body(session);
}

#include "cli/device_session.h"

#include "cli/cli.h"
#include "edits/edits.h"
#include "protocol/frame_format.h"

namespace {

// The identification request and the sixteen requests of the read-all.
constexpr int kConnectPackets = 17;

SessionOptions OptionsOf(CliContext& ctx) {
    SessionOptions options;
    if (ctx.hooks.makeRegistry) options.registry = ctx.hooks.makeRegistry();
    options.devicePath = ctx.Device();
    options.timings = ctx.Timings();
    return options;
}

}  // namespace

CDeviceSession::CDeviceSession(CliContext& ctx)
    : m_ctx(ctx), m_progress(ctx.err, ctx.stderrTerminal), m_session(OptionsOf(ctx)) {
    m_session.AddListener(this);
    m_session.SetInterruptCheck(CliInterrupted);
}

CDeviceSession::~CDeviceSession() {
    m_session.RemoveListener(this);
    m_progress.Finish();
}

void CDeviceSession::OnTransferStarted(int last) {
    m_progress.Start(Text(TextId::TransferTitle), last);
}

void CDeviceSession::OnTransferProgress(int position) {
    m_progress.Update(position);
}

std::string CDeviceSession::Identification() const {
    const std::optional<DeviceIdentity>& identity = m_session.ReportedIdentity();
    return identity ? identity->text : std::string();
}

int CDeviceSession::Connect() {
    if (!m_session.DevicePresent()) {
        const std::string detail =
            m_ctx.Device().empty() ? "no TQR-905 found" : m_ctx.Device() + " is not present";
        return Fail(m_ctx, kExitNoDevice, WithDetail(TextId::UnableToConnect, detail));
    }
    if (!m_session.StartConnect()) {
        return Fail(m_ctx, kExitNoDevice,
                    WithDetail(TextId::UnableToConnect, m_session.LastError()));
    }
    const WaitEnd end =
        RunUntil([this] { return m_session.State() == ConnectionState::Online; }, kConnectPackets);
    if (end == WaitEnd::Done) return kExitOk;
    return ReportWaitEnd(end, "connecting");
}

WaitEnd CDeviceSession::RunUntil(const std::function<bool()>& condition, int packets) {
    return m_session.RunUntil(condition, m_session.WaitLimit(packets));
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
    m_session.Drain();
    const std::optional<DeviceIdentity>& identity = m_session.ReportedIdentity();
    if (identity && !identity->matches) {
        return Fail(m_ctx, kExitDevice,
                    "wrong identification \"" + identity->text + "\" (expected " +
                        std::string(kDeviceIdentification, kIdentificationCompared) + ")");
    }
    const std::string detail = "the link went down while " + what;
    const std::vector<TextId>& shown = m_session.Shown();
    if (shown.empty()) return Fail(m_ctx, kExitDevice, detail);
    return Fail(m_ctx, kExitDevice, WithDetail(shown.back(), detail));
}

int CDeviceSession::WaitForTransfer(int transfersBefore, int packets, const std::string& what) {
    const WaitEnd end = RunUntil(
        [&] {
            return m_session.TransfersDone() > transfersBefore &&
                   NothingPending(m_session.Model(), m_session.Command());
        },
        packets);
    return ReportWaitEnd(end, what);
}

int CDeviceSession::WaitUntilSettled(int packets, const std::string& what) {
    const WaitEnd end =
        RunUntil([&] { return NothingPending(m_session.Model(), m_session.Command()); }, packets);
    return ReportWaitEnd(end, what);
}

int WithDevice(CliContext& ctx, const std::function<int(CDeviceSession&)>& body) {
    CDeviceSession session(ctx);
    if (const int status = session.Connect(); status != kExitOk) return status;
    return body(session);
}

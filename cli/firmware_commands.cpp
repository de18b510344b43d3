// upgrade and factory-reset, through the same firmware updater as the
// application's update dialog.

#include <iostream>
#include <string>

#include "cli/device_session.h"
#include "firmware/firmware_updater.h"

namespace {

// The update's messages as the update dialog shows them: a progress bar and
// a status line. The controller's warning is shown before anything is sent.
void ObserveUpgrade(CDeviceSession& session, CliContext& ctx, const UiMessage& m) {
    switch (m.msg) {
        case UM_UPGRADE_RANGE:
            session.Progress().Start(Text(TextId::FirmwareUpdateTitle), static_cast<int>(m.wParam));
            break;
        case UM_UPGRADE_PROGRESS:
            session.Progress().Update(static_cast<int>(m.wParam));
            break;
        case UM_UPGRADE_STATUS:
            session.Progress().Status(Text(static_cast<TextId>(m.wParam)));
            break;
        case UM_SHOW_MESSAGE:
            if (static_cast<TextId>(m.wParam) == TextId::ControllerWarning)
                ctx.err << Text(TextId::ControllerWarning) << std::endl;
            break;
        default:
            break;
    }
}

// An update must not be cut short: the first interrupt only shows the
// update dialog's warning (a second one ends the program, see main), and the
// update's own time-outs still bound the wait.
void WarnOnInterrupt(CliContext& ctx, bool& warned) {
    if (warned || !CliInterrupted()) return;
    warned = true;
    ctx.err << "tqr905: " << Text(TextId::DontCloseUpdate) << std::endl;
}

int UpgradeFailure(CliContext& ctx, CDeviceSession& session, CFirmwareUpdater& updater,
                   const std::string& path) {
    const UpgradeLoadResult& load = updater.LoadResult();
    if (!load.bOk) {
        return Fail(ctx, kExitFile, WithDetail(load.eError.value_or(TextId::HexFileError), path));
    }
    if (updater.Phase() == UpgradePhase::NotFound) {
        return Fail(ctx, kExitNoDevice,
                    WithDetail(TextId::UnableToConnect, "no device found for the update"));
    }
    const TextId shown = session.Session().Shown().empty() ? TextId::UnableToConnect
                                                           : session.Session().Shown().back();
    return Fail(ctx, kExitDevice, WithDetail(shown, "the update was abandoned"));
}

bool Confirmed(CliContext& ctx) {
    ctx.err << Text(TextId::FactoryResetConfirm) << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(ctx.in, answer)) return false;
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

}  // namespace

int CmdUpgrade(CliContext& ctx, const FileArgs& args) {
    const std::string& path = args.file;
    bool warned = false;
    CDeviceSession session(ctx);
    CFirmwareUpdater updater(session.Manager());
    CTunerSession& host = session.Session();
    host.SetInterruptCheck([&] {
        WarnOnInterrupt(ctx, warned);
        return false;
    });
    const UpgradeOutcome outcome = host.RunUpgrade(
        updater, path, [&](const UiMessage& m) { ObserveUpgrade(session, ctx, m); });
    session.Progress().Finish();
    if (outcome == UpgradeOutcome::Succeeded) {
        ctx.out << Text(TextId::FirmwareUpdateDone) << "\n";
        return kExitOk;
    }
    return UpgradeFailure(ctx, session, updater, path);
}

int CmdFactoryReset(CliContext& ctx, const FactoryResetArgs& args) {
    if (!args.yes) {
        if (!ctx.stdinTerminal)
            return Fail(ctx, kExitUsage, "factory-reset needs --yes when input is not a terminal");
        if (!Confirmed(ctx)) return Fail(ctx, kExitCancelled, "cancelled; nothing was changed");
    }
    return WithDevice(ctx, [&](CDeviceSession& session) -> int {
        CFirmwareUpdater updater(session.Manager());
        const int transfersBefore = session.Session().TransfersDone();
        switch (updater.FactoryReset()) {
            case FactoryResetResult::NotConnected:
                return Fail(ctx, kExitDevice, Text(TextId::DeviceNotConnected));
            case FactoryResetResult::UpdateRunning:
                return Fail(ctx, kExitDevice, Text(TextId::DontCloseUpdate));
            case FactoryResetResult::Queued:
                break;
        }
        const WaitEnd end = session.RunUntil(
            [&] { return session.Session().TransfersDone() > transfersBefore; }, 1);
        if (end != WaitEnd::Done) return session.ReportWaitEnd(end, "resetting the device");
        ctx.out << "factory settings restored\n";
        return kExitOk;
    });
}

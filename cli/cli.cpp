#include "cli/cli.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <iostream>

#include "cli/commands.h"
#include "cli/terminal_text.h"
#include "link/frame_log.h"
#include "link/hid_link.h"
#include "link/pinned_backend.h"
#include "session/process_state.h"

namespace {

std::atomic<bool> g_bCliInterrupted{false};

const char* Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

// The locale variables in the order the C library consults them.
bool ChineseFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = Environment(name))
            return std::string_view(value).rfind("zh", 0) == 0;
    }
    return false;
}

bool PickLanguage(CliContext& ctx) {
    if (!ctx.line.lang) {
        UseChineseTexts(ChineseFromEnvironment());
        return true;
    }
    if (*ctx.line.lang != "en" && *ctx.line.lang != "zh") return false;
    UseChineseTexts(*ctx.line.lang == "zh");
    return true;
}

bool KnownDeviceScheme(const std::string& uri) {
    const std::string_view scheme = PathScheme(uri);
    return (scheme == "hidraw" || scheme == "vhid") && PathAfterScheme(uri).size() > 1;
}

int CheckArgumentCount(CliContext& ctx, const CommandSpec& command) {
    const int count = static_cast<int>(ctx.line.positional.size());
    const bool tooFew = count < command.minArgs;
    const bool tooMany = command.maxArgs >= 0 && count > command.maxArgs;
    if (!tooFew && !tooMany) return kExitOk;
    return Fail(ctx, kExitUsage,
                std::string(tooFew ? "missing arguments" : "too many arguments") +
                    "; usage: tqr905 " + command.usage);
}

class TraceScope {
public:
    bool Enable(const std::string& file, std::string& error) {
        m_bEnabled = EnableFrameLog(file, &error);
        return m_bEnabled;
    }
    ~TraceScope() {
        if (m_bEnabled) DisableFrameLog();
    }

private:
    bool m_bEnabled = false;
};

int RunCommand(CliContext& ctx) {
    const CommandSpec* command = FindCommand(ctx.line.command);
    if (ctx.line.help) {
        PrintCommandHelp(ctx.out, *command);
        return kExitOk;
    }
    if (const int status = CheckArgumentCount(ctx, *command); status != kExitOk) return status;
    TraceScope trace;
    if (ctx.line.trace) {
        std::string error;
        if (!trace.Enable(*ctx.line.trace, error)) return Fail(ctx, kExitFile, error);
    }
    // Every run starts from the program's start-up state, also when the
    // tests run many commands in one process.
    ResetProcessState();
    return command->run(ctx);
}

}  // namespace

void RequestCliInterrupt() {
    g_bCliInterrupted = true;
}
bool CliInterrupted() {
    return g_bCliInterrupted;
}
void ClearCliInterrupt() {
    g_bCliInterrupted = false;
}

std::unique_ptr<HidBackendRegistry> CliContext::MakeRegistry(
    std::unique_ptr<HidBackendRegistry>& base) const {
    base = hooks.makeRegistry ? hooks.makeRegistry() : MakeDefaultHidRegistry();
    if (device.empty()) return std::move(base);
    return PinnedRegistry(*base, device);
}

int Fail(CliContext& ctx, int status, const std::string& text) {
    // Errors quote names, paths and the device's identification.
    ctx.err << "tqr905: " << TerminalText(text) << std::endl;
    return status;
}

std::string WithDetail(TextId text, const std::string& detail) {
    std::string line = Text(text);
    if (!detail.empty()) line += " (" + detail + ")";
    return line;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliHooks& hooks) {
    CliContext ctx{out,   err,  hooks.in != nullptr ? *hooks.in : std::cin, hooks, {}, {},
                   false, false};
    ctx.stdinTerminal = hooks.stdinIsTerminal.value_or(::isatty(STDIN_FILENO) == 1);
    ctx.stderrTerminal = hooks.stderrIsTerminal.value_or(::isatty(STDERR_FILENO) == 1);

    const auto lookup = [](const std::string& name) -> const std::vector<OptionSpec>* {
        const CommandSpec* command = FindCommand(name);
        return command != nullptr ? &command->options : nullptr;
    };
    if (const auto error = ParseCommandLine(args, lookup, ctx.line)) {
        return Fail(ctx, kExitUsage, *error + " (see tqr905 --help)");
    }
    if (!PickLanguage(ctx)) return Fail(ctx, kExitUsage, "--lang takes en or zh");
    if (ctx.line.command.empty()) {
        PrintToolHelp(ctx.line.help ? out : err);
        return ctx.line.help ? kExitOk : kExitUsage;
    }
    if (ctx.line.device) {
        ctx.device = *ctx.line.device;
    } else if (const char* device = Environment("TQR905_DEVICE")) {
        ctx.device = device;
    }
    if (!ctx.device.empty() && !KnownDeviceScheme(ctx.device)) {
        return Fail(ctx, kExitUsage,
                    "unknown device '" + ctx.device +
                        "' (use hidraw:/dev/hidrawN or vhid:/path/name.sock)");
    }
    ClearCliInterrupt();
    return RunCommand(ctx);
}

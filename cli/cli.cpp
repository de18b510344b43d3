#include "cli/cli.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <iostream>

#include "cli/command_set.h"
#include "cli/completion.h"
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

void PickLanguage(const CliContext& ctx) {
    if (ctx.global.lang.empty()) {
        UseChineseTexts(ChineseFromEnvironment());
    } else {
        UseChineseTexts(ctx.global.lang == "zh");
    }
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

int RunCommand(CliContext& ctx, const CommandSet& commands) {
    TraceScope trace;
    if (!ctx.global.trace.empty()) {
        std::string error;
        if (!trace.Enable(ctx.global.trace, error)) return Fail(ctx, kExitFile, error);
    }
    // Every run starts from the program's start-up state, also when the
    // tests run many commands in one process.
    ResetProcessState();
    return commands.RunChosen(ctx);
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
    if (Device().empty()) return std::move(base);
    return PinnedRegistry(*base, Device());
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

std::string ExtensionOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return path.substr(dot + 1);
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliHooks& hooks) {
    CliContext ctx{out, err, hooks.in != nullptr ? *hooks.in : std::cin, hooks, {}, false, false};
    ctx.stdinTerminal = hooks.stdinIsTerminal.value_or(::isatty(STDIN_FILENO) == 1);
    ctx.stderrTerminal = hooks.stderrIsTerminal.value_or(::isatty(STDERR_FILENO) == 1);

    CommandSet commands(ctx.global);
    AddCommands(commands);
    // The shell completion asks: `tqr905 __complete WORD... CURRENT`.
    if (!args.empty() && args.front() == "__complete") {
        const std::vector<std::string> before(args.begin() + 1, args.end() - (args.size() > 1));
        PrintCompletion(out, commands, before, args.size() > 1 ? args.back() : std::string());
        return kExitOk;
    }
    if (const auto error = commands.Parse(args)) {
        return Fail(ctx, kExitUsage, *error + " (see tqr905 --help)");
    }
    PickLanguage(ctx);
    const CLI::App* chosen = commands.Chosen();
    if (chosen == nullptr) {
        commands.PrintToolHelp(commands.HelpAsked() ? out : err);
        return commands.HelpAsked() ? kExitOk : kExitUsage;
    }
    if (commands.HelpAsked()) {
        commands.PrintCommandHelp(out, *chosen);
        return kExitOk;
    }
    ClearCliInterrupt();
    return RunCommand(ctx, commands);
}

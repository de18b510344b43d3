#pragma once
// The commands of tqr905 and what they share: the parsed line, the streams,
// the hooks, and the one-line error report.

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/texts.h"
#include "cli/args.h"
#include "cli/cli.h"

struct CliContext {
    std::ostream& out;
    std::ostream& err;
    std::istream& in;
    const CliHooks& hooks;
    ParsedCommandLine line;
    std::string device;  // --device or TQR905_DEVICE; empty for the first matching one
    bool stdinTerminal = false;
    bool stderrTerminal = false;

    LinkTimings Timings() const { return hooks.timings.value_or(LinkTimings{}); }
    // The backends of this run; with a device given, only that interface is
    // visible. `base` receives the registry the result depends on.
    std::unique_ptr<HidBackendRegistry> MakeRegistry(
        std::unique_ptr<HidBackendRegistry>& base) const;
};

// "tqr905: <text>" on stderr; returns `status`.
int Fail(CliContext& ctx, int status, const std::string& text);
// The system's text for a failure, with what went wrong in brackets.
std::string WithDetail(TextId text, const std::string& detail);

using CommandFn = int (*)(CliContext&);

struct CommandSpec {
    const char* name;
    CommandFn run;
    std::vector<OptionSpec> options;
    int minArgs;
    int maxArgs;  // -1: any number
    const char* usage;
    const char* summary;
    const char* details;
};

const std::vector<CommandSpec>& Commands();
const CommandSpec* FindCommand(std::string_view name);

void PrintToolHelp(std::ostream& out);
void PrintCommandHelp(std::ostream& out, const CommandSpec& command);

// Files
int CmdDump(CliContext& ctx);
int CmdCurve(CliContext& ctx);
// Device
int CmdDevices(CliContext& ctx);
int CmdInfo(CliContext& ctx);
int CmdShow(CliContext& ctx);
int CmdRead(CliContext& ctx);
int CmdWrite(CliContext& ctx);
int CmdRecall(CliContext& ctx);
int CmdStore(CliContext& ctx);
int CmdDelete(CliContext& ctx);
int CmdNames(CliContext& ctx);
int CmdSet(CliContext& ctx);
int CmdGet(CliContext& ctx);
int CmdUpgrade(CliContext& ctx);
int CmdFactoryReset(CliContext& ctx);
int CmdHelp(CliContext& ctx);

#pragma once
// The commands of tqr905 and what they share: the global options, the
// streams, the hooks, and the one-line error report. Each command gets its
// own arguments as a struct that the command line fills (command_table.cpp).

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/texts.h"
#include "cli/cli.h"

// The options every command takes, before or after its name.
struct GlobalOptions {
    std::string device;  // --device or TQR905_DEVICE; empty for the first matching one
    std::string trace;   // --trace; empty for none
    std::string lang;    // --lang en|zh; empty to follow the locale
};

struct CliContext {
    std::ostream& out;
    std::ostream& err;
    std::istream& in;
    const CliHooks& hooks;
    GlobalOptions global;
    bool stdinTerminal = false;
    bool stderrTerminal = false;

    const std::string& Device() const { return global.device; }
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

// The text after the last "." of the file name, compared exactly as the
// preset dialogs compare it ("dsps" and "DSPS" differ).
std::string ExtensionOf(const std::string& path);

// The arguments of the commands.
struct JsonArgs {
    bool json = false;
};
struct FileArgs {
    std::string file;
};
struct DumpArgs {
    std::string file;
    bool json = false;
    std::optional<int> group;
};
struct CurveArgs {
    std::string file;
    int channel = 0;
    std::optional<int> group;
    std::string format = "csv";
};
struct ReadArgs {
    std::string out;
};
struct GroupArgs {
    int group = 0;
};
struct StoreArgs {
    int group = 0;
    std::string name;
};
struct WordsArgs {
    std::vector<std::string> words;
};
struct FactoryResetArgs {
    bool yes = false;
};

// Files
int CmdDump(CliContext& ctx, const DumpArgs& args);
int CmdCurve(CliContext& ctx, const CurveArgs& args);
// Device
int CmdDevices(CliContext& ctx, const JsonArgs& args);
int CmdInfo(CliContext& ctx, const JsonArgs& args);
int CmdShow(CliContext& ctx, const JsonArgs& args);
int CmdRead(CliContext& ctx, const ReadArgs& args);
int CmdWrite(CliContext& ctx, const FileArgs& args);
int CmdRecall(CliContext& ctx, const GroupArgs& args);
int CmdStore(CliContext& ctx, const StoreArgs& args);
int CmdDelete(CliContext& ctx, const GroupArgs& args);
int CmdNames(CliContext& ctx, const JsonArgs& args);
int CmdSet(CliContext& ctx, const WordsArgs& args);
int CmdGet(CliContext& ctx, const WordsArgs& args);
int CmdUpgrade(CliContext& ctx, const FileArgs& args);
int CmdFactoryReset(CliContext& ctx, const FactoryResetArgs& args);

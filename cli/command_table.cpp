// The commands of tqr905: their arguments, options and help texts.
//
// Adding a command:
//  1. Declare its arguments as a struct and `int CmdName(CliContext&, const
//     NameArgs&)` in commands.h; write CmdName next to the commands of its
//     kind (file_commands.cpp, device_commands.cpp, ...). The struct holds
//     values already checked here: ranges, choices, required arguments.
//  2. Write an AddName(CommandSet&) below: `set.Add<NameArgs>(name, summary,
//     details, CmdName)`, then bind the struct's members with CLI11
//     (add_option / add_flag, ->required(), ->check(CLI::Range(1, 6)),
//     CLI::IsMember) through set.Value(), which names the value in the usage
//     and tells the shell completion what to offer (files of an extension,
//     a device, a key, a choice). Put AddName in AddCommands in the order
//     `tqr905 --help` lists the commands.
//  3. Add the command's row to the README's command table and describe its
//     --json output in the README's JSON section; the tests compare both
//     with the program. Usage errors end with status 1 by themselves.

#include <ostream>

#include "cli/command_set.h"
#include "cli/fit_command.h"
#include "edits/edits.h"
#include "image/param_image.h"

namespace {

using Hint = ValueHint::Kind;

const ValueHint kPresetFiles{Hint::Files, {"dsps", "dspa"}};

CLI::Option* AddJsonFlag(CLI::App& app, bool& json) {
    return app.add_flag("--json", json, "print JSON (described in the README)");
}

// A command whose only option is --json.
void AddJsonOnlyCommand(CommandSet& set, const char* name, const char* summary, const char* details,
                        int (*run)(CliContext&, const JsonArgs&)) {
    auto [app, args] = set.Add<JsonArgs>(name, summary, details, run);
    AddJsonFlag(app, args.json);
}

void AddPresetFile(CommandSet& set, CLI::App& app, std::string& file) {
    set.Value(app.add_option("FILE", file, "the preset file")->required(), "FILE", kPresetFiles);
}

// --group G of a preset file; which numbers a file has depends on its kind.
void AddFileGroup(CommandSet& set, CLI::App& app, std::optional<int>& group) {
    set.Value(app.add_option_function<int>(
                  "--group", [&group](const int& g) { group = g; },
                  "0 = the current setting, 1..20 a stored group of an all-data file"),
              "G");
}

std::string SetDetails() {
    std::string text =
        "Changes settings on the device as the application's controls do, then\n"
        "waits until the device has acknowledged every packet the change caused\n"
        "(a band's frequency may travel in several steps). The pairs are checked\n"
        "together first: one bad key or value refuses the whole command (status 5)\n"
        "and nothing is sent. Linked channels follow as in the application.\n\nkeys:\n";
    for (const EditKeyHelp& key : EditKeyHelpList()) {
        std::string pattern = key.pattern;
        if (pattern.size() < 30) pattern.append(30 - pattern.size(), ' ');
        text += "  " + pattern + " " + key.values + "\n";
    }
    text +=
        "\nNumbers may carry their unit: ch1.eq5.gain=-3.5dB ch2.delay=2.5ms ch3.hp.freq=80Hz\n";
    return text;
}

void AddDump(CommandSet& set) {
    auto [app, args] = set.Add<DumpArgs>(
        "dump", "decode a .dsps or .dspa file (no device needed)",
        "Prints the current setting of the file and, for an all-data file, the 20\n"
        "stored groups, the system area (input source, master volume, speaker\n"
        "roles, input levels) and the listening positions. Per channel: name,\n"
        "output, phase, gain, delay, EQ mode, crossovers, mix, limiter and the 31\n"
        "bands. --group G prints only group G (0 = the current setting).\n",
        CmdDump);
    AddPresetFile(set, app, args.file);
    AddJsonFlag(app, args.json);
    AddFileGroup(set, app, args.group);
}

void AddCurve(CommandSet& set) {
    auto [app, args] = set.Add<CurveArgs>(
        "curve", "one channel's combined response at the 241 graph points",
        "The magnitude response in dB that the application draws for channel N\n"
        "(1..6): every band and both crossover filters summed. Of the current\n"
        "setting, or of stored group G (1..20) of an all-data file. CSV has the\n"
        "header freq_hz,db and 241 rows.\n",
        CmdCurve);
    AddPresetFile(set, app, args.file);
    set.Value(app.add_option("--channel", args.channel, "the output channel")
                  ->required()
                  ->check(CLI::Range(1, kOutputCount)),
              "N");
    AddFileGroup(set, app, args.group);
    set.Value(app.add_option("--format", args.format, "csv (default) or json")
                  ->check(CLI::IsMember({"csv", "json"})),
              "csv|json", {Hint::Choice, {"csv", "json"}});
}

void AddDevices(CommandSet& set) {
    AddJsonOnlyCommand(
        set, "devices", "list the TQR-905 interfaces present",
        "Every interface with the processor's USB identity (0483:5750, version\n"
        "0200), real ones first, and whether another copy of the program holds it.\n",
        CmdDevices);
}

void AddInfo(CommandSet& set) {
    AddJsonOnlyCommand(set, "info", "connect, identify and print the identification",
                       "Connects, checks the identification, reads the device and prints the\n"
                       "interface, the identification and the connection state.\n",
                       CmdInfo);
}

void AddShow(CommandSet& set) {
    AddJsonOnlyCommand(set, "show", "read the device and print it",
                       "Prints what the device holds after the read that follows connecting: the\n"
                       "current setting (as dump prints a file), the six group names, the system\n"
                       "blocks and the identification.\n",
                       CmdShow);
}

void AddRead(CommandSet& set) {
    auto [app, args] = set.Add<ReadArgs>(
        "read", "save the device's settings in a preset file",
        "FILE.dsps: the current settings. FILE.dspa: also groups 1..6, read from\n"
        "the device one after another; the file is written only when the last\n"
        "group has arrived, so a failed read never leaves a half file.\n",
        CmdRead);
    set.Value(app.add_option("--out", args.out, "the file to write")->required(),
              "FILE.dsps|FILE.dspa", kPresetFiles);
}

void AddWrite(CommandSet& set) {
    auto [app, args] = set.Add<FileArgs>(
        "write", "send a preset file to the device",
        "FILE.dsps becomes the current settings (the outputs are muted during the\n"
        "transfer). FILE.dspa sends the current settings and groups 1..6. The file\n"
        "is checked completely before the device is touched.\n",
        CmdWrite);
    set.Value(app.add_option("FILE", args.file, "the preset file")->required(),
              "FILE.dsps|FILE.dspa", kPresetFiles);
}

CLI::Option* AddGroupNumber(CommandSet& set, CLI::App& app, int& group) {
    return set.Value(app.add_option("N", group, "the group")
                         ->required()
                         ->check(CLI::Range(1, kDeviceGroupCount)),
                     "N", {Hint::Choice, {"1", "2", "3", "4", "5", "6"}});
}

// A command whose only argument is the device's group number.
void AddGroupCommand(CommandSet& set, const char* name, const char* summary, const char* details,
                     int (*run)(CliContext&, const GroupArgs&)) {
    auto [app, args] = set.Add<GroupArgs>(name, summary, details, run);
    AddGroupNumber(set, app, args.group);
}

void AddRecall(CommandSet& set) {
    AddGroupCommand(set, "recall", "make stored group N (1..6) current",
                    "The device's group N becomes its current setting and is read back.\n",
                    CmdRecall);
}

void AddStore(CommandSet& set) {
    auto [app, args] =
        set.Add<StoreArgs>("store", "store the current settings in group N (1..6)",
                           "NAME: at most 13 characters (a Chinese character counts two), not "
                           "all\nspaces.\n",
                           CmdStore);
    AddGroupNumber(set, app, args.group);
    set.Value(app.add_option("--name", args.name, "the group's name")->required(), "NAME");
}

void AddDelete(CommandSet& set) {
    AddGroupCommand(set, "delete", "mark group N (1..6) unused by clearing its name",
                    "The device keeps the group's parameters; only its name is cleared.\n",
                    CmdDelete);
}

void AddNames(CommandSet& set) {
    AddJsonOnlyCommand(set, "names", "the names of the six groups",
                       "An empty name is an unused group.\n", CmdNames);
}

void AddSet(CommandSet& set) {
    auto [app, args] =
        set.Add<WordsArgs>("set", "change settings on the device", SetDetails(), CmdSet);
    set.Value(app.add_option("PAIR", args.words, "settings and their new values")->required(),
              "KEY=VALUE", {Hint::Pair, {}});
}

void AddGet(CommandSet& set) {
    auto [app, args] = set.Add<WordsArgs>(
        "get", "print settings of the device",
        "Prints KEY=VALUE lines in the form set takes (keys: tqr905 set --help).\n", CmdGet);
    set.Value(app.add_option("KEY", args.words, "the settings to print")->required(), "KEY",
              {Hint::Key, {}});
}

void AddUpgrade(CommandSet& set) {
    auto [app, args] = set.Add<FileArgs>(
        "upgrade", "update the processor's or the hand controller's firmware",
        "Sends the image with the device's boot protocol. The device restarts\n"
        "into its loader and the link is closed at the end. Ctrl-C does not stop\n"
        "an update under way (a second Ctrl-C ends the program regardless).\n",
        CmdUpgrade);
    set.Value(app.add_option("FILE", args.file, "the firmware image")->required(),
              "FILE.dsp|FILE.contr", {Hint::Files, {"dsp", "contr"}});
}

void AddFactoryReset(CommandSet& set) {
    auto [app, args] = set.Add<FactoryResetArgs>(
        "factory-reset", "reset the device to its factory settings",
        "Asks for confirmation on a terminal; without a terminal --yes is needed.\n",
        CmdFactoryReset);
    app.add_flag("--yes", args.yes, "do not ask");
}

struct HelpArgs {
    std::string command;
};

void AddHelp(CommandSet& set) {
    std::vector<std::string> names;
    for (const CLI::App* command : set.Commands())
        names.push_back(command->get_name());
    names.push_back("help");
    auto [app, args] = set.Add<HelpArgs>(
        "help", "this text, or one command's", "", [&set](CliContext& ctx, const HelpArgs& a) {
            if (a.command.empty()) {
                set.PrintToolHelp(ctx.out);
            } else {
                set.PrintCommandHelp(ctx.out, *set.FindCommand(a.command));
            }
            return int{kExitOk};
        });
    set.Value(app.add_option("COMMAND", args.command, "the command")->check(CLI::IsMember(names)),
              "COMMAND", {Hint::Command, {}});
}

}  // namespace

void AddCommands(CommandSet& set) {
    AddDump(set);
    AddCurve(set);
    AddFit(set);
    AddDevices(set);
    AddInfo(set);
    AddShow(set);
    AddRead(set);
    AddWrite(set);
    AddRecall(set);
    AddStore(set);
    AddDelete(set);
    AddNames(set);
    AddSet(set);
    AddGet(set);
    AddUpgrade(set);
    AddFactoryReset(set);
    AddHelp(set);  // last: it lists the others
}

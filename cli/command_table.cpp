// The commands, their options and their help texts.

#include <ostream>

#include "cli/commands.h"
#include "edits/edits.h"

namespace {

constexpr OptionSpec kJson{"json", false};

const char* const kToolUsage =
    R"(usage: tqr905 [--device URI] [--trace FILE] [--lang en|zh] COMMAND [ARGS]

Tunes a TQR-905 car-audio processor over USB, or its virtual twin tqr905-sim.
Device commands connect as the desktop application does: identification,
then a read of every parameter, then the command.
)";

const char* const kGlobalHelp = R"(
global options:
  --device URI     hidraw:/dev/hidrawN or vhid:/path/name.sock (also TQR905_DEVICE);
                   without it the first TQR-905 found (real devices first)
  --trace FILE     append every report sent and received to FILE (also TQR905_TRACE)
  --lang en|zh     language of the device's own texts and value words
                   (default: Chinese when LANG/LC_ALL/LC_MESSAGES start with zh)
  -h, --help       this text; `tqr905 help COMMAND` or `COMMAND --help` for one command

exit status:
  0  done
  1  usage: unknown command or option, missing or malformed argument
  2  file: cannot be read or written, or is not a file of that kind
  3  no device: none found, busy, or claimed by another copy of the program
  4  device error: wrong identification, empty reply, link failure, no answer in time
  5  refused: a key, value or group name; nothing was sent
  6  cancelled: a confirmation was answered no
  130 interrupted (Ctrl-C); the link was stopped and the device released

environment: TQR905_DEVICE, TQR905_TRACE, TQR905_VHID_DIR (virtual bus directory),
TQR905_CLAIMS_DIR (claim markers), LANG.
)";

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

std::vector<CommandSpec> MakeCommands() {
    static const std::string setDetails = SetDetails();
    return {
        {"dump",
         CmdDump,
         {kJson, {"group", true}},
         1,
         1,
         "dump FILE [--json] [--group G]",
         "decode a .dsps or .dspa file (no device needed)",
         "Prints the current setting of the file and, for an all-data file, the 20\n"
         "stored groups, the system area (input source, master volume, speaker\n"
         "roles, input levels) and the listening positions. Per channel: name,\n"
         "output, phase, gain, delay, EQ mode, crossovers, mix, limiter and the 31\n"
         "bands. --group G prints only group G (0 = the current setting).\n"},
        {"curve",
         CmdCurve,
         {{"channel", true}, {"group", true}, {"format", true}},
         1,
         1,
         "curve FILE --channel N [--group G] [--format csv|json]",
         "one channel's combined response at the 241 graph points",
         "The magnitude response in dB that the application draws for channel N\n"
         "(1..6): every band and both crossover filters summed. Of the current\n"
         "setting, or of stored group G (1..20) of an all-data file. CSV has the\n"
         "header freq_hz,db and 241 rows.\n"},
        {"devices",
         CmdDevices,
         {kJson},
         0,
         0,
         "devices [--json]",
         "list the TQR-905 interfaces present",
         "Every interface with the processor's USB identity (0483:5750, version\n"
         "0200), real ones first, and whether another copy of the program holds it.\n"},
        {"info",
         CmdInfo,
         {kJson},
         0,
         0,
         "info [--json]",
         "connect, identify and print the identification",
         "Connects, checks the identification, reads the device and prints the\n"
         "interface, the identification and the connection state.\n"},
        {"show",
         CmdShow,
         {kJson},
         0,
         0,
         "show [--json]",
         "read the device and print it",
         "Prints what the device holds after the read that follows connecting: the\n"
         "current setting (as dump prints a file), the six group names, the system\n"
         "blocks and the identification.\n"},
        {"read",
         CmdRead,
         {{"out", true}},
         0,
         0,
         "read --out FILE.dsps|FILE.dspa",
         "save the device's settings in a preset file",
         "FILE.dsps: the current settings. FILE.dspa: also groups 1..6, read from\n"
         "the device one after another; the file is written only when the last\n"
         "group has arrived, so a failed read never leaves a half file.\n"},
        {"write",
         CmdWrite,
         {},
         1,
         1,
         "write FILE.dsps|FILE.dspa",
         "send a preset file to the device",
         "FILE.dsps becomes the current settings (the outputs are muted during the\n"
         "transfer). FILE.dspa sends the current settings and groups 1..6. The file\n"
         "is checked completely before the device is touched.\n"},
        {"recall",
         CmdRecall,
         {},
         1,
         1,
         "recall N",
         "make stored group N (1..6) current",
         "The device's group N becomes its current setting and is read back.\n"},
        {"store",
         CmdStore,
         {{"name", true}},
         1,
         1,
         "store N --name NAME",
         "store the current settings in group N (1..6)",
         "NAME: at most 13 characters (a Chinese character counts two), not all\n"
         "spaces.\n"},
        {"delete",
         CmdDelete,
         {},
         1,
         1,
         "delete N",
         "mark group N (1..6) unused by clearing its name",
         "The device keeps the group's parameters; only its name is cleared.\n"},
        {"names",
         CmdNames,
         {kJson},
         0,
         0,
         "names [--json]",
         "the names of the six groups",
         "An empty name is an unused group.\n"},
        {"set",
         CmdSet,
         {},
         1,
         -1,
         "set KEY=VALUE ...",
         "change settings on the device",
         setDetails.c_str()},
        {"get",
         CmdGet,
         {},
         1,
         -1,
         "get KEY ...",
         "print settings of the device",
         "Prints KEY=VALUE lines in the form set takes (keys: tqr905 set --help).\n"},
        {"upgrade",
         CmdUpgrade,
         {},
         1,
         1,
         "upgrade FILE.dsp|FILE.contr",
         "update the processor's or the hand controller's firmware",
         "Sends the image with the device's boot protocol. The device restarts\n"
         "into its loader and the link is closed at the end. Ctrl-C does not stop\n"
         "an update under way (a second Ctrl-C ends the program regardless).\n"},
        {"factory-reset",
         CmdFactoryReset,
         {{"yes", false}},
         0,
         0,
         "factory-reset [--yes]",
         "reset the device to its factory settings",
         "Asks for confirmation on a terminal; without a terminal --yes is needed.\n"},
        {"help", CmdHelp, {}, 0, 1, "help [COMMAND]", "this text, or one command's", ""},
    };
}

}  // namespace

const std::vector<CommandSpec>& Commands() {
    static const std::vector<CommandSpec> commands = MakeCommands();
    return commands;
}

const CommandSpec* FindCommand(std::string_view name) {
    for (const CommandSpec& command : Commands()) {
        if (command.name == name) return &command;
    }
    return nullptr;
}

void PrintToolHelp(std::ostream& out) {
    out << kToolUsage << "\ncommands:\n";
    for (const CommandSpec& command : Commands()) {
        constexpr std::size_t kUsageColumn = 34;
        std::string usage = command.usage;
        // A long usage gets a line of its own.
        usage += usage.size() < kUsageColumn ? std::string(kUsageColumn - usage.size(), ' ')
                                             : "\n" + std::string(kUsageColumn + 2, ' ');
        out << "  " << usage << " " << command.summary << "\n";
    }
    out << kGlobalHelp;
}

void PrintCommandHelp(std::ostream& out, const CommandSpec& command) {
    out << "usage: tqr905 [global options] " << command.usage << "\n\n"
        << command.summary << ".\n\n"
        << command.details << "\nglobal options and exit statuses: tqr905 --help\n";
}

int CmdHelp(CliContext& ctx) {
    if (ctx.line.positional.empty()) {
        PrintToolHelp(ctx.out);
        return kExitOk;
    }
    const CommandSpec* command = FindCommand(ctx.line.positional[0]);
    if (command == nullptr)
        return Fail(ctx, kExitUsage, "unknown command '" + ctx.line.positional[0] + "'");
    PrintCommandHelp(ctx.out, *command);
    return kExitOk;
}

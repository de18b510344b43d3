#pragma once
// The command line of tqr905 on CLI11: the global options, one subcommand
// per command with its own arguments, the help texts generated from them,
// and what the shell offers for each argument.

#include <CLI/CLI.hpp>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"

// What the shell completes the value of an argument to.
struct ValueHint {
    enum class Kind {
        Any,      // nothing to offer
        Files,    // files ending in one of `words` (without the dot), and folders
        Device,   // the interfaces `tqr905 devices` lists
        Command,  // a command name
        Key,      // a set/get key
        Pair,     // a set key followed by "="
        Choice,   // one of `words`
    };
    Kind kind = Kind::Any;
    std::vector<std::string> words;
};

class CommandSet {
public:
    using RunFn = std::function<int(CliContext&)>;

    explicit CommandSet(GlobalOptions& global);

    template <class Args>
    struct Added {
        CLI::App& app;
        Args& args;
    };

    // A command: its name, the one-line summary of the command list, the
    // text after the options in its own help, and what runs it with its
    // arguments once the line is parsed.
    template <class Args, class Run>
    Added<Args> Add(const char* name, const char* summary, const std::string& details, Run run) {
        auto args = std::make_shared<Args>();
        CLI::App& app = AddApp(name, summary, details);
        m_runs[&app] = [args, run](CliContext& ctx) { return run(ctx, *args); };
        return {app, *args};
    }

    // Sets the value name shown in the usage ("FILE", "N") and what the shell
    // offers for the value; returns `option` for chaining.
    CLI::Option* Value(CLI::Option* option, const char* valueName, ValueHint hint = {});

    // Parses the arguments; a one-line error text when they are malformed
    // (unknown command or option, a value missing or out of range).
    std::optional<std::string> Parse(const std::vector<std::string>& args);
    // After Parse: whether --help was given, and the command chosen (none
    // when the line names no command).
    bool HelpAsked() const { return m_bHelpAsked; }
    const CLI::App* Chosen() const;
    int RunChosen(CliContext& ctx) const;

    // The command list with the global options and exit statuses.
    void PrintToolHelp(std::ostream& out) const;
    // One command's usage, options and details.
    void PrintCommandHelp(std::ostream& out, const CLI::App& command) const;
    // "curve FILE --channel N [--group G] [--format csv|json]"
    std::string UsageOf(const CLI::App& command) const;

    const CLI::App& Root() const { return m_app; }
    std::vector<const CLI::App*> Commands() const;
    const CLI::App* FindCommand(const std::string& name) const;
    ValueHint HintOf(const CLI::Option& option) const;
    // The name given to Value(); empty for a flag.
    std::string ValueName(const CLI::Option& option) const;

private:
    CLI::App& AddApp(const char* name, const char* summary, const std::string& details);
    std::string UnknownArgument(const std::vector<std::string>& extras) const;

    CLI::App m_app;
    std::map<const CLI::App*, RunFn> m_runs;
    struct ValueInfo {
        std::string name;
        ValueHint hint;
    };
    std::map<const CLI::Option*, ValueInfo> m_values;
    bool m_bHelpAsked = false;
};

// Registers the commands of tqr905, in the order --help lists them.
void AddCommands(CommandSet& set);

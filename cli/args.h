#pragma once
// The command line: global options (anywhere), one command, and the
// command's own options and positional arguments. Options take "--name value"
// or "--name=value"; "--" ends the options.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct OptionSpec {
    std::string_view name;  // without the dashes
    bool takesValue;
};

struct ParsedCommandLine {
    // Global options
    std::optional<std::string> device;
    std::optional<std::string> trace;
    std::optional<std::string> lang;
    bool help = false;

    std::string command;  // empty when none was given
    std::vector<std::string> positional;
    std::map<std::string, std::string, std::less<>> options;  // flags map to ""

    bool Has(std::string_view name) const { return options.find(name) != options.end(); }
    std::string Get(std::string_view name) const;
};

// The options of a command, or null when there is no such command.
using CommandOptionLookup = std::function<const std::vector<OptionSpec>*(const std::string&)>;

// Fills `result`; the error text when the line is malformed (unknown command
// or option, an option without its value).
std::optional<std::string> ParseCommandLine(const std::vector<std::string>& args,
                                            const CommandOptionLookup& lookup,
                                            ParsedCommandLine& result);

// A whole decimal number in [lo, hi]; none otherwise.
std::optional<int> ParseIntInRange(const std::string& text, int lo, int hi);

// The text after the last "." of the file name, compared exactly as the
// preset dialogs compare it ("dsps" and "DSPS" differ).
std::string ExtensionOf(const std::string& path);

#include "cli/args.h"

#include <charconv>

namespace {

constexpr OptionSpec kGlobalOptions[] = {
    {"device", true},
    {"trace", true},
    {"lang", true},
    {"help", false},
};

const OptionSpec* FindOption(std::string_view name, const std::vector<OptionSpec>* list) {
    for (const OptionSpec& spec : kGlobalOptions) {
        if (spec.name == name) return &spec;
    }
    if (list == nullptr) return nullptr;
    for (const OptionSpec& spec : *list) {
        if (spec.name == name) return &spec;
    }
    return nullptr;
}

bool IsOptionToken(const std::string& token) {
    if (token == "-h") return true;
    if (token.size() < 2 || token[0] != '-') return false;
    // "-6" and "-0.5" are values, not options.
    const char second = token[1];
    return !(second >= '0' && second <= '9') && second != '.';
}

void StoreOption(ParsedCommandLine& result, std::string_view name, std::string value) {
    if (name == "device") {
        result.device = std::move(value);
    } else if (name == "trace") {
        result.trace = std::move(value);
    } else if (name == "lang") {
        result.lang = std::move(value);
    } else if (name == "help") {
        result.help = true;
    } else {
        result.options[std::string(name)] = std::move(value);
    }
}

}  // namespace

std::string ParsedCommandLine::Get(std::string_view name) const {
    const auto it = options.find(name);
    return it == options.end() ? std::string() : it->second;
}

std::optional<std::string> ParseCommandLine(const std::vector<std::string>& args,
                                            const CommandOptionLookup& lookup,
                                            ParsedCommandLine& result) {
    const std::vector<OptionSpec>* commandOptions = nullptr;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& token = args[i];
        if (!optionsEnded && token == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || !IsOptionToken(token)) {
            if (result.command.empty()) {
                commandOptions = lookup(token);
                if (commandOptions == nullptr) return "unknown command '" + token + "'";
                result.command = token;
            } else {
                result.positional.push_back(token);
            }
            continue;
        }
        if (token == "-h") {
            result.help = true;
            continue;
        }
        const std::size_t nameStart = token.rfind("--", 0) == 0 ? 2 : 1;
        const std::size_t equals = token.find('=');
        const std::string name = token.substr(
            nameStart, equals == std::string::npos ? std::string::npos : equals - nameStart);
        const OptionSpec* spec = FindOption(name, commandOptions);
        if (spec == nullptr) return "unknown option '" + token + "'";
        std::string value;
        if (equals != std::string::npos) {
            if (!spec->takesValue) return "option '--" + name + "' takes no value";
            value = token.substr(equals + 1);
        } else if (spec->takesValue) {
            if (i + 1 >= args.size()) return "option '--" + name + "' needs a value";
            value = args[++i];
        }
        StoreOption(result, spec->name, std::move(value));
    }
    return std::nullopt;
}

std::optional<int> ParseIntInRange(const std::string& text, int lo, int hi) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < lo || value > hi) {
        return std::nullopt;
    }
    return value;
}

std::string ExtensionOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return path.substr(dot + 1);
}

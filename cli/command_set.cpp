#include "cli/command_set.h"

#include <algorithm>
#include <ostream>

namespace {

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

bool KnownDeviceScheme(const std::string& uri) {
    for (const char* scheme : {"hidraw:", "vhid:"}) {
        const std::string_view prefix(scheme);
        if (uri.rfind(prefix, 0) == 0 && uri.size() > prefix.size() + 1) return true;
    }
    return false;
}

// The help of one command: the usage line, the summary, the arguments and
// options as CLI11 lists them, then the details.
class CommandHelpFormatter : public CLI::Formatter {
public:
    explicit CommandHelpFormatter(const CommandSet& set) : m_set(set) {
        label("Positionals", "arguments");
        label("Options", "options");
        label("REQUIRED", "(required)");
        column_width(26);
    }
    std::string make_help(const CLI::App* app, std::string,
                          CLI::AppFormatMode mode) const override {
        const std::string details = app->get_footer();
        return "usage: tqr905 [global options] " + m_set.UsageOf(*app) + "\n\n" +
               app->get_description() + ".\n" + make_positionals(app) + make_groups(app, mode) +
               "\n" + details + (details.empty() ? "" : "\n") +
               "global options and exit statuses: tqr905 --help\n";
    }
    std::string make_option_name(const CLI::Option* option, bool positional) const override {
        return positional ? m_set.ValueName(*option)
                          : CLI::Formatter::make_option_name(option, false);
    }
    std::string make_option_opts(const CLI::Option* option) const override {
        if (option->get_positional()) return {};
        std::string text;
        if (const std::string value = m_set.ValueName(*option); !value.empty()) text += " " + value;
        if (option->get_required()) text += " " + get_label("REQUIRED");
        return text;
    }

private:
    const CommandSet& m_set;
};

std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// " (did you mean 'info'?)" for a close enough word; empty otherwise.
std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates) {
    const std::string* best = nullptr;
    std::size_t bestDistance = std::max<std::size_t>(2, word.size() / 3) + 1;
    for (const std::string& candidate : candidates) {
        const std::size_t distance = EditDistance(word, candidate);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = &candidate;
        }
    }
    return best != nullptr ? " (did you mean '" + *best + "'?)" : std::string();
}

std::vector<std::string> LongNamesOf(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_lnames())
            names.push_back("--" + name);
    }
    return names;
}

}  // namespace

CommandSet::CommandSet(GlobalOptions& global) : m_app("", "tqr905") {
    m_app.require_subcommand(0, 1);
    m_app.allow_extras();
    m_app.fallthrough();
    m_app.option_defaults()->group("options");
    m_app.set_help_flag("-h,--help", "this text");
    m_app.formatter(std::make_shared<CommandHelpFormatter>(*this));
    const auto deviceCheck = [](const std::string& uri) -> std::string {
        if (KnownDeviceScheme(uri)) return {};
        return "unknown device '" + uri + "' (use hidraw:/dev/hidrawN or vhid:/path/name.sock)";
    };
    Value(m_app.add_option("--device", global.device, "the interface to use")
              ->envname("TQR905_DEVICE")
              ->check(CLI::Validator(deviceCheck, "URI")),
          "URI", {ValueHint::Kind::Device, {}});
    Value(m_app.add_option("--trace", global.trace, "append every report to FILE"), "FILE",
          {ValueHint::Kind::Files, {}});
    Value(m_app.add_option("--lang", global.lang, "language of the device's texts")
              ->check(CLI::IsMember({"en", "zh"})),
          "en|zh", {ValueHint::Kind::Choice, {"en", "zh"}});
}

CLI::App& CommandSet::AddApp(const char* name, const char* summary, const std::string& details) {
    CLI::App* app = m_app.add_subcommand(name, summary);
    app->fallthrough();
    app->allow_extras();
    app->footer(details);
    app->get_help_ptr()->group("options");
    return *app;
}

CLI::Option* CommandSet::Value(CLI::Option* option, const char* valueName, ValueHint hint) {
    m_values[option] = {valueName, std::move(hint)};
    return option;
}

ValueHint CommandSet::HintOf(const CLI::Option& option) const {
    const auto it = m_values.find(&option);
    return it != m_values.end() ? it->second.hint : ValueHint{};
}

std::string CommandSet::ValueName(const CLI::Option& option) const {
    const auto it = m_values.find(&option);
    return it != m_values.end() ? it->second.name : std::string();
}

std::vector<const CLI::App*> CommandSet::Commands() const {
    return m_app.get_subcommands([](const CLI::App*) { return true; });
}

const CLI::App* CommandSet::FindCommand(const std::string& name) const {
    for (const CLI::App* command : Commands()) {
        if (command->get_name() == name) return command;
    }
    return nullptr;
}

const CLI::App* CommandSet::Chosen() const {
    const std::vector<CLI::App*> chosen = m_app.get_subcommands();
    return chosen.empty() ? nullptr : chosen.front();
}

int CommandSet::RunChosen(CliContext& ctx) const {
    return m_runs.at(Chosen())(ctx);
}

std::optional<std::string> CommandSet::Parse(const std::vector<std::string>& args) {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        m_app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        m_bHelpAsked = true;
        return std::nullopt;
    } catch (const CLI::ParseError& e) {
        // CLI11's texts: "--channel: Value 7 not in range 1 to 6", "--out is required".
        return std::string(e.what());
    }
    const std::vector<std::string> extras = m_app.remaining(true);
    if (!extras.empty()) return UnknownArgument(extras);
    return std::nullopt;
}

std::string CommandSet::UnknownArgument(const std::vector<std::string>& extras) const {
    const std::string& word = extras.front();
    const CLI::App* chosen = Chosen();
    if (word.size() > 1 && word[0] == '-') {
        const std::string name = word.substr(0, word.find('='));
        std::vector<std::string> known = LongNamesOf(m_app);
        if (chosen != nullptr) {
            const std::vector<std::string> own = LongNamesOf(*chosen);
            known.insert(known.end(), own.begin(), own.end());
        }
        return "unknown option '" + word + "'" + DidYouMean(name, known);
    }
    if (chosen == nullptr) {
        std::vector<std::string> names;
        for (const CLI::App* command : Commands())
            names.push_back(command->get_name());
        return "unknown command '" + word + "'" + DidYouMean(word, names);
    }
    return "unexpected argument '" + word + "'; usage: tqr905 " + UsageOf(*chosen);
}

std::string CommandSet::UsageOf(const CLI::App& command) const {
    std::string usage = command.get_name();
    std::string options;
    for (const CLI::Option* option : command.get_options()) {
        if (option == command.get_help_ptr()) continue;
        if (option->get_positional()) {
            std::string word = ValueName(*option);
            if (option->get_items_expected_max() > 1) word += " ...";
            usage += " " + (option->get_required() ? word : "[" + word + "]");
            continue;
        }
        std::string word = option->get_name();
        if (const std::string value = ValueName(*option); !value.empty()) word += " " + value;
        options += " " + (option->get_required() ? word : "[" + word + "]");
    }
    return usage + options;
}

void CommandSet::PrintToolHelp(std::ostream& out) const {
    out << kToolUsage << "\ncommands:\n";
    for (const CLI::App* command : Commands()) {
        constexpr std::size_t kUsageColumn = 34;
        std::string usage = UsageOf(*command);
        // A long usage gets a line of its own.
        usage += usage.size() < kUsageColumn ? std::string(kUsageColumn - usage.size(), ' ')
                                             : "\n" + std::string(kUsageColumn + 2, ' ');
        out << "  " << usage << " " << command->get_description() << "\n";
    }
    out << kGlobalHelp;
}

void CommandSet::PrintCommandHelp(std::ostream& out, const CLI::App& command) const {
    out << command.help();
}

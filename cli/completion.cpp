// What the shell completion asks of tqr905: the words that may stand where
// the cursor is, from the same command table the parser uses. The first line
// of the answer says what kind they are:
//   words      one candidate per following line
//   files EXT  files ending in .EXT (several EXT possible), and folders
//   devices    the interfaces `tqr905 devices` lists

#include "cli/completion.h"

#include <ostream>

#include "edits/edits.h"

namespace {

bool IsOptionWord(const std::string& word) {
    return word.size() > 1 && word[0] == '-' && !(word[1] >= '0' && word[1] <= '9');
}

const CLI::Option* FindOption(const CLI::App& app, const std::string& word) {
    for (const CLI::Option* option : app.get_options()) {
        if (!option->get_positional() && option->check_name(word)) return option;
    }
    return nullptr;
}

void PrintWords(std::ostream& out, const std::vector<std::string>& words) {
    out << "words\n";
    for (const std::string& word : words)
        out << word << "\n";
}

void PrintHint(std::ostream& out, const CommandSet& set, const ValueHint& hint) {
    switch (hint.kind) {
        case ValueHint::Kind::Files:
            out << "files";
            for (const std::string& ext : hint.words)
                out << " " << ext;
            out << "\n";
            return;
        case ValueHint::Kind::Device:
            out << "devices\n";
            return;
        case ValueHint::Kind::Command: {
            std::vector<std::string> names;
            for (const CLI::App* command : set.Commands())
                names.push_back(command->get_name());
            PrintWords(out, names);
            return;
        }
        case ValueHint::Kind::Key:
        case ValueHint::Kind::Pair: {
            std::vector<std::string> keys;
            const char* suffix = hint.kind == ValueHint::Kind::Pair ? "=" : "";
            for (const EditKey& key : AllEditKeys())
                keys.push_back(EditKeyName(key) + suffix);
            PrintWords(out, keys);
            return;
        }
        case ValueHint::Kind::Choice:
            PrintWords(out, hint.words);
            return;
        case ValueHint::Kind::Any:
            break;
    }
    PrintWords(out, {});
}

std::vector<std::string> OptionNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::Option* option : app.get_options()) {
        if (option->get_positional()) continue;
        for (const std::string& name : option->get_lnames())
            names.push_back("--" + name);
    }
    return names;
}

}  // namespace

void PrintCompletion(std::ostream& out, const CommandSet& set,
                     const std::vector<std::string>& before, const std::string& current) {
    const CLI::App& root = set.Root();
    const CLI::App* command = nullptr;
    std::size_t positionals = 0;
    const CLI::Option* awaiting = nullptr;  // an option whose value comes next
    for (const std::string& word : before) {
        if (awaiting != nullptr) {
            awaiting = nullptr;
            continue;
        }
        if (IsOptionWord(word)) {
            const std::string name = word.substr(0, word.find('='));
            const CLI::Option* option = command != nullptr ? FindOption(*command, name) : nullptr;
            if (option == nullptr) option = FindOption(root, name);
            if (option != nullptr && option->get_type_size_max() > 0 &&
                word.find('=') == std::string::npos)
                awaiting = option;
        } else if (command == nullptr) {
            command = set.FindCommand(word);
        } else {
            ++positionals;
        }
    }
    if (awaiting != nullptr) return PrintHint(out, set, set.HintOf(*awaiting));
    if (IsOptionWord(current) || current == "-") {
        std::vector<std::string> names = OptionNames(root);
        if (command != nullptr) {
            const std::vector<std::string> own = OptionNames(*command);
            names.insert(names.end(), own.begin(), own.end());
        }
        return PrintWords(out, names);
    }
    if (command == nullptr) return PrintHint(out, set, {ValueHint::Kind::Command, {}});
    for (const CLI::Option* option : command->get_options()) {
        if (!option->get_positional()) continue;
        const bool repeats = option->get_items_expected_max() > 1;
        if (positionals == 0 || repeats) return PrintHint(out, set, set.HintOf(*option));
        --positionals;
    }
    PrintWords(out, {});
}

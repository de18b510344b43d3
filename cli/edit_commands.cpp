// set and get: settings by name, through the same edit operations as the
// desktop workspace.

#include <ostream>

#include "cli/device_session.h"
#include "cli/terminal_text.h"
#include "edits/edits.h"

namespace {

// A band frequency may travel in octave steps; every channel linked to the
// edited one sends its items too.
constexpr int kPacketsPerEdit = 6 * 12;

std::string JoinErrors(const std::vector<std::string>& errors) {
    std::string text;
    for (const std::string& error : errors)
        text += (text.empty() ? "" : "; ") + error;
    return text;
}

std::string ValueLines(const CKTV_Data& model, const std::vector<EditKey>& keys) {
    const std::vector<ValueText> values = GetValues(model, keys);
    std::string lines;
    for (std::size_t i = 0; i < keys.size(); ++i)
        lines +=
            EditKeyName(keys[i]) + "=" + (values[i].ok ? TerminalText(values[i].text) : "?") + "\n";
    return lines;
}

}  // namespace

int CmdSet(CliContext& ctx, const WordsArgs& args) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const std::string& arg : args.words) {
        std::string key;
        std::string value;
        if (!SplitAssignment(arg, &key, &value))
            return Fail(ctx, kExitUsage, "'" + arg + "' is not KEY=VALUE");
        pairs.emplace_back(std::move(key), std::move(value));
    }
    const ParsedEdits parsed = ParseEdits(pairs);
    if (!parsed.ok()) return Fail(ctx, kExitRefused, JoinErrors(parsed.errors));
    std::vector<EditKey> keys;
    for (const Edit& edit : parsed.edits)
        keys.push_back(edit.target);

    return WithDevice(ctx, [&](CDeviceSession& session) -> int {
        // Checks against the model come first; a refusal changes nothing.
        const EditOutcome outcome = session.Session().ApplyEdits(parsed.edits);
        if (!outcome.ok) return Fail(ctx, kExitRefused, JoinErrors(outcome.errors));
        // What was set, taken before a status reply that answers a poll sent
        // before the edit can show the old input source for a moment.
        const std::string values = ValueLines(session.Model(), keys);
        const int packets = kPacketsPerEdit * static_cast<int>(parsed.edits.size());
        const int status = session.WaitUntilSettled(packets, "sending the changes");
        if (status == kExitOk) ctx.out << values;
        return status;
    });
}

int CmdGet(CliContext& ctx, const WordsArgs& args) {
    std::vector<EditKey> keys;
    for (const std::string& name : args.words) {
        std::string error;
        const auto key = ParseEditKey(name, &error);
        if (!key)
            return Fail(ctx, kExitRefused, error.empty() ? "unknown key '" + name + "'" : error);
        keys.push_back(*key);
    }
    return WithDevice(ctx, [&](CDeviceSession& session) -> int {
        ctx.out << ValueLines(session.Model(), keys);
        return kExitOk;
    });
}

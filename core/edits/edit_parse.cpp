#include <algorithm>
#include <optional>

#include "edits/edit_checks.h"
#include "edits/edit_values.h"
#include "edits/edits.h"
#include "image/param_image.h"

namespace {

// Q and bandwidth are two spellings of one setting.
EditKind SettingOf(EditKind kind) {
    return kind == EditKind::BandQ ? EditKind::BandBandwidth : kind;
}

bool SameSetting(const EditKey& a, const EditKey& b) {
    return SettingOf(a.kind) == SettingOf(b.kind) && a.channel == b.channel && a.index == b.index;
}

std::string TwiceError(const EditKey& first, const EditKey& second) {
    if (first == second) return EditKeyName(first) + " is given twice";
    return EditKeyName(first) + " and " + EditKeyName(second) + " set the same value";
}

std::optional<int> CrossoverFreqOf(const std::vector<Edit>& edits, int channel, int side) {
    for (const Edit& e : edits) {
        if (e.target == EditKey{EditKind::XoverFreq, channel, side}) return e.value;
    }
    return std::nullopt;
}

}  // namespace

std::vector<std::string> CommandErrors(const std::vector<Edit>& edits) {
    std::vector<std::string> errors;
    for (std::size_t i = 0; i < edits.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (SameSetting(edits[j].target, edits[i].target)) {
                errors.push_back(TwiceError(edits[j].target, edits[i].target));
                break;
            }
        }
    }
    for (int c = 0; c < kOutputCount; ++c) {
        const std::optional<int> high = CrossoverFreqOf(edits, c, kEditHighPass);
        const std::optional<int> low = CrossoverFreqOf(edits, c, kEditLowPass);
        if (high && low && *high > *low) {
            errors.push_back(EditKeyName({EditKind::XoverFreq, c, kEditHighPass}) + ": " +
                             std::to_string(*high) + " Hz is above " +
                             EditKeyName({EditKind::XoverFreq, c, kEditLowPass}) + " " +
                             std::to_string(*low) + " Hz");
        }
    }
    return errors;
}

ParsedEdit ParseEdit(const std::string& key, const std::string& value) {
    std::string error;
    const std::optional<EditKey> target = ParseEditKey(key, &error);
    if (!target) return {std::nullopt, error};
    KeyValueParse parsed = ParseKeyValue(target->kind, value);
    if (!parsed.value) return {std::nullopt, EditKeyName(*target) + ": " + parsed.error};
    return {Edit{*target, *parsed.value, std::move(parsed.text)}, {}};
}

ParsedEdits ParseEdits(const std::vector<std::pair<std::string, std::string>>& pairs) {
    ParsedEdits result;
    for (const auto& [key, value] : pairs) {
        ParsedEdit parsed = ParseEdit(key, value);
        if (parsed.edit) {
            result.edits.push_back(std::move(*parsed.edit));
        } else {
            result.errors.push_back(std::move(parsed.error));
        }
    }
    for (std::string& error : CommandErrors(result.edits))
        result.errors.push_back(std::move(error));
    if (!result.errors.empty()) result.edits.clear();
    return result;
}

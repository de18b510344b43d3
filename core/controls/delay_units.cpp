#include "controls/delay_units.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "controls/num_value.h"
#include "controls/number_text.h"
#include "model/text_field.h"

namespace {

constexpr int kUnitSamples = -1;  // a raw sample count

struct UnitWord {
    const char* word;
    int unit;
};

constexpr UnitWord kUnitWords[] = {
    {"ms", kDelayUnitMs},     {"cm", kDelayUnitCm},       {"in", kDelayUnitInch},
    {"inch", kDelayUnitInch}, {"inches", kDelayUnitInch}, {"smp", kUnitSamples},
    {"sample", kUnitSamples}, {"samples", kUnitSamples},
};

constexpr const char* kUnitSuffix[] = {"ms", "cm", "in"};

CNumValue DelayField(int unit) {
    CNumValue field;
    field.SetType(unit);
    field.SetRange(0, kDelayMaxSamples);
    return field;
}

bool IsKnownUnit(int unit) {
    return unit >= kDelayUnitMs && unit <= kDelayUnitInch;
}

// atof would also take "nan" and "inf"; a delay must start like a number:
// a sign and a point at most, then a digit.
bool StartsLikeNumber(const std::string& text) {
    const std::size_t first = text.find_first_not_of("+-.");
    return first != std::string::npos && first <= 2 &&
           std::isdigit(static_cast<unsigned char>(text[first]));
}

bool FindUnit(const std::string& word, int* unit) {
    for (const auto& u : kUnitWords) {
        if (strcasecmp(word.c_str(), u.word) == 0) {
            *unit = u.unit;
            return true;
        }
    }
    return false;
}

}  // namespace

std::string DelayText(int samples, int unit) {
    if (!IsKnownUnit(unit)) return {};
    return DelayField(unit).TextOf(samples);
}

std::string DelayTextWithUnit(int samples, int unit) {
    if (!IsKnownUnit(unit)) return {};
    return DelayText(samples, unit) + kUnitSuffix[unit];
}

int ParseDelay(const std::string& text, bool* ok) {
    bool parsed = false;
    int samples = 0;
    std::size_t used = 0;
    const std::string trimmed = TrimSpaces(text);
    const double number = ParseLeadingDouble(trimmed, &used);
    int unit = kDelayUnitMs;
    if (StartsLikeNumber(trimmed) && used > 0 && std::isfinite(number) &&
        FindUnit(TrimSpaces(trimmed.substr(used)), &unit)) {
        parsed = true;
        if (unit == kUnitSamples) {
            samples = static_cast<int>(std::clamp(std::trunc(number), 0.0, 1.0 * kDelayMaxSamples));
        } else {
            samples = DelayField(unit).ParseText(trimmed.substr(0, used));
        }
    }
    if (ok) *ok = parsed;
    return samples;
}

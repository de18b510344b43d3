#include "edits/edit_values.h"

#include <strings.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <span>

#include "base/texts.h"
#include "controls/delay_units.h"
#include "controls/num_value.h"
#include "controls/number_text.h"
#include "edits/field_descriptions.h"
#include "edits/xover_lists.h"
#include "image/record_layout.h"
#include "model/text_field.h"
#include "tables/value_tables.h"

namespace {

// ------------------------------------------------------------ numbers

// A typed number: sign, digits with at most one decimal point, then an
// optional unit word. No exponents, no "nan" or "inf": atof would take those.
struct TypedNumber {
    std::string number;
    double value = 0.0;
    std::string unit;
    bool whole = true;
};

std::optional<TypedNumber> SplitTypedNumber(const std::string& typed) {
    const std::string text = TrimSpaces(typed);
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    int digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (std::isdigit(c)) {
            ++digits;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return std::nullopt;
    TypedNumber n;
    n.number = text.substr(0, i);
    n.value = ParseLeadingDouble(n.number);
    n.unit = TrimSpaces(text.substr(i));
    n.whole = !point;
    return n;
}

bool SameWord(const std::string& a, const char* b) {
    return strcasecmp(a.c_str(), b) == 0;
}

bool IsOffWord(const std::string& typed) {
    const std::string word = TrimSpaces(typed);
    return SameWord(word, TextIn(TextId::Off, false)) || word == TextIn(TextId::Off, true);
}

std::string Quoted(const std::string& typed) {
    return "'" + typed + "'";
}

KeyValueParse Refused(std::string error) {
    return {std::nullopt, {}, std::move(error)};
}

KeyValueParse Value(int value) {
    return {value, {}, {}};
}

std::string RangeText(double lo, double hi, const char* unit) {
    std::string text = FormatNumber("%g", lo) + ".." + FormatNumber("%g", hi);
    if (unit[0] != '\0' && unit[0] != '%') text += std::string(" ") + unit;
    return text;
}

std::string NotANumber(const std::string& typed, const char* unit) {
    std::string error = Quoted(typed) + " is not a number";
    if (unit[0] != '\0') error += std::string(" (a unit may follow: ") + unit + ")";
    return error;
}

// Range checks leave room for the binary form of a typed decimal.
constexpr double kRangeSlack = 1e-9;

KeyValueParse ParseNumeric(const FieldDescription& rule, const std::string& typed) {
    const CNumValue field = FieldValue(rule);
    if (rule.takesOff && IsOffWord(typed)) return Value(field.ParseText(typed));
    const std::optional<TypedNumber> n = SplitTypedNumber(typed);
    if (!n || (!n->unit.empty() && !SameWord(n->unit, rule.unit)))
        return Refused(NotANumber(typed, rule.unit));
    if (!rule.clamps &&
        (n->value < rule.minValue - kRangeSlack || n->value > rule.maxValue + kRangeSlack))
        return Refused(n->number + " is outside " +
                       RangeText(rule.minValue, rule.maxValue, rule.unit));
    return Value(field.ParseText(n->number));
}

// ------------------------------------------------------------ words

std::string WordList(std::span<const FieldWord> words) {
    std::string list;
    for (const FieldWord& w : words)
        list += (list.empty() ? "" : ", ") + std::string(w.word);
    return list;
}

KeyValueParse ParseWord(const FieldDescription& rule, const std::string& typed) {
    const std::string word = TrimSpaces(typed);
    for (const FieldWord& w : rule.words) {
        if (SameWord(word, w.word)) return Value(w.value);
    }
    return Refused(Quoted(typed) + " is not one of " + WordList(rule.words));
}

bool IsSwitch(EditKind kind) {
    return kind == EditKind::ChannelOutput || kind == EditKind::BandBypass ||
           kind == EditKind::MasterOutput;
}

// Switches read any non-zero byte as on; a source above the plain ones is
// the player.
std::string WordText(const FieldDescription& rule, int value) {
    if (IsSwitch(rule.kind)) value = value != 0 ? 1 : 0;
    if (rule.kind == EditKind::Source && value > kHighestPlainSource) value = kSourcePlayer;
    const char* word = FieldWordOf(rule.kind, value);
    return word != nullptr ? word : std::to_string(value);
}

// ------------------------------------------------------------ the others

constexpr const char* kSlopeUnits[] = {"", "dB", "dB/Oct"};

KeyValueParse ParseSlope(const std::string& typed) {
    if (IsOffWord(typed)) return Value(0);
    const std::optional<TypedNumber> n = SplitTypedNumber(typed);
    const bool unitOk = n && std::any_of(std::begin(kSlopeUnits), std::end(kSlopeUnits),
                                         [&](const char* unit) { return SameWord(n->unit, unit); });
    if (unitOk && n->whole) {
        const int db = static_cast<int>(n->value);
        const std::span<const int> labels = SlopeLabels();
        if (db != 0 && std::find(labels.begin(), labels.end(), db) != labels.end())
            return Value(db);
    }
    return Refused(Quoted(typed) + " is not a slope (6, 12, 18, 24, 36 or off)");
}

// A bare whole number counts samples; anything with a unit goes through the
// delay units. Both clamp to 0..960 like the delay field.
KeyValueParse ParseDelayValue(const std::string& typed) {
    const std::optional<TypedNumber> n = SplitTypedNumber(typed);
    const std::string error =
        Quoted(typed) + " is not a delay (samples, or a number with ms, cm or in)";
    if (!n) return Refused(error);
    if (n->unit.empty()) {
        if (!n->whole) return Refused(Quoted(typed) + ": a bare delay counts whole samples");
        return Value(static_cast<int>(std::clamp(n->value, 0.0, 1.0 * kDelayMaxSamples)));
    }
    bool ok = false;
    const int samples = ParseDelay(TrimSpaces(typed), &ok);
    return ok ? Value(samples) : Refused(error);
}

KeyValueParse ParseBandwidth(EditKind kind, const std::string& typed) {
    const std::optional<TypedNumber> n = SplitTypedNumber(typed);
    if (!n || !n->unit.empty()) return Refused(NotANumber(typed, ""));
    if (n->value < kBandwidthMinOctaves - kRangeSlack ||
        n->value > kBandwidthMaxOctaves + kRangeSlack)
        return Refused(n->number + " is outside " + FieldRangeText(DescribeField(kind)));
    return Value(BandwidthToIndex(n->value));
}

// The name field holds seven GBK bytes and a NUL.
KeyValueParse ParseName(const std::string& typed) {
    bool ok = true;
    const std::string gbk = Utf8ToGbk(typed, &ok);
    if (HasControlCharacters(typed)) return Refused("the name has control characters");
    if (!ok) return Refused(Quoted(typed) + " has characters GBK cannot hold");
    if (static_cast<int>(gbk.size()) > NameFieldBytes())
        return Refused(std::string(Text(TextId::CharLenError)) + " (at most " +
                       std::to_string(NameFieldBytes()) + " bytes)");
    return {0, typed, {}};
}

}  // namespace

KeyValueParse ParseKeyValue(EditKind kind, const std::string& typed) {
    const FieldDescription& field = DescribeField(kind);
    if (field.shape == FieldShape::Number) return ParseNumeric(field, typed);
    if (field.shape == FieldShape::Words) return ParseWord(field, typed);
    switch (kind) {
        case EditKind::XoverSlope:
            return ParseSlope(typed);
        case EditKind::ChannelDelay:
            return ParseDelayValue(typed);
        case EditKind::BandBandwidth:
            return ParseBandwidth(kind, typed);
        case EditKind::ChannelName:
            return ParseName(typed);
        default:
            return Refused("no value rule");
    }
}

std::string KeyValueText(EditKind kind, int value) {
    const FieldDescription& field = DescribeField(kind);
    if (field.shape == FieldShape::Words) return WordText(field, value);
    switch (kind) {
        case EditKind::ChannelDelay:
        case EditKind::Mix:
            return std::to_string(value);
        case EditKind::BandFreq:
            return std::to_string(value) + "Hz";
        case EditKind::BandGain:
            return FieldValue(field).TextOf(value) + "dB";
        case EditKind::BandQ: {
            const int index = std::clamp(value, 0, kBandwidthIndexCount - 1);
            return FormatNumber("%0.3f", g_adQTable[static_cast<std::size_t>(index)]);
        }
        default:
            break;
    }
    if (field.shape == FieldShape::Number) return FieldValue(field).TextOf(value);
    return std::to_string(value);
}

std::string SlopeValueText(int family, int code) {
    const int entry = SlopeEntryOfCode(family, code);
    if (entry < 0) return "code " + std::to_string(code);
    return SlopeLabelText(SlopeListOf(family)[static_cast<std::size_t>(entry)].dbPerOctave);
}

std::string BandwidthText(double octaves) {
    return FormatNumber("%0.2f", octaves);
}

#include "workspace/edit_values.h"

#include <strings.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <span>

#include "base/texts.h"
#include "controls/delay_units.h"
#include "controls/num_value.h"
#include "controls/number_text.h"
#include "image/record_layout.h"
#include "model/text_field.h"
#include "tables/value_tables.h"
#include "workspace/xover_lists.h"

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

// Fields whose typed value is a number of one value type.
struct NumericRule {
    EditKind kind;
    int type;
    double step;
    double offset;
    int lo;  // step range of the field
    int hi;
    double minValue;  // range of the typed value
    double maxValue;
    const char* unit;  // accepted after the number
    bool clamps;       // the field clamps instead of refusing
    bool takesOff;     // "off" stands for the field's off value
};

constexpr std::array<NumericRule, 9> kNumericRules{{
    {EditKind::ChannelGain, kValGainDb, 1.0, 60.0, 0, 60, -60.0, 0.0, "dB", false, true},
    {EditKind::MasterVolume, kValGainDb, 1.0, 60.0, 0, 66, -60.0, 6.0, "dB", false, true},
    {EditKind::BandGain, kValEqGain, 0.1, 20.0, 0, kGainIndexMax, -20.0, 20.0, "dB", false, false},
    {EditKind::BandFreq, kValBandFreq, 0.0, 0.0, 20, 20000, 20.0, 20000.0, "Hz", false, false},
    {EditKind::BandQ, kValQ, 0.0, 0.0, 0, kBandwidthIndexCount - 1, 0.0, 0.0, "", true, false},
    {EditKind::XoverFreq, kValXoverFreq, 0.0, 0.0, 20, 20000, 20.0, 20000.0, "Hz", false, false},
    {EditKind::Mix, kValMixPercent, 1.0, 0.0, 0, 100, 0.0, 100.0, "%", false, false},
    {EditKind::LimitThreshold, kValThresholdDbu, 0.1, 30.0, 0, 360, -30.0, 6.0, "dBu", false,
     false},
    {EditKind::LimitAttack, kValAttack, 0.0, 0.0, 0, 106, 0.3, 100.0, "ms", false, false},
}};

const NumericRule* FindNumericRule(EditKind kind) {
    for (const NumericRule& rule : kNumericRules) {
        if (rule.kind == kind) return &rule;
    }
    return nullptr;
}

CNumValue FieldOf(const NumericRule& rule) {
    CNumValue field;
    field.SetType(rule.type);
    field.SetStep(rule.step);
    field.SetOffset(rule.offset);
    field.SetRange(rule.lo, rule.hi);
    return field;
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

KeyValueParse ParseNumeric(const NumericRule& rule, const std::string& typed) {
    const CNumValue field = FieldOf(rule);
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

struct WordValue {
    const char* word;
    int value;
};

constexpr WordValue kPhaseWords[] = {{"normal", 0}, {"inverted", 1}};
constexpr WordValue kSwitchWords[] = {{"on", 1}, {"off", 0}};
constexpr WordValue kBandTypeWords[] = {
    {"peq", kBandPeaking}, {"lowshelf", kBandLowShelf}, {"highshelf", kBandHighShelf}};
constexpr WordValue kFamilyWords[] = {
    {"lr", kFamilyLinkwitzRiley}, {"bessel", kFamilyBessel}, {"butterworth", kFamilyButterworth}};
constexpr WordValue kEqModeWords[] = {{"parametric", 0}, {"graphic", 1}};
constexpr WordValue kSourceWords[] = {{"high", 0}, {"low", 1}, {"bluetooth", 2}, {"player", 5}};
constexpr WordValue kReleaseWords[] = {{"2", 0}, {"4", 1},  {"6", 2},
                                       {"8", 3}, {"16", 4}, {"32", 5}};

struct WordRule {
    EditKind kind;
    std::span<const WordValue> words;
};

constexpr std::array<WordRule, 9> kWordRules{{
    {EditKind::ChannelPhase, kPhaseWords},
    {EditKind::ChannelOutput, kSwitchWords},
    {EditKind::BandBypass, kSwitchWords},
    {EditKind::MasterOutput, kSwitchWords},
    {EditKind::BandType, kBandTypeWords},
    {EditKind::XoverFamily, kFamilyWords},
    {EditKind::ChannelEqMode, kEqModeWords},
    {EditKind::Source, kSourceWords},
    {EditKind::LimitRelease, kReleaseWords},
}};

const WordRule* FindWordRule(EditKind kind) {
    for (const WordRule& rule : kWordRules) {
        if (rule.kind == kind) return &rule;
    }
    return nullptr;
}

std::string WordList(std::span<const WordValue> words) {
    std::string list;
    for (const WordValue& w : words)
        list += (list.empty() ? "" : ", ") + std::string(w.word);
    return list;
}

KeyValueParse ParseWord(const WordRule& rule, const std::string& typed) {
    const std::string word = TrimSpaces(typed);
    for (const WordValue& w : rule.words) {
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
std::string WordText(const WordRule& rule, int value) {
    if (IsSwitch(rule.kind)) value = value != 0 ? 1 : 0;
    if (rule.kind == EditKind::Source && value > kHighestPlainSource) value = kSourcePlayer;
    for (const WordValue& w : rule.words) {
        if (w.value == value) return w.word;
    }
    return std::to_string(value);
}

// ------------------------------------------------------------ the others

constexpr int kSlopeLabels[] = {6, 12, 18, 24, 36};
constexpr const char* kSlopeUnits[] = {"", "dB", "dB/Oct"};

KeyValueParse ParseSlope(const std::string& typed) {
    if (IsOffWord(typed)) return Value(0);
    const std::optional<TypedNumber> n = SplitTypedNumber(typed);
    const bool unitOk = n && std::any_of(std::begin(kSlopeUnits), std::end(kSlopeUnits),
                                         [&](const char* unit) { return SameWord(n->unit, unit); });
    if (unitOk && n->whole) {
        const int db = static_cast<int>(n->value);
        if (std::find(std::begin(kSlopeLabels), std::end(kSlopeLabels), db) !=
            std::end(kSlopeLabels))
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

constexpr double kBandwidthMin = 0.05;
constexpr double kBandwidthMax = 3.0;

KeyValueParse ParseBandwidth(const std::string& typed) {
    const std::optional<TypedNumber> n = SplitTypedNumber(typed);
    if (!n || !n->unit.empty()) return Refused(NotANumber(typed, ""));
    if (n->value < kBandwidthMin - kRangeSlack || n->value > kBandwidthMax + kRangeSlack)
        return Refused(n->number + " is outside 0.05..3 octaves");
    return Value(BandwidthToIndex(n->value));
}

// The name field holds seven GBK bytes and a NUL.
KeyValueParse ParseName(const std::string& typed) {
    bool ok = true;
    const std::string gbk = Utf8ToGbk(typed, &ok);
    if (!ok) return Refused(Quoted(typed) + " has characters GBK cannot hold");
    if (static_cast<int>(gbk.size()) >= kNameFieldSize)
        return Refused(std::string(Text(TextId::CharLenError)) + " (at most " +
                       std::to_string(kNameFieldSize - 1) + " bytes)");
    return {0, typed, {}};
}

}  // namespace

KeyValueParse ParseKeyValue(EditKind kind, const std::string& typed) {
    if (const NumericRule* rule = FindNumericRule(kind)) return ParseNumeric(*rule, typed);
    if (const WordRule* rule = FindWordRule(kind)) return ParseWord(*rule, typed);
    switch (kind) {
        case EditKind::XoverSlope:
            return ParseSlope(typed);
        case EditKind::ChannelDelay:
            return ParseDelayValue(typed);
        case EditKind::BandBandwidth:
            return ParseBandwidth(typed);
        case EditKind::ChannelName:
            return ParseName(typed);
        default:
            return Refused("no value rule");
    }
}

std::string KeyValueText(EditKind kind, int value) {
    if (const WordRule* rule = FindWordRule(kind)) return WordText(*rule, value);
    switch (kind) {
        case EditKind::ChannelDelay:
        case EditKind::Mix:
            return std::to_string(value);
        case EditKind::BandFreq:
            return std::to_string(value) + "Hz";
        case EditKind::BandGain:
            return FieldOf(*FindNumericRule(kind)).TextOf(value) + "dB";
        case EditKind::BandQ: {
            const int index = std::clamp(value, 0, kBandwidthIndexCount - 1);
            return FormatNumber("%0.3f", g_adQTable[static_cast<std::size_t>(index)]);
        }
        default:
            break;
    }
    if (const NumericRule* rule = FindNumericRule(kind)) return FieldOf(*rule).TextOf(value);
    return std::to_string(value);
}

std::string SlopeLabelText(int dbPerOctave) {
    return dbPerOctave == 0 ? "off" : std::to_string(dbPerOctave);
}

std::string SlopeValueText(int family, int code) {
    const int entry = SlopeEntryOfCode(family, code);
    if (entry < 0) return "code " + std::to_string(code);
    return SlopeLabelText(SlopeListOf(family)[static_cast<std::size_t>(entry)].dbPerOctave);
}

std::string BandwidthText(double octaves) {
    return FormatNumber("%0.2f", octaves);
}

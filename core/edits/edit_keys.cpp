// The key grammar of the edits: channel keys "chN.<field>", band keys
// "chN.eqM.<field>", crossover keys "chN.hp|lp.<field>", mixer keys
// "chN.mix.K", limiter keys "chN.limiter.<field>" and the system keys.

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include "edits/edits.h"
#include "edits/field_descriptions.h"
#include "image/param_image.h"
#include "image/record_layout.h"

namespace {

struct FieldName {
    const char* name;
    EditKind kind;
};

constexpr std::array<FieldName, 6> kChannelFields{{
    {"gain", EditKind::ChannelGain},
    {"phase", EditKind::ChannelPhase},
    {"output", EditKind::ChannelOutput},
    {"delay", EditKind::ChannelDelay},
    {"name", EditKind::ChannelName},
    {"eqmode", EditKind::ChannelEqMode},
}};

constexpr std::array<FieldName, 6> kBandFields{{
    {"freq", EditKind::BandFreq},
    {"gain", EditKind::BandGain},
    {"q", EditKind::BandQ},
    {"bw", EditKind::BandBandwidth},
    {"type", EditKind::BandType},
    {"bypass", EditKind::BandBypass},
}};

constexpr std::array<FieldName, 3> kXoverFields{{
    {"freq", EditKind::XoverFreq},
    {"family", EditKind::XoverFamily},
    {"slope", EditKind::XoverSlope},
}};

constexpr std::array<FieldName, 3> kLimiterFields{{
    {"threshold", EditKind::LimitThreshold},
    {"attack", EditKind::LimitAttack},
    {"release", EditKind::LimitRelease},
}};

constexpr std::array<FieldName, 3> kSystemKeys{{
    {"source", EditKind::Source},
    {"master", EditKind::MasterVolume},
    {"master.output", EditKind::MasterOutput},
}};

constexpr const char* kXoverSideNames[] = {"hp", "lp"};

// Key patterns, the field they set and what the help adds to its range.
struct HelpEntry {
    const char* pattern;
    EditKind kind;
    const char* note;
};
constexpr HelpEntry kHelpEntries[] = {
    {"chN.gain", EditKind::ChannelGain, "N = channel 1..6"},
    {"chN.phase", EditKind::ChannelPhase, ""},
    {"chN.output", EditKind::ChannelOutput, ""},
    {"chN.delay", EditKind::ChannelDelay, "clamped to 20 ms"},
    {"chN.name", EditKind::ChannelName, ""},
    {"chN.eqmode", EditKind::ChannelEqMode, "a conversion resets the bands"},
    {"chN.eqM.freq", EditKind::BandFreq, "M = band 1..31"},
    {"chN.eqM.gain", EditKind::BandGain, ""},
    {"chN.eqM.q", EditKind::BandQ, ""},
    {"chN.eqM.bw", EditKind::BandBandwidth, ""},
    {"chN.eqM.type", EditKind::BandType, ""},
    {"chN.eqM.bypass", EditKind::BandBypass, ""},
    {"chN.hp.freq, chN.lp.freq", EditKind::XoverFreq, "the high-pass never above the low-pass"},
    {"chN.hp.family, chN.lp.family", EditKind::XoverFamily, ""},
    {"chN.hp.slope, chN.lp.slope", EditKind::XoverSlope, ""},
    {"chN.mix.K", EditKind::Mix, "K = input 1..12"},
    {"chN.limiter.threshold", EditKind::LimitThreshold, ""},
    {"chN.limiter.attack", EditKind::LimitAttack, ""},
    {"chN.limiter.release", EditKind::LimitRelease, "times the attack"},
    {"source", EditKind::Source, ""},
    {"master", EditKind::MasterVolume, "a new volume switches the master output on"},
    {"master.output", EditKind::MasterOutput, ""},
};

std::vector<EditKeyHelp> MakeHelp() {
    std::vector<EditKeyHelp> help;
    for (const HelpEntry& entry : kHelpEntries) {
        std::string values = FieldRangeText(DescribeField(entry.kind));
        if (entry.note[0] != '\0') values += std::string(" (") + entry.note + ")";
        help.push_back({entry.pattern, std::move(values)});
    }
    return help;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::vector<std::string_view> SplitDots(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = text.find('.', start);
        parts.push_back(text.substr(start, dot - start));
        if (dot == std::string_view::npos) return parts;
        start = dot + 1;
    }
}

// The digits after `prefix` as a number ("ch3", "ch" -> 3); -1 when the token
// is not the prefix followed by digits alone. Large numbers saturate: they
// are out of every range anyway.
int NumberAfter(std::string_view token, std::string_view prefix) {
    constexpr int kSaturated = 100000;
    if (token.substr(0, prefix.size()) != prefix) return -1;
    const std::string_view digits = token.substr(prefix.size());
    if (digits.empty()) return -1;
    int n = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
        n = std::min(n * 10 + (c - '0'), kSaturated);
    }
    return n;
}

// The 0-based index a numbered token names; -1 when the token is not one,
// -2 when its number is outside 1..count.
int Numbered(std::string_view token, std::string_view prefix, int count) {
    const int n = NumberAfter(token, prefix);
    if (n < 0) return -1;
    return n >= 1 && n <= count ? n - 1 : -2;
}

template <std::size_t N>
std::optional<EditKind> FindField(const std::array<FieldName, N>& fields, std::string_view name) {
    for (const FieldName& f : fields) {
        if (name == f.name) return f.kind;
    }
    return std::nullopt;
}

template <std::size_t N>
const char* NameOfKind(const std::array<FieldName, N>& fields, EditKind kind) {
    for (const FieldName& f : fields) {
        if (f.kind == kind) return f.name;
    }
    return nullptr;
}

struct KeyParse {
    std::optional<EditKey> key;
    std::string error;
};

KeyParse Unknown(const std::string& key) {
    return {std::nullopt, "unknown key '" + key + "'"};
}

KeyParse OutOfRange(const std::string& key, const char* what, int count) {
    return {std::nullopt, key + ": no such " + what + " (1.." + std::to_string(count) + ")"};
}

// "mix.K", "limiter.<field>", "hp|lp.<field>" or "eqM.<field>" of a channel.
KeyParse ParseGroupField(const std::string& key, std::string_view group, std::string_view field,
                         int channel) {
    if (group == "mix") {
        const int input = Numbered(field, "", kOutMixCount);
        if (input == -2) return OutOfRange(key, "input", kOutMixCount);
        if (input < 0) return Unknown(key);
        return {EditKey{EditKind::Mix, channel, input}, {}};
    }
    std::optional<EditKind> kind;
    int index = 0;
    if (group == "limiter") {
        kind = FindField(kLimiterFields, field);
    } else if (group == kXoverSideNames[kEditHighPass] || group == kXoverSideNames[kEditLowPass]) {
        kind = FindField(kXoverFields, field);
        index = group == kXoverSideNames[kEditLowPass] ? kEditLowPass : kEditHighPass;
    } else {
        index = Numbered(group, "eq", kOutBandCount);
        if (index == -2) return OutOfRange(key, "band", kOutBandCount);
        if (index >= 0) kind = FindField(kBandFields, field);
    }
    if (!kind) return Unknown(key);
    return {EditKey{*kind, channel, index}, {}};
}

// The part after "chN.", with the channel already known.
KeyParse ParseChannelPart(const std::string& key, const std::vector<std::string_view>& parts,
                          int channel) {
    if (parts.size() == 3) return ParseGroupField(key, parts[1], parts[2], channel);
    if (parts.size() != 2) return Unknown(key);
    if (auto kind = FindField(kChannelFields, parts[1])) return {EditKey{*kind, channel, 0}, {}};
    return Unknown(key);
}

KeyParse ParseKey(const std::string& typed) {
    const std::string key = Lower(typed);
    if (auto kind = FindField(kSystemKeys, key)) return {EditKey{*kind, 0, 0}, {}};
    const std::vector<std::string_view> parts = SplitDots(key);
    const int channel = Numbered(parts[0], "ch", kOutputCount);
    if (channel == -2) return OutOfRange(typed, "channel", kOutputCount);
    if (channel < 0 || parts.size() < 2) return Unknown(typed);
    return ParseChannelPart(typed, parts, channel);
}

}  // namespace

std::optional<EditKey> ParseEditKey(const std::string& key, std::string* error) {
    KeyParse parsed = ParseKey(key);
    if (!parsed.key && error) *error = parsed.error;
    return parsed.key;
}

bool IsValidEditKey(const EditKey& key) {
    if (NameOfKind(kSystemKeys, key.kind)) return key.channel == 0 && key.index == 0;
    if (key.channel < 0 || key.channel >= kOutputCount || key.index < 0) return false;
    if (NameOfKind(kBandFields, key.kind)) return key.index < kOutBandCount;
    if (NameOfKind(kXoverFields, key.kind)) return key.index <= kEditLowPass;
    if (key.kind == EditKind::Mix) return key.index < kOutMixCount;
    return key.index == 0;
}

std::string EditKeyName(const EditKey& key) {
    if (const char* name = NameOfKind(kSystemKeys, key.kind)) return name;
    const std::string channel = "ch" + std::to_string(key.channel + 1) + ".";
    if (const char* name = NameOfKind(kChannelFields, key.kind)) return channel + name;
    if (const char* name = NameOfKind(kBandFields, key.kind))
        return channel + "eq" + std::to_string(key.index + 1) + "." + name;
    if (const char* name = NameOfKind(kXoverFields, key.kind))
        return channel + kXoverSideNames[key.index == kEditLowPass] + "." + name;
    if (const char* name = NameOfKind(kLimiterFields, key.kind)) return channel + "limiter." + name;
    return channel + "mix." + std::to_string(key.index + 1);
}

std::vector<EditKey> AllEditKeys() {
    std::vector<EditKey> keys;
    for (int c = 0; c < kOutputCount; ++c) {
        for (const FieldName& f : kChannelFields)
            keys.push_back({f.kind, c, 0});
        for (int side : {kEditHighPass, kEditLowPass}) {
            for (const FieldName& f : kXoverFields)
                keys.push_back({f.kind, c, side});
        }
        for (int band = 0; band < kOutBandCount; ++band) {
            for (const FieldName& f : kBandFields)
                keys.push_back({f.kind, c, band});
        }
        for (int input = 0; input < kOutMixCount; ++input)
            keys.push_back({EditKind::Mix, c, input});
        for (const FieldName& f : kLimiterFields)
            keys.push_back({f.kind, c, 0});
    }
    for (const FieldName& f : kSystemKeys)
        keys.push_back({f.kind, 0, 0});
    return keys;
}

const std::vector<EditKeyHelp>& EditKeyHelpList() {
    static const std::vector<EditKeyHelp> help = MakeHelp();
    return help;
}

bool SplitAssignment(const std::string& arg, std::string* key, std::string* value) {
    const std::size_t eq = arg.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    *key = arg.substr(0, eq);
    *value = arg.substr(eq + 1);
    return true;
}

#include "edits/field_descriptions.h"

#include <algorithm>
#include <array>

#include "controls/delay_units.h"
#include "controls/number_text.h"
#include "edits/xover_lists.h"
#include "image/record_layout.h"
#include "tables/value_tables.h"

namespace {

constexpr FieldWord kPhaseWords[] = {{"normal", 0}, {"inverted", 1}};
constexpr FieldWord kSwitchWords[] = {{"on", 1}, {"off", 0}};
constexpr FieldWord kBandTypeWords[] = {
    {"peq", kBandPeaking}, {"lowshelf", kBandLowShelf}, {"highshelf", kBandHighShelf}};
constexpr FieldWord kFamilyWords[] = {
    {"lr", kFamilyLinkwitzRiley}, {"bessel", kFamilyBessel}, {"butterworth", kFamilyButterworth}};
constexpr FieldWord kEqModeWords[] = {{"parametric", 0}, {"graphic", 1}};
constexpr FieldWord kSourceWords[] = {{"high", 0}, {"low", 1}, {"bluetooth", 2}, {"player", 5}};
constexpr FieldWord kReleaseWords[] = {{"2", 0}, {"4", 1},  {"6", 2},
                                       {"8", 3}, {"16", 4}, {"32", 5}};

constexpr int kSlopeLabelList[] = {6, 12, 18, 24, 36, 0};

constexpr FieldDescription Number(EditKind kind, int type, double step, double offset, int lo,
                                  int hi, double minValue, double maxValue, const char* unit,
                                  bool clamps = false, bool takesOff = false) {
    return {kind,     FieldShape::Number, type, step,   offset,   lo, hi,
            minValue, maxValue,           unit, clamps, takesOff, {}};
}

constexpr FieldDescription Words(EditKind kind, std::span<const FieldWord> words) {
    return {.kind = kind, .shape = FieldShape::Words, .words = words};
}

constexpr FieldDescription Other(EditKind kind, FieldShape shape, const char* unit = "") {
    return {.kind = kind, .shape = shape, .unit = unit};
}

// In EditKind order.
const std::array<FieldDescription, 22> kFields{{
    Number(EditKind::ChannelGain, kValGainDb, 1.0, 60.0, 0, 60, -60.0, 0.0, "dB", false, true),
    Words(EditKind::ChannelPhase, kPhaseWords),
    Words(EditKind::ChannelOutput, kSwitchWords),
    Other(EditKind::ChannelDelay, FieldShape::Delay),
    Other(EditKind::ChannelName, FieldShape::Name),
    Words(EditKind::ChannelEqMode, kEqModeWords),
    Number(EditKind::BandFreq, kValBandFreq, 0.0, 0.0, 20, 20000, 20.0, 20000.0, "Hz"),
    Number(EditKind::BandGain, kValEqGain, 0.1, 20.0, 0, kGainIndexMax, -20.0, 20.0, "dB"),
    Number(EditKind::BandQ, kValQ, 0.0, 0.0, 0, kBandwidthIndexCount - 1, 0.0, 0.0, "", true),
    Other(EditKind::BandBandwidth, FieldShape::Bandwidth, "octaves"),
    Words(EditKind::BandType, kBandTypeWords),
    Words(EditKind::BandBypass, kSwitchWords),
    Number(EditKind::XoverFreq, kValXoverFreq, 0.0, 0.0, 20, 20000, 20.0, 20000.0, "Hz"),
    Words(EditKind::XoverFamily, kFamilyWords),
    Other(EditKind::XoverSlope, FieldShape::Slope, "dB/Oct"),
    Number(EditKind::Mix, kValMixPercent, 1.0, 0.0, 0, 100, 0.0, 100.0, "%"),
    Number(EditKind::LimitThreshold, kValThresholdDbu, 0.1, 30.0, 0, 360, -30.0, 6.0, "dBu"),
    Number(EditKind::LimitAttack, kValAttack, 0.0, 0.0, 0, 106, 0.3, 100.0, "ms"),
    Words(EditKind::LimitRelease, kReleaseWords),
    Words(EditKind::Source, kSourceWords),
    Number(EditKind::MasterVolume, kValGainDb, 1.0, 60.0, 0, 66, -60.0, 6.0, "dB", false, true),
    Words(EditKind::MasterOutput, kSwitchWords),
}};

std::string Join(std::span<const FieldWord> words) {
    std::string list;
    for (const FieldWord& w : words)
        list += (list.empty() ? "" : " | ") + std::string(w.word);
    return list;
}

}  // namespace

std::span<const FieldDescription> FieldDescriptions() {
    return kFields;
}

const FieldDescription& DescribeField(EditKind kind) {
    return kFields[static_cast<std::size_t>(kind)];
}

CNumValue FieldValue(const FieldDescription& field) {
    CNumValue value;
    value.SetType(field.valueType);
    value.SetStep(field.step);
    value.SetOffset(field.offset);
    value.SetRange(field.lo, field.hi);
    return value;
}

const char* FieldWordOf(EditKind kind, int value) {
    for (const FieldWord& w : DescribeField(kind).words) {
        if (w.value == value) return w.word;
    }
    return nullptr;
}

std::string FieldRangeText(const FieldDescription& field) {
    switch (field.shape) {
        case FieldShape::Number: {
            if (field.clamps) {
                // Only the Q clamps; it takes the Q table's values.
                return "Q, clamped to " + FormatNumber("%0.3f", g_adQTable[kQIndexLowest]) + ".." +
                       FormatNumber("%0.3f", g_adQTable[kQIndexHighest]);
            }
            std::string text =
                FormatNumber("%g", field.minValue) + ".." + FormatNumber("%g", field.maxValue);
            if (field.unit[0] != '\0' && field.unit[0] != '%')
                text += std::string(" ") + field.unit;
            if (field.takesOff) text += "; off = " + FormatNumber("%g", field.minValue);
            return text;
        }
        case FieldShape::Words:
            return Join(field.words);
        case FieldShape::Slope: {
            // Each family lists its own slopes.
            std::string text;
            for (const FieldWord& family : kFamilyWords) {
                std::string list;
                for (const SlopeChoice& choice : SlopeListOf(family.value))
                    list += (list.empty() ? "" : " | ") + SlopeLabelText(choice.dbPerOctave);
                text += (text.empty() ? "" : "; ") + std::string(family.word) + ": " + list;
            }
            return text;
        }
        case FieldShape::Delay:
            return "samples 0.." + std::to_string(kDelayMaxSamples) + ", or ms | cm | in";
        case FieldShape::Bandwidth:
            return FormatNumber("%g", kBandwidthMinOctaves) + ".." +
                   FormatNumber("%g", kBandwidthMaxOctaves) + " octaves";
        case FieldShape::Name:
            return "at most " + std::to_string(NameFieldBytes()) + " bytes (GBK)";
    }
    return {};
}

std::string SlopeLabelText(int dbPerOctave) {
    return dbPerOctave == 0 ? "off" : std::to_string(dbPerOctave);
}

std::span<const int> SlopeLabels() {
    return kSlopeLabelList;
}

int NameFieldBytes() {
    return kNameFieldSize - 1;
}

#include "edits/xover_lists.h"

#include <array>

#include "base/texts.h"
#include "tables/value_tables.h"

namespace {

constexpr std::array<SlopeChoice, 5> kLinkwitzRileySlopes{{
    {6, 0},
    {12, 1},
    {24, 3},
    {36, 4},
    {0, kSlopeOff},
}};

// Bessel and Butterworth offer the same list.
constexpr std::array<SlopeChoice, 5> kBesselButterworthSlopes{{
    {6, 0},
    {12, 1},
    {18, 2},
    {24, 3},
    {0, kSlopeOff},
}};

// The label of each slope code, as the lists name them (code 4 is listed
// as 36 dB/Oct).
constexpr std::array<int, 7> kSlopeLabelOfCode{6, 12, 18, 24, 36, 42, 48};

// Linkwitz-Riley code 2 has no entry of its own; it shows as 12 dB/Oct.
constexpr int kLinkwitzRiley18Code = 2;
constexpr int kLinkwitzRiley12Entry = 1;

}  // namespace

std::span<const SlopeChoice> SlopeListOf(int family) {
    switch (family) {
        case kFamilyLinkwitzRiley:
            return kLinkwitzRileySlopes;
        case kFamilyBessel:
        case kFamilyButterworth:
            return kBesselButterworthSlopes;
        default:
            return {};
    }
}

std::vector<SlopeChoice> SlopeListShowing(int family, int code) {
    const std::span<const SlopeChoice> list = SlopeListOf(family);
    std::vector<SlopeChoice> shown(list.begin(), list.end());
    if (!shown.empty() && SlopeEntryOfCode(family, code) < 0 && code >= 0 &&
        code < static_cast<int>(kSlopeLabelOfCode.size()))
        shown.push_back({kSlopeLabelOfCode[static_cast<std::size_t>(code)], code});
    return shown;
}

int SlopeEntryOfCode(int family, int code) {
    if (family == kFamilyLinkwitzRiley && code == kLinkwitzRiley18Code)
        return kLinkwitzRiley12Entry;
    const std::span<const SlopeChoice> list = SlopeListOf(family);
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].code == code) return static_cast<int>(i);
    }
    return -1;
}

int SlopeCodeOfLabel(int family, int dbPerOctave) {
    for (const SlopeChoice& choice : SlopeListOf(family)) {
        if (choice.dbPerOctave == dbPerOctave) return choice.code;
    }
    return -1;
}

std::string SlopeChoiceText(const SlopeChoice& choice) {
    if (choice.dbPerOctave == 0) return TextIn(TextId::Off, true);
    return std::to_string(choice.dbPerOctave) + "dB/Oct";
}

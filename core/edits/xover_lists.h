#pragma once
// The lists of the crossover panel: the filter families and, for each family,
// the slopes its list offers with the codes they store. The labels of these
// lists do not follow the response math's reading of the codes (code 0 is
// listed as 6 dB/Oct); the codes stored are what the processor expects from
// the panel.

#include <span>
#include <string>
#include <vector>

constexpr int kFamilyLinkwitzRiley = 0;
constexpr int kFamilyBessel = 1;
constexpr int kFamilyButterworth = 2;
constexpr int kFamilyCount = 3;

// One entry of a slope list: its label in dB/Oct (0 for the "off" entry) and
// the slope code it stores.
struct SlopeChoice {
    int dbPerOctave;
    int code;
};

// The slope list of a family; empty for an unknown family.
std::span<const SlopeChoice> SlopeListOf(int family);

// The family's list as a crossover holding `code` shows it: a stored code
// the list has no entry for (42 and 48 dB/Oct, or a code another family
// offers) is added as an extra entry at the end, so that the list never
// reads empty; choosing it again stores the same code.
std::vector<SlopeChoice> SlopeListShowing(int family, int code);

// The entry a stored code is shown as (the display mapping), or -1 when the
// family's list has none for it.
int SlopeEntryOfCode(int family, int code);

// The code a label of the family's list stores, or -1 when the list lacks it.
int SlopeCodeOfLabel(int family, int dbPerOctave);

// "6dB/Oct" ... or the "off" entry, which reads "关闭" in both languages.
std::string SlopeChoiceText(const SlopeChoice& choice);

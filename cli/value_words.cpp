#include "cli/value_words.h"

#include <array>
#include <cstdio>
#include <span>

#include "base/texts.h"
#include "edits/field_descriptions.h"
#include "edits/xover_lists.h"
#include "image/record_layout.h"
#include "tables/value_tables.h"

namespace {

constexpr int kGainStepOff = 0;
constexpr int kGainStepZeroDb = 60;
constexpr int kMasterStepZeroDb = 60;

// The crossover filters' types, which no edit sets.
constexpr std::array<const char*, 2> kXoverTypeTokens{"highpass", "lowpass"};
constexpr std::array<const char*, 4> kListenTokens{"front-left", "front-center", "front-right",
                                                   "rear-center"};
constexpr std::array<TextId, 4> kListenTexts{TextId::ListenFrontLeft, TextId::ListenFrontCenter,
                                             TextId::ListenFrontRight, TextId::ListenRearCenter};

// Source codes 0..2 are the plain inputs; every higher code is the player.
constexpr int kSourceCodeCount = 3;
constexpr std::array<TextId, 4> kSourceTexts{TextId::SourceHighLevel, TextId::SourceLowLevel,
                                             TextId::SourceBluetooth, TextId::SourcePlayer};

template <class T, std::size_t N>
T At(const std::array<T, N>& table, int i, T fallback) {
    return i >= 0 && i < static_cast<int>(N) ? table[static_cast<std::size_t>(i)] : fallback;
}

int SourceSlot(int source) {
    return source >= 0 && source < kSourceCodeCount ? source : kSourceCodeCount;
}

}  // namespace

const char* BandTypeToken(int type) {
    if (const char* word = FieldWordOf(EditKind::BandType, type)) return word;
    return At(kXoverTypeTokens, type - kBandHighPass, "");
}
const char* FamilyToken(int family) {
    const char* word = FieldWordOf(EditKind::XoverFamily, family);
    return word != nullptr ? word : "";
}
const char* PhaseToken(int phase) {
    return FieldWordOf(EditKind::ChannelPhase, phase == 0 ? 0 : 1);
}
const char* EqModeToken(int mode) {
    return FieldWordOf(EditKind::ChannelEqMode, mode == 0 ? 0 : 1);
}
const char* SourceToken(int source) {
    return FieldWordOf(EditKind::Source,
                       SourceSlot(source) < kSourceCodeCount ? source : kSourcePlayer);
}
const char* ListenPositionToken(int position) {
    return At(kListenTokens, position, "");
}

int XoverSlopeLabel(int family, int code) {
    const int entry = SlopeEntryOfCode(family, code);
    if (entry < 0) return -1;
    return SlopeListOf(family)[static_cast<std::size_t>(entry)].dbPerOctave;
}

std::string OutputGainText(int step) {
    if (step == kGainStepOff) return Text(TextId::Off);
    return std::to_string(step - kGainStepZeroDb) + "dB";
}

std::string XoverSlopeWords(int family, int code) {
    const int label = XoverSlopeLabel(family, code);
    if (label < 0) return "code " + std::to_string(code);
    if (label == 0) return Text(TextId::Off);
    return std::to_string(label) + "dB/Oct";
}

std::string SourceText(int source) {
    return Text(kSourceTexts[static_cast<std::size_t>(SourceSlot(source))]);
}

// The labels were written for a menu, where "&&" shows a single "&".
std::string ListenPositionText(int position) {
    if (position < 0 || position >= static_cast<int>(kListenTexts.size())) return {};
    std::string text = Text(kListenTexts[static_cast<std::size_t>(position)]);
    for (std::size_t at = text.find("&&"); at != std::string::npos; at = text.find("&&", at + 1))
        text.erase(at, 1);
    return text;
}

std::string MasterVolumeText(int step) {
    return std::to_string(step - kMasterStepZeroDb) + "dB";
}

std::string HexBytes(const BYTE* bytes, int n) {
    std::string text;
    char hex[4];
    for (int i = 0; i < n; ++i) {
        std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
        if (i > 0) text += ' ';
        text += hex;
    }
    return text;
}

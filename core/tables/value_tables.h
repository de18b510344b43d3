#pragma once
// Value tables of the device parameters and the rules that turn their small
// integers into physical values and texts. Every record, panel, numeric field
// and the response math use these; none keeps a private copy.

#include <array>
#include <string>

// Band centre frequencies in Hz.
extern const std::array<int, 31> kIsoBandFreq;      // output equalizer: 20 .. 20000
extern const std::array<int, 9> kInputBandFreq;     // input equalizers: 40 .. 10000
extern const std::array<int, 3> kEffectBandFreq;    // effect equalizer: 100, 1000, 10000
extern const std::array<int, 31> kFactoryBandFreq;  // factory channel block: 20, 26, 33 .. 20000

// Band gain: dB (-20 .. +20) <-> gain index 0 .. 400 (0.1 dB steps, 200 = 0 dB).
constexpr int kGainIndexMax = 400;
constexpr int kGainIndexFlat = 200;
int GainToIndex(double gainDb);
double IndexToGain(int index);

// Bandwidth: octaves (0.05 .. 3.00) <-> bandwidth index 0 .. 295.
constexpr int kBandwidthIndexCount = 296;
int BandwidthToIndex(double octaves);
// The raw rule 0.05 + 0.01 * index; the floor for small loaded indexes is the
// filter's business.
double IndexToBandwidth(int index);

// Q shown for each bandwidth index, rounded to three decimals and falling
// strictly with the index: Q(0) = 28.852, Q(4) = 16.027, Q(95) = 1.414,
// Q(295) = 0.404.
extern const std::array<double, kBandwidthIndexCount> g_adQTable;
// Range of Q a user may type.
constexpr int kQIndexHighest = 4;   // Q 16.027
constexpr int kQIndexLowest = 295;  // Q 0.404
// The first index i in 0 .. 294 with q >= Q(i), else 295: the narrowest
// bandwidth whose Q does not exceed q.
int QToBandwidthIndex(double q);

// Filter type codes of a band or crossover filter.
enum BandType : int {
    kBandPeaking = 0,
    kBandLowShelf = 1,
    kBandHighShelf = 2,
    kBandHighPass = 3,
    kBandLowPass = 4,
};
std::string BandTypeText(int type, bool geqMode);

// Crossover families: 0 Linkwitz-Riley, 1 Bessel, 2 Butterworth; other codes
// give an empty text.
std::string XoverFamilyText(int family);

// Crossover slope codes 0..6 = 12..48 dB/Oct, 7 = off; in two-slope mode 0, 1
// = 12, 24 dB/Oct. Unknown codes give an empty text.
constexpr int kSlopeOff = 7;
std::string XoverSlopeText(int slope, bool twoSlopes);
// Shelf slope codes 0, 1 = 6, 12 dB/Oct; other codes give an empty text.
std::string ShelfSlopeText(int slope);

// Limiter threshold: dBu = step * 0.1 - 30, "%0.1fdBu".
double LimiterThresholdDbu(int step);
std::string LimiterThresholdText(int step);
// Limiter attack: code <= 6: (code + 3) * 0.1 ms, else code - 6 ms.
constexpr int kAttackFineCodes = 6;  // codes 0..6 are the tenths 0.3 .. 0.9 ms
double LimiterAttackMs(int code);
std::string LimiterAttackText(int code);
// Limiter release 0..5: a multiple of the attack time, "Atk * 2" .. "Atk * 32".
// Unknown codes give 0 and an empty text.
int LimiterReleaseFactor(int code);
std::string LimiterReleaseText(int code);

// Speaker role names 0..24, the same Chinese texts in both languages.
constexpr int kRoleCount = 25;
extern const std::array<const char*, kRoleCount> g_astrRoleName;
// The role's name, or an empty text for codes outside 0..24.
std::string RoleNameText(int role);

// Phase 0 normal, 1 inverted.
std::string PhaseText(int phase);

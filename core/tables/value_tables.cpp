#include "tables/value_tables.h"

#include <cmath>
#include <cstdio>

#include "base/texts.h"

const std::array<int, 31> kIsoBandFreq = {
    20,   25,   32,   40,   50,   63,    80,    100,   125,   160,  200,
    250,  315,  400,  500,  630,  800,   1000,  1250,  1600,  2000, 2500,
    3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000,
};

const std::array<int, 9> kInputBandFreq = {40, 80, 160, 317, 632, 1261, 2515, 5018, 10000};

const std::array<int, 3> kEffectBandFreq = {100, 1000, 10000};

const std::array<int, 31> kFactoryBandFreq = {
    20,   26,   33,   41,   51,   62,    81,    101,   124,   161,  201,
    251,  316,  401,  501,  631,  801,   1001,  1251,  1601,  2001, 2501,
    3151, 4001, 5001, 6299, 8001, 10001, 12501, 16001, 20000,
};

namespace {

template <typename T, std::size_t N>
const T* Lookup(const std::array<T, N>& table, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= N) return nullptr;
    return &table[static_cast<std::size_t>(index)];
}

std::string Format(const char* format, double value) {
    char buf[48];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

// The Q table is built at compile time so that it is ready before any other
// static initialiser can read it; these two helpers stand in for exp2 and sqrt,
// which are not constexpr. Both are exact to a few ulps over 0.05 .. 3 octaves,
// far below the three decimals kept.
constexpr double ConstExp2(double x) {
    constexpr double kLn2 = 0.693147180559945309417;
    const double y = x * kLn2;
    double term = 1.0;
    double sum = 1.0;
    for (int k = 1; k < 40; ++k) {
        term *= y / k;
        sum += term;
    }
    return sum;
}

constexpr double ConstSqrt(double v) {
    double r = v > 1.0 ? v : 1.0;
    for (int k = 0; k < 100; ++k)
        r = 0.5 * (r + v / r);
    return r;
}

constexpr double QOfIndex(int n) {
    const double p = ConstExp2(0.05 + 0.01 * n);
    const double q = ConstSqrt(p) / (p - 1.0);
    return static_cast<double>(static_cast<long long>(q * 1000.0 + 0.5)) / 1000.0;
}

constexpr std::array<double, kBandwidthIndexCount> MakeQTable() {
    std::array<double, kBandwidthIndexCount> table{};
    for (int n = 0; n < kBandwidthIndexCount; ++n)
        table[static_cast<std::size_t>(n)] = QOfIndex(n);
    return table;
}

constexpr const char* kXoverSlopeTexts[] = {"12dB/Oct", "18dB/Oct", "24dB/Oct", "30dB/Oct",
                                            "36dB/Oct", "42dB/Oct", "48dB/Oct", "OFF"};
constexpr const char* kTwoSlopeTexts[] = {"12dB/Oct", "24dB/Oct"};
constexpr const char* kShelfSlopeTexts[] = {"6dB/Oct", "12dB/Oct"};
constexpr int kReleaseFactors[] = {2, 4, 6, 8, 16, 32};

template <std::size_t N>
std::string TextAt(const char* const (&texts)[N], int code) {
    if (code < 0 || static_cast<std::size_t>(code) >= N) return {};
    return texts[code];
}

}  // namespace

int GainToIndex(double gainDb) {
    const double index = std::trunc((gainDb + 20.0) * 10.0 + 0.5);
    if (!(index > 0.0)) return 0;  // also catches NaN
    if (index > kGainIndexMax) return kGainIndexMax;
    return static_cast<int>(index);
}

double IndexToGain(int index) {
    return index * 0.1 - 20.0;
}

int BandwidthToIndex(double octaves) {
    const double index = std::trunc((octaves - 0.05) / 0.01 + 0.05);
    if (!(index > 0.0)) return 0;
    if (index > kBandwidthIndexCount - 1) return kBandwidthIndexCount - 1;
    return static_cast<int>(index);
}

double IndexToBandwidth(int index) {
    return 0.05 + 0.01 * index;
}

const std::array<double, kBandwidthIndexCount> g_adQTable = MakeQTable();

int QToBandwidthIndex(double q) {
    for (int i = 0; i < kBandwidthIndexCount - 1; ++i) {
        if (q >= g_adQTable[static_cast<std::size_t>(i)]) return i;
    }
    return kBandwidthIndexCount - 1;
}

std::string BandTypeText(int type, bool geqMode) {
    switch (type) {
        case kBandPeaking:
            return Text(geqMode ? TextId::BandGeq : TextId::BandPeq);
        case kBandLowShelf:
            return Text(TextId::BandLowShelf);
        case kBandHighShelf:
            return Text(TextId::BandHighShelf);
        default:
            return {};
    }
}

std::string XoverFamilyText(int family) {
    static constexpr TextId kFamilies[] = {TextId::FamilyLinkwitzRiley, TextId::FamilyBessel,
                                           TextId::FamilyButterworth};
    if (family < 0 || family >= static_cast<int>(std::size(kFamilies))) return {};
    return Text(kFamilies[family]);
}

std::string XoverSlopeText(int slope, bool twoSlopes) {
    return twoSlopes ? TextAt(kTwoSlopeTexts, slope) : TextAt(kXoverSlopeTexts, slope);
}

std::string ShelfSlopeText(int slope) {
    return TextAt(kShelfSlopeTexts, slope);
}

double LimiterThresholdDbu(int step) {
    return step * 0.1 - 30.0;
}

std::string LimiterThresholdText(int step) {
    return Format("%0.1fdBu", LimiterThresholdDbu(step));
}

double LimiterAttackMs(int code) {
    return code <= kAttackFineCodes ? (code + 3) * 0.1 : code - kAttackFineCodes;
}

std::string LimiterAttackText(int code) {
    if (code <= kAttackFineCodes) return Format("%0.1fms", LimiterAttackMs(code));
    return std::to_string(code - kAttackFineCodes) + "ms";
}

int LimiterReleaseFactor(int code) {
    if (code < 0 || code >= static_cast<int>(std::size(kReleaseFactors))) return 0;
    return kReleaseFactors[code];
}

std::string LimiterReleaseText(int code) {
    const int factor = LimiterReleaseFactor(code);
    if (factor == 0) return {};
    return "Atk * " + std::to_string(factor);
}

const std::array<const char*, kRoleCount> g_astrRoleName = {
    "空",         "前左高频", "前左中频", "前左低频",   "前左中高频", "前左中低频", "前左全频",
    "前右高频",   "前右中频", "前右低频", "前右中高频", "前右中低频", "前右全频",   "后左高频",
    "后左中低频", "后左全频", "后右高频", "后右中低频", "后右全频",   "中置高频",   "中置中低频",
    "中置全频",   "左超低",   "右超低",   "超低",
};

std::string RoleNameText(int role) {
    const char* const* name = Lookup(g_astrRoleName, role);
    return name ? *name : std::string();
}

std::string PhaseText(int phase) {
    return Text(phase == 0 ? TextId::PhaseNormal : TextId::PhaseInverted);
}

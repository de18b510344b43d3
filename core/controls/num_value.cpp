#include "controls/num_value.h"

#include <strings.h>

#include <algorithm>
#include <cmath>

#include "base/texts.h"
#include "controls/number_text.h"
#include "model/text_field.h"
#include "response/grid.h"
#include "tables/value_tables.h"

namespace {

constexpr double kSamplesPerMs = 48.0;
constexpr double kMaxDelayMs = 20.0;
constexpr double kInchesPerMetre = 3.2808 * 12;
constexpr double kCentimetresPerMetre = 100.0;
// Speed of sound in m/s at 0 degrees C and its rise per degree. Distances are
// shown with 331 m/s and parsed with 331.4 m/s, the figures installers know
// from the processor's own tools; a retyped distance may move by one sample.
constexpr double kSoundSpeedShown = 331.0;
constexpr double kSoundSpeedParsed = 331.4;
constexpr double kSoundSpeedPerDegree = 0.6;
constexpr int kTempCodeZero = 50;  // temperature code of 0 degrees C

// Typed values are truncated to whole steps, but a decimal that names a step
// exactly must stay on it: -19.8 dB is 1.9999999999999993 steps of 0.1 above
// -20 in binary, 0.6 ms is 2.9999999999999996 attack steps above 0.3. A nudge
// of 1e-9 step keeps exact steps exact and is far below anything a person can
// type.
constexpr double kStepEpsilon = 1e-9;

double TruncSteps(double steps) {
    return std::trunc(steps + std::copysign(kStepEpsilon, steps));
}

// What "OFF" / "关闭" typed into a field stands for.
double OffValue(int type) {
    switch (type) {
        case kValLevelDbu:
            return -120.0;
        case kValThresholdDbu:
            return 20.0;
        case kValGainOffAtMax:
            return 0.0;
        default:
            return -60.0;
    }
}

bool IsOffWord(const std::string& text) {
    const std::string word = TrimSpaces(text);
    return strcasecmp(word.c_str(), TextIn(TextId::Off, false)) == 0 ||
           word == TextIn(TextId::Off, true);
}

bool SnapsToGrid(int type) {
    return type == kValBandFreq || type == kValXoverFreq || type == kValGridFreq;
}

}  // namespace

void CNumValue::SetRange(int lo, int hi) {
    if (hi < lo) std::swap(lo, hi);
    m_nMin = lo;
    m_nMax = hi;
    m_nPos = lo;
}

bool CNumValue::SetPos(int p) {
    if (p < m_nMin || p > m_nMax) return false;
    m_nPos = p;
    return true;
}

int CNumValue::ClampPos(double p) const {
    if (std::isnan(p)) return m_nMin;
    return static_cast<int>(std::clamp<double>(p, m_nMin, m_nMax));
}

double CNumValue::SpeedOfSoundParse() const {
    return kSoundSpeedParsed + kSoundSpeedPerDegree * (m_nTempCode - kTempCodeZero);
}

std::string CNumValue::DistanceText(int p, double unitsPerMetre) const {
    const double metresPerMs =
        (kSoundSpeedShown + kSoundSpeedPerDegree * (m_nTempCode - kTempCodeZero)) / 1000.0;
    const double ms = p == m_nMax ? kMaxDelayMs : p / kSamplesPerMs;
    // One decimal: a sample is 0.7 cm or 0.3 in of travel, so whole units
    // would show neighbouring delays alike and a retyped text could move one.
    return FormatNumber("%0.1f", metresPerMs * ms * unitsPerMetre);
}

std::string CNumValue::OffOr(bool off, const char* format, double value) const {
    return off ? ::Text(TextId::Off) : FormatNumber(format, value);
}

std::string CNumValue::TextOf(int p) const {
    switch (m_nType) {
        case kValDelayMs:
            return FormatNumber("%0.3f", p / kSamplesPerMs);
        case kValDelayCm:
            return DistanceText(p, kCentimetresPerMetre);
        case kValDelayInch:
            return DistanceText(p, kInchesPerMetre);
        case kValBandFreq:
            return std::to_string(p);
        case kValAttack:
            return LimiterAttackText(p);
        case kValXoverFreq:
            return std::to_string(p) + "Hz";
        case kValQ: {
            const int index = std::clamp(p, 0, kBandwidthIndexCount - 1);
            return FormatNumber("%0.3f", g_adQTable[static_cast<std::size_t>(index)] + 0.025);
        }
        case kValMixPercent:
            return FormatNumber("%0.0f", p * m_dStep);
        case kValLevelDbu:
            return OffOr(p == 0, "%0.0fdBu", LinearValue(p));
        case kValThresholdDbu:
            return FormatNumber("%0.1fdBu", LinearValue(p));
        case kValGainDb:
            return FormatNumber("%0.0fdB", LinearValue(p));
        case kValGainDbInRange:
            return FormatNumber("%0.0fdB", LinearValue(ClampPos(p)));
        case kValGainOffAtMax:
            return OffOr(p == m_nMax, "%0.1fdB", LinearValue(p));
        default:
            return FormatNumber("%0.1f", LinearValue(p));
    }
}

int CNumValue::ParseLinear(double value) const {
    if (!(m_dStep > 0.0)) return m_nPos;  // no scale set: text cannot name a position
    const double lo = -m_dOffset;
    const double hi = m_nMax * m_dStep - m_dOffset;
    value = std::clamp(value, lo, hi);
    // Both sides scaled by ten, so that a step of 0.1 divides as 1.
    return ClampPos(TruncSteps((value + m_dOffset) * 10.0 / (m_dStep * 10.0)));
}

int CNumValue::ParseDelayMs(double ms) const {
    if (ms < 0.0) return m_nMin;
    if (ms >= kMaxDelayMs) return m_nMax;
    return ClampPos(TruncSteps(ms * kSamplesPerMs));
}

int CNumValue::ParseDistanceMetres(double metres) const {
    const double speed = SpeedOfSoundParse();
    metres = std::clamp(metres, 0.0, speed / 1000.0 * kMaxDelayMs);
    const double ms = metres * 1000.0 / speed;
    if (ms >= kMaxDelayMs) return m_nMax;
    return ClampPos(std::round(ms * kSamplesPerMs));
}

int CNumValue::ParseAttack(double ms) const {
    ms = std::max(ms, LimiterAttackMs(0));
    ms = std::min(ms, static_cast<double>(m_nMax - kAttackFineCodes));
    if (ms < 1.0) return ClampPos(TruncSteps((ms - LimiterAttackMs(0)) / 0.1));
    return ClampPos(TruncSteps(ms) + kAttackFineCodes);
}

int CNumValue::ParseQ(double q) const {
    q = std::clamp(q, g_adQTable[kQIndexLowest], g_adQTable[kQIndexHighest]);
    int nearest = 0;
    for (int i = 1; i < kBandwidthIndexCount; ++i) {
        const auto at = [](int k) { return g_adQTable[static_cast<std::size_t>(k)]; };
        if (std::fabs(at(i) - q) < std::fabs(at(nearest) - q)) nearest = i;
    }
    return ClampPos(nearest);
}

int CNumValue::ParseMixPercent(double percent) const {
    if (!(m_dStep > 0.0)) return m_nPos;
    percent = std::clamp(percent, m_nMin * m_dStep, m_nMax * m_dStep);
    // Position = percent / step; the position is what gets scaled by the step.
    return ClampPos(TruncSteps(percent / m_dStep));
}

// Typed "1k", "1.5k", "2.2kHz", "80hz": the number, times a thousand after
// a "k". Whatever else follows is ignored, as after any typed number.
int CNumValue::ParseFreq(const std::string& text) const {
    std::size_t used = 0;
    double hz = ParseLeadingDouble(text, &used);
    const std::string unit = TrimSpaces(text.substr(used));
    if (used > 0 && !unit.empty() && (unit[0] == 'k' || unit[0] == 'K')) hz *= 1000.0;
    return ClampPos(TruncSteps(hz));
}

// Where the value's rounding leaves a position between two typed values
// (0.104 ms is 4.992 samples, a Q is shown 0.025 above its table value), the
// shown text still names its own position: the positions nearest the parsed
// one are asked for the same text.
int CNumValue::ParseText(const std::string& text) const {
    const int parsed = ParseValue(text);
    const std::string typed = TrimSpaces(text);
    // Where the Q table runs dense, the shown 0.025 lies several positions
    // away: the whole (short) table is asked.
    const int neighbours = m_nType == kValQ ? m_nMax - m_nMin : 4;
    for (int d = 0; d <= neighbours; ++d) {
        for (const int p : {parsed - d, parsed + d}) {
            if (p >= m_nMin && p <= m_nMax && TextOf(p) == typed) return p;
        }
    }
    return parsed;
}

int CNumValue::ParseValue(const std::string& text) const {
    switch (m_nType) {
        case kValDelayMs:
            return ParseDelayMs(ParseLeadingDouble(text));
        case kValDelayCm:
            return ParseDistanceMetres(ParseLeadingDouble(text) / kCentimetresPerMetre);
        case kValDelayInch:
            return ParseDistanceMetres(ParseLeadingDouble(text) / kInchesPerMetre);
        case kValBandFreq:
        case kValXoverFreq:
            return ParseFreq(text);
        case kValAttack:
            return ParseAttack(ParseLeadingDouble(text));
        case kValQ:
            return ParseQ(ParseLeadingDouble(text));
        case kValMixPercent:
            return ParseMixPercent(ParseLeadingDouble(text));
        default:
            return ParseLinear(IsOffWord(text) ? OffValue(m_nType) : ParseLeadingDouble(text));
    }
}

int CNumValue::Commit(const std::string& text) {
    m_nPos = ParseText(text);
    return m_nPos;
}

int CNumValue::SnapToGrid(int p, bool up) const {
    const int i = NearestGridIndex(p);
    int target;
    if (up) {
        target = std::min(i + 1, kGridPoints - 1);
    } else {
        if (i == 0) return m_nMin;    // below the grid: the range's own floor
        target = std::max(i - 1, 1);  // the first point is reached only from below
    }
    return ClampPos(std::trunc(g_adGridFreq[static_cast<std::size_t>(target)]));
}

int CNumValue::Step(int delta) {
    int p = ClampPos(static_cast<double>(ClampPos(m_nPos)) + delta);
    if (delta != 0 && SnapsToGrid(m_nType)) p = SnapToGrid(p, delta > 0);
    m_nPos = p;
    return p;
}

std::string BeyondRangeText(const std::string& fieldName) {
    return fieldName + ":" + Text(TextId::DataBeyondRange);
}

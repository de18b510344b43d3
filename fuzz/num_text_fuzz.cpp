// Typed text in the numeric fields, for every value type, and delays typed
// with a unit on the command line.
//
// Input: value type, step, offset, step range, a position, the language, then
// the typed text.
//
// Promises checked:
// - typed text of any kind gives a position inside the field's range, and
//   committing it stores exactly that position;
// - the text shown for any position in the range parses back into the range,
//   and back to the very same position where the text shows every step
//   (whole-number and tenths formats of a matching step, frequencies,
//   attack times); the delay texts, which round, come back within the
//   samples their resolution allows;
// - arrow steps stay inside the range;
// - a delay typed with a unit lies in 0..960 samples, and 0 when refused.

#include <cmath>
#include <string>
#include <vector>

#include "base/globals.h"
#include "controls/delay_units.h"
#include "controls/num_value.h"
#include "fuzz_support.h"
#include "tables/value_tables.h"

namespace {

constexpr int kTypes[] = {kValDelayMs,
                          kValDelayCm,
                          kValDelayInch,
                          kValBandFreq,
                          kValAttack,
                          kValXoverFreq,
                          kValGridFreq,
                          kValEqGain,
                          kValQ,
                          kValMixPercent,
                          kValLevelDbu,
                          kValThresholdDbu,
                          kValGainDb,
                          kValGainDbInRange,
                          kValGainOffAtMax,
                          3,
                          7,
                          99};
constexpr double kSteps[] = {0.0, 0.1, 0.5, 1.0, 2.0, 0.25, 0.01, 5.0};
constexpr double kOffsets[] = {0.0, 20.0, 30.0, 60.0, 120.0, 10.5, 0.25, 12.0};
constexpr int kRealDelayMax = kDelayMaxSamples;

// Decimals a linear type shows (-1: not a plain linear text).
int LinearDecimals(int type) {
    switch (type) {
        case kValLevelDbu:
        case kValGainDb:
        case kValGainDbInRange:
            return 0;
        case kValDelayMs:
        case kValDelayCm:
        case kValDelayInch:
        case kValBandFreq:
        case kValAttack:
        case kValXoverFreq:
        case kValQ:
        case kValMixPercent:
            return -1;
        default:
            return 1;
    }
}

bool IsWhole(double x) {
    return std::fabs(x - std::round(x)) < 1e-9;
}

// Samples a shown delay may move by when typed back (the text rounds to
// its unit, and distances are shown and parsed with slightly different
// speeds of sound).
int DelayDrift(int type) {
    switch (type) {
        case kValDelayMs:
            return 1;
        case kValDelayCm:
            return 2;
        default:
            return 3;
    }
}

// How far the shown text of p may parse away from p; -1 when nothing is promised.
int RoundTripDrift(const CNumValue& field, int p) {
    const int type = field.GetType();
    switch (type) {
        case kValBandFreq:
        case kValXoverFreq:
            return 0;
        case kValAttack:
            return field.GetMax() > kAttackFineCodes ? 0 : -1;
        case kValMixPercent:
            return field.GetStep() >= 1.0 && IsWhole(field.GetStep()) ? 0 : -1;
        case kValDelayMs:
        case kValDelayCm:
        case kValDelayInch:
            return field.GetMin() == 0 && field.GetMax() == kRealDelayMax ? DelayDrift(type) : -1;
        default:
            break;
    }
    const int decimals = LinearDecimals(type);
    if (decimals < 0 || !(field.GetStep() > 0.0)) return -1;
    const double scale = std::pow(10.0, decimals);
    if (!IsWhole(field.GetStep() * scale) || !IsWhole(field.GetOffset() * scale)) return -1;
    // The "OFF" texts stand for a fixed value, not for the position.
    if ((type == kValLevelDbu && p == 0) || (type == kValGainOffAtMax && p == field.GetMax()))
        return -1;
    return 0;
}

void CheckInRange(const CNumValue& field, int p, const std::string& what) {
    FUZZ_CHECK(p >= field.GetMin() && p <= field.GetMax(),
               what + " gave " + std::to_string(p) + " outside " + std::to_string(field.GetMin()) +
                   ".." + std::to_string(field.GetMax()) + " (type " +
                   std::to_string(field.GetType()) + ")");
}

void CheckShownText(CNumValue field, int p) {
    const std::string shown = field.TextOf(p);
    const int back = field.ParseText(shown);
    CheckInRange(field, back, "the shown text '" + shown + "'");
    const int drift = RoundTripDrift(field, p);
    if (drift >= 0) {
        FUZZ_CHECK(std::abs(back - p) <= drift,
                   "type " + std::to_string(field.GetType()) + ": position " + std::to_string(p) +
                       " shows '" + shown + "', which parses to " + std::to_string(back));
    }
    FUZZ_CHECK(field.SetPos(p), "an in-range position was refused");
    CheckInRange(field, field.Step(+1), "stepping up");
    FUZZ_CHECK(field.SetPos(p), "an in-range position was refused");
    CheckInRange(field, field.Step(-1), "stepping down");
}

void CheckDelay(const std::string& text) {
    bool ok = true;
    const int samples = ParseDelay(text, &ok);
    FUZZ_CHECK(samples >= 0 && samples <= kDelayMaxSamples, "a typed delay left 0..960");
    FUZZ_CHECK(ok || samples == 0, "a refused delay gave samples");
}

void CheckDelayTexts(int samples) {
    for (int unit = kDelayUnitMs; unit <= kDelayUnitInch; ++unit) {
        const std::string text = DelayTextWithUnit(samples, unit);
        bool ok = false;
        const int back = ParseDelay(text, &ok);
        FUZZ_CHECK(ok, "a shown delay '" + text + "' was refused");
        FUZZ_CHECK(std::abs(back - samples) <= DelayDrift(unit),
                   "delay " + std::to_string(samples) + " shows '" + text + "', which parses to " +
                       std::to_string(back));
    }
}

void WriteSeeds(const SeedSink& sink) {
    const char* texts[] = {
        "-3.45",  "30",      "2.500",  "700",   "OFF", "\xE5\x85\xB3\xE9\x97\xAD",
        "1000Hz", "0.6",     "12dB",   "inf",   "nan", "-1e309",
        "0x1p4",  "  7.9ms", "120smp", "34 in", "",    "-0",
        "1e-320"};
    for (int type = 0; type < static_cast<int>(std::size(kTypes)); ++type) {
        for (const char* text : texts) {
            sink(ByteWriter()
                     .Byte(type)
                     .Byte(1)
                     .Byte(1)
                     .Word(0)
                     .Word(400)
                     .Word(165)
                     .Byte(0)
                     .Text(text)
                     .Data());
        }
    }
}

}  // namespace

TQR_FUZZ_SEEDS(WriteSeeds)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader in({data, size});
    CNumValue field;
    field.SetType(kTypes[in.Pick(static_cast<int>(std::size(kTypes)))]);
    field.SetStep(kSteps[in.Pick(static_cast<int>(std::size(kSteps)))]);
    field.SetOffset(kOffsets[in.Pick(static_cast<int>(std::size(kOffsets)))]);
    const int lo = static_cast<int>(in.Word() % 4096);
    const int hi = lo + static_cast<int>(in.Word() % 40000);
    field.SetRange(lo, hi);
    const int p = lo + static_cast<int>(in.Word() % static_cast<unsigned>(hi - lo + 1));
    g_bChinese = in.Bool();
    const std::vector<uint8_t> rest = in.Rest();
    const std::string text(rest.begin(), rest.end());

    const int parsed = field.ParseText(text);
    CheckInRange(field, parsed, "typed text");
    FUZZ_CHECK(field.Commit(text) == parsed && field.GetPos() == parsed,
               "a commit stored another position than the text gives");
    for (int q : {lo, hi, p})
        CheckShownText(field, q);

    CheckDelay(text);
    CheckDelayTexts(p % (kDelayMaxSamples + 1));
    return 0;
}

#include "controls/num_value.h"

#include <gtest/gtest.h>

#include "tables/language_guard.h"

namespace {

// One numeric field as a panel sets it up: step, offset, value type, range.
struct FieldSetup {
    int type;
    double step;
    double offset;
    int lo;
    int hi;
};

CNumValue MakeField(const FieldSetup& s) {
    CNumValue field;
    field.SetStep(s.step);
    field.SetOffset(s.offset);
    field.SetType(s.type);
    field.SetRange(s.lo, s.hi);
    return field;
}

// The fields of the workspace.
constexpr FieldSetup kEqGain = {kValEqGain, 0.1, 20, 0, 400};
constexpr FieldSetup kDelayMs = {kValDelayMs, 0, 0, 0, 960};
constexpr FieldSetup kDelayCm = {kValDelayCm, 0, 0, 0, 960};
constexpr FieldSetup kDelayInch = {kValDelayInch, 0, 0, 0, 960};
constexpr FieldSetup kBandFreq = {kValBandFreq, 0, 0, 20, 20000};
constexpr FieldSetup kXoverFreq = {kValXoverFreq, 0, 0, 20, 20000};
constexpr FieldSetup kAttack = {kValAttack, 0, 0, 0, 106};
constexpr FieldSetup kQ = {kValQ, 0, 0, 4, 295};
constexpr FieldSetup kMix = {kValMixPercent, 1, 0, 0, 100};
constexpr FieldSetup kLevelDbu = {kValLevelDbu, 1, 20, 0, 32};
constexpr FieldSetup kThreshold = {kValThresholdDbu, 0.1, 30, 0, 360};
constexpr FieldSetup kChannelGain = {kValGainDb, 1, 60, 0, 60};
constexpr FieldSetup kGainInRange = {kValGainDbInRange, 1, 60, 0, 60};
constexpr FieldSetup kGainOffAtMax = {kValGainOffAtMax, 0.1, 20, 0, 200};

}  // namespace

TEST(NumValueText, PositionsShowInTheirUnits) {
    LanguageGuard english(false);
    struct Case {
        FieldSetup field;
        int pos;
        const char* text;
    };
    const Case cases[] = {
        {kEqGain, 165, "-3.5"},
        {kEqGain, 2, "-19.8"},
        {kEqGain, 200, "0.0"},
        {kEqGain, 400, "20.0"},
        {kDelayMs, 0, "0.000"},
        {kDelayMs, 1, "0.021"},
        {kDelayMs, 120, "2.500"},
        {kDelayMs, 960, "20.000"},
        {kDelayCm, 0, "0.0"},
        {kDelayCm, 480, "346.0"},
        {kDelayCm, 960, "692.0"},
        {kDelayInch, 480, "136.2"},
        {kDelayInch, 960, "272.4"},
        {kBandFreq, 1000, "1000"},
        {kXoverFreq, 80, "80Hz"},
        {kAttack, 0, "0.3ms"},
        {kAttack, 6, "0.9ms"},
        {kAttack, 7, "1ms"},
        {kAttack, 106, "100ms"},
        {kQ, 95, "1.439"},  // the table's 1.414 plus the 0.025 the field adds
        {kQ, 4, "16.052"},
        {kQ, 295, "0.429"},
        {kMix, 100, "100"},
        {kLevelDbu, 0, "OFF"},
        {kLevelDbu, 25, "5dBu"},
        {kThreshold, 300, "0.0dBu"},
        {kThreshold, 360, "6.0dBu"},
        {kChannelGain, 60, "0dB"},
        {kChannelGain, 54, "-6dB"},
        {kChannelGain, 0, "-60dB"},
        {kGainInRange, 75, "0dB"},  // forced into the range first
        {kGainInRange, -3, "-60dB"},
        {kGainOffAtMax, 200, "OFF"},
        {kGainOffAtMax, 195, "-0.5dB"},
        {{99, 0.5, 0, 0, 10}, 3, "1.5"},
        {{99, 0.1, 0.04, 0, 10}, 0, "0.0"},  // -0.04 rounds to zero: no "-0.0"
    };
    for (const auto& c : cases) {
        const CNumValue field = MakeField(c.field);
        EXPECT_EQ(field.TextOf(c.pos), c.text) << "type " << c.field.type << " pos " << c.pos;
    }
}

TEST(NumValueText, OffFollowsTheLanguage) {
    const CNumValue level = MakeField(kLevelDbu);
    LanguageGuard chinese(true);
    EXPECT_EQ(level.TextOf(0), "关闭");
    EXPECT_EQ(MakeField(kGainOffAtMax).TextOf(200), "关闭");
}

TEST(NumValueParse, TypedTextGivesClampedPosition) {
    struct Case {
        FieldSetup field;
        const char* text;
        int pos;
    };
    const Case cases[] = {
        // Typed values are truncated to the step below...
        {kEqGain, "-3.45", 165},
        {kEqGain, "+5.55", 255},
        // ...but a value that names a step exactly stays on it.
        {kEqGain, "-19.8", 2},
        {kEqGain, "-19.7", 3},
        {kEqGain, "25", 400},
        {kEqGain, "-30", 0},
        {kEqGain, "abc", 200},  // no number counts as 0 dB
        {kEqGain, "", 200},
        {kEqGain, " 3", 230},
        {kEqGain, "1,5", 210},  // a decimal comma ends the number
        {kEqGain, "OFF", 0},
        {kDelayMs, "30", 960},
        {kDelayMs, "20", 960},
        {kDelayMs, "19.99", 959},
        {kDelayMs, "2.5", 120},
        {kDelayMs, "2.5ms", 120},
        {kDelayMs, "0.021", 1},
        {kDelayMs, "-1", 0},
        {kDelayMs, "1e999", 960},
        {kDelayCm, "700", 960},  // beyond 20 ms of sound travel: the maximum
        {kDelayCm, "0", 0},
        {kDelayCm, "-5", 0},
        {kDelayCm, "86", 119},
        {kDelayInch, "34", 120},
        {kDelayInch, "300", 960},
        {kBandFreq, "1000", 1000},
        {kBandFreq, "1000.7", 1000},
        {kBandFreq, "5", 20},
        {kBandFreq, "99999", 20000},
        {kBandFreq, "99999999999999", 20000},
        {kBandFreq, "-99999999999999", 20},
        {kBandFreq, "abc", 20},
        {kXoverFreq, "120Hz", 120},
        {kAttack, "0.6ms", 3},
        {kAttack, "0.3", 0},
        {kAttack, "0.1", 0},
        {kAttack, "0.95", 6},
        {kAttack, "1", 7},
        {kAttack, "100", 106},
        {kAttack, "200", 106},
        {kAttack, "abc", 0},
        {kQ, "1.414", 95},
        {kQ, "1.42", 95},
        {kQ, "16.027", 4},
        {kQ, "20", 4},  // outside 0.404 .. 16.027: clamped, not refused
        {kQ, "0.3", 295},
        {kQ, "abc", 295},
        {kMix, "50", 50},
        {kMix, "50.9", 50},
        {kMix, "150", 100},
        {kMix, "-5", 0},
        {{kValMixPercent, 2, 0, 0, 50}, "50", 25},  // the position is percent / step
        {kLevelDbu, "OFF", 0},
        {kLevelDbu, "关闭", 0},
        {kLevelDbu, " off ", 0},
        {kLevelDbu, "5", 25},
        {kThreshold, "OFF", 360},  // +20 dBu, beyond the top
        {kThreshold, "6", 360},
        {kThreshold, "0", 300},
        {kThreshold, "-30.5", 0},
        {kThreshold, "-3.04", 269},  // 269.6 steps: truncated, never rounded
        {kThreshold, "5.99", 359},
        {kChannelGain, "-6", 54},
        {kChannelGain, "-6.5", 53},
        {kChannelGain, "10", 60},
        {kChannelGain, "关闭", 0},
        {kGainOffAtMax, "OFF", 200},
        {kGainOffAtMax, "-0.5dB", 195},
        {kGainOffAtMax, "-0.54", 194},
        {kGainOffAtMax, "-10.05", 99},
        {kGainInRange, "-6.5", 53},
        {kGainInRange, "-0.4", 59},
    };
    for (const auto& c : cases) {
        const CNumValue field = MakeField(c.field);
        EXPECT_EQ(field.ParseText(c.text), c.pos)
            << "type " << c.field.type << " '" << c.text << "'";
    }
}

// Retyping what a field shows keeps the value, in both languages: a field
// whose text rounds (milliseconds, distances, Q) must still read its own
// text as its own position.
TEST(NumValueParse, ShownTextOfEveryStepParsesBackToIt) {
    for (const bool chinese : {false, true}) {
        LanguageGuard language(chinese);
        for (const FieldSetup& setup :
             {kEqGain, kDelayMs, kDelayCm, kDelayInch, kBandFreq, kXoverFreq, kAttack, kQ, kMix,
              kLevelDbu, kThreshold, kChannelGain, kGainInRange, kGainOffAtMax}) {
            const CNumValue field = MakeField(setup);
            for (int p = setup.lo; p <= setup.hi; ++p)
                ASSERT_EQ(field.ParseText(field.TextOf(p)), p)
                    << "type " << setup.type << " text " << field.TextOf(p);
        }
    }
}

TEST(NumValueParse, FrequenciesTakeUnits) {
    struct Case {
        FieldSetup field;
        const char* text;
        int pos;
    };
    const Case cases[] = {
        {kBandFreq, "1k", 1000},         {kBandFreq, "1.5k", 1500},     {kBandFreq, "2.2kHz", 2200},
        {kBandFreq, "80hz", 80},         {kBandFreq, "80 Hz", 80},      {kBandFreq, "4.1K", 4100},
        {kBandFreq, " 12.5 kHz", 12500}, {kBandFreq, "25k", 20000},     {kBandFreq, "k", 20},
        {kXoverFreq, "1k", 1000},        {kXoverFreq, "3.15kHz", 3150}, {kXoverFreq, "80Hz", 80},
        {kXoverFreq, "0.05k", 50},
    };
    for (const auto& c : cases) {
        const CNumValue field = MakeField(c.field);
        EXPECT_EQ(field.ParseText(c.text), c.pos)
            << "type " << c.field.type << " '" << c.text << "'";
    }
}

TEST(NumValueParse, CommitStoresAndCanonicalTextFollows) {
    CNumValue field = MakeField(kDelayCm);
    EXPECT_EQ(field.Commit("700"), 960);
    EXPECT_EQ(field.GetPos(), 960);
    EXPECT_EQ(field.Text(), "692.0");
}

TEST(NumValueParse, WithoutAScaleTextKeepsThePosition) {
    CNumValue field = MakeField({kValGainDb, 0, 0, 0, 10});
    ASSERT_TRUE(field.SetPos(7));
    EXPECT_EQ(field.ParseText("3"), 7);
}

TEST(NumValuePos, OutOfRangeIsRefused) {
    CNumValue field = MakeField(kChannelGain);
    EXPECT_EQ(field.GetPos(), 0);  // a new range starts at its minimum
    EXPECT_TRUE(field.SetPos(60));
    EXPECT_FALSE(field.SetPos(61));
    EXPECT_FALSE(field.SetPos(-1));
    EXPECT_EQ(field.GetPos(), 60);
    {
        LanguageGuard english(false);
        EXPECT_EQ(BeyondRangeText("eq.band12.q"), "eq.band12.q:Data beyond range!");
    }
    LanguageGuard chinese(true);
    EXPECT_EQ(BeyondRangeText("ch3.gain"), "ch3.gain:数据超范围!");
}

TEST(NumValueStep, ArrowsStepAndFrequenciesSnapToTheGrid) {
    struct Case {
        FieldSetup field;
        int start;
        int delta;
        int pos;
    };
    const Case cases[] = {
        {kBandFreq, 1000, +1, 1030},
        {kBandFreq, 1000, -1, 972},
        {kBandFreq, 20, -1, 20},        // below the grid: the range minimum
        {kBandFreq, 21, -1, 20},        // the second grid point (20.3) is as low as a step goes
        {kBandFreq, 20, +1, 21},        // 20.9 is nearest to 21, so up lands on 21.5
        {kBandFreq, 20000, +1, 20000},  // the last point stays
        {kBandFreq, 19585, +1, 20000},
        {kBandFreq, 1014, +1, 1060},  // 1015 lies halfway: the tie goes up to 1030
        {kBandFreq, 1016, -1, 1000},  // 1015 again counts as 1030, one below is 1000
        {kXoverFreq, 1000, +1, 1030},
        {kXoverFreq, 80, -1, 76},  // 79 is nearest to 78.7, one below is 76.5
        {{kValBandFreq, 0, 0, 20, 1000}, 1000, +1, 1000},  // clamped to the range
        {kEqGain, 200, +1, 201},
        {kEqGain, 400, +1, 400},
        {kEqGain, 0, -1, 0},
        {kDelayMs, 5, -1, 4},
    };
    for (const auto& c : cases) {
        CNumValue field = MakeField(c.field);
        ASSERT_TRUE(field.SetPos(c.start));
        EXPECT_EQ(field.Step(c.delta), c.pos) << "type " << c.field.type << " from " << c.start;
        EXPECT_EQ(field.GetPos(), c.pos);
    }
}

// A stored value beyond the range is kept and shown as it is; an arrow
// starts from it clamped into the range.
TEST(NumValueStep, OutOfRangeValueIsHeldAndStepsFromTheRange) {
    struct Case {
        FieldSetup field;
        int stored;
        const char* text;
        int delta;
        int pos;
    };
    const Case cases[] = {
        {kThreshold, 400, "10.0dBu", -1, 359}, {kThreshold, 400, "10.0dBu", +1, 360},
        {kThreshold, -20, "-32.0dBu", +1, 1},  {kChannelGain, 70, "10dB", -1, 59},
        {kEqGain, 450, "25.0", -1, 399},
    };
    LanguageGuard english(false);
    for (const auto& c : cases) {
        CNumValue field = MakeField(c.field);
        field.HoldPos(c.stored);
        EXPECT_TRUE(field.IsOutOfRange());
        EXPECT_EQ(field.Text(), c.text);
        EXPECT_EQ(field.Step(c.delta), c.pos) << "type " << c.field.type << " from " << c.stored;
        EXPECT_FALSE(field.IsOutOfRange());
    }
}

TEST(NumValueStep, HeldArrowWalksTheGrid) {
    CNumValue field = MakeField(kBandFreq);
    field.SetPos(20);
    int previous = 20;
    int steps = 0;
    while (field.Step(+1) != previous) {
        EXPECT_GT(field.GetPos(), previous);
        previous = field.GetPos();
        ++steps;
    }
    EXPECT_EQ(field.GetPos(), 20000);
    EXPECT_LE(steps, 240);
    while (field.Step(-1) != previous)
        previous = field.GetPos();
    EXPECT_EQ(field.GetPos(), 20);
}

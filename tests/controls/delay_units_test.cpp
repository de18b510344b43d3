#include "controls/delay_units.h"

#include <gtest/gtest.h>

TEST(DelayUnits, ParseWithUnit) {
    struct Case {
        const char* text;
        bool ok;
        int samples;
    };
    const Case cases[] = {
        {"2.5ms", true, 120}, {" 2.5 ms ", true, 120}, {"2.5MS", true, 120},
        {"86cm", true, 119},  {"34in", true, 120},     {"34 inches", true, 120},
        {"30ms", true, 960},  {"700cm", true, 960},    {"-3ms", true, 0},
        {"1e1ms", true, 480}, {"120smp", true, 120},   {"2000 samples", true, 960},
        {"-5smp", true, 0},   {"2.5", false, 0},       {"ms", false, 0},
        {"abc", false, 0},    {"2.5xx", false, 0},     {"nanms", false, 0},
        {"-nanms", false, 0}, {"infms", false, 0},     {"", false, 0},
    };
    for (const auto& c : cases) {
        bool ok = !c.ok;
        EXPECT_EQ(ParseDelay(c.text, &ok), c.samples) << c.text;
        EXPECT_EQ(ok, c.ok) << c.text;
    }
}

TEST(DelayUnits, TextWithUnit) {
    EXPECT_EQ(DelayTextWithUnit(120, kDelayUnitMs), "2.500ms");
    EXPECT_EQ(DelayTextWithUnit(960, kDelayUnitCm), "692.0cm");
    EXPECT_EQ(DelayTextWithUnit(960, kDelayUnitInch), "272.4in");
    EXPECT_EQ(DelayText(960, kDelayUnitMs), "20.000");
    EXPECT_EQ(DelayText(0, 7), "");
}

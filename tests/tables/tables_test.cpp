#include "tables/value_tables.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tables/language_guard.h"

TEST(BandTables, FrequencyTablesRiseAndKeepTheirEnds) {
    auto rising = [](const auto& t) {
        for (std::size_t i = 1; i < t.size(); ++i)
            if (t[i] <= t[i - 1]) return false;
        return true;
    };
    EXPECT_TRUE(rising(kIsoBandFreq));
    EXPECT_TRUE(rising(kFactoryBandFreq));
    EXPECT_TRUE(rising(kInputBandFreq));
    EXPECT_EQ(kIsoBandFreq.front(), 20);
    EXPECT_EQ(kIsoBandFreq[17], 1000);
    EXPECT_EQ(kIsoBandFreq.back(), 20000);
    EXPECT_EQ(kFactoryBandFreq[1], 26);
    EXPECT_EQ(kFactoryBandFreq[25], 6299);
    EXPECT_EQ(kFactoryBandFreq.back(), 20000);
    EXPECT_EQ(kInputBandFreq[3], 317);
    EXPECT_EQ(kEffectBandFreq[1], 1000);
}

TEST(BandTables, GainIndex) {
    struct Case {
        double gain;
        int index;
    };
    const Case cases[] = {
        {12.0, 320}, {-20.0, 0},   {20.0, 400}, {0.0, 200},  {-3.45, 166},
        {0.04, 200}, {-0.05, 200}, {-25.0, 0},  {25.0, 400},  // out of range never leaves the image
                                                              // word's range
    };
    for (const auto& c : cases)
        EXPECT_EQ(GainToIndex(c.gain), c.index) << c.gain;
    EXPECT_EQ(400 + GainToIndex(12.0), 720);
    for (int i = 0; i <= kGainIndexMax; ++i)
        EXPECT_EQ(GainToIndex(IndexToGain(i)), i) << i;
    EXPECT_EQ(GainToIndex(std::nan("")), 0);
}

TEST(BandTables, BandwidthIndex) {
    EXPECT_EQ(BandwidthToIndex(0.20), 15);
    EXPECT_EQ(BandwidthToIndex(0.05), 0);
    EXPECT_EQ(BandwidthToIndex(3.00), 295);
    EXPECT_EQ(BandwidthToIndex(0.01), 0);
    EXPECT_EQ(BandwidthToIndex(5.0), 295);
    EXPECT_DOUBLE_EQ(IndexToBandwidth(15), 0.20);
    EXPECT_DOUBLE_EQ(IndexToBandwidth(0), 0.05);
    for (int i = 0; i < kBandwidthIndexCount; ++i)
        EXPECT_EQ(BandwidthToIndex(IndexToBandwidth(i)), i) << i;
}

TEST(QTable, MatchesFormulaAndQuotedValues) {
    for (int n = 0; n < kBandwidthIndexCount; ++n) {
        const double bw = 0.05 + 0.01 * n;
        const double q = std::sqrt(std::pow(2.0, bw)) / (std::pow(2.0, bw) - 1.0);
        EXPECT_DOUBLE_EQ(g_adQTable[n], std::round(q * 1000.0) / 1000.0) << n;
        if (n > 0) {
            EXPECT_LT(g_adQTable[n], g_adQTable[n - 1]) << n;
        }
    }
    EXPECT_DOUBLE_EQ(g_adQTable[0], 28.852);
    EXPECT_DOUBLE_EQ(g_adQTable[4], 16.027);
    EXPECT_DOUBLE_EQ(g_adQTable[15], 7.208);
    EXPECT_DOUBLE_EQ(g_adQTable[95], 1.414);
    EXPECT_DOUBLE_EQ(g_adQTable[295], 0.404);
}

TEST(QTable, QToBandwidthIndex) {
    struct Case {
        double q;
        int index;
    };
    const Case cases[] = {
        {1.414, 95}, {1.42, 95},   {1.4139, 96}, {16.027, 4},  {30.0, 0},
        {28.852, 0}, {0.404, 295}, {0.3, 295},   {0.405, 295}, {0.407, 294},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QToBandwidthIndex(c.q), c.index) << c.q;
    for (int i = 0; i < kBandwidthIndexCount; ++i)
        EXPECT_EQ(QToBandwidthIndex(g_adQTable[i]), i) << i;
}

TEST(ValueTexts, LanguageIndependentForms) {
    struct Case {
        std::string actual;
        const char* expected;
    };
    const Case cases[] = {
        {LimiterAttackText(0), "0.3ms"},
        {LimiterAttackText(6), "0.9ms"},
        {LimiterAttackText(7), "1ms"},
        {LimiterAttackText(106), "100ms"},
        {LimiterReleaseText(0), "Atk * 2"},
        {LimiterReleaseText(4), "Atk * 16"},
        {LimiterReleaseText(5), "Atk * 32"},
        {LimiterReleaseText(6), ""},
        {LimiterThresholdText(300), "0.0dBu"},
        {LimiterThresholdText(360), "6.0dBu"},
        {LimiterThresholdText(0), "-30.0dBu"},
        {XoverSlopeText(0, false), "12dB/Oct"},
        {XoverSlopeText(6, false), "48dB/Oct"},
        {XoverSlopeText(7, false), "OFF"},
        {XoverSlopeText(8, false), ""},
        {XoverSlopeText(1, true), "24dB/Oct"},
        {XoverSlopeText(2, true), ""},
        {ShelfSlopeText(0), "6dB/Oct"},
        {ShelfSlopeText(1), "12dB/Oct"},
        {ShelfSlopeText(2), ""},
        {RoleNameText(0), "空"},
        {RoleNameText(6), "前左全频"},
        {RoleNameText(24), "超低"},
        {RoleNameText(25), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.actual, c.expected);
    EXPECT_DOUBLE_EQ(LimiterAttackMs(106), 100.0);
    EXPECT_DOUBLE_EQ(LimiterAttackMs(2), 0.5);
    EXPECT_EQ(LimiterReleaseFactor(3), 8);
}

TEST(ValueTexts, FollowTheLanguage) {
    struct Case {
        std::string (*text)();
        const char* english;
        const char* chinese;
    };
    const Case cases[] = {
        {[] { return BandTypeText(kBandPeaking, false); }, "PEQ", "参量均衡"},
        {[] { return BandTypeText(kBandPeaking, true); }, "GEQ", "图示均衡"},
        {[] { return BandTypeText(kBandLowShelf, false); }, "Lo_Shf", "低架"},
        {[] { return BandTypeText(kBandHighShelf, true); }, "Hi_Shf", "高架"},
        {[] { return BandTypeText(kBandHighPass, false); }, "", ""},
        {[] { return BandTypeText(kBandLowPass, false); }, "", ""},
        {[] { return XoverFamilyText(0); }, "Link_Ril", "宁克"},
        {[] { return XoverFamilyText(1); }, "Bessel", "贝塞尔"},
        {[] { return XoverFamilyText(2); }, "Butter_W", "巴特沃斯"},
        {[] { return XoverFamilyText(3); }, "", ""},
        {[] { return XoverFamilyText(-1); }, "", ""},
        {[] { return PhaseText(0); }, "Pol+", "正相"},
        {[] { return PhaseText(1); }, "Pol-", "反相"},
    };
    for (const auto& c : cases) {
        {
            LanguageGuard english(false);
            EXPECT_EQ(c.text(), c.english);
        }
        LanguageGuard chinese(true);
        EXPECT_EQ(c.text(), c.chinese);
    }
}

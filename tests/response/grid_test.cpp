#include "response/grid.h"

#include <gtest/gtest.h>

TEST(Grid, EndsAndIrregularPoints) {
    EXPECT_EQ(g_adGridFreq.front(), 19.7);
    EXPECT_EQ(g_adGridFreq[136], 1000.0);
    EXPECT_EQ(g_adGridFreq[76], 179.0);
    EXPECT_EQ(g_adGridFreq[192], 5000.0);
    EXPECT_EQ(g_adGridFreq.back(), 20000.0);
    for (int i = 1; i < kGridPoints; ++i)
        EXPECT_LT(g_adGridFreq[i - 1], g_adGridFreq[i]) << i;
}

TEST(Grid, NearestIndex) {
    struct Case {
        double f;
        int index;
    };
    // 20 is the midpoint of 19.7 and 20.3, 1015 of 1000 and 1030, 4948 of 4896 and 5000.
    const Case cases[] = {
        {0, 0},        {19.7, 0},   {19.99, 0},    {20, 1},     {1000, 136},  {1010, 136},
        {1014.9, 136}, {1015, 137}, {4947.9, 191}, {4948, 192}, {20000, 240}, {25000, 240},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NearestGridIndex(c.f), c.index) << c.f;
}

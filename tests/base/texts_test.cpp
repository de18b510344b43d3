#include "base/texts.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/globals.h"

TEST(Texts, EveryTextExistsInBothLanguages) {
    for (unsigned i = 0; i < static_cast<unsigned>(TextId::Count); ++i) {
        const auto id = static_cast<TextId>(i);
        EXPECT_GT(std::strlen(TextIn(id, true)), 0u) << i;
        EXPECT_GT(std::strlen(TextIn(id, false)), 0u) << i;
    }
}

TEST(Texts, LanguageFollowsGlobalFlag) {
    g_bChinese = true;
    EXPECT_STREQ(Text(TextId::UnableToConnect), "无法连接设备");
    g_bChinese = false;
    EXPECT_STREQ(Text(TextId::UnableToConnect), "unable to connect");
}

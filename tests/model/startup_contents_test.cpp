#include <gtest/gtest.h>

#include <vector>

#include "image/record_layout.h"
#include "model/model_test_fixture.h"

namespace {

std::vector<BYTE> Bytes(const BYTE* p, int n) {
    return std::vector<BYTE>(p, p + n);
}

using StartupContentsTest = ModelTest;

TEST_F(StartupContentsTest, EveryOutputSlotStartsWithTheFactoryBlock) {
    const std::vector<BYTE> levelAndXover{0x01, 0x00, 0x3C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0x14, 0x00, 0x02, 0x02, 0x20, 0x4E, 0x02, 0x02};
    const std::vector<BYTE> mix{0x64, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<BYTE> limiterAndName{0x68, 0x01, 0x6A, 0x05, 0x00, 0x00, 0x00, 0x00, 0x20,
                                           0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x00, 0x00, 0x00};
    const int freqs[] = {20,   26,   33,   41,   51,   62,    81,    101,   124,  161,  201,
                         251,  316,  401,  501,  631,  801,   1001,  1251,  1601, 2001, 2501,
                         3151, 4001, 5001, 6299, 8001, 10001, 12501, 16001, 20000};
    for (int c = 0; c < kOutputCount; ++c) {
        const BYTE* slot = Slot(c);
        for (int i = 0; i < kOutBandCount; ++i) {
            const BYTE* band = slot + 8 * i;
            EXPECT_EQ(GetWord(band), freqs[i]) << "channel " << c << " band " << i;
            EXPECT_EQ(Bytes(band + 2, 6), (std::vector<BYTE>{0x58, 0x02, 15, 0, 0, 0}));
        }
        EXPECT_EQ(Bytes(slot + 248, 16), levelAndXover);
        EXPECT_EQ(Bytes(slot + 264, 16), mix);
        EXPECT_EQ(Bytes(slot + 280, 18), limiterAndName) << "channel " << c;
    }
}

TEST_F(StartupContentsTest, InputAndEffectBandsStartFlatAtOneKilohertz) {
    const std::vector<BYTE> flat1k{0xE8, 0x03, 0x58, 0x02, 0, 0, 0, 0};
    for (int block : {kImageMicOffset, kImageMusicOffset}) {
        for (int i = 0; i < kInputBandCount; ++i) {
            EXPECT_EQ(Bytes(g_CurImage.data() + block + 8 * i, 8), flat1k);
        }
    }
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(Bytes(g_CurImage.data() + kImageEffectOffset + 8 * i, 8), flat1k);
    }
}

TEST_F(StartupContentsTest, StoredGroupsStartWithBlankNames) {
    std::vector<BYTE> expected(32, 0x20);
    expected[15] = 0;
    for (const ParamImage& image : g_GroupImages) {
        EXPECT_EQ(Bytes(image.data(), 32), expected);
    }
}

TEST_F(StartupContentsTest, SystemBlocksStartWithTheirDefaults) {
    EXPECT_EQ(std::vector<BYTE>(g_SysSettings.begin(), g_SysSettings.end()),
              (std::vector<BYTE>{0, 0, 60, 0, 0, 1, 0, 0}));
    EXPECT_EQ(std::vector<BYTE>(g_SpeakerRoles.begin(), g_SpeakerRoles.end()),
              (std::vector<BYTE>{6, 12, 15, 18, 22, 23, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(std::vector<BYTE>(g_InputLevels.begin(), g_InputLevels.end()),
              (std::vector<BYTE>{200, 0, 200, 0, 200, 0, 0, 0}));
    for (BYTE b : g_ListenPositions)
        EXPECT_EQ(b, 0);
    for (BYTE b : g_LimiterSettings)
        EXPECT_EQ(b, 0);
}

TEST_F(StartupContentsTest, ResetUndoesEarlierChanges) {
    g_CurImage[5] = 9;
    g_GroupImages[3][100] = 9;
    g_SysSettings[0] = 5;
    g_anLinkGroup[2] = 0;
    InitStartupContents();
    EXPECT_EQ(g_CurImage[5], 0);
    EXPECT_EQ(g_GroupImages[3][100], 0);
    EXPECT_EQ(g_SysSettings[0], 0);
    EXPECT_EQ(g_anLinkGroup[2], 2);
}

}  // namespace

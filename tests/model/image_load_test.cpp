#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "image/record_layout.h"
#include "model/model_test_fixture.h"
#include "model/text_field.h"
#include "model/varied_image.h"

namespace {

using ImageLoadTest = ModelTest;

// First byte where two images differ, or -1.
int FirstDifference(const ParamImage& a, const ParamImage& b) {
    auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin());
    return ia == a.end() ? -1 : static_cast<int>(ia - a.begin());
}

TEST_F(ImageLoadTest, FactorySlotsComeBackByteForByte) {
    ParamImage before = g_CurImage;
    model->LoadFromImage(g_CurImage, kLoadModeCurrent);
    model->WriteAllToImage();
    for (int c = 0; c < kOutputCount; ++c) {
        EXPECT_TRUE(std::equal(before.begin() + OutSlotOffset(c),
                               before.begin() + OutSlotOffset(c) + kOutSlotSize,
                               g_CurImage.begin() + OutSlotOffset(c)))
            << "channel " << c;
    }
    // The factory block's own limiter bytes sit two bytes early; the record
    // reads 282..285 and writes back exactly those bytes.
    EXPECT_EQ(Out(0).GetLimitThreshold(), 0x056A);
    EXPECT_EQ(Out(0).GetLimitAttack(), 0);
    EXPECT_EQ(Out(0).GetName(), "");
}

TEST_F(ImageLoadTest, VariedImagesComeBackByteForByte) {
    for (unsigned seed : {1u, 2u, 3u, 4u}) {
        const ParamImage varied = VariedImageMaker(seed).Make();
        g_CurImage = varied;
        model->LoadFromImage(g_CurImage, kLoadModeCurrent);
        model->WriteAllToImage();
        EXPECT_EQ(FirstDifference(g_CurImage, varied), -1) << "seed " << seed;
    }
}

// Written over a different image, a channel slot takes every byte the record
// owns from the record and keeps the others of the image it is written into.
TEST_F(ImageLoadTest, ChannelWritesItsBytesAndKeepsTheRest) {
    const ParamImage loaded = VariedImageMaker(21).Make();
    const ParamImage other = VariedImageMaker(22).Make();
    g_CurImage = loaded;
    model->LoadFromImage(g_CurImage, kLoadModeCurrent);
    g_CurImage = other;
    model->WriteAllToImage();
    auto same = [](const ParamImage& a, int from, int to) {
        return std::equal(a.begin() + from, a.begin() + to + 1, g_CurImage.begin() + from);
    };
    for (int c = 0; c < kOutputCount; ++c) {
        const int s = OutSlotOffset(c);
        EXPECT_TRUE(same(loaded, s, s + 275)) << "bands, level, crossover, mix of " << c;
        EXPECT_TRUE(same(other, s + 276, s + 281)) << c;
        EXPECT_TRUE(same(loaded, s + 282, s + 285)) << "limiter of " << c;
        EXPECT_TRUE(same(other, s + 286, s + 289)) << c;
    }
    EXPECT_TRUE(same(other, 0, 31));
    EXPECT_TRUE(same(loaded, 32, 55));    // effect bands
    EXPECT_TRUE(same(other, 56, 151));    // effect bytes no record owns
    EXPECT_TRUE(same(loaded, 152, 163));  // effect crossover, settings 1..4
    EXPECT_TRUE(same(other, 164, 165));
    EXPECT_TRUE(same(loaded, 184, 272));  // microphone bands, level bytes, crossover, 88
    EXPECT_TRUE(same(other, 273, 279));   // microphone 89..95
    EXPECT_TRUE(same(loaded, 296, 367));  // music bands
    EXPECT_TRUE(same(other, 368, 368));   // music byte 72
    EXPECT_TRUE(same(other, 370, 370));   // music byte 74
    EXPECT_TRUE(same(loaded, 371, 383));  // music 75..87
}

TEST_F(ImageLoadTest, LoadedValuesReachTheRecords) {
    const ParamImage varied = VariedImageMaker(7).Make();
    g_CurImage = varied;
    model->LoadFromImage(g_CurImage, kLoadModeCurrent);
    const BYTE* slot = varied.data() + OutSlotOffset(1);
    EXPECT_EQ(Out(1).GetName(), "低音");
    EXPECT_EQ(Out(1).GetDelay(), GetWord(slot + kOutDelay));
    EXPECT_EQ(Out(1).GetMix(11), slot[kOutMix + 11]);
    EXPECT_EQ(Out(1).GetLimitRelease(), slot[kOutLimitRelease]);
    EXPECT_EQ(Out(1).GetHighPass()->GetFreq(), GetWord(slot + kOutXover));
    EXPECT_EQ(Out(1).GetBand(5)->GetFreq(), GetWord(slot + 40));
    EXPECT_EQ(Out(3).GetName(), "Mid");  // spaces trimmed
    EXPECT_EQ(model->GetMusic(0)->GetName(), "Music B");
    EXPECT_EQ(model->GetEffect().GetName(), "Hall");
    for (int c = 0; c < kOutputCount; ++c) {
        for (int i = 0; i < kOutBandCount; ++i) {
            EXPECT_EQ(Out(c).GetBand(i)->IsGeqMode(), Out(c).GetEqMode() != 0);
        }
    }
}

TEST_F(ImageLoadTest, CrossoverWordsOutsideTheRangeAreClampedBeforeLoading) {
    struct Case {
        int highWord, lowWord, highHz, lowHz;
    };
    const Case cases[] = {
        {25000, 10, 20000, 20},
        {20000, 5, 20000, 20},
        {65535, 0, 20000, 20},
        {19999, 21, 19999, 21},
    };
    for (const Case& k : cases) {
        BYTE* x = Slot(1) + kOutXover;
        PutWord(x + kXoverHighFreq, k.highWord);
        PutWord(x + kXoverLowFreq, k.lowWord);
        model->LoadFromImage(g_CurImage, kLoadModeFile);
        EXPECT_EQ(Out(1).GetHighPass()->GetFreq(), k.highHz) << k.highWord;
        EXPECT_EQ(Out(1).GetLowPass()->GetFreq(), k.lowHz) << k.lowWord;
        EXPECT_EQ(GetWord(x + kXoverHighFreq), k.highHz);
        EXPECT_EQ(GetWord(x + kXoverLowFreq), k.lowHz);
    }
}

TEST_F(ImageLoadTest, OnlyModesZeroAndSixLoadTheEffectRecord) {
    const ParamImage varied = VariedImageMaker(11).Make();
    for (int mode : {kLoadModeFile, 1, 2, 5}) {
        g_CurImage = varied;
        model->LoadFromImage(g_CurImage, mode);
        EXPECT_EQ(model->GetEffect().GetName(), "Effect") << "mode " << mode;
        EXPECT_EQ(model->GetEffect().GetSetting(0), 20);
        EXPECT_EQ(Out(0).GetName(), "Sub");  // the rest loads in every mode
    }
    for (int mode : {kLoadModeCurrent, kLoadModeWithEffect}) {
        model = std::make_unique<CKTV_Data>();
        g_CurImage = varied;
        model->LoadFromImage(g_CurImage, mode);
        EXPECT_EQ(model->GetEffect().GetName(), "Hall") << "mode " << mode;
        EXPECT_EQ(model->GetEffect().GetSetting(0), varied[160]);
    }
}

TEST_F(ImageLoadTest, MusicGainWordZeroLoadsAsGainOff) {
    PutWord(g_CurImage.data() + kImageMusicOffset + kInGain, 0);
    model->LoadFromImage(g_CurImage, kLoadModeFile);
    EXPECT_TRUE(model->GetMusic(0)->IsGainOff());
    EXPECT_EQ(model->GetMusic(0)->GetGain(), 0);
    PutWord(g_CurImage.data() + kImageMusicOffset + kInGain, 0x1234);
    model->WriteAllToImage();
    EXPECT_EQ(GetWord(g_CurImage.data() + kImageMusicOffset + kInGain), 0);
}

TEST_F(ImageLoadTest, NameRulesOfTheInputs) {
    BYTE* micName = g_CurImage.data() + kImageMicOffset + kInName;
    BYTE* musicName = g_CurImage.data() + kImageMusicOffset + kInName;
    const BYTE padded[8] = {' ', 'A', 'b', ' ', 0, 0, 0, 0};
    std::copy(padded, padded + 8, micName);
    std::copy(padded, padded + 8, musicName);
    model->LoadFromImage(g_CurImage, kLoadModeFile);
    EXPECT_EQ(model->GetMic(0)->GetName(), " Ab ");  // kept as it is
    EXPECT_EQ(model->GetMusic(0)->GetName(), "Ab");  // trimmed

    model->GetMic(0)->SetName("Microphone12");
    model->WriteAllToImage();
    EXPECT_EQ(std::string(reinterpret_cast<char*>(micName), 8), std::string("Microph\0", 8));
}

TEST_F(ImageLoadTest, EachInputWritesOnlyItsOwnBlock) {
    struct Case {
        CInputData* record;
        int first, last;
    };
    const Case cases[] = {{model->GetMic(0), 184, 295}, {model->GetMusic(0), 296, 407}};
    for (const Case& k : cases) {
        ParamImage before;
        before.fill(0xA5);
        g_CurImage = before;
        k.record->WriteToImage();
        for (int i = 0; i < kImageSize; ++i) {
            if (i < k.first || i > k.last) {
                ASSERT_EQ(g_CurImage[i], 0xA5) << "byte " << i;
            }
        }
    }
}

TEST_F(ImageLoadTest, MusicLeavesBytes72And74AsTheyAre) {
    BYTE* block = g_CurImage.data() + kImageMusicOffset;
    block[kInLevel] = 0x33;
    block[kInKept74] = 0x44;
    model->GetMusic(0)->SetLevel(9);
    model->GetMusic(0)->WriteToImage();
    EXPECT_EQ(block[kInLevel], 0x33);
    EXPECT_EQ(block[kInKept74], 0x44);
    model->GetMic(0)->SetLevel(9);
    model->GetMic(0)->WriteToImage();
    EXPECT_EQ(g_CurImage[kImageMicOffset + kInLevel], 9);
    EXPECT_EQ(g_CurImage[kImageMicOffset + kInKept74], 1);  // the microphone's default
}

TEST_F(ImageLoadTest, LoadingSetsNoPendingMarker) {
    g_bOnline = true;
    g_CurImage = VariedImageMaker(5).Make();
    model->LoadFromImage(g_CurImage, kLoadModeCurrent);
    for (int c = 0; c < kOutputCount; ++c) {
        EXPECT_FALSE(Out(c).IsNamePending() || Out(c).IsLevelPending() ||
                     Out(c).IsMixLowPending() || Out(c).IsMixHighPending() ||
                     Out(c).IsLimiterPending() || Out(c).IsXoverPending());
    }
    EXPECT_FALSE(model->GetMusic(0)->IsLevelPending());
    EXPECT_FALSE(model->GetMic(0)->GetEQ().GetHighPass()->IsPending());
}

TEST_F(ImageLoadTest, IsNameUsedSkipsTheSlotItself) {
    const BYTE name[16] = {'R', 'o', 'c', 'k'};
    std::copy(name, name + 16, g_GroupImages[2].begin());  // group 3
    EXPECT_TRUE(model->IsNameUsed(0, name, true, 16));
    EXPECT_FALSE(model->IsNameUsed(2, name, true, 16));
    std::copy(name, name + 16, g_GroupImages[7].begin());  // group 8 is not a device group
    std::copy(name, name + 16, g_GroupImages[2].begin() + 1);
    EXPECT_FALSE(model->IsNameUsed(0, name, true, 16));

    std::copy(name, name + 16, g_SourceRecords[4].begin());  // group 25
    EXPECT_TRUE(model->IsNameUsed(0, name, false, 16));
    EXPECT_FALSE(model->IsNameUsed(4, name, false, 16));
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>

#include "workspace/link_presenter.h"
#include "workspace/presenter_fixture.h"

namespace {

class RecordingLinkView : public ILinkView {
public:
    std::optional<int> AskReferenceSide() override {
        ++asked;
        return answer;
    }
    void ShowMessage(TextId text) override { messages.push_back(text); }
    void SetLinkChecked(bool on) override { toggle = on; }

    std::optional<int> answer = kLinkSideLeft;
    int asked = 0;
    std::vector<TextId> messages;
    bool toggle = false;
};

class LinkPresenterTest : public PresenterTest {
protected:
    // Each channel different from the others in what a link copies and in
    // what it keeps, so that a copy in the wrong direction or of the wrong
    // parts shows.
    void SetUp() override {
        PresenterTest::SetUp();
        SetOk({{"ch1.eq3.gain", "6"},
               {"ch1.hp.freq", "80"},
               {"ch1.gain", "-4"},
               {"ch3.eq10.gain", "-3"},
               {"ch3.lp.freq", "5000"},
               {"ch3.gain", "-9"},
               {"ch5.eqmode", "graphic"},
               {"ch5.gain", "-2"},
               {"ch2.eq20.gain", "2"},
               {"ch4.hp.freq", "300"},
               {"ch6.gain", "-12"},
               {"ch2.delay", "100"},
               {"ch2.phase", "inverted"},
               {"ch2.mix.1", "40"},
               {"ch4.limiter.threshold", "-8"}},
              true);
        RunLinkUntilIdle();
        sink.Taken();
    }

    // The parts of a block that a link copies: bands, gain, EQ mode, crossover.
    static std::vector<BYTE> CopiedParts(const std::vector<BYTE>& block) {
        std::vector<BYTE> parts(block.begin(), block.begin() + kOutBandCount * kBandRecordBytes);
        parts.insert(parts.end(), block.begin() + kOutGain, block.begin() + kOutGain + 2);
        parts.push_back(block[kOutEqMode]);
        parts.insert(parts.end(), block.begin() + kOutXover,
                     block.begin() + kOutXover + kXoverRecordSize);
        return parts;
    }
    static std::vector<BYTE> KeptParts(const std::vector<BYTE>& block) {
        std::vector<BYTE> parts{block[kOutOutputOn], block[kOutPhase]};
        parts.insert(parts.end(), block.begin() + kOutDelay, block.begin() + kOutDelay + 2);
        parts.insert(parts.end(), block.begin() + kOutMix, block.end());
        return parts;
    }
    int Posted(unsigned msg) {
        const std::vector<PostedMessage> posted = sink.Taken();
        return static_cast<int>(std::count_if(
            posted.begin(), posted.end(), [&](const PostedMessage& m) { return m.msg == msg; }));
    }

    RecordingLinkView view;
    CLinkPresenter link{*this, workspace, view};
};

TEST(LinkPairs, FromTheRoles) {
    const LinkPairs factory = BuildLinkPairs({6, 12, 15, 18, 22, 23});
    EXPECT_EQ(EnabledPairCount(factory), 3);
    EXPECT_TRUE(factory[5].enabled && factory[5].left == 0 && factory[5].right == 1);
    EXPECT_TRUE(factory[8].enabled && factory[8].left == 2 && factory[8].right == 3);
    EXPECT_TRUE(factory[9].enabled && factory[9].left == 4 && factory[9].right == 5);

    // A one-sided pair stays off; a later channel with the same role wins;
    // roles of entries 7..12 take no part.
    const LinkPairs mixed = BuildLinkPairs({1, 2, 7, 8, 1, 3, 9, 0, 0, 0, 0, 0});
    EXPECT_EQ(EnabledPairCount(mixed), 2);
    EXPECT_EQ(mixed[0].left, 4);
    EXPECT_FALSE(mixed[2].enabled);
    EXPECT_EQ(EnabledPairCount(BuildLinkPairs({6, 6, 15, 0, 24, 19})), 0);
}

TEST_F(LinkPresenterTest, LeftSideReachesTheRightChannelsByteForByte) {
    const std::vector<BYTE> keptBefore[3] = {KeptParts(DeviceSlot(1)), KeptParts(DeviceSlot(3)),
                                             KeptParts(DeviceSlot(5))};
    link.OnLinkToggled();
    EXPECT_TRUE(view.toggle);
    EXPECT_TRUE(link.IsLinked());
    RunLinkUntilIdle();

    for (int pair = 0; pair < 3; ++pair) {
        const int left = 2 * pair, right = left + 1;
        EXPECT_EQ(CopiedParts(DeviceSlot(right)), CopiedParts(DeviceSlot(left)))
            << "CH" << right + 1;
        EXPECT_EQ(KeptParts(DeviceSlot(right)), keptBefore[pair]) << "CH" << right + 1;
        EXPECT_EQ(DeviceSlot(right), HostSlot(right));
        EXPECT_EQ(g_anLinkGroup[right], left);
    }
    EXPECT_EQ(GetWord(DeviceSlot(1).data() + kOutGain), 56) << "CH1's -4 dB";
    // Each channel that took a copy shows it.
    EXPECT_EQ(workspace.channelRefreshes, (std::vector<int>{1, 3, 5}));
    EXPECT_FALSE(workspace.presetDisplayShown);
    EXPECT_TRUE(workspace.selectChecked[0] && workspace.selectChecked[1]);
}

TEST_F(LinkPresenterTest, RightSideIsCopiedToTheLeft) {
    view.answer = kLinkSideRight;
    link.OnLinkToggled();
    RunLinkUntilIdle();
    EXPECT_EQ(CopiedParts(DeviceSlot(0)), CopiedParts(DeviceSlot(1)));
    EXPECT_EQ(GetWord(DeviceSlot(4).data() + kOutGain), 48) << "CH6's -12 dB";
    EXPECT_EQ(g_anLinkGroup[0], 1);
}

TEST_F(LinkPresenterTest, NoPairsOrCancelLeaveTheToggleOff) {
    const struct {
        const char* what;
        std::optional<int> answer;
        std::array<BYTE, 12> roles;
        size_t messages;
    } cases[] = {
        {"cancel", std::nullopt, {6, 12, 15, 18, 22, 23}, 0},
        {"no pair", kLinkSideLeft, {6, 0, 15, 0, 22, 24}, 1},
    };
    for (const auto& c : cases) {
        view = {};
        view.toggle = true;  // the toggle's own press checked it
        view.answer = c.answer;
        g_SpeakerRoles = c.roles;
        link.OnLinkToggled();
        EXPECT_FALSE(view.toggle) << c.what;
        EXPECT_FALSE(link.IsLinked()) << c.what;
        ASSERT_EQ(view.messages.size(), c.messages) << c.what;
        if (c.messages) {
            EXPECT_EQ(view.messages[0], TextId::NoLinkPairs);
        }
        EXPECT_EQ(cmd.GetCount(), 0) << c.what;
        for (int i = 0; i < kOutputCount; ++i)
            EXPECT_EQ(g_anLinkGroup[i], i) << c.what;
        EXPECT_TRUE(workspace.presetDisplayShown);
    }
    EXPECT_STREQ(TextIn(TextId::NoLinkPairs, true), "无通道可以联调");
}

TEST_F(LinkPresenterTest, OutputsAreMutedDuringLinkingAndRestoredAfter) {
    SetOk({{"ch3.output", "off"}}, true);
    RunLinkUntilIdle();
    const std::vector<BYTE> outputsBefore = [&] {
        std::vector<BYTE> v;
        for (int c = 0; c < kOutputCount; ++c)
            v.push_back(DeviceSlot(c)[kOutOutputOn]);
        return v;
    }();
    ASSERT_EQ(outputsBefore, (std::vector<BYTE>{1, 1, 0, 1, 1, 1}));

    link.OnLinkToggled();
    // Six mutes, three copies, six restores.
    EXPECT_EQ(cmd.GetCount(), 15);
    RunLinkUntilIdle(6);
    for (int c = 0; c < kOutputCount; ++c)
        EXPECT_EQ(DeviceSlot(c)[kOutOutputOn], 0) << "CH" << c + 1 << " while linking";
    RunLinkUntilIdle();
    for (int c = 0; c < kOutputCount; ++c)
        EXPECT_EQ(DeviceSlot(c)[kOutOutputOn], outputsBefore[c]) << "CH" << c + 1;
}

TEST_F(LinkPresenterTest, LinkedGainIsSharedPhaseAndDelayAreNot) {
    link.OnLinkToggled();
    RunLinkUntilIdle();
    SetOk({{"ch1.gain", "-20"}, {"ch1.phase", "inverted"}, {"ch1.delay", "480"}}, true);
    RunLinkUntilIdle();
    EXPECT_EQ(GetWord(DeviceSlot(1).data() + kOutGain), 40);
    EXPECT_EQ(GetWord(DeviceSlot(1).data() + kOutDelay), 100);
    EXPECT_EQ(DeviceSlot(0)[kOutPhase], 1);
    EXPECT_EQ(DeviceSlot(1)[kOutPhase], 1) << "CH2 was inverted before, and stays";
    EXPECT_EQ(GetWord(DeviceSlot(3).data() + kOutGain), 51) << "CH3/CH4 untouched";
}

TEST_F(LinkPresenterTest, TheSecondChannelsCopyShowsAndEndsTheTransfer) {
    link.OnLinkToggled();
    EXPECT_EQ(Posted(UM_TRANSFER_START), 1);
    RunLinkUntilIdle();
    EXPECT_EQ(Posted(UM_TRANSFER_DONE), 1);

    // Copying toward the left side never involves CH2's block.
    link.OnLinkToggled();
    view.answer = kLinkSideRight;
    link.OnLinkToggled();
    EXPECT_EQ(Posted(UM_TRANSFER_START), 0);
}

TEST_F(LinkPresenterTest, PartnerAndSwitchingOff) {
    EXPECT_EQ(link.PartnerOf(0), -1);
    workspace.selected = 2;
    link.OnLinkToggled();
    EXPECT_EQ(link.PartnerOf(0), 1);
    EXPECT_EQ(link.PartnerOf(3), 2);
    EXPECT_TRUE(workspace.selectChecked[3]);

    link.OnLinkToggled();
    EXPECT_EQ(view.asked, 1) << "switching off asks nothing";
    EXPECT_FALSE(view.toggle);
    EXPECT_FALSE(workspace.selectChecked[3]);
    EXPECT_TRUE(workspace.presetDisplayShown);
    EXPECT_EQ(link.PartnerOf(0), -1);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(g_anLinkGroup[i], i);
}

TEST_F(LinkPresenterTest, ResetDissolvesEveryLink) {
    workspace.selected = 4;
    link.OnLinkToggled();
    link.ResetLinks();
    EXPECT_FALSE(link.IsLinked());
    EXPECT_FALSE(view.toggle);
    EXPECT_TRUE(workspace.presetDisplayShown);
    for (int i = 0; i < kOutputCount; ++i) {
        EXPECT_EQ(g_anLinkGroup[i], i);
        EXPECT_EQ(g_apOutChannel[i], &Out(i));
        EXPECT_EQ(workspace.selectChecked[i], i == 4) << i;
    }
}

TEST_F(LinkPresenterTest, OfflineLinkingChangesTheModelOnly) {
    g_bOnline = false;
    link.OnLinkToggled();
    EXPECT_EQ(cmd.GetCount(), 0);
    EXPECT_EQ(Out(1).GetGain(), Out(0).GetGain());
    EXPECT_EQ(GetWord(Slot(1) + kOutGain), 56);
    EXPECT_EQ(Posted(UM_TRANSFER_START), 0);
}

}  // namespace

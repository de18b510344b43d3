#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <utility>

#include "base/globals.h"
#include "workspace/mixer_presenter.h"
#include "workspace/presenter_fixture.h"

namespace {

class RecordingMixerView : public IMixerView {
public:
    void OpenPanel() override { ++opened; }
    void ShowCell(int o, int k, int level) override { cells[{o, k}] = level; }
    void Relabel() override { labelledChinese = g_bChinese; }

    int opened = 0;
    std::optional<bool> labelledChinese;
    std::map<std::pair<int, int>, int> cells;
};

class MixerPresenterTest : public PresenterTest {
protected:
    RecordingMixerView view;
    CMixerPresenter mixer{*this, view};
};

// Inputs 1..8 travel in item 33, 9..12 in item 34: a cell sends its own item only.
TEST_F(MixerPresenterTest, CellSendsTheItemOfItsInput) {
    const struct {
        int output, input, level;
        BYTE item;
    } cases[] = {
        {2, 0, 50, kChannelItemMixLow},
        {0, 7, 100, kChannelItemMixLow},
        {5, 8, 30, kChannelItemMixHigh},
        {3, 11, 1, kChannelItemMixHigh},
    };
    for (const auto& c : cases) {
        mixer.OnCellChanged(c.output, c.input, c.level);
        EXPECT_EQ(Out(c.output).GetMix(c.input), c.level);
        EXPECT_EQ((view.cells[{c.output, c.input}]), c.level);
        std::unique_ptr<CSendData> packet;
        {
            std::lock_guard lock(g_csModel);
            packet = model->NextPendingChange();
        }
        EXPECT_EQ(AddressOf(*packet), (FrameAddress{CMD_WRITE, BT_OUTPUT, BYTE(c.output), c.item}))
            << "output " << c.output << " input " << c.input;
        EXPECT_TRUE(NothingPending(*model, cmd)) << "only one item";
    }
}

TEST_F(MixerPresenterTest, CellReachesTheDeviceAndOthersKeepTheirLevels) {
    SetOk({{"ch2.mix.3", "70"}, {"ch2.mix.10", "20"}}, true);
    RunLinkUntilIdle();
    mixer.OnCellChanged(1, 0, 50);
    mixer.OnCellChanged(1, 11, 250);  // clamped
    RunLinkUntilIdle();
    const std::vector<BYTE> slot = DeviceSlot(1);
    EXPECT_EQ(slot[kOutMix + 0], 50);
    EXPECT_EQ(slot[kOutMix + 2], 70);
    EXPECT_EQ(slot[kOutMix + 9], 20);
    EXPECT_EQ(slot[kOutMix + 11], 100);
    EXPECT_EQ(DeviceSlot(1), HostSlot(1));
}

TEST_F(MixerPresenterTest, MixIsNotSharedInALinkGroup) {
    Link({0, 1});
    mixer.OnCellChanged(0, 2, 33);
    EXPECT_EQ(Out(1).GetMix(2), 0);
}

// The panel speaks the window's language however the language flipped:
// while it was closed, or while it was open.
TEST_F(MixerPresenterTest, PanelFollowsTheLanguage) {
    for (const bool chinese : {true, false}) {
        g_bChinese = chinese;
        mixer.Relabel();
        EXPECT_EQ(view.labelledChinese, chinese) << "closed";
        g_bChinese = !chinese;
        mixer.OnMixerButton();
        EXPECT_EQ(view.labelledChinese, !chinese) << "opened";
        g_bChinese = chinese;
        mixer.Relabel();
        EXPECT_EQ(view.labelledChinese, chinese) << "open";
        mixer.OnPanelClosed();
    }
}

TEST_F(MixerPresenterTest, PanelOpensOnceAndLoadsEveryCell) {
    SetOk({{"ch6.mix.12", "9"}});
    mixer.ReloadMix();
    EXPECT_TRUE(view.cells.empty()) << "a closed panel loads when it opens";
    mixer.OnMixerButton();
    mixer.OnMixerButton();
    EXPECT_EQ(view.opened, 1);
    EXPECT_EQ(view.cells.size(), size_t{kMixerOutputs * kMixerInputs});
    EXPECT_EQ((view.cells[{5, 11}]), 9);

    mixer.OnPanelClosed();
    mixer.OnMixerButton();
    EXPECT_EQ(view.opened, 2);
}

}  // namespace

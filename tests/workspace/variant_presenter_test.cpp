#include <gtest/gtest.h>

#include "workspace/presenter_fixture.h"
#include "workspace/variant_presenter.h"

namespace {

class RecordingVariantView : public IVariantView {
public:
    std::optional<int> AskVariant(int current) override {
        shownCurrent = current;
        return answer;
    }
    void ShowVariant(int variant) override { shown.push_back(variant); }

    std::optional<int> answer;
    int shownCurrent = -1;
    std::vector<int> shown;
};

class VariantPresenterTest : public PresenterTest {
protected:
    std::pair<int, int> DeviceCh5Crossover() {
        const std::vector<BYTE> slot = DeviceSlot(4);
        return {GetWord(slot.data() + kOutXover + kXoverHighFreq),
                GetWord(slot.data() + kOutXover + kXoverLowFreq)};
    }
    RecordingVariantView view;
    CVariantPresenter variant{*this, workspace, view};
};

TEST_F(VariantPresenterTest, OneThenZero) {
    view.answer = 1;
    variant.OnSelectVariantCommand();
    EXPECT_EQ(view.shownCurrent, 0);
    EXPECT_EQ(variant.Variant(), 1);
    EXPECT_EQ(variant.VariantCode(), 0);
    RunLinkUntilIdle();
    EXPECT_EQ(DeviceCh5Crossover(), std::make_pair(20, 500));

    view.answer = 0;
    variant.OnSelectVariantCommand();
    EXPECT_EQ(view.shownCurrent, 1);
    EXPECT_EQ(variant.VariantCode(), 255);
    RunLinkUntilIdle();
    EXPECT_EQ(DeviceCh5Crossover(), std::make_pair(256, 2000));
    EXPECT_EQ(view.shown, (std::vector<int>{1, 0}));
    EXPECT_EQ(DeviceSlot(4), HostSlot(4));
    EXPECT_TRUE(workspace.crossoverRefreshes.empty()) << "CH5 is not selected";
}

TEST_F(VariantPresenterTest, TheCurrentVariantOrCloseChangesNothing) {
    for (std::optional<int> answer : {std::optional<int>(0), std::optional<int>()}) {
        view.answer = answer;
        variant.OnSelectVariantCommand();
    }
    variant.SelectVariant(2);
    EXPECT_EQ(variant.Variant(), 0);
    EXPECT_TRUE(view.shown.empty());
    EXPECT_TRUE(NothingPending(*model, cmd));
}

TEST_F(VariantPresenterTest, SelectedCh5RefreshesItsCrossoverAndGraph) {
    workspace.selected = 4;
    variant.SelectVariant(1);
    EXPECT_EQ(workspace.crossoverRefreshes, std::vector<int>{4});
    EXPECT_EQ(workspace.graphRedraws, std::vector<int>{-1});
    EXPECT_EQ(Out(4).GetHighPass()->GetFreq(), 20);
}

}  // namespace

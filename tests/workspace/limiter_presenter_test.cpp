#include "workspace/limiter_presenter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "workspace/device_fixture.h"

namespace {

class RecordingLimiterView : public ILimiterView {
public:
    void ShowThreshold(int step) override { threshold = step; }
    void ShowAttack(int code) override { attack = code; }
    void ShowRelease(const std::vector<std::string>& e, int sel) override {
        entries = e;
        release = sel;
    }
    int threshold = -1;
    int attack = -1;
    int release = -2;
    std::vector<std::string> entries;
};

class LimiterPresenterTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        presenter.ReloadEqualizer(0);
    }
    RecordingLimiterView view;
    LimiterPresenter presenter{*this, view};
};

// Each channel shows its own limiter, also after an edit on another one.
TEST_F(LimiterPresenterTest, EveryReloadShowsTheSelectedChannelsLimiter) {
    {
        std::lock_guard lock(g_csModel);
        Out(3).SetLimitThreshold(120);
        Out(3).SetLimitAttack(6);
        Out(3).SetLimitRelease(2);
    }
    presenter.OnThresholdCommitted(50);
    presenter.OnAttackCommitted(7);
    presenter.OnReleaseChosen(0);

    presenter.ReloadEqualizer(3);
    EXPECT_EQ(view.threshold, 120);
    EXPECT_EQ(view.attack, 6);
    EXPECT_EQ(view.release, 2);
    presenter.ReloadEqualizer(0);
    EXPECT_EQ(view.threshold, 50);
    EXPECT_EQ(view.attack, 7);
    EXPECT_EQ(view.release, 0);
    EXPECT_EQ(view.entries, (std::vector<std::string>{"Atk × 2", "Atk × 4", "Atk × 6", "Atk × 8",
                                                      "Atk × 16", "Atk × 32"}));
}

// The field shows (and marks) what is stored: a blank field would step from
// whatever another channel last showed.
TEST_F(LimiterPresenterTest, StoredValuesBeyondTheFieldsAreShownAsStored) {
    {
        std::lock_guard lock(g_csModel);
        Out(2).SetLimitThreshold(1386);  // as the start-up contents read
        Out(2).SetLimitAttack(107);
    }
    presenter.ReloadEqualizer(2);
    EXPECT_EQ(view.threshold, 1386);
    EXPECT_EQ(view.attack, 107);
}

TEST_F(LimiterPresenterTest, EditsReachTheLinkGroupOnTheDevice) {
    Link({1, 4});
    const short unlinked = Out(0).GetLimitThreshold();
    presenter.ReloadEqualizer(4);
    presenter.OnThresholdCommitted(360);
    presenter.OnAttackCommitted(0);
    presenter.OnReleaseChosen(5);
    presenter.OnReleaseChosen(6);         // no such entry
    presenter.OnThresholdCommitted(361);  // beyond the field's range
    RunLinkUntilIdle();
    for (int c : {1, 4}) {
        const std::vector<BYTE> slot = DeviceSlot(c);
        EXPECT_EQ(GetWord(slot.data() + kOutLimitThreshold), 360) << "channel " << c + 1;
        EXPECT_EQ(slot[kOutLimitAttack], 0) << "channel " << c + 1;
        EXPECT_EQ(slot[kOutLimitRelease], 5) << "channel " << c + 1;
    }
    EXPECT_EQ(Out(0).GetLimitThreshold(), unlinked) << "not linked";
}

}  // namespace

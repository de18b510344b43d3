#include <gtest/gtest.h>

#include <map>
#include <set>

#include "controls/delay_units.h"
#include "workspace/car_presenter.h"
#include "workspace/presenter_fixture.h"

namespace {

using Roles = std::array<BYTE, 12>;

class RecordingCarView : public ICarView {
public:
    void ShowPosition(int k, bool visible, int channel) override {
        if (visible)
            shown.insert(k);
        else
            shown.erase(k);
        channels[k] = channel;
    }
    void SetPositionHighlight(int k, bool on) override {
        if (on)
            highlighted.insert(k);
        else
            highlighted.erase(k);
    }
    void ShowDelay(int k, int samples) override { delays[k] = samples; }
    void ShowDelayUnit(int u) override { unit = u; }
    void ShowOtherDelays(const std::vector<int>& c) override {
        others = c;
        otherDelays.clear();
    }
    void ShowOtherDelay(int c, int samples) override { otherDelays[c] = samples; }
    void Relabel() override {}

    std::set<int> shown, highlighted;
    std::map<int, int> channels;
    std::map<int, int> delays;
    std::vector<int> others;
    std::map<int, int> otherDelays;  // by channel
    int unit = -1;
};

class CarPresenterTest : public PresenterTest {
protected:
    RecordingCarView view;
    CCarPresenter car{*this, workspace, view};
};

TEST(CarPositions, RolesLandOnTheirPositions) {
    const struct {
        int role;
        int position;
    } cases[] = {
        {0, kNoPosition},         {1, kPosFrontLeftHigh},  {4, kPosFrontLeftHigh},
        {2, kPosFrontLeftMid},    {5, kPosFrontLeftLow},   {6, kPosFrontLeftLow},
        {10, kPosFrontRightHigh}, {12, kPosFrontRightLow}, {13, kPosRearLeftHigh},
        {15, kPosRearLeftLow},    {16, kPosRearRightHigh}, {18, kPosRearRightLow},
        {19, kPosCentreHigh},     {20, kPosCentreLow},     {21, kPosCentreFull},
        {22, kPosLeftSub},        {23, kPosRightSub},      {24, kPosSub},
        {25, kNoPosition},        {255, kNoPosition},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PositionOfRole(c.role), c.position) << "role " << c.role;
    EXPECT_EQ(RoleSearchedAt(7), 0);
    EXPECT_EQ(RoleSearchedAt(10), 0);
}

TEST(CarPositions, FindChannelByRole) {
    const Roles factory{6, 12, 15, 18, 22, 23};
    const struct {
        const char* what;
        Roles roles;
        int role;
        int channel;
    } cases[] = {
        {"front-left low click finds the full-range CH1", factory, 3, 0},
        {"right subwoofer", factory, 23, 5},
        {"nobody holds the tweeter", factory, 1, kNoChannel},
        {"rear-left low: the first of 14 or 15", {1, 15, 14, 0, 0, 0}, 14, 1},
        {"front-right high: 7 or 10, the first", {10, 7, 0, 0, 0, 0}, 7, 0},
        {"an unshared role: the last holder", {2, 0, 2, 0, 0, 0}, 2, 2},
        {"a sharing role asked itself: exactly, the last", {4, 1, 4, 0, 0, 0}, 4, 2},
        {"role of entry 7 has no channel", {0, 0, 0, 0, 0, 0, 19, 0}, 19, kNoChannel},
        {"role 0 is nobody", {0, 0, 0, 0, 0, 0}, 0, kNoChannel},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindChannelByRole(c.role, c.roles), c.channel) << c.what;
}

// Every channel's delay can be edited: the channels no position answers to
// are the ones that get a field beside the diagram.
TEST(CarPositions, ChannelsWithoutPosition) {
    const struct {
        const char* what;
        Roles roles;
        std::vector<int> channels;
    } cases[] = {
        {"factory roles: each has its position", {6, 12, 15, 18, 22, 23}, {}},
        {"no role", {6, 0, 15, 18, 22, 23}, {1}},
        {"an unknown role code", {6, 12, 25, 18, 22, 200}, {2, 5}},
        {"tweeter and mid-high share a position: the first answers",
         {1, 4, 0, 7, 10, 0},
         {1, 2, 4, 5}},
        {"the same unshared role twice: the last answers", {19, 21, 19, 20, 24, 24}, {0, 4}},
        {"the three centre positions are separate", {19, 20, 21, 22, 23, 24}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChannelsWithoutPosition(c.roles), c.channels) << c.what;
}

TEST_F(CarPresenterTest, ChannelWithoutPositionHasItsDelayBesideTheDiagram) {
    g_SpeakerRoles = {6, 6, 15, 18, 0, 23};
    Out(1).SetDelay(120);
    Out(4).SetDelay(480);
    car.ShowSpeakerPositions();
    EXPECT_EQ(view.others, (std::vector<int>{1, 4}));
    EXPECT_EQ(view.otherDelays, (std::map<int, int>{{1, 120}, {4, 480}}));

    workspace.selected = 0;
    car.OnOtherDelayEdited(4, 2000);
    EXPECT_EQ(Out(4).GetDelay(), 960) << "clamped like every delay field";
    EXPECT_EQ(view.otherDelays[4], 960);
    EXPECT_EQ(workspace.selections, (std::vector<int>{4}));
    car.SetChannelDelay(200, 1);
    EXPECT_EQ(view.otherDelays[1], 200);
    EXPECT_EQ(view.delays[kPosFrontLeftLow], Out(0).GetDelay()) << "CH1's position keeps its own";
    RunLinkUntilIdle();
    EXPECT_EQ(GetWord(DeviceSlot(4).data() + kOutDelay), 960);
    EXPECT_EQ(GetWord(DeviceSlot(1).data() + kOutDelay), 200);

    g_SpeakerRoles = {6, 12, 15, 18, 22, 23};
    car.ShowSpeakerPositions();
    EXPECT_TRUE(view.others.empty());
    EXPECT_EQ(view.delays[kPosLeftSub], 960);
}

TEST_F(CarPresenterTest, FactoryRolesShowSixPositions) {
    car.ShowSpeakerPositions();
    const std::set<int> factory{kPosFrontLeftLow, kPosFrontRightLow, kPosRearLeftLow,
                                kPosRearRightLow, kPosLeftSub,       kPosRightSub};
    EXPECT_EQ(view.shown, factory);
    EXPECT_EQ(view.channels[kPosFrontLeftLow], 0);
    EXPECT_EQ(view.channels[kPosRightSub], 5);

    // Entries 7 and 8 are drawn but answer no click; a role of entry 9 is not drawn.
    g_SpeakerRoles = {6, 12, 15, 18, 22, 0, 19, 21, 2, 0, 0, 0};
    car.ShowSpeakerPositions();
    EXPECT_EQ(view.shown.count(kPosCentreHigh), 1u);
    EXPECT_EQ(view.shown.count(kPosCentreFull), 1u);
    EXPECT_EQ(view.shown.count(kPosRightSub), 0u);
    EXPECT_EQ(view.shown.count(kPosFrontLeftMid), 0u);
    EXPECT_EQ(view.channels[kPosCentreHigh], kNoChannel);
}

TEST_F(CarPresenterTest, ClickSelectsTheChannelOfThePosition) {
    workspace.selected = 5;
    car.OnPositionClicked(kPosFrontLeftLow);
    car.OnPositionClicked(kPosFrontLeftHigh);  // nobody there
    car.OnPositionClicked(7);                  // the empty position
    car.OnPositionClicked(kPosRearRightLow);
    EXPECT_EQ(workspace.selections, (std::vector<int>{0, 3}));
}

TEST_F(CarPresenterTest, DelayAtAPositionSetsThatChannelAndSelectsIt) {
    g_SpeakerRoles[2] = 7;  // CH3 plays the front-right tweeter
    car.OnDelayEdited(kPosFrontRightHigh, 139);
    EXPECT_EQ(Out(2).GetDelay(), 139);
    EXPECT_EQ(view.delays[kPosFrontRightHigh], 139);
    EXPECT_EQ(workspace.selections, (std::vector<int>{2}));

    RunLinkUntilIdle();
    EXPECT_EQ(GetWord(DeviceSlot(2).data() + kOutDelay), 139);
    EXPECT_EQ(DeviceSlot(2), HostSlot(2));

    // A position nobody answers to changes nothing.
    car.OnDelayEdited(kPosCentreLow, 500);
    EXPECT_EQ(workspace.selections.size(), 1u);
}

TEST_F(CarPresenterTest, UnchangedDelayIsNotSent) {
    Out(0).SetDelay(240);
    Out(0).ClearPending();
    view.delays.clear();
    car.SetChannelDelay(240, 0);
    EXPECT_FALSE(Out(0).IsLevelPending());
    EXPECT_TRUE(view.delays.empty());
    car.SetChannelDelay(241, 0);
    EXPECT_TRUE(Out(0).IsLevelPending());
}

TEST_F(CarPresenterTest, DelayEditIsClampedAndOfflineReachesTheImage) {
    g_bOnline = false;
    car.OnDelayEdited(kPosLeftSub, 5000);
    EXPECT_EQ(Out(4).GetDelay(), 960);
    EXPECT_FALSE(Out(4).IsLevelPending());
    EXPECT_EQ(GetWord(Slot(4) + kOutDelay), 960);
}

TEST_F(CarPresenterTest, UnitChangesNoStoredDelay) {
    Out(1).SetDelay(960);
    car.OnUnitChosen(kDelayUnitCm);
    EXPECT_EQ(view.unit, kDelayUnitCm);
    EXPECT_EQ(car.DelayUnit(), kDelayUnitCm);
    car.OnUnitChosen(7);
    EXPECT_EQ(car.DelayUnit(), kDelayUnitCm);
    EXPECT_EQ(Out(1).GetDelay(), 960);
}

// A shared position shows the channel an edit there would change.
TEST_F(CarPresenterTest, ReloadShowsTheDelayAnEditWouldChange) {
    g_SpeakerRoles = {5, 3, 12, 0, 0, 0};
    Out(0).SetDelay(100);
    Out(1).SetDelay(200);
    Out(2).SetDelay(300);
    car.ReloadDelays();
    EXPECT_EQ(view.delays[kPosFrontLeftLow], 100);
    EXPECT_EQ(view.delays[kPosFrontRightLow], 300);
    EXPECT_EQ(view.delays[kPosSub], 0);

    car.SetChannelDelay(250, 1);  // CH2 shares CH1's position: not shown there
    EXPECT_EQ(view.delays[kPosFrontLeftLow], 100);
}

TEST_F(CarPresenterTest, HighlightFollowsTheChannelsRole) {
    car.HighlightPosition(3);
    EXPECT_EQ(view.highlighted, std::set<int>{kPosRearRightLow});
    car.ClearPositionHighlights();
    g_SpeakerRoles[3] = 0;
    car.HighlightPosition(3);
    EXPECT_TRUE(view.highlighted.empty());
}

}  // namespace

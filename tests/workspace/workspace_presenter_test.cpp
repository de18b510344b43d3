// The workspace presenter against a recording view, recording area parts and
// the virtual processor: selection, the channel switch and full refresh step
// lists, start-up, and the edits of the top bar, strips and legend down to the
// device's bytes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "response/filter.h"
#include "workspace/device_fixture.h"
#include "workspace/workspace_presenter.h"
#include "workspace/workspace_state.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::IsSubsetOf;
using Log = std::vector<std::string>;

std::string Call(const char* name, int a) {
    return std::string(name) + " " + std::to_string(a);
}
std::string Call(const char* name, int a, int b) {
    return Call(name, a) + " " + std::to_string(b);
}

class RecordingView : public IWorkspaceView {
public:
    explicit RecordingView(Log& log) : m_log(log) {}
    void ShowTitle(const std::string& title) override { m_log.push_back("title " + title); }
    void Relabel() override { m_log.push_back("relabel"); }
    void ShowMessage(TextId text) override { m_log.push_back(Call("message", int(text))); }
    void ShowConnected(bool on) override { m_log.push_back(Call("connected", on)); }
    void ShowMasterVolume(int step) override { m_log.push_back(Call("master", step)); }
    void ShowMasterOutput(bool on) override { m_log.push_back(Call("masterOut", on)); }
    void ShowSource(int entry) override { m_log.push_back(Call("source", entry)); }
    void ShowChannelPreset(int entry) override { m_log.push_back(Call("preset", entry)); }
    void ShowLinkToggle(bool on) override { m_log.push_back(Call("linkToggle", on)); }
    void ShowSelected(int c, bool on) override { m_log.push_back(Call("select", c, on)); }
    void ShowOutputOn(int c, bool on) override { m_log.push_back(Call("output", c, on)); }
    void ShowPhase(int c, bool inv) override { m_log.push_back(Call("phase", c, inv)); }
    void ShowGain(int c, int step) override { m_log.push_back(Call("gain", c, step)); }
    void ShowLegend(int c, bool checked, LegendColour colour) override {
        m_log.push_back(Call("legend", c, checked) +
                        (colour == LegendColour::Red ? " red" : " grey"));
    }

private:
    Log& m_log;
};

// Records its steps; answers a link partner for channels 0 and 1 when `linked`.
class RecordingPart : public IWorkspacePart {
public:
    explicit RecordingPart(Log& log) : m_log(log) {}
    void ClearPositionHighlights() override { m_log.push_back("clearPositions"); }
    void HighlightPosition(int c) override { m_log.push_back(Call("highlightPosition", c)); }
    void ShowGraphChannel(int c) override { m_log.push_back(Call("graphChannel", c)); }
    void ReloadEqualizer(int c) override { m_log.push_back(Call("reloadEq", c)); }
    void RefreshCrossover(int c) override { m_log.push_back(Call("refreshXover", c)); }
    void ReloadDelays() override { m_log.push_back("reloadDelays"); }
    void ResetLinks() override { m_log.push_back("resetLinks"); }
    void RefreshGroupWindows() override { m_log.push_back("groupWindows"); }
    void ShowSpeakerPositions() override { m_log.push_back("speakerPositions"); }
    void ReloadMix() override { m_log.push_back("reloadMix"); }
    void RedrawGraph(int curve) override { m_log.push_back(Call("redraw", curve)); }
    void OnGraphEdited(int curve) override { m_log.push_back(Call("graphEdited", curve)); }
    void Relabel() override { m_log.push_back("partRelabel"); }
    int LinkPartner(int c) const override {
        if (!linked || c > 1) return -1;
        return 1 - c;
    }
    bool linked = false;

private:
    Log& m_log;
};

class WorkspaceTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ResetWorkspaceState();
        presenter.AddPart(&part);
    }

    bool IsConnected() const override { return connected; }

    // The log since the last call.
    Log Taken() { return std::exchange(log, {}); }
    // Only the entries that start with `prefix`.
    Log Only(const std::string& prefix) {
        Log out;
        for (const std::string& s : log) {
            if (s.rfind(prefix, 0) == 0) out.push_back(s);
        }
        return out;
    }
    int DeviceGain(int c) { return GetWord(DeviceSlot(c).data() + kOutGain); }
    int DeviceMaster() { return GetWord(device.Memory().sysSettings.data() + kSysMasterVolume); }

    bool connected = true;
    Log log;
    RecordingView view{log};
    RecordingPart part{log};
    CWorkspacePresenter presenter{*this, view};
};

// ---- Channel switch ----

TEST_F(WorkspaceTest, ChannelSwitchRunsItsStepsInOrder) {
    g_abCurveShown[0] = 1;
    presenter.SelectChannel(3);
    EXPECT_THAT(Taken(), ElementsAre("clearPositions", "legend 0 1 grey", "select 0 0",
                                     "highlightPosition 3", "legend 3 1 red", "select 3 1",
                                     "graphChannel 3", "reloadEq 3", "refreshXover 3"));
    EXPECT_EQ(g_nCurChannel, 3);
    EXPECT_EQ(presenter.CurrentChannel(), 3);
}

TEST_F(WorkspaceTest, LeftRightLinkSwitchesThePartnersSelectButtonToo) {
    part.linked = true;
    presenter.SelectChannel(1);
    EXPECT_THAT(Only("select"),
                ElementsAre("select 0 0", "select 1 0", "select 1 1", "select 0 1"));
}

TEST_F(WorkspaceTest, SelectingTheSelectedOrNoChannelDoesNothing) {
    presenter.SelectChannel(2);
    Taken();
    for (int c : {2, -1, 6, 11})
        presenter.OnSelectClicked(c);
    EXPECT_THAT(Taken(), IsEmpty());
    EXPECT_EQ(g_nCurChannel, 2);
}

// ---- Full refresh ----

TEST_F(WorkspaceTest, FullRefreshRunsItsStepsInOrder) {
    presenter.SelectChannel(2);
    Taken();
    presenter.RefreshAll();
    // The per-channel displays (step 3) and the unchecked select buttons
    // have tests of their own.
    Log steps;
    bool perChannel = false;
    for (const std::string& s : Taken()) {
        if (s == "preset 0" && steps.size() == 2) perChannel = true;
        if (s == "reloadDelays") perChannel = false;
        if ((perChannel && s != "preset 0") || (s.rfind("select", 0) == 0 && s != "select 2 1"))
            continue;
        steps.push_back(s);
    }
    EXPECT_THAT(
        steps,
        ElementsAre("masterOut 1", "master 60", "preset 0", "reloadDelays", "source 0",
                    "reloadEq 2", "legend 2 1 red", "linkToggle 0", "preset 0", "resetLinks",
                    "refreshXover 2", "redraw -1", "groupWindows", "speakerPositions",
                    // The channel switch, although the channel stays.
                    "clearPositions", "legend 2 0 grey", "highlightPosition 2", "legend 2 1 red",
                    "select 2 1", "graphChannel 2", "reloadEq 2", "refreshXover 2"));
}

TEST_F(WorkspaceTest, RefreshShowsEveryStripFromItsRecord) {
    {
        std::lock_guard lock(g_csModel);
        Out(4).SetOutputOn(0);
        Out(4).SetPhase(1);
        Out(4).SetGain(17);
    }
    presenter.RefreshAll();
    EXPECT_THAT((Log{"output 4 0", "phase 4 1", "gain 4 17", "output 0 1", "gain 0 60"}),
                IsSubsetOf(log));
}

// A channel a link copied onto shows its record: the strip, and the panels
// only when it is the selected channel.
TEST_F(WorkspaceTest, ChannelRefreshShowsTheCopiedRecord) {
    {
        std::lock_guard lock(g_csModel);
        Out(3).SetGain(21);
    }
    Taken();
    presenter.RefreshChannel(3);
    EXPECT_THAT(Taken(), ElementsAre("output 3 1", "phase 3 0", "gain 3 21"));
    presenter.SelectChannel(3);
    Taken();
    presenter.RefreshChannel(3);
    EXPECT_THAT(Taken(), ElementsAre("output 3 1", "phase 3 0", "gain 3 21", "reloadEq 3",
                                     "refreshXover 3"));
    presenter.RefreshChannel(6);
    EXPECT_TRUE(Taken().empty());
}

TEST_F(WorkspaceTest, RefreshAfterReadAllLeavesNoLink) {
    presenter.SelectChannel(1);
    Link({0, 1});
    Link({2, 3, 4});
    Taken();
    presenter.OnModelReloaded();
    for (int c = 0; c < kOutputCount; ++c)
        EXPECT_EQ(g_anLinkGroup[c], c);
    // Every select button but the selected channel's is unchecked, the
    // link toggle too; the mixer panel reloads.
    const Log selects = Only("select");
    for (int c : {0, 2, 3, 4, 5})
        EXPECT_THAT(selects, ::testing::Contains(Call("select", c, 0)));
    EXPECT_EQ(selects.back(), "select 1 1");
    EXPECT_THAT(Only("linkToggle"), ElementsAre("linkToggle 0"));
    EXPECT_EQ(log.back(), "reloadMix");
}

// ---- Start-up and device model ----

// Connect shows online once the read-all has loaded the window, and through
// a firmware update; not while the device is opened or read.
TEST_F(WorkspaceTest, ConnectShowsOnlineOnlyOnceTheDeviceIsRead) {
    const std::pair<ConnectionState, int> cases[] = {
        {ConnectionState::Disconnected, 0}, {ConnectionState::Connecting, 0},
        {ConnectionState::Reading, 0},      {ConnectionState::Online, 1},
        {ConnectionState::Upgrading, 1},    {ConnectionState::Disconnecting, 0},
    };
    for (const auto& [state, shown] : cases) {
        Taken();
        presenter.OnConnectionChanged(state);
        EXPECT_EQ(Taken(), Log{Call("connected", shown)}) << ConnectionStateName(state);
    }
}

TEST_F(WorkspaceTest, StartUpRelabelsLoadsRefreshesAndAppliesTheDeviceModel) {
    // The records start from what the image holds, not what they had.
    {
        std::lock_guard lock(g_csModel);
        Out(5).SetGain(3);
        model->GetMusic(0)->GetEQ().GetFilter(6)->SetType(2);
        Out(2).GetLowPass()->SetTwoSlopes(true);
    }
    presenter.Start();
    const Log steps = Taken();
    ASSERT_GE(steps.size(), 3u);
    EXPECT_EQ(steps[0], "connected 1");
    EXPECT_EQ(steps[1], "relabel");
    EXPECT_EQ(steps[2], "partRelabel");
    EXPECT_THAT((Log{"gain 5 60"}), IsSubsetOf(steps));
    const auto title = std::find(steps.begin(), steps.end(), "title TQR-905-PRO");
    ASSERT_NE(title, steps.end());
    EXPECT_GT(std::find(steps.begin(), steps.end(), "resetLinks"), steps.begin() + 2);
    EXPECT_LT(std::find(steps.begin(), steps.end(), "resetLinks"), title);
    EXPECT_EQ(steps.back(), "redraw -1");
    EXPECT_EQ(model->GetMusic(0)->GetEQ().GetFilter(6)->GetType(), 0);
    EXPECT_EQ(model->GetMusic(0)->GetEQ().GetFilter(8)->GetType(), 2);
    EXPECT_FALSE(Out(2).GetLowPass()->IsTwoSlopes());
    EXPECT_EQ(g_nCurChannel, 0);
}

// ---- Edits ----

TEST_F(WorkspaceTest, GainEditReachesTheDeviceAndItsLinkGroupShowsIt) {
    Link({2, 3});
    presenter.OnGainChanged(2, 30);
    EXPECT_THAT(Taken(), ElementsAre("gain 2 30", "gain 3 30"));
    RunLinkUntilIdle();
    EXPECT_EQ(DeviceGain(2), 30);
    EXPECT_EQ(DeviceGain(3), 30);
    EXPECT_EQ(DeviceGain(4), 60);

    presenter.OnGainChanged(4, 61);  // beyond the strip's range
    EXPECT_THAT(Taken(), IsEmpty());
}

TEST_F(WorkspaceTest, OutputAndPhaseTogglesFlipTheirChannelOnly) {
    Link({0, 1});
    presenter.OnOutputToggled(0);
    presenter.OnPhaseToggled(0);
    EXPECT_THAT(Taken(), ElementsAre("output 0 0", "phase 0 1"));
    RunLinkUntilIdle();
    EXPECT_EQ(DeviceSlot(0)[kOutPhase], 1);
    EXPECT_EQ(DeviceSlot(1)[kOutPhase], 0) << "phase is not shared within a link group";
    EXPECT_EQ(Out(0).GetOutputOn(), 0);
    presenter.OnOutputToggled(0);
    EXPECT_THAT(Taken(), ElementsAre("output 0 1"));
}

TEST_F(WorkspaceTest, MasterFaderLeavesTheBlockToThePumpWhileTheFieldQueuesIt) {
    {
        std::lock_guard lock(g_csModel);
        g_SysSettings[kSysMasterOutput] = 0;
    }
    presenter.OnMasterFaderMoved(50);
    EXPECT_EQ(cmd.GetCount(), 0);
    EXPECT_TRUE(g_bSendSysSettings);
    EXPECT_EQ(g_SysSettings[kSysMasterOutput], 1);
    EXPECT_THAT(Taken(), ElementsAre("master 50", "masterOut 1"));
    RunLinkUntilIdle();
    EXPECT_EQ(DeviceMaster(), 50);

    g_SysSettings[kSysMasterOutput] = 0;
    presenter.OnMasterVolumeCommitted(40);
    EXPECT_FALSE(g_bSendSysSettings);
    ASSERT_EQ(cmd.GetCount(), 1);
    const FrameAddress queued = AddressOf(*cmd.PeekHead());
    EXPECT_EQ(queued.type, BT_SYSTEM);
    EXPECT_EQ(queued.index, SYS_SETTINGS);
    EXPECT_EQ(g_SysSettings[kSysMasterOutput], 1);
    RunLinkUntilIdle();
    EXPECT_EQ(DeviceMaster(), 40);
    EXPECT_EQ(device.Memory().sysSettings[kSysMasterOutput], 1);

    // The same volume again changes nothing, from either control.
    Taken();
    g_SysSettings[kSysMasterOutput] = 0;
    presenter.OnMasterVolumeCommitted(40);
    presenter.OnMasterFaderMoved(40);
    EXPECT_EQ(cmd.GetCount(), 0);
    EXPECT_FALSE(g_bSendSysSettings);
    EXPECT_EQ(g_SysSettings[kSysMasterOutput], 0);
}

TEST_F(WorkspaceTest, MasterOutputSwitchQueuesTheSystemBlock) {
    presenter.OnMasterOutputToggled();
    EXPECT_THAT(Taken(), ElementsAre("masterOut 0"));
    EXPECT_EQ(cmd.GetCount(), 1);
    RunLinkUntilIdle();
    EXPECT_EQ(device.Memory().sysSettings[kSysMasterOutput], 0);

    // Offline the model changes alone.
    connected = false;
    presenter.OnMasterOutputToggled();
    EXPECT_EQ(cmd.GetCount(), 0);
    EXPECT_EQ(g_SysSettings[kSysMasterOutput], 1);
}

TEST_F(WorkspaceTest, SourceEntriesAndStoredBytes) {
    struct Case {
        int entry;
        int stored;
    };
    for (const Case& c : {Case{0, 0}, Case{2, 2}, Case{3, 5}}) {
        presenter.OnSourceChosen(c.entry);
        EXPECT_EQ(g_SysSettings[kSysInputSource], c.stored) << "entry " << c.entry;
        RunLinkUntilIdle();
        EXPECT_EQ(device.Memory().sysSettings[kSysInputSource], c.stored);
    }
    // Every stored byte above 2 shows the player entry.
    for (const Case& c : {Case{1, 1}, Case{3, 3}, Case{3, 4}, Case{3, 5}}) {
        g_SysSettings[kSysInputSource] = static_cast<BYTE>(c.stored);
        Taken();
        presenter.RefreshAll();
        EXPECT_THAT(Only("source"), ElementsAre(Call("source", c.entry))) << c.stored;
    }
}

TEST_F(WorkspaceTest, LegendToggles) {
    presenter.SelectChannel(1);
    Taken();
    presenter.OnLegendToggled(1);  // the selected channel's curve is always drawn
    EXPECT_THAT(Taken(), IsEmpty());
    EXPECT_EQ(g_abCurveShown[1], 0);

    presenter.OnLegendToggled(4);
    EXPECT_THAT(Taken(), ElementsAre("legend 4 1 red", "redraw -1"));
    EXPECT_EQ(g_abCurveShown[4], 1);
    presenter.OnLegendToggled(4);
    EXPECT_THAT(Taken(), ElementsAre("legend 4 0 grey", "redraw -1"));
    EXPECT_EQ(g_abCurveShown[4], 0);
}

TEST_F(WorkspaceTest, GraphEditGoesToThePartsThenRedrawsEverything) {
    presenter.OnGraphEdited(31);
    EXPECT_THAT(Taken(), ElementsAre("graphEdited 31", "redraw -1"));
}

}  // namespace

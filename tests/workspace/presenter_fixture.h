#pragma once
// The device fixture with a recording stand-in for the workspace that the
// area presenters ask for selection, strip buttons and other areas' steps.

#include <vector>

#include "workspace/device_fixture.h"
#include "workspace/workspace_control.h"
#include "workspace/workspace_state.h"

class RecordingWorkspace : public IWorkspaceControl {
public:
    int SelectedChannel() const override { return selected; }
    void SelectChannel(int channel) override {
        if (channel == selected) return;
        selected = channel;
        selections.push_back(channel);
    }
    void SetSelectChecked(int channel, bool checked) override { selectChecked[channel] = checked; }
    void SetPresetDisplayVisible(bool visible) override { presetDisplayShown = visible; }
    void RefreshCrossover(int channel) override { crossoverRefreshes.push_back(channel); }
    void RedrawGraph(int curve) override { graphRedraws.push_back(curve); }
    void RefreshChannel(int channel) override { channelRefreshes.push_back(channel); }

    int selected = 0;
    std::vector<int> selections;
    bool selectChecked[6] = {true, false, false, false, false, false};
    bool presetDisplayShown = true;
    std::vector<int> crossoverRefreshes;
    std::vector<int> graphRedraws;
    std::vector<int> channelRefreshes;
};

class PresenterTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ResetWorkspaceState();
    }

    RecordingWorkspace workspace;
};

#pragma once
// What an area's presenter may ask of the workspace as a whole: the selected
// channel, a channel switch, the strip select buttons, the channel-type
// preset display, and the steps that other areas carry out (crossover
// controls, graph). Area presenters take it so that they need not know one
// another; CWorkspaceControl answers from the workspace presenter and its
// window.

#include <functional>

class CWorkspacePresenter;
class IWorkspaceView;

class IWorkspaceControl {
public:
    virtual ~IWorkspaceControl() = default;

    virtual int SelectedChannel() const = 0;
    // The channel switch; selecting the selected channel does nothing.
    virtual void SelectChannel(int channel) = 0;
    // Check or uncheck strip select button `channel` (display only).
    virtual void SetSelectChecked(int channel, bool checked) = 0;
    // The channel-type preset display of the top bar.
    virtual void SetPresetDisplayVisible(bool visible) = 0;
    // Every area's RefreshCrossover(channel) and RedrawGraph(curve) step.
    virtual void RefreshCrossover(int channel) = 0;
    virtual void RedrawGraph(int curve) = 0;
    // Channel `channel` changed behind its controls (a link copy): its strip,
    // and the panels when it is the selected channel, show its record again.
    virtual void RefreshChannel(int channel) = 0;
};

class CWorkspaceControl : public IWorkspaceControl {
public:
    // `showPresetDisplay` shows or hides the channel-type preset display.
    CWorkspaceControl(CWorkspacePresenter& presenter, IWorkspaceView& view,
                      std::function<void(bool)> showPresetDisplay);

    int SelectedChannel() const override;
    void SelectChannel(int channel) override;
    void SetSelectChecked(int channel, bool checked) override;
    void SetPresetDisplayVisible(bool visible) override;
    void RefreshCrossover(int channel) override;
    void RedrawGraph(int curve) override;
    void RefreshChannel(int channel) override;

private:
    CWorkspacePresenter& m_presenter;
    IWorkspaceView& m_view;
    std::function<void(bool)> m_showPresetDisplay;
};

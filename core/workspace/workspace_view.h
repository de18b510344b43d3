#pragma once
// What the workspace presenter asks of its window: the top bar, the six
// channel strips and the graph legend. Each call shows one thing; none of
// them calls back into the presenter.

#include <string>

#include "base/texts.h"

// The legend colours: a selected or shown channel is red, the others grey.
enum class LegendColour { Grey, Red };

// Number of entries of the input source selector; the last is the player.
constexpr int kSourceEntryCount = 4;

class IWorkspaceView {
public:
    virtual ~IWorkspaceView() = default;

    // ---- Frame ----
    virtual void ShowTitle(const std::string& title) = 0;
    // Relabel every control of the workspace in the current language.
    virtual void Relabel() = 0;
    virtual void ShowMessage(TextId text) = 0;

    // ---- Top bar ----
    virtual void ShowConnected(bool connected) = 0;
    // Master volume field and fader, step 0..66 (-60..+6 dB).
    virtual void ShowMasterVolume(int step) = 0;
    virtual void ShowMasterOutput(bool on) = 0;
    // Entry 0..3 of the input source selector.
    virtual void ShowSource(int entry) = 0;
    // Entry of the disabled channel-type preset display.
    virtual void ShowChannelPreset(int entry) = 0;
    virtual void ShowLinkToggle(bool on) = 0;

    // ---- Channel strips ----
    virtual void ShowSelected(int channel, bool checked) = 0;
    virtual void ShowOutputOn(int channel, bool on) = 0;
    virtual void ShowPhase(int channel, bool inverted) = 0;
    // Gain field and fader, step 0..60 (-60..0 dB).
    virtual void ShowGain(int channel, int step) = 0;

    // ---- Graph legend ----
    virtual void ShowLegend(int channel, bool checked, LegendColour colour) = 0;
};

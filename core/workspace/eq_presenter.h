#pragma once
// The equalizer panel of the selected output channel: 31 bands (frequency,
// Q, gain, bypass) and the channel-wide operations all bypass, EQ mode
// conversion and reset. Every edit is made on the same band of each channel
// of the selected channel's link group; channel-wide operations send whole
// channel blocks with the outputs muted around them.

#include <functional>
#include <memory>
#include <vector>

#include "base/texts.h"
#include "workspace/workspace_parts.h"

class IWorkspaceHost;
class CKTV_OutData;
class CFilter;

// Which field of a band column is drawn highlighted.
enum class BandField { None, Freq, Q, Gain };

// What the panel shows and asks. Positions are those of the fields' value
// types: frequency in Hz, the bandwidth index (shown as its Q), the gain
// index 0..400 (200 = 0 dB).
class IEqView {
public:
    virtual ~IEqView() = default;
    virtual void ShowBandFreq(int band, int freq) = 0;
    virtual void ShowBandQ(int band, int bandwidthIndex) = 0;
    // The gain field, its spin and its fader.
    virtual void ShowBandGain(int band, int gainIndex) = 0;
    virtual void ShowBandBypass(int band, bool bypassed) = 0;
    // The all-bypass check box, button and the workspace's mirror.
    virtual void ShowAllBypass(bool on) = 0;
    // The mode toggle; frequency and Q fields are enabled in parametric mode only.
    virtual void ShowEqMode(bool graphic) = 0;
    // Band `band`'s label red and `field` highlighted; band -1: none.
    virtual void MarkEdited(int band, BandField field) = 0;
    virtual bool AskOkCancel(TextId question) = 0;
    // Labels and captions in the current language.
    virtual void Retranslate() {}
};

class EqPresenter : public IWorkspacePart {
public:
    EqPresenter(IWorkspaceHost& host, IEqView& view);
    ~EqPresenter() override;
    EqPresenter(const EqPresenter&) = delete;
    EqPresenter& operator=(const EqPresenter&) = delete;

    // How the panel asks for the graph to redraw a curve (0..30 band, -1 all).
    void SetRedrawGraph(std::function<void(int curve)> redraw) { m_redraw = std::move(redraw); }

    int Channel() const { return m_nChannel; }
    int LastBand() const { return m_nLastBand; }

    // Every control from the selected channel.
    void Reload();

    // User edits of band `band` (0..30).
    void OnFreqCommitted(int band, int freq);
    void OnQCommitted(int band, int bandwidthIndex);
    void OnGainCommitted(int band, int gainIndex);
    // While the fader is dragged and when it is released.
    void OnGainFaderMoved(int band, int gainIndex);
    void OnBypassClicked(int band);
    // A click into one of the band's fields marks the band; it writes
    // nothing (the field shows what the device holds, or may hold a value
    // another window changed since).
    void OnFieldClicked(int band, BandField field);

    // Channel-wide operations (panel buttons and the workspace's mirrors).
    void ToggleAllBypass();
    void ToggleMode();
    // Also the reset button of the main layout: that one resets the selected
    // channel and, with the left/right link on, its partner, which is the
    // rest of its link group (the left/right pairs are the only links).
    void ResetAll();

    // Band `band` was dragged in the graph: its controls from the model, its
    // frequency, bandwidth and gain copied to the link group.
    void ReloadBand(int band);

    // IWorkspacePart
    void ReloadEqualizer(int channel) override;
    void OnGraphEdited(int curve) override;
    void Relabel() override { m_view.Retranslate(); }

private:
    class BandObserver;

    CKTV_OutData& Selected();
    // The same change on band `band` of every channel of the link group.
    void ForGroupBand(int band, const std::function<void(CFilter&)>& change);
    void ShowBypassDisplay(int band);
    void RefreshAllBypass();
    void Edited(int band, BandField field);
    void Redraw(int curve);
    void AttachObservers(int channel);
    void DetachObservers();

    IWorkspaceHost& m_host;
    IEqView& m_view;
    std::function<void(int)> m_redraw;
    int m_nChannel = 0;
    int m_nLastBand = -1;
    bool m_bAllBypassShown = false;
    bool m_bGraphicShown = false;
    int m_nObservedChannel = -1;
    std::vector<std::unique_ptr<BandObserver>> m_observers;
};

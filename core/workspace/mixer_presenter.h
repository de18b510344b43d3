#pragma once
// The mixer panel: how loud each of the twelve inputs reaches each of the six
// outputs, 0..100. A cell edit sends only the item that carries its input
// (inputs 1..8 and 9..12 travel in two items). The mix is never shared
// within a link group.

#include "workspace/workspace_parts.h"

class IWorkspaceHost;

constexpr int kMixerOutputs = 6;
constexpr int kMixerInputs = 12;
constexpr int kMixerStandardInputs = 4;  // the rows shown until more are asked for
constexpr int kMixLevelMax = 100;

class IMixerView {
public:
    virtual ~IMixerView() = default;
    virtual void OpenPanel() = 0;
    // Fader, field and spin of output o, input k (both from 0).
    virtual void ShowCell(int output, int input, int level) = 0;
    virtual void Relabel() = 0;
};

class CMixerPresenter : public IWorkspacePart {
public:
    CMixerPresenter(IWorkspaceHost& host, IMixerView& view);

    // The mixer button: opens the panel and loads it; nothing while it is open.
    void OnMixerButton();
    // The panel's close button (or the panel went away).
    void OnPanelClosed();
    bool IsOpen() const { return m_bOpen; }

    // A fader moved or a field or spin changed in cell (output, input).
    void OnCellChanged(int output, int input, int level);

    // Every cell from the channels' mixes; the panel loads itself when it opens.
    void ReloadMix() override;
    void Relabel() override;

private:
    IWorkspaceHost& m_host;
    IMixerView& m_view;
    bool m_bOpen = false;
};

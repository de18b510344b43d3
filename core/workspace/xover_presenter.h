#pragma once
// The crossover group of the selected output channel: type, slope and
// frequency of its high-pass and low-pass filter. Every change is made on the
// same filter of each channel of the selected channel's link group; the
// high-pass never ends above the low-pass, whichever field is edited.

#include <functional>
#include <string>
#include <vector>

#include "workspace/workspace_parts.h"

class IWorkspaceHost;
class CFilter;
class CKTV_OutData;

enum class XoverSide { HighPass, LowPass };

class IXoverView {
public:
    virtual ~IXoverView() = default;
    // A list with its entries and the selected one (-1: none).
    virtual void ShowTypeList(XoverSide side, const std::vector<std::string>& entries,
                              int selected) = 0;
    virtual void ShowSlopeList(XoverSide side, const std::vector<std::string>& entries,
                               int selected) = 0;
    virtual void ShowFreq(XoverSide side, int freq) = 0;
    // Captions in the current language (the lists come with Refresh).
    virtual void Retranslate() {}
};

class XoverPresenter : public IWorkspacePart {
public:
    XoverPresenter(IWorkspaceHost& host, IXoverView& view);

    // How the group asks for the graph to redraw a curve (31 high-pass, 32 low-pass).
    void SetRedrawGraph(std::function<void(int curve)> redraw) { m_redraw = std::move(redraw); }

    int Channel() const { return m_nChannel; }

    // The six controls from the selected channel's filters.
    void Refresh();

    // User edits: a type list entry, a slope list entry, a frequency (typed
    // or stepped).
    void OnTypeChosen(XoverSide side, int entry);
    void OnSlopeChosen(XoverSide side, int entry);
    void OnFreqCommitted(XoverSide side, int freq);

    // IWorkspacePart
    void RefreshCrossover(int channel) override;
    // A crossover handle was dragged in the graph: the field shows the new
    // frequency and the link group takes it.
    void OnGraphEdited(int curve) override;
    void Relabel() override;

private:
    CFilter& Filter(int channel, XoverSide side);
    // The same change on the same filter of every channel of the link group.
    void ForGroup(XoverSide side, const std::function<void(CFilter&)>& change, bool others);
    void Redraw(XoverSide side);

    IWorkspaceHost& m_host;
    IXoverView& m_view;
    std::function<void(int)> m_redraw;
    int m_nChannel = 0;
};

#pragma once
// The steps of the workspace's channel switch and full refresh that belong to
// its areas (equalizer panel, crossover group, car diagram, graph, channel
// links, sound-group windows). The workspace presenter calls each registered
// part in registration order; a part overrides the steps of its own area and
// inherits no-ops for the rest, so that every area's presenter stays in its
// own file.

class IWorkspacePart {
public:
    virtual ~IWorkspacePart() = default;

    // Channel switch: the selected channel becomes `channel` (step order of
    // the switch: clear position highlights, ..., reload equalizer and
    // crossover). ClearPositionHighlights runs before the selection changes,
    // the rest after.
    virtual void ClearPositionHighlights() {}
    virtual void HighlightPosition(int /*channel*/) {}
    virtual void ShowGraphChannel(int /*channel*/) {}
    virtual void ReloadEqualizer(int /*channel*/) {}
    virtual void RefreshCrossover(int /*channel*/) {}

    // Full refresh, besides the steps above.
    virtual void ReloadDelays() {}
    virtual void ResetLinks() {}
    virtual void RefreshGroupWindows() {}
    virtual void ShowSpeakerPositions() {}
    virtual void ReloadMix() {}

    // The graph: recompute and redraw curve `curve` of the selected channel
    // (0..30 a band, 31 high-pass, 32 low-pass, -1 everything).
    virtual void RedrawGraph(int /*curve*/) {}
    // A drag in the graph ended its 50 ms quiet time (UM_GRAPH_EDITED):
    // `curve` as above, for the selected channel.
    virtual void OnGraphEdited(int /*curve*/) {}

    // The language flipped: relabel lists, labels and buttons.
    virtual void Relabel() {}

    // The channel whose strip select button goes with `channel`'s while the
    // left/right link is on (its pair partner), or -1: the channel switch
    // checks and unchecks both. The link presenter answers; the first part
    // that answers other than -1 wins.
    virtual int LinkPartner(int /*channel*/) const { return -1; }
};

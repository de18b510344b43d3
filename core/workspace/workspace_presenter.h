#pragma once
// CWorkspacePresenter: the rules of the workspace window that are not an
// area's own: the selected channel, the full refresh, the start-up steps, the
// device model, and the edits of the top bar, the channel strips and the
// graph legend. Area presenters (equalizer, crossover, car diagram, graph,
// links, sound groups) register as IWorkspacePart and receive their steps of
// the channel switch and of the refresh in registration order.
//
// User-interface thread only. Reads of the model for display are copies
// taken under g_csModel. The refresh and the channel switch hold the lock
// across all their parts' reads, so that they wait for the link's cycle
// once; nothing in them asks the user, so a message box never waits with the
// lock held.

#include <array>
#include <vector>

#include "edits/edits.h"
#include "link/connection_manager.h"
#include "workspace/workspace_host.h"
#include "workspace/workspace_parts.h"
#include "workspace/workspace_view.h"

// The main window's title.
inline constexpr char kWorkspaceTitle[] = "TQR-905-PRO";
// Steps of the channel gain (0..60, -60..0 dB) and the master volume
// (0..66, -60..+6 dB); dB = step - 60.
constexpr int kGainSteps = 60;
constexpr int kMasterSteps = 66;
constexpr int kGainStepOffset = 60;

// Input source selector entry of a stored source byte, and back.
int SourceEntryOfByte(int source);
int SourceByteOfEntry(int entry);

class CWorkspacePresenter {
public:
    CWorkspacePresenter(IWorkspaceHost& host, IWorkspaceView& view);

    // Parts are called in the order they were added; they must outlive the presenter.
    void AddPart(IWorkspacePart* part);

    // Start-up of the window: relabel, load the records from the current
    // image, refresh everything, apply the device model and select channel
    // 0. The front end then starts watching for devices and posts the
    // automatic connection.
    void Start();

    // ---- Operations ----
    // Nothing when `channel` is already selected or not 0..5.
    void SelectChannel(int channel);
    void RefreshAll();
    // Title, the music input's filters 6 and 8, the crossovers' two-slope
    // flags, the channel switch of the selected channel, the whole graph.
    void ApplyDeviceModel();
    void RedrawGraph(int curve);
    // Every part's crossover controls from `channel`'s filters.
    void RefreshCrossover(int channel);
    // Channel `channel`'s strip from its record, and every panel when it is
    // the selected channel (after a link copied another channel onto it).
    void RefreshChannel(int channel);
    int CurrentChannel() const { return m_nCurChannel; }

    // ---- Edits, one entry per kind ----
    void OnSelectClicked(int channel) { SelectChannel(channel); }
    void OnOutputToggled(int channel);
    void OnPhaseToggled(int channel);
    // The gain field committed, or the fader dragged or released: the same edit.
    void OnGainChanged(int channel, int step);
    // The master volume field committed: the system block is queued at once.
    void OnMasterVolumeCommitted(int step);
    // The master fader dragged or released: the pump sends the system block
    // on its next cycle.
    void OnMasterFaderMoved(int step);
    void OnMasterOutputToggled();
    void OnSourceChosen(int entry);
    void OnLegendToggled(int channel);

    // ---- Link notices ----
    // The connection state changed (Connect button picture).
    // The Connect button shows online once the device's setting is loaded
    // (and through a firmware update), not while it is still being read.
    void OnConnectionChanged(ConnectionState state);
    // Every record was loaded from the current image (read-all, group
    // recall, file load): full refresh and the mixer panel.
    void OnModelReloaded();
    // The device reported another input source.
    void OnSourceChanged();
    // A drag in the graph ended: the area parts take the filter's new value,
    // then the whole graph is redrawn.
    void OnGraphEdited(int curve);
    // The language flipped.
    void Relabel();

private:
    template <typename Step>
    void ForParts(Step step);
    // The channel switch, also when `channel` is already selected.
    void SwitchChannel(int channel);
    void ShowSelectedWithPartner(int channel, bool checked);
    void ShowLinkedGains(int channel);
    bool ApplyOne(EditKind kind, int channel, int value);

    IWorkspaceHost& m_host;
    IWorkspaceView& m_view;
    std::vector<IWorkspacePart*> m_parts;
    int m_nCurChannel = 0;
};

#include "workspace/workspace_presenter.h"

#include <mutex>

#include "base/globals.h"
#include "image/param_image.h"
#include "image/record_layout.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "response/filter.h"
#include "workspace/menu_rules.h"
#include "workspace/workspace_state.h"

namespace {

constexpr int kPlayerEntry = kSourceEntryCount - 1;
constexpr BYTE kPlayerSource = 5;
// The music input's filters that the device model fixes, and their types.
constexpr int kMusicPeakFilter = 6;
constexpr int kMusicShelfFilter = 8;
constexpr int kFilterTypePeaking = 0;
constexpr int kFilterTypeHighShelf = 2;

bool IsChannel(int channel) {
    return channel >= 0 && channel < kOutputCount;
}

// What the top bar and the strips show, copied under the model lock.
struct Snapshot {
    bool masterOn = false;
    int masterStep = 0;
    int preset = 0;
    int sourceEntry = 0;
    std::array<bool, kOutputCount> outputOn{};
    std::array<bool, kOutputCount> inverted{};
    std::array<int, kOutputCount> gain{};
};

Snapshot TakeSnapshot(CKTV_Data& model) {
    std::lock_guard lock(g_csModel);
    Snapshot s;
    s.masterOn = g_SysSettings[kSysMasterOutput] != 0;
    s.masterStep = GetWord(g_SysSettings.data() + kSysMasterVolume);
    s.preset = g_SysSettings[kSysChannelPreset];
    s.sourceEntry = SourceEntryOfByte(g_SysSettings[kSysInputSource]);
    for (int c = 0; c < kOutputCount; ++c) {
        const CKTV_OutData& out = *model.GetOutput(c);
        s.outputOn[c] = out.GetOutputOn() != 0;
        s.inverted[c] = out.GetPhase() != 0;
        s.gain[c] = out.GetGain();
    }
    return s;
}

}  // namespace

int SourceEntryOfByte(int source) {
    return source > kHighestPlainSource ? kPlayerEntry : source;
}

int SourceByteOfEntry(int entry) {
    return entry >= kPlayerEntry ? kPlayerSource : entry;
}

CWorkspacePresenter::CWorkspacePresenter(IWorkspaceHost& host, IWorkspaceView& view)
    : m_host(host), m_view(view) {}

void CWorkspacePresenter::AddPart(IWorkspacePart* part) {
    m_parts.push_back(part);
}

template <typename Step>
void CWorkspacePresenter::ForParts(Step step) {
    for (IWorkspacePart* part : m_parts)
        step(*part);
}

void CWorkspacePresenter::Start() {
    m_nCurChannel = 0;
    g_nCurChannel = 0;
    m_view.ShowConnected(m_host.IsConnected());
    Relabel();
    {
        std::lock_guard lock(g_csModel);
        m_host.Model().LoadFromImage(g_CurImage, kLoadModeCurrent);
    }
    RefreshAll();
    ApplyDeviceModel();
    SelectChannel(0);
}

// ---- Channel switch ----

void CWorkspacePresenter::SelectChannel(int channel) {
    if (!IsChannel(channel) || channel == m_nCurChannel) return;
    // One hold of the lock for every part's reads (see OnModelReloaded).
    std::lock_guard lock(g_csModel);
    SwitchChannel(channel);
}

void CWorkspacePresenter::ShowSelectedWithPartner(int channel, bool checked) {
    m_view.ShowSelected(channel, checked);
    for (IWorkspacePart* part : m_parts) {
        const int partner = part->LinkPartner(channel);
        if (partner == -1) continue;
        if (IsChannel(partner) && partner != channel) m_view.ShowSelected(partner, checked);
        break;
    }
}

void CWorkspacePresenter::SwitchChannel(int channel) {
    const int old = m_nCurChannel;
    ForParts([](IWorkspacePart& p) { p.ClearPositionHighlights(); });
    m_view.ShowLegend(old, g_abCurveShown[old] != 0, LegendColour::Grey);
    ShowSelectedWithPartner(old, false);
    m_nCurChannel = channel;
    ForParts([&](IWorkspacePart& p) { p.HighlightPosition(channel); });
    m_view.ShowLegend(channel, true, LegendColour::Red);
    ShowSelectedWithPartner(channel, true);
    g_nCurChannel = channel;
    ForParts([&](IWorkspacePart& p) { p.ShowGraphChannel(channel); });
    ForParts([&](IWorkspacePart& p) { p.ReloadEqualizer(channel); });
    ForParts([&](IWorkspacePart& p) { p.RefreshCrossover(channel); });
}

// ---- Full refresh ----

void CWorkspacePresenter::RefreshChannel(int channel) {
    if (!IsChannel(channel)) return;
    const Snapshot s = TakeSnapshot(m_host.Model());
    m_view.ShowOutputOn(channel, s.outputOn[channel]);
    m_view.ShowPhase(channel, s.inverted[channel]);
    m_view.ShowGain(channel, s.gain[channel]);
    if (channel != m_nCurChannel) return;
    ForParts([channel](IWorkspacePart& p) { p.ReloadEqualizer(channel); });
    RefreshCrossover(channel);
}

void CWorkspacePresenter::RefreshAll() {
    const Snapshot s = TakeSnapshot(m_host.Model());
    m_view.ShowMasterOutput(s.masterOn);
    m_view.ShowMasterVolume(s.masterStep);
    m_view.ShowChannelPreset(s.preset);
    for (int c = 0; c < kOutputCount; ++c) {
        m_view.ShowOutputOn(c, s.outputOn[c]);
        m_view.ShowLegend(
            c, g_abCurveShown[c] != 0,
            c == m_nCurChannel || g_abCurveShown[c] ? LegendColour::Red : LegendColour::Grey);
        m_view.ShowPhase(c, s.inverted[c]);
        m_view.ShowGain(c, s.gain[c]);
    }
    ForParts([](IWorkspacePart& p) { p.ReloadDelays(); });
    m_view.ShowSource(s.sourceEntry);
    ForParts([this](IWorkspacePart& p) { p.ReloadEqualizer(m_nCurChannel); });
    // The graph is always in channel mode: the selected channel's curve is drawn.
    m_view.ShowLegend(m_nCurChannel, true, LegendColour::Red);

    // Every link is dropped: each channel its own group.
    {
        std::lock_guard lock(g_csModel);
        for (int c = 0; c < kOutputCount; ++c)
            g_anLinkGroup[c] = c;
    }
    for (int c = 0; c < kOutputCount; ++c) {
        if (c != m_nCurChannel) m_view.ShowSelected(c, false);
    }
    m_view.ShowLinkToggle(false);
    m_view.ShowChannelPreset(s.preset);
    ForParts([](IWorkspacePart& p) { p.ResetLinks(); });

    ForParts([this](IWorkspacePart& p) { p.RefreshCrossover(m_nCurChannel); });
    RedrawGraph(-1);
    ForParts([](IWorkspacePart& p) { p.RefreshGroupWindows(); });
    ForParts([](IWorkspacePart& p) { p.ShowSpeakerPositions(); });
    SwitchChannel(m_nCurChannel);
}

void CWorkspacePresenter::ApplyDeviceModel() {
    m_view.ShowTitle(kWorkspaceTitle);
    {
        std::lock_guard lock(g_csModel);
        CKTV_Data& model = m_host.Model();
        if (CMusic_InData* music = model.GetMusic(0)) {
            CKTVEQ& eq = music->GetEQ();
            if (CFilter* f = eq.GetFilter(kMusicPeakFilter)) f->SetType(kFilterTypePeaking);
            if (CFilter* f = eq.GetFilter(kMusicShelfFilter)) f->SetType(kFilterTypeHighShelf);
        }
        for (int c = 0; c < kOutputCount; ++c) {
            CKTV_OutData& out = *model.GetOutput(c);
            out.GetHighPass()->SetTwoSlopes(false);
            out.GetLowPass()->SetTwoSlopes(false);
        }
    }
    SwitchChannel(m_nCurChannel);
    RedrawGraph(-1);
}

void CWorkspacePresenter::RedrawGraph(int curve) {
    ForParts([curve](IWorkspacePart& p) { p.RedrawGraph(curve); });
}

void CWorkspacePresenter::RefreshCrossover(int channel) {
    ForParts([channel](IWorkspacePart& p) { p.RefreshCrossover(channel); });
}

// ---- Edits ----

bool CWorkspacePresenter::ApplyOne(EditKind kind, int channel, int value) {
    const Edit edit{EditKey{kind, channel, 0}, value, {}};
    return ApplyEdits(m_host.Model(), m_host.Command(), m_host.IsConnected(), {edit}).ok;
}

void CWorkspacePresenter::OnOutputToggled(int channel) {
    if (!IsChannel(channel)) return;
    bool on = false;
    {
        std::lock_guard lock(g_csModel);
        on = m_host.Model().GetOutput(channel)->GetOutputOn() == 0;
    }
    ApplyOne(EditKind::ChannelOutput, channel, on ? 1 : 0);
    m_view.ShowOutputOn(channel, on);
}

void CWorkspacePresenter::OnPhaseToggled(int channel) {
    if (!IsChannel(channel)) return;
    bool inverted = false;
    {
        std::lock_guard lock(g_csModel);
        inverted = m_host.Model().GetOutput(channel)->GetPhase() == 0;
    }
    ApplyOne(EditKind::ChannelPhase, channel, inverted ? 1 : 0);
    m_view.ShowPhase(channel, inverted);
}

void CWorkspacePresenter::OnGainChanged(int channel, int step) {
    if (!IsChannel(channel) || step < 0 || step > kGainSteps) return;
    ApplyOne(EditKind::ChannelGain, channel, step);
    ShowLinkedGains(channel);
}

// The record copied the gain to its link group; every strip of the group
// shows its record's gain.
void CWorkspacePresenter::ShowLinkedGains(int channel) {
    std::vector<std::pair<int, int>> shown;
    {
        std::lock_guard lock(g_csModel);
        for (int c = 0; c < kOutputCount; ++c) {
            if (c == channel || g_anLinkGroup[c] == g_anLinkGroup[channel])
                shown.emplace_back(c, m_host.Model().GetOutput(c)->GetGain());
        }
    }
    for (const auto& [c, gain] : shown)
        m_view.ShowGain(c, gain);
}

void CWorkspacePresenter::OnMasterVolumeCommitted(int step) {
    if (step < 0 || step > kMasterSteps) return;
    // A new volume switches the master output on and queues the system block.
    ApplyOne(EditKind::MasterVolume, 0, step);
    const Snapshot s = TakeSnapshot(m_host.Model());
    m_view.ShowMasterVolume(s.masterStep);
    m_view.ShowMasterOutput(s.masterOn);
}

void CWorkspacePresenter::OnMasterFaderMoved(int step) {
    if (step < 0 || step > kMasterSteps) return;
    bool changed = false;
    {
        std::lock_guard lock(g_csModel);
        if (GetWord(g_SysSettings.data() + kSysMasterVolume) != step) {
            PutWord(g_SysSettings.data() + kSysMasterVolume, static_cast<unsigned>(step));
            g_SysSettings[kSysMasterOutput] = 1;
            changed = true;
        }
    }
    // Dragging sends through the pump, at most one block per cycle.
    if (changed) g_bSendSysSettings = true;
    m_view.ShowMasterVolume(step);
    if (changed) m_view.ShowMasterOutput(true);
}

void CWorkspacePresenter::OnMasterOutputToggled() {
    bool on = false;
    {
        std::lock_guard lock(g_csModel);
        on = g_SysSettings[kSysMasterOutput] == 0;
    }
    ApplyOne(EditKind::MasterOutput, 0, on ? 1 : 0);
    m_view.ShowMasterOutput(on);
}

void CWorkspacePresenter::OnSourceChosen(int entry) {
    if (entry < 0 || entry >= kSourceEntryCount) return;
    ApplyOne(EditKind::Source, 0, SourceByteOfEntry(entry));
    m_view.ShowSource(entry);
}

void CWorkspacePresenter::OnLegendToggled(int channel) {
    // The selected channel's curve is always drawn.
    if (!IsChannel(channel) || channel == m_nCurChannel) return;
    const bool shown = g_abCurveShown[channel] == 0;
    g_abCurveShown[channel] = shown ? 1 : 0;
    m_view.ShowLegend(channel, shown, shown ? LegendColour::Red : LegendColour::Grey);
    RedrawGraph(-1);
}

// ---- Link notices ----

void CWorkspacePresenter::OnConnectionChanged(ConnectionState state) {
    m_view.ShowConnected(state == ConnectionState::Online || state == ConnectionState::Upgrading);
}

void CWorkspacePresenter::OnModelReloaded() {
    // While the link runs, its worker holds the lock through each cycle, so
    // every separate read of a part would wait for a cycle of its own. One
    // hold for the whole refresh waits once. No step of it asks the user
    // anything (a field's range message is posted), so no message box waits
    // with the lock held.
    std::lock_guard lock(g_csModel);
    RefreshAll();
    ForParts([](IWorkspacePart& p) { p.ReloadMix(); });
}

void CWorkspacePresenter::OnSourceChanged() {
    m_view.ShowSource(TakeSnapshot(m_host.Model()).sourceEntry);
}

void CWorkspacePresenter::OnGraphEdited(int curve) {
    ForParts([curve](IWorkspacePart& p) { p.OnGraphEdited(curve); });
    RedrawGraph(-1);
}

void CWorkspacePresenter::Relabel() {
    m_view.Relabel();
    RelabelWorkspace(m_parts, m_nCurChannel);
}

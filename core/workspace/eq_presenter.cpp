#include "workspace/eq_presenter.h"

#include <mutex>

#include "base/globals.h"
#include "edits/bulk_ops.h"
#include "edits/channel_ops.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "response/filter.h"
#include "workspace/workspace_host.h"

namespace {

constexpr int kGainIndexFlat = 200;

struct BandShown {
    int freq = 0;
    int bandwidthIndex = 0;
    int gainIndex = kGainIndexFlat;
    bool bypassed = true;
};

BandShown ReadBand(const CFilter& band) {
    return {band.GetFreq(), band.GetBandwidthIndex(), band.GetGainIndex(), band.IsBypassed()};
}

}  // namespace

// The band's fader follows a drag in the graph at once; the fields follow
// with the 50 ms notice (ReloadBand).
class EqPresenter::BandObserver : public IFilterObserver {
public:
    BandObserver(IEqView& view, int band) : m_view(view), m_nBand(band) {}
    void OnFilterFreq(int) override {}
    void OnFilterGainIndex(int gainIndex) override { m_view.ShowBandGain(m_nBand, gainIndex); }

private:
    IEqView& m_view;
    int m_nBand;
};

EqPresenter::EqPresenter(IWorkspaceHost& host, IEqView& view) : m_host(host), m_view(view) {}

EqPresenter::~EqPresenter() {
    DetachObservers();
}

CKTV_OutData& EqPresenter::Selected() {
    return *m_host.Model().GetOutput(m_nChannel);
}

void EqPresenter::Redraw(int curve) {
    if (m_redraw) m_redraw(curve);
}

void EqPresenter::ReloadEqualizer(int channel) {
    m_nChannel = channel;
    Reload();
}

void EqPresenter::OnGraphEdited(int curve) {
    if (curve >= 0 && curve < kOutBandCount) ReloadBand(curve);
}

void EqPresenter::AttachObservers(int channel) {
    if (m_observers.empty()) {
        for (int band = 0; band < kOutBandCount; ++band)
            m_observers.push_back(std::make_unique<BandObserver>(m_view, band));
    }
    std::lock_guard lock(g_csModel);
    DetachObservers();
    CKTV_OutData& record = *m_host.Model().GetOutput(channel);
    for (int band = 0; band < kOutBandCount; ++band)
        record.GetBand(band)->SetLinkedCtrl(m_observers[band].get());
    m_nObservedChannel = channel;
}

void EqPresenter::DetachObservers() {
    if (m_nObservedChannel < 0) return;
    std::lock_guard lock(g_csModel);
    CKTV_OutData& record = *m_host.Model().GetOutput(m_nObservedChannel);
    for (int band = 0; band < kOutBandCount; ++band)
        record.GetBand(band)->SetLinkedCtrl(nullptr);
    m_nObservedChannel = -1;
}

void EqPresenter::Reload() {
    std::array<BandShown, kOutBandCount> bands;
    bool allBypassed = false;
    bool graphic = false;
    {
        std::lock_guard lock(g_csModel);
        CKTV_OutData& record = Selected();
        record.UpdateAllBypassed();  // a load does not keep the flag
        allBypassed = record.IsAllBypassed();
        graphic = record.GetEqMode() != 0;
        for (int band = 0; band < kOutBandCount; ++band)
            bands[band] = ReadBand(*record.GetBand(band));
    }
    m_bAllBypassShown = allBypassed;
    m_view.ShowAllBypass(allBypassed);
    m_bGraphicShown = graphic;
    m_view.ShowEqMode(graphic);
    for (int band = 0; band < kOutBandCount; ++band) {
        m_view.ShowBandFreq(band, bands[band].freq);
        m_view.ShowBandQ(band, bands[band].bandwidthIndex);
        // A bypassed band reads 200 (0.0 dB) whatever gain it keeps.
        m_view.ShowBandGain(band, bands[band].gainIndex);
        m_view.ShowBandBypass(band, bands[band].bypassed);
    }
    AttachObservers(m_nChannel);
    m_nLastBand = -1;
    m_view.MarkEdited(-1, BandField::None);
}

void EqPresenter::ForGroupBand(int band, const std::function<void(CFilter&)>& change) {
    std::lock_guard lock(g_csModel);
    for (int j : LinkGroupOf(m_nChannel)) {
        CKTV_OutData& record = *m_host.Model().GetOutput(j);
        change(*record.GetBand(band));
        record.UpdateAllBypassed();
    }
}

// The gain and the "BY" button from the model: a bypassed band shows 0.0 dB
// and its fader in the middle; otherwise the gain it keeps.
void EqPresenter::ShowBypassDisplay(int band) {
    BandShown shown;
    {
        std::lock_guard lock(g_csModel);
        shown = ReadBand(*Selected().GetBand(band));
    }
    m_view.ShowBandBypass(band, shown.bypassed);
    m_view.ShowBandGain(band, shown.gainIndex);
}

void EqPresenter::RefreshAllBypass() {
    {
        std::lock_guard lock(g_csModel);
        m_bAllBypassShown = Selected().IsAllBypassed();
    }
    m_view.ShowAllBypass(m_bAllBypassShown);
}

void EqPresenter::Edited(int band, BandField field) {
    Redraw(band);
    m_nLastBand = band;
    m_view.MarkEdited(band, field);
}

void EqPresenter::OnFreqCommitted(int band, int freq) {
    ForGroupBand(band, [freq](CFilter& f) { f.SetFreq(freq, true); });
    Edited(band, BandField::Freq);
}

void EqPresenter::OnQCommitted(int band, int bandwidthIndex) {
    ForGroupBand(band, [bandwidthIndex](CFilter& f) { f.SetBandwidthIndex(bandwidthIndex); });
    Edited(band, BandField::Q);
}

void EqPresenter::OnGainCommitted(int band, int gainIndex) {
    m_view.ShowBandGain(band, gainIndex);
    ForGroupBand(band, [gainIndex](CFilter& f) { f.SetGainIndex(gainIndex); });
    ShowBypassDisplay(band);
    RefreshAllBypass();
    Edited(band, BandField::Gain);
}

void EqPresenter::OnGainFaderMoved(int band, int gainIndex) {
    OnGainCommitted(band, gainIndex);
}

void EqPresenter::OnFieldClicked(int band, BandField field) {
    if (band < 0 || band >= kOutBandCount) return;
    Edited(band, field);
}

// A band at 0 dB stays bypassed; one with a gain swaps between its gain and
// the bypass display.
void EqPresenter::OnBypassClicked(int band) {
    bool bypass = false;
    {
        std::lock_guard lock(g_csModel);
        bypass = !Selected().GetBand(band)->IsBypassed();
    }
    ForGroupBand(band, [bypass](CFilter& f) { f.SetBypass(bypass); });
    ShowBypassDisplay(band);
    RefreshAllBypass();
    Edited(band, BandField::Gain);
}

void EqPresenter::ToggleAllBypass() {
    const bool bypass = !m_bAllBypassShown;
    CKTV_OutData& record = Selected();
    ApplyEqBypass(record, bypass);
    bool allBypassed = false;
    {
        std::lock_guard lock(g_csModel);
        allBypassed = record.IsAllBypassed();
    }
    if (!bypass && allBypassed) {
        // Every band is flat by itself: there is nothing to switch back on.
        ApplyEqBypass(record, true);
        m_bAllBypassShown = true;
        m_view.ShowAllBypass(true);
        return;
    }
    for (int band = 0; band < kOutBandCount; ++band)
        ShowBypassDisplay(band);
    {
        std::lock_guard lock(g_csModel);
        CKTVCommand& cmd = m_host.Command();
        const bool connected = m_host.IsConnected();
        OutputStates remembered{};
        MuteAllOutputs(cmd, true, connected, remembered);
        for (int j : LinkGroupOf(m_nChannel)) {
            if (j != m_nChannel) ApplyEqBypass(*m_host.Model().GetOutput(j), bypass);
            SendChannelMuted(cmd, j, connected, false);
        }
        MuteAllOutputs(cmd, false, connected, remembered);
    }
    m_bAllBypassShown = bypass;
    m_view.ShowAllBypass(bypass);
    Redraw(-1);
}

void EqPresenter::ToggleMode() {
    const bool graphic = !m_bGraphicShown;
    if (!m_view.AskOkCancel(graphic ? TextId::EqToGraphicQuestion : TextId::EqToParametricQuestion))
        return;
    m_bGraphicShown = graphic;
    m_view.ShowEqMode(graphic);
    {
        std::lock_guard lock(g_csModel);
        Selected().SetEqMode(graphic ? 1 : 0);
    }
    ResetEqGroup(m_host.Command(), m_nChannel, m_host.IsConnected());
    Reload();
    Redraw(-1);
}

void EqPresenter::ResetAll() {
    if (!m_view.AskOkCancel(TextId::EqResetQuestion)) return;
    ResetEqGroup(m_host.Command(), m_nChannel, m_host.IsConnected());
    Reload();
    Redraw(-1);
}

void EqPresenter::ReloadBand(int band) {
    BandShown shown;
    {
        std::lock_guard lock(g_csModel);
        shown = ReadBand(*Selected().GetBand(band));
        Selected().UpdateAllBypassed();  // the drag changed the band behind the flag
        for (int j : LinkGroupOf(m_nChannel)) {
            if (j == m_nChannel) continue;
            CKTV_OutData& record = *m_host.Model().GetOutput(j);
            CFilter& partner = *record.GetBand(band);
            partner.SetFreq(shown.freq, true);
            partner.SetBandwidthIndex(shown.bandwidthIndex);
            partner.SetGainIndex(shown.gainIndex);
            record.UpdateAllBypassed();
        }
    }
    m_view.ShowBandFreq(band, shown.freq);
    m_view.ShowBandQ(band, shown.bandwidthIndex);
    ShowBypassDisplay(band);
    RefreshAllBypass();
    m_nLastBand = band;
    m_view.MarkEdited(band, BandField::None);
}

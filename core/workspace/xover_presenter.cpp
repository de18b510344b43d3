#include "workspace/xover_presenter.h"

#include <mutex>
#include <span>

#include "base/globals.h"
#include "base/texts.h"
#include "edits/channel_ops.h"
#include "edits/xover_lists.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "response/filter.h"
#include "workspace/workspace_host.h"

namespace {

constexpr int kHighPassCurve = 31;
constexpr int kLowPassCurve = 32;

std::vector<std::string> TypeEntries() {
    return {Text(TextId::FamilyLinkwitzRiley), Text(TextId::FamilyBessel),
            Text(TextId::FamilyButterworth)};
}

std::vector<std::string> SlopeEntries(const std::vector<SlopeChoice>& list) {
    std::vector<std::string> entries;
    for (const SlopeChoice& choice : list)
        entries.push_back(SlopeChoiceText(choice));
    return entries;
}

struct FilterShown {
    int type = 0;
    int slope = 0;
    int freq = 0;
};

}  // namespace

XoverPresenter::XoverPresenter(IWorkspaceHost& host, IXoverView& view)
    : m_host(host), m_view(view) {}

CFilter& XoverPresenter::Filter(int channel, XoverSide side) {
    CKTV_OutData& record = *m_host.Model().GetOutput(channel);
    return side == XoverSide::HighPass ? *record.GetHighPass() : *record.GetLowPass();
}

void XoverPresenter::Redraw(XoverSide side) {
    if (m_redraw) m_redraw(side == XoverSide::HighPass ? kHighPassCurve : kLowPassCurve);
}

void XoverPresenter::ForGroup(XoverSide side, const std::function<void(CFilter&)>& change,
                              bool others) {
    std::lock_guard lock(g_csModel);
    for (int j : LinkGroupOf(m_nChannel)) {
        if (others && j == m_nChannel) continue;
        change(Filter(j, side));
    }
}

void XoverPresenter::RefreshCrossover(int channel) {
    m_nChannel = channel;
    Refresh();
}

void XoverPresenter::Relabel() {
    m_view.Retranslate();
    Refresh();
}

void XoverPresenter::Refresh() {
    for (XoverSide side : {XoverSide::HighPass, XoverSide::LowPass}) {
        FilterShown shown;
        {
            std::lock_guard lock(g_csModel);
            const CFilter& filter = Filter(m_nChannel, side);
            shown = {filter.GetXoverType(), filter.GetSlope(), filter.GetFreq()};
        }
        const bool known = shown.type >= 0 && shown.type < kFamilyCount;
        m_view.ShowTypeList(side, TypeEntries(), known ? shown.type : -1);
        m_view.ShowFreq(side, shown.freq);
        // A family without a list of its own leaves the slope list as it is.
        const std::vector<SlopeChoice> slopes = SlopeListShowing(shown.type, shown.slope);
        if (!slopes.empty()) {
            int entry = SlopeEntryOfCode(shown.type, shown.slope);
            if (entry < 0 && slopes.back().code == shown.slope)
                entry = static_cast<int>(slopes.size()) - 1;
            m_view.ShowSlopeList(side, SlopeEntries(slopes), entry);
        }
    }
}

// The stored slope code stays, also when the new family's list has no entry
// for it; the list shows it by the display mapping.
void XoverPresenter::OnTypeChosen(XoverSide side, int entry) {
    if (entry < 0 || entry >= kFamilyCount) return;
    {
        std::lock_guard lock(g_csModel);
        Filter(m_nChannel, side).SetXoverType(entry, true);
    }
    Refresh();
    ForGroup(
        side, [entry](CFilter& f) { f.SetXoverType(entry, true); }, true);
    Redraw(side);
}

void XoverPresenter::OnSlopeChosen(XoverSide side, int entry) {
    int code = -1;
    {
        std::lock_guard lock(g_csModel);
        const CFilter& filter = Filter(m_nChannel, side);
        const std::vector<SlopeChoice> list =
            SlopeListShowing(filter.GetXoverType(), filter.GetSlope());
        if (entry >= 0 && entry < static_cast<int>(list.size())) code = list[entry].code;
    }
    if (code < 0) return;
    ForGroup(
        side, [code](CFilter& f) { f.SetSlope(code, true); }, false);
    Redraw(side);
}

void XoverPresenter::OnFreqCommitted(XoverSide side, int freq) {
    int value = freq;
    {
        std::lock_guard lock(g_csModel);
        if (side == XoverSide::HighPass) {
            const int low = Filter(m_nChannel, XoverSide::LowPass).GetFreq();
            if (low < value) value = low;
        } else {
            const int high = Filter(m_nChannel, XoverSide::HighPass).GetFreq();
            if (value < high) value = high;
        }
    }
    m_view.ShowFreq(side, value);
    ForGroup(
        side, [value](CFilter& f) { f.SetFreq(value, true); }, false);
    Redraw(side);
}

void XoverPresenter::OnGraphEdited(int curve) {
    if (curve != kHighPassCurve && curve != kLowPassCurve) return;
    const XoverSide side = curve == kHighPassCurve ? XoverSide::HighPass : XoverSide::LowPass;
    int freq = 0;
    {
        std::lock_guard lock(g_csModel);
        freq = Filter(m_nChannel, side).GetFreq();
    }
    m_view.ShowFreq(side, freq);
    ForGroup(
        side, [freq](CFilter& f) { f.SetFreq(freq, true); }, true);
}

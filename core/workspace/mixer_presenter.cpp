#include "workspace/mixer_presenter.h"

#include <algorithm>
#include <array>
#include <mutex>

#include "base/globals.h"
#include "image/record_layout.h"
#include "model/ktv_data.h"
#include "workspace/workspace_host.h"

static_assert(kMixerInputs == kOutMixCount);

CMixerPresenter::CMixerPresenter(IWorkspaceHost& host, IMixerView& view)
    : m_host(host), m_view(view) {}

void CMixerPresenter::OnMixerButton() {
    if (m_bOpen) return;
    m_bOpen = true;
    // The language may have flipped while the panel was closed.
    m_view.Relabel();
    m_view.OpenPanel();
    ReloadMix();
}

void CMixerPresenter::OnPanelClosed() {
    m_bOpen = false;
}

// The row is the record's own, so that a cell the panel does not show (or a
// mix changed since the panel loaded) is sent as it stands.
void CMixerPresenter::OnCellChanged(int output, int input, int level) {
    if (output < 0 || output >= kMixerOutputs || input < 0 || input >= kMixerInputs) return;
    level = std::clamp(level, 0, kMixLevelMax);
    {
        std::lock_guard lock(g_csModel);
        CKTV_OutData* channel = m_host.Model().GetOutput(output);
        std::array<BYTE, kOutMixCount> row = channel->GetMixes();
        row[input] = static_cast<BYTE>(level);
        if (input < kOutMixLowCount)
            channel->SetMixLow(row.data());
        else
            channel->SetMixHigh(row.data());
        // The slot follows the record also offline, where the pump does not run.
        channel->MakeMixLowPacket(false);
    }
    m_view.ShowCell(output, input, level);
}

void CMixerPresenter::ReloadMix() {
    if (!m_bOpen) return;
    std::array<std::array<BYTE, kOutMixCount>, kMixerOutputs> mixes{};
    {
        std::lock_guard lock(g_csModel);
        for (int o = 0; o < kMixerOutputs; ++o)
            mixes[o] = m_host.Model().GetOutput(o)->GetMixes();
    }
    for (int o = 0; o < kMixerOutputs; ++o) {
        for (int k = 0; k < kMixerInputs; ++k)
            m_view.ShowCell(o, k, mixes[o][k]);
    }
}

void CMixerPresenter::Relabel() {
    m_view.Relabel();
}

#include "workspace/variant_presenter.h"

#include <mutex>

#include "base/globals.h"
#include "model/ktv_data.h"
#include "workspace/workspace_control.h"
#include "workspace/workspace_host.h"

namespace {

// The channel the variants differ in (CH5) and its crossover in each.
constexpr int kVariantChannel = 4;
struct VariantCrossover {
    int highPass;
    int lowPass;
};
constexpr VariantCrossover kVariantCrossover[kVariantCount] = {{256, 2000}, {20, 500}};

}  // namespace

CVariantPresenter::CVariantPresenter(IWorkspaceHost& host, IWorkspaceControl& workspace,
                                     IVariantView& view)
    : m_host(host), m_workspace(workspace), m_view(view) {}

void CVariantPresenter::OnSelectVariantCommand() {
    if (const std::optional<int> chosen = m_view.AskVariant(m_nVariant)) SelectVariant(*chosen);
}

void CVariantPresenter::SelectVariant(int variant) {
    if (variant < 0 || variant >= kVariantCount || variant == m_nVariant) return;
    m_nVariant = variant;
    m_view.ShowVariant(variant);
    {
        std::lock_guard lock(g_csModel);
        CKTV_OutData* channel = m_host.Model().GetOutput(kVariantChannel);
        channel->GetHighPass()->SetFreq(kVariantCrossover[variant].highPass, true);
        channel->GetLowPass()->SetFreq(kVariantCrossover[variant].lowPass, true);
        // The slot follows the record also offline, where the pump does not run.
        channel->MakeXoverPacket(false);
    }
    if (m_workspace.SelectedChannel() == kVariantChannel) {
        m_workspace.RefreshCrossover(kVariantChannel);
        m_workspace.RedrawGraph(-1);
    }
}

#include "workspace/limiter_presenter.h"

#include <mutex>

#include "base/globals.h"
#include "base/texts.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "tables/value_tables.h"
#include "workspace/workspace_host.h"

namespace {

constexpr int kThresholdMax = 360;
constexpr int kAttackMax = 106;

std::vector<std::string> ReleaseEntries() {
    std::vector<std::string> entries;
    for (int code = 0; LimiterReleaseFactor(code) != 0; ++code)
        entries.push_back(Text(TextId::LimiterReleaseEntry) +
                          std::to_string(LimiterReleaseFactor(code)));
    return entries;
}

}  // namespace

LimiterPresenter::LimiterPresenter(IWorkspaceHost& host, ILimiterView& view)
    : m_host(host), m_view(view) {}

CKTV_OutData& LimiterPresenter::Selected() {
    return *m_host.Model().GetOutput(m_nChannel);
}

void LimiterPresenter::ReloadEqualizer(int channel) {
    m_nChannel = channel;
    Reload();
}

void LimiterPresenter::Relabel() {
    m_view.Retranslate();
    Reload();
}

void LimiterPresenter::Reload() {
    int threshold = 0;
    int attack = 0;
    int release = 0;
    {
        std::lock_guard lock(g_csModel);
        const CKTV_OutData& record = Selected();
        threshold = record.GetLimitThreshold();
        attack = record.GetLimitAttack();
        release = record.GetLimitRelease();
    }
    m_view.ShowThreshold(threshold);
    m_view.ShowAttack(attack);
    const std::vector<std::string> entries = ReleaseEntries();
    m_view.ShowRelease(entries, release < static_cast<int>(entries.size()) ? release : -1);
}

void LimiterPresenter::OnThresholdCommitted(int step) {
    if (step < 0 || step > kThresholdMax) return;
    std::lock_guard lock(g_csModel);
    Selected().SetLimitThreshold(static_cast<short>(step));
}

void LimiterPresenter::OnAttackCommitted(int code) {
    if (code < 0 || code > kAttackMax) return;
    std::lock_guard lock(g_csModel);
    Selected().SetLimitAttack(static_cast<BYTE>(code));
}

void LimiterPresenter::OnReleaseChosen(int entry) {
    if (LimiterReleaseFactor(entry) == 0) return;
    std::lock_guard lock(g_csModel);
    Selected().SetLimitRelease(static_cast<BYTE>(entry));
}

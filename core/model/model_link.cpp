#include "model/model_link.h"

#include "base/globals.h"
#include "image/param_image.h"
#include "model/ktv_data.h"
#include "response/filter.h"

namespace {

// An output's filters stay pending in the model while they step toward a far
// frequency. Across a link going down or coming up that run is ended: its
// steps would otherwise reach the next device ahead of the read-all. Like any
// offline change, the filter then holds its target as the sent frequency.
void EndFrequencySteps(CKTV_OutData& channel) {
    CKTVEQ& eq = channel.GetEQ();
    for (int i = 0; i < eq.GetFilterCount(); ++i) {
        CFilter* filter = eq.GetFilter(i);
        if (filter->GetSentFreq() != filter->GetFreq()) filter->SetFreq(filter->GetFreq(), false);
        filter->SetPending(false);
    }
}

}  // namespace

std::unique_ptr<CSendData> CModelLink::NextPendingChange() {
    return m_model.NextPendingChange();
}

// The pump's two marks for the system blocks live outside the records; they
// go with the records' marks, or a mark made offline would be sent to the
// next device connected.
void CModelLink::ClearPending() {
    std::lock_guard lock(g_csModel);
    m_model.ClearPending();
    for (int c = 0; c < kOutputCount; ++c)
        EndFrequencySteps(*m_model.GetOutput(c));
    g_bSendSysSettings = false;
    g_bSendInputLevels = false;
}

void CModelLink::LoadCurrentImage(int group) {
    m_model.LoadFromImage(g_CurImage, group);
}

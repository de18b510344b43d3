#include "edits/channel_ops.h"

#include <mutex>

#include "base/globals.h"
#include "edits/bulk_ops.h"
#include "image/param_image.h"
#include "model/ktv_out_data.h"
#include "response/filter.h"

std::vector<int> LinkGroupOf(int channel) {
    std::vector<int> group{channel};
    for (int j = 0; j < kOutputCount; ++j) {
        if (j != channel && g_anLinkGroup[j] == g_anLinkGroup[channel]) group.push_back(j);
    }
    return group;
}

void ApplyEqBypass(CKTV_OutData& channel, bool bypass) {
    std::lock_guard lock(g_csModel);
    for (int band = 0; band < channel.GetBandCount(); ++band) {
        CFilter* filter = channel.GetBand(band);
        // A band still bypassed from the last time keeps what it had before
        // that: saving again would save "bypassed" and strand it there.
        if (bypass && filter->IsEqBypass()) continue;
        filter->SetEqBypass(bypass);
    }
    channel.UpdateAllBypassed();
}

void ResetEqGroup(CKTVCommand& cmd, int channel, bool connected) {
    std::lock_guard lock(g_csModel);
    OutputStates remembered{};
    MuteAllOutputs(cmd, true, connected, remembered);
    for (int j : LinkGroupOf(channel)) {
        ResetChannelEq(cmd, j, connected, false);
        if (g_apOutChannel[j] != nullptr) g_apOutChannel[j]->UpdateAllBypassed();
    }
    MuteAllOutputs(cmd, false, connected, remembered);
}

#include "edits/channel_delay.h"

#include "model/ktv_out_data.h"

bool SetChannelDelay(CKTV_OutData& channel, int samples) {
    if (channel.GetDelay() == samples) return false;
    channel.SetDelay(static_cast<short>(samples));
    return true;
}

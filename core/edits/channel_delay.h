#pragma once
// The delay of an output channel as the workspace sets it (the delay fields
// of the car diagram and the edit keys alike): the same delay again changes
// nothing, so no level write goes to the device for it.

class CKTV_OutData;

// True when the delay changed (the caller then shows it in the channel's
// delay field); false, with nothing touched, when it already was `samples`.
bool SetChannelDelay(CKTV_OutData& channel, int samples);

#pragma once
// Channel-wide equalizer operations shared by the equalizer panel and the
// command-line edits: link groups, the equalizer bypass of all bands and the
// group reset (which the EQ mode conversion ends with). Each takes g_csModel
// itself.

#include <vector>

class CKTV_OutData;
class CKTVCommand;

// Channel c first, then the other members of its link group in index order.
std::vector<int> LinkGroupOf(int channel);

// The channel-wide equalizer bypass: every band of the channel bypassed, or
// back to what it was before, also when some bands were released one by one
// in between. Refreshes the channel's all-bypassed flag.
void ApplyEqBypass(CKTV_OutData& channel, bool bypass);

// Every band of the channel's link group back to its ISO frequency, 0.2
// octave, flat; with a link each block is sent, all six outputs muted around
// the sends.
void ResetEqGroup(CKTVCommand& cmd, int channel, bool connected);

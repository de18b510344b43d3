#pragma once
// Channel-wide and whole-setting operations that build their packets
// themselves and queue them as one batch. Each takes g_csModel for its whole
// build, so the link worker never sees a partly queued batch. `connected` is
// the connection manager's link flag; without a link nothing is queued.
//
// Numbered transfers show the transfer dialog (UM_TRANSFER_START) and end
// with one UM_TRANSFER_DONE when the device answers their last packet.

#include <array>

#include "base/types.h"
#include "image/param_image.h"
#include "protocol/ktv_command.h"

class CKTV_Data;

// The output switch of each channel, kept while the outputs are muted.
using OutputStates = std::array<BYTE, kOutputCount>;

// Writes the current settings into `group` (0 = apply as current, 1..6 =
// store in the device). With a model, every record is first written into the
// current image; without one the outputs are muted around the transfer.
// Without a link: "unable to connect", false.
bool QueueWriteGroup(CKTVCommand& cmd, int group, bool connected, CKTV_Data* model);

// The current settings, then groups 1..6 from the stored images, with the
// outputs muted while the current settings change. Silent without a link.
bool QueueSendEverything(CKTVCommand& cmd, bool connected);

// Reads group g (0 = the current settings; g >= 1 recalls the group as the
// current settings). The model goes offline until the last reply.
bool QueueReadGroup(CKTVCommand& cmd, int group, bool connected);

// Reads the stored groups 1..6 into their images.
bool QueueReadStoredGroups(CKTVCommand& cmd, bool connected);

// The identification request, outside any transfer.
bool QueueIdentify(CKTVCommand& cmd);

// Mutes every output (remembering its switch in `states`) or restores the
// remembered switches, one level item per channel.
bool MuteAllOutputs(CKTVCommand& cmd, bool mute, bool connected, OutputStates& states);

// Channel c's whole block with the channel muted around it. `notifyDone`
// marks the block as the end of a link operation.
bool SendChannelMuted(CKTVCommand& cmd, int channel, bool connected, bool notifyDone);

// Copies the equalizer, crossover, gain and EQ mode of channel `source` into
// `target`, then (with a link) sends the target's block; `notifyDone` also
// shows the transfer dialog.
void CopyChannel(CKTVCommand& cmd, int source, int target, bool connected, bool notifyDone);

// Resets every band of channel c to its ISO centre frequency, flat, then
// (with a link) sends the channel's block.
void ResetChannelEq(CKTVCommand& cmd, int channel, bool connected, bool notifyDone);

// Sends what of the current image differs from `held` (the setting the
// device holds now) as one numbered transfer: of each block, the one 8-byte
// item that differs or the whole block when more do; a channel whose block
// changes is muted around its packets as the single-setting write mutes
// (every output when the music input's block changes); a channel whose level
// item alone differs just gets that item. Returns the packets queued (none
// when nothing differs); -1 without a link, where nothing is queued.
int QueueSettingDifferences(CKTVCommand& cmd, const ParamImage& held, bool connected);

// One system item write, outside any transfer.
bool QueueSystemWrite(CKTVCommand& cmd, int code, int group, bool connected);

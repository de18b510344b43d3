#include "edits/bulk_ops.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "protocol/frame_builder.h"
#include "protocol/image_areas.h"
#include "response/filter.h"
#include "tables/value_tables.h"

namespace {

constexpr int kMusicInputIndex = 2;
constexpr int kLastOutput = kOutputCount - 1;

CKTV_OutData* Channel(int channel) {
    if (channel < 0 || channel >= kOutputCount) return nullptr;
    return g_apOutChannel[channel];
}

// The output switch byte of a channel's slot in the current image. Bulk
// writes mute through the image alone, so the records keep their state.
BYTE& ImageOutputOn(int channel) {
    return g_CurImage[OutSlotOffset(channel) + kOutOutputOn];
}

using OutputMask = std::array<bool, kOutputCount>;
constexpr OutputMask kAllOutputs{true, true, true, true, true, true};

OutputStates MuteImageOutputs(CKTVCommand& cmd, const OutputMask& which = kAllOutputs) {
    OutputStates remembered{};
    for (int c = 0; c < kOutputCount; ++c) {
        remembered[c] = ImageOutputOn(c);
        if (!which[c]) continue;
        ImageOutputOn(c) = 0;
        cmd.PushCounted(MakeItemPacket(BT_OUTPUT, c, kOutItemLevel));
    }
    return remembered;
}

// Restores the switches; the last level item ends the transfer when asked.
void RestoreImageOutputs(CKTVCommand& cmd, const OutputStates& remembered, bool endsTransfer,
                         const OutputMask& which = kAllOutputs) {
    int last = -1;
    for (int c = 0; c < kOutputCount; ++c) {
        if (which[c]) last = c;
    }
    for (int c = 0; c < kOutputCount; ++c) {
        if (!which[c]) continue;
        ImageOutputOn(c) = remembered[c];
        auto packet = MakeItemPacket(BT_OUTPUT, c, kOutItemLevel);
        if (c == last && endsTransfer) {
            cmd.PushLast(std::move(packet), TransferKind::Write);
        } else {
            cmd.PushCounted(std::move(packet));
        }
    }
}

// The 8-byte items of a block whose bytes differ between the current image
// and `held`.
std::vector<int> DifferingItems(const ParamImage& held, int type, int index) {
    std::vector<int> items;
    const std::optional<BlockPlace> place = FindImageBlock(type, index);
    if (!place) return items;
    for (int item = 0; item * kItemSize < place->size; ++item) {
        const int at = place->offset + item * kItemSize;
        if (!std::equal(held.begin() + at, held.begin() + at + kItemSize, g_CurImage.begin() + at))
            items.push_back(item);
    }
    return items;
}

// The packets that carry a block's differing items: the item itself when
// there is one, else the whole block (one packet either way).
void AddBlockPackets(std::vector<std::unique_ptr<CSendData>>& packets, int type, int index,
                     const std::vector<int>& items) {
    if (items.size() == 1) {
        packets.push_back(MakeItemPacket(type, index, items.front()));
    } else if (!items.empty()) {
        packets.push_back(MakeBlockPacket(0, type, index, true, true));
    }
}

// The music block and the six output blocks of `group`; with `endsTransfer`
// the channel-5 block is the last packet.
void QueueGroupBlocks(CKTVCommand& cmd, int group, bool fromCurrent, bool endsTransfer) {
    cmd.PushCounted(MakeBlockPacket(group, BT_MUSIC, kMusicInputIndex, fromCurrent, true));
    for (int c = 0; c < kLastOutput; ++c) {
        cmd.PushCounted(MakeBlockPacket(group, BT_OUTPUT, c, fromCurrent, true));
    }
    auto last = MakeBlockPacket(group, BT_OUTPUT, kLastOutput, fromCurrent, true);
    if (endsTransfer) {
        cmd.PushLast(std::move(last), TransferKind::Write);
    } else {
        cmd.PushCounted(std::move(last));
    }
}

// Sets a channel's output switch through its record and queues its level item.
void QueueOutputSwitch(CKTVCommand& cmd, CKTV_OutData& channel, BYTE on) {
    channel.SetOutputOn(on);
    channel.ClearLevelPending();
    cmd.PushPacket(channel.MakeLevelPacket(true));
}

// The channel's whole block from its record, outside any numbered transfer.
void QueueChannelBlock(CKTVCommand& cmd, CKTV_OutData& channel, bool notifyDone) {
    channel.WriteToImage();
    auto packet = MakeBlockPacket(0, BT_OUTPUT, channel.GetChannel(), true, true);
    if (packet) packet->SetNotifyDone(notifyDone);
    cmd.PushPacket(std::move(packet));
}

}  // namespace

bool QueueWriteGroup(CKTVCommand& cmd, int group, bool connected, CKTV_Data* model) {
    if (!connected) {
        CKTVCommand::ReportLinkFailure();
        return false;
    }
    std::lock_guard lock(g_csModel);
    cmd.ResetProgressCounter();
    const bool muted = model == nullptr;
    OutputStates remembered{};
    if (muted) {
        remembered = MuteImageOutputs(cmd);
    } else {
        model->WriteAllToImage();
    }
    cmd.PushCounted(MakeSystemWrite(SYS_GROUP_NAME, group));
    QueueGroupBlocks(cmd, group, true, !muted);
    if (muted) RestoreImageOutputs(cmd, remembered, true);
    cmd.AnnounceTransfer();
    return true;
}

bool QueueSendEverything(CKTVCommand& cmd, bool connected) {
    if (!connected) return false;
    std::lock_guard lock(g_csModel);
    cmd.ResetProgressCounter();
    const OutputStates remembered = MuteImageOutputs(cmd);
    QueueGroupBlocks(cmd, 0, true, false);
    cmd.PushPacket(MakeSystemWrite(SYS_LIMITER, 0));
    RestoreImageOutputs(cmd, remembered, false);
    for (int group = 1; group <= kDeviceGroupCount; ++group) {
        cmd.PushCounted(MakeSystemWrite(SYS_GROUP_NAME, group));
        QueueGroupBlocks(cmd, group, false, group == kDeviceGroupCount);
    }
    cmd.AnnounceTransfer();
    return true;
}

bool QueueReadGroup(CKTVCommand& cmd, int group, bool connected) {
    if (!connected) {
        CKTVCommand::ReportLinkFailure();
        return false;
    }
    std::lock_guard lock(g_csModel);
    g_bOnline = false;
    cmd.ResetProgressCounter();
    cmd.QueueGroupReadRequests(group);
    cmd.AnnounceTransfer();
    return true;
}

bool QueueReadStoredGroups(CKTVCommand& cmd, bool connected) {
    if (!connected) {
        CKTVCommand::ReportLinkFailure();
        return false;
    }
    std::lock_guard lock(g_csModel);
    cmd.ResetProgressCounter();
    for (int group = 1; group <= kDeviceGroupCount; ++group) {
        cmd.PushCounted(MakeReadRequest(group, BT_MUSIC, kMusicInputIndex, false, true));
        for (int c = 0; c < kOutputCount; ++c) {
            auto packet = MakeReadRequest(group, BT_OUTPUT, c, false, true);
            if (group == kDeviceGroupCount && c == kLastOutput) {
                cmd.PushLast(std::move(packet), TransferKind::Read);
            } else {
                cmd.PushCounted(std::move(packet));
            }
        }
    }
    cmd.AnnounceTransfer();
    return true;
}

bool QueueIdentify(CKTVCommand& cmd) {
    std::lock_guard lock(g_csModel);
    return cmd.PushPacket(MakeSystemRead(SYS_IDENTIFY, 0));
}

bool MuteAllOutputs(CKTVCommand& cmd, bool mute, bool connected, OutputStates& states) {
    if (!connected) return false;
    std::lock_guard lock(g_csModel);
    for (int c = 0; c < kOutputCount; ++c) {
        CKTV_OutData* channel = Channel(c);
        if (channel == nullptr) continue;
        if (mute) states[c] = channel->GetOutputOn();
        QueueOutputSwitch(cmd, *channel, mute ? BYTE{0} : states[c]);
    }
    return true;
}

bool SendChannelMuted(CKTVCommand& cmd, int channel, bool connected, bool notifyDone) {
    CKTV_OutData* record = Channel(channel);
    if (!connected || record == nullptr) return false;
    std::lock_guard lock(g_csModel);
    const BYTE wasOn = record->GetOutputOn();
    QueueOutputSwitch(cmd, *record, 0);
    QueueChannelBlock(cmd, *record, notifyDone);
    QueueOutputSwitch(cmd, *record, wasOn);
    return true;
}

void CopyChannel(CKTVCommand& cmd, int source, int target, bool connected, bool notifyDone) {
    CKTV_OutData* from = Channel(source);
    CKTV_OutData* to = Channel(target);
    if (from == nullptr || to == nullptr) return;
    std::lock_guard lock(g_csModel);
    to->CopyFrom(*from);
    if (!connected) return;
    QueueChannelBlock(cmd, *to, notifyDone);
    if (notifyDone) PostUiMessage(UM_TRANSFER_START, 0);
}

void ResetChannelEq(CKTVCommand& cmd, int channel, bool connected, bool notifyDone) {
    CKTV_OutData* record = Channel(channel);
    if (record == nullptr) return;
    std::lock_guard lock(g_csModel);
    for (int band = 0; band < kOutBandCount; ++band)
        record->GetBand(band)->ResetBand(kIsoBandFreq[band]);
    if (connected) QueueChannelBlock(cmd, *record, notifyDone);
}

int QueueSettingDifferences(CKTVCommand& cmd, const ParamImage& held, bool connected) {
    if (!connected) return -1;
    std::lock_guard lock(g_csModel);
    std::vector<std::unique_ptr<CSendData>> payload;
    if (!std::equal(held.begin() + kImageNameOffset,
                    held.begin() + kImageNameOffset + kImageNameSize,
                    g_CurImage.begin() + kImageNameOffset))
        payload.push_back(MakeSystemWrite(SYS_GROUP_NAME, 0));
    const std::vector<int> music = DifferingItems(held, BT_MUSIC, kMusicInputIndex);
    AddBlockPackets(payload, BT_MUSIC, kMusicInputIndex, music);
    OutputMask muted{};
    for (int c = 0; c < kOutputCount; ++c) {
        std::vector<int> items = DifferingItems(held, BT_OUTPUT, c);
        // The level item goes with the output switch: restoring it, or alone.
        const bool level = std::erase(items, kOutItemLevel) > 0;
        if (items.empty()) {
            if (level) payload.push_back(MakeItemPacket(BT_OUTPUT, c, kOutItemLevel));
            continue;
        }
        muted[c] = true;
        AddBlockPackets(payload, BT_OUTPUT, c, items);
    }
    if (!music.empty()) muted = kAllOutputs;
    const int mutedCount = static_cast<int>(std::count(muted.begin(), muted.end(), true));
    const bool anyMuted = mutedCount > 0;
    if (payload.empty()) return 0;
    const int queued = static_cast<int>(payload.size()) + 2 * mutedCount;
    cmd.ResetProgressCounter();
    const OutputStates remembered = MuteImageOutputs(cmd, muted);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        if (i + 1 == payload.size() && !anyMuted) {
            cmd.PushLast(std::move(payload[i]), TransferKind::Write);
        } else {
            cmd.PushCounted(std::move(payload[i]));
        }
    }
    if (anyMuted) RestoreImageOutputs(cmd, remembered, true, muted);
    cmd.AnnounceTransfer();
    return queued;
}

bool QueueSystemWrite(CKTVCommand& cmd, int code, int group, bool connected) {
    if (!connected) return false;
    std::lock_guard lock(g_csModel);
    return cmd.PushPacket(MakeSystemWrite(code, group));
}

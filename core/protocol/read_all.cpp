// The read-all after a device is identified, and the read of one group.

#include "protocol/ktv_command.h"

#include <mutex>

#include "base/globals.h"
#include "base/messages.h"
#include "base/texts.h"
#include "protocol/frame_builder.h"

namespace {

constexpr int kMusicInputIndex = 2;
constexpr int kLastOutput = kOutputCount - 1;

}  // namespace

void CKTVCommand::ReportLinkFailure() {
    PostUiMessage(UM_SHOW_MESSAGE, static_cast<std::uintptr_t>(TextId::UnableToConnect));
}

void CKTVCommand::QueueGroupReadRequests(int group) {
    PushCounted(MakeReadRequest(group, BT_MUSIC, kMusicInputIndex, true, true));
    for (int channel = 0; channel < kLastOutput; ++channel) {
        PushCounted(MakeReadRequest(group, BT_OUTPUT, channel, true, true));
    }
    PushLast(MakeReadRequest(group, BT_OUTPUT, kLastOutput, true, true), TransferKind::Read);
}

void CKTVCommand::QueueReadAll(bool connected) {
    std::lock_guard lock(g_csModel);
    PushCounted(MakeSystemRead(SYS_SETTINGS, 0));
    PushCounted(MakeSystemRead(SYS_INPUT_LEVELS, 0));
    PushCounted(MakeSystemRead(SYS_SPEAKER_ROLES, 0));
    for (int group = 1; group <= kDeviceGroupCount; ++group) {
        PushCounted(MakeSystemRead(SYS_GROUP_NAME, group));
    }
    // Edits made while the device is being read would be overwritten by its
    // answers; the model goes online again with the last of them.
    g_bOnline = false;
    if (!connected) {
        ReportLinkFailure();
        return;
    }
    QueueGroupReadRequests(0);
    AnnounceTransfer();
}

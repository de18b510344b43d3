// Data replies stored into the images, with the messages that say what arrived.

#include "protocol/ktv_command.h"

#include <algorithm>
#include <optional>

#include "base/globals.h"
#include "base/messages.h"
#include "protocol/image_areas.h"

namespace {

// Input sources above this are all reported as source 3.
constexpr int kHighestStatusSource = 2;
constexpr int kSourceReportedForHigher = 3;
constexpr int kLastOutput = kOutputCount - 1;
constexpr int kGroupCollectedLast = kDeviceGroupCount;  // group 6 ends a collect of all groups
// Name characters the device fills with its own marks; they are shown as spaces.
constexpr int kNameMarkFirst = 13;
constexpr int kNameMarkLast = 14;

struct DataArea {
    BYTE* data;
    int room;
};

// A system item stored whole, as received.
struct SystemBlockReply {
    int code;
    DataArea area;
    unsigned message;  // 0: none
};

std::array<SystemBlockReply, 4> SystemBlockReplies() {
    return {{
        {SYS_LIMITER,
         {g_LimiterSettings.data(), static_cast<int>(g_LimiterSettings.size())},
         UM_SYSTEM64_LOADED},
        {SYS_SETTINGS, {g_SysSettings.data(), kSysSettingsSize}, 0},
        {SYS_SPEAKER_ROLES, {g_SpeakerRoles.data(), kSpeakerRolesSize}, 0},
        {SYS_INPUT_LEVELS, {g_InputLevels.data(), kInputLevelsSize}, 0},
    }};
}

std::optional<SystemBlockReply> FindSystemBlockReply(int code) {
    for (const SystemBlockReply& entry : SystemBlockReplies()) {
        if (entry.code == code) return entry;
    }
    return std::nullopt;
}

bool IsBlockType(int type) {
    return type == BT_MIC || type == BT_MUSIC || type == BT_OUTPUT || type == BT_EFFECT;
}

// Where a block reply goes: the addressed group's own image when the store
// flag says so, else the current settings.
std::optional<DataArea> BlockDestination(int type, int index, int group, int storeFlag) {
    const std::optional<BlockPlace> place = FindImageBlock(type, index);
    if (!place) return std::nullopt;
    if (storeFlag != kItemStoredGroup)
        return DataArea{g_CurImage.data() + place->offset, place->room};
    if (type == BT_EFFECT) {
        if (SourceRecord* record = FindSourceRecord(group)) {
            return DataArea{record->data() + kSourceRecordEffectOffset, place->room};
        }
    }
    ParamImage* image = FindGroupImage(group);
    if (image == nullptr) return std::nullopt;
    return DataArea{image->data() + place->offset, place->room};
}

void PostOutputsLoaded(int group, int storeFlag) {
    if (storeFlag != kItemStoredGroup) {
        PostUiMessage(UM_OUTPUTS_LOADED, static_cast<std::uintptr_t>(group));
    } else if (group == 0) {
        PostUiMessage(UM_OUTPUTS_LOADED, 0);
    } else if (group == kGroupCollectedLast) {
        PostUiMessage(UM_GROUP6_LOADED, static_cast<std::uintptr_t>(group));
    }
}

void StoreGroupName(ParamImage& image, const BYTE* data, int length) {
    std::copy_n(data, std::min(length, kNameChars), image.begin() + kImageNameOffset);
    image[kImageNameOffset + kNameMarkFirst] = ' ';
    image[kImageNameOffset + kNameMarkLast] = ' ';
}

// A short identification must not leave part of an earlier device's behind.
void StoreIdentification(const BYTE* data, int length) {
    const int n = std::min(length, kIdentificationBytes);
    std::copy_n(data, n, g_DeviceModel.begin());
    std::fill(g_DeviceModel.begin() + n, g_DeviceModel.begin() + kIdentificationBytes, ' ');
}

}  // namespace

bool CKTVCommand::IsHandled(const ReplyHeader& reply) const {
    if (reply.command == REPLY_DATA) return IsDataHandled(reply);
    return IsReplyCommand(reply.command);
}

// A data reply is acted on only when its data has a place that holds it whole.
bool CKTVCommand::IsDataHandled(const ReplyHeader& reply) const {
    if (reply.length == 0) return true;
    if (IsBlockType(reply.type)) {
        const std::optional<DataArea> area =
            BlockDestination(reply.type, reply.index, reply.group, reply.storeFlag);
        return area && reply.length <= area->room;
    }
    if (reply.type != BT_SYSTEM) return false;
    if (reply.index == SYS_GROUP_NAME) return FindGroupImage(reply.group) != nullptr;
    if (const std::optional<SystemBlockReply> entry = FindSystemBlockReply(reply.index)) {
        return reply.length <= entry->area.room;
    }
    return true;
}

void CKTVCommand::HandleData(const ReplyHeader& reply) {
    if (reply.length == 0) {
        // The firmware answers reads it does not know with no data; the
        // connection manager closes the link.
        EndFrame();
        g_bReplyError = true;
        PostUiMessage(UM_EMPTY_REPLY);
        return;
    }
    if (reply.type == BT_SYSTEM) {
        StoreSystemItem(reply);
    } else {
        StoreBlock(reply);
    }
    EndFrame();
    PopHead();
}

void CKTVCommand::StoreBlock(const ReplyHeader& reply) {
    const std::optional<DataArea> area =
        BlockDestination(reply.type, reply.index, reply.group, reply.storeFlag);
    std::copy_n(reply.data, reply.length, area->data);
    if (reply.type == BT_OUTPUT && reply.index == kLastOutput) {
        PostOutputsLoaded(reply.group, reply.storeFlag);
    }
    if (reply.type == BT_EFFECT && reply.storeFlag != kItemStoredGroup &&
        reply.group > kStoredGroupCount) {
        PostUiMessage(UM_EFFECT_LOADED, static_cast<std::uintptr_t>(reply.group));
    }
}

void CKTVCommand::StoreSystemItem(const ReplyHeader& reply) {
    switch (reply.index) {
        case SYS_STATUS:
            ReportSource(reply);
            return;
        case SYS_GROUP_NAME:
            StoreGroupName(*FindGroupImage(reply.group), reply.data, reply.length);
            PostUiMessage(UM_NAME_LOADED);
            return;
        case SYS_IDENTIFY:
            StoreIdentification(reply.data, reply.length);
            PostUiMessage(UM_DEVICE_ID);
            return;
        default:
            break;
    }
    if (const std::optional<SystemBlockReply> entry = FindSystemBlockReply(reply.index)) {
        std::copy_n(reply.data, reply.length, entry->area.data);
        if (entry->message != 0) PostUiMessage(entry->message);
    }
}

// A status reply taken before a settings write reached the device carries the
// source the user just replaced. Taken as the device's, it would put the old
// source back into the settings, and the next system write would send it.
void CKTVCommand::ReportSource(const ReplyHeader& reply) {
    if (reply.length <= kStatusSourceByte || SettingsWriteOutstanding()) return;
    int source = reply.data[kStatusSourceByte];
    if (source > kHighestStatusSource) source = kSourceReportedForHigher;
    if (source != m_nShownSource) {
        PostUiMessage(UM_SOURCE_CHANGED, static_cast<std::uintptr_t>(source));
    }
}

bool CKTVCommand::SettingsWriteOutstanding() const {
    if (g_bSendSysSettings) return true;
    return std::any_of(m_SendQueue.begin(), m_SendQueue.end(), [](const auto& packet) {
        const BYTE* frame = packet->GetBuffer();
        return frame[kFrameCommand] == CMD_WRITE && frame[kFrameType] == BT_SYSTEM &&
               frame[kFrameIndex] == SYS_SETTINGS;
    });
}

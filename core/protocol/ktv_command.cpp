#include "protocol/ktv_command.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "base/globals.h"
#include "base/messages.h"
#include "base/texts.h"
#include "protocol/frame_builder.h"
#include "protocol/image_areas.h"

namespace {

// A packet tried this often has failed for good; the user is told once it is queued again.
constexpr int kTriesBeforeDataError = 10;
// Input sources above this are all reported as source 3.
constexpr int kHighestStatusSource = 2;
constexpr int kSourceReportedForHigher = 3;
constexpr int kMusicInputIndex = 2;
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

bool IsKnownCommand(int command) {
    return command == REPLY_ACK || command == REPLY_RESEND || command == REPLY_DATA;
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

// ---- Queue ----

bool CKTVCommand::PushPacket(std::unique_ptr<CSendData> packet) {
    if (!packet) return false;
    if (packet->GetTries() > kTriesBeforeDataError) {
        PostUiMessage(UM_SHOW_MESSAGE, static_cast<std::uintptr_t>(TextId::DataError));
    }
    m_SendQueue.push_back(std::move(packet));
    return true;
}

CSendData* CKTVCommand::PeekHead() {
    return m_SendQueue.empty() ? nullptr : m_SendQueue.front().get();
}

bool CKTVCommand::PopHead() {
    if (m_SendQueue.empty()) return false;
    m_SendQueue.pop_front();
    return true;
}

void CKTVCommand::ClearQueue() {
    m_SendQueue.clear();
    ResetParser();
}

// ---- Progress numbering ----

bool CKTVCommand::PushCounted(std::unique_ptr<CSendData> packet) {
    if (!packet) return false;
    packet->SetProgressIndex(m_nProgressCounter++);
    return PushPacket(std::move(packet));
}

bool CKTVCommand::PushLast(std::unique_ptr<CSendData> packet, TransferKind kind) {
    if (!packet) return false;
    packet->SetProgressIndex(m_nProgressCounter);
    packet->SetLastOfRead(kind == TransferKind::Read);
    packet->SetLastOfWrite(kind == TransferKind::Write);
    return PushPacket(std::move(packet));
}

void CKTVCommand::AnnounceTransfer() const {
    PostUiMessage(UM_TRANSFER_START, static_cast<std::uintptr_t>(m_nProgressCounter));
}

void CKTVCommand::ReportHeadProgress() {
    const CSendData* head = PeekHead();
    if (head == nullptr) return;
    if (head->GetNotifyDone()) {
        PostUiMessage(UM_TRANSFER_DONE, 0, 0);
        return;
    }
    // Index 0 is a packet outside any transfer, unless a one-packet transfer
    // ends with it: its end must still close the transfer dialog.
    const bool endsTransfer = head->IsEndOfWrite() || head->IsEndOfRead();
    if (head->GetProgressIndex() == 0 && !endsTransfer) return;
    if (head->GetUpgradeCode() != 0) {
        if (m_upgradeReplyHook) m_upgradeReplyHook(head->GetUpgradeCode());
        return;
    }
    PostUiMessage(UM_TRANSFER_PROGRESS, static_cast<std::uintptr_t>(head->GetProgressIndex()));
    if (head->IsEndOfWrite()) PostUiMessage(UM_TRANSFER_DONE, 0, 1);
    if (head->IsEndOfRead()) PostUiMessage(UM_TRANSFER_DONE, 0, 0);
}

// ---- Reply parser ----

void CKTVCommand::ResetParser() {
    EndFrame();
    m_nPreambleCount = 0;
    m_abFrame.fill(0);
}

void CKTVCommand::EndFrame() {
    m_nByteCount = 0;
    m_bInFrame = false;
    m_nExpectedLength = 0;
}

int CKTVCommand::FindFrameStart(const BYTE* bytes, int n) {
    for (int i = 0; i < n; ++i) {
        if (bytes[i] == kReplyAltStart || m_nPreambleCount == kPreambleLength) {
            m_nPreambleCount = 0;
            return i;
        }
        m_nPreambleCount = bytes[i] == kPreambleByte ? m_nPreambleCount + 1 : 0;
    }
    return -1;
}

// Bytes beyond the buffer can only follow the end of the frame; they are lost
// with it, as every byte after a frame's end is.
void CKTVCommand::AppendBytes(const BYTE* bytes, int n) {
    const int stored = std::min(n, kReplyBufferSize - m_nByteCount);
    std::memcpy(m_abFrame.data() + m_nByteCount, bytes, static_cast<size_t>(stored));
    m_nByteCount += stored;
}

bool CKTVCommand::FrameChecksOut() const {
    const int last = m_nExpectedLength - 1;
    return m_abFrame[last] == kFrameEnd &&
           XorBytes(&m_abFrame[kReplyCommand], last - 1 - kReplyCommand) == m_abFrame[last - 1];
}

CKTVCommand::ReplyHeader CKTVCommand::DecodeHeader() const {
    return {m_abFrame[kReplyCommand], m_abFrame[kReplyGroup],     m_abFrame[kReplyType],
            m_abFrame[kReplyIndex],   m_abFrame[kReplyStoreFlag], GetWord(&m_abFrame[kReplyLength]),
            &m_abFrame[kReplyData]};
}

bool CKTVCommand::ParseBytes(const BYTE* bytes, int n) {
    if (bytes == nullptr || n <= 0) return false;
    if (!m_bInFrame) {
        const int start = FindFrameStart(bytes, n);
        if (start < 0) return false;
        m_bInFrame = true;
        m_nByteCount = 0;
        bytes += start;
        n -= start;
    }
    AppendBytes(bytes, n);
    if (m_nByteCount < kReplyOverhead) return false;
    m_nExpectedLength = GetWord(&m_abFrame[kReplyLength]) + kReplyOverhead;
    // A frame that cannot be held or has no meaning is let go at once, so the
    // parser is free for the next reply instead of waiting for bytes that
    // will never make sense.
    if (m_nExpectedLength > kReplyBufferSize || !IsKnownCommand(m_abFrame[kReplyCommand])) {
        ResetParser();
        return false;
    }
    if (m_nByteCount < m_nExpectedLength) return false;
    if (!FrameChecksOut()) {
        EndFrame();
        return false;
    }
    const ReplyHeader reply = DecodeHeader();
    if (!IsHandled(reply)) {
        ResetParser();
        return false;
    }
    ReportHeadProgress();
    ActOnFrame(reply);
    return true;
}

bool CKTVCommand::IsHandled(const ReplyHeader& reply) const {
    if (reply.command == REPLY_DATA) return IsDataHandled(reply);
    return IsKnownCommand(reply.command);
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

void CKTVCommand::ActOnFrame(const ReplyHeader& reply) {
    switch (reply.command) {
        case REPLY_ACK:
            EndFrame();
            PopHead();
            break;
        case REPLY_RESEND:
            ResetParser();
            if (CSendData* head = PeekHead()) head->RewindCursor();
            break;
        default:
            HandleData(reply);
            break;
    }
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

void CKTVCommand::ReportSource(const ReplyHeader& reply) {
    if (reply.length <= kStatusSourceByte) return;
    int source = reply.data[kStatusSourceByte];
    if (source > kHighestStatusSource) source = kSourceReportedForHigher;
    if (source != m_nShownSource) {
        PostUiMessage(UM_SOURCE_CHANGED, static_cast<std::uintptr_t>(source));
    }
}

// ---- Read-back ----

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

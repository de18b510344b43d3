#include "protocol/frame_builder.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "image/param_image.h"
#include "protocol/image_areas.h"

namespace {

// The device takes only sources 0, 1, 2 and 5; anything from 3 up means the last.
constexpr BYTE kHighestSourceSent = 5;
constexpr BYTE kFirstSourceSentAsHighest = 3;
// The music block's contains-data mark: a block stored into a group must carry it.
constexpr int kMusicMarkInBlock = kMusicMarkOffset - kImageMusicOffset;

BYTE AsByte(int value) {
    return static_cast<BYTE>(value);
}

bool LinkByteApplies(int item) {
    return item <= kOutItemLastBand || item == kOutItemXover || item == kOutItemMixLow;
}

std::unique_ptr<CSendData> MakeReadFrame(int group, int type, int index, int item) {
    const std::array<BYTE, kReadPayloadSize> zeros{};
    return MakeFramePacket({CMD_READ, AsByte(group), AsByte(type), AsByte(index), AsByte(item), 0},
                           zeros.data(), kReadPayloadSize);
}

// The 16-byte name payload: the first 15 bytes of the group's image and a 0.
std::optional<std::vector<BYTE>> NamePayload(int group) {
    const ParamImage* image = FindGroupImage(group);
    if (image == nullptr) return std::nullopt;
    std::vector<BYTE> payload(image->begin() + kImageNameOffset,
                              image->begin() + kImageNameOffset + kNameChars);
    payload.push_back(0);
    return payload;
}

std::vector<BYTE> SysSettingsPayload() {
    std::vector<BYTE> payload(g_SysSettings.begin(), g_SysSettings.end());
    if (payload[kSysInputSource] >= kFirstSourceSentAsHighest) {
        payload[kSysInputSource] = kHighestSourceSent;
    }
    return payload;
}

template <typename Block>
std::vector<BYTE> FirstBytes(const Block& block, int n) {
    return std::vector<BYTE>(block.begin(), block.begin() + n);
}

std::optional<std::vector<BYTE>> SystemWritePayload(int code, int group) {
    switch (code) {
        case SYS_LIMITER:
            return FirstBytes(g_LimiterSettings, kLimiterSettingsSize);
        case SYS_GROUP_NAME:
            return NamePayload(group);
        case SYS_FACTORY_RESET:
            return std::vector<BYTE>(kFactoryResetPayload, 0);
        case SYS_SETTINGS:
            return SysSettingsPayload();
        case SYS_SPEAKER_ROLES:
            return FirstBytes(g_SpeakerRoles, kSpeakerRolesSize);
        case SYS_INPUT_LEVELS:
            return FirstBytes(g_InputLevels, kInputLevelsSize);
        default:
            return std::nullopt;
    }
}

// The bytes a whole-block write sends, or null when the source does not exist.
const BYTE* BlockSource(int group, int type, const BlockPlace& place, bool fromCurrent,
                        bool storedGroup) {
    if (type == BT_EFFECT && !fromCurrent && !storedGroup) {
        SourceRecord* record = FindSourceRecord(group);
        return record ? record->data() + kSourceRecordEffectOffset : nullptr;
    }
    if (fromCurrent) return g_CurImage.data() + place.offset;
    ParamImage* image = group >= 1 ? FindGroupImage(group) : nullptr;
    return image ? image->data() + place.offset : nullptr;
}

}  // namespace

void FinishFrame(BYTE* frame, int length) {
    frame[length - 2] = XorBytes(frame + kFrameCommand, length - 2 - kFrameCommand);
    frame[length - 1] = kFrameEnd;
}

std::unique_ptr<CSendData> MakeFramePacket(const FrameFields& fields, const BYTE* payload, int n) {
    const int length = n + kFrameOverhead;
    std::vector<BYTE> frame(static_cast<size_t>(length), 0);
    std::fill_n(frame.begin(), kPreambleLength, kPreambleByte);
    frame[kPreambleLength] = kFrameStart;
    frame[kFrameCommand] = fields.command;
    frame[kFrameDeviceId] = g_nDeviceId;
    frame[kFrameGroup] = fields.group;
    frame[kFrameType] = fields.type;
    frame[kFrameIndex] = fields.index;
    frame[kFrameItem] = fields.item;
    frame[kFrameLink] = fields.link;
    frame[kFrameReserved] = 0;
    PutWord(&frame[kFrameLength], static_cast<unsigned>(n));
    if (n > 0) std::copy_n(payload, n, frame.begin() + kFrameHeaderSize);
    FinishFrame(frame.data(), length);
    return std::make_unique<CSendData>(std::move(frame));
}

bool IsChannelLinked(int channel) {
    if (channel < 0 || channel >= kOutputCount) return false;
    for (int other = 0; other < kOutputCount; ++other) {
        if (other != channel && g_anLinkGroup[other] == g_anLinkGroup[channel]) return true;
    }
    return false;
}

std::unique_ptr<CSendData> MakeItemPacket(int type, int index, int item) {
    // The idle poll travels as a read of the device status.
    if (type == BT_POLL) return MakeReadFrame(0, BT_SYSTEM, SYS_STATUS, 0);
    const std::optional<BlockPlace> place = FindImageBlock(type, index);
    if (!place || item < 0 || (item + 1) * kItemSize > place->size) return nullptr;
    const bool linked = type == BT_OUTPUT && LinkByteApplies(item) && IsChannelLinked(index);
    return MakeFramePacket(
        {CMD_WRITE, 0, AsByte(type), AsByte(index), AsByte(item), AsByte(linked)},
        g_CurImage.data() + place->offset + item * kItemSize, kItemSize);
}

std::unique_ptr<CSendData> MakeBlockPacket(int group, int type, int index, bool fromCurrent,
                                           bool storedGroup) {
    const std::optional<BlockPlace> place = FindImageBlock(type, index);
    if (!place) return nullptr;
    if (type == BT_MUSIC && fromCurrent && group != 0) {
        g_CurImage[place->offset + kMusicMarkInBlock] = 1;
    }
    const BYTE* source = BlockSource(group, type, *place, fromCurrent, storedGroup);
    if (source == nullptr) return nullptr;
    const bool linked = type == BT_OUTPUT && IsChannelLinked(index);
    return MakeFramePacket(
        {CMD_WRITE, AsByte(group), AsByte(type), AsByte(index), 0, AsByte(linked)}, source,
        place->size);
}

std::unique_ptr<CSendData> MakeReadRequest(int group, int type, int index, bool fromCurrent,
                                           bool /*storedGroup*/) {
    // A stored group read "as current" makes the device answer for its current
    // settings; every other read asks for the group's own data.
    const int item = (fromCurrent && group != 0) ? 0 : kItemStoredGroup;
    return MakeReadFrame(group, type, index, item);
}

std::unique_ptr<CSendData> MakeSystemRead(int code, int group) {
    return MakeReadFrame(group, BT_SYSTEM, code, 0);
}

std::unique_ptr<CSendData> MakeSystemWrite(int code, int group) {
    const std::optional<std::vector<BYTE>> payload = SystemWritePayload(code, group);
    if (!payload) return nullptr;
    return MakeFramePacket({CMD_WRITE, AsByte(group), BT_SYSTEM, AsByte(code), 0, 0},
                           payload->data(), static_cast<int>(payload->size()));
}

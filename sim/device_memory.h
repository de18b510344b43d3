#pragma once
// What the processor keeps in its own memory: the live settings, the stored
// groups, the source records and the system blocks, with their factory
// contents and the addressing that requests use to reach them.

#include <array>
#include <span>

#include "base/types.h"
#include "image/param_image.h"
#include "protocol/frame_format.h"

namespace sim {

constexpr int kFirstSourceGroup = 21;  // groups 21..40 address the source records
constexpr int kLastSourceGroup = kFirstSourceGroup + kSourceRecordCount - 1;

using Identification = std::array<BYTE, kIdentificationBytes>;

// The settings memory of the processor. Stored groups are held at index g - 1,
// source records at index g - 21, as the group numbers of the frames count them.
struct DeviceMemory {
    ParamImage current{};
    std::array<ParamImage, kStoredGroupCount> groups{};
    std::array<SourceRecord, kSourceRecordCount> sources{};
    std::array<BYTE, kSysSettingsSize> sysSettings{};
    std::array<BYTE, kSpeakerRolesSize> speakerRoles{};
    std::array<BYTE, kInputLevelsSize> inputLevels{};
    // The limiter block travels as 8 bytes; the device keeps 8 more after it.
    std::array<BYTE, 2 * kLimiterSettingsSize> limiter{};
    // Byte 11 mirrors the input source of sysSettings; the rest is kept as is.
    std::array<BYTE, kStatusDataSize> status{};

    bool operator==(const DeviceMemory&) const = default;
};

// Visits every field of the memory in its fixed storage order (the state file
// relies on this order).
template <typename Memory, typename Visit>
void ForEachField(Memory& memory, Visit visit) {
    visit(std::span(memory.current));
    for (auto& image : memory.groups)
        visit(std::span(image));
    for (auto& record : memory.sources)
        visit(std::span(record));
    visit(std::span(memory.sysSettings));
    visit(std::span(memory.speakerRoles));
    visit(std::span(memory.inputLevels));
    visit(std::span(memory.limiter));
    visit(std::span(memory.status));
}

// The contents of a new (or factory-reset) processor.
DeviceMemory FactoryMemory();
Identification FactoryIdentification();
// The 296-byte block that fills every output slot of a factory image.
std::array<BYTE, kOutBlockSize> FactoryOutputBlock();

bool IsStoredGroup(int group);  // 1..20
bool IsSourceGroup(int group);  // 21..40

// The bytes of block (type, index) of `group` (0 current, 1..20 stored,
// 21..40 source record: effect block only), or an empty span when the
// device has no such block.
std::span<BYTE> AddressBlock(DeviceMemory& memory, int group, int type, int index);

// The 16-byte name field of `group`, or an empty span for an unknown group.
std::span<BYTE> AddressName(DeviceMemory& memory, int group);

// Makes stored group (1..20) or source record (21..40) `group` current, as a
// recall on the device does: a group replaces the whole current image, a
// source record its effect block. Returns false for any other group.
bool RecallGroup(DeviceMemory& memory, int group);

}  // namespace sim

#pragma once
// The parameter image (one complete sound setting in the device's own byte
// layout), the stored groups, the source records and the system blocks.
// Every change of these and every build from them happens under g_csModel.

#include <array>

#include "base/types.h"

constexpr int kImageSize = 2196;
constexpr int kImageNameOffset = 0;  // 16 bytes: up to 15 characters and a 0
constexpr int kImageNameSize = 16;
constexpr int kImageEffectOffset = 32;  // 96-byte effect block (type 10)
constexpr int kEffectBlockSize = 96;
constexpr int kImageMicOffset = 184;    // microphone input block (index 0)
constexpr int kImageMusicOffset = 296;  // music input block (index 2)
constexpr int kInputBlockSize = 112;
constexpr int kImageOutOffset = 408;                      // six output slots
constexpr int kOutSlotSize = 298;                         // slot in the image
constexpr int kOutBlockSize = 296;                        // bytes of a slot that travel
constexpr int kMusicMarkOffset = kImageMusicOffset + 75;  // contains-data mark (371)

constexpr int kOutputCount = 6;
constexpr int kStoredGroupCount = 20;  // groups 1..20; 1..6 are the device's own
constexpr int kDeviceGroupCount = 6;
constexpr int kSourceRecordCount = 20;  // groups 21..40
constexpr int kSourceRecordSize = 168;
constexpr int kSourceRecordEffectOffset = 16;

constexpr int OutSlotOffset(int channel) {
    return kImageOutOffset + kOutSlotSize * channel;
}

using ParamImage = std::array<BYTE, kImageSize>;
using SourceRecord = std::array<BYTE, kSourceRecordSize>;

extern ParamImage g_CurImage;
extern std::array<ParamImage, kStoredGroupCount> g_GroupImages;       // group g at g - 1
extern std::array<SourceRecord, kSourceRecordCount> g_SourceRecords;  // group g at g - 21

// System blocks. The first 32 bytes of the system area saved in all-data
// files are g_SysSettings, g_SpeakerRoles, g_SysAreaKept and g_InputLevels.
constexpr int kSysSettingsSize = 8;
constexpr int kSpeakerRolesSize = 12;
constexpr int kSysAreaKeptSize = 4;
constexpr int kInputLevelsSize = 8;
constexpr int kSystemAreaSize = 32;
constexpr int kDeviceModelSize = 18;
constexpr int kListenPositionsSize = 50;
constexpr int kLimiterSettingsSize = 8;

// g_SysSettings bytes
constexpr int kSysInputSource = 0;   // 0, 1, 2 or 5
constexpr int kSysMasterVolume = 2;  // word, dB = step - 60
constexpr int kSysMasterOutput = 5;  // 1 = on
constexpr int kSysChannelPreset = 6;

extern std::array<BYTE, kSysSettingsSize> g_SysSettings;
extern std::array<BYTE, kSpeakerRolesSize> g_SpeakerRoles;
extern std::array<BYTE, kSysAreaKeptSize> g_SysAreaKept;
extern std::array<BYTE, kInputLevelsSize> g_InputLevels;
extern std::array<BYTE, kDeviceModelSize> g_DeviceModel;
extern std::array<BYTE, kListenPositionsSize> g_ListenPositions;
// The limiter block and the eight bytes after it.
extern std::array<BYTE, 2 * kLimiterSettingsSize> g_LimiterSettings;

// Device address written into every frame.
extern BYTE g_nDeviceId;

// Link-group number of each of the twelve channel numbers of the role table;
// only entries 0..5 (the six output records) are ever compared.
extern std::array<int, 12> g_anLinkGroup;

class CKTV_OutData;
extern std::array<CKTV_OutData*, kOutputCount> g_apOutChannel;

#include "image/param_image.h"

ParamImage g_CurImage{};
std::array<ParamImage, kStoredGroupCount> g_GroupImages{};
std::array<SourceRecord, kSourceRecordCount> g_SourceRecords{};

std::array<BYTE, kSysSettingsSize> g_SysSettings{};
std::array<BYTE, kSpeakerRolesSize> g_SpeakerRoles{};
std::array<BYTE, kSysAreaKeptSize> g_SysAreaKept{};
std::array<BYTE, kInputLevelsSize> g_InputLevels{};
std::array<BYTE, kDeviceModelSize> g_DeviceModel{};
std::array<BYTE, kListenPositionsSize> g_ListenPositions{};
std::array<BYTE, 2 * kLimiterSettingsSize> g_LimiterSettings{};

BYTE g_nDeviceId = 1;

std::array<int, 12> g_anLinkGroup{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
std::array<CKTV_OutData*, kOutputCount> g_apOutChannel{};

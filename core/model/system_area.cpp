#include "model/system_area.h"

#include <algorithm>

#include "image/record_layout.h"

SystemAreaBytes ReadSystemArea() {
    SystemAreaBytes area{};
    auto out = std::copy(g_SysSettings.begin(), g_SysSettings.end(), area.begin());
    out = std::copy(g_SpeakerRoles.begin(), g_SpeakerRoles.end(), out);
    out = std::copy(g_SysAreaKept.begin(), g_SysAreaKept.end(), out);
    std::copy(g_InputLevels.begin(), g_InputLevels.end(), out);
    return area;
}

void WriteSystemArea(const SystemAreaBytes& area) {
    auto in = area.begin();
    std::copy_n(in, kSysSettingsSize, g_SysSettings.begin());
    in += kSysSettingsSize;
    std::copy_n(in, kSpeakerRolesSize, g_SpeakerRoles.begin());
    in += kSpeakerRolesSize;
    std::copy_n(in, kSysAreaKeptSize, g_SysAreaKept.begin());
    in += kSysAreaKeptSize;
    std::copy_n(in, kInputLevelsSize, g_InputLevels.begin());
}

void LimitSourceForFiles() {
    if (g_SysSettings[kSysInputSource] > kHighestPlainSource)
        g_SysSettings[kSysInputSource] = kSourcePlayer;
}

void LimitListenSelection() {
    BYTE& selection = g_ListenPositions[kListenSelectionByte];
    selection = std::min(selection, kHighestListenPosition);
}

int ListenPositionDelay(const ListenPositionBytes& positions, int position, int channel) {
    return GetWord(positions.data() + 2 * (kOutputCount * position + channel));
}

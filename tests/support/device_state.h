#pragma once
// What the read-all brings from the device, as bytes in named areas: the
// output blocks and the music input of the current image, the names of the
// device's groups, the system settings, speaker roles and input levels. Taken
// from the host's images or from a virtual processor's memory, two snapshots
// compare with ==, and Differences names the first differing byte of each
// area that differs. Free of any test framework.

#include <array>
#include <mutex>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "base/globals.h"
#include "image/param_image.h"
#include "image/record_layout.h"
#include "protocol/frame_format.h"
#include "sim/device_memory.h"

namespace test_support {

struct DeviceState {
    std::vector<std::pair<std::string, std::vector<BYTE>>> areas;
    bool operator==(const DeviceState&) const = default;
};

// The device keeps two more name characters than it reports: they arrive as
// spaces, so only the ones before them count.
constexpr int kComparedNameChars = kNameChars - 2;

template <std::size_t N>
std::vector<BYTE> BytesOf(const std::array<BYTE, N>& block, int offset = 0,
                          int n = static_cast<int>(N)) {
    return {block.begin() + offset, block.begin() + offset + n};
}

inline DeviceState StateOf(const ParamImage& current,
                           const std::array<ParamImage, kStoredGroupCount>& groups,
                           const std::array<BYTE, kSysSettingsSize>& sysSettings,
                           const std::array<BYTE, kSpeakerRolesSize>& speakerRoles,
                           const std::array<BYTE, kInputLevelsSize>& inputLevels) {
    DeviceState state;
    for (int c = 0; c < kOutputCount; ++c) {
        state.areas.emplace_back("output " + std::to_string(c + 1),
                                 BytesOf(current, OutSlotOffset(c), kOutBlockSize));
    }
    state.areas.emplace_back("music input", BytesOf(current, kImageMusicOffset, kInputBlockSize));
    for (int g = 1; g <= kDeviceGroupCount; ++g) {
        state.areas.emplace_back("name of group " + std::to_string(g),
                                 BytesOf(groups[g - 1], 0, kComparedNameChars));
    }
    state.areas.emplace_back("system settings", BytesOf(sysSettings));
    state.areas.emplace_back("speaker roles", BytesOf(speakerRoles));
    state.areas.emplace_back("input levels", BytesOf(inputLevels));
    return state;
}

// The host's images and blocks, under the model lock.
inline DeviceState HostState() {
    std::lock_guard lock(g_csModel);
    return StateOf(g_CurImage, g_GroupImages, g_SysSettings, g_SpeakerRoles, g_InputLevels);
}

inline DeviceState StateOf(const sim::DeviceMemory& memory) {
    return StateOf(memory.current, memory.groups, memory.sysSettings, memory.speakerRoles,
                   memory.inputLevels);
}

// "output 2 byte 17: 3 and 5", one line for each area that differs.
inline std::vector<std::string> Differences(const DeviceState& a, const DeviceState& b) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < a.areas.size() && i < b.areas.size(); ++i) {
        const auto& [name, bytes] = a.areas[i];
        const std::vector<BYTE>& other = b.areas[i].second;
        for (std::size_t at = 0; at < bytes.size() && at < other.size(); ++at) {
            if (bytes[at] != other[at]) {
                lines.push_back(name + " byte " + std::to_string(at) + ": " +
                                std::to_string(bytes[at]) + " and " + std::to_string(other[at]));
                break;
            }
        }
    }
    if (a.areas.size() != b.areas.size()) lines.push_back("a different set of areas");
    return lines;
}

// Only the area names: a failed comparison says which differ (Differences).
inline void PrintTo(const DeviceState& state, std::ostream* os) {
    *os << "{" << state.areas.size() << " areas}";
}

}  // namespace test_support

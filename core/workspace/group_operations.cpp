#include "workspace/group_operations.h"

#include <mutex>

#include "base/globals.h"
#include "edits/bulk_ops.h"
#include "image/param_image.h"
#include "model/system_area.h"
#include "model/text_field.h"
#include "protocol/frame_format.h"

namespace {

void SetGroupName(ParamImage& image, const std::string& name) {
    TextToFieldCut(image.data() + kImageNameOffset, kImageNameSize, name);
}

ParamImage& DeviceGroupImage(int group) {
    return g_GroupImages[static_cast<std::size_t>(group - 1)];
}

}  // namespace

GroupNameProblem CheckGroupName(const std::string& name) {
    bool ok = false;
    const std::string gbk = Utf8ToGbk(name, &ok);
    if (HasControlCharacters(name)) return GroupNameProblem::Control;
    if (!ok) return GroupNameProblem::NotGbk;
    if (static_cast<int>(gbk.size()) > kGroupNameBytes) return GroupNameProblem::TooLong;
    if (IsBlank(name)) return GroupNameProblem::Blank;
    return GroupNameProblem::None;
}

bool RecallGroup(IWorkspaceHost& host, int group) {
    if (host.IsConnected()) host.SettingReplacing(group);
    return QueueReadGroup(host.Command(), group, host.IsConnected());
}

bool StoreToGroup(IWorkspaceHost& host, int group, const std::string& name) {
    if (CheckGroupName(name) != GroupNameProblem::None) return false;
    {
        std::lock_guard lock(g_csModel);
        SetGroupName(DeviceGroupImage(group), name);
        SetGroupName(g_CurImage, name);
    }
    if (!QueueWriteGroup(host.Command(), group, host.IsConnected(), &host.Model())) return false;
    host.SettingKept();
    return true;
}

bool DeleteGroup(IWorkspaceHost& host, int group) {
    if (!g_bOnline) return false;
    {
        std::lock_guard lock(g_csModel);
        SetGroupName(DeviceGroupImage(group), "");
    }
    return QueueSystemWrite(host.Command(), SYS_GROUP_NAME, group, host.IsConnected());
}

bool ReadDeviceGroups(IWorkspaceHost& host) {
    return QueueReadStoredGroups(host.Command(), host.IsConnected());
}

PresetResult SendPresetFile(IWorkspaceHost& host, const std::string& path, PresetKind kind) {
    const bool connected = host.IsConnected();
    host.SettingReplacing(0);
    if (kind == PresetKind::SingleSet) {
        PresetResult loaded = LoadSingleSet(host.Model(), path);
        if (!loaded) return loaded;
        host.SettingReplaced();
        QueueWriteGroup(host.Command(), 0, connected, nullptr);
        return loaded;
    }
    PresetResult loaded = LoadAllData(host.Model(), path);
    if (!loaded) return loaded;
    host.SettingReplaced();
    QueueSendEverything(host.Command(), connected);
    std::lock_guard lock(g_csModel);
    LimitListenSelection();
    return loaded;
}

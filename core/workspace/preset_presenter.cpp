#include "workspace/preset_presenter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "base/globals.h"
#include "edits/bulk_ops.h"
#include "image/param_image.h"
#include "model/text_field.h"
#include "presets/preset_file.h"
#include "protocol/frame_format.h"
#include "workspace/workspace_host.h"

namespace {

constexpr char kSingleSetExt[] = "dsps";
constexpr char kAllDataExt[] = "dspa";
// The listening position in use; the device knows positions 0..3 only.
constexpr int kListenCurrentByte = 48;
constexpr BYTE kHighestListenPosition = 3;

bool ValidGroup(int group) {
    return group >= 1 && group <= kDeviceGroupCount;
}

ParamImage& GroupImage(int group) {
    return g_GroupImages[static_cast<std::size_t>(group - 1)];
}

std::string DefaultCaption(int group) {
    char caption[32];
    std::snprintf(caption, sizeof caption, Text(TextId::GroupDefaultName), group);
    return caption;
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The text after the last '.' of the file name in lower case: "CAR.DSPS"
// is a single-set file like "car.dsps".
std::string ExtensionOf(const std::string& path) {
    const std::string name = FileNameOf(path);
    const std::size_t dot = name.find_last_of('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

// The file name without its extension: what the workspace shows as the
// setting's name.
std::string TitleOf(const std::string& path) {
    const std::string name = FileNameOf(path);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// ".dsps" is added unless the name already ends in it, in any case, so that
// the file can be loaded again.
std::string WithExtension(const std::string& path, const char* ext) {
    if (ExtensionOf(path) == ext) return path;
    return path + "." + ext;
}

}  // namespace

const char* FilterPatterns(PresetFileFilter filter) {
    switch (filter) {
        case PresetFileFilter::OpenAny:
            return "*.dsps *.dspa";
        case PresetFileFilter::SaveSingleSet:
            return "*.dsps";
        case PresetFileFilter::SaveAllData:
            return "*.dspa";
    }
    return "";
}

std::string CutGroupName(const std::string& name) {
    // The field holds the name and a NUL: kGroupNameLimit + 1 bytes.
    BYTE field[kGroupNameLimit + 1];
    TextToFieldCut(field, kGroupNameLimit + 1, name);
    const char* bytes = reinterpret_cast<const char*>(field);
    return GbkToUtf8(std::string(bytes, strnlen(bytes, kGroupNameLimit)));
}

CPresetPresenter::CPresetPresenter(IWorkspaceHost& host, IPresetShell& shell)
    : m_host(host), m_shell(shell) {}

void CPresetPresenter::Open(PresetDialog dialog, IPresetDialogView& view) {
    m_pView = &view;
    m_openDialog = dialog;
    RefreshCaptions();
    if (dialog == PresetDialog::Save) {
        m_eScope = SaveScope::CurrentGroup;
        view.ShowSaveScope(m_eScope);
    }
}

void CPresetPresenter::Close() {
    m_pView = nullptr;
    m_openDialog.reset();
}

std::string CPresetPresenter::StoredName(int group) const {
    std::lock_guard lock(g_csModel);
    // The name is shown as far as a name reply brings it back.
    return TrimSpaces(
        TextFromField(GroupImage(group).data() + kImageNameOffset, kGroupNameLimit + 1));
}

void CPresetPresenter::RefreshCaptions() {
    if (m_pView == nullptr) return;
    const bool connected = m_host.IsConnected();
    for (int group = 1; group <= kDeviceGroupCount; ++group) {
        const std::string name = connected ? StoredName(group) : std::string();
        m_pView->ShowGroupCaption(group, name.empty() ? DefaultCaption(group) : name);
    }
}

void CPresetPresenter::OnGroupClicked(int group) {
    if (!m_openDialog || !ValidGroup(group)) return;
    if (*m_openDialog == PresetDialog::Load) {
        if (g_bOnline) Recall(group);
    } else {
        Store(group);
    }
}

void CPresetPresenter::OnGroupRightClicked(int group) {
    if (m_pView == nullptr || !ValidGroup(group)) return;
    const std::optional<GroupMenuChoice> choice = m_pView->AskGroupMenu(group);
    if (!choice) return;
    switch (*choice) {
        case GroupMenuChoice::Load:
            Recall(group);
            break;
        case GroupMenuChoice::Save:
            Store(group);
            break;
        case GroupMenuChoice::Delete:
            Delete(group);
            break;
    }
}

void CPresetPresenter::OnScopeClicked(SaveScope scope) {
    // A radio pair: the pressed one is checked, a checked one stays checked.
    m_eScope = scope;
    if (m_pView != nullptr) m_pView->ShowSaveScope(m_eScope);
}

void CPresetPresenter::Recall(int group) {
    if (!ValidGroup(group)) return;
    // Without a link the core reports "unable to connect".
    if (m_host.IsConnected()) m_host.SettingReplacing(group);
    QueueReadGroup(m_host.Command(), group, m_host.IsConnected());
}

void CPresetPresenter::OnModelReloaded(int group) {
    if (ValidGroup(group)) m_shell.ShowSettingName(StoredName(group));
}

void CPresetPresenter::Store(int group) {
    if (m_pView == nullptr || !ValidGroup(group)) return;
    const std::optional<std::string> typed = m_pView->AskGroupName(StoredName(group));
    if (!typed) return;
    const std::string name = CutGroupName(*typed);
    if (IsBlank(name)) {
        m_shell.ShowMessage(TextId::NameAllSpaces);
        return;
    }
    {
        std::lock_guard lock(g_csModel);
        TextToFieldCut(GroupImage(group).data() + kImageNameOffset, kImageNameSize, name);
        TextToFieldCut(g_CurImage.data() + kImageNameOffset, kImageNameSize, name);
    }
    m_shell.ShowSettingName(name);
    if (QueueWriteGroup(m_host.Command(), group, m_host.IsConnected(), &m_host.Model()))
        m_host.SettingKept();
    RefreshCaptions();
}

void CPresetPresenter::Delete(int group) {
    if (m_pView == nullptr || !ValidGroup(group)) return;
    if (!m_pView->AskOkCancel(TextId::DeleteGroupConfirm)) return;
    // The parameters stay on the device; an empty name marks the group unused.
    if (!g_bOnline) return;
    {
        std::lock_guard lock(g_csModel);
        TextToFieldCut(GroupImage(group).data() + kImageNameOffset, kImageNameSize, "");
    }
    m_pView->ShowGroupCaption(group, DefaultCaption(group));
    QueueSystemWrite(m_host.Command(), SYS_GROUP_NAME, group, m_host.IsConnected());
}

void CPresetPresenter::OnLoadFromFile() {
    if (m_pView == nullptr) return;
    const std::optional<std::string> path = m_pView->ChooseOpenFile(PresetFileFilter::OpenAny);
    if (path) LoadFile(*path);
}

void CPresetPresenter::LoadFile(const std::string& path) {
    const std::string ext = ExtensionOf(path);
    CKTV_Data& model = m_host.Model();
    if (ext == kSingleSetExt) {
        m_host.SettingReplacing(0);
        const PresetResult loaded = LoadSingleSet(model, path);
        if (!loaded) {
            m_shell.ShowMessage(loaded.errorText);
            return;
        }
        m_host.SettingReplaced();
        // Applied as the current setting with the outputs muted meanwhile.
        QueueWriteGroup(m_host.Command(), 0, m_host.IsConnected(), nullptr);
        m_shell.ShowSettingName(TitleOf(path));
        m_shell.RefreshAll();
    } else if (ext == kAllDataExt) {
        m_host.SettingReplacing(0);
        const PresetResult loaded = LoadAllData(model, path);
        if (!loaded) {
            m_shell.ShowMessage(loaded.errorText);
            return;
        }
        m_host.SettingReplaced();
        QueueSendEverything(m_host.Command(), m_host.IsConnected());
        m_shell.RefreshAll();
        m_shell.ShowSettingName(TitleOf(path));
        std::lock_guard lock(g_csModel);
        BYTE& current = g_ListenPositions[kListenCurrentByte];
        current = std::min(current, kHighestListenPosition);
    }
}

void CPresetPresenter::OnSaveToFile() {
    if (m_pView == nullptr) return;
    if (m_eScope == SaveScope::CurrentGroup) {
        SaveCurrent();
    } else {
        SaveAllGroups();
    }
}

void CPresetPresenter::SaveCurrent() {
    const std::optional<std::string> chosen =
        m_pView->ChooseSaveFile(PresetFileFilter::SaveSingleSet);
    if (!chosen) return;
    const std::string path = WithExtension(*chosen, kSingleSetExt);
    const PresetResult saved = SaveSingleSet(m_host.Model(), path);
    if (!saved) {
        m_shell.ShowMessage(saved.errorText);
        return;
    }
    m_host.SettingKept();
    m_shell.ShowSettingName(TitleOf(path));
}

// The file is written when the device has answered the last read (group 6).
// Without a link there is nothing to read: the connection failure was shown.
void CPresetPresenter::SaveAllGroups() {
    if (!m_host.IsConnected() && !m_shell.TryConnect()) return;
    const std::optional<std::string> chosen =
        m_pView->ChooseSaveFile(PresetFileFilter::SaveAllData);
    if (!chosen) return;
    const std::string path = WithExtension(*chosen, kAllDataExt);
    m_pendingSave = PendingSave{path, TitleOf(path)};
    if (!QueueReadStoredGroups(m_host.Command(), m_host.IsConnected())) AbandonPendingSave();
}

void CPresetPresenter::OnDeviceGroupsRead(int /*group*/) {
    if (!m_pendingSave) return;
    const PendingSave save = *m_pendingSave;
    m_pendingSave.reset();
    const PresetResult saved = SaveAllData(m_host.Model(), save.path);
    if (!saved) {
        m_shell.ShowMessage(saved.errorText);
        return;
    }
    m_host.SettingKept();
    m_shell.ShowSettingName(save.title);
}

void CPresetPresenter::OnConnectionStateChanged(ConnectionState state) {
    if (state == ConnectionState::Disconnected) AbandonPendingSave();
    RefreshCaptions();
}

// A save whose groups cannot all arrive writes nothing, and says so: a file
// with some groups read and others left from before would look complete.
void CPresetPresenter::AbandonPendingSave() {
    if (!m_pendingSave) return;
    m_pendingSave.reset();
    m_shell.ShowMessage(TextId::AllGroupsNotSaved);
}

#pragma once
// The rules of the Sound Load and Sound Save dialogs: the six group buttons
// and their captions, the per-group menu (Load, Save, Delete), recalling,
// storing and deleting device groups, and the PC preset files.
//
// One presenter lives as long as the workspace: an all-groups save queues
// the reads of the six groups and the file is written when the device has
// answered the last of them, which may be after the dialog has closed. The
// dialog that is open attaches its view while it is open.
//
// Everything here runs on the user-interface thread. It hears the session's
// change notices (names read, the device groups read, the link's state) as
// one of its listeners.

#include <optional>
#include <string>

#include "base/texts.h"
#include "workspace/change_listener.h"
#include "workspace/workspace_parts.h"

class IWorkspaceHost;

enum class PresetDialog { Load, Save };
enum class SaveScope { AllGroups, CurrentGroup };
enum class GroupMenuChoice { Load, Save, Delete };

// The file kinds a file dialog offers: both kinds to open, one kind to save.
enum class PresetFileFilter { OpenAny, SaveSingleSet, SaveAllData };
// The name patterns of a filter ("*.dsps *.dspa").
const char* FilterPatterns(PresetFileFilter filter);

// What the workspace does for the preset rules, dialog or not.
class IPresetShell {
public:
    virtual ~IPresetShell() = default;
    virtual void ShowMessage(TextId text) = 0;
    // The name of the current setting (a group's name, a file's title).
    virtual void ShowSettingName(const std::string& name) = 0;
    // The model was loaded from a file: bring every control into line.
    virtual void RefreshAll() = 0;
    // Connects when no link is up; true when a link is up afterwards.
    virtual bool TryConnect() = 0;
};

// The open Sound Load or Sound Save dialog.
class IPresetDialogView {
public:
    virtual ~IPresetDialogView() = default;
    virtual void ShowGroupCaption(int group, const std::string& caption) = 0;  // group 1..6
    virtual void ShowSaveScope(SaveScope scope) = 0;
    // The group's menu at the cursor; nothing when it was dismissed.
    virtual std::optional<GroupMenuChoice> AskGroupMenu(int group) = 0;
    // The name dialog, starting from `current`; nothing on Cancel.
    virtual std::optional<std::string> AskGroupName(const std::string& current) = 0;
    virtual bool AskOkCancel(TextId text) = 0;
    // File dialogs; nothing when cancelled.
    virtual std::optional<std::string> ChooseOpenFile(PresetFileFilter filter) = 0;
    virtual std::optional<std::string> ChooseSaveFile(PresetFileFilter filter) = 0;
};

// The longest group name in GBK bytes: what a name reply brings back intact.
constexpr int kGroupNameLimit = 13;
// The name as it is stored: at most kGroupNameLimit GBK bytes, never half
// a double-byte character.
std::string CutGroupName(const std::string& name);

class CPresetPresenter : public IWorkspacePart, public IChangeListener {
public:
    CPresetPresenter(IWorkspaceHost& host, IPresetShell& shell);

    // The dialog opens (its captions and, for Sound Save, the scope radio
    // pair are set) and closes.
    void Open(PresetDialog dialog, IPresetDialogView& view);
    void Close();
    std::optional<PresetDialog> OpenDialog() const { return m_openDialog; }

    // ---- User actions in the open dialog ----
    void OnGroupClicked(int group);        // left click on group button 1..6
    void OnGroupRightClicked(int group);   // the group's menu
    void OnLoadFromFile();                 // Sound Load
    void OnSaveToFile();                   // Sound Save
    void OnScopeClicked(SaveScope scope);  // Sound Save's radio pair

    // ---- The operations, also reached from the group menu ----
    void Recall(int group);
    void Store(int group);
    void Delete(int group);

    // ---- Change notices ----
    // The device answered the last read of an all-groups save: the file is written.
    void OnDeviceGroupsRead(int group) override;
    // Group names arrived from the device.
    void OnNamesLoaded() override { RefreshCaptions(); }
    // A recalled group is in: its name is the current setting's.
    void OnModelReloaded(int group) override;
    // Captions follow the link; a link that went down ends an all-groups
    // save still waiting for its groups.
    void OnConnectionStateChanged(ConnectionState state) override;

    // A full refresh of the workspace refreshes the open dialog.
    void RefreshGroupWindows() override { RefreshCaptions(); }

    bool AllGroupsSavePending() const { return m_pendingSave.has_value(); }
    SaveScope Scope() const { return m_eScope; }

private:
    struct PendingSave {
        std::string path;
        std::string title;
    };

    void RefreshCaptions();
    void LoadFile(const std::string& path);
    void SaveCurrent();
    void SaveAllGroups();
    void AbandonPendingSave();
    std::string StoredName(int group) const;

    IWorkspaceHost& m_host;
    IPresetShell& m_shell;
    IPresetDialogView* m_pView = nullptr;
    std::optional<PresetDialog> m_openDialog;
    SaveScope m_eScope = SaveScope::CurrentGroup;
    std::optional<PendingSave> m_pendingSave;
};

#pragma once
// The two popup menus of the workspace's top bar, per language, where they
// open, what their commands do, and the language switch that relabels every
// area of the workspace at once.
//
// Both menus are built afresh each time they open, in the language of that
// moment.

#include <span>
#include <vector>

#include "base/texts.h"

class IWorkspacePart;

enum MenuCommand : int {
    kCmdSoundLoad = 32771,
    kCmdSoundSave = 32772,
    kCmdLanguage = 32774,
    kCmdSetModal = 32775,
    kCmdAbout = 32776,
    kCmdFirmwareUpdate = 32777,
};

struct MenuEntry {
    int command;
    TextId text;
    bool enabled;
    bool operator==(const MenuEntry&) const = default;
};

// The main-menu button's popup. In Chinese the language and About entries
// are offered too, so that a run started in Chinese can reach English and
// the About box.
std::vector<MenuEntry> MainMenuEntries(bool chinese);
// The sound-group button's popup: Sound Load and Sound Save.
std::vector<MenuEntry> SoundGroupMenuEntries(bool chinese);

struct MenuPoint {
    int x;
    int y;
    bool operator==(const MenuPoint&) const = default;
};
// Where each popup's top-left corner goes, from its button's rectangle in
// screen coordinates: the main menu under the Menu button, the sound-group
// menu under the Sound button.
MenuPoint MainMenuPosition(int buttonLeft, int buttonBottom);
MenuPoint SoundGroupMenuPosition(int buttonLeft, int buttonBottom);

// What the commands open; the front end's windows.
class IMenuActions {
public:
    virtual ~IMenuActions() = default;
    virtual void OpenSoundLoad() = 0;
    virtual void OpenSoundSave() = 0;
    virtual void OpenFirmwareUpdate() = 0;
    virtual void OpenSetModal() = 0;
    virtual void OpenAbout() = 0;
    // The language flipped: relabel the workspace (RelabelWorkspace) and
    // whatever else follows the language at once.
    virtual void Relabel() = 0;
};

// Runs a chosen entry; the language command flips g_bChinese first.
// Unknown commands do nothing.
void RunMenuCommand(int command, IMenuActions& actions);

// Relabels every area of the workspace, then has the crossover group show
// the slope lists of its filters' families again: a list refilled with
// other entries would make a slope pick store a wrong code.
void RelabelWorkspace(std::span<IWorkspacePart* const> parts, int selectedChannel);

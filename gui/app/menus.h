#pragma once
// The popup menus of the top bar: the main-menu button's and the
// sound-group button's, built afresh in the current language each time they
// open, placed from the main-menu button, and run as commands.

#include <functional>
#include <memory>
#include <vector>

#include "workspace/menu_rules.h"

class QMenu;
class QWidget;

// A menu of the entries, each action named "menu.<command>" and carrying the
// command as its data.
std::unique_ptr<QMenu> BuildMenu(const std::vector<MenuEntry>& entries, QWidget* parent);

// Shows the popup at its place below the main-menu button, waits for a
// choice and runs it.
void RunMainMenu(QWidget* mainMenuButton, IMenuActions& actions);
void RunSoundGroupMenu(QWidget* soundButton, IMenuActions& actions);

// What the menu commands open in the running application: the sound-group
// dialogs (with the one preset presenter), the firmware update dialog (which
// takes the update's messages while it is open), the About box, and the
// language switch (the workspace relabels, Qt's own buttons follow).
class CTunerSession;
class CPresetWindows;
class CFirmwareUpdater;
class CQtUpgradeFileStore;

class CMenuCommands : public IMenuActions {
public:
    CMenuCommands(CTunerSession& session, QWidget* window, std::function<void()> relabel);
    ~CMenuCommands() override;

    CPresetWindows& Presets() { return *m_presets; }
    // The variant dialog of the car area, once the area exists.
    std::function<void()> openSetModal;

    void OpenSoundLoad() override;
    void OpenSoundSave() override;
    void OpenFirmwareUpdate() override;
    void OpenSetModal() override;
    void OpenAbout() override;
    void Relabel() override;

private:
    CTunerSession& m_session;
    QWidget* m_pWindow;
    std::function<void()> m_relabel;
    std::unique_ptr<CPresetWindows> m_presets;
    std::unique_ptr<CFirmwareUpdater> m_updater;
    std::unique_ptr<CQtUpgradeFileStore> m_store;
};

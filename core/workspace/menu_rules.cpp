#include "workspace/menu_rules.h"

#include "base/globals.h"
#include "workspace/workspace_parts.h"

std::vector<MenuEntry> MainMenuEntries(bool chinese) {
    if (chinese) {
        return {
            {kCmdFirmwareUpdate, TextId::MenuFirmwareUpdate, true},
            {kCmdLanguage, TextId::MenuLanguage, true},
            {kCmdAbout, TextId::MenuAbout, true},
        };
    }
    return {
        {kCmdFirmwareUpdate, TextId::MenuFirmwareUpdate, true},
        {kCmdSoundLoad, TextId::SoundLoad, true},
        {kCmdSoundSave, TextId::SoundSave, true},
        {kCmdSetModal, TextId::MenuSetModal, true},
        {kCmdLanguage, TextId::MenuLanguage, true},
        {kCmdAbout, TextId::MenuAbout, true},
    };
}

std::vector<MenuEntry> SoundGroupMenuEntries(bool /*chinese*/) {
    return {
        {kCmdSoundLoad, TextId::SoundLoad, true},
        {kCmdSoundSave, TextId::SoundSave, true},
    };
}

MenuPoint MainMenuPosition(int buttonLeft, int buttonBottom) {
    return {buttonLeft - 10, buttonBottom + 5};
}

MenuPoint SoundGroupMenuPosition(int buttonLeft, int buttonBottom) {
    return {buttonLeft, buttonBottom + 5};
}

void RunMenuCommand(int command, IMenuActions& actions) {
    switch (command) {
        case kCmdSoundLoad:
            actions.OpenSoundLoad();
            break;
        case kCmdSoundSave:
            actions.OpenSoundSave();
            break;
        case kCmdLanguage:
            g_bChinese = !g_bChinese;
            actions.Relabel();
            break;
        case kCmdSetModal:
            actions.OpenSetModal();
            break;
        case kCmdAbout:
            actions.OpenAbout();
            break;
        case kCmdFirmwareUpdate:
            actions.OpenFirmwareUpdate();
            break;
        default:
            break;
    }
}

void RelabelWorkspace(std::span<IWorkspacePart* const> parts, int selectedChannel) {
    for (IWorkspacePart* part : parts)
        part->Relabel();
    for (IWorkspacePart* part : parts)
        part->RefreshCrossover(selectedChannel);
}

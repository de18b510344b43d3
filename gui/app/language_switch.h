#pragma once
// Qt's own texts (the stock buttons of message boxes and file dialogs) in
// the interface language: Qt's Chinese translation while g_bChinese is set.

// Installs or removes Qt's Chinese translation to match g_bChinese. Safe to
// call again; false when the translation file could not be loaded.
bool ApplyQtLanguage();

#pragma once
// What the command line and the environment decide before any window
// exists: registration requests, the start language, the device to use.

#include <QString>
#include <QStringList>
#include <optional>

enum class ServerRequest { None, Register, Unregister };

// "RegServer" / "UnregServer" after a '-' or '/', in any letter case, ending
// the command line (the arguments joined by spaces): the process ends
// without a window. Text after the word means no match.
ServerRequest FindServerRequest(const QStringList& args);

// Chinese when the locale names Simplified Chinese as used in mainland
// China ("zh_CN", with any encoding or modifier); every other locale,
// including zh_TW and zh_HK, starts in English.
bool LocaleStartsInChinese(const QString& localeName);

struct AppOptions {
    ServerRequest server = ServerRequest::None;
    std::optional<bool> chinese;  // --lang en|zh
    QString device;               // --device URI
    bool help = false;
    bool version = false;
    QString error;  // a malformed option we act on; empty when fine
};

// `args` without the program name. Arguments the application does not know
// are ignored, as the original ignored everything but the registration words.
AppOptions ParseAppOptions(const QStringList& args);

QString AppUsage();

// Fixes the layout at 96 dpi whatever the screen's dpi or scale factor: to
// be called before QApplication exists.
void FixDpiEnvironment();

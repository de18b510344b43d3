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
    std::optional<double> scale;  // --scale F: the window drawn F times its 96-dpi size
    bool help = false;
    bool version = false;
    QString error;  // a malformed option we act on; empty when fine
};

// `args` without the program name. Arguments the application does not know
// are ignored, as the original ignored everything but the registration words.
AppOptions ParseAppOptions(const QStringList& args);

QString AppUsage();

// The whole window is drawn scaled, uniformly, as a desktop scales a 96-dpi
// program: by the screen's own factor (a laptop at 150 %), or by the largest
// factor that still fits the screen's available area (in device pixels);
// never below 1. A factor given with --scale is taken as it is.
constexpr int kWindowWidth = 1284;
constexpr int kWindowHeight = 669;
double WindowScale(double screenFactor, int availableWidth, int availableHeight,
                   std::optional<double> forced);

// The scale the desktop asks of this process's primary screen, from a
// short-lived probe of the display: the screen's factor and its available
// area in device pixels. To be called before QApplication exists.
double ProbeWindowScale(int argc, char* argv[], std::optional<double> forced);

// Fixes the layout at 96 dpi in logical pixels whatever the screen's dpi or
// scale factor, drawn `scale` times its size: to be called before
// QApplication exists.
void FixDpiEnvironment(double scale = 1.0);

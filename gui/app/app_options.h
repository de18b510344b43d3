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
    QString error;  // an unknown option or a bad value; empty when fine
};

// `args` without the program name, read with QCommandLineParser: `--opt value`
// and `--opt=value`, one dash or two; an unknown option is an error with Qt's
// own text (in the language of the translators installed). Words that are
// not options (a file name) are ignored, as are the registration words and
// Qt's own options (-platform, -style, ...), which QApplication takes.
AppOptions ParseAppOptions(const QStringList& args);

// The answer of a command line that asks for help or the version or that
// does not parse, printed before any window exists, in the start language
// (--lang, else the locale), as Qt's QCommandLineParser words it: the exit
// status, 0, or 1 for a refused command line ("tqr905-tune: Unknown option
// 'x'.").
int AnswerCommandLine(int argc, char* argv[], const char* version);

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

#include "gui/app/app_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QScreen>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "base/globals.h"
#include "gui/app/language_switch.h"

namespace {

// A factor beyond this draws a window no screen holds.
constexpr double kMaxScale = 4.0;

}  // namespace

ServerRequest FindServerRequest(const QStringList& args) {
    const QString line = args.join(QLatin1Char(' '));
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] != QLatin1Char('-') && line[i] != QLatin1Char('/')) continue;
        const QString rest = line.mid(i + 1);
        if (rest.compare(QLatin1String("UnregServer"), Qt::CaseInsensitive) == 0)
            return ServerRequest::Unregister;
        if (rest.compare(QLatin1String("RegServer"), Qt::CaseInsensitive) == 0)
            return ServerRequest::Register;
    }
    return ServerRequest::None;
}

bool LocaleStartsInChinese(const QString& localeName) {
    QString name = localeName;
    const qsizetype cut = name.indexOf(QRegularExpression(QStringLiteral("[.@]")));
    if (cut >= 0) name.truncate(cut);
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    return name.compare(QLatin1String("zh_CN"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("zh_Hans_CN"), Qt::CaseInsensitive) == 0;
}

namespace {

QString Say(const char* english, const char* chinese) {
    return QString::fromUtf8(g_bChinese ? chinese : english);
}

// Qt's own options, which QApplication reads and removes; they are not ours
// to refuse. The first list takes a value.
const char* const kQtValueOptions[] = {"platform",        "platformpluginpath",
                                       "platformtheme",   "plugin",
                                       "qwindowgeometry", "qwindowtitle",
                                       "qwindowicon",     "geometry",
                                       "title",           "icon",
                                       "display",         "name",
                                       "session",         "style",
                                       "stylesheet",      "qmljsdebugger"};
const char* const kQtFlagOptions[] = {"reverse", "nograb",      "dograb",
                                      "sync",    "widgetcount", "testability"};

// The arguments left for the parser: the registration words and Qt's own
// options (with one dash or two, and their value) taken out.
QStringList OurArguments(const QStringList& args) {
    QStringList ours;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (FindServerRequest({a}) != ServerRequest::None) continue;
        if (a.startsWith(QLatin1Char('-')) && a.size() > 2) {
            const QString name =
                a.mid(a.startsWith(QLatin1String("--")) ? 2 : 1).section('=', 0, 0);
            const bool hasValue = a.contains(QLatin1Char('='));
            if (std::find_if(std::begin(kQtValueOptions), std::end(kQtValueOptions),
                             [&](const char* q) { return name == QLatin1String(q); }) !=
                std::end(kQtValueOptions)) {
                if (!hasValue) ++i;
                continue;
            }
            if (std::find_if(std::begin(kQtFlagOptions), std::end(kQtFlagOptions),
                             [&](const char* q) { return name == QLatin1String(q); }) !=
                std::end(kQtFlagOptions))
                continue;
        }
        ours << a;
    }
    return ours;
}

struct Parser {
    QCommandLineParser parser;
    QCommandLineOption help;
    QCommandLineOption version;
    QCommandLineOption lang{QStringLiteral("lang"),
                            Say("Start in English (en) or Chinese (zh); default: Chinese when "
                                "the locale is zh_CN, English otherwise",
                                "以英文 (en) 或中文 (zh) 启动；默认：区域设置为 zh_CN "
                                "时为中文，否则为英文"),
                            QStringLiteral("en|zh")};
    QCommandLineOption device{QStringLiteral("device"),
                              Say("Use only this interface (hidraw:/dev/hidrawN or "
                                  "vhid:NAME), as tqr905 --device takes it",
                                  "只使用这个接口（hidraw:/dev/hidrawN 或 vhid:名称），"
                                  "与 tqr905 --device 相同"),
                              QStringLiteral("URI")};
    QCommandLineOption scale{QStringLiteral("scale"),
                             Say("Draw the window F times its size, 1 to 4; default: the "
                                 "screen's scale, as far as the window still fits",
                                 "窗口按 F 倍绘制，1 到 4；默认：屏幕的缩放倍数，"
                                 "以窗口仍能完整显示为限"),
                             QStringLiteral("F")};

    Parser() : help(parser.addHelpOption()), version(parser.addVersionOption()) {
        parser.setApplicationDescription(
            Say("Tunes a TQR-905 car-audio processor live over USB. The window connects by "
                "itself to the first TQR-905 plugged in, and to one plugged in later.",
                "通过 USB 实时调试 TQR-905 汽车音频处理器。窗口自动连接第一台插入的 "
                "TQR-905，以及之后插入的设备。"));
        parser.addOptions({device, lang, scale});
    }
};

}  // namespace

AppOptions ParseAppOptions(const QStringList& args) {
    AppOptions o;
    o.server = FindServerRequest(args);
    Parser p;
    // The parser skips the first word, the program's name.
    const bool parsed =
        p.parser.parse(QStringList{QStringLiteral("tqr905-tune")} + OurArguments(args));
    o.help = p.parser.isSet(p.help) || p.parser.optionNames().contains(QLatin1String("help-all"));
    o.version = p.parser.isSet(p.version);
    if (!parsed) o.error = p.parser.errorText();
    const auto fail = [&](const QString& message) {
        if (o.error.isEmpty()) o.error = message;
    };
    if (p.parser.isSet(p.lang)) {
        const QString value = p.parser.value(p.lang);
        if (value == QLatin1String("zh")) {
            o.chinese = true;
        } else if (value == QLatin1String("en")) {
            o.chinese = false;
        } else {
            fail(Say("--lang takes en or zh, not \"%1\"", "--lang 只接受 en 或 zh，而不是“%1”")
                     .arg(value));
        }
    }
    if (p.parser.isSet(p.device)) o.device = p.parser.value(p.device);
    if (p.parser.isSet(p.scale)) {
        const QString value = p.parser.value(p.scale);
        bool ok = false;
        const double f = value.toDouble(&ok);
        if (ok && f >= 1.0 && f <= kMaxScale) {
            o.scale = f;
        } else {
            fail(Say("--scale takes a factor from 1 to 4, not \"%1\"",
                     "--scale 接受 1 到 4 的倍数，而不是“%1”")
                     .arg(value));
        }
    }
    return o;
}

int AnswerCommandLine(int argc, char* argv[], const char* version) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tqr905-tune"));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(version));
    QStringList args = QCoreApplication::arguments();
    const QString program = args.takeFirst();
    // The language first, then the command line once more, so that Qt's own
    // words come through its translation.
    g_bChinese =
        ParseAppOptions(args).chinese.value_or(LocaleStartsInChinese(QLocale::system().name()));
    ApplyQtLanguage();
    const AppOptions o = ParseAppOptions(args);
    if (o.help || o.version) {
        // Qt prints the help (with Qt's own options for --help-all), the
        // version or the parse error, and ends the process.
        Parser p;
        p.parser.process(QStringList{program} + OurArguments(args));
    }
    std::fprintf(stderr, "tqr905-tune: %s\n", o.error.toLocal8Bit().constData());
    return 1;
}

double WindowScale(double screenFactor, int availableWidth, int availableHeight,
                   std::optional<double> forced) {
    if (forced) return std::clamp(*forced, 1.0, kMaxScale);
    if (!(screenFactor > 1.0)) return 1.0;
    double scale = std::min(screenFactor, kMaxScale);
    if (availableWidth > 0 && availableHeight > 0) {
        scale = std::min({scale, double(availableWidth) / kWindowWidth,
                          double(availableHeight) / kWindowHeight});
    }
    // Whole hundredths, so that the factor reads as the desktop's percentage.
    return std::max(1.0, std::floor(scale * 100.0) / 100.0);
}

double ProbeWindowScale(int argc, char* argv[], std::optional<double> forced) {
    if (forced) return WindowScale(1.0, 0, 0, forced);
    // The desktop's own scale as Qt reads it (Xft.dpi, the Wayland output
    // scale, QT_SCALE_FACTOR and its kin), unrounded.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    int probeArgc = argc;
    QGuiApplication probe(probeArgc, argv);
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return 1.0;
    const double factor = screen->devicePixelRatio();
    const QSize available = screen->availableGeometry().size() * factor;
    return WindowScale(factor, available.width(), available.height(), std::nullopt);
}

void FixDpiEnvironment(double scale) {
    // Fonts at 96 dpi and no scaling of the platform's: the layout is the
    // same on every screen. The one factor left scales it all uniformly.
    qputenv("QT_FONT_DPI", "96");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    for (const char* name :
         {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_AUTO_SCREEN_SCALE_FACTOR",
          "QT_USE_PHYSICAL_DPI", "QT_SCALE_FACTOR_ROUNDING_POLICY"})
        qunsetenv(name);
    if (scale > 1.0) qputenv("QT_SCALE_FACTOR", QByteArray::number(scale, 'g', 4));
}

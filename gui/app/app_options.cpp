#include "gui/app/app_options.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QtGlobal>
#include <algorithm>
#include <cmath>

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

AppOptions ParseAppOptions(const QStringList& args) {
    AppOptions o;
    o.server = FindServerRequest(args);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        QString value;
        const auto takeValue = [&](const QString& name) {
            if (a.startsWith(name + QLatin1Char('='))) {
                value = a.mid(name.size() + 1);
                return true;
            }
            if (a != name) return false;
            if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                o.error = name + QStringLiteral(" needs a value");
            }
            return true;
        };
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.help = true;
        } else if (a == QLatin1String("--version")) {
            o.version = true;
        } else if (takeValue(QStringLiteral("--lang"))) {
            if (value == QLatin1String("zh")) {
                o.chinese = true;
            } else if (value == QLatin1String("en")) {
                o.chinese = false;
            } else if (o.error.isEmpty()) {
                o.error = QStringLiteral("--lang takes en or zh, not \"%1\"").arg(value);
            }
        } else if (takeValue(QStringLiteral("--device"))) {
            o.device = value;
        } else if (takeValue(QStringLiteral("--scale"))) {
            bool ok = false;
            const double f = value.toDouble(&ok);
            if (ok && f >= 1.0 && f <= kMaxScale) {
                o.scale = f;
            } else if (o.error.isEmpty()) {
                o.error =
                    QStringLiteral("--scale takes a factor from 1 to 4, not \"%1\"").arg(value);
            }
        }
    }
    return o;
}

QString AppUsage() {
    return QStringLiteral(
        "Usage: tqr905-tune [--device URI] [--lang en|zh] [--scale F]\n"
        "\n"
        "Tunes a TQR-905 car-audio processor live over USB. The workspace connects\n"
        "by itself to the first TQR-905 plugged in, and to one plugged in later.\n"
        "\n"
        "Options:\n"
        "  --device URI   use only this interface (hidraw:/dev/hidrawN or vhid:NAME),\n"
        "                 as tqr905 --device takes it\n"
        "  --lang en|zh   start in English or Chinese (default: Chinese when the\n"
        "                 locale is zh_CN, English otherwise)\n"
        "  --scale F      draw the window F times its size (1 to 4; default: the\n"
        "                 screen's scale, as far as the window still fits)\n"
        "  --help         this text\n"
        "  --version      the version\n");
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

#include "gui/app/app_options.h"

#include <QRegularExpression>
#include <QtGlobal>

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
        }
    }
    return o;
}

QString AppUsage() {
    return QStringLiteral(
        "Usage: tqr905-tune [--device URI] [--lang en|zh]\n"
        "\n"
        "Tunes a TQR-905 car-audio processor live over USB. The workspace connects\n"
        "by itself to the first TQR-905 plugged in, and to one plugged in later.\n"
        "\n"
        "Options:\n"
        "  --device URI   use only this interface (hidraw:/dev/hidrawN or vhid:NAME),\n"
        "                 as tqr905 --device takes it\n"
        "  --lang en|zh   start in English or Chinese (default: Chinese when the\n"
        "                 locale is zh_CN, English otherwise)\n"
        "  --help         this text\n"
        "  --version      the version\n");
}

void FixDpiEnvironment() {
    // Fonts at 96 dpi and no scaling: the layout is the same on every screen.
    qputenv("QT_FONT_DPI", "96");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    for (const char* name :
         {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_AUTO_SCREEN_SCALE_FACTOR",
          "QT_USE_PHYSICAL_DPI", "QT_SCALE_FACTOR_ROUNDING_POLICY"})
        qunsetenv(name);
}

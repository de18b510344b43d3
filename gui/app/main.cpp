#include <QApplication>
#include <QLocale>

#include "base/globals.h"
#include "gui/app/app_options.h"
#include "gui/app/app_setup.h"
#include "gui/app/language_switch.h"
#include "gui/app/main_window.h"
#include "gui/app/startup_marks.h"
#include "gui/app/tune_app.h"
#include "gui/app/widget_map.h"
#include "session/process_state.h"

int main(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const AppOptions options = ParseAppOptions(args);
    // There is no server registration on this platform: the request ends
    // the process without a window, as it always did.
    if (options.server != ServerRequest::None) return 0;
    if (options.help || options.version || !options.error.isEmpty())
        return AnswerCommandLine(argc, argv, TQR_VERSION);

    // The images, the stored groups and the system blocks start with their
    // start-up contents: the fields show them until the device is read.
    ResetProcessState();
    FixDpiEnvironment(ProbeWindowScale(argc, argv, options.scale));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tqr905-tune"));
    QApplication::setOrganizationName(QStringLiteral("TQR-905-PRO"));
    g_bChinese = options.chinese.value_or(LocaleStartsInChinese(QLocale::system().name()));
    SetUpLook(app);
    ApplyQtLanguage();
    CWidgetMap::InstallFromEnvironment();

    SessionOptions session;
    session.devicePath = options.device.toStdString();
    CTuneApp tune(std::move(session));
    CStartupMarks::InstallFromEnvironment(tune.MainWindow(), tune.Session());
    tune.Start();
    return app.exec();
}

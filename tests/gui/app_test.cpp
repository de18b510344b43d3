// The application as a whole: the fixed 96 dpi with a raised scale factor,
// the start language from the locale, the command line, the transfer
// window, and one run against a virtual processor on a private bus: the
// automatic connection, a message posted from another thread, and a strip
// gain edit that reaches the device's bytes.
#include <QAbstractButton>
#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QtTest>
#include <thread>

#include "base/globals.h"
#include "base/messages.h"
#include "gui/app/app_options.h"
#include "gui/app/language_switch.h"
#include "gui/app/main_window.h"
#include "gui/app/message_box.h"
#include "gui/app/transfer_window.h"
#include "gui/app/tune_app.h"
#include "gui/controls/fader.h"
#include "gui/controls/num_field.h"
#include "gui/workspace/workspace_window.h"
#include "image/param_image.h"
#include "image/record_layout.h"
#include "link/link_test_util.h"
#include "link/vhid_backend.h"
#include "model/startup_contents.h"
#include "sim/sim_server.h"

Q_DECLARE_METATYPE(ServerRequest)

class AppTest : public QObject {
    Q_OBJECT
private slots:
    void init() { g_bChinese = false; }

    // main() raised the scale factor and the font dpi before the
    // application started, as a high-dpi desktop does.
    void layoutStaysAt96Dpi() {
        QWidget w;
        w.resize(100, 100);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.devicePixelRatio(), 1.0);
        QCOMPARE(w.logicalDpiY(), 96);
        QFont font;
        font.setPointSize(9);
        QCOMPARE(QFontInfo(font).pixelSize(), 12);
    }

    void localeDecidesTheStartLanguage_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("chinese");
        QTest::newRow("zh_CN") << "zh_CN" << true;
        QTest::newRow("zh_CN.UTF-8") << "zh_CN.UTF-8" << true;
        QTest::newRow("zh-CN") << "zh-CN" << true;
        QTest::newRow("zh_TW") << "zh_TW" << false;
        QTest::newRow("zh_HK") << "zh_HK" << false;
        QTest::newRow("en_US") << "en_US" << false;
        QTest::newRow("C") << "C" << false;
    }
    void localeDecidesTheStartLanguage() {
        QFETCH(QString, locale);
        QFETCH(bool, chinese);
        QCOMPARE(LocaleStartsInChinese(locale), chinese);
    }

    void registrationWordsEndTheCommandLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<ServerRequest>("request");
        QTest::newRow("slash") << QStringList{"/RegServer"} << ServerRequest::Register;
        QTest::newRow("hyphen, any case")
            << QStringList{"-unregserver"} << ServerRequest::Unregister;
        QTest::newRow("after a file name")
            << QStringList{"a.dsps", "/REGSERVER"} << ServerRequest::Register;
        QTest::newRow("text after the word")
            << QStringList{"/RegServer", "x"} << ServerRequest::None;
        QTest::newRow("no word") << QStringList{"--lang", "zh"} << ServerRequest::None;
        QTest::newRow("longer word") << QStringList{"-RegServers"} << ServerRequest::None;
    }
    void registrationWordsEndTheCommandLine() {
        QFETCH(QStringList, args);
        QFETCH(ServerRequest, request);
        QCOMPARE(FindServerRequest(args), request);
    }

    void options() {
        AppOptions o = ParseAppOptions({"--lang", "zh", "--device", "vhid:/tmp/x.sock", "file"});
        QVERIFY(o.chinese.has_value() && *o.chinese);
        QCOMPARE(o.device, QString("vhid:/tmp/x.sock"));
        QVERIFY(o.error.isEmpty());
        o = ParseAppOptions({"--lang=en"});
        QVERIFY(o.chinese.has_value() && !*o.chinese);
        QVERIFY(!ParseAppOptions({}).chinese.has_value());
        QVERIFY(!ParseAppOptions({"--lang", "fr"}).error.isEmpty());
        QVERIFY(!ParseAppOptions({"--device"}).error.isEmpty());
        QCOMPARE(ParseAppOptions({"--scale", "1.5"}).scale, std::optional<double>(1.5));
        QCOMPARE(ParseAppOptions({"--scale=2"}).scale, std::optional<double>(2.0));
        QVERIFY(!ParseAppOptions({}).scale.has_value());
        for (const char* bad : {"0.5", "9", "big", ""})
            QVERIFY2(!ParseAppOptions({"--scale", bad}).error.isEmpty(), bad);
    }

    // What the parser refuses, with Qt's own words, and what it leaves alone:
    // file names, Qt's own options, a registration word that does not end
    // the command line, anything after "--".
    void optionsRefusedOrLeftAlone_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown option") << QStringList{"--bogus"} << "Unknown option 'bogus'.";
        QTest::newRow("single dash is short options")
            << QStringList{"-lang", "zh"} << "Unknown options: l, a, n, g.";
        QTest::newRow("missing value")
            << QStringList{"--device"} << "Missing value after '--device'.";
        QTest::newRow("value to a switch")
            << QStringList{"--help=yes"} << "Unexpected value after '--help'.";
        QTest::newRow("bad language")
            << QStringList{"--lang", "fr"} << "--lang takes en or zh, not \"fr\"";
        QTest::newRow("bad scale")
            << QStringList{"--scale=0.5"} << "--scale takes a factor from 1 to 4, not \"0.5\"";
        QTest::newRow("file name") << QStringList{"my.dspa"} << "";
        QTest::newRow("Qt's options")
            << QStringList{"-platform", "offscreen", "--style=fusion", "-reverse", "--lang", "en"}
            << "";
        QTest::newRow("registration word, text after") << QStringList{"-RegServer", "x"} << "";
        QTest::newRow("after --") << QStringList{"--", "--bogus"} << "";
    }
    void optionsRefusedOrLeftAlone() {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        QCOMPARE(ParseAppOptions(args).error, error);
    }

    void optionValuesEitherWay_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("separate") << QStringList{"--device", "vhid:a", "--scale",
                                                 "2",        "--lang", "zh"};
        QTest::newRow("with =") << QStringList{"--device=vhid:a", "--scale=2", "--lang=zh"};
        QTest::newRow("among Qt's") << QStringList{"-platform", "xcb",    "--device",  "vhid:a",
                                                   "-style",    "fusion", "--scale=2", "--lang=zh"};
    }
    void optionValuesEitherWay() {
        QFETCH(QStringList, args);
        const AppOptions o = ParseAppOptions(args);
        QCOMPARE(o.error, QString());
        QCOMPARE(o.device, QString("vhid:a"));
        QCOMPARE(o.scale, std::optional<double>(2.0));
        QCOMPARE(o.chinese, std::optional<bool>(true));
    }

    // Qt's words come through its Chinese translation.
    void refusalInChinese() {
        g_bChinese = true;
        QVERIFY(ApplyQtLanguage());
        const QString error = ParseAppOptions({"--bogus"}).error;
        g_bChinese = false;
        ApplyQtLanguage();
        QCOMPARE(error, QString::fromUtf8("未知选项“bogus”。"));
    }

    // The program itself: help, version and refusals end it before any
    // window, with the status and on the stream a script expects.
    void commandLineAnswers_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");  // a line the output holds
        QTest::addColumn<QString>("err");  // the whole error output
        QTest::newRow("help") << QStringList{"--help"} << 0 << "  --scale <F>  "
                              << "";
        QTest::newRow("help in Chinese") << QStringList{"--lang", "zh", "-h"} << 0 << "选项："
                                         << "";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "tqr905-tune " TQR_VERSION "\n"
                                 << "";
        QTest::newRow("unknown option") << QStringList{"--bogus", "--help"} << 1 << ""
                                        << "tqr905-tune: Unknown option 'bogus'.\n";
        QTest::newRow("bad value in Chinese")
            << QStringList{"--lang=zh", "--scale", "9"} << 1 << ""
            << QString::fromUtf8("tqr905-tune: --scale 接受 1 到 4 的倍数，而不是“9”\n");
        QTest::newRow("registration") << QStringList{"/UnregServer"} << 0 << ""
                                      << "";
    }
    void commandLineAnswers() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess tune;
        tune.start(QStringLiteral(TQR_TUNE), args);
        QVERIFY(tune.waitForFinished(20000));
        QCOMPARE(tune.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tune.exitCode(), status);
        const QString printed = QString::fromUtf8(tune.readAllStandardOutput());
        QVERIFY2(printed.contains(out), qPrintable(printed));
        QCOMPARE(QString::fromUtf8(tune.readAllStandardError()), err);
    }

    // The window is scaled by the screen's factor as far as it still fits
    // the available area, never below 1; --scale is taken as it is.
    void windowScale_data() {
        QTest::addColumn<double>("screen");
        QTest::addColumn<QSize>("available");
        QTest::addColumn<double>("forced");  // 0: none
        QTest::addColumn<double>("scale");
        QTest::newRow("96 dpi") << 1.0 << QSize(1920, 1080) << 0.0 << 1.0;
        QTest::newRow("laptop at 150 %") << 1.5 << QSize(2880, 1728) << 0.0 << 1.5;
        QTest::newRow("200 %, room for it") << 2.0 << QSize(3840, 2100) << 0.0 << 2.0;
        QTest::newRow("200 % on 1080p") << 2.0 << QSize(1920, 1040) << 0.0 << 1.49;
        QTest::newRow("tall panel leaves less height") << 1.5 << QSize(2560, 900) << 0.0 << 1.34;
        QTest::newRow("small screen stays 1") << 1.25 << QSize(1280, 700) << 0.0 << 1.0;
        QTest::newRow("unknown area") << 1.5 << QSize(0, 0) << 0.0 << 1.5;
        QTest::newRow("forced") << 1.0 << QSize(800, 600) << 1.5 << 1.5;
        QTest::newRow("forced beyond 4") << 1.0 << QSize() << 7.0 << 4.0;
    }
    void windowScale() {
        QFETCH(double, screen);
        QFETCH(QSize, available);
        QFETCH(double, forced);
        QFETCH(double, scale);
        const std::optional<double> given =
            forced > 0 ? std::optional<double>(forced) : std::nullopt;
        QCOMPARE(WindowScale(screen, available.width(), available.height(), given), scale);
    }

    void transferWindowBlocksWhileShown() {
        QWidget main;
        auto* blocked = new QWidget(&main);
        main.show();
        CTransferWindow transfer(&main, blocked);
        transfer.Start(15);
        QVERIFY(transfer.isVisible());
        QVERIFY(transfer.isEnabled());
        QVERIFY(!blocked->isEnabled());
        QCOMPARE(transfer.windowTitle(), QString("Data transmissionning"));
        QCOMPARE(transfer.Bar()->maximum(), 15);
        transfer.Progress(7);
        QCOMPARE(transfer.Bar()->value(), 7);
        static_cast<QDialog&>(transfer).reject();  // the close box does not end it
        QVERIFY(transfer.isVisible());
        transfer.Finish();
        QVERIFY(!transfer.isVisible());
        QVERIFY(blocked->isEnabled());
    }

    void runsAgainstTheVirtualProcessor() {
        TempDir bus;
        TempDir claims;
        qputenv("TQR905_VHID_DIR", bus.Path().c_str());
        qputenv("TQR905_CLAIMS_DIR", claims.Path().c_str());
        InitStartupContents();
        CVirtualProcessor processor;
        SimServerOptions serverOptions;
        serverOptions.busDir = bus.Path();
        serverOptions.latencyMs = 0;
        SimServer server(processor, serverOptions);
        QVERIFY(server.Start().Ok());

        QStringList shown;
        SetMessageBoxHook([&](const QString& text) { shown << text; });
        {
            SessionOptions options;
            options.registry = std::make_unique<HidBackendRegistry>();
            options.registry->Add(std::make_unique<VhidBackend>(bus.Path()));
            CTuneApp app(std::move(options));
            app.Start();
            QCOMPARE(app.MainWindow().windowTitle(), QString("TQR-905-PRO"));
            QCOMPARE(app.MainWindow().size(), QSize(1284, 669));
            // Connected by itself once the event loop ran, and read out.
            QTRY_COMPARE_WITH_TIMEOUT(app.Session().State(), ConnectionState::Online, 20000);
            QTRY_VERIFY(!app.Transfer().isVisible());
            QVERIFY(app.Workspace().isEnabled());
            QVERIFY(app.Workspace().findChild<QAbstractButton*>("top.connect")->isChecked());

            // A message from another thread is shown on this one.
            std::thread([] {
                PostUiMessage(UM_SHOW_MESSAGE, unsigned(TextId::UnableToConnect));
            }).join();
            QTRY_COMPARE(shown, QStringList{"unable to connect"});

            // A gain typed into strip 3 reaches the device.
            CNumField* gain = app.Workspace().GainField(2);
            app.MainWindow().activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&app.MainWindow()));
            gain->Edit()->setFocus();
            gain->Edit()->selectAll();
            QTest::keyClicks(gain->Edit(), "-12");
            QTest::keyClick(gain->Edit(), Qt::Key_Return);
            const auto deviceGain = [&] {
                const ParamImage image = processor.CurrentImage();
                return int(GetWord(image.data() + OutSlotOffset(2) + kOutGain));
            };
            QTRY_COMPARE_WITH_TIMEOUT(deviceGain(), 48, 10000);
            QCOMPARE(app.Workspace().GainFader(2)->value(), 48);
            QVERIFY(app.DrainsScheduled() > 0);
        }
        SetMessageBoxHook({});
        qunsetenv("TQR905_VHID_DIR");
        qunsetenv("TQR905_CLAIMS_DIR");
    }
};

int main(int argc, char* argv[]) {
    // What a high-dpi desktop sets; the application must not follow it
    // beyond the one uniform factor (1 here).
    qputenv("QT_SCALE_FACTOR", "2");
    qputenv("QT_FONT_DPI", "144");
    FixDpiEnvironment(1.0);
    QApplication app(argc, argv);
    AppTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "app_test.moc"

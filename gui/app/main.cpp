#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::puts("Usage: tqr905-tune [--device URI] [--lang en|zh]\n\n"
                      "Tunes a TQR-905 car-audio processor live over USB.");
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("tqr905-tune " TQR_VERSION);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("TQR-905-PRO"));
    window.resize(1284, 669);
    window.show();
    return app.exec();
}

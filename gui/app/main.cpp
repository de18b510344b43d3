#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("TQR-905-PRO"));
    window.resize(1284, 669);
    window.show();
    return app.exec();
}

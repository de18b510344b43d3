// Saves the whole X screen as a PNG: the screenshots of the application
// under Xvfb (scripts/screenshots), without an image tool on the machine.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: tqr-screen-grab OUT.png [x y w h]\n", stderr);
        return 2;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    QPixmap shot = screen->grabWindow(0);
    if (argc >= 6)
        shot = shot.copy(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                         std::atoi(argv[5]));
    return shot.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}

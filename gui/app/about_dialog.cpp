#include "gui/app/about_dialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <cmath>

#include "base/texts.h"

namespace {

// A stylised response curve across the lower half of the picture.
QPainterPath CurvePath(int width, int height) {
    QPainterPath path;
    const double base = height * 0.72;
    for (int x = 0; x <= width; x += 3) {
        const double t = static_cast<double>(x) / width;
        const double y = base - 26.0 * std::sin(t * 9.0) * std::exp(-2.2 * t) -
                         14.0 * std::exp(-std::pow((t - 0.62) / 0.07, 2.0));
        if (x == 0) {
            path.moveTo(x, y);
        } else {
            path.lineTo(x, y);
        }
    }
    return path;
}

}  // namespace

QPixmap CAboutDialog::Picture() {
    QPixmap picture(kPictureWidth, kPictureHeight);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kPictureHeight);
    sky.setColorAt(0.0, QColor(34, 40, 64));
    sky.setColorAt(1.0, QColor(12, 14, 24));
    painter.fillRect(picture.rect(), sky);

    painter.setPen(QPen(QColor(255, 255, 255, 28), 1));
    for (int x = 0; x < kPictureWidth; x += 30)
        painter.drawLine(x, 96, x, kPictureHeight);
    for (int y = 96; y < kPictureHeight; y += 23)
        painter.drawLine(0, y, kPictureWidth, y);
    painter.setPen(QPen(QColor(235, 20, 20), 2.5));
    painter.drawPath(CurvePath(kPictureWidth, kPictureHeight));

    painter.setPen(QColor(240, 242, 250));
    QFont title(QStringLiteral("Arial"), 26, QFont::Bold);
    painter.setFont(title);
    painter.drawText(QRect(24, 20, kPictureWidth - 48, 44), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("TQR-905-PRO"));
    QFont line(QStringLiteral("Arial"), 10);
    painter.setFont(line);
    painter.setPen(QColor(190, 196, 220));
    painter.drawText(QRect(26, 62, kPictureWidth - 48, 22), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("31-band car audio processor tuner  ·  tqr905-tune"));
    return picture;
}

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QString::fromUtf8(Text(TextId::MenuAbout)));
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("about.picture"));
    picture->setPixmap(Picture());
    picture->setFixedSize(kPictureWidth, kPictureHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(picture);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CAboutDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

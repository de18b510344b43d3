#include "gui/app/main_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QRegion>
#include <QScreen>
#include <QStyle>
#include <QWindow>

#include "gui/app/app_title.h"

CMainWindow::CMainWindow(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(AppTitle());
    resize(kWidth, kHeight);
    WatchScreen(QGuiApplication::primaryScreen());
}

void CMainWindow::SetWorkspace(QWidget* workspace) {
    m_pWorkspace = workspace;
    workspace->setParent(this);
    workspace->move(0, 0);
    workspace->show();
}

void CMainWindow::Centre() {
    const QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (s == nullptr) return;
    const QRect area = s->availableGeometry();
    move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), area).topLeft());
}

void CMainWindow::WatchScreen(QScreen* s) {
    if (s == nullptr) return;
    connect(s, &QScreen::geometryChanged, this, &CMainWindow::OnScreenGeometryChanged);
}

void CMainWindow::OnScreenGeometryChanged() {
    setGeometry(0, 0, kResetWidth, kResetHeight);
    show();
}

void CMainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    setMask(QRegion(rect().adjusted(kClip, kClip, -kClip, -kClip)));
}

void CMainWindow::closeEvent(QCloseEvent* event) {
    if (onClosing) onClosing();
    event->accept();
}

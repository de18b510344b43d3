#pragma once
// CMainWindow: the frameless main window, 1284 x 669, centred at start. Its
// outermost 2 pixels are never drawn (clipped away at every size change); a
// change of the screen's geometry moves it to (0, 0) at 1204 x 679. Closing
// it runs the close hook first (which stops the link), then closes.

#include <QWidget>
#include <functional>

class QScreen;

class CMainWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 1284;
    static constexpr int kHeight = 669;
    static constexpr int kClip = 2;
    // Where a change of the screen's geometry puts the window.
    static constexpr int kResetWidth = 1204;
    static constexpr int kResetHeight = 679;

    explicit CMainWindow(QWidget* parent = nullptr);

    // Puts the workspace into the window (owned by the window).
    void SetWorkspace(QWidget* workspace);
    // Centres the window on its screen.
    void Centre();

    // Called before the window closes: stop the link.
    std::function<void()> onClosing;

    // The screen's geometry changed.
    void OnScreenGeometryChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void WatchScreen(QScreen* screen);
    QWidget* m_pWorkspace = nullptr;
};

#pragma once
// A plain-text map of the application's named controls, for driving the real
// program with real input events from outside (the end-to-end test and the
// screenshot script run it under Xvfb and click with xdotool).
//
// Enabled by the environment variable TQR905_WIDGET_MAP=FILE. Whenever a
// window is shown, moved, resized or hidden, or a control's state changes
// visibly, FILE is rewritten (atomically, at most once per event-loop turn)
// with one line per visible named widget of the windows the display shows
// (exposed, so that input reaches them):
//
//   <objectName> <x> <y> <width> <height> <checked:0|1|-> <enabled:0|1> <text>
//
// in screen coordinates; the text is that of a line edit (also the one inside a
// spin box or number field), button, label or list.
// A shown popup menu adds a line per action, named "menu:<action text>".
// A painted widget may name spots inside itself (a graph's markers) in the
// dynamic property "mapSpots", a list of "name x y" in its own coordinates;
// each becomes a line "<name> <x> <y> 1 1 - 1".

#include <QObject>
#include <QString>

class CWidgetMap : public QObject {
    Q_OBJECT
public:
    // Installs the map on the application when the variable is set; nothing
    // otherwise.
    static void InstallFromEnvironment();

    explicit CWidgetMap(QString path, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Schedule();
    void Write();

    QString m_path;
    bool m_bScheduled = false;
};

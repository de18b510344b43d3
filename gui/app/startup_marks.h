#pragma once
// Start-up marks for the benchmarks: when TQR905_STARTUP_MARKS=FILE is set,
// the application appends "shown <ns>" once the main window has painted for
// the first time and "online <ns>" once the first read-all after connecting
// has been loaded and shown; between them "connecting" (device open,
// identification asked for) and "reading" (read-all under way). <ns> is the monotonic clock (steady_clock), the
// same in every process, so the starting process subtracts its own reading
// taken before the start.

#include <QObject>
#include <QString>

#include "workspace/change_listener.h"

class CTunerSession;

class CStartupMarks : public QObject, private IChangeListener {
    Q_OBJECT
public:
    // Watches the window and the session when the variable is set; nothing
    // otherwise. The marks are parented to the window.
    static void InstallFromEnvironment(QWidget& window, CTunerSession& session);

    CStartupMarks(QString path, QWidget& window, CTunerSession& session);
    ~CStartupMarks() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnConnectionStateChanged(ConnectionState state) override;
    void OnModelReloaded(int group) override;
    void Mark(const char* what);

    QString m_path;
    QWidget& m_window;
    CTunerSession& m_session;
    bool m_bShown = false;
    bool m_bConnecting = false;
    bool m_bReading = false;
    bool m_bOnline = false;
};

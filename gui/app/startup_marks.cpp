#include "gui/app/startup_marks.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QMetaObject>
#include <QWidget>
#include <chrono>

#include "session/tuner_session.h"

void CStartupMarks::InstallFromEnvironment(QWidget& window, CTunerSession& session) {
    const QString path = qEnvironmentVariable("TQR905_STARTUP_MARKS");
    if (path.isEmpty()) return;
    new CStartupMarks(path, window, session);
}

CStartupMarks::CStartupMarks(QString path, QWidget& window, CTunerSession& session)
    : QObject(&window), m_path(std::move(path)), m_window(window), m_session(session) {
    // The window's own paint may be covered whole by its children: the
    // first paint of any widget in it counts.
    QCoreApplication::instance()->installEventFilter(this);
    m_session.AddListener(this);
}

CStartupMarks::~CStartupMarks() {
    m_session.RemoveListener(this);
}

bool CStartupMarks::eventFilter(QObject* watched, QEvent* event) {
    if (!m_bShown && event->type() == QEvent::Paint && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == &m_window) {
        m_bShown = true;
        // Queued: the mark follows the paint and the flush to the screen.
        QMetaObject::invokeMethod(
            this, [this] { Mark("shown"); }, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void CStartupMarks::OnConnectionStateChanged(ConnectionState state) {
    if (state == ConnectionState::Connecting && !m_bConnecting) {
        m_bConnecting = true;
        Mark("connecting");
    } else if (state == ConnectionState::Reading && !m_bReading) {
        m_bReading = true;
        Mark("reading");
    }
}

void CStartupMarks::OnModelReloaded(int) {
    if (m_bOnline || !m_session.IsConnected()) return;
    m_bOnline = true;
    QMetaObject::invokeMethod(
        this, [this] { Mark("online"); }, Qt::QueuedConnection);
}

void CStartupMarks::Mark(const char* what) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return;
    file.write(QByteArray(what) + ' ' + QByteArray::number(static_cast<qlonglong>(ns)) + '\n');
}

#include "gui/app/widget_map.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSaveFile>
#include <QTextStream>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {

QString ShownText(const QWidget* w) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(w)) return edit->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(w)) return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(w)) return label->text();
    if (const auto* list = qobject_cast<const QComboBox*>(w)) return list->currentText();
    // A composite field (a spin box, a number field) shows its inner line edit.
    if (const auto* inner = w->findChild<const QLineEdit*>(QString(), Qt::FindDirectChildrenOnly))
        return inner->text();
    return {};
}

QString CheckedMark(const QWidget* w) {
    const auto* button = qobject_cast<const QAbstractButton*>(w);
    if (!button || !button->isCheckable()) return QStringLiteral("-");
    return button->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

void WriteSpots(QTextStream& out, const QWidget* w) {
    const QStringList spots = w->property("mapSpots").toStringList();
    for (const QString& spot : spots) {
        const QStringList parts = spot.split(QLatin1Char(' '));
        if (parts.size() != 3) continue;
        const QPoint at = w->mapToGlobal(QPoint(parts[1].toInt(), parts[2].toInt()));
        out << parts[0] << ' ' << at.x() << ' ' << at.y() << " 1 1 - 1\n";
    }
}

void WriteMenu(QTextStream& out, const QMenu& menu) {
    for (QAction* action : menu.actions()) {
        if (action->isSeparator() || !action->isVisible()) continue;
        const QRect r = action->menu() ? QRect() : menu.actionGeometry(action);
        const QPoint origin = menu.mapToGlobal(r.topLeft());
        QString text = action->text();
        text.remove(QLatin1Char('&'));
        out << "menu:" << text.replace(QLatin1Char(' '), QLatin1Char('_')) << ' ' << origin.x()
            << ' ' << origin.y() << ' ' << r.width() << ' ' << r.height() << ' '
            << (action->isCheckable() ? (action->isChecked() ? "1" : "0") : "-") << ' '
            << (action->isEnabled() ? 1 : 0) << ' ' << text << '\n';
    }
}

bool ChangesTheMap(QEvent::Type type) {
    switch (type) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::EnabledChange:
        case QEvent::UpdateRequest:
            return true;
        default:
            return false;
    }
}

}  // namespace

void CWidgetMap::InstallFromEnvironment() {
    const QString path = qEnvironmentVariable("TQR905_WIDGET_MAP");
    if (path.isEmpty()) return;
    auto* map = new CWidgetMap(path, qApp);
    qApp->installEventFilter(map);
}

CWidgetMap::CWidgetMap(QString path, QObject* parent) : QObject(parent), m_path(std::move(path)) {}

bool CWidgetMap::eventFilter(QObject* watched, QEvent* event) {
    if (watched->isWidgetType() && ChangesTheMap(event->type())) Schedule();
    // A window takes input only once the display shows it: it enters the map
    // then, not when the program asks to show it.
    if (watched->isWindowType() && event->type() == QEvent::Expose) Schedule();
    return QObject::eventFilter(watched, event);
}

void CWidgetMap::Schedule() {
    if (m_bScheduled) return;
    m_bScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_bScheduled = false;
        Write();
    });
}

void CWidgetMap::Write() {
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return;
    QTextStream out(&file);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible() || !window->windowHandle() || !window->windowHandle()->isExposed())
            continue;
        QList<QWidget*> widgets = window->findChildren<QWidget*>();
        widgets.prepend(window);
        for (const QWidget* w : widgets) {
            // A window inside this one (a dialog) has its own turn.
            if (w->objectName().isEmpty() || !w->isVisible() || w->window() != window) continue;
            const QPoint origin = w->mapToGlobal(QPoint(0, 0));
            QString text = ShownText(w);
            text.replace(QLatin1Char('\n'), QLatin1Char(' '));
            out << w->objectName() << ' ' << origin.x() << ' ' << origin.y() << ' ' << w->width()
                << ' ' << w->height() << ' ' << CheckedMark(w) << ' ' << (w->isEnabled() ? 1 : 0)
                << ' ' << text << '\n';
            WriteSpots(out, w);
        }
        if (const auto* menu = qobject_cast<const QMenu*>(window)) WriteMenu(out, *menu);
    }
    file.commit();
}

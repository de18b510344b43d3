#include "gui/app/menus.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "base/globals.h"

namespace {

// Runs the menu with its top-left corner at `at`; the chosen command, if any.
void RunMenuAt(const std::vector<MenuEntry>& entries, QWidget* parent, MenuPoint at,
               IMenuActions& actions) {
    const std::unique_ptr<QMenu> menu = BuildMenu(entries, parent);
    QAction* chosen = menu->exec(QPoint(at.x, at.y));
    if (chosen != nullptr) RunMenuCommand(chosen->data().toInt(), actions);
}

QPoint BottomLeftOnScreen(QWidget* button) {
    return button->mapToGlobal(QPoint(0, button->height()));
}

}  // namespace

std::unique_ptr<QMenu> BuildMenu(const std::vector<MenuEntry>& entries, QWidget* parent) {
    auto menu = std::make_unique<QMenu>(parent);
    for (const MenuEntry& entry : entries) {
        QAction* action = menu->addAction(QString::fromUtf8(Text(entry.text)));
        action->setObjectName(QStringLiteral("menu.%1").arg(entry.command));
        action->setData(entry.command);
        action->setEnabled(entry.enabled);
    }
    return menu;
}

void RunMainMenu(QWidget* mainMenuButton, IMenuActions& actions) {
    const QPoint corner = BottomLeftOnScreen(mainMenuButton);
    RunMenuAt(MainMenuEntries(g_bChinese), mainMenuButton, MainMenuPosition(corner.x(), corner.y()),
              actions);
}

void RunSoundGroupMenu(QWidget* mainMenuButton, IMenuActions& actions) {
    const QPoint corner = BottomLeftOnScreen(mainMenuButton);
    RunMenuAt(SoundGroupMenuEntries(g_bChinese), mainMenuButton,
              SoundGroupMenuPosition(corner.x(), corner.y()), actions);
}

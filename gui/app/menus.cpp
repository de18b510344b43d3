#include "gui/app/menus.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "base/globals.h"
#include "firmware/firmware_updater.h"
#include "gui/app/about_dialog.h"
#include "gui/app/language_switch.h"
#include "gui/firmware/update_dialog.h"
#include "gui/presets/preset_windows.h"
#include "session/tuner_session.h"

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

void RunSoundGroupMenu(QWidget* soundButton, IMenuActions& actions) {
    const QPoint corner = BottomLeftOnScreen(soundButton);
    RunMenuAt(SoundGroupMenuEntries(g_bChinese), soundButton,
              SoundGroupMenuPosition(corner.x(), corner.y()), actions);
}

CMenuCommands::CMenuCommands(CTunerSession& session, QWidget* window, std::function<void()> relabel)
    : m_session(session),
      m_pWindow(window),
      m_relabel(std::move(relabel)),
      m_presets(std::make_unique<CPresetWindows>(session, window)),
      m_updater(std::make_unique<CFirmwareUpdater>(session.Manager())),
      m_store(std::make_unique<CQtUpgradeFileStore>()) {
    m_presets->tryConnect = [this] {
        if (!m_session.IsConnected()) m_session.Manager().OnConnectButton();
        return m_session.IsConnected();
    };
    m_session.AddListener(&m_presets->Listener());
}

CMenuCommands::~CMenuCommands() {
    m_session.RemoveListener(&m_presets->Listener());
}

void CMenuCommands::OpenSoundLoad() {
    m_presets->RunSoundLoad();
}

void CMenuCommands::OpenSoundSave() {
    m_presets->RunSoundSave();
}

void CMenuCommands::OpenFirmwareUpdate() {
    CUpdateDialog dialog(*m_updater, *m_store, m_pWindow);
    m_session.SetMessageFilter(
        [&dialog](const UiMessage& m) { return dialog.HandleMessage(m.msg, m.wParam, m.lParam); });
    dialog.exec();
    m_session.SetMessageFilter(nullptr);
}

void CMenuCommands::OpenSetModal() {
    if (openSetModal) openSetModal();
}

void CMenuCommands::OpenAbout() {
    CAboutDialog about(m_pWindow);
    about.exec();
}

void CMenuCommands::Relabel() {
    if (m_relabel) m_relabel();
    ApplyQtLanguage();
}

// The top bar's popup menus in each language, where they open and what a
// chosen entry does, and Qt's own buttons following the language.

#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "base/globals.h"
#include "gui/app/language_switch.h"
#include "gui/app/menus.h"

namespace {

class RecordingActions : public IMenuActions {
public:
    void OpenSoundLoad() override { calls << QStringLiteral("load"); }
    void OpenSoundSave() override { calls << QStringLiteral("save"); }
    void OpenFirmwareUpdate() override { calls << QStringLiteral("firmware"); }
    void OpenSetModal() override { calls << QStringLiteral("modal"); }
    void OpenAbout() override { calls << QStringLiteral("about"); }
    void Relabel() override { calls << QStringLiteral("relabel"); }
    QStringList calls;
};

struct Shown {
    QString text;
    bool enabled;
    bool operator==(const Shown&) const = default;
};

QList<Shown> ShownEntries(const QMenu& menu) {
    QList<Shown> shown;
    for (QAction* action : menu.actions())
        shown.append({action->text(), action->isEnabled()});
    return shown;
}

}  // namespace

class MenusTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        g_bChinese = false;
        ApplyQtLanguage();
    }

    void entriesPerLanguage_data() {
        QTest::addColumn<bool>("chinese");
        QTest::addColumn<bool>("mainMenu");
        QTest::addColumn<QStringList>("texts");
        // The Chinese main menu offers its language and About entries
        // enabled, so that a run started in Chinese can leave it.
        QTest::newRow("zh main") << true << true << QStringList{"固件更新", "英文", "关于"};
        QTest::newRow("en main") << false << true
                                 << QStringList{"Firmware Update", "Sound Load", "Sound Save",
                                                "Set Modal",       "Chinese",    "About"};
        QTest::newRow("zh groups") << true << false << QStringList{"音效调用", "音效保存"};
        QTest::newRow("en groups") << false << false << QStringList{"Sound Load", "Sound Save"};
    }
    void entriesPerLanguage() {
        QFETCH(bool, chinese);
        QFETCH(bool, mainMenu);
        QFETCH(QStringList, texts);
        g_bChinese = chinese;
        const auto entries = mainMenu ? MainMenuEntries(chinese) : SoundGroupMenuEntries(chinese);
        const std::unique_ptr<QMenu> menu = BuildMenu(entries, nullptr);
        QList<Shown> expected;
        for (const QString& text : texts)
            expected.append({text, true});
        QCOMPARE(ShownEntries(*menu), expected);
    }

    // The popups open below their buttons, the main menu 10 px to the left
    // of its button, the group menu at the left edge of the Sound button; a
    // chosen entry runs.
    void popupsOpenBelowTheMainMenuButtonAndRun() {
        QWidget window;
        window.resize(400, 200);
        auto* button = new QPushButton(QStringLiteral("menu"), &window);
        button->setGeometry(200, 8, 60, 28);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QPoint below = button->mapToGlobal(QPoint(0, button->height()));

        struct Run {
            void (*open)(QWidget*, IMenuActions&);
            QPoint corner;
            QString pick;
            QStringList calls;
        };
        const Run runs[] = {
            {RunMainMenu, below + QPoint(-10, 5), QStringLiteral("menu.32774"), {"relabel"}},
            {RunMainMenu, below + QPoint(-10, 5), QStringLiteral("menu.32776"), {"about"}},
            {RunSoundGroupMenu, below + QPoint(0, 5), QStringLiteral("menu.32772"), {"save"}},
        };
        for (const Run& run : runs) {
            RecordingActions actions;
            QPoint openedAt;
            QTimer::singleShot(50, [&] {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                QVERIFY(menu != nullptr);
                openedAt = menu->pos();
                auto* action = menu->findChild<QAction*>(run.pick);
                QVERIFY(action != nullptr);
                menu->setActiveAction(action);
                QTest::keyClick(menu, Qt::Key_Return);
            });
            const bool wasChinese = g_bChinese;
            run.open(button, actions);
            QCOMPARE(openedAt, run.corner);
            QCOMPARE(actions.calls, run.calls);
            if (run.pick == QStringLiteral("menu.32774")) QCOMPARE(g_bChinese.load(), !wasChinese);
        }
    }

    void qtButtonsFollowTheLanguage() {
        for (bool chinese : {true, false}) {
            g_bChinese = chinese;
            QVERIFY(ApplyQtLanguage());
            QMessageBox box(QMessageBox::Question, QString(), QString(),
                            QMessageBox::Ok | QMessageBox::Cancel);
            QCOMPARE(box.button(QMessageBox::Ok)->text(),
                     chinese ? QStringLiteral("确定") : QStringLiteral("OK"));
            QCOMPARE(box.button(QMessageBox::Cancel)->text(),
                     chinese ? QStringLiteral("取消") : QStringLiteral("Cancel"));
            // The file dialogs the preset windows open.
            QFileDialog dialog;
            dialog.setOption(QFileDialog::DontUseNativeDialog);
            auto* buttons = dialog.findChild<QDialogButtonBox*>();
            QVERIFY(buttons != nullptr);
            const QString cancel = buttons->button(QDialogButtonBox::Cancel)->text();
            QCOMPARE(cancel, chinese ? QStringLiteral("取消") : QStringLiteral("Cancel"));
        }
    }
};

QTEST_MAIN(MenusTest)
#include "menus_test.moc"

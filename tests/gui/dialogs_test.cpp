// The preset and firmware dialogs, the name dialog and the About box as
// widgets: what they forward, the file dialog a test answers, the close
// guard and the texts taken when a dialog opens.

#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "base/globals.h"
#include "firmware/firmware_updater.h"
#include "gui/app/about_dialog.h"
#include "gui/firmware/update_dialog.h"
#include "gui/presets/group_name_dialog.h"
#include "gui/presets/preset_dialog.h"
#include "gui/presets/preset_windows.h"
#include "link/connection_manager.h"
#include "modal_answer.h"
#include "model/ktv_data.h"
#include "model/startup_contents.h"
#include "presets/preset_format.h"
#include "protocol/ktv_command.h"
#include "workspace/workspace_host.h"

namespace {

// The model over start-up contents, no device.
class OfflineHost : public IWorkspaceHost {
public:
    OfflineHost() { InitStartupContents(); }
    CKTV_Data& Model() override { return *m_model; }
    CKTVCommand& Command() override { return m_command; }
    bool IsConnected() const override { return false; }

private:
    std::unique_ptr<CKTV_Data> m_model = std::make_unique<CKTV_Data>();
    CKTVCommand m_command;
};

class MemoryStore : public IUpgradeFileStore {
public:
    RememberedUpgradeFile Load() override { return kept; }
    void Save(const RememberedUpgradeFile& file) override { kept = file; }
    RememberedUpgradeFile kept;
};

template <class T>
T* Child(QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) qWarning("no child %s", name);
    return child;
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { g_bChinese = false; }
    void cleanup() {
        g_bChinese = false;
        g_bUpgrading = false;
    }

    void presetDialogsTakeTheLanguageWhenTheyOpen() {
        OfflineHost host;
        CPresetWindows windows(host, nullptr);
        g_bChinese = true;
        CPresetDialog load(PresetDialog::Load, windows.Presenter());
        QCOMPARE(load.windowTitle(), QStringLiteral("音效调用"));
        QCOMPARE(Child<QPushButton>(load, "preset.group1")->text(), QStringLiteral("音效1"));
        g_bChinese = false;
        // Already open: keeps its texts.
        QCOMPARE(Child<QPushButton>(load, "preset.group6")->text(), QStringLiteral("音效6"));
    }

    // Sound Save, current group: the test types a name into the file
    // dialog; ".dsps" is added once and a whole single-set file is written.
    void saveFileDialogAnsweredByTheTest() {
        OfflineHost host;
        CPresetWindows windows(host, nullptr);
        QString shownName;
        windows.showSettingName = [&](const std::string& name) {
            shownName = QString::fromStdString(name);
        };
        CPresetDialog save(PresetDialog::Save, windows.Presenter());
        save.show();
        QVERIFY(QTest::qWaitForWindowExposed(&save));
        QVERIFY(Child<QRadioButton>(save, "preset.scopeCurrent")->isChecked());
        QTemporaryDir dir;
        QString filterSeen;
        AnswerModal<QFileDialog>([&](QFileDialog* files) {
            filterSeen = files->nameFilters().join(';');
            QVERIFY(files->testOption(QFileDialog::DontUseNativeDialog));
            files->setDirectory(dir.path());
            auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name != nullptr);
            name->setText(QStringLiteral("preset"));
            static_cast<QDialog*>(files)->accept();  // QFileDialog::accept checks the name
        });
        QTest::mouseClick(Child<QPushButton>(save, "preset.saveFile"), Qt::LeftButton);
        QCOMPARE(filterSeen, QStringLiteral("Single setting (*.dsps)"));
        const QFileInfo written(dir.filePath(QStringLiteral("preset.dsps")));
        QVERIFY(written.exists());
        QCOMPARE(written.size(), static_cast<qint64>(kSingleSetFileSize));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("preset.dsps.dsps"))));
        QCOMPARE(shownName, QStringLiteral("preset"));
    }

    void scopePairActsAsRadioButtons() {
        OfflineHost host;
        CPresetWindows windows(host, nullptr);
        CPresetDialog save(PresetDialog::Save, windows.Presenter());
        save.show();
        QVERIFY(QTest::qWaitForWindowExposed(&save));
        auto* all = Child<QRadioButton>(save, "preset.scopeAll");
        auto* current = Child<QRadioButton>(save, "preset.scopeCurrent");
        for (int i = 0; i < 2; ++i) {
            QTest::mouseClick(all, Qt::LeftButton);
            QVERIFY(all->isChecked() && !current->isChecked());
            QCOMPARE(windows.Presenter().Scope(), SaveScope::AllGroups);
        }
        QTest::mouseClick(current, Qt::LeftButton);
        QVERIFY(current->isChecked() && !all->isChecked());
        QCOMPARE(windows.Presenter().Scope(), SaveScope::CurrentGroup);
    }

    // The name field takes what a group name holds: 13 bytes, a Chinese
    // character counting two.
    void nameFieldHoldsThirteenBytes() {
        CGroupNameDialog dialog(QStringLiteral("Door"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* field = Child<QLineEdit>(dialog, "groupName.field");
        QCOMPARE(field->text(), QStringLiteral("Door"));
        QCOMPARE(Child<QPushButton>(dialog, "groupName.ok")->text(), QStringLiteral("确定"));
        field->clear();
        QTest::keyClicks(field, QStringLiteral("ABCDEFGHIJKLMNOP"));
        QCOMPARE(field->text(), QStringLiteral("ABCDEFGHIJKLM"));
        field->clear();
        field->insert(QStringLiteral("前门左高音扬声器"));
        QCOMPARE(field->text(), QStringLiteral(""));
        field->insert(QStringLiteral("前门左高音扬"));
        QCOMPARE(field->text(), QStringLiteral("前门左高音扬"));
    }

    void updateDialogGuardsClosingWhileUpdating() {
        HidBackendRegistry registry;
        CKTVCommand command;
        CConnectionManager manager(registry, command, nullptr);
        CFirmwareUpdater updater(manager);
        MemoryStore store;
        store.kept.name = "/images/fw.dsp";
        CUpdateDialog dialog(updater, store);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Device Firmware Update"));
        QCOMPARE(Child<QLineEdit>(dialog, "update.path")->text(), QStringLiteral("/images/fw.dsp"));
        QVERIFY(Child<QLabel>(dialog, "update.status")->isVisibleTo(&dialog));

        g_bUpgrading = true;
        QString warned;
        AnswerModal<QMessageBox>([&](QMessageBox* box) {
            warned = box->text();
            box->accept();
        });
        dialog.close();
        QCOMPARE(warned, QStringLiteral("Don't close up the update!"));
        QVERIFY(dialog.isVisible());

        // Escape is the cancel button.
        warned.clear();
        AnswerModal<QMessageBox>([&](QMessageBox* box) {
            warned = box->text();
            box->accept();
        });
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(warned, QStringLiteral("Don't close up the update!"));
        QVERIFY(dialog.isVisible());

        dialog.HandleMessage(UM_UPGRADE_STATUS, static_cast<std::uintptr_t>(TextId::UpgradeReady),
                             0);
        QCOMPARE(Child<QLabel>(dialog, "update.status")->text(),
                 QStringLiteral("Equipment upgrade ready"));

        g_bUpgrading = false;
        dialog.close();
        QVERIFY(!dialog.isVisible());
    }

    void aboutBox() {
        for (bool chinese : {true, false}) {
            g_bChinese = chinese;
            for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
                CAboutDialog about;
                about.show();
                QVERIFY(QTest::qWaitForWindowExposed(&about));
                QCOMPARE(about.windowTitle(),
                         chinese ? QStringLiteral("关于") : QStringLiteral("About"));
                QCOMPARE(Child<QLabel>(about, "about.picture")->size(),
                         QSize(CAboutDialog::kPictureWidth, CAboutDialog::kPictureHeight));
                QTest::keyClick(&about, static_cast<Qt::Key>(key));
                QVERIFY(!about.isVisible());
            }
        }
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"

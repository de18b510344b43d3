// The firmware dialog's rules through whole updates and factory resets of
// the virtual processor: what the path field, status line and progress bar
// show, and what the guards keep from happening while an update runs.

#include "workspace/update_presenter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "firmware/firmware_updater.h"
#include "image/record_layout.h"
#include "model/ktv_out_data.h"
#include "support/session_host.h"
#include "workspace/settled.h"

namespace {

using test_support::SessionHost;

class FakeUpdateView : public IUpdateView {
public:
    void ShowPath(const std::string& shown) override { path = shown; }
    void ShowStatus(TextId text) override { statuses.push_back(text); }
    void SetProgressRange(int total) override { range = total; }
    void SetProgress(int position) override { progress = position; }
    void ShowMessage(TextId text) override { messages.push_back(text); }
    bool AskYesNo(TextId text) override {
        asked.push_back(text);
        return answerYes;
    }
    std::optional<std::string> ChooseUpgradeFile(const std::string& current) override {
        ++browsed;
        startedAt = current;
        return chosen;
    }
    void CloseDialog() override { ++closed; }

    std::string path;
    std::vector<TextId> statuses;
    int range = -1;
    int progress = -1;
    std::vector<TextId> messages;
    std::vector<TextId> asked;
    bool answerYes = true;
    int browsed = 0;
    std::string startedAt;
    std::optional<std::string> chosen;
    int closed = 0;
};

class MemoryStore : public IUpgradeFileStore {
public:
    RememberedUpgradeFile Load() override { return kept; }
    void Save(const RememberedUpgradeFile& file) override { kept = file; }
    RememberedUpgradeFile kept;
};

class UpdatePresenterTest : public ::testing::Test {
protected:
    UpdatePresenterTest() {
        host.Session().SetMessageFilter([this](const UiMessage& m) {
            if (onMessage) onMessage(m);
            return presenter.HandleMessage(m.msg, m.wParam, m.lParam);
        });
    }
    ~UpdatePresenterTest() override { host.Session().SetMessageFilter(nullptr); }

    void ConnectOnline() {
        if (!m_bPlugged) host.AddDevice();
        m_bPlugged = true;
        host.ConnectOnline();
    }
    std::vector<TextId> Shown() { return host.Session().Shown(); }

    std::string WriteImage(const std::string& name, std::size_t bytes) {
        const std::string path = m_files.Path() + "/" + name;
        std::ofstream out(path, std::ios::binary);
        for (std::size_t i = 0; i < bytes; ++i)
            out.put(static_cast<char>(i * 7 % 251));
        return path;
    }

    bool RunUntilEnded() {
        return host.RunUntil([&] { return updater.Outcome() != UpgradeOutcome::Running; });
    }

    SessionHost host;
    bool m_bPlugged = false;
    CFirmwareUpdater updater{host.Manager()};
    FakeUpdateView view;
    MemoryStore store;
    CUpdatePresenter presenter{updater, view, store};
    std::function<void(const UiMessage&)> onMessage;
    TempDir m_files;
};

TEST_F(UpdatePresenterTest, WholeUpdateWithItsGuards) {
    ConnectOnline();
    const std::string image = WriteImage("fw.dsp", 100);
    presenter.Open();

    // Halfway through, the user tries to close, cancel, browse and reset.
    std::vector<bool> closeAllowed;
    onMessage = [&](const UiMessage& m) {
        if (m.msg != UM_UPGRADE_PROGRESS || m.wParam != 2) return;
        closeAllowed.push_back(presenter.OnCloseRequested());
        presenter.OnBrowse();
        presenter.OnFactoryReset();
        presenter.OnStart(image);
    };
    presenter.OnStart(image);
    EXPECT_TRUE(updater.IsBusy());
    ASSERT_TRUE(RunUntilEnded());
    host.Session().Drain();

    EXPECT_EQ(updater.Outcome(), UpgradeOutcome::Succeeded);
    EXPECT_EQ(closeAllowed, std::vector<bool>{false});
    EXPECT_EQ(view.messages, std::vector<TextId>(3, TextId::DontCloseUpdate));
    EXPECT_EQ(view.browsed, 0);
    EXPECT_TRUE(view.asked.empty());
    EXPECT_EQ(view.closed, 0);
    // Search, boot, start, 3 blocks, end: the bar runs 0..8 and ends full.
    EXPECT_EQ(view.range, 8);
    EXPECT_EQ(view.progress, 2 + 3 + 1);
    const std::vector<TextId> statuses = {TextId::SearchForDevice, TextId::UpgradeReady,
                                          TextId::UpgradeProgramming, TextId::UpgradeSuccess};
    EXPECT_EQ(view.statuses, statuses);
    EXPECT_EQ(Shown(), std::vector<TextId>{TextId::FirmwareUpdateDone});
    EXPECT_TRUE(host.processor.LastInstalledImage().has_value());
    // The link stays down; closing is fine again.
    EXPECT_FALSE(host.Session().IsConnected());
    EXPECT_TRUE(presenter.OnCloseRequested());
}

// Start returns at once; the search runs as steps of the loop while the
// status line says so, the dialog refuses to close, and a device that turns
// up within the search window is updated.
TEST_F(UpdatePresenterTest, SearchForTheDeviceKeepsTheWindowResponsive) {
    const std::string image = WriteImage("fw.dsp", 100);
    presenter.OnStart(image);
    EXPECT_TRUE(updater.IsBusy());
    EXPECT_FALSE(presenter.OnCloseRequested());
    EXPECT_EQ(view.messages, std::vector<TextId>{TextId::DontCloseUpdate});
    ASSERT_TRUE(host.RunUntil([&] { return !view.statuses.empty(); }));
    EXPECT_EQ(view.statuses.front(), TextId::SearchForDevice);
    EXPECT_EQ(updater.Phase(), UpgradePhase::Searching);

    host.AddDevice();
    ASSERT_TRUE(RunUntilEnded());
    EXPECT_EQ(updater.Outcome(), UpgradeOutcome::Succeeded);
    EXPECT_TRUE(host.processor.LastInstalledImage().has_value());
}

TEST_F(UpdatePresenterTest, BrowseRemembersTheChoice) {
    store.kept = {"/old/fw.dsp", "/old/DataFile/*.bin"};
    presenter.Open();
    EXPECT_EQ(view.path, "/old/fw.dsp");

    view.chosen.reset();
    presenter.OnBrowse();
    EXPECT_EQ(view.startedAt, "/old/fw.dsp");
    EXPECT_EQ(store.kept.name, "/old/fw.dsp");

    view.chosen = "/images/new.contr";
    presenter.OnBrowse();
    EXPECT_EQ(view.path, "/images/new.contr");
    EXPECT_EQ(store.kept.name, "/images/new.contr");
    EXPECT_EQ(store.kept.path, "/images/DataFile/*.bin");
}

TEST_F(UpdatePresenterTest, RefusedFileLeavesTheLinkAndShowsWhatIsLeftOfThePath) {
    struct Case {
        std::string path;
        TextId message;
        std::string fieldAfter;
    };
    const std::string wrongKind = WriteImage("fw.bin", 100);
    const Case cases[] = {
        {wrongKind, TextId::UpgradeFileTypeError, wrongKind},
        {m_files.Path() + "/missing.dsp", TextId::HexFileError, ""},
    };
    ConnectOnline();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        presenter.OnStart(c.path);
        host.Session().Drain();
        EXPECT_EQ(Shown().back(), c.message);
        EXPECT_EQ(view.path, c.fieldAfter);
        EXPECT_TRUE(host.Session().IsConnected());
        EXPECT_FALSE(g_bUpgrading);
    }
}

TEST_F(UpdatePresenterTest, FactoryReset) {
    struct Case {
        const char* name;
        bool online;
        bool yes;
        std::vector<TextId> shown;
        int closed;
        bool reset;
    };
    const Case cases[] = {
        {"offline, yes", false, true, {TextId::DeviceNotConnected}, 1, false},
        {"online, no", true, false, {}, 0, false},
        {"online, yes", true, true, {}, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.online && !host.Session().IsConnected()) ConnectOnline();
        sim::DeviceMemory changed = host.processor.Memory();
        changed.groups[0][0] = 'X';
        host.processor.SetMemory(changed);
        view.closed = 0;
        view.asked.clear();
        view.answerYes = c.yes;
        if (c.online) {
            // The window's gain reaches the device before the reset.
            {
                std::lock_guard lock(g_csModel);
                host.Model().GetOutput(0)->SetGain(7);
            }
            ASSERT_TRUE(RunUntilSettled(host));
        }
        const std::size_t shownBefore = Shown().size();

        presenter.OnFactoryReset();
        if (c.online) {
            ASSERT_TRUE(RunUntilSettled(host));
        }
        host.Session().Drain();

        EXPECT_EQ(view.asked, std::vector<TextId>{TextId::FactoryResetConfirm});
        const std::vector<TextId> shown = Shown();
        EXPECT_EQ(std::vector<TextId>(shown.begin() + static_cast<long>(shownBefore), shown.end()),
                  c.shown);
        EXPECT_EQ(view.closed, c.closed);
        EXPECT_EQ(host.processor.Memory() == sim::FactoryMemory(), c.reset);
        if (c.online) {
            // The window shows what the device holds: the factory value after
            // a reset, its own value otherwise, and is online again.
            std::lock_guard lock(g_csModel);
            EXPECT_EQ(host.Model().GetOutput(0)->GetGain(),
                      host.processor.CurrentImage()[OutSlotOffset(0) + kOutGain]);
            EXPECT_EQ(host.Model().GetOutput(0)->GetGain() == 7, !c.reset);
            EXPECT_EQ(host.Manager().State(), ConnectionState::Online);
        }
    }
}

}  // namespace

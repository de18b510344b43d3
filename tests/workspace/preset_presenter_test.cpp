// The Sound Load and Sound Save rules against the virtual processor: what
// reaches the device's groups, what the files hold, and what the user is
// asked and told.

#include "workspace/preset_presenter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "cli/cli.h"
#include "cli/json_reader.h"
#include "model/ktv_out_data.h"
#include "model/text_field.h"
#include "presets/preset_file.h"
#include "support/session_host.h"
#include "workspace/settled.h"

namespace {

using test_support::SessionHost;

class RecordingShell : public IPresetShell {
public:
    explicit RecordingShell(SessionHost& host) : m_host(host) {}
    void ShowMessage(TextId text) override { shown.push_back(text); }
    void ShowSettingName(const std::string& name) override { settingName = name; }
    void RefreshAll() override { ++refreshes; }
    bool TryConnect() override {
        ++connectAttempts;
        if (!m_host.Session().IsConnected() && !m_host.Manager().ConnectUsb())
            CConnectionManager::ReportLinkFailure();
        return m_host.Session().IsConnected();
    }

    std::vector<TextId> shown;
    std::string settingName;
    int refreshes = 0;
    int connectAttempts = 0;

private:
    SessionHost& m_host;
};

// Answers the dialog's questions from queues the test fills.
class FakeDialog : public IPresetDialogView {
public:
    void ShowGroupCaption(int group, const std::string& caption) override {
        captions[group] = caption;
    }
    void ShowSaveScope(SaveScope scope) override { shownScope = scope; }
    std::optional<GroupMenuChoice> AskGroupMenu(int group) override {
        menuAskedFor = group;
        return menuChoice;
    }
    std::optional<std::string> AskGroupName(const std::string& current) override {
        nameOffered = current;
        return typedName;
    }
    bool AskOkCancel(TextId text) override {
        asked.push_back(text);
        return answerOk;
    }
    std::optional<std::string> ChooseOpenFile(PresetFileFilter filter) override {
        filters.push_back(filter);
        return chosenFile;
    }
    std::optional<std::string> ChooseSaveFile(PresetFileFilter filter) override {
        filters.push_back(filter);
        return chosenFile;
    }

    std::map<int, std::string> captions;
    std::optional<SaveScope> shownScope;
    std::optional<GroupMenuChoice> menuChoice;
    int menuAskedFor = 0;
    std::optional<std::string> typedName;
    std::string nameOffered;
    std::vector<TextId> asked;
    bool answerOk = true;
    std::optional<std::string> chosenFile;
    std::vector<PresetFileFilter> filters;
};

std::string NameOfImage(const ParamImage& image) {
    const char* bytes = reinterpret_cast<const char*>(image.data() + kImageNameOffset);
    return GbkToUtf8(std::string(bytes, strnlen(bytes, kImageNameSize)));
}

std::vector<BYTE> OutputSlots(const ParamImage& image) {
    return {image.begin() + OutSlotOffset(0),
            image.begin() + OutSlotOffset(kOutputCount - 1) + kOutBlockSize};
}

class PresetPresenterTest : public ::testing::Test {
protected:
    PresetPresenterTest() { host.Session().AddListener(&presenter); }
    ~PresetPresenterTest() override { host.Session().RemoveListener(&presenter); }

    void ConnectOnline() {
        host.AddDevice();
        host.ConnectOnline();
    }
    bool Settle() { return RunUntilSettled(host); }
    std::vector<TextId> Shown() { return host.Session().Shown(); }

    // Named groups on the device, each with its own first-channel gain.
    void NameDeviceGroups() {
        sim::DeviceMemory memory = host.processor.Memory();
        for (int g = 1; g <= kDeviceGroupCount; ++g) {
            ParamImage& image = memory.groups[static_cast<std::size_t>(g - 1)];
            const std::string name = "Group " + std::to_string(g);
            std::memset(image.data(), 0, kImageNameSize);
            std::memcpy(image.data(), name.data(), name.size());
            image[OutSlotOffset(0) + kOutGain] = static_cast<BYTE>(10 + g);
        }
        host.processor.SetMemory(memory);
    }

    void Open(PresetDialog which) { presenter.Open(which, dialog); }

    std::string FilePath(const std::string& name) const { return m_files.Path() + "/" + name; }

    SessionHost host;
    RecordingShell shell{host};
    FakeDialog dialog;
    CPresetPresenter presenter{host.Session(), shell};
    TempDir m_files;
};

// ---- Captions ----

TEST_F(PresetPresenterTest, CaptionsShowStoredNamesOnlyWhileConnected) {
    NameDeviceGroups();
    Open(PresetDialog::Load);
    EXPECT_EQ(dialog.captions[1], "Source1");
    EXPECT_EQ(dialog.captions[6], "Source6");

    ConnectOnline();
    presenter.RefreshGroupWindows();
    EXPECT_EQ(dialog.captions[1], "Group 1");
    EXPECT_EQ(dialog.captions[6], "Group 6");

    g_bChinese = true;
    presenter.Close();
    host.Manager().Disconnect();
    ASSERT_TRUE(host.RunUntilState(ConnectionState::Disconnected));
    Open(PresetDialog::Save);
    EXPECT_EQ(dialog.captions[3], "音效3");
    EXPECT_EQ(dialog.shownScope, SaveScope::CurrentGroup);
}

// ---- Store and recall ----

TEST_F(PresetPresenterTest, StoredGroupComesBackOnRecall) {
    ConnectOnline();
    host.Model().GetOutput(0)->SetGain(33);
    host.Model().GetOutput(4)->SetOutputOn(0);
    ASSERT_TRUE(Settle());

    Open(PresetDialog::Save);
    dialog.typedName = "Door";
    presenter.OnGroupClicked(3);
    ASSERT_TRUE(Settle());
    const ParamImage stored = host.processor.GroupImage(3);
    EXPECT_EQ(NameOfImage(stored), "Door");
    EXPECT_EQ(shell.settingName, "Door");
    EXPECT_EQ(dialog.captions[3], "Door");
    EXPECT_EQ(stored[OutSlotOffset(0) + kOutGain], 33);

    // Something else is current, then group 3 is recalled from the load dialog.
    host.Model().GetOutput(0)->SetGain(50);
    ASSERT_TRUE(Settle());
    presenter.Close();
    Open(PresetDialog::Load);
    shell.settingName.clear();
    const int reloads = host.Session().OutputLoads();
    presenter.OnGroupClicked(3);
    ASSERT_TRUE(host.RunUntil([&] { return host.Session().OutputLoads() > reloads && g_bOnline; }));
    host.Session().Drain();
    EXPECT_EQ(shell.settingName, "Door") << "the recalled group's name is the setting's";
    EXPECT_EQ(host.Model().GetOutput(0)->GetGain(), 33);
    EXPECT_EQ(host.Model().GetOutput(4)->GetOutputOn(), 0);
    std::lock_guard lock(g_csModel);
    EXPECT_EQ(OutputSlots(g_CurImage), OutputSlots(stored));
}

TEST_F(PresetPresenterTest, GroupNameRules) {
    struct Case {
        std::optional<std::string> typed;
        std::optional<std::string> stored;  // nothing: refused or cancelled
        bool allSpacesMessage;
    };
    const Case cases[] = {
        {std::string(13, ' '), std::nullopt, true},
        {std::string(), std::nullopt, true},
        {std::nullopt, std::nullopt, false},  // Cancel
        {" a", " a", false},
        {"ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLM", false},
        // A Chinese character takes two of the 13 bytes and is never cut in half.
        {"前门左高音扬声器", "前门左高音扬", false},
    };
    ConnectOnline();
    Open(PresetDialog::Save);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.value_or("(cancel)"));
        const std::string before = NameOfImage(host.processor.GroupImage(2));
        const int writes = host.processor.GetCounts().systemWrites;
        shell.shown.clear();
        dialog.typedName = c.typed;
        presenter.OnGroupClicked(2);
        ASSERT_TRUE(Settle());
        if (c.stored) {
            EXPECT_EQ(NameOfImage(host.processor.GroupImage(2)), *c.stored);
        } else {
            EXPECT_EQ(NameOfImage(host.processor.GroupImage(2)), before);
            EXPECT_EQ(host.processor.GetCounts().systemWrites, writes);
        }
        EXPECT_EQ(shell.shown == std::vector<TextId>{TextId::NameAllSpaces}, c.allSpacesMessage);
    }
}

TEST_F(PresetPresenterTest, NameDialogStartsFromTheGroupsName) {
    NameDeviceGroups();
    ConnectOnline();
    Open(PresetDialog::Save);
    dialog.typedName.reset();
    presenter.OnGroupClicked(5);
    EXPECT_EQ(dialog.nameOffered, "Group 5");
}

TEST_F(PresetPresenterTest, RightClickLoadInTheSaveDialogRecallsTheGroup) {
    NameDeviceGroups();
    ConnectOnline();
    Open(PresetDialog::Save);
    dialog.menuChoice = GroupMenuChoice::Load;
    const int recalls = host.processor.GetCounts().recalls;
    presenter.OnGroupRightClicked(4);
    EXPECT_EQ(dialog.menuAskedFor, 4);
    ASSERT_TRUE(
        host.RunUntil([&] { return g_bOnline && host.processor.GetCounts().recalls > recalls; }));
    ASSERT_TRUE(host.RunUntil([&] { return g_bOnline.load(); }));
    EXPECT_EQ(host.Model().GetOutput(0)->GetGain(), 14);
    // Nothing was stored.
    EXPECT_EQ(NameOfImage(host.processor.GroupImage(4)), "Group 4");
}

TEST_F(PresetPresenterTest, RecallWithoutALinkSaysSo) {
    host.AddDevice();
    Open(PresetDialog::Save);
    dialog.menuChoice = GroupMenuChoice::Load;
    presenter.OnGroupRightClicked(1);
    host.Session().Drain();
    EXPECT_EQ(Shown(), std::vector<TextId>{TextId::UnableToConnect});
    EXPECT_EQ(host.processor.GetCounts().frames, 0);
}

// ---- Delete ----

TEST_F(PresetPresenterTest, DeleteAsksAndActsOnlyOnline) {
    NameDeviceGroups();
    // Offline: asked, then nothing changes, in memory or on the device.
    Open(PresetDialog::Load);
    const ParamImage before = g_GroupImages[1];
    presenter.Delete(2);
    EXPECT_EQ(dialog.asked, std::vector<TextId>{TextId::DeleteGroupConfirm});
    EXPECT_EQ(g_GroupImages[1], before);
    EXPECT_EQ(host.Command().GetCount(), 0);

    ConnectOnline();
    presenter.RefreshGroupWindows();
    dialog.answerOk = false;
    presenter.Delete(2);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(NameOfImage(host.processor.GroupImage(2)), "Group 2");

    dialog.answerOk = true;
    dialog.menuChoice = GroupMenuChoice::Delete;
    presenter.OnGroupRightClicked(2);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(NameOfImage(host.processor.GroupImage(2)), "");
    EXPECT_EQ(dialog.captions[2], "Source2");
    // Only the name goes; the settings stay.
    EXPECT_EQ(host.processor.GroupImage(2)[OutSlotOffset(0) + kOutGain], 12);
}

// ---- Loading files ----

class PresetFileTest : public PresetPresenterTest {
protected:
    // A single-set and an all-data file saved from a model whose first
    // channel has gain 21 and whose listening position byte is 7.
    void SetUp() override {
        PresetPresenterTest::SetUp();
        CKTV_Data& model = host.Model();
        model.GetOutput(0)->SetGain(21);
        g_ListenPositions[48] = 7;
        ASSERT_TRUE(SaveSingleSet(model, FilePath("one.dsps")));
        ASSERT_TRUE(SaveAllData(model, FilePath("all.dspa")));
        std::ofstream(FilePath("short.dsps")) << "TQR";
        std::ofstream(FilePath("short.dspa")) << "TQR";
        std::filesystem::copy_file(FilePath("one.dsps"), FilePath("caps.DSPS"));
        std::filesystem::copy_file(FilePath("one.dsps"), FilePath("one.txt"));
        model.GetOutput(0)->SetGain(40);
        g_ListenPositions[48] = 1;
    }

    void Load(const std::string& name) {
        dialog.chosenFile = FilePath(name);
        presenter.OnLoadFromFile();
    }
};

TEST_F(PresetFileTest, FilesThatAreNotLoaded) {
    struct Case {
        const char* file;
        std::vector<TextId> shown;
    };
    const Case cases[] = {
        {"one.txt", {}},
        {"short.dsps", {TextId::FileError}},
        {"short.dspa", {TextId::ReadAllFileError}},
        {"missing.dspa", {TextId::ReadAllFileError}},
    };
    Open(PresetDialog::Load);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        shell.shown.clear();
        Load(c.file);
        EXPECT_EQ(shell.shown, c.shown);
        EXPECT_EQ(host.Model().GetOutput(0)->GetGain(), 40);
        EXPECT_EQ(shell.refreshes, 0);
        EXPECT_EQ(shell.settingName, "");
    }
    EXPECT_EQ(dialog.filters.front(), PresetFileFilter::OpenAny);
}

TEST_F(PresetFileTest, SingleSetFileBecomesTheDevicesCurrentSetting) {
    ConnectOnline();
    Open(PresetDialog::Load);
    host.processor.ClearRequestLog();
    Load("one.dsps");
    ASSERT_TRUE(Settle());
    EXPECT_EQ(host.Model().GetOutput(0)->GetGain(), 21);
    EXPECT_EQ(host.processor.CurrentImage()[OutSlotOffset(0) + kOutGain], 21);
    EXPECT_EQ(shell.settingName, "one");
    EXPECT_EQ(shell.refreshes, 1);
    // The outputs were muted before the first block went out.
    const auto log = host.processor.RequestLog();
    const auto firstWrite = std::find_if(
        log.begin(), log.end(), [](const auto& entry) { return entry.command == CMD_WRITE; });
    ASSERT_NE(firstWrite, log.end());
    EXPECT_EQ(firstWrite->type, BT_OUTPUT);
    EXPECT_EQ(firstWrite->item, kOutItemLevel);
}

// Names in upper case load like lower-case ones.
TEST_F(PresetFileTest, UpperCaseNamesLoad) {
    Open(PresetDialog::Load);
    struct Case {
        const char* file;
        const char* title;
    };
    const Case cases[] = {{"caps.DSPS", "caps"}, {"ALL.DSPA", "ALL"}};
    std::filesystem::copy_file(FilePath("all.dspa"), FilePath("ALL.DSPA"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        {
            std::lock_guard lock(g_csModel);
            host.Model().GetOutput(0)->SetGain(40);
        }
        shell.settingName.clear();
        Load(c.file);
        EXPECT_EQ(host.Model().GetOutput(0)->GetGain(), 21);
        EXPECT_EQ(shell.settingName, c.title);
        EXPECT_TRUE(shell.shown.empty());
    }
}

TEST_F(PresetFileTest, AllDataFileIsSentWithTheListeningPositionLimited) {
    ConnectOnline();
    Open(PresetDialog::Load);
    Load("all.dspa");
    ASSERT_TRUE(Settle());
    EXPECT_EQ(host.Model().GetOutput(0)->GetGain(), 21);
    EXPECT_EQ(host.processor.CurrentImage()[OutSlotOffset(0) + kOutGain], 21);
    EXPECT_EQ(g_ListenPositions[48], 3);
    EXPECT_EQ(shell.settingName, "all");
}

// ---- Saving files ----

TEST_F(PresetPresenterTest, SaveCurrentAddsTheExtensionOnlyWhenMissing) {
    struct Case {
        const char* chosen;
        const char* written;
        const char* title;
    };
    const Case cases[] = {
        {"preset.dsps", "preset.dsps", "preset"},
        {"preset", "preset.dsps", "preset"},
        {"CAR.DSPS", "CAR.DSPS", "CAR"},
        {"Tune.Dsps", "Tune.Dsps", "Tune"},
    };
    Open(PresetDialog::Save);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen);
        dialog.chosenFile = FilePath(c.chosen);
        presenter.OnSaveToFile();
        EXPECT_EQ(std::filesystem::file_size(FilePath(c.written)), kSingleSetFileSize);
        EXPECT_EQ(shell.settingName, c.title);
    }
    EXPECT_FALSE(std::filesystem::exists(FilePath("preset.dsps.dsps")));
    EXPECT_EQ(dialog.filters.front(), PresetFileFilter::SaveSingleSet);
    EXPECT_TRUE(shell.shown.empty());
}

TEST_F(PresetPresenterTest, RefusedSaveChangesNothingAndSaysSo) {
    std::filesystem::create_directories(FilePath("taken.dsps/inside"));
    const char* refused[] = {"no-such-folder/car.dsps", "taken.dsps"};
    Open(PresetDialog::Save);
    for (const char* name : refused) {
        SCOPED_TRACE(name);
        shell.shown.clear();
        dialog.chosenFile = FilePath(name);
        presenter.OnSaveToFile();
        EXPECT_EQ(shell.shown, std::vector<TextId>{TextId::SaveMusicFileError});
        EXPECT_EQ(shell.settingName, "");
    }
    EXPECT_FALSE(std::filesystem::exists(FilePath("no-such-folder")));
    EXPECT_TRUE(std::filesystem::is_directory(FilePath("taken.dsps/inside")));
}

TEST_F(PresetPresenterTest, AllGroupsFileHoldsTheDevicesGroups) {
    NameDeviceGroups();
    ConnectOnline();
    // The host's copy of group 2 differs from the device until it is read.
    g_GroupImages[1][OutSlotOffset(0) + kOutGain] = 55;

    Open(PresetDialog::Save);
    presenter.OnScopeClicked(SaveScope::AllGroups);
    EXPECT_EQ(dialog.shownScope, SaveScope::AllGroups);
    dialog.chosenFile = FilePath("car");
    presenter.OnSaveToFile();
    presenter.Close();
    EXPECT_TRUE(presenter.AllGroupsSavePending());
    EXPECT_FALSE(std::filesystem::exists(FilePath("car.dspa")));
    ASSERT_TRUE(host.RunUntil([&] { return !presenter.AllGroupsSavePending(); }));
    EXPECT_EQ(shell.settingName, "car");
    EXPECT_TRUE(shell.shown.empty());

    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunCli({"--lang", "en", "dump", FilePath("car.dspa"), "--json"}, out, err), 0)
        << err.str();
    const auto dump = cli_test::ParseJson(out.str());
    ASSERT_TRUE(dump.has_value());
    const cli_test::JsonValue& groups = (*dump)["groups"];
    for (int g = 1; g <= kDeviceGroupCount; ++g) {
        SCOPED_TRACE(g);
        const cli_test::JsonValue& group = groups[static_cast<std::size_t>(g - 1)];
        EXPECT_EQ(group["group"].number, g);
        EXPECT_EQ(group["name"].text, "Group " + std::to_string(g));
        EXPECT_EQ(group["channels"][std::size_t{0}]["gain_db"].number, 10 + g - 60);
    }
    const PresetParseResult file = ReadPresetFile(FilePath("car.dspa"));
    ASSERT_TRUE(file.contents);
    for (int g = 1; g <= kDeviceGroupCount; ++g) {
        EXPECT_EQ(OutputSlots(file.contents->groups[static_cast<std::size_t>(g - 1)]),
                  OutputSlots(host.processor.GroupImage(g)));
    }
}

TEST_F(PresetPresenterTest, AllGroupsSaveCutShortWritesNothingAndSaysSo) {
    ConnectOnline();
    Open(PresetDialog::Save);
    presenter.OnScopeClicked(SaveScope::AllGroups);
    dialog.chosenFile = FilePath("car.dspa");
    // The device leaves after answering the first reads of group 2.
    host.processor.InjectFault(CVirtualProcessor::Fault::Unplug, 10);
    presenter.OnSaveToFile();
    ASSERT_TRUE(host.RunUntil([&] { return !presenter.AllGroupsSavePending(); }));
    EXPECT_EQ(shell.shown, std::vector<TextId>{TextId::AllGroupsNotSaved});
    EXPECT_FALSE(std::filesystem::exists(FilePath("car.dspa")));
    EXPECT_EQ(shell.settingName, "");
}

TEST_F(PresetPresenterTest, AllGroupsSaveConnectsFirst) {
    host.AddDevice();
    Open(PresetDialog::Save);
    presenter.OnScopeClicked(SaveScope::AllGroups);
    dialog.chosenFile = FilePath("car.dspa");
    presenter.OnSaveToFile();
    EXPECT_EQ(shell.connectAttempts, 1);
    ASSERT_TRUE(host.RunUntil([&] { return !presenter.AllGroupsSavePending(); }));
    EXPECT_EQ(std::filesystem::file_size(FilePath("car.dspa")), kAllDataFileSize);
}

TEST_F(PresetPresenterTest, AllGroupsSaveWithoutADeviceAsksForNoFile) {
    Open(PresetDialog::Save);
    presenter.OnScopeClicked(SaveScope::AllGroups);
    dialog.chosenFile = FilePath("car.dspa");
    presenter.OnSaveToFile();
    host.Session().Drain();
    EXPECT_EQ(Shown(), std::vector<TextId>{TextId::UnableToConnect});
    EXPECT_TRUE(dialog.filters.empty());
    EXPECT_FALSE(presenter.AllGroupsSavePending());
}

}  // namespace

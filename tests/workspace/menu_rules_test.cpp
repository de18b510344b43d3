// What the menu commands do, and the order of the language switch.

#include "workspace/menu_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/globals.h"
#include "workspace/workspace_parts.h"

namespace {

class RecordingActions : public IMenuActions {
public:
    void OpenSoundLoad() override { calls.push_back("load"); }
    void OpenSoundSave() override { calls.push_back("save"); }
    void OpenFirmwareUpdate() override { calls.push_back("firmware"); }
    void OpenSetModal() override { calls.push_back("modal"); }
    void OpenAbout() override { calls.push_back("about"); }
    void Relabel() override { calls.push_back(g_bChinese ? "relabel zh" : "relabel en"); }
    std::vector<std::string> calls;
};

// Every entry of either menu, in either language, reaches its window.
TEST(MenuRulesTest, EveryEntryRunsItsCommand) {
    struct Case {
        int command;
        const char* call;
    };
    const Case cases[] = {
        {kCmdSoundLoad, "load"}, {kCmdSoundSave, "save"}, {kCmdFirmwareUpdate, "firmware"},
        {kCmdSetModal, "modal"}, {kCmdAbout, "about"},    {kCmdLanguage, "relabel zh"},
    };
    for (bool chinese : {false, true}) {
        for (const auto& entries : {MainMenuEntries(chinese), SoundGroupMenuEntries(chinese)}) {
            for (const MenuEntry& entry : entries) {
                SCOPED_TRACE(entry.command);
                EXPECT_TRUE(entry.enabled);
                g_bChinese = false;
                RecordingActions actions;
                RunMenuCommand(entry.command, actions);
                bool known = false;
                for (const Case& c : cases) {
                    if (c.command != entry.command) continue;
                    known = true;
                    EXPECT_EQ(actions.calls, std::vector<std::string>{c.call});
                }
                EXPECT_TRUE(known);
            }
        }
    }
    g_bChinese = false;
}

TEST(MenuRulesTest, LanguageCommandFlipsBothWays) {
    g_bChinese = false;
    RecordingActions actions;
    RunMenuCommand(kCmdLanguage, actions);
    RunMenuCommand(kCmdLanguage, actions);
    RunMenuCommand(12345, actions);
    EXPECT_EQ(actions.calls, (std::vector<std::string>{"relabel zh", "relabel en"}));
    EXPECT_FALSE(g_bChinese);
}

class RecordingPart : public IWorkspacePart {
public:
    RecordingPart(std::vector<std::string>& log, std::string name)
        : m_log(log), m_name(std::move(name)) {}
    void Relabel() override { m_log.push_back(m_name + " relabel"); }
    void RefreshCrossover(int channel) override {
        m_log.push_back(m_name + " crossover " + std::to_string(channel));
    }

private:
    std::vector<std::string>& m_log;
    std::string m_name;
};

// The crossover lists are refilled from the filters after every area has
// relabelled, so no relabel leaves a list the slope handler cannot read.
TEST(MenuRulesTest, RelabelThenCrossoverListsOfTheSelectedChannel) {
    std::vector<std::string> log;
    RecordingPart strips(log, "strips");
    RecordingPart xover(log, "xover");
    IWorkspacePart* parts[] = {&xover, &strips};
    RelabelWorkspace(parts, 4);
    EXPECT_EQ(log, (std::vector<std::string>{"xover relabel", "strips relabel", "xover crossover 4",
                                             "strips crossover 4"}));
}

}  // namespace

// The README describes the command line and the --json outputs; these tests
// hold it to what the program prints.

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "cli/cli_fixture.h"
#include "measure/point_file.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "model/startup_contents.h"
#include "presets/preset_file.h"
#include "support/fit_corpus.h"
#include "tables/value_tables.h"

namespace cli_test {
namespace {

std::string ReadmeSection(const std::string& heading) {
    std::ifstream in(TQR_README);
    std::stringstream text;
    text << in.rdbuf();
    const std::string readme = text.str();
    const std::size_t start = readme.find("\n" + heading + "\n");
    EXPECT_NE(start, std::string::npos) << heading;
    if (start == std::string::npos) return {};
    const std::size_t end = readme.find("\n#", start + heading.size() + 2);
    return readme.substr(start, end - start);
}

// The usages in the first column of the README's command table, "\|" read as "|".
std::set<std::string> ReadmeUsages() {
    std::set<std::string> usages;
    std::istringstream lines(ReadmeSection("## Command-line tool: `tqr905`"));
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("| `", 0) != 0) continue;
        const std::string cell =
            std::regex_replace(line.substr(2, line.find(" | ") - 2), std::regex(R"(\\\|)"), "|");
        const std::regex code("`([^`]+)`");
        for (auto it = std::sregex_iterator(cell.begin(), cell.end(), code);
             it != std::sregex_iterator(); ++it)
            usages.insert((*it)[1]);
    }
    return usages;
}

// The usages of the command list of `tqr905 --help`: the text before the
// summary, or the whole line when the summary has a line of its own.
std::set<std::string> HelpUsages(const std::string& help) {
    std::set<std::string> usages;
    std::istringstream lines(help.substr(help.find("\ncommands:\n") + 11));
    for (std::string line; std::getline(lines, line) && !line.empty();) {
        if (line.rfind("    ", 0) == 0) continue;  // a summary on its own line
        usages.insert(line.substr(2, line.find("  ", 2) - 2));
    }
    return usages;
}

class ReadmeTest : public CliTest {};

TEST_F(ReadmeTest, TheCommandTableListsWhatHelpLists) {
    const CliRun help = Cli({"--help"});
    ASSERT_EQ(help.status, kExitOk);
    const std::set<std::string> listed = HelpUsages(help.out);
    EXPECT_GE(listed.size(), 15u) << help.out;
    EXPECT_EQ(ReadmeUsages(), listed);
}

// Every member name of a document, at any depth.
void CollectKeys(const JsonValue& value, std::set<std::string>& keys) {
    for (const auto& [name, member] : value.members) {
        keys.insert(name);
        CollectKeys(member, keys);
    }
    for (const JsonValue& item : value.items)
        CollectKeys(item, keys);
}

TEST_F(ReadmeTest, EveryJsonMemberIsDescribedAndEveryDescribedOneIsPrinted) {
    g_bOnline = false;
    InitStartupContents();
    {
        CKTV_Data model;
        model.GetOutput(0)->GetBand(0)->SetType(kBandLowShelf);  // shelves have a slope member
        ASSERT_TRUE(SaveSingleSet(model, FilePath("one.dsps")));
        ASSERT_TRUE(SaveAllData(model, FilePath("all.dspa")));
    }
    std::ofstream(FilePath("meas.txt")) << MeasurementText(fit_corpus::RoomCase(5, true).file);
    AddDevice();
    const std::vector<std::vector<std::string>> commands = {
        {"fit", FilePath("one.dsps"), "--channel", "1", "--measurement", FilePath("meas.txt"),
         "--out", FilePath("fitted.dsps"), "--json"},
        {"dump", FilePath("one.dsps"), "--json"},
        {"dump", FilePath("all.dspa"), "--json"},
        {"curve", FilePath("one.dsps"), "--channel", "1", "--format", "json"},
        {"show", "--json"},
        {"info", "--json"},
        {"devices", "--json"},
        {"names", "--json"},
    };
    std::set<std::string> printed;
    for (const auto& args : commands) {
        const CliRun run = Cli(args);
        ASSERT_EQ(run.status, kExitOk) << args[0] << ": " << run.err;
        CollectKeys(Json(run.out), printed);
    }

    const std::string section = ReadmeSection("### JSON output");
    std::set<std::string> quoted;     // names and word values alike
    std::set<std::string> described;  // "name": in the examples
    const std::regex word(R"re("([a-z_]+)"(\s*:)?)re");
    for (auto it = std::sregex_iterator(section.begin(), section.end(), word);
         it != std::sregex_iterator(); ++it) {
        quoted.insert((*it)[1]);
        if ((*it)[2].matched) described.insert((*it)[1]);
    }
    for (const std::string& key : printed)
        EXPECT_TRUE(quoted.count(key)) << "\"" << key << "\" is printed but not described";
    for (const std::string& key : described)
        EXPECT_TRUE(printed.count(key)) << "\"" << key << "\" is described but not printed";
}

}  // namespace
}  // namespace cli_test

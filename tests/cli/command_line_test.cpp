// How the command line is read: options before or after the command, values
// joined by '=', suggestions for misspelt words, and one help text per
// command generated from its options.

#include "cli/cli_fixture.h"

namespace cli_test {
namespace {

class CommandLineTest : public CliTest {};

TEST_F(CommandLineTest, UsageErrorsNameTheWordAndSuggestACloseOne) {
    struct Case {
        std::vector<std::string> args;
        const char* text;
    };
    const Case cases[] = {
        {{"infoo"}, "unknown command 'infoo' (did you mean 'info'?)"},
        {{"factory-rest"}, "(did you mean 'factory-reset'?)"},
        {{"xyzzy"}, "unknown command 'xyzzy' (see"},
        {{"names", "--jsn"}, "unknown option '--jsn' (did you mean '--json'?)"},
        {{"names", "--devcie", "vhid:/x/y.sock"}, "(did you mean '--device'?)"},
        {{"names", "extra"}, "unexpected argument 'extra'; usage: tqr905 names [--json]"},
        {{"recall", "-1"}, "not in range 1 to 6"},
        {{"store", "2"}, "--name is required"},
        {{"info", "--lang"}, "--lang"},
        {{"curve", "a.dsps", "--channel", "1", "--format", "xml"}, "xml"},
    };
    for (const Case& c : cases) {
        const CliRun run = Cli(c.args);
        EXPECT_EQ(run.status, kExitUsage) << c.args[0];
        EXPECT_NE(run.err.find(c.text), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
        EXPECT_TRUE(run.out.empty());
    }
}

TEST_F(CommandLineTest, GlobalOptionsGoBeforeOrAfterTheCommand) {
    SimServer& device = AddDevice();
    AddDevice(NewProcessor(), "second");
    const std::string path = device.InterfacePath();
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--device", path, "info"},
             {"info", "--device", path},
             {"info", "--device=" + path, "--json"},
         }) {
        const CliRun run = CliRaw(args);
        ASSERT_EQ(run.status, kExitOk) << run.err;
        EXPECT_NE(run.out.find(path), std::string::npos) << run.out;
    }
    // A group name that is also a command's name is still the name.
    const CliRun store = Cli({"--device", path, "store", "2", "--name", "info"});
    ASSERT_EQ(store.status, kExitOk) << store.err;
    EXPECT_EQ(store.out, "stored group 2 \"info\"\n");
}

TEST_F(CommandLineTest, EachCommandsHelpListsItsOwnOptions) {
    struct Case {
        const char* command;
        std::vector<const char*> texts;
    };
    const Case cases[] = {
        {"curve", {"usage: tqr905 [global options] curve FILE --channel N", "--format csv|json"}},
        {"store", {"--name NAME (required)", "13 characters"}},
        {"factory-reset", {"--yes", "without a terminal"}},
    };
    for (const Case& c : cases) {
        const CliRun run = Cli({c.command, "--help"});
        EXPECT_EQ(run.status, kExitOk);
        for (const char* text : c.texts)
            EXPECT_NE(run.out.find(text), std::string::npos) << c.command << ":\n" << run.out;
        EXPECT_EQ(Cli({"help", c.command}).out, run.out);
        EXPECT_EQ(Cli({"-h", c.command}).out, run.out);
    }
}

}  // namespace
}  // namespace cli_test

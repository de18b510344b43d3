#pragma once
// Fixture of the command-line tests: the shared virtual bus with its
// processors, and the tool run in-process with shortened link time-outs and
// only that bus as backend. Files go to a scratch folder.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/globals.h"
#include "cli/cli.h"
#include "cli/json_reader.h"
#include "protocol/frame_format.h"
#include "support/short_timings.h"
#include "support/virtual_bus.h"

namespace cli_test {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::vector<BYTE> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<BYTE>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

class CliTest : public ::testing::Test, protected test_support::VirtualBus {
protected:
    CliTest() {
        m_hooks.timings = test_support::ShortTimings();
        m_hooks.stdinIsTerminal = false;
        m_hooks.stderrIsTerminal = false;
        m_hooks.makeRegistry = [this] { return Registry(); };
    }

    // Runs tqr905 with English texts unless the arguments pick a language.
    CliRun Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--lang", "en"});
        return CliRaw(args);
    }
    CliRun CliRaw(const std::vector<std::string>& args) {
        std::ostringstream out;
        std::ostringstream err;
        CliRun run;
        run.status = RunCli(args, out, err, m_hooks);
        run.out = out.str();
        run.err = err.str();
        return run;
    }

    std::string FilePath(const std::string& name) const { return m_files.Path() + "/" + name; }

    TempDir m_files;
    CliHooks m_hooks;
};

// Parses --json output; a failed assertion when it is not valid JSON.
inline JsonValue Json(const std::string& text) {
    auto value = ParseJson(text);
    EXPECT_TRUE(value.has_value()) << "not JSON:\n" << text;
    return value.value_or(JsonValue{});
}

}  // namespace cli_test

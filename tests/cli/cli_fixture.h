#pragma once
// Fixture of the command-line tests: a bus and claim directory of their own,
// a virtual processor served on that bus in this process, and the tool run
// in-process with shortened link time-outs and only the virtual bus as
// backend. Files go to a scratch folder.

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
#include "link/link_test_util.h"
#include "link/vhid_backend.h"
#include "protocol/frame_format.h"
#include "sim/sim_server.h"

namespace cli_test {

using namespace std::chrono_literals;

inline LinkTimings ShortTimings() {
    LinkTimings t;
    t.readWait = 500ms;
    t.cycleLimit = 1000ms;
    t.normalCyclePause = 1ms;
    t.disconnectWait = 5ms;
    t.workerEventWait = 100ms;
    t.upgradeSearchRetry = 5ms;
    t.upgradeSearchWindow = 300ms;
    t.searchPatternDuration = 30ms;
    t.postSearchPause = 10ms;
    t.postBootReopenWait = 200ms;  // the device is back after 20 ms
    t.upgradeCycleLimit = 2000ms;
    t.bootReplyWait = 300ms;
    t.startReplyWait = 300ms;
    t.blockReplyWait = 300ms;
    t.endReplyWait = 300ms;
    t.controllerBeginReplyWait = 300ms;
    t.controllerBlockReplyWait = 300ms;
    t.controllerEndReplyWait = 300ms;
    return t;
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { ::unsetenv(m_name); }

private:
    const char* m_name;
};

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

class CliTest : public ::testing::Test {
protected:
    CliTest()
        : m_busEnv("TQR905_VHID_DIR", m_bus.Path()),
          m_claimsEnv("TQR905_CLAIMS_DIR", m_claims.Path()) {
        m_hooks.timings = ShortTimings();
        m_hooks.stdinIsTerminal = false;
        m_hooks.stderrIsTerminal = false;
        const std::string bus = m_bus.Path();
        m_hooks.makeRegistry = [bus] {
            auto registry = std::make_unique<HidBackendRegistry>();
            registry->Add(std::make_unique<VhidBackend>(bus));
            return registry;
        };
    }

    void TearDown() override {
        for (auto& server : m_servers)
            server->Stop();
    }

    // A processor on the bus as <name>.sock.
    SimServer& AddDevice(CVirtualProcessor& processor, const std::string& name = "tqr905") {
        SimServerOptions options;
        options.busDir = m_bus.Path();
        options.name = name;
        options.latencyMs = 0;
        options.rebootAway = 20ms;
        m_servers.push_back(std::make_unique<SimServer>(processor, options));
        const LinkStatus started = m_servers.back()->Start();
        EXPECT_TRUE(started.Ok()) << started.ErrorText();
        return *m_servers.back();
    }
    SimServer& AddDevice() { return AddDevice(m_processor); }
    // Another processor, living as long as the fixture.
    CVirtualProcessor& NewProcessor() {
        m_extraProcessors.push_back(std::make_unique<CVirtualProcessor>());
        return *m_extraProcessors.back();
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

    // The requests the processor got that change something.
    int WritesReceived() const {
        int writes = 0;
        for (const auto& entry : m_processor.RequestLog())
            writes += entry.command == CMD_WRITE;
        return writes;
    }

    TempDir m_bus;
    TempDir m_claims;
    TempDir m_files;
    ScopedEnv m_busEnv;
    ScopedEnv m_claimsEnv;
    CliHooks m_hooks;
    CVirtualProcessor m_processor;
    std::vector<std::unique_ptr<CVirtualProcessor>> m_extraProcessors;
    std::vector<std::unique_ptr<SimServer>> m_servers;  // after the processors: stopped first
};

// Parses --json output; a failed assertion when it is not valid JSON.
inline JsonValue Json(const std::string& text) {
    auto value = ParseJson(text);
    EXPECT_TRUE(value.has_value()) << "not JSON:\n" << text;
    return value.value_or(JsonValue{});
}

}  // namespace cli_test

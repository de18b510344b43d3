// A 256 KiB processor update against the virtual processor on a virtual HID
// bus whose replies arrive 1 ms late, with the production timings. The floor
// is what the protocol itself costs: one reply latency per answered step plus
// the fixed waits (search pattern, the pause after it, the loader restart).
// Counters: wall_s, floor_s, over_floor (wall / floor), per_step_ms (wall time minus
// the fixed waits, per answered step), rss_kib (peak resident set of the
// process) and rss_growth_kib (what the update added to it).

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "firmware/firmware_updater.h"
#include "link/connection_manager.h"
#include "link/hid_registry.h"
#include "link/message_queue.h"
#include "link/vhid_backend.h"
#include "protocol/ktv_command.h"
#include "sim/sim_server.h"
#include "tests/link/link_test_util.h"

namespace {

using namespace std::chrono_literals;

constexpr size_t kImageBytes = 256 * 1024;
constexpr double kLatencyMs = 1.0;
// Boot, start, one per 48-byte block, end.
constexpr int kAnsweredSteps = 2 + static_cast<int>((kImageBytes + 47) / 48) + 1;

long PeakRssKib() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::string WriteImage(const std::string& dir) {
    std::vector<char> bytes(kImageBytes);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 7) % 0xFB);
    const std::string path = dir + "/bench.dsp";
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
    return path;
}

double FixedWaitsSeconds(const LinkTimings& t) {
    const auto fixed = t.searchPatternDuration + t.postSearchPause + t.postBootReopenWait;
    return std::chrono::duration<double>(fixed).count();
}

void BM_Update256KiB(benchmark::State& state) {
    TempDir dir;
    ::setenv("TQR905_CLAIMS_DIR", (dir.Path() + "/claims").c_str(), 1);
    const std::string busDir = dir.Path() + "/bus";
    const std::string image = WriteImage(dir.Path());

    CVirtualProcessor processor;
    SimServerOptions options;
    options.busDir = busDir;
    options.latencyMs = kLatencyMs;
    SimServer server(processor, options);
    if (!server.Start()) {
        state.SkipWithError("the virtual processor could not start");
        return;
    }
    HidBackendRegistry registry;
    registry.Add(std::make_unique<VhidBackend>(busDir));
    CMessageQueue messages;
    g_pMessageSink = &messages;
    CKTVCommand command;
    const LinkTimings timings;
    CConnectionManager connection(registry, command, nullptr, timings);
    CFirmwareUpdater updater(connection);

    const long rssBefore = PeakRssKib();
    double wall = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const UpgradeOutcome outcome = RunUpgrade(updater, connection, messages, image, {});
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (outcome != UpgradeOutcome::Succeeded) {
            state.SkipWithError("the update did not succeed");
            break;
        }
    }
    wall /= static_cast<double>(state.iterations());
    connection.Shutdown();
    g_pMessageSink = nullptr;
    ::unsetenv("TQR905_CLAIMS_DIR");

    const auto installed = processor.LastInstalledImage();
    if (!installed || installed->Length() != kImageBytes) {
        state.SkipWithError("the device did not install the image");
        return;
    }
    const double fixed = FixedWaitsSeconds(timings);
    const double floor = kAnsweredSteps * kLatencyMs / 1000.0 + fixed;
    state.counters["steps"] = kAnsweredSteps;
    state.counters["wall_s"] = wall;
    state.counters["floor_s"] = floor;
    state.counters["fixed_waits_s"] = fixed;
    state.counters["over_floor"] = wall / floor;
    state.counters["per_step_ms"] = (wall - fixed) / kAnsweredSteps * 1000.0;
    state.counters["rss_kib"] = static_cast<double>(PeakRssKib());
    state.counters["rss_growth_kib"] = static_cast<double>(PeakRssKib() - rssBefore);
}
BENCHMARK(BM_Update256KiB)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

// A 256 KiB processor update against the virtual processor on a virtual HID
// bus whose replies arrive 1 ms late, with the production timings:
//
//   BM_Update256KiB: the update run in this process through the firmware
//     updater, as the desktop application runs it.
//   BM_CliUpgrade256KiB: the real `tqr905 upgrade` program run as a child
//     process against the same virtual processor; its peak memory is the
//     child's own (getrusage of the child).
//
// The floor is what the procedure itself costs: one reply latency per
// answered step (boot, start, one per 48-byte block, end) plus the fixed
// waits it mandates (the search pattern for 1 s, the 2 s pause after it, the
// 3 s wait for the loader after the boot step).
//
// Counters: wall_s, floor_s, over_floor (wall / floor), per_step_ms (wall
// time less the fixed waits, per answered step: the floor is 1 ms), and the
// peak resident set: rss_kib (of the benchmark process, with the virtual
// processor in it) and rss_growth_kib (what the update added to it), or
// child_rss_kib (of the tqr905 process, read from /proc every 20 ms).

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_child.h"
#include "bench/bench_host.h"
#include "firmware/firmware_updater.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kImageBytes = 256 * 1024;
constexpr double kLatencyMs = 1.0;
constexpr auto kRssPollInterval = std::chrono::milliseconds(20);
// Boot, start, one per 48-byte block, end.
constexpr int kAnsweredSteps = 2 + static_cast<int>((kImageBytes + 47) / 48) + 1;

long PeakRssKib(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    return usage.ru_maxrss;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
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
    return Seconds(t.searchPatternDuration + t.postSearchPause + t.postBootReopenWait);
}

// The session on the virtual processor, on a bus of its own, and the image
// to load into it.
class UpdateRig {
public:
    UpdateRig() : m_strImage(WriteImage(m_dir.Path())) {}
    bool Started() const { return m_host.Started(); }
    const std::string& Image() const { return m_strImage; }
    const std::string& Dir() const { return m_dir.Path(); }
    BenchHost& Host() { return m_host; }
    bool Installed() const {
        const auto installed = m_host.processor.LastInstalledImage();
        return installed && installed->Length() == kImageBytes;
    }

private:
    TempDir m_dir;
    std::string m_strImage;
    BenchHost m_host{kLatencyMs};
};

void ReportFloor(benchmark::State& state, double wall) {
    const double fixed = FixedWaitsSeconds(LinkTimings{});
    const double floor = kAnsweredSteps * kLatencyMs / 1000.0 + fixed;
    state.counters["steps"] = kAnsweredSteps;
    state.counters["wall_s"] = wall;
    state.counters["floor_s"] = floor;
    state.counters["fixed_waits_s"] = fixed;
    state.counters["over_floor"] = wall / floor;
    state.counters["per_step_ms"] = (wall - fixed) / kAnsweredSteps * 1000.0;
}

void BM_Update256KiB(benchmark::State& state) {
    UpdateRig rig;
    if (!rig.Started()) {
        state.SkipWithError("the virtual processor could not start");
        return;
    }
    CFirmwareUpdater updater(rig.Host().Manager());

    const long rssBefore = PeakRssKib(RUSAGE_SELF);
    double wall = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const UpgradeOutcome outcome = rig.Host().Session().RunUpgrade(updater, rig.Image());
        wall += Seconds(Clock::now() - start);
        if (outcome != UpgradeOutcome::Succeeded) {
            state.SkipWithError("the update did not succeed");
            break;
        }
    }
    wall /= static_cast<double>(state.iterations());

    if (!rig.Installed()) {
        state.SkipWithError("the device did not install the image");
        return;
    }
    ReportFloor(state, wall);
    state.counters["rss_kib"] = static_cast<double>(PeakRssKib(RUSAGE_SELF));
    state.counters["rss_growth_kib"] = static_cast<double>(PeakRssKib(RUSAGE_SELF) - rssBefore);
}
BENCHMARK(BM_Update256KiB)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// ---- The command-line tool as a child process ----

// TQR905_CLI names another tqr905 binary; by default the one built beside
// this benchmark.
#ifndef TQR905_CLI_PATH
#define TQR905_CLI_PATH nullptr
#endif
std::optional<std::string> CliPath() {
    return ProgramPath("TQR905_CLI", TQR905_CLI_PATH);
}

struct ChildRun {
    int status = -1;
    double seconds = 0;
    long peakRssKib = 0;
};

// Runs `args` with stdout and stderr going to `log`, watching its peak
// resident set until it exits.
std::optional<ChildRun> RunChild(const std::vector<std::string>& args, const std::string& log) {
    const auto start = Clock::now();
    const std::optional<pid_t> pid = SpawnChild(args, log);
    if (!pid) return std::nullopt;
    ChildRun run;
    for (;;) {
        const pid_t ended = ::waitpid(*pid, &run.status, WNOHANG);
        if (ended == *pid) break;
        if (ended < 0) return std::nullopt;
        run.peakRssKib = std::max(run.peakRssKib, ChildMemoryKib(*pid, "VmHWM:"));
        std::this_thread::sleep_for(kRssPollInterval);
    }
    run.seconds = Seconds(Clock::now() - start);
    return run;
}

void BM_CliUpgrade256KiB(benchmark::State& state) {
    const std::optional<std::string> cli = CliPath();
    if (!cli || ::access(cli->c_str(), X_OK) != 0) {
        state.SkipWithError("tqr905 is not built (or TQR905_CLI names no program)");
        return;
    }
    UpdateRig rig;
    if (!rig.Started()) {
        state.SkipWithError("the virtual processor could not start");
        return;
    }
    const std::string log = rig.Dir() + "/tqr905.log";
    double wall = 0;
    long peakRss = 0;
    for (auto _ : state) {
        const std::optional<ChildRun> run = RunChild({*cli, "upgrade", rig.Image()}, log);
        if (!run || !WIFEXITED(run->status) || WEXITSTATUS(run->status) != 0) {
            state.SkipWithError(("tqr905 upgrade failed: " + FileText(log)).c_str());
            return;
        }
        wall += run->seconds;
        peakRss = std::max(peakRss, run->peakRssKib);
    }
    if (!rig.Installed()) {
        state.SkipWithError("the device did not install the image");
        return;
    }
    ReportFloor(state, wall / static_cast<double>(state.iterations()));
    state.counters["child_rss_kib"] = static_cast<double>(peakRss);
}
BENCHMARK(BM_CliUpgrade256KiB)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

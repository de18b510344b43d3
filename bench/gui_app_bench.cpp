// The real tqr905-tune as a child process (offscreen platform) against the
// virtual processor in this process on a private bus at 1 ms reply latency:
//
//   BM_StartToOnline: from the start of the process to the main window's
//     first paint (shown_ms), and from there to the first read-all loaded
//     and shown (online_ms), beside the read-all's floor (floor_ms: 16
//     replies and 17 link pauses, as in the link benchmark); the resident
//     set once online (rss_kib) and its peak so far (peak_rss_kib); when
//     the link began connecting and reading, from the first paint
//     (connecting_ms, reading_ms; negative when before it).
//
// The application writes its marks when TQR905_STARTUP_MARKS names a file
// (see gui/app/startup_marks.h); both sides read the monotonic clock.

#include <benchmark/benchmark.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "bench/bench_child.h"
#include "link/link_timings.h"
#include "sim/sim_server.h"
#include "support/virtual_bus.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kLatencyMs = 1.0;
constexpr int kReadAllPackets = 16;
constexpr auto kOnlineTimeout = std::chrono::seconds(20);

#ifndef TQR905_TUNE_PATH
#define TQR905_TUNE_PATH nullptr
#endif
// TQR905_TUNE names another tqr905-tune binary; by default the one built
// beside this benchmark.
std::optional<std::string> TunePath() {
    return ProgramPath("TQR905_TUNE", TQR905_TUNE_PATH);
}

// The ns of a mark line ("shown 123"), nothing while it is not written.
std::optional<long long> MarkNs(const std::string& marks, const std::string& what) {
    std::istringstream lines(marks);
    std::string word;
    long long ns = 0;
    while (lines >> word >> ns) {
        if (word == what) return ns;
    }
    return std::nullopt;
}

double MsSince(Clock::time_point start, long long ns) {
    const long long startNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count();
    return static_cast<double>(ns - startNs) / 1e6;
}

void BM_StartToOnline(benchmark::State& state) {
    const std::optional<std::string> tune = TunePath();
    if (!tune || ::access(tune->c_str(), X_OK) != 0) {
        state.SkipWithError("tqr905-tune is not built (or TQR905_TUNE names no program)");
        return;
    }
    test_support::VirtualBus devices;  // named to the child by the environment
    TempDir dir;
    const std::string marks = dir.Path() + "/marks";
    ::setenv("TQR905_STARTUP_MARKS", marks.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    SimServerOptions options;
    options.latencyMs = kLatencyMs;
    try {
        devices.AddServer(options, devices.processor);
    } catch (const std::exception&) {
        state.SkipWithError("the virtual processor could not start");
        return;
    }

    double shown = 0, online = 0, rss = 0, peak = 0;
    std::map<std::string, double> steps;
    for (auto _ : state) {
        std::remove(marks.c_str());
        const auto start = Clock::now();
        const std::optional<pid_t> pid =
            SpawnChild({*tune, "--lang", "en"}, dir.Path() + "/app.log");
        if (!pid) {
            state.SkipWithError("tqr905-tune could not start");
            break;
        }
        std::optional<long long> shownNs, onlineNs;
        while (!onlineNs && Clock::now() - start < kOnlineTimeout) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const std::string text = FileText(marks);
            shownNs = MarkNs(text, "shown");
            onlineNs = MarkNs(text, "online");
        }
        const long rssKib = ChildMemoryKib(*pid, "VmRSS:");
        const long peakKib = ChildMemoryKib(*pid, "VmHWM:");
        ::kill(*pid, SIGTERM);
        int status = 0;
        ::waitpid(*pid, &status, 0);
        if (!shownNs || !onlineNs) {
            state.SkipWithError(
                ("tqr905-tune did not come online: " + FileText(dir.Path() + "/app.log")).c_str());
            break;
        }
        const std::string text = FileText(marks);
        for (const char* step : {"connecting", "reading"}) {
            if (const auto ns = MarkNs(text, step))
                steps[step] += static_cast<double>(*ns - *shownNs) / 1e6;
        }
        shown += MsSince(start, *shownNs);
        online += static_cast<double>(*onlineNs - *shownNs) / 1e6;
        rss = std::max(rss, static_cast<double>(rssKib));
        peak = std::max(peak, static_cast<double>(peakKib));
    }
    devices.RemoveDevices();
    const double runs =
        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    const double pauseMs =
        std::chrono::duration<double, std::milli>(LinkTimings{}.normalCyclePause).count();
    const double floor = kReadAllPackets * kLatencyMs + (kReadAllPackets + 1) * pauseMs;
    state.counters["shown_ms"] = shown / runs;
    state.counters["online_ms"] = online / runs;
    for (const auto& [step, ms] : steps)
        state.counters[step + "_ms"] = ms / runs;
    state.counters["floor_ms"] = floor;
    state.counters["over_floor"] = online / runs / floor;
    state.counters["rss_kib"] = rss;
    state.counters["peak_rss_kib"] = peak;
}
BENCHMARK(BM_StartToOnline)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

// How long a thread other than the link worker waits for g_csModel, the one
// lock of the model, while the link runs against the virtual processor with
// the production time-outs and pauses. The worker holds the lock through each
// whole normal cycle (write, reply wait, 10 ms pause), so a front end that
// takes it for an edit or a snapshot waits for the cycle in progress.
//
// A probe thread takes and drops the lock again and again, at random gaps of
// 0-20 ms (about two cycles) so that it lands anywhere in a cycle, as edits
// and repaints do, and records each wait:
//
//   BM_LockWaitPolling/1: while the link polls the device's status, 1 ms
//     reply latency.
//   BM_LockWaitSendEverything/1: while the link transfers the current
//     setting and the six stored groups (68 packets), queued as one batch.
//   BM_LockWaitSilentDevice: the device stops answering; from then until
//     the link is closed. The worker holds the lock through one whole read
//     wait before it reports the failure, then stops.
//
// Time is the longest wait of the iteration. Counters: p50_ms, p99_ms and
// max_ms of the waits (over all iterations), probes (how many), cycle_ms
// (one cycle as the link paces it: latency and pause; the worker hands the
// lock over between two cycles), over_cycle (waits longer than that) and
// over_target (waits longer than one cycle + 1 ms, the target).
// For the silent device also read_wait_ms, the bound of its longest wait.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/globals.h"
#include "bench/bench_host.h"
#include "edits/bulk_ops.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kPollingProbes = 400;
constexpr auto kLimit = 30s;
// What a wait may take beyond one cycle: the waiting thread's wake-up.
constexpr double kTargetSlackMs = 1.0;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The session on a virtual processor whose replies arrive `latencyMs` late.
using LockRig = BenchHost;

double CycleMs(LockRig& rig) {
    return rig.LatencyMs() + Ms(rig.Session().Timings().normalCyclePause);
}

// Takes the lock from a thread of its own until stopped or `limit` probes
// were taken, recording how long each take waited.
class LockProbe {
public:
    explicit LockProbe(int limit = 0) : m_nLimit(limit) {
        m_thread = std::thread([this] { Run(); });
    }
    ~LockProbe() { Stop(); }
    void Stop() {
        m_bStop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    int Taken() const { return m_nTaken; }
    // After Stop.
    const std::vector<double>& WaitsMs() const { return m_waits; }

private:
    void Run() {
        std::mt19937 rng(905);
        std::uniform_int_distribution<int> gapUs(0, 20000);
        while (!m_bStop && (m_nLimit == 0 || static_cast<int>(m_waits.size()) < m_nLimit)) {
            const Clock::time_point asked = Clock::now();
            { std::lock_guard lock(g_csModel); }
            m_waits.push_back(Ms(Clock::now() - asked));
            ++m_nTaken;
            std::this_thread::sleep_for(std::chrono::microseconds(gapUs(rng)));
        }
    }

    int m_nLimit;
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nTaken{0};
    std::vector<double> m_waits;
    std::thread m_thread;
};

// Every wait of a benchmark, turned into its counters at the end.
struct WaitTally {
    std::vector<double> waits;

    // The longest of these waits, also kept.
    double Add(const std::vector<double>& more) {
        waits.insert(waits.end(), more.begin(), more.end());
        return more.empty() ? 0.0 : *std::max_element(more.begin(), more.end());
    }
    void Report(benchmark::State& state, double cycleMs) {
        if (waits.empty()) return;
        std::sort(waits.begin(), waits.end());
        const auto at = [&](double q) {
            const auto i = static_cast<std::size_t>(q * static_cast<double>(waits.size() - 1));
            return waits[i];
        };
        state.counters["p50_ms"] = at(0.50);
        state.counters["p99_ms"] = at(0.99);
        state.counters["max_ms"] = waits.back();
        state.counters["probes"] = static_cast<double>(waits.size());
        state.counters["cycle_ms"] = cycleMs;
        const auto over = [&](double ms) {
            return static_cast<double>(waits.end() -
                                       std::upper_bound(waits.begin(), waits.end(), ms));
        };
        state.counters["over_cycle"] = over(cycleMs);
        state.counters["over_target"] = over(cycleMs + kTargetSlackMs);
    }
};

void BM_LockWaitPolling(benchmark::State& state) {
    LockRig rig(static_cast<double>(state.range(0)));
    if (!rig.Connect()) {
        state.SkipWithError("the device did not come online");
        return;
    }
    WaitTally tally;
    for (auto _ : state) {
        LockProbe probe(kPollingProbes);
        // The front end's loop keeps draining meanwhile, as it would.
        const WaitEnd end =
            rig.Session().RunUntil([&] { return probe.Taken() >= kPollingProbes; }, kLimit);
        probe.Stop();
        if (end != WaitEnd::Done) {
            state.SkipWithError("the link went down");
            break;
        }
        state.SetIterationTime(tally.Add(probe.WaitsMs()) / 1000.0);
    }
    tally.Report(state, CycleMs(rig));
}
BENCHMARK(BM_LockWaitPolling)
    ->ArgName("latency_ms")
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_LockWaitSendEverything(benchmark::State& state) {
    LockRig rig(static_cast<double>(state.range(0)));
    if (!rig.Connect()) {
        state.SkipWithError("the device did not come online");
        return;
    }
    CTunerSession& session = rig.Session();
    WaitTally tally;
    for (auto _ : state) {
        const int transfersBefore = session.TransfersDone();
        LockProbe probe;
        {
            std::lock_guard lock(g_csModel);
            if (!QueueSendEverything(session.Command(), session.IsConnected())) {
                state.SkipWithError("nothing was queued");
                break;
            }
        }
        const WaitEnd end =
            session.RunUntil([&] { return session.TransfersDone() > transfersBefore; }, kLimit);
        probe.Stop();
        if (end != WaitEnd::Done) {
            state.SkipWithError("the transfer did not finish");
            break;
        }
        state.SetIterationTime(tally.Add(probe.WaitsMs()) / 1000.0);
    }
    tally.Report(state, CycleMs(rig));
}
BENCHMARK(BM_LockWaitSendEverything)
    ->ArgName("latency_ms")
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

void BM_LockWaitSilentDevice(benchmark::State& state) {
    LockRig rig(1.0);
    CTunerSession& session = rig.Session();
    WaitTally tally;
    for (auto _ : state) {
        if (!rig.Connect()) {
            state.SkipWithError("the device did not come online");
            break;
        }
        const std::size_t shownBefore = session.Shown().size();
        LockProbe probe;
        rig.processor.InjectFault(CVirtualProcessor::Fault::DropReply, 1);
        // Until the link failure has been reported and the device closed.
        session.RunUntil([&] { return session.State() == ConnectionState::Disconnected; }, kLimit,
                         false);
        probe.Stop();
        session.Drain();  // the failure message, posted at the close
        rig.processor.ClearFaults();
        if (session.Shown().size() == shownBefore ||
            session.Shown().back() != TextId::UnableToConnect) {
            state.SkipWithError("the link did not fail");
            break;
        }
        state.SetIterationTime(tally.Add(probe.WaitsMs()) / 1000.0);
    }
    tally.Report(state, CycleMs(rig));
    state.counters["read_wait_ms"] = Ms(session.Timings().readWait);
}
BENCHMARK(BM_LockWaitSilentDevice)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();

// The link against the virtual processor on a virtual bus, with the
// production time-outs and pauses. The argument is the latency (ms) the
// virtual processor puts on every reply, standing in for USB and the device.
//
//   BM_IdentifyToOnline/<ms>: from the identification reply reaching the
//     connection manager to the model being online: the whole read-all
//     (16 requests).
//   BM_WriteSetting/<ms>: writing one setting as the current one with the
//     outputs muted around it, as a loaded ".dsps" goes to the device
//     (20 packets), from the batch being queued to its last reply.
//   BM_SendEverything/<ms>: the current setting and the six stored groups
//     (68 packets), likewise.
//   BM_PollExchange/<ms>: one status poll as two normal cycles (one queues
//     the poll, one writes it and reads the reply), run on the benchmark's
//     thread without the pause. The CPU column is the link's own time
//     (thread CPU time: waits for the device cost nothing); Time is the wall
//     time including the device's latency.
//
// Each of the first three reports its floor beside it: what the device and
// the pacing the link must keep cost, with nothing of ours added. Every
// normal cycle ends with a 10 ms pause under the model lock, a cycle that
// finds the queue empty only queues the status poll, and a packet costs one
// cycle and one reply latency:
//
//   read-all:  16 x latency + 17 x pause   (the pause after the
//              identification and after the last reply both hold the lock
//              the user-interface side needs to queue the reads and to load
//              the model)
//   transfers: (ahead + n) x latency + (ahead + n - 1) x pause, where ahead
//              is the status poll already queued when the batch arrives
//              (0 or 1) and the batch ends with its last reply.
//
// Counters: floor_ms and over_floor (time / floor, averaged over the
// iterations), ahead (packets queued before the batch, on average) and
// lock_wait_ms (how long queueing the batch waited for the cycle in progress
// to end: what a click adds before the transfer starts).

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>

#include "base/globals.h"
#include "bench/bench_host.h"
#include "edits/bulk_ops.h"
#include "link/hid_link.h"
#include "protocol/ktv_command.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReadAllPackets = 16;
constexpr int kWriteSettingPackets = 20;
constexpr int kSendEverythingPackets = 68;
constexpr auto kTransferLimit = std::chrono::seconds(30);

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double PauseSeconds(const LinkTimings& timings) {
    return Seconds(timings.normalCyclePause);
}

bool IsOnline(BenchHost& host) {
    return host.Session().State() == ConnectionState::Online;
}

// Sums of an iteration's figures, turned into counters at the end.
struct FloorTally {
    double floor = 0;
    double ratio = 0;
    double ahead = 0;
    double lockWait = 0;
    int runs = 0;

    void Add(double seconds, double floorSeconds, int packetsAhead, double lockWaitSeconds) {
        floor += floorSeconds;
        ratio += seconds / floorSeconds;
        ahead += packetsAhead;
        lockWait += lockWaitSeconds;
        ++runs;
    }
    void Report(benchmark::State& state, bool withBatch) const {
        if (runs == 0) return;
        state.counters["floor_ms"] = floor / runs * 1000.0;
        state.counters["over_floor"] = ratio / runs;
        if (!withBatch) return;
        state.counters["ahead"] = ahead / runs;
        state.counters["lock_wait_ms"] = lockWait / runs * 1000.0;
    }
};

// At 0 and 1 ms of reply latency, timed from the link's own stamps.
void AtBothLatencies(benchmark::internal::Benchmark* b) {
    b->ArgName("latency_ms")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
}

void BM_IdentifyToOnline(benchmark::State& state) {
    BenchHost host(static_cast<double>(state.range(0)));
    if (!host.Started()) {
        state.SkipWithError("unable to start the virtual processor");
        return;
    }
    const double pause = PauseSeconds(host.Session().Timings());
    const double floor = kReadAllPackets * host.LatencySeconds() + (kReadAllPackets + 1) * pause;
    FloorTally tally;
    for (auto _ : state) {
        Clock::time_point identified{};
        host.Manager().OnConnectButton();
        const bool online = host.RunObserving(
            [&](const UiMessage& m) {
                if (m.msg == UM_DEVICE_ID) identified = Clock::now();
            },
            [&] { return IsOnline(host); }, kTransferLimit);
        const double seconds = Seconds(Clock::now() - identified);
        if (!online) {
            state.SkipWithError("the read-all did not finish");
            break;
        }
        state.SetIterationTime(seconds);
        tally.Add(seconds, floor, 0, 0);
        host.Manager().Disconnect();
        if (!host.RunUntilState(ConnectionState::Disconnected)) {
            state.SkipWithError("the link did not close");
            break;
        }
    }
    tally.Report(state, false);
}
BENCHMARK(BM_IdentifyToOnline)->Apply(AtBothLatencies)->Iterations(5);

// Queues a batch of `packets` packets with `queue` while the link polls,
// and times it to the end of the transfer.
void RunBatch(benchmark::State& state, int packets,
              const std::function<bool(CKTVCommand&, bool connected)>& queue) {
    BenchHost host(static_cast<double>(state.range(0)));
    if (!host.Started()) {
        state.SkipWithError("unable to start the virtual processor");
        return;
    }
    if (!host.Connect()) {
        state.SkipWithError("the device did not come online");
        return;
    }
    const double latency = host.LatencySeconds();
    const double pause = PauseSeconds(host.Session().Timings());
    FloorTally tally;
    for (auto _ : state) {
        bool done = false;
        const Clock::time_point asked = Clock::now();
        Clock::time_point queued{};
        int ahead = 0;
        {
            std::lock_guard lock(g_csModel);
            queued = Clock::now();
            ahead = host.Command().GetCount();
            if (!queue(host.Command(), host.Manager().IsConnected())) {
                state.SkipWithError("nothing was queued");
                break;
            }
        }
        Clock::time_point finished{};
        const bool ended = host.RunObserving(
            [&](const UiMessage& m) {
                if (m.msg == UM_TRANSFER_DONE && !done) {
                    finished = Clock::now();
                    done = true;
                }
            },
            [&] { return done; }, kTransferLimit);
        if (!ended || !IsOnline(host)) {
            state.SkipWithError("the transfer did not finish");
            break;
        }
        const double seconds = Seconds(finished - queued);
        state.SetIterationTime(seconds);
        const int cycles = ahead + packets;
        tally.Add(seconds, cycles * latency + (cycles - 1) * pause, ahead, Seconds(queued - asked));
    }
    tally.Report(state, true);
}

void BM_WriteSetting(benchmark::State& state) {
    RunBatch(state, kWriteSettingPackets, [](CKTVCommand& cmd, bool connected) {
        return QueueWriteGroup(cmd, 0, connected, nullptr);
    });
}
BENCHMARK(BM_WriteSetting)->Apply(AtBothLatencies)->Iterations(10);

void BM_SendEverything(benchmark::State& state) {
    RunBatch(state, kSendEverythingPackets,
             [](CKTVCommand& cmd, bool connected) { return QueueSendEverything(cmd, connected); });
}
BENCHMARK(BM_SendEverything)->Apply(AtBothLatencies)->Iterations(5);

void BM_PollExchange(benchmark::State& state) {
    BenchHost host(static_cast<double>(state.range(0)));
    CHidLink link(host.Session().Registry(), host.Command(), nullptr);
    if (!host.Started() || !link.OpenFirstMatching()) {
        state.SkipWithError(("unable to open: " + link.LastError()).c_str());
        return;
    }
    for (auto _ : state) {
        std::lock_guard lock(g_csModel);
        link.MarkCycleStart();
        link.NormalCycle();  // queues the poll
        link.MarkCycleStart();
        link.NormalCycle();  // writes it, reads the reply
    }
    if (host.Queue().Size() > 0) state.SkipWithError("the link reported failures");
    state.counters["polls"] = host.processor.GetCounts().statusPolls;
    link.Close();
}
BENCHMARK(BM_PollExchange)->ArgName("latency_ms")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

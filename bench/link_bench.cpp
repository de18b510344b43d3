// The link against the virtual processor on a virtual bus, with the
// production time-outs and pauses:
//
//   BM_IdentifyToOnline/<latency ms>: from the identification reply reaching
//     the connection manager to the model being online, i.e. the whole
//     read-all (16 requests) with the 10 ms pause after every cycle.
//   BM_PollExchange/<latency ms>: one status poll as two normal cycles (one
//     queues the poll, one writes it and reads the reply), run on the
//     benchmark's thread without the pause. The CPU column is the link's own
//     time (thread CPU time: waits for the device cost nothing); Time is the
//     wall time including the device's latency.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "base/globals.h"
#include "link/connection_manager.h"
#include "link/hid_link.h"
#include "link/message_queue.h"
#include "link/model_link.h"
#include "link/vhid_backend.h"
#include "model/ktv_data.h"
#include "model/startup_contents.h"
#include "protocol/ktv_command.h"
#include "sim/sim_server.h"

namespace {

using Clock = std::chrono::steady_clock;

// A virtual processor on a private bus (and claim directory), and the
// message sink the link posts to; all removed afterwards.
class BenchDevice {
public:
    explicit BenchDevice(double latencyMs) {
        char pattern[] = "/tmp/tqrbench-XXXXXX";
        m_strDir = ::mkdtemp(pattern);
        ::setenv("TQR905_VHID_DIR", m_strDir.c_str(), 1);
        ::setenv("TQR905_CLAIMS_DIR", (m_strDir + "/claims").c_str(), 1);
        m_registry.Add(std::make_unique<VhidBackend>(m_strDir));
        InitStartupContents();
        SimServerOptions options;
        options.busDir = m_strDir;
        options.latencyMs = latencyMs;
        m_server = std::make_unique<SimServer>(m_processor, options);
        m_bStarted = m_server->Start().Ok();
        g_pMessageSink = &m_queue;
    }
    ~BenchDevice() {
        g_pMessageSink = nullptr;
        g_bOnline = false;
        m_server->Stop();
        std::error_code ec;
        std::filesystem::remove_all(m_strDir, ec);
    }
    bool Started() const { return m_bStarted; }
    const HidBackendRegistry& Registry() const { return m_registry; }
    CVirtualProcessor& Processor() { return m_processor; }
    CMessageQueue& Queue() { return m_queue; }

private:
    std::string m_strDir;
    HidBackendRegistry m_registry;
    CVirtualProcessor m_processor;
    std::unique_ptr<SimServer> m_server;
    bool m_bStarted = false;
    CMessageQueue m_queue;
};

void BM_IdentifyToOnline(benchmark::State& state) {
    BenchDevice device(static_cast<double>(state.range(0)));
    if (!device.Started()) {
        state.SkipWithError("unable to start the virtual processor");
        return;
    }
    CKTV_Data model;
    CModelLink modelLink(model);
    CKTVCommand command;
    CConnectionManager manager(device.Registry(), command, &modelLink);

    for (auto _ : state) {
        Clock::time_point identified{};
        const auto handle = [&](const UiMessage& m) {
            if (m.msg == UM_DEVICE_ID) identified = Clock::now();
            manager.HandleMessage(m.msg, m.wParam, m.lParam);
        };
        manager.OnConnectButton();
        const bool online = device.Queue().RunUntil(
            handle, [&] { return manager.State() == ConnectionState::Online; },
            Clock::now() + std::chrono::seconds(30));
        const Clock::time_point done = Clock::now();
        if (!online) {
            state.SkipWithError("the read-all did not finish");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(done - identified).count());
        manager.Disconnect();
        device.Queue().Clear();
    }
    manager.Shutdown();
}
BENCHMARK(BM_IdentifyToOnline)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

void BM_PollExchange(benchmark::State& state) {
    BenchDevice device(static_cast<double>(state.range(0)));
    CKTVCommand command;
    CHidLink link(device.Registry(), command, nullptr);
    if (!device.Started() || !link.OpenFirstMatching()) {
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
    if (device.Queue().Size() > 0) state.SkipWithError("the link reported failures");
    state.counters["polls"] = device.Processor().GetCounts().statusPolls;
    link.Close();
}
BENCHMARK(BM_PollExchange)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

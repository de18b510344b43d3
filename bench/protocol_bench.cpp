// The protocol's own CPU time, without any waiting for the device:
//
//   BM_ParseReplies: reply parsing throughput over input reports as the link
//     hands them over, a typical mix of acknowledges, status polls and whole
//     output blocks (target over 100 MB/s).
//   BM_PumpCycle/<change>: one exchange of the link worker's pump with the
//     waits taken out: NextPendingChange builds the packet (or the status
//     poll), the frame is cut into output reports, and the device's reply
//     reports are parsed until the frame completes and the packet leaves the
//     queue (target under 20 us). The reply is what the virtual processor
//     answers to that very request, prepared once.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "base/globals.h"
#include "model/ktv_data.h"
#include "model/startup_contents.h"
#include "protocol/frame_format.h"
#include "protocol/ktv_command.h"
#include "sim/virtual_processor.h"
#include "tests/protocol/reply_bytes.h"

namespace {

using Bytes = std::vector<BYTE>;
using Report = CVirtualProcessor::Report;

// Every reply starts in a fresh input report; the last one is zero-padded.
void AppendAsReports(std::vector<Bytes>& reports, const Bytes& reply) {
    for (size_t at = 0; at < reply.size(); at += kReportPayload) {
        Bytes report(kReportPayload, 0);
        std::copy(reply.begin() + static_cast<long>(at),
                  reply.begin() + static_cast<long>(std::min(reply.size(), at + kReportPayload)),
                  report.begin());
        reports.push_back(std::move(report));
    }
}

std::vector<Bytes> ReplyStream(int blocks) {
    std::vector<Bytes> reports;
    Bytes status(kStatusDataSize, 0);
    Bytes block(kOutBlockSize);
    for (int i = 0; i < kOutBlockSize; ++i)
        block[i] = static_cast<BYTE>(i);
    for (int i = 0; i < blocks; ++i) {
        AppendAsReports(reports, ReplyBytes(REPLY_ACK, 0, 0, 0, 0, {}));
        AppendAsReports(reports, ReplyBytes(REPLY_DATA, 0, BT_SYSTEM, SYS_STATUS, 0, status));
        AppendAsReports(reports, ReplyBytes(REPLY_DATA, 0, BT_OUTPUT, i % kOutputCount, 0, block));
    }
    return reports;
}

void BM_ParseReplies(benchmark::State& state) {
    const std::vector<Bytes> reports = ReplyStream(static_cast<int>(state.range(0)));
    CKTVCommand cmd;
    int64_t frames = 0;
    for (auto _ : state) {
        for (const Bytes& report : reports) {
            frames += cmd.ParseBytes(report.data(), kReportPayload) ? 1 : 0;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(reports.size()) *
                            kReportPayload);
    state.counters["frames"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ParseReplies)->Arg(64);

// What the pump finds pending. The changes sit on the last channel's last
// filter, so NextPendingChange walks past everything else first.
enum PumpChange : int { kStatusPoll = 0, kBandGain = 1, kCrossover = 2 };

void MarkChange(CKTV_Data& model, int change) {
    CKTV_OutData* channel = model.GetOutput(kOutputCount - 1);
    if (change == kBandGain) channel->GetBand(kOutBandCount - 1)->SetPending(true);
    if (change == kCrossover) channel->GetHighPass()->SetPending(true);
}

// The cycle that finds the queue empty asks the model for the next change;
// the next one writes it. Both are one exchange here.
CSendData& QueueNextChange(CKTV_Data& model, CKTVCommand& cmd) {
    cmd.PushPacket(model.NextPendingChange());
    return *cmd.PeekHead();
}

// True when the reply completed a frame and took the packet off the queue.
bool ParseReply(CKTVCommand& cmd, const std::vector<Report>& reply) {
    for (const Report& report : reply) {
        if (cmd.ParseBytes(report.data() + 1, kReportPayload)) return cmd.GetCount() == 0;
    }
    return false;
}

// The device's answer to the request the pump makes for `change`.
std::vector<Report> DeviceReply(CKTV_Data& model, CKTVCommand& cmd, int change) {
    CVirtualProcessor device;
    cmd.SetShownSource(device.ActiveSource());  // the status poll then posts nothing
    MarkChange(model, change);
    std::lock_guard lock(g_csModel);
    CSendData& packet = QueueNextChange(model, cmd);
    Report out{};
    std::vector<Report> reply;
    while (packet.FillReport(out.data())) {
        for (const Report& in : device.HandleOutputReport(out).reports)
            reply.push_back(in);
    }
    cmd.ClearQueue();
    return reply;
}

void BM_PumpCycle(benchmark::State& state) {
    const int change = static_cast<int>(state.range(0));
    InitStartupContents();
    CKTV_Data model;
    g_bOnline = true;
    CKTVCommand cmd;
    const std::vector<Report> reply = DeviceReply(model, cmd, change);
    Report out{};
    int64_t bytesOut = 0;
    for (auto _ : state) {
        MarkChange(model, change);
        std::lock_guard lock(g_csModel);
        CSendData& packet = QueueNextChange(model, cmd);
        while (packet.FillReport(out.data())) {
            benchmark::DoNotOptimize(out.data());
            bytesOut += kReportSize;
        }
        if (!ParseReply(cmd, reply)) {
            state.SkipWithError("the reply did not complete the exchange");
            break;
        }
    }
    g_bOnline = false;
    state.counters["reports_out"] = static_cast<double>(bytesOut / kReportSize) /
                                    static_cast<double>(std::max<int64_t>(state.iterations(), 1));
    state.counters["reports_in"] = static_cast<double>(reply.size());
}
BENCHMARK(BM_PumpCycle)
    ->ArgName("change")
    ->Arg(kStatusPoll)
    ->Arg(kBandGain)
    ->Arg(kCrossover)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// Reply parsing throughput: the bytes of input reports as the link hands them
// over, a typical mix of acknowledges, status polls and whole output blocks.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "protocol/frame_format.h"
#include "protocol/ktv_command.h"
#include "tests/protocol/reply_bytes.h"

namespace {

using Bytes = std::vector<BYTE>;

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

}  // namespace

BENCHMARK_MAIN();

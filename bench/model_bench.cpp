// Load and save of the preset files against the live model, and the idle
// pump cycle the link worker runs every 10 ms.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "base/globals.h"
#include "model/ktv_data.h"
#include "model/startup_contents.h"
#include "presets/preset_file.h"

namespace {

struct ScratchFile {
    explicit ScratchFile(const char* name)
        : path((std::filesystem::temp_directory_path() / (std::string("tqr-model-bench-") + name))
                   .string()) {}
    ~ScratchFile() { std::filesystem::remove(path); }
    std::string path;
};

void BM_SaveAllData(benchmark::State& state) {
    InitStartupContents();
    CKTV_Data model;
    ScratchFile file("save.dspa");
    for (auto _ : state) {
        if (!SaveAllData(model, file.path)) state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveAllData)->Unit(benchmark::kMillisecond);

void BM_LoadAllData(benchmark::State& state) {
    InitStartupContents();
    CKTV_Data model;
    ScratchFile file("load.dspa");
    if (!SaveAllData(model, file.path)) state.SkipWithError("save failed");
    for (auto _ : state) {
        if (!LoadAllData(model, file.path)) state.SkipWithError("load failed");
    }
}
BENCHMARK(BM_LoadAllData)->Unit(benchmark::kMicrosecond);

void BM_LoadSingleSet(benchmark::State& state) {
    InitStartupContents();
    CKTV_Data model;
    ScratchFile file("load.dsps");
    if (!SaveSingleSet(model, file.path)) state.SkipWithError("save failed");
    for (auto _ : state) {
        if (!LoadSingleSet(model, file.path)) state.SkipWithError("load failed");
    }
}
BENCHMARK(BM_LoadSingleSet)->Unit(benchmark::kMicrosecond);

// Encoding and decoding alone, without the disk.
void BM_CaptureAndEncodeAllData(benchmark::State& state) {
    InitStartupContents();
    CKTV_Data model;
    for (auto _ : state) {
        benchmark::DoNotOptimize(EncodePresetFile(*CaptureAllData(model)));
    }
}
BENCHMARK(BM_CaptureAndEncodeAllData)->Unit(benchmark::kMicrosecond);

void BM_IdlePump(benchmark::State& state) {
    InitStartupContents();
    CKTV_Data model;
    g_bOnline = false;
    for (auto _ : state)
        benchmark::DoNotOptimize(model.NextPendingChange());
}
BENCHMARK(BM_IdlePump);

}  // namespace

BENCHMARK_MAIN();

#pragma once
// main() of the benchmarks that paint: widgets without a display, at the
// application's fixed 96 dpi.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPointingDevice>
#include <cstdlib>

inline int RunGuiBenchmarks(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_FONT_DPI", "96", 1);
    setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
    QApplication app(argc, argv);
    // Made here, before any benchmark's thread makes mouse events.
    QPointingDevice::primaryPointingDevice();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

#pragma once
// The equalizer of one channel: its band filters, then the high-pass (second
// to last) and the low-pass filter (last), and the combined curve of them all.
// Element order is what the rest of the model relies on.

#include <array>
#include <memory>
#include <span>
#include <vector>

#include "base/types.h"
#include "response/filter.h"

constexpr int kBandRecordSize = 8;

// How the two crossover filters of an equalizer are set up.
struct CrossoverSetup {
    int nIndex = 32;  // item number both filters carry
    int nDragMode = 0;
    int nHighPassFreq = kFreqMin;
    int nLowPassFreq = kFreqMax;
    bool bTwoSlopes = false;
};

class CKTVEQ {
public:
    CKTVEQ() { SetRect(0, 0); }
    CKTVEQ(const CKTVEQ&) = delete;
    CKTVEQ& operator=(const CKTVEQ&) = delete;
    CKTVEQ(CKTVEQ&&) = default;
    CKTVEQ& operator=(CKTVEQ&&) = default;

    // Output channel: bands 0..nLastBand at the ISO centre frequencies, then
    // the crossover pair. An output channel is BuildBands(30, 32, dragMode, 20, 20000).
    void BuildBands(int nLastBand, int nXoverIndex, int nDragMode, int nHighPassFreq,
                    int nLowPassFreq);
    // Any equalizer: one peaking band per frequency (m_nIndex = position),
    // then the crossover pair. Replaces what was there.
    void BuildBands(std::span<const int> bandFreqs, const CrossoverSetup& xover);
    // The input equalizers: nine bands, the outer two 6 dB/Oct shelves, and a
    // two-slope 12 dB/Oct Butterworth crossover pair on item 10.
    void BuildInputBands();
    // The effect equalizer: three peaking bands and a two-slope Butterworth
    // crossover pair on item 8.
    void BuildEffectBands();

    int GetFilterCount() const { return static_cast<int>(m_filters.size()); }
    int GetBandCount() const;
    CFilter* GetFilter(int i);
    const CFilter* GetFilter(int i) const;
    // Band i (0 .. GetBandCount() - 1), else nullptr.
    CFilter* GetBand(int i);
    const CFilter* GetBand(int i) const;
    CFilter* GetHighPass();
    const CFilter* GetHighPass() const;
    CFilter* GetLowPass();
    const CFilter* GetLowPass() const;

    // The 8-byte device form of band i: sent frequency, 400 + gain index,
    // bandwidth index (little-endian words), slope, type. False for no such band.
    bool GetBandRecord(int i, BYTE out[kBandRecordSize]) const;
    bool SetBandRecord(int i, const BYTE in[kBandRecordSize]);

    // Plot size for every filter and for the curve points.
    void SetRect(int nWidth, int nHeight);
    const PlotGeometry& GetPlot() const { return m_plot; }

    // Sum in dB of every filter's response at each grid point.
    ResponseCurve TotalResponse() const;
    // Curve points (client coordinates of the graph) of the sum, or of one
    // filter alone; nothing is clamped, points may lie outside the plot.
    void SumCurve();
    void SingleCurve(int index);
    const std::array<Point, kGridPoints>& GetCurvePoints() const { return m_aptCurve; }
    const std::array<PointF, kGridPoints>& GetCurvePointsF() const { return m_aptCurveF; }

private:
    void MakeCurve(const ResponseCurve& db);

    std::vector<std::unique_ptr<CFilter>> m_filters;
    PlotGeometry m_plot;
    std::array<Point, kGridPoints> m_aptCurve{};
    std::array<PointF, kGridPoints> m_aptCurveF{};
};

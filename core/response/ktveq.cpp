#include "response/ktveq.h"

#include <algorithm>
#include <cassert>

#include "tables/value_tables.h"

namespace {

constexpr int kInputXoverIndex = 10;
constexpr int kEffectXoverIndex = 8;
constexpr int kEffectDragMode = 6;
constexpr int kShelfSlope6dB = 0;
constexpr int kXoverSlope12dB = 0;

// BandRecord fields
constexpr int kRecFreq = 0;
constexpr int kRecGain = 2;
constexpr int kRecBandwidth = 4;
constexpr int kRecSlope = 6;
constexpr int kRecType = 7;
constexpr int kGainWordBase = 400;  // word = 400 + gain index

std::unique_ptr<CFilter> MakeCrossover(int type, int freq, const CrossoverSetup& xover) {
    auto filter = std::make_unique<CFilter>();
    filter->SetType(type);
    filter->SetHasMarker(false);
    filter->SetTwoSlopes(xover.bTwoSlopes);
    filter->SetFreq(freq, false);
    filter->SetIndex(xover.nIndex);
    filter->SetDragMode(xover.nDragMode);
    return filter;
}

}  // namespace

void CKTVEQ::BuildBands(int nLastBand, int nXoverIndex, int nDragMode, int nHighPassFreq,
                        int nLowPassFreq) {
    const int count = std::min(nLastBand + 1, static_cast<int>(kIsoBandFreq.size()));
    BuildBands(std::span<const int>(kIsoBandFreq.data(), std::max(count, 0)),
               {nXoverIndex, nDragMode, nHighPassFreq, nLowPassFreq, false});
}

void CKTVEQ::BuildBands(std::span<const int> bandFreqs, const CrossoverSetup& xover) {
    m_filters.clear();
    for (std::size_t i = 0; i < bandFreqs.size(); ++i) {
        auto band = std::make_unique<CFilter>();
        band->SetFreq(bandFreqs[i], true);
        band->SetIndex(static_cast<int>(i));
        m_filters.push_back(std::move(band));
    }
    m_filters.push_back(MakeCrossover(kBandHighPass, xover.nHighPassFreq, xover));
    m_filters.push_back(MakeCrossover(kBandLowPass, xover.nLowPassFreq, xover));
    if (m_plot.width > 0) SetRect(m_plot.width, m_plot.height);
}

void CKTVEQ::BuildInputBands() {
    BuildBands(kInputBandFreq, {kInputXoverIndex, 0, kFreqMin, kFreqMax, true});
    CFilter* lowShelf = GetBand(0);
    CFilter* highShelf = GetBand(GetBandCount() - 1);
    lowShelf->SetType(kBandLowShelf);
    lowShelf->SetSlope(kShelfSlope6dB, false);
    highShelf->SetType(kBandHighShelf);
    highShelf->SetSlope(kShelfSlope6dB, false);
    for (CFilter* xover : {GetHighPass(), GetLowPass()}) {
        xover->SetSlope(kXoverSlope12dB, false);
        xover->SetXoverType(kButterworth, false);
    }
}

void CKTVEQ::BuildEffectBands() {
    BuildBands(kEffectBandFreq, {kEffectXoverIndex, kEffectDragMode, kFreqMin, kFreqMax, true});
    for (CFilter* xover : {GetHighPass(), GetLowPass()})
        xover->SetXoverType(kButterworth, false);
}

// ---------------------------------------------------------------- access

int CKTVEQ::GetBandCount() const {
    return std::max(GetFilterCount() - 2, 0);
}

CFilter* CKTVEQ::GetFilter(int i) {
    return i >= 0 && i < GetFilterCount() ? m_filters[i].get() : nullptr;
}

const CFilter* CKTVEQ::GetFilter(int i) const {
    return i >= 0 && i < GetFilterCount() ? m_filters[i].get() : nullptr;
}

CFilter* CKTVEQ::GetBand(int i) {
    return i >= 0 && i < GetBandCount() ? m_filters[i].get() : nullptr;
}

const CFilter* CKTVEQ::GetBand(int i) const {
    return i >= 0 && i < GetBandCount() ? m_filters[i].get() : nullptr;
}

CFilter* CKTVEQ::GetHighPass() {
    CFilter* filter = GetFilter(GetFilterCount() - 2);
    assert(!filter || filter->GetType() == kBandHighPass);
    return filter;
}

const CFilter* CKTVEQ::GetHighPass() const {
    return const_cast<CKTVEQ*>(this)->GetHighPass();
}

CFilter* CKTVEQ::GetLowPass() {
    CFilter* filter = GetFilter(GetFilterCount() - 1);
    assert(!filter || filter->GetType() == kBandLowPass);
    return filter;
}

const CFilter* CKTVEQ::GetLowPass() const {
    return const_cast<CKTVEQ*>(this)->GetLowPass();
}

// ---------------------------------------------------------------- band records

bool CKTVEQ::GetBandRecord(int i, BYTE out[kBandRecordSize]) const {
    const CFilter* band = GetBand(i);
    if (!band) return false;
    PutWord(out + kRecFreq, static_cast<unsigned>(band->GetSentFreq()));
    PutWord(out + kRecGain, static_cast<unsigned>(kGainWordBase + band->GetGainIndex()));
    PutWord(out + kRecBandwidth, static_cast<unsigned>(band->GetBandwidthIndex()));
    out[kRecSlope] = static_cast<BYTE>(band->GetSlope());
    out[kRecType] = static_cast<BYTE>(band->GetType());
    return true;
}

bool CKTVEQ::SetBandRecord(int i, const BYTE in[kBandRecordSize]) {
    CFilter* band = GetBand(i);
    if (!band) return false;
    band->SetGainIndex(GetWord(in + kRecGain) - kGainWordBase);
    band->SetBandwidthIndex(GetWord(in + kRecBandwidth));
    band->SetSlope(in[kRecSlope], true);
    band->SetType(in[kRecType]);
    band->SetFreq(GetWord(in + kRecFreq), true);
    band->StepSentFreq(false);
    return true;
}

// ---------------------------------------------------------------- curves

void CKTVEQ::SetRect(int nWidth, int nHeight) {
    m_plot.width = nWidth;
    m_plot.height = nHeight;
    for (int i = 0; i < kGridPoints; ++i) {
        m_aptCurve[i].x = m_plot.FreqToX(g_adGridFreq[i]) + kPlotLeft;
        m_aptCurveF[i].x = static_cast<float>(m_plot.FreqToXf(g_adGridFreq[i]) + kPlotLeft);
    }
    for (auto& filter : m_filters)
        filter->SetRect(nWidth, nHeight);
}

ResponseCurve CKTVEQ::TotalResponse() const {
    ResponseCurve total{};
    for (const auto& filter : m_filters) {
        const ResponseCurve& r = filter->GetResponse();
        for (int i = 0; i < kGridPoints; ++i)
            total[i] += r[i];
    }
    return total;
}

void CKTVEQ::MakeCurve(const ResponseCurve& db) {
    // The x coordinates depend on the plot size alone and are set by SetRect.
    for (int i = 0; i < kGridPoints; ++i) {
        m_aptCurve[i].y = m_plot.DbToY(db[i]) + kPlotTop;
        m_aptCurveF[i].y = static_cast<float>(m_plot.DbToYf(db[i]) + kPlotTop);
    }
}

void CKTVEQ::SumCurve() {
    MakeCurve(TotalResponse());
}

void CKTVEQ::SingleCurve(int index) {
    const CFilter* filter = GetFilter(index);
    MakeCurve(filter ? filter->GetResponse() : ResponseCurve{});
}

#include "response/filter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/globals.h"
#include "tables/value_tables.h"

namespace {

constexpr int kMarkerSize = 16;
constexpr int kMarkerHalf = kMarkerSize / 2;
// Bands from this index on keep their marker inside the plot at the left edge.
constexpr int kFirstBandInsideLeftEdge = 9;
constexpr double kDragBandwidthMin = 0.05;
constexpr double kDragBandwidthMax = 3.0;
// Levels on which the crossover markers sit (their top edge).
constexpr double kHighPassMarkerDb = -12.0;
constexpr double kLowPassMarkerDb = -15.0;

std::string FormatText(const char* format, double value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

}  // namespace

CFilter::CFilter() {
    ComputeResponse();
}

void CFilter::Mark() {
    m_bPending = g_bOnline;
}

void CFilter::PlaceMarker() {
    if (m_bHasMarker)
        PlaceBandMarker();
    else
        PlaceXoverMarker();
}

double BandwidthOfIndex(int n) {
    return n < kBandwidthIndexFloor ? kBandwidthFloor
                                    : IndexToBandwidth(std::min(n, kBandwidthIndexCount - 1));
}

// ---------------------------------------------------------------- setters

void CFilter::SetFreq(int nFreq, bool bStep) {
    m_nFreq = nFreq;
    if (!bStep) {
        m_nSentFreq = nFreq;
    } else {
        // Offline nothing is transmitted, so the sent value must not lag: the
        // image (and any file saved from it) takes the sent frequency.
        if (!g_bOnline) m_nSentFreq = nFreq;
        if (!m_bHasMarker && m_pLinkedCtrl) m_pLinkedCtrl->OnFilterFreq(nFreq);
        ApplySentFreqRule();
    }
    PlaceMarker();
    ComputeResponse();
    if (bStep) Mark();
}

// Downward changes and small upward ones go out at once; an upward jump of an
// octave or more is left for StepSentFreq to reach in octave steps.
void CFilter::ApplySentFreqRule() {
    if (m_nSentFreq <= 0) m_nSentFreq = kSentFreqFloor;
    if (m_nFreq / m_nSentFreq < 2) m_nSentFreq = m_nFreq;
}

void CFilter::StepSentFreq(bool bDone) {
    if (m_nFreq == m_nSentFreq) {
        m_bPending = bDone;
        return;
    }
    if (m_nSentFreq <= 0) m_nSentFreq = kSentFreqFloor;  // never divide by zero
    if (m_nFreq / m_nSentFreq >= 2)
        m_nSentFreq *= 2;
    else if (static_cast<double>(m_nFreq) / m_nSentFreq <= 0.5)
        m_nSentFreq /= 2;
    else
        m_nSentFreq = m_nFreq;
    m_bPending = true;
}

void CFilter::SetGainIndex(int n) {
    // Images from a device or a file may hold any word; the gain stays in range.
    m_dGain = IndexToGain(std::clamp(n, 0, kGainIndexMax));
    if (m_dGain == 0) {
        m_bFlat = true;
    } else {
        m_bFlat = false;
        m_bEqBypass = false;
    }
    if (m_bHasMarker) PlaceBandMarker();
    ComputeResponse();
    Mark();
}

void CFilter::SetBandwidthIndex(int n) {
    m_dBandwidth = BandwidthOfIndex(n);
    if (m_bHasMarker) PlaceBwHandles();
    ComputeResponse();
    Mark();
}

void CFilter::SetSlope(int n, bool bMark) {
    m_nSlope = n;
    ComputeResponse();
    if (bMark) Mark();
}

void CFilter::SetXoverType(int n, bool bMark) {
    m_nXoverType = n;
    ComputeResponse();
    if (bMark) Mark();
}

void CFilter::SetType(int n) {
    m_nType = n;
    if (n == kBandLowPass) m_nSentFreq = kFreqMax;
    PlaceMarker();  // the label's width depends on the type
    ComputeResponse();
    Mark();
}

// A band at 0 dB stays flat whatever is asked.
void CFilter::SetBypass(bool b) {
    if (m_bEqBypass) {
        m_bEqBypass = false;
        if (m_dGain == 0) return;
    } else if (m_bFlat == b || m_dGain == 0) {
        return;
    }
    m_bFlat = b;
    if (!b) m_bEqBypass = false;
    PlaceMarker();
    ComputeResponse();
    Mark();
}

// Applied by the channel to all its bands at once; not marked, the channel
// sends the change itself.
void CFilter::SetEqBypass(bool b) {
    if (b) {
        m_bSavedEqBypass = m_bEqBypass;
        m_bEqBypass = b;
    } else {
        m_bEqBypass = m_bSavedEqBypass;
    }
    if (!m_bFlat) {
        PlaceMarker();
        ComputeResponse();
    }
}

void CFilter::ResetBand(int nFreq) {
    m_nFreq = m_nSentFreq = nFreq;
    m_dBandwidth = 0.2;
    m_dGain = 0.0;
    m_bFlat = true;
    PlaceMarker();
    ComputeResponse();
}

void CFilter::CopyValues(const CFilter& src) {
    m_nType = src.m_nType;
    if (m_nDragMode != kDragFixed) m_nFreq = m_nSentFreq = src.m_nFreq;
    m_dGain = src.m_dGain;
    m_bFlat = src.m_bFlat;
    m_bEqBypass = src.m_bEqBypass;
    m_dBandwidth = src.m_dBandwidth;
    m_nXoverType = src.m_nXoverType;
    m_nSlope = src.m_nSlope;
    PlaceMarker();
    ComputeResponse();
}

// ---------------------------------------------------------------- getters

int CFilter::GetGainIndex() const {
    return IsBypassed() ? kGainIndexFlat : GainToIndex(m_dGain);
}

int CFilter::GetBandwidthIndex() const {
    return BandwidthToIndex(m_dBandwidth);
}

std::string CFilter::GetShelfSlopeText() const {
    return ShelfSlopeText(m_nSlope);
}

const std::string& CFilter::GetLabelText() {
    const std::string gain = IsBypassed() ? "0.0" : FormatText("%.1f", m_dGain);
    const std::string freq = std::to_string(m_nFreq);
    switch (m_nType) {
        case kBandPeaking: {
            const int n = std::clamp(GetBandwidthIndex(), 0, kBandwidthIndexCount - 1);
            const double q = g_adQTable[n];
            m_strLabel =
                "G:" + gain + "-F:" + freq + "-Q:" + FormatText(q > 10 ? "%.2f" : "%.3f", q);
            break;
        }
        case kBandLowShelf:
            m_strLabel = "Lo " + freq + "-" + GetShelfSlopeText() + " G" + gain;
            break;
        case kBandHighShelf:
            m_strLabel = "Hi F:" + freq + "-" + GetShelfSlopeText() + " G:" + gain;
            break;
        default:
            m_strLabel = "F:" + freq;
            break;
    }
    return m_strLabel;
}

// ---------------------------------------------------------------- response

int CFilter::CrossoverOrder() const {
    // Two-slope crossovers offer 12 and 24 dB/Oct only: code 1 is the 24 dB/Oct order.
    if (m_bTwoSlopes && m_nSlope == 1) return 2;
    return m_nSlope;
}

void CFilter::ComputeResponse() {
    m_dResponse.fill(0.0);
    switch (m_nType) {
        case kBandPeaking:
            if (!IsBypassed()) PeakingResponse(m_nFreq, m_dGain, m_dBandwidth, m_dResponse);
            break;
        case kBandLowShelf:
        case kBandHighShelf:
            if (!IsBypassed())
                ShelfResponse(m_nType == kBandLowShelf, m_nSlope, m_nFreq, m_dGain, m_dResponse);
            break;
        case kBandHighPass:
            if (m_nFreq != kFreqMin && m_nSlope != kSlopeOff)
                CrossoverResponse(true, m_nXoverType, CrossoverOrder(), m_nFreq, m_dResponse);
            break;
        case kBandLowPass:
            if (m_nFreq != kFreqMax && m_nSlope != kSlopeOff)
                CrossoverResponse(false, m_nXoverType, CrossoverOrder(), m_nFreq, m_dResponse);
            break;
        default:
            break;  // unknown type: contributes nothing
    }
}

// ---------------------------------------------------------------- geometry

void CFilter::SetRect(int nWidth, int nHeight) {
    m_plot.width = nWidth;
    m_plot.height = nHeight;
    PlaceMarker();
    ComputeResponse();
}

void CFilter::PlaceBandMarker() {
    const int w = m_plot.width;
    const int h = m_plot.height;
    const double gain = IsBypassed() ? 0.0 : m_dGain;
    int x0 = std::max(m_plot.FreqToX(m_nFreq) - kMarkerHalf, -kMarkerHalf);
    int y0 = std::max(m_plot.DbToY(gain) - kMarkerHalf, -kMarkerHalf);
    if (y0 <= 0) y0 = 0;
    if (x0 <= 0 && m_nIndex >= kFirstBandInsideLeftEdge) x0 = 0;
    int right = x0 + kMarkerSize;
    int bottom = y0 + kMarkerSize;
    if (right > w) {
        right = w;
        x0 = w - kMarkerSize;
    }
    if (bottom > h) {
        bottom = h;
        y0 = h - kMarkerSize;
    }
    m_rcMarker = {x0, y0, right, bottom};
    m_rcMarker.Offset(kPlotLeft, kPlotTop);

    // The label sits below the marker, or above it near the bottom edge, and
    // is pulled left to stay inside the plot at the right edge.
    const Rect& m = m_rcMarker;
    const int plotRight = w + kPlotLeft;
    const bool peaking = m_nType == kBandPeaking;
    const int reach = peaking ? 200 : 110;
    const int width = peaking ? 200 : 116;
    const int extend = peaking ? 210 : 90;
    m_rcLabel.top = m.top + 25;
    m_rcLabel.bottom = m.bottom + 25;
    if (m.right + reach > plotRight) {
        m_rcLabel.right = plotRight;
        m_rcLabel.left = plotRight - width;
    } else {
        m_rcLabel.left = m.left;
        m_rcLabel.right = m.right + extend;
    }
    if (m.bottom >= h - 15) {
        m_rcLabel.top = m.top - 25;
        m_rcLabel.bottom = m.bottom - 25;
    }
    PlaceBwHandles();
}

void CFilter::PlaceBwHandles() {
    const Point c = m_rcMarker.Center();
    const int cy = m_dGain >= 0 ? c.y + 10 : c.y - 10;
    const double span = std::pow(2.0, m_dBandwidth);
    const int xr = m_plot.FreqToX(m_nFreq * span) + kPlotLeft + 10;
    m_rcBwRight = {xr - 6, cy - 6, xr + 7, cy + 6};
    const int xl = m_plot.FreqToX(m_nFreq / span) + kPlotLeft - 10;
    m_rcBwLeft = {xl - 7, cy - 6, xl + 6, cy + 6};
}

void CFilter::PlaceXoverMarker() {
    const int w = m_plot.width;
    const bool lowPass = m_nType == kBandLowPass;
    int x0 = std::max(m_plot.FreqToX(m_nFreq) - kMarkerHalf, -kMarkerHalf);
    const int y0 = m_plot.DbToY(lowPass ? kLowPassMarkerDb : kHighPassMarkerDb);
    int right = x0 + kMarkerSize;
    const int bottom = y0 + kMarkerSize;
    if (right > w + kMarkerHalf) {
        right = w + kMarkerHalf;
        x0 = right - kMarkerSize;
    }
    m_rcMarker = {x0, y0, right, bottom};
    m_rcMarker.Offset(kPlotLeft, kPlotTop);

    const Rect& m = m_rcMarker;
    const int plotRight = w + kPlotLeft;
    m_rcLabel.top = lowPass ? m.top - 15 : m.top + 15;
    m_rcLabel.bottom = lowPass ? m.bottom + 20 : m.bottom + 25;
    if (m.right + 50 > plotRight) {
        m_rcLabel.right = plotRight;
        m_rcLabel.left = plotRight - 66;
    } else {
        m_rcLabel.left = m.left;
        m_rcLabel.right = m.right + 50;
    }
}

// ---------------------------------------------------------------- dragging

void CFilter::BeginMarkerDrag(Point p) {
    m_pointer.bDragMarker = true;
    const Point c = m_rcMarker.Center();
    m_ptDragOffset = {p.x - c.x, p.y - c.y};
}

bool CFilter::DragBandMarker(Point p) {
    const int x = std::clamp(p.x - m_ptDragOffset.x - kPlotLeft, 0, std::max(m_plot.width, 0));
    const int y = std::clamp(p.y - m_ptDragOffset.y - kPlotTop, 0, std::max(m_plot.height, 0));

    int newFreq = m_bGeqMode ? m_nFreq : m_plot.XToFreq(x);
    const double gain = std::clamp(m_plot.YToDb(y), -kGainMaxDb, kGainMaxDb);
    const int newGainIndex = static_cast<int>((gain + kGainMaxDb) * 10 + 0.5);
    const int oldGainIndex = GetGainIndex();
    m_dGain = IndexToGain(newGainIndex);
    if (m_dGain != 0) {
        m_bFlat = false;
        m_bEqBypass = false;
    } else {
        m_bFlat = true;
    }
    // At the top edge every step counts, so that a pull beyond +20 dB is kept.
    const bool changed = newFreq != m_nFreq || newGainIndex != oldGainIndex || y == 0;
    if (!changed) return false;

    if (m_nType == kBandLowShelf) newFreq = std::min(newFreq, kShelfFreqLimit);
    if (m_nType == kBandHighShelf) newFreq = std::max(newFreq, kShelfFreqLimit);
    SetFreq(newFreq, true);  // also places the marker and recomputes with the new gain
    if (m_pLinkedCtrl) m_pLinkedCtrl->OnFilterGainIndex(GetGainIndex());
    return true;
}

bool CFilter::DragBwHandle(Point p, BwHandle handle) {
    const double f = m_plot.XToFreq(p.x - kPlotLeft);
    const double ratio = handle == BwHandle::Left ? m_nFreq / f : f / m_nFreq;
    m_dBandwidth =
        std::clamp(std::log10(ratio) / std::log10(2.0), kDragBandwidthMin, kDragBandwidthMax);
    SetBandwidthIndex(GetBandwidthIndex());  // back onto the 0.01 octave steps
    return true;
}

int CFilter::LimitXoverFreq(int f, int nLimit, bool leftEdge) const {
    const bool highPass = m_nType == kBandHighPass;
    switch (m_nDragMode) {
        case kDragFreeLeftEdge:
            if (highPass) return leftEdge ? kFreqMin : std::min({f, nLimit, kFreqMax});
            return std::clamp(std::max(f, nLimit), kFreqMin, kFreqMax);
        case kDragLimitedKeepTop:
            if (highPass && f == kFreqMax) return kFreqMax;
            [[fallthrough]];
        default:  // kDragLimited, and the equalizers that are not dragged in the graph
            f = std::clamp(f, kFreqMin, kFreqMax);
            return highPass ? std::min(f, nLimit) : std::max(f, nLimit);
    }
}

bool CFilter::DragXoverMarker(Point p, int nLimit) {
    if (m_nDragMode == kDragFixed) return false;
    const int x = std::min(p.x - m_ptDragOffset.x - kPlotLeft, m_plot.width);
    const int f = m_plot.XToFreq(x);
    if (f == m_nFreq) return false;
    const int newFreq = LimitXoverFreq(f, nLimit, x < 1);
    if (newFreq == m_nFreq) return false;
    SetFreq(newFreq, true);
    return true;
}

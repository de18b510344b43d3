#pragma once
// One equalizer band, shelf, high-pass or low-pass filter of a channel, in the
// device's own units: its parameters, the frequency actually transmitted, its
// magnitude response on the response grid, and its marker geometry and drag
// rules in the response graph.

#include <string>

#include "response/filter_math.h"
#include "response/geometry.h"

// Told about changes made by dragging in the graph, so that a panel can show
// them (the panel owns the observer; the filter only points at it).
struct IFilterObserver {
    virtual void OnFilterFreq(int nFreq) = 0;
    virtual void OnFilterGainIndex(int nGainIndex) = 0;
    virtual ~IFilterObserver() = default;
};

// Which bandwidth handle of a peaking band.
enum class BwHandle { Left, Right };

// Pointer state of the graph on one filter: what is hovered and dragged.
struct PointerFlags {
    bool bHoverMarker = false;
    bool bHoverBwLeft = false;
    bool bHoverBwRight = false;
    bool bDragMarker = false;
    bool bDragBwLeft = false;
    bool bDragBwRight = false;

    void Clear() { *this = PointerFlags{}; }
};

// A band's bandwidth in octaves for a bandwidth index as loaded: indexes
// below the floor act as the floor, indexes beyond the table as its last.
constexpr int kBandwidthIndexFloor = 4;
constexpr double kBandwidthFloor = 0.09;
double BandwidthOfIndex(int n);

constexpr int kSentFreqFloor = 20;
constexpr int kShelfFreqLimit = 2000;  // low shelves stay at or below, high shelves at or above

// Crossover drag-limit modes (per output channel; 5 pins the frequency).
enum XoverDragMode : int {
    kDragFixed = 5,
    kDragFreeLeftEdge = 7,
    kDragLimited = 8,
    kDragLimitedKeepTop = 9,
};

class CFilter {
public:
    CFilter();

    // --- setters; each marks (pending := g_bOnline) where stated ---
    void SetFreq(int nFreq, bool bStep);
    void SetGainIndex(int n);
    void SetBandwidthIndex(int n);
    void SetSlope(int n, bool bMark);
    void SetXoverType(int n, bool bMark);
    void SetType(int n);
    void SetBypass(bool b);
    void SetEqBypass(bool b);
    void ResetBand(int nFreq);
    void CopyValues(const CFilter& src);
    void StepSentFreq(bool bDone);
    void ComputeResponse();

    // Configuration by the owning equalizer; no marking, no recomputing.
    void SetIndex(int n) { m_nIndex = n; }
    void SetHasMarker(bool b) { m_bHasMarker = b; }
    void SetTwoSlopes(bool b) { m_bTwoSlopes = b; }
    void SetDragMode(int n) { m_nDragMode = n; }
    void SetGeqMode(bool b) { m_bGeqMode = b; }
    void SetSentFreq(int n) { m_nSentFreq = n; }
    void SetPending(bool b) { m_bPending = b; }
    void SetLinkedCtrl(IFilterObserver* p) { m_pLinkedCtrl = p; }

    // --- getters ---
    int GetGainIndex() const;
    int GetBandwidthIndex() const;
    bool IsBypassed() const { return m_bEqBypass || m_bFlat; }
    int GetType() const { return m_nType; }
    int GetFreq() const { return m_nFreq; }
    int GetSentFreq() const { return m_nSentFreq; }
    int GetSlope() const { return m_nSlope; }
    int GetXoverType() const { return m_nXoverType; }
    int GetIndex() const { return m_nIndex; }
    int GetDragMode() const { return m_nDragMode; }
    double GetGain() const { return m_dGain; }
    double GetBandwidth() const { return m_dBandwidth; }
    bool IsFlat() const { return m_bFlat; }
    bool IsEqBypass() const { return m_bEqBypass; }
    bool IsPending() const { return m_bPending; }
    bool HasMarker() const { return m_bHasMarker; }
    bool IsTwoSlopes() const { return m_bTwoSlopes; }
    bool IsGeqMode() const { return m_bGeqMode; }
    bool IsCrossover() const { return !m_bHasMarker; }
    const ResponseCurve& GetResponse() const { return m_dResponse; }

    // Texts shown in the graph (the same in both languages).
    std::string GetShelfSlopeText() const;
    const std::string& GetLabelText();

    // --- graph geometry (client coordinates of the graph control) ---
    void SetRect(int nWidth, int nHeight);
    const PlotGeometry& GetPlot() const { return m_plot; }
    void PlaceBandMarker();
    void PlaceXoverMarker();
    void PlaceBwHandles();
    const Rect& GetMarkerRect() const { return m_rcMarker; }
    const Rect& GetBwLeftRect() const { return m_rcBwLeft; }
    const Rect& GetBwRightRect() const { return m_rcBwRight; }
    const Rect& GetLabelRect() const { return m_rcLabel; }

    // --- dragging; each returns whether the filter changed ---
    // Remembers where in the marker the pointer grabbed it.
    void BeginMarkerDrag(Point p);
    Point GetDragOffset() const { return m_ptDragOffset; }
    bool DragBandMarker(Point p);
    bool DragBwHandle(Point p, BwHandle handle);
    // nLimit: the other crossover filter's frequency.
    bool DragXoverMarker(Point p, int nLimit);

    PointerFlags& Pointer() { return m_pointer; }
    const PointerFlags& Pointer() const { return m_pointer; }

private:
    void Mark();
    void PlaceMarker();
    void ApplySentFreqRule();
    int CrossoverOrder() const;
    int LimitXoverFreq(int f, int nLimit, bool leftEdge) const;

    ResponseCurve m_dResponse{};

    PlotGeometry m_plot;
    Rect m_rcMarker;
    Rect m_rcBwLeft;
    Rect m_rcBwRight;
    Rect m_rcLabel;
    Point m_ptDragOffset;
    PointerFlags m_pointer;

    IFilterObserver* m_pLinkedCtrl = nullptr;
    int m_nType = 0;
    int m_nFreq = 1000;
    int m_nSentFreq = 20;
    int m_nDragMode = 0;
    double m_dGain = 0.0;
    bool m_bFlat = true;
    bool m_bEqBypass = false;
    bool m_bSavedEqBypass = false;
    double m_dBandwidth = 0.2;
    int m_nXoverType = 2;
    int m_nSlope = 2;
    int m_nIndex = 0;
    bool m_bHasMarker = true;
    bool m_bPending = false;
    bool m_bTwoSlopes = false;
    bool m_bGeqMode = false;
    std::string m_strLabel;
};

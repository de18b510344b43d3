#include "workspace/graph_presenter.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "base/globals.h"
#include "image/param_image.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "response/ktveq.h"
#include "tables/value_tables.h"
#include "workspace/workspace_host.h"
#include "workspace/workspace_state.h"

namespace {

// Client insets of the plot: 35 left, 10 top, 10 right, 20 bottom.
constexpr int kPlotInsetRight = 10;
constexpr int kPlotInsetBottom = 20;

// Vertical grid lines: 30 Hz .. 10 kHz (20 Hz is the plot's left edge).
constexpr std::array<int, 26> kGridFreqs = {30,   40,   50,   60,   70,   80,   90,   100,  200,
                                            300,  400,  500,  600,  700,  800,  900,  1000, 2000,
                                            3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000};

// Horizontal grid lines: eight, every fifth (output) or twelfth (idle) of the height.
constexpr int kGridRows = 8;
constexpr int kOutputRowDivisor = 8;
constexpr int kIdleRowDivisor = 12;

constexpr GraphColor kGreyCurve = 0x535353;  // RGB(83, 83, 83)

struct AxisText {
    const char* text;
    int value;  // gain row (0 .. 8) or frequency
    int shift;  // pixels left of the frequency's position
};

constexpr std::array<AxisText, 9> kGainTexts = {{{"+20", 0, 0},
                                                 {"+15", 1, 0},
                                                 {"+10", 2, 0},
                                                 {"+5", 3, 0},
                                                 {"0dB", 4, 0},
                                                 {"-5", 5, 0},
                                                 {"-10", 6, 0},
                                                 {"-15", 7, 0},
                                                 {"-20", 8, 0}}};
constexpr std::array<AxisText, 4> kFreqTexts = {
    {{"100", 100, 10}, {"1K", 1000, 8}, {"10K", 10000, 10}, {"20K", 20000, 15}}};
constexpr int kGainTextX = 6;
constexpr int kTopGainTextY = 5;
constexpr int kGainTextDrop = 3;
constexpr int kLowestFreqTextX = 30;

bool IsPeaking(const CFilter& f) {
    return !f.IsCrossover() && f.GetType() == kBandPeaking;
}

std::string MarkerText(const CFilter& f) {
    if (f.GetType() == kBandHighPass) return "Hi";
    if (f.GetType() == kBandLowPass) return "Lo";
    return std::to_string(f.GetIndex() + 1);
}

TextAlign MarkerAlign(const CFilter& f, const Rect& rcPlot) {
    if (f.GetMarkerRect().right >= rcPlot.right) return TextAlign::Left;
    if (f.GetFreq() <= kFreqMin) return TextAlign::Right;
    if (f.GetFreq() < kFreqMax) return TextAlign::Center;
    return TextAlign::Left;
}

GraphCurve CurveOf(CKTVEQ& eq, GraphColor color, bool grey) {
    eq.SumCurve();
    GraphCurve curve;
    curve.color = color;
    curve.grey = grey;
    curve.points = eq.GetCurvePointsF();
    return curve;
}

}  // namespace

GraphPresenter::GraphPresenter(IWorkspaceHost& host, IGraphView& view)
    : m_host(host), m_view(view) {}

CKTVEQ* GraphPresenter::Filters() const {
    if (m_scene.mode != GraphMode::Output) return nullptr;
    CKTV_OutData* out = m_host.Model().GetOutput(m_nChannel);
    return out ? &out->GetEQ() : nullptr;
}

CFilter* GraphPresenter::Selected() const {
    CKTVEQ* eq = Filters();
    return eq ? eq->GetFilter(m_nSelIndex) : nullptr;
}

// ---------------------------------------------------------------- layout

void GraphPresenter::Layout(int clientWidth, int clientHeight) {
    m_scene.clientWidth = clientWidth;
    m_scene.clientHeight = clientHeight;
    m_plot.width = std::max(clientWidth - kPlotLeft - kPlotInsetRight, 0);
    m_plot.height = std::max(clientHeight - kPlotTop - kPlotInsetBottom, 0);
    m_scene.rcPlot = {kPlotLeft, kPlotTop, kPlotLeft + m_plot.width, kPlotTop + m_plot.height};
    {
        std::lock_guard lock(g_csModel);
        for (int c = 0; c < kOutputCount; ++c) {
            if (CKTV_OutData* out = m_host.Model().GetOutput(c))
                out->GetEQ().SetRect(m_plot.width, m_plot.height);
        }
        BuildAxis();
        BuildScene();
    }
    m_view.ScheduleRepaint();
}

void GraphPresenter::BuildAxis() {
    m_scene.gridX.clear();
    for (int f : kGridFreqs)
        m_scene.gridX.push_back(m_plot.FreqToX(f) + kPlotLeft);

    m_scene.axisTexts.clear();
    const int row = m_plot.height / 8;
    for (const AxisText& t : kGainTexts) {
        int y = t.value * row + kGainTextDrop;
        if (t.value == 0) y = kTopGainTextY;
        if (t.value == kGridRows) y = m_plot.height;
        m_scene.axisTexts.push_back({t.text, {kGainTextX, y, kGainTextX, y}, TextAlign::Left});
    }
    const int bottom = m_scene.rcPlot.bottom;
    m_scene.axisTexts.push_back(
        {"20", {kLowestFreqTextX, bottom, kLowestFreqTextX, bottom}, TextAlign::Left});
    for (const AxisText& t : kFreqTexts) {
        const int x = m_plot.FreqToX(t.value) + kPlotLeft - t.shift;
        m_scene.axisTexts.push_back({t.text, {x, bottom, x, bottom}, TextAlign::Left});
    }
}

// ---------------------------------------------------------------- channel and scene

void GraphPresenter::SelectOutput(int channel) {
    if (channel < 0 || channel >= kOutputCount) return;
    {
        std::lock_guard lock(g_csModel);
        if (CFilter* old = Selected()) old->Pointer().Clear();
        m_nChannel = channel;
        m_nSelIndex = -1;
        m_bHit = false;
        m_scene.mode = GraphMode::Output;
    }
    Redraw(-1);
}

void GraphPresenter::Redraw(int nLabelIndex) {
    m_nLabelIndex = nLabelIndex;
    {
        std::lock_guard lock(g_csModel);
        BuildScene();
    }
    m_view.ScheduleRepaint();
}

void GraphPresenter::BuildScene() {
    const bool output = m_scene.mode == GraphMode::Output;
    const int divisor = output ? kOutputRowDivisor : kIdleRowDivisor;
    m_scene.gridY.clear();
    for (int k = 1; k <= kGridRows; ++k)
        m_scene.gridY.push_back(m_scene.rcPlot.top +
                                static_cast<int>(static_cast<double>(m_plot.height) / divisor * k));

    CKTV_Data& model = m_host.Model();
    std::vector<GraphCurve> curves;
    for (int c = 0; c < kOutputCount; ++c) {
        if (!g_abCurveShown[c] || (output && c == m_nChannel)) continue;
        if (CKTV_OutData* out = model.GetOutput(c))
            curves.push_back(CurveOf(out->GetEQ(), kGreyCurve, true));
    }
    m_scene.markers.clear();
    m_scene.showHandles = false;
    m_scene.label = {};
    CKTVEQ* eq = Filters();
    if (eq) {
        curves.push_back(CurveOf(*eq, model.GetOutput(m_nChannel)->GetCurveColor(), false));
        for (int i = eq->GetFilterCount() - 1; i >= 0; --i) {
            const CFilter& f = *eq->GetFilter(i);
            m_scene.markers.push_back(
                {MarkerText(f), f.GetMarkerRect(), MarkerAlign(f, m_scene.rcPlot)});
        }
        if (const CFilter* sel = Selected(); sel && IsPeaking(*sel) && !sel->IsGeqMode()) {
            m_scene.showHandles = true;
            m_scene.rcBwLeft = sel->GetBwLeftRect();
            m_scene.rcBwRight = sel->GetBwRightRect();
        }
        const int labelIndex = m_nLabelIndex == -1 ? m_nSelIndex : m_nLabelIndex;
        if (CFilter* f = eq->GetFilter(labelIndex))
            m_scene.label = {f->GetLabelText(), f->GetLabelRect(), TextAlign::Center};
    }
    if (curves != m_scene.curves) {
        m_scene.curves = std::move(curves);
        ++m_scene.curveRevision;
    }
    m_scene.hit = m_bHit;
}

// ---------------------------------------------------------------- pointer

void GraphPresenter::Select(int index) {
    if (CFilter* old = Selected()) old->Pointer().Clear();
    m_nSelIndex = index;
    if (CFilter* sel = Selected()) sel->Pointer().bHoverMarker = true;
}

void GraphPresenter::Deselect() {
    if (CFilter* old = Selected()) old->Pointer().Clear();
    m_nSelIndex = -1;
}

bool GraphPresenter::DragSelected(Point p) {
    CFilter* sel = Selected();
    CKTVEQ* eq = Filters();
    if (!sel || !eq) return false;
    const PointerFlags& f = sel->Pointer();
    bool changed = false;
    if (sel->IsCrossover()) {
        const CFilter* other = sel == eq->GetHighPass() ? eq->GetLowPass() : eq->GetHighPass();
        changed = f.bDragMarker && sel->DragXoverMarker(p, other->GetFreq());
    } else if (f.bDragMarker) {
        changed = sel->DragBandMarker(p);
    } else if (f.bDragBwLeft || f.bDragBwRight) {
        changed = sel->DragBwHandle(p, f.bDragBwLeft ? BwHandle::Left : BwHandle::Right);
    }
    if (changed) m_changed[m_nChannel] |= std::uint64_t{1} << m_nSelIndex;
    return changed;
}

// The rules for the pointer over (or dragging) the selected filter; `handled`
// false leaves the pointer to the marker search. True when the scene changed.
bool GraphPresenter::MoveOverSelection(Point p, bool& handled) {
    handled = false;
    CFilter* sel = Selected();
    if (!sel) return false;
    PointerFlags& f = sel->Pointer();
    const bool inMarker = sel->GetMarkerRect().Contains(p);

    if (sel->IsCrossover()) {
        if (!inMarker && !f.bDragMarker) {
            // A crossover stays selected only while the pointer is on it.
            Deselect();
            m_bHit = false;
            return true;
        }
        handled = true;
        m_bHit = true;
        return DragSelected(p);
    }

    if (f.bDragMarker) {
        handled = true;
        m_bHit = inMarker;
        return DragSelected(p);
    }
    if (inMarker) {
        f.bHoverMarker = true;
        f.bHoverBwLeft = f.bHoverBwRight = false;
        handled = true;
        m_bHit = true;
        return false;
    }
    // Handles exist only where they are drawn: peaking bands outside graphic mode.
    if (!IsPeaking(*sel) || sel->IsGeqMode()) return false;
    struct Handle {
        const Rect& rc;
        bool& hover;
        bool& drag;
        bool& otherHover;
        bool& otherDrag;
    };
    const Handle handles[] = {
        {sel->GetBwLeftRect(), f.bHoverBwLeft, f.bDragBwLeft, f.bHoverBwRight, f.bDragBwRight},
        {sel->GetBwRightRect(), f.bHoverBwRight, f.bDragBwRight, f.bHoverBwLeft, f.bDragBwLeft},
    };
    for (const Handle& h : handles) {
        const bool inHandle = h.rc.Contains(p);
        if (h.drag) {
            handled = true;
            m_bHit = inHandle;
            return DragSelected(p);
        }
        if (inHandle) {
            h.hover = true;
            f.bHoverMarker = false;
            h.otherHover = h.otherDrag = false;
            handled = true;
            m_bHit = true;
            return false;
        }
    }
    return false;
}

void GraphPresenter::SearchMarker(Point p, bool& selectionChanged) {
    CKTVEQ* eq = Filters();
    m_bHit = false;
    if (!eq) return;
    for (int i = 0; i < eq->GetFilterCount(); ++i) {
        if (eq->GetFilter(i)->GetMarkerRect().Contains(p)) {
            selectionChanged = selectionChanged || i != m_nSelIndex;
            Select(i);
            m_bHit = true;
            return;
        }
    }
}

void GraphPresenter::OnMouseMove(Point p) {
    if (m_scene.mode != GraphMode::Output) return;
    bool redraw = false;
    {
        std::lock_guard lock(g_csModel);
        bool handled = false;
        redraw = MoveOverSelection(p, handled);
        if (!handled) SearchMarker(p, redraw);
        if (redraw) {
            m_nLabelIndex = -1;
            BuildScene();
        }
        m_scene.hit = m_bHit;
    }
    if (redraw) m_view.ScheduleRepaint();
}

void GraphPresenter::OnButtonDown(Point p) {
    if (m_scene.mode != GraphMode::Output || !m_bHit) return;
    std::lock_guard lock(g_csModel);
    CFilter* sel = Selected();
    if (!sel) return;
    PointerFlags& f = sel->Pointer();
    if (f.bHoverMarker) {
        sel->BeginMarkerDrag(p);
    } else if (IsPeaking(*sel)) {
        if (f.bHoverBwLeft)
            f.bDragBwLeft = true;
        else if (f.bHoverBwRight)
            f.bDragBwRight = true;
    }
}

void GraphPresenter::OnButtonUp() {
    std::lock_guard lock(g_csModel);
    if (CFilter* sel = Selected()) sel->Pointer().Clear();
    m_bHit = false;
    m_scene.hit = false;
}

// ---------------------------------------------------------------- notice

void GraphPresenter::OnNoticeTick() {
    if (!m_notice) return;
    for (int c = 0; c < kOutputCount; ++c) {
        const std::uint64_t changed = std::exchange(m_changed[c], 0);
        for (int i = 0; i < 64; ++i) {
            if (changed & (std::uint64_t{1} << i)) m_notice(i, kGraphChannelCodeBase + c);
        }
    }
}

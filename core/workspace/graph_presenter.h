#pragma once
// The response graph without its drawing: plot layout, axis texts, which
// filter the pointer hovers, selects and drags, and the quiet-time notice of
// a drag. The widget forwards mouse events and the 50 ms tick here and paints
// GraphScene, a plain-value copy made under g_csModel by the thread that
// edits, so that painting never touches the model.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "response/geometry.h"
#include "response/grid.h"
#include "workspace/workspace_parts.h"

class IWorkspaceHost;
class CKTVEQ;
class CFilter;

using GraphColor = std::uint32_t;  // 0x00BBGGRR, as the model keeps curve colours

enum class GraphMode { Idle, Output };

enum class TextAlign { Left, Center, Right };

struct GraphText {
    std::string text;
    Rect rc;  // text box; axis texts use its top left corner only
    TextAlign align = TextAlign::Left;
};

struct GraphCurve {
    GraphColor color = 0;
    bool grey = true;  // another channel's curve; false: the selected channel's
    std::array<PointF, kGridPoints> points{};
    bool operator==(const GraphCurve&) const = default;
};

// Everything one paint needs, in client coordinates of the graph control.
struct GraphScene {
    GraphMode mode = GraphMode::Idle;
    int clientWidth = 0;
    int clientHeight = 0;
    Rect rcPlot;
    std::vector<int> gridX;            // vertical grid lines
    std::vector<int> gridY;            // horizontal grid lines
    std::vector<GraphText> axisTexts;  // gain and frequency labels
    std::vector<GraphCurve> curves;    // grey ones first, the selected channel's last
    unsigned curveRevision = 0;        // changes whenever `curves` does
    std::vector<GraphText> markers;    // in drawing order (last filter first)
    bool showHandles = false;
    Rect rcBwLeft;
    Rect rcBwRight;
    GraphText label;   // empty text: no label
    bool hit = false;  // pointer over a marker or handle: drag cursor
};

class IGraphView {
public:
    virtual ~IGraphView() = default;
    // The scene changed: repaint (coalesced; never synchronously).
    virtual void ScheduleRepaint() = 0;
};

// Index of the high-pass and the low-pass filter of an output channel in the
// graph's numbering (bands are 0 .. 30).
constexpr int kGraphHighPass = 31;
constexpr int kGraphLowPass = 32;
constexpr int kGraphNoticeMs = 50;
constexpr int kGraphChannelCodeBase = 768;  // channel code = base + output index

class GraphPresenter : public IWorkspacePart {
public:
    // notice(filterIndex, channelCode): a drag changed that filter; at most
    // one per filter and notice period, however many steps the drag took.
    using Notice = std::function<void(int, int)>;

    GraphPresenter(IWorkspaceHost& host, IGraphView& view);

    void SetNotice(Notice notice) { m_notice = std::move(notice); }

    // Client size of the control: fixes the plot and gives every output
    // channel of the model its plot size.
    void Layout(int clientWidth, int clientHeight);
    // The shown channel; the graph leaves idle mode for good.
    void SelectOutput(int channel);
    // Recomputes the scene. nLabelIndex -1 labels the selected filter,
    // otherwise filter nLabelIndex (a band, 31 high-pass, 32 low-pass).
    void Redraw(int nLabelIndex = -1);

    // Pointer in client coordinates.
    void OnMouseMove(Point p);
    void OnButtonDown(Point p);
    void OnButtonUp();
    // Every notice period while the control lives.
    void OnNoticeTick();

    const GraphScene& Scene() const { return m_scene; }
    int SelectedIndex() const { return m_nSelIndex; }
    int Channel() const { return m_nChannel; }
    int ChannelCode() const { return kGraphChannelCodeBase + m_nChannel; }

    // IWorkspacePart
    void ShowGraphChannel(int channel) override { SelectOutput(channel); }
    void RedrawGraph(int curve) override { Redraw(curve); }
    void Relabel() override { Redraw(m_nLabelIndex); }

private:
    CKTVEQ* Filters() const;
    CFilter* Selected() const;
    void Select(int index);
    void Deselect();
    // One drag step of the selected filter at p; true when the filter changed.
    bool DragSelected(Point p);
    bool MoveOverSelection(Point p, bool& handled);
    void SearchMarker(Point p, bool& selectionChanged);
    void BuildScene();
    void BuildAxis();

    IWorkspaceHost& m_host;
    IGraphView& m_view;
    Notice m_notice;
    GraphScene m_scene;
    PlotGeometry m_plot;
    int m_nChannel = 0;
    int m_nSelIndex = -1;
    int m_nLabelIndex = -1;
    bool m_bHit = false;
    // Per output channel, the filters a drag changed since the last notice
    // (bit = filter index), so that each gets its notice even when the
    // pointer has moved on to another filter or channel meanwhile.
    std::array<std::uint64_t, 6> m_changed{};
};

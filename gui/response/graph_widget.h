#pragma once
// The response graph control: paints the presenter's scene and forwards the
// pointer. The grid with its axis texts and the curves are cached in pixmaps;
// markers, handles and the label are drawn over them on every paint.

#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <map>
#include <memory>
#include <optional>

#include "base/model_lock.h"
#include "workspace/graph_presenter.h"

class IWorkspaceHost;

class GraphWidget : public QWidget, private IGraphView {
    Q_OBJECT
public:
    explicit GraphWidget(IWorkspaceHost& host, QWidget* parent = nullptr);
    ~GraphWidget() override;

    // The workspace registers it as a part and routes the notices.
    GraphPresenter& Presenter() { return *m_presenter; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ScheduleRepaint() override;
    // The latest pointer move not yet given to the presenter, if any.
    void ApplyPendingMove();
    void UpdateCursor();
    void PaintGrid();
    void PaintCurves();
    void PaintOverlay(QPainter& painter) const;
    const QPixmap& Disc(QSize size) const;
    void PublishSpots();

    std::unique_ptr<GraphPresenter> m_presenter;
    std::optional<Point> m_pendingMove;
    CModelLock::GapRequest m_gapRequest;  // a move waits for the link's next gap
    QTimer m_noticeTimer;
    QPixmap m_grid;    // background, plot frame, grid lines, axis texts
    QPixmap m_curves;  // the curves on a transparent ground
    unsigned m_curveRevision = 0;
    bool m_gridValid = false;
    bool m_curvesValid = false;
    GraphMode m_gridMode = GraphMode::Idle;
    mutable std::map<int, QPixmap> m_discs;  // marker discs by width * 65536 + height
};

#include "gui/response/graph_widget.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QStringList>
#include <mutex>

#include "base/globals.h"

namespace {

const QColor kBackground(28, 28, 30);
const QColor kAxisText(100, 100, 100);
const QColor kGridLine(62, 62, 65);
const QColor kIdleFrame(255, 0, 0);
const QColor kIdleGrid(21, 100, 21);
const QColor kMarker(100, 100, 100);
constexpr int kIdleFrameWidth = 10;
constexpr int kMarkerHalo = 3;  // the marker's circle reaches this far beyond its box
constexpr qreal kCurvePen = 2.0;
constexpr int kMarkerPointSize = 9;
constexpr int kCornerRadius = 4;
constexpr QSize kPreferredSize(660, 278);

QColor FromColorRef(GraphColor c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

QRect ToQRect(const Rect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}

Qt::Alignment ToQtAlign(TextAlign a) {
    switch (a) {
        case TextAlign::Left:
            return Qt::AlignLeft;
        case TextAlign::Right:
            return Qt::AlignRight;
        case TextAlign::Center:
            break;
    }
    return Qt::AlignHCenter;
}

// Lines of one pixel covering exactly the pixels of the given rows and
// columns, as the rectangle's right and bottom edges are exclusive.
void DrawFrame(QPainter& p, const QRect& r) {
    p.drawLine(r.left(), r.top(), r.right(), r.top());
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    p.drawLine(r.left(), r.top(), r.left(), r.bottom());
    p.drawLine(r.right(), r.top(), r.right(), r.bottom());
}

QPixmap NewPixmap(const QWidget& w, QSize size) {
    const qreal dpr = w.devicePixelRatioF();
    QPixmap pixmap(size * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

}  // namespace

GraphWidget::GraphWidget(IWorkspaceHost& host, QWidget* parent)
    : QWidget(parent),
      m_presenter(std::make_unique<GraphPresenter>(host, static_cast<IGraphView&>(*this))),
      // Called on the thread that releases the lock: only posts.
      m_gapRequest(g_csModel, [this] {
          QMetaObject::invokeMethod(
              this, [this] { ApplyPendingMove(); }, Qt::QueuedConnection);
      }) {
    setObjectName(QStringLiteral("graph"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setFocusPolicy(Qt::ClickFocus);
    connect(&m_noticeTimer, &QTimer::timeout, this, [this] { m_presenter->OnNoticeTick(); });
    m_noticeTimer.start(kGraphNoticeMs);
}

GraphWidget::~GraphWidget() = default;

QSize GraphWidget::sizeHint() const {
    return kPreferredSize;
}

void GraphWidget::ScheduleRepaint() {
    update();
}

void GraphWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_gridValid = m_curvesValid = false;
    m_presenter->Layout(width(), height());
}

void GraphWidget::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange || event->type() == QEvent::FontChange) {
        m_gridValid = false;
        update();
    }
}

// ---------------------------------------------------------------- pointer

void GraphWidget::UpdateCursor() {
    setCursor(m_presenter->Scene().hit ? Qt::SizeAllCursor : Qt::ArrowCursor);
}

// A move is applied at once when the model lock is free. While the link
// holds it, the widget does not block: it asks for the lock at the link's
// next gap and keeps only the latest position, so moves that arrive
// meanwhile collapse into one step taken with the newest pointer.
void GraphWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    m_pendingMove = Point{p.x(), p.y()};
    if (m_gapRequest.Asked()) return;
    std::unique_lock lock(g_csModel, std::try_to_lock);
    if (lock.owns_lock())
        ApplyPendingMove();
    else
        m_gapRequest.Ask();
}

void GraphWidget::ApplyPendingMove() {
    std::lock_guard lock(g_csModel);
    m_gapRequest.Withdraw();
    if (!m_pendingMove) return;
    const Point p = *m_pendingMove;
    m_pendingMove.reset();
    m_presenter->OnMouseMove(p);
    UpdateCursor();
}

void GraphWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    ApplyPendingMove();
    setFocus(Qt::MouseFocusReason);
    const QPoint p = event->position().toPoint();
    m_presenter->OnButtonDown({p.x(), p.y()});
}

void GraphWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    ApplyPendingMove();
    m_presenter->OnButtonUp();
    UpdateCursor();
}

// ---------------------------------------------------------------- painting

void GraphWidget::PaintGrid() {
    const GraphScene& s = m_presenter->Scene();
    m_grid = NewPixmap(*this, size());
    QPainter p(&m_grid);

    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(kBackground);
    p.drawRoundedRect(rect(), kCornerRadius, kCornerRadius);
    p.setRenderHint(QPainter::Antialiasing, false);

    p.setPen(kAxisText);
    for (const GraphText& t : s.axisTexts) {
        p.drawText(QRect(t.rc.left, t.rc.top, width(), height()), Qt::AlignLeft | Qt::AlignTop,
                   QString::fromStdString(t.text));
    }

    const QRect plot = ToQRect(s.rcPlot);
    if (plot.isEmpty()) return;
    const bool output = s.mode == GraphMode::Output;
    p.fillRect(plot, output ? kBackground : QColor(Qt::black));
    QPen line(output ? kGridLine : kIdleGrid, 1);
    if (output) line.setStyle(Qt::DotLine);
    p.setPen(line);
    for (int x : s.gridX)
        p.drawLine(x, plot.top(), x, plot.bottom());
    for (int y : s.gridY)
        p.drawLine(plot.left(), y, plot.right(), y);
    if (output) {
        DrawFrame(p, plot);
    } else {
        p.setPen(QPen(kIdleFrame, kIdleFrameWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.setBrush(Qt::NoBrush);
        p.drawRect(plot);
    }
    m_gridMode = s.mode;
    m_gridValid = true;
}

void GraphWidget::PaintCurves() {
    const GraphScene& s = m_presenter->Scene();
    // The pixmap is the plot itself: its edges clip the curves. (The raster
    // engine's clip rectangle lets a wide anti-aliased polyline through when it
    // starts outside the rectangle.)
    const QRect plot = ToQRect(s.rcPlot);
    m_curves = NewPixmap(*this, plot.size().expandedTo(QSize(1, 1)));
    QPainter p(&m_curves);
    p.translate(-plot.topLeft());
    p.setRenderHint(QPainter::Antialiasing, true);
    // A 2-pixel stroke drawn as the same anti-aliased 1-pixel line four
    // times, shifted by a pixel right and down around the curve: the raster
    // engine draws thin lines on a fast path, and this costs about a third
    // of a wide pen's outline, which it would fill as a polygon.
    QPolygonF line(kGridPoints);
    for (const GraphCurve& c : s.curves) {
        QPen pen(c.grey ? QColor(83, 83, 83) : FromColorRef(c.color), 1.0);
        pen.setCosmetic(true);
        p.setPen(pen);
        for (int i = 0; i < kGridPoints; ++i)
            line[i] = QPointF(c.points[i].x - kCurvePen / 4, c.points[i].y - kCurvePen / 4);
        for (const QPointF shift : {QPointF(0, 0), QPointF(1, 0), QPointF(0, 1), QPointF(1, 1)})
            p.drawPolyline(line.translated(shift));
    }
    m_curveRevision = s.curveRevision;
    m_curvesValid = true;
}

// Every marker is the same anti-aliased disc: drawn once per size, then
// copied, which is much cheaper than filling the ellipse each time.
const QPixmap& GraphWidget::Disc(QSize size) const {
    auto found = m_discs.find(size.width() * 65536 + size.height());
    if (found != m_discs.end()) return found->second;
    QPixmap disc = NewPixmap(*this, size);
    QPainter p(&disc);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(kMarker);
    p.drawEllipse(QRect(QPoint(0, 0), size));
    return m_discs.emplace(size.width() * 65536 + size.height(), std::move(disc)).first->second;
}

void GraphWidget::PaintOverlay(QPainter& p) const {
    const GraphScene& s = m_presenter->Scene();
    if (s.mode != GraphMode::Output) return;
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(kMarkerPointSize);
    p.setFont(font);
    p.setRenderHint(QPainter::Antialiasing, true);
    for (const GraphText& m : s.markers) {
        const QRect box = ToQRect(m.rc);
        const QRect disc = box.adjusted(-kMarkerHalo, -kMarkerHalo, kMarkerHalo, kMarkerHalo);
        p.drawPixmap(disc.topLeft(), Disc(disc.size()));
        p.setPen(Qt::white);
        p.drawText(box, ToQtAlign(m.align) | Qt::AlignVCenter | Qt::TextDontClip,
                   QString::fromStdString(m.text));
    }
    if (s.showHandles) {
        p.setPen(Qt::NoPen);
        p.setBrush(kMarker);
        p.drawEllipse(ToQRect(s.rcBwLeft));
        p.drawEllipse(ToQRect(s.rcBwRight));
    }
    if (!s.label.text.empty()) {
        p.setPen(Qt::white);
        p.drawText(ToQRect(s.label.rc), Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip,
                   QString::fromStdString(s.label.text));
    }
}

// The markers' centres as named spots, so that tools driving the program
// from outside (gui/app/widget_map.h) can find and drag them. Only then: it
// is work on every paint.
void GraphWidget::PublishSpots() {
    static const bool mapped = qEnvironmentVariableIsSet("TQR905_WIDGET_MAP");
    if (!mapped) return;
    const GraphScene& s = m_presenter->Scene();
    QStringList spots;
    if (s.mode == GraphMode::Output) {
        for (const GraphText& m : s.markers) {
            QString name = QString::fromStdString(m.text);
            if (name == QLatin1String("Hi"))
                name = QStringLiteral("hp");
            else if (name == QLatin1String("Lo"))
                name = QStringLiteral("lp");
            else
                name.prepend(QLatin1String("band"));
            const QPoint c = ToQRect(m.rc).center();
            spots << QStringLiteral("graph.%1 %2 %3").arg(name).arg(c.x()).arg(c.y());
        }
    }
    if (property("mapSpots").toStringList() != spots) setProperty("mapSpots", spots);
}

void GraphWidget::paintEvent(QPaintEvent*) {
    const GraphScene& s = m_presenter->Scene();
    PublishSpots();
    const qreal dpr = devicePixelRatioF();
    if (!m_gridValid || m_gridMode != s.mode || m_grid.devicePixelRatio() != dpr) PaintGrid();
    if (!m_curvesValid || m_curveRevision != s.curveRevision || m_curves.devicePixelRatio() != dpr)
        PaintCurves();
    QPainter p(this);
    p.drawPixmap(0, 0, m_grid);
    p.drawPixmap(s.rcPlot.left, s.rcPlot.top, m_curves);
    PaintOverlay(p);
}

#include "chart/chart_view.h"

#include <QChart>
#include <QGraphicsLayout>
#include <QHelpEvent>
#include <QLegend>
#include <QLineSeries>
#include <QMouseEvent>
#include <QScatterSeries>
#include <QToolTip>
#include <algorithm>
#include <cassert>
#include <cmath>
#include <utility>

namespace velmora::chart {

namespace {

// Automatic colours of the point series, in the order the series are added.
const QColor kSeriesColors[] = {QColor(255, 0, 0), QColor(0, 128, 0),     QColor(255, 255, 0),
                                QColor(0, 0, 255), QColor(128, 128, 128), QColor(255, 0, 255)};

// Label steps are 1, 2 or 5 times a power of ten, at most this many per axis.
constexpr int kMaxHorizontalIntervals = 12;
constexpr int kMaxVerticalIntervals = 6;
// Room left at both ends of an automatic range, as a share of the data's span, so that the
// points at the extremes are drawn whole and clear of the axis lines.
constexpr double kAutomaticMargin = 0.03;
// A drag shorter than this in either direction is a click, not a zoom rectangle.
constexpr int kMinZoomDrag = 3;

double NiceStep(double span, int maxIntervals) {
  if (!(span > 0) || !std::isfinite(span)) return 1.0;
  const double raw = span / maxIntervals;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  for (double factor : {1.0, 2.0, 5.0, 10.0})
    if (factor * magnitude >= raw * (1 - 1e-9)) return factor * magnitude;
  return 10.0 * magnitude;
}

// The rectangle with two opposite corners a and b, whichever corners they are.
QRect RectFromCorners(const QPoint& a, const QPoint& b) {
  return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
               QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

}  // namespace

// ---- ChartView ----

ChartView::ChartView(QWidget* parent) : QChartView(parent) {
  QChart* c = new QChart();
  c->setBackgroundRoundness(0);
  c->setDropShadowEnabled(false);
  c->setPlotAreaBackgroundVisible(false);
  c->setBackgroundPen(Qt::NoPen);
  c->layout()->setContentsMargins(0, 0, 0, 0);
  c->setMargins(QMargins(6, 4, 6, 4));
  c->setAnimationOptions(QChart::NoAnimation);
  // The base made a default chart of its own; setChart only takes it off the scene, so it is
  // freed here.
  std::unique_ptr<QChart> defaultChart(chart());
  setChart(c);
  setRenderHint(QPainter::Antialiasing, true);
  setRubberBand(QChartView::NoRubberBand);
  setDragMode(QGraphicsView::NoDrag);

  bottom_ = new QValueAxis(this);
  left_ = new QValueAxis(this);
  right_ = new QValueAxis(this);
  top_ = new QValueAxis(this);
  c->addAxis(bottom_, Qt::AlignBottom);
  c->addAxis(left_, Qt::AlignLeft);
  c->addAxis(right_, Qt::AlignRight);
  c->addAxis(top_, Qt::AlignTop);
  for (QValueAxis* axis : {bottom_, left_, right_, top_}) {
    axis->setLabelFormat("%g");
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0.0);
    axis->setLinePen(QPen(Qt::black, 1));
    axis->setLabelsColor(Qt::black);
    axis->setTitleBrush(Qt::black);
    axes_.push_back(AxisState{axis});
    ApplyRange(axis, 0.0, 1.0);
  }

  rightHolder_ = new QLineSeries(this);
  c->addSeries(rightHolder_);
  rightHolder_->attachAxis(bottom_);
  rightHolder_->attachAxis(right_);

  connect(left_, &QValueAxis::rangeChanged, this, [this] {
    for (auto& tool : lineTools_) tool->Place();
  });

  band_ = new QRubberBand(QRubberBand::Rectangle, viewport());
  band_->hide();
}

ChartView::~ChartView() = default;

ChartView::AxisState& ChartView::State(const QValueAxis* axis) {
  return const_cast<AxisState&>(std::as_const(*this).State(axis));
}

const ChartView::AxisState& ChartView::State(const QValueAxis* axis) const {
  // Every axis asked about is one of the chart's own, each with its state.
  const auto it = std::find_if(axes_.begin(), axes_.end(),
                               [axis](const AxisState& s) { return s.axis == axis; });
  assert(it != axes_.end());
  return *it;
}

void ChartView::SetTitleLines(const QStringList& lines) {
  titleLines_ = lines;
  QStringList html;
  for (const QString& line : lines) html << (line.isEmpty() ? "&nbsp;" : line.toHtmlEscaped());
  chart()->setTitle(html.join("<br>"));
}

void ChartView::SetFixedRange(QValueAxis* axis, double min, double max) {
  AxisState& state = State(axis);
  state.automatic = false;
  state.min = min;
  state.max = max;
  const bool zoomable = axis == bottom_ || axis == left_;
  if (!zoomed_ || !zoomable) ApplyRange(axis, min, max, state.edgeRoom);
}

void ChartView::SetEdgeRoom(QValueAxis* axis, double units) {
  AxisState& state = State(axis);
  state.edgeRoom = units;
  if (!state.automatic) SetFixedRange(axis, state.min, state.max);
}

void ChartView::SetAutomatic(QValueAxis* axis) {
  State(axis).automatic = true;
  DataChanged();
  ApplyAutomaticRanges();
}

bool ChartView::IsAutomatic(const QValueAxis* axis) const {
  return State(axis).automatic;
}

void ChartView::SetBackgroundColor(const QColor& color) {
  chart()->setBackgroundBrush(color);
  setBackgroundBrush(color);
}

void ChartView::SetBorderVisible(bool visible) {
  setFrameStyle(visible ? (QFrame::Box | QFrame::Plain) : QFrame::NoFrame);
  setLineWidth(1);
  QPalette p = palette();
  p.setColor(QPalette::WindowText, Qt::black);
  setPalette(p);
}

void ChartView::SetLegendVisible(bool visible) {
  chart()->legend()->setVisible(visible);
}

bool ChartView::LegendVisible() const {
  return chart()->legend()->isVisible();
}

PointSeries* ChartView::AddPointSeries() {
  auto* series = new QScatterSeries(this);
  chart()->addSeries(series);
  series->attachAxis(bottom_);
  series->attachAxis(left_);
  const int n = static_cast<int>(pointSeries_.size()) % std::size(kSeriesColors);
  pointSeries_.push_back(
      std::unique_ptr<PointSeries>(new PointSeries(*this, series, kSeriesColors[n])));
  DataChanged();
  return pointSeries_.back().get();
}

LineTool* ChartView::AddLineTool() {
  // Series are drawn in the order they were added: the point series are taken off and added
  // again after the new line so that every line stays behind them.
  for (auto& p : pointSeries_) chart()->removeSeries(p->series());
  auto* series = new QLineSeries(this);
  chart()->addSeries(series);
  series->attachAxis(bottom_);
  series->attachAxis(left_);
  for (auto& p : pointSeries_) {
    chart()->addSeries(p->series());
    p->series()->attachAxis(bottom_);
    p->series()->attachAxis(left_);
    p->ApplyLook();
  }
  lineTools_.push_back(std::unique_ptr<LineTool>(new LineTool(*this, series)));
  return lineTools_.back().get();
}

void ChartView::ApplyRange(QValueAxis* axis, double min, double max, double edgeRoom) {
  const bool vertical = axis == left_ || axis == right_;
  // The labels step through min..max from the anchor; the room only widens what is shown.
  axis->setTickInterval(
      NiceStep(max - min, vertical ? kMaxVerticalIntervals : kMaxHorizontalIntervals));
  axis->setRange(min - edgeRoom, max + edgeRoom);
}

void ChartView::AutomaticRange(AxisState& state) const {
  bool any = false;
  double lo = 0, hi = 0;
  for (const auto& p : pointSeries_) {
    if (!p->hasData_) continue;
    const double pLo = state.axis == bottom_ ? p->minX_ : p->minY_;
    const double pHi = state.axis == bottom_ ? p->maxX_ : p->maxY_;
    lo = any ? std::min(lo, pLo) : pLo;
    hi = any ? std::max(hi, pHi) : pHi;
    any = true;
  }
  if (!any) {
    lo = 0.0;
    hi = 1.0;
  } else if (lo == hi) {
    // One value only: a unit range from zero, or around the value.
    if (lo == 0.0)
      hi = 1.0;
    else {
      lo -= 1.0;
      hi += 1.0;
    }
  }
  const double margin = (hi - lo) * kAutomaticMargin;
  state.min = lo - margin;
  state.max = hi + margin;
}

void ChartView::DataChanged() {
  for (AxisState& state : axes_)
    if (state.automatic && (state.axis == bottom_ || state.axis == left_)) AutomaticRange(state);
  if (flushPending_) return;
  flushPending_ = true;
  QMetaObject::invokeMethod(
      this, [this] { Flush(); }, Qt::QueuedConnection);
}

void ChartView::Flush() {
  flushPending_ = false;
  for (auto& p : pointSeries_) {
    if (!p->dirty_) continue;
    p->series_->replace(p->points_);
    p->dirty_ = false;
  }
  ApplyAutomaticRanges();
}

void ChartView::ApplyAutomaticRanges() {
  if (zoomed_) return;
  for (const AxisState& state : axes_) {
    if (state.automatic && (state.axis->min() != state.min || state.axis->max() != state.max))
      ApplyRange(state.axis, state.min, state.max);
  }
}

QRectF ChartView::PlotRect() const {
  const QRectF area = chart()->mapRectToScene(chart()->plotArea());
  return mapFromScene(area).boundingRect();
}

void ChartView::ZoomTo(const QRect& widgetRect) {
  const QRectF plot = PlotRect();
  const QRectF r =
      QRectF(RectFromCorners(widgetRect.topLeft(), widgetRect.bottomRight())).intersected(plot);
  if (r.width() < kMinZoomDrag || r.height() < kMinZoomDrag) return;
  const double x0 = bottom_->min(), x1 = bottom_->max();
  const double y0 = left_->min(), y1 = left_->max();
  const double left = x0 + (r.left() - plot.left()) / plot.width() * (x1 - x0);
  const double right = x0 + (r.right() - plot.left()) / plot.width() * (x1 - x0);
  const double top = y1 - (r.top() - plot.top()) / plot.height() * (y1 - y0);
  const double bottom = y1 - (r.bottom() - plot.top()) / plot.height() * (y1 - y0);
  zoomed_ = true;
  ApplyRange(bottom_, left, right);
  ApplyRange(left_, bottom, top);
}

void ChartView::RestoreFullView() {
  zoomed_ = false;
  for (QValueAxis* axis : {bottom_, left_}) {
    const AxisState& state = State(axis);
    ApplyRange(axis, state.min, state.max, state.automatic ? 0.0 : state.edgeRoom);
  }
}

const QPointF* ChartView::PointAt(const QPoint& at, QPointF* drawnAt) const {
  if (!PlotRect().contains(at)) return nullptr;
  const QPointF* found = nullptr;
  double best = 0;
  for (const auto& p : pointSeries_) {
    const double reach = p->PointerSize() + 2.5;
    for (const QPointF& point : p->Points()) {
      const QPointF drawn =
          mapFromScene(chart()->mapToScene(chart()->mapToPosition(point, p->series())));
      const double dx = drawn.x() - at.x(), dy = drawn.y() - at.y();
      const double d2 = dx * dx + dy * dy;
      if (d2 > reach * reach || (found && d2 >= best)) continue;
      found = &point;
      best = d2;
      if (drawnAt) *drawnAt = drawn;
    }
  }
  return found;
}

bool ChartView::viewportEvent(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QChartView::viewportEvent(event);
  // The chart draws no items with tooltips of their own: the point under the pointer, else the
  // chart's own tooltip. A point's tip goes when the pointer leaves the point, and is asked
  // again where it rests.
  const auto& help = *static_cast<QHelpEvent*>(event);
  QPointF drawn;
  const QPointF* point = pointTip_ ? PointAt(help.pos(), &drawn) : nullptr;
  QString text = point ? pointTip_(*point) : QString();
  QRect area(drawn.toPoint() - QPoint(3, 3), QSize(7, 7));
  if (text.isEmpty()) {
    text = toolTip();
    area = viewport()->rect();
  }
  if (text.isEmpty()) {
    QToolTip::hideText();
    event->ignore();
    return true;
  }
  QToolTip::showText(help.globalPos(), text, viewport(), area);
  event->accept();
  return true;
}

void ChartView::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (event->button() == Qt::LeftButton && PlotRect().contains(at)) {
    dragging_ = true;
    bandOrigin_ = at;
    band_->setGeometry(QRect(at, QSize()));
    band_->show();
    event->accept();
    return;
  }
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QChartView::mousePressEvent(event);
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) {
    // Built from the two corners, so a drag toward the top-left shows (and zooms) like any
    // other.
    const QRect r = RectFromCorners(bandOrigin_, event->position().toPoint());
    band_->setGeometry(r.intersected(PlotRect().toAlignedRect()));
    event->accept();
    return;
  }
  QChartView::mouseMoveEvent(event);
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
  if (dragging_ && event->button() == Qt::LeftButton) {
    dragging_ = false;
    band_->hide();
    ZoomTo(RectFromCorners(bandOrigin_, event->position().toPoint()));
    event->accept();
    return;
  }
  if (event->button() == Qt::RightButton) {
    RestoreFullView();
    event->accept();
    return;
  }
  QChartView::mouseReleaseEvent(event);
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* event) {
  RestoreFullView();
  event->accept();
}

}  // namespace velmora::chart

#include "chart/chart_series.h"

#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>

#include "chart/chart_view.h"

namespace velmora::chart {

// ---- PointSeries ----

PointSeries::PointSeries(ChartView& chart, QScatterSeries* series, const QColor& color)
    : chart_(chart), series_(series), color_(color) {
  ApplyLook();
}

void PointSeries::ApplyLook() {
  series_->setMarkerShape(QScatterSeries::MarkerShapeCircle);
  series_->setMarkerSize(2 * pointerSize_ + 1);
  series_->setColor(color_);
  series_->setPen(QPen(color_.darker(150), 1));
  series_->setPointLabelsVisible(marksVisible_);
}

void PointSeries::SetPointerSize(int size) {
  pointerSize_ = std::max(0, size);
  series_->setMarkerSize(2 * pointerSize_ + 1);
}

void PointSeries::SetMarksVisible(bool visible) {
  marksVisible_ = visible;
  series_->setPointLabelsVisible(visible);
}

void PointSeries::Add(double x, double y) {
  if (points_.isEmpty() || points_.last().x() <= x) {
    points_.append(QPointF(x, y));
  } else {
    const auto at = std::upper_bound(points_.cbegin(), points_.cend(), x,
                                     [](double value, const QPointF& p) { return value < p.x(); });
    points_.insert(at - points_.cbegin(), QPointF(x, y));
  }
  Extend(x, y);
  dirty_ = true;
  chart_.DataChanged();
}

void PointSeries::Extend(double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  if (!hasData_) {
    minX_ = maxX_ = x;
    minY_ = maxY_ = y;
    hasData_ = true;
    return;
  }
  minX_ = std::min(minX_, x);
  maxX_ = std::max(maxX_, x);
  minY_ = std::min(minY_, y);
  maxY_ = std::max(maxY_, y);
}

void PointSeries::Clear() {
  points_.clear();
  hasData_ = false;
  dirty_ = true;
  chart_.DataChanged();
}

// ---- LineTool ----

LineTool::LineTool(ChartView& chart, QLineSeries* series) : chart_(chart), series_(series) {
  series_->setPointsVisible(false);
  series_->setPointLabelsVisible(false);
  Place();
}

bool LineTool::SetValue(double x) {
  if (x == value_) return false;
  value_ = x;
  Place();
  return true;
}

void LineTool::SetPen(const QPen& pen) {
  pen_ = pen;
  series_->setPen(pen);
}

void LineTool::Place() {
  // Both ends on the left axis' current limits: the line spans the plotting area's height and
  // the parts of the pen beyond it are clipped with the series.
  const QValueAxis* axis = chart_.LeftAxis();
  series_->replace(QList<QPointF>{QPointF(value_, axis->min()), QPointF(value_, axis->max())});
}

}  // namespace velmora::chart

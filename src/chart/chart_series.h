// The chart's point series and vertical line tools. They belong to a ChartView, which creates
// them and draws them.
#pragma once

#include <QColor>
#include <QList>
#include <QPen>
#include <QPointF>

QT_BEGIN_NAMESPACE
class QLineSeries;
class QScatterSeries;
QT_END_NAMESPACE

namespace velmora::chart {

class ChartView;

// A series of points drawn as small circles, kept ordered by ascending x.
//
// The points are held here and handed to the drawing once control returns to the event loop
// (or at ChartView::Flush), so filling a series point by point costs no redrawing per point.
class PointSeries {
 public:
  // Adds a point, after every point with an x not greater than x. Constant time when x is not
  // less than the last point's x (a histogram filled from left to right).
  void Add(double x, double y);
  void Clear();

  int Count() const { return static_cast<int>(points_.size()); }
  const QList<QPointF>& Points() const { return points_; }
  QPointF Point(int index) const { return points_.at(index); }

  // Pointer size in pixels from the centre, horizontally and vertically; the circle drawn is
  // 2 * size + 1 pixels across.
  void SetPointerSize(int size);
  int PointerSize() const { return pointerSize_; }
  QColor Color() const { return color_; }
  void SetMarksVisible(bool visible);
  bool MarksVisible() const { return marksVisible_; }

  QScatterSeries* series() const { return series_; }

 private:
  friend class ChartView;
  PointSeries(ChartView& chart, QScatterSeries* series, const QColor& color);
  // Sets colour, circle size and marks on the Qt series (again after it was re-added).
  void ApplyLook();
  void Extend(double x, double y);

  ChartView& chart_;
  QScatterSeries* series_;
  QList<QPointF> points_;
  // The drawing has not been given the current points yet.
  bool dirty_ = false;
  QColor color_;
  int pointerSize_ = 2;
  bool marksVisible_ = false;
  // Extent of the finite coordinates; valid when hasData_.
  bool hasData_ = false;
  double minX_ = 0, maxX_ = 0, minY_ = 0, maxY_ = 0;
};

// A vertical line at a value of the bottom axis, across the whole height of the plotting area.
class LineTool {
 public:
  double Value() const { return value_; }
  // Moves the line; returns whether the value changed (the chart redraws only then).
  bool SetValue(double x);
  void SetPen(const QPen& pen);
  QPen Pen() const { return pen_; }
  // The line is never dragged by the mouse; the flag only records that.
  bool AllowDrag() const { return false; }

  QLineSeries* series() const { return series_; }

 private:
  friend class ChartView;
  LineTool(ChartView& chart, QLineSeries* series);
  void Place();

  ChartView& chart_;
  QLineSeries* series_;
  QPen pen_;
  double value_ = 0.0;
};

}  // namespace velmora::chart

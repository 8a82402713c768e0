// The chart component: a two-dimensional chart with four titled value axes, point series and
// vertical line tools, drawn with Qt Charts.
//
// Series lie on the bottom and left axes. An axis is either fixed (its range is set once) or
// automatic (its range follows the data of the point series on it). Line tools are drawn behind
// every point series and are not part of the automatic ranges. The user zooms by dragging a
// rectangle over the plotting area with the left button, in any direction; a right click or a
// double click restores the full view. Resting the mouse on a point shows the tooltip its owner
// gives it; elsewhere over the chart the chart's own tooltip shows.
#pragma once

#include <QChartView>
#include <QList>
#include <QPointF>
#include <QRubberBand>
#include <QStringList>
#include <QValueAxis>
#include <functional>
#include <memory>
#include <vector>

#include "chart/chart_series.h"

QT_BEGIN_NAMESPACE
class QChart;
class QLineSeries;
class QScatterSeries;
QT_END_NAMESPACE

namespace velmora::chart {

class ChartView : public QChartView {
  Q_OBJECT
 public:
  explicit ChartView(QWidget* parent = nullptr);
  ~ChartView() override;

  QValueAxis* BottomAxis() const { return bottom_; }
  QValueAxis* LeftAxis() const { return left_; }
  QValueAxis* RightAxis() const { return right_; }
  QValueAxis* TopAxis() const { return top_; }

  // The chart title, one entry per line; empty lines keep their height.
  void SetTitleLines(const QStringList& lines);
  QStringList TitleLines() const { return titleLines_; }

  // Fixes an axis at min..max (the full view; a zoom narrows it until the view is restored).
  void SetFixedRange(QValueAxis* axis, double min, double max);
  // Leaves room of `units` beyond both ends of the axis's fixed range.
  void SetEdgeRoom(QValueAxis* axis, double units);
  // Lets an axis follow the data of the point series on it.
  void SetAutomatic(QValueAxis* axis);
  bool IsAutomatic(const QValueAxis* axis) const;

  // Background colour; the border line is drawn around the whole chart.
  void SetBackgroundColor(const QColor& color);
  void SetBorderVisible(bool visible);
  void SetLegendVisible(bool visible);
  bool LegendVisible() const;

  // Series and tools; the chart owns them.
  PointSeries* AddPointSeries();
  LineTool* AddLineTool();

  // The plotting area in pixels of the viewport (the view less its border line).
  QRectF PlotRect() const;
  // Zooms the bottom and left axes to the values under a rectangle of viewport pixels, which
  // may be given in any corner order.
  void ZoomTo(const QRect& widgetRect);
  void RestoreFullView();
  bool IsZoomed() const { return zoomed_; }

  // Hands changed points and automatic ranges to the drawing now rather than when control
  // returns to the event loop.
  void Flush();

  // The tooltip text of a point of a series (x, y); where it gives none, the chart's own shows.
  using PointTip = std::function<QString(const QPointF&)>;
  void SetPointTip(PointTip tip) { pointTip_ = std::move(tip); }
  // The point of a point series drawn nearest to a viewport position, within its circle and two
  // pixels more, inside the plotting area; null when there is none. Its viewport position too.
  const QPointF* PointAt(const QPoint& at, QPointF* drawnAt = nullptr) const;

 protected:
  bool viewportEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  friend class PointSeries;
  friend class LineTool;

  struct AxisState {
    QValueAxis* axis;
    bool automatic = false;
    // The full-view range: the fixed range, or the one the data gives.
    double min = 0, max = 1;
    // Room beyond both ends of a fixed range, in axis units, so that points and lines at the
    // ends are drawn whole; the labels still follow the fixed range.
    double edgeRoom = 0;
  };

  AxisState& State(const QValueAxis* axis);
  const AxisState& State(const QValueAxis* axis) const;
  // Applies a range with label ticks at round values.
  void ApplyRange(QValueAxis* axis, double min, double max, double edgeRoom = 0);
  // Recomputes the automatic ranges after the data changed and schedules a flush.
  void DataChanged();
  void ApplyAutomaticRanges();
  void AutomaticRange(AxisState& state) const;

  QValueAxis* bottom_;
  QValueAxis* left_;
  QValueAxis* right_;
  QValueAxis* top_;
  std::vector<AxisState> axes_;
  QStringList titleLines_;
  std::vector<std::unique_ptr<PointSeries>> pointSeries_;
  std::vector<std::unique_ptr<LineTool>> lineTools_;
  // Keeps the right axis laid out although no data lies on it: Qt Charts only draws axes that
  // some series uses.
  QLineSeries* rightHolder_;

  PointTip pointTip_;
  QRubberBand* band_;
  QPoint bandOrigin_;
  bool dragging_ = false;
  bool zoomed_ = false;
  bool flushPending_ = false;
};

}  // namespace velmora::chart

// The departures chart window Form2: one chart of the departures per tenth of an hour with a
// vertical line at the current time of day. The window has no behaviour of its own; the main
// window fills the points, moves the line and shows it.
#pragma once

#include <QList>
#include <QPointF>
#include <QWidget>

#include "chart/chart_view.h"

namespace velmora {

// The tooltip of a point of the chart: the tenth of an hour it stands for and its departures,
// "07:54-08:00" and "312 departures" for (7.9, 312); empty for an x outside the day's tenths.
QString DeparturesTip(const QPointF& point);

class TForm2 : public QWidget {
  Q_OBJECT
 public:
  explicit TForm2(QWidget* parent = nullptr);

  // The four operations the model performs on the chart; all work while the window is hidden.
  void ClearSeries();
  void AddPoint(double x, double y);
  void SetLineValue(double x);
  void ShowAndRaise();

  double LineValue() const { return ChartTool1->Value(); }
  int PointCount() const { return PSerTime->Count(); }
  QList<QPointF> Points() const { return PSerTime->Points(); }

  // ---- Components, as the layout names them ----
  chart::ChartView* Chart_Fahrtzeiten;
  chart::PointSeries* PSerTime;
  chart::LineTool* ChartTool1;
};

}  // namespace velmora

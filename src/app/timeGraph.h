// The departures chart window Form2.
#pragma once

#include <QWidget>

namespace velmora {

class TForm2 : public QWidget {
  Q_OBJECT
 public:
  explicit TForm2(QWidget* parent = nullptr);

  // The four operations the model performs on the chart.
  void ClearSeries();
  void AddPoint(double x, double y);
  void SetLineValue(double x);
  void ShowAndRaise();

  double LineValue() const { return lineValue_; }

 private:
  double lineValue_ = 11.0;
};

}  // namespace velmora

#include "app/timeGraph.h"

namespace velmora {

TForm2::TForm2(QWidget* parent) : QWidget(parent) {
  setObjectName("Form2");
  setWindowTitle("Form2");
  resize(890, 300);
  move(0, 0);
}

void TForm2::ClearSeries() {}

void TForm2::AddPoint(double, double) {}

void TForm2::SetLineValue(double x) { lineValue_ = x; }

void TForm2::ShowAndRaise() {
  show();
  raise();
  activateWindow();
}

}  // namespace velmora

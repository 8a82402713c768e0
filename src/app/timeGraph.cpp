#include "app/timeGraph.h"

#include <QPen>

#include "model/host.h"
#include "ui/fonts.h"

namespace velmora {

namespace {

constexpr int kClientWidth = 890;
constexpr int kClientHeight = 300;
constexpr int kChartWidth = 889;
constexpr int kChartHeight = 297;
// Room beyond both ends of the day on the time axis, in hours (about five pixels).
constexpr double kEdgeRoomHours = 0.15;

void StyleAxis(QValueAxis* axis, const QString& title, const QFont& font) {
  axis->setTitleText(title);
  axis->setLabelsFont(font);
  QFont bold = font;
  bold.setBold(true);
  axis->setTitleFont(bold);
}

}  // namespace

TForm2::TForm2(QWidget* parent) : QWidget(parent) {
  setObjectName("Form2");
  setWindowTitle("Form2");
  EnsureWindowFont();
  setFont(WindowFont());
  // Closing only hides the window, and never ends the program.
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(kClientWidth, kClientHeight);
  move(0, 0);

  // Not in a layout: the chart keeps its size when the window is resized.
  Chart_Fahrtzeiten = new chart::ChartView(this);
  Chart_Fahrtzeiten->setObjectName("Chart_Fahrtzeiten");
  Chart_Fahrtzeiten->setGeometry(0, 0, kChartWidth, kChartHeight);
  Chart_Fahrtzeiten->SetBackgroundColor(Qt::white);
  Chart_Fahrtzeiten->SetBorderVisible(true);
  Chart_Fahrtzeiten->SetLegendVisible(false);
  Chart_Fahrtzeiten->SetTitleLines({"Fahrtzeiten", ""});
  const QFont font = WindowFont();
  Chart_Fahrtzeiten->chart()->setTitleFont(font);
  Chart_Fahrtzeiten->chart()->setTitleBrush(Qt::black);

  QValueAxis* bottom = Chart_Fahrtzeiten->BottomAxis();
  StyleAxis(bottom, "Uhrzeit", font);
  bottom->setGridLinePen(QPen(QColor(192, 192, 192), 1, Qt::DotLine));
  Chart_Fahrtzeiten->SetFixedRange(bottom, 0.0, 24.0);
  // About five pixels of room before 0 and after 24, so the points (and the line) at the ends
  // of the day are drawn whole; the labels still run from 0 to 24.
  Chart_Fahrtzeiten->SetEdgeRoom(bottom, kEdgeRoomHours);

  QValueAxis* left = Chart_Fahrtzeiten->LeftAxis();
  StyleAxis(left, "Abfahrten", font);
  left->setGridLineVisible(false);
  left->setMinorTickCount(1);
  left->setMinorGridLineVisible(true);
  left->setMinorGridLinePen(QPen(QColor(192, 192, 192), 1, Qt::DotLine));
  Chart_Fahrtzeiten->SetAutomatic(left);

  // No series lies on the right axis: it shows its title, line and ticks, and its labels are
  // transparent (hidden labels would leave the title no room).
  QValueAxis* right = Chart_Fahrtzeiten->RightAxis();
  StyleAxis(right, "segregation index", font);
  right->setGridLineVisible(false);
  right->setLabelsColor(Qt::transparent);

  Chart_Fahrtzeiten->TopAxis()->setVisible(false);

  PSerTime = Chart_Fahrtzeiten->AddPointSeries();
  PSerTime->SetPointerSize(2);
  PSerTime->SetMarksVisible(false);

  ChartTool1 = Chart_Fahrtzeiten->AddLineTool();
  ChartTool1->SetPen(QPen(QColor(0, 128, 255), 5, Qt::SolidLine, Qt::SquareCap));
  ChartTool1->SetValue(kInitialChartLine);
}

void TForm2::ClearSeries() {
  PSerTime->Clear();
}

void TForm2::AddPoint(double x, double y) {
  PSerTime->Add(x, y);
}

void TForm2::SetLineValue(double x) {
  ChartTool1->SetValue(x);
}

void TForm2::ShowAndRaise() {
  if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

}  // namespace velmora

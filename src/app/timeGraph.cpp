#include "app/timeGraph.h"

#include <QPen>
#include <cmath>

#include "app/hover_tips.h"
#include "core/convert.h"
#include "model/host.h"
#include "model/planning.h"
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

// The chart's own tooltip; "{,}" stands for the decimal separator in force.
constexpr const char* kChartTip =
    "Fahrtzeiten: the departures per tenth of an hour (6 minutes) over the day, morning and "
    "evening together, as \"workers path\" drew them.\n"
    "Each point is one tenth of an hour: the point at 7{,}9 on \"Uhrzeit\" (the hour of day) "
    "counts the departures from 07:54 to 08:00; \"Abfahrten\" is their number. Rest the mouse "
    "on a point for its figures.\n"
    "The blue line is the time of day of the last step. The right axis (\"segregation index\") "
    "carries no series.\n"
    "Drag a rectangle to zoom in; a right click or a double click shows the whole day again.";

// "hh:mm" of a number of minutes into the day.
QString ClockText(int minutes) {
  return QString("%1:%2").arg(minutes / 60, 2, 10, QChar('0')).arg(minutes % 60, 2, 10, QChar('0'));
}

}  // namespace

QString DeparturesTip(const QPointF& point) {
  const double tenth = std::round(point.x() * 10);
  if (!(tenth >= 0 && tenth < kDepartureBins)) return {};
  const int start = static_cast<int>(tenth) * 6;
  const double count = point.y();
  return ClockText(start) + "-" + ClockText(start + 6) + "\n" + QString::number(count, 'f', 0) +
         (count == 1 ? " departure" : " departures");
}

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

  QString tip = QString::fromUtf8(kChartTip);
  tip.replace("{,}", QString(QChar::fromLatin1(DecimalSeparator())));
  Chart_Fahrtzeiten->setToolTip(WrapTip(tip));
  Chart_Fahrtzeiten->SetPointTip(DeparturesTip);
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

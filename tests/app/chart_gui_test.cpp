// The departures chart window on the offscreen platform: its configuration, the operations the
// model performs on it, what it draws and the rubber-band zoom.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineSeries>
#include <QMouseEvent>
#include <QScatterSeries>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "app/Main.h"
#include "app/timeGraph.h"
#include "app/window_fixture.h"
#include "ui/error_box.h"

namespace velmora {
namespace {

constexpr QRgb kAzure = 0x0080FF;

QRgb At(const QImage& image, int x, int y) {
  return image.pixel(x, y) & 0xFFFFFF;
}

// The chart as drawn, and where its plotting area lies in the picture.
struct Picture {
  QImage image;
  QRectF plot;
  double x0, x1;  // the time axis's range as shown
};

// Lets the event loop run, as it does before any painting, then grabs the chart.
Picture Grab(TForm2& form) {
  QApplication::processEvents();
  chart::ChartView* view = form.Chart_Fahrtzeiten;
  QImage image = view->grab().toImage();
  QRectF plot = view->PlotRect().translated(view->viewport()->pos());
  return {image, plot, view->BottomAxis()->min(), view->BottomAxis()->max()};
}

double PixelX(const Picture& p, double hours) {
  return p.plot.left() + (hours - p.x0) / (p.x1 - p.x0) * p.plot.width();
}

// The time axis shows 0 to 24 with a little room at both ends, labelled from 0 to 24.
void ExpectFullDay(const QValueAxis* axis) {
  EXPECT_LT(axis->min(), 0.0);
  EXPECT_GT(axis->min(), -0.5);
  EXPECT_DOUBLE_EQ(axis->max(), 24.0 - axis->min());
  EXPECT_EQ(axis->tickAnchor(), 0.0);
  EXPECT_EQ(axis->tickInterval(), 2.0);
}

// The columns of one row that are drawn in the line's azure.
std::vector<int> AzureColumns(const Picture& p, int y) {
  std::vector<int> columns;
  for (int x = 0; x < p.image.width(); ++x)
    if (At(p.image, x, y) == kAzure) columns.push_back(x);
  return columns;
}

// Expects one band of azure about 5 pixels wide, centred at the line's value, on rows from the
// top to the bottom of the plotting area.
void ExpectLineAt(const Picture& p, double hours) {
  const double expected = PixelX(p, hours);
  for (double share : {0.05, 0.5, 0.95}) {
    const int y = static_cast<int>(p.plot.top() + share * p.plot.height());
    const std::vector<int> columns = AzureColumns(p, y);
    ASSERT_FALSE(columns.empty()) << "row " << y;
    EXPECT_EQ(columns.back() - columns.front() + 1, static_cast<int>(columns.size()))
        << "one contiguous band, row " << y;
    EXPECT_GE(columns.size(), 3u);
    EXPECT_LE(columns.size(), 6u);
    // Pixel x covers x..x+1; the pen's edges are smoothed, so allow a pixel and a half.
    EXPECT_NEAR((columns.front() + columns.back() + 1) / 2.0, expected, 1.5) << "row " << y;
  }
}

void SendMouse(QWidget* target, QEvent::Type type, Qt::MouseButton button, QPoint at) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
  QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)),
                    type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

void Drag(chart::ChartView* view, QPoint from, QPoint to) {
  QWidget* vp = view->viewport();
  SendMouse(vp, QEvent::MouseButtonPress, Qt::LeftButton, from);
  SendMouse(vp, QEvent::MouseMove, Qt::LeftButton, (from + to) / 2);
  SendMouse(vp, QEvent::MouseMove, Qt::LeftButton, to);
  SendMouse(vp, QEvent::MouseButtonRelease, Qt::LeftButton, to);
}

TEST(ChartWindow, IsConfiguredAsTheDeparturesChart) {
  TForm2 form;
  EXPECT_EQ(form.windowTitle(), "Form2");
  EXPECT_EQ(form.size(), QSize(890, 300));
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.font().pixelSize(), 11);
  chart::ChartView* c = form.Chart_Fahrtzeiten;
  EXPECT_EQ(c->objectName(), "Chart_Fahrtzeiten");
  EXPECT_EQ(c->geometry(), QRect(0, 0, 889, 297));
  EXPECT_EQ(c->TitleLines(), QStringList({"Fahrtzeiten", ""}));
  EXPECT_FALSE(c->LegendVisible());

  EXPECT_EQ(c->BottomAxis()->titleText(), "Uhrzeit");
  EXPECT_FALSE(c->IsAutomatic(c->BottomAxis()));
  ExpectFullDay(c->BottomAxis());

  QValueAxis* left = c->LeftAxis();
  EXPECT_EQ(left->titleText(), "Abfahrten");
  EXPECT_TRUE(c->IsAutomatic(left));
  EXPECT_FALSE(left->isGridLineVisible());
  EXPECT_TRUE(left->isMinorGridLineVisible());
  EXPECT_EQ(left->minorGridLinePen().color(), QColor(192, 192, 192));
  EXPECT_EQ(left->minorGridLinePen().style(), Qt::DotLine);
  EXPECT_EQ(left->minorTickCount(), 1);

  EXPECT_EQ(c->RightAxis()->titleText(), "segregation index");
  EXPECT_TRUE(c->RightAxis()->isVisible());
  for (QAbstractSeries* s : c->chart()->series()) {
    if (s->attachedAxes().contains(c->RightAxis())) {
      EXPECT_EQ(static_cast<QXYSeries*>(s)->count(), 0) << "no data on the right axis";
    }
  }
  EXPECT_FALSE(c->TopAxis()->isVisible());

  EXPECT_EQ(form.PSerTime->series()->markerShape(), QScatterSeries::MarkerShapeCircle);
  EXPECT_EQ(form.PSerTime->series()->markerSize(), 5.0);
  EXPECT_FALSE(form.PSerTime->MarksVisible());
  EXPECT_FALSE(form.PSerTime->series()->pointLabelsVisible());

  const QPen pen = form.ChartTool1->series()->pen();
  EXPECT_EQ(pen.color(), QColor(0, 128, 255));
  EXPECT_EQ(pen.width(), 5);
  EXPECT_EQ(pen.capStyle(), Qt::SquareCap);
  EXPECT_FALSE(form.ChartTool1->AllowDrag());
  EXPECT_EQ(form.LineValue(), 11.0);
  EXPECT_EQ(form.PointCount(), 0);
}

TEST(ChartWindow, ShowGraphBeforePlanningShowsTheLineAtElevenAndNoPoints) {
  testing::Window window;
  RecordingReporter& errors = window.errors;
  TForm2& form2 = window.form2;
  TForm1& form = window.form;
  form.Run(&Model::B_showGraphClick);
  EXPECT_TRUE(errors.messages.empty());
  EXPECT_TRUE(form2.isVisible());
  EXPECT_EQ(form2.PointCount(), 0);
  const Picture p = Grab(form2);
  ExpectLineAt(p, 11.0);
  // Nothing but the line inside the plotting area: no point colours.
  const int y = static_cast<int>(p.plot.center().y());
  for (int x = static_cast<int>(p.plot.left()) + 3; x < p.plot.right() - 3; ++x)
    EXPECT_NE(qRed(p.image.pixel(x, y)) > 200 && qGreen(p.image.pixel(x, y)) < 80, true) << x;
}

TEST(ChartWindow, ClosingHidesAndShowingAgainKeepsPointsAndTheCurrentLine) {
  TForm2 form;
  form.ShowAndRaise();
  ASSERT_TRUE(form.isVisible());
  for (int k = 0; k < 240; ++k) form.AddPoint(k / 10.0, k);
  form.SetLineValue(13.5);
  EXPECT_TRUE(form.close());
  EXPECT_FALSE(form.isVisible());

  // The clock keeps moving the line while the window is closed.
  form.SetLineValue(14.2);
  EXPECT_EQ(form.LineValue(), 14.2);
  form.ShowAndRaise();
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.PointCount(), 240);
  EXPECT_EQ(form.Points()[70], QPointF(7.0, 70.0));
  ExpectLineAt(Grab(form), 14.2);
}

TEST(ChartWindow, LineMovesWithItsValueEvenWhileHidden) {
  TForm2 form;  // never shown
  ExpectLineAt(Grab(form), 11.0);
  form.SetLineValue(17.25);
  const Picture moved = Grab(form);
  ExpectLineAt(moved, 17.25);
  const int y = static_cast<int>(moved.plot.center().y());
  EXPECT_NE(At(moved.image, static_cast<int>(std::lround(PixelX(moved, 11.0))), y), kAzure);
  // At the ends of the day the line is drawn whole inside the plotting area.
  for (double hours : {0.0, 24.0}) {
    form.SetLineValue(hours);
    const Picture end = Grab(form);
    ExpectLineAt(end, hours);
    const std::vector<int> columns = AzureColumns(end, static_cast<int>(end.plot.center().y()));
    ASSERT_FALSE(columns.empty());
    EXPECT_GT(columns.front(), end.plot.left());
    EXPECT_LT(columns.back() + 1, end.plot.right());
  }
}

// Points at 0 h and 24 h are whole discs inside the plotting area, as wide as one in the middle.
TEST(ChartWindow, PointsAtTheEndsOfTheDayAreDrawnWhole) {
  TForm2 form;
  for (double hours : {0.0, 12.0, 24.0}) form.AddPoint(hours, 5.0);
  form.SetLineValue(6.0);
  const Picture p = Grab(form);
  const chart::ChartView* c = form.Chart_Fahrtzeiten;
  const double share = (5.0 - c->LeftAxis()->min()) / (c->LeftAxis()->max() - c->LeftAxis()->min());
  const int y = static_cast<int>(std::lround(p.plot.bottom() - share * p.plot.height()));
  // The columns and rows near a point's centre where the point's red shows.
  const auto extent = [&](double hours) {
    const int cx = static_cast<int>(std::lround(PixelX(p, hours)));
    int left = cx, right = cx, top = y, bottom = y;
    for (int dy = -6; dy <= 6; ++dy) {
      for (int dx = -6; dx <= 6; ++dx) {
        const QRgb px = p.image.pixel(cx + dx, y + dy);
        if (qRed(px) > 150 && qGreen(px) < 120 && qBlue(px) < 120) {
          left = std::min(left, cx + dx), right = std::max(right, cx + dx);
          top = std::min(top, y + dy), bottom = std::max(bottom, y + dy);
        }
      }
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
  };
  const QRect middle = extent(12.0);
  EXPECT_GE(middle.width(), 4);
  for (double hours : {0.0, 24.0}) {
    const QRect disc = extent(hours);
    EXPECT_EQ(disc.size(), middle.size()) << hours;
    EXPECT_GT(disc.left(), p.plot.left()) << hours;
    EXPECT_LT(disc.right() + 1, p.plot.right()) << hours;
  }
}

TEST(ChartWindow, PointsAreDrawnInFrontOfTheLine) {
  TForm2 form;
  form.AddPoint(5.0, 0.0);
  form.AddPoint(11.0, 10.0);
  form.AddPoint(20.0, 20.0);
  const Picture p = Grab(form);
  chart::ChartView* c = form.Chart_Fahrtzeiten;
  const double share =
      (10.0 - c->LeftAxis()->min()) / (c->LeftAxis()->max() - c->LeftAxis()->min());
  const int x = static_cast<int>(std::lround(PixelX(p, 11.0)));
  const int y = static_cast<int>(std::lround(p.plot.bottom() - share * p.plot.height()));
  // The point's middle, within the smoothing of its edge and a pixel or two of the axis
  // mapping, is red, not the line's azure.
  int red = 0;
  for (int dx = -3; dx <= 3; ++dx) {
    for (int dy = -3; dy <= 3; ++dy) {
      const QRgb c = p.image.pixel(x + dx, y + dy);
      if (qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60) ++red;
    }
  }
  EXPECT_GE(red, 5);
}

TEST(ChartWindow, PointsStayOrderedByXAndTheLeftAxisFollowsThem) {
  TForm2 form;
  form.AddPoint(5.0, 1.0);
  form.AddPoint(1.0, 2.0);
  form.AddPoint(3.0, 3.0);
  form.AddPoint(3.0, 4.0);  // after the equal x already there
  form.AddPoint(0.0, 500.0);
  form.AddPoint(9.0, 6.0);
  const QList<QPointF> expected = {{0, 500}, {1, 2}, {3, 3}, {3, 4}, {5, 1}, {9, 6}};
  EXPECT_EQ(form.Points(), expected);

  QApplication::processEvents();
  EXPECT_EQ(form.PSerTime->series()->points(), expected);
  QValueAxis* left = form.Chart_Fahrtzeiten->LeftAxis();
  EXPECT_LE(left->min(), 1.0);
  EXPECT_GE(left->max(), 500.0);
  EXPECT_LT(left->max(), 550.0);

  form.ClearSeries();
  EXPECT_EQ(form.PointCount(), 0);
  QApplication::processEvents();
  EXPECT_EQ(form.PSerTime->series()->count(), 0);
  EXPECT_LT(left->max(), 2.0);

  // A day without departures: all zero, still a usable range with zero inside.
  for (int k = 0; k < 240; ++k) form.AddPoint(k / 10.0, 0.0);
  form.Chart_Fahrtzeiten->Flush();
  EXPECT_LE(left->min(), 0.0);
  EXPECT_GE(left->max(), 1.0);
  EXPECT_LT(left->max(), 2.0);
  ExpectFullDay(form.Chart_Fahrtzeiten->BottomAxis());
}

TEST(ChartWindow, DragInAnyDirectionZoomsAndRightClickRestores) {
  TForm2 form;
  for (int k = 0; k < 240; ++k) form.AddPoint(k / 10.0, k);
  form.ShowAndRaise();
  QApplication::processEvents();
  chart::ChartView* c = form.Chart_Fahrtzeiten;
  const QRectF plot = c->PlotRect();
  const double fullMin = c->LeftAxis()->min(), fullMax = c->LeftAxis()->max();
  const QPoint a(static_cast<int>(plot.left() + plot.width() / 4),
                 static_cast<int>(plot.top() + plot.height() / 4));
  const QPoint b(static_cast<int>(plot.left() + plot.width() / 2),
                 static_cast<int>(plot.top() + plot.height() / 2));

  // A click is not a zoom.
  Drag(c, a, a + QPoint(1, 1));
  EXPECT_FALSE(c->IsZoomed());

  // Up and to the left.
  Drag(c, b, a);
  ASSERT_TRUE(c->IsZoomed());
  EXPECT_NEAR(c->BottomAxis()->min(), 6.0, 0.1);
  EXPECT_NEAR(c->BottomAxis()->max(), 12.0, 0.1);
  const double span = fullMax - fullMin;
  EXPECT_NEAR(c->LeftAxis()->min(), fullMin + span / 2, span / 100);
  EXPECT_NEAR(c->LeftAxis()->max(), fullMin + span * 3 / 4, span / 100);
  const double upLeftMin = c->BottomAxis()->min(), upLeftMax = c->BottomAxis()->max();

  // The same rectangle dragged down and to the right zooms the same way.
  c->RestoreFullView();
  Drag(c, a, b);
  EXPECT_NEAR(c->BottomAxis()->min(), upLeftMin, 1e-9);
  EXPECT_NEAR(c->BottomAxis()->max(), upLeftMax, 1e-9);

  // The line spans the zoomed height; data arriving while zoomed counts once restored.
  form.SetLineValue(9.0);
  const QList<QPointF> line = form.ChartTool1->series()->points();
  EXPECT_EQ(line.front().y(), c->LeftAxis()->min());
  EXPECT_EQ(line.back().y(), c->LeftAxis()->max());
  form.AddPoint(12.0, 1000.0);
  SendMouse(c->viewport(), QEvent::MouseButtonPress, Qt::RightButton, a);
  SendMouse(c->viewport(), QEvent::MouseButtonRelease, Qt::RightButton, a);
  EXPECT_FALSE(c->IsZoomed());
  ExpectFullDay(c->BottomAxis());
  EXPECT_GE(c->LeftAxis()->max(), 1000.0);
  EXPECT_EQ(form.ChartTool1->series()->points().back().y(), c->LeftAxis()->max());
}

// Writes the chart window with a two-peak day of departures to the file named by
// VELMORA_CHART_SAMPLE (the picture in the documentation); skipped otherwise.
TEST(ChartWindow, RendersSample) {
  const char* path = std::getenv("VELMORA_CHART_SAMPLE");
  if (!path) GTEST_SKIP() << "VELMORA_CHART_SAMPLE not set";
  TForm2 form;
  form.ClearSeries();
  for (int k = 0; k < 240; ++k) {
    const double t = k / 10.0;
    const double y =
        950 * std::exp(-(t - 8) * (t - 8) / 2) + 950 * std::exp(-(t - 17) * (t - 17) / 2);
    form.AddPoint(t, std::round(y / 10) * 4);
  }
  form.SetLineValue(11.0);
  form.ShowAndRaise();
  QApplication::processEvents();
  ASSERT_TRUE(form.grab().save(QString::fromLocal8Bit(path)));
}

}  // namespace
}  // namespace velmora

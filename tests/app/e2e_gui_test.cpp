// The whole program on the real windows, driven by mouse clicks on its buttons so that the
// wiring of every control is used: the route demonstration over the default network, the
// departures chart of the default town, and a morning of traffic stepped by hand and then run
// by the timer while the window keeps answering clicks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "app/Main.h"
#include "app/timeGraph.h"
#include "app/window_fixture.h"
#include "core/convert.h"
#include "core/random.h"
#include "ui/error_box.h"

namespace velmora {
namespace {

constexpr QRgb kRed = 0xFF0000, kGreen = 0x008000, kYellow = 0xFFFF00, kBlack = 0x000000;
constexpr QRgb kAzure = 0x0080FF;

QRgb At(const QImage& image, int x, int y) {
  return image.pixel(x, y) & 0xFFFFFF;
}

// Pixels of one colour on a layer, as y * width + x.
std::set<int> PixelsOf(const QImage& image, QRgb colour) {
  std::set<int> pixels;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (At(image, x, y) == colour) pixels.insert(y * image.width() + x);
  return pixels;
}

// Both windows as the program opens them, with the default texts written out under a comma
// locale, the way the window itself fills them.
struct Program : testing::Window {
  Program() {
    SetDecimalSeparator(',');
    form.E_STD->setText("1,0");
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
  }

  void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
  const QImage& Overlay() {
    const QImage* overlay = form.imageCells().OverlayImage();
    EXPECT_NE(overlay, nullptr);
    return *overlay;
  }
  // Steps begun, failed ones included (a failing step leaves the labels as they were).
  int Steps() { return static_cast<int>(form.model().day.stepCount); }
  // Lets the event loop run until the clock has made `more` further steps (at most 20 s).
  bool WaitForSteps(int more) {
    const int target = Steps() + more;
    for (int waited = 0; waited < 20000 && Steps() < target; waited += 5) QTest::qWait(5);
    return Steps() >= target;
  }
};

// ---- "find path" ----

TEST(EndToEnd, FindPathDrawsYellowRoutesOverTheRedNetworkAndKeepsEarlierOnes) {
  Program p;
  SetRandSeed(7u);
  p.Click(p.form.B_agCreate);
  const Model& m = p.form.model();
  ASSERT_EQ(m.network.nodeList.size(), 42u);
  // What the network drawing covers: every pixel "find path" may paint red or green again.
  const std::set<int> network = [&] {
    std::set<int> red = PixelsOf(p.Overlay(), kRed);
    const std::set<int> green = PixelsOf(p.Overlay(), kGreen);
    red.insert(green.begin(), green.end());
    return red;
  }();
  ASSERT_GT(network.size(), 42u * 20);

  // Presses until a route of at least two entries is found and drawn (shorter ones draw
  // nothing); returns the pair of nodes it ran between.
  auto pressUntilDrawn = [&](std::pair<const TAgent*, const TAgent*> other) {
    for (int press = 0; press < 200; ++press) {
      p.Click(p.form.B_findPath);
      if (m.network.routeList.size() < 2) continue;
      std::pair<const TAgent*, const TAgent*> ends{m.network.routeList.front(),
                                                   m.network.routeList.back()};
      if (ends != other) return ends;
    }
    ADD_FAILURE() << "no drawn route in 200 presses";
    return other;
  };

  pressUntilDrawn({nullptr, nullptr});
  const Route first = m.network.routeList;
  const QImage afterFirst = p.Overlay().copy();
  // The route lies over the network: yellow at the middle of every segment it drew.
  for (size_t k = 0; k + 1 < first.size(); ++k) {
    const int mx = (first[k]->x + first[k + 1]->x) / 2, my = (first[k]->y + first[k + 1]->y) / 2;
    EXPECT_EQ(At(afterFirst, mx, my), kYellow) << "segment " << k;
  }
  const std::set<int> yellowFirst = PixelsOf(afterFirst, kYellow);
  EXPECT_GT(yellowFirst.size(), 20u);
  // The red network is still there around it.
  EXPECT_GT(PixelsOf(afterFirst, kRed).size(), network.size() / 2);
  // And the composed picture shows the yellow over the cells.
  const QImage composed = p.form.imageCells().Composed();
  for (int pixel : yellowFirst)
    ASSERT_EQ(At(composed, pixel % composed.width(), pixel / composed.width()), kYellow);

  // The overlay is not cleared by later presses: what an earlier route drew stays wherever
  // the new drawing does not lie over it. Every press redraws the whole network red, two
  // pixels wide, so a route drawn two pixels wide (a link's first use) vanishes under it;
  // only the yellow beyond the red band, from links raised more than once, stays on.
  std::pair<const TAgent*, const TAgent*> last{first.front(), first.back()};
  QImage before = afterFirst;
  int keptOutsideNetwork = 0;
  for (int press = 0; press < 30; ++press) {
    last = pressUntilDrawn(last);
    const QImage& now = p.Overlay();
    for (int y = 0; y < now.height(); ++y)
      for (int x = 0; x < now.width(); ++x) {
        if (At(before, x, y) != kYellow) continue;
        const QRgb colour = At(now, x, y);
        if (network.count(y * now.width() + x) == 0) {
          ASSERT_EQ(colour, kYellow) << x << "," << y << " after press " << press;
          ++keptOutsideNetwork;
        } else {
          ASSERT_TRUE(colour == kYellow || colour == kRed || colour == kGreen);
        }
      }
    before = now.copy();
  }
  EXPECT_GT(keptOutsideNetwork, 0);
  EXPECT_TRUE(p.errors.messages.empty());
}

// ---- "workers path" and the chart ----

TEST(EndToEnd, WorkersPathChartsTheMorningAndEveningPeaksOfTheDefaultTown) {
  Program p;
  SetRandSeed(20240611u);
  EXPECT_FALSE(p.form2.isVisible());
  p.Click(p.form.B_loadData);
  p.Click(p.form.B_agCreate);
  p.Click(p.form.B_workPath);
  ASSERT_TRUE(p.errors.messages.empty()) << p.errors.messages.front();
  EXPECT_TRUE(p.form2.isVisible());

  const QList<QPointF> points = p.form2.Points();
  ASSERT_EQ(points.size(), 240);
  auto peak = [&](int from, int to) {
    int best = from;
    for (int i = from; i <= to; ++i)
      if (points[i].y() > points[best].y()) best = i;
    return points[best].x();
  };
  EXPECT_GE(peak(0, 119), 7.0);
  EXPECT_LE(peak(0, 119), 9.0);
  EXPECT_GE(peak(120, 239), 16.0);
  EXPECT_LE(peak(120, 239), 18.0);
  // Every routed worker departs twice, every departure inside the day.
  double sum = 0;
  for (const QPointF& point : points) sum += point.y();
  long long paired = 0;
  p.form.model().town.cells.ForEach([&](const TCell& c) {
    for (const Trip& t : c.trips) paired += t.HasWorkplace() ? 1 : 0;
  });
  EXPECT_EQ(sum, 2.0 * static_cast<double>(paired));

  // The blue line stands at 11 in the drawn chart, over its whole height.
  EXPECT_EQ(p.form2.LineValue(), 11.0);
  QApplication::processEvents();
  chart::ChartView* view = p.form2.Chart_Fahrtzeiten;
  const QImage chart = view->grab().toImage();
  const QRectF plot = view->PlotRect().translated(view->viewport()->pos());
  const QValueAxis* time = view->BottomAxis();
  const double expectedX =
      plot.left() + (11.0 - time->min()) / (time->max() - time->min()) * plot.width();
  for (double share : {0.1, 0.5, 0.9}) {
    const int y = static_cast<int>(plot.top() + share * plot.height());
    std::vector<int> azure;
    for (int x = 0; x < chart.width(); ++x)
      if (At(chart, x, y) == kAzure) azure.push_back(x);
    ASSERT_FALSE(azure.empty()) << "row " << y;
    EXPECT_NEAR((azure.front() + azure.back() + 1) / 2.0, expectedX, 1.5);
  }
}

// ---- The day in motion ----

TEST(EndToEnd, AMorningStepByStepThenTheTimerRunsWhileTheWindowAnswersClicks) {
  Program p;
  SetRandSeed(20240611u);
  p.Click(p.form.B_loadData);
  p.Click(p.form.B_agCreate);
  p.Click(p.form.B_workPath);
  ASSERT_TRUE(p.errors.messages.empty()) << p.errors.messages.front();
  EXPECT_EQ(p.form.Lal_min->text(), "10 min");

  for (int step = 0; step < 48; ++step) p.Click(p.form.B_oneStep);
  EXPECT_EQ(p.form.Lbl_time->text(), "8");
  EXPECT_EQ(p.form.Lbl_steps->text(), "48");
  EXPECT_GT(p.form.lbl_onRoad->text().toInt(), 0);
  EXPECT_FALSE(p.form.model().day.travellers.empty());
  const std::set<int> yellowAtEight = PixelsOf(p.Overlay(), kYellow);
  EXPECT_GT(yellowAtEight.size(), 100u);
  EXPECT_EQ(p.form2.LineValue(), 8.0);
  ASSERT_TRUE(p.errors.messages.empty());

  // The timer runs the day on its own.
  EXPECT_EQ(p.form.E_tInterv->text(), "1");
  p.Click(p.form.B_startT);
  ASSERT_TRUE(p.form.timer().Ticking());
  ASSERT_TRUE(p.WaitForSteps(3));

  // Between steps the window takes clicks: the chart window, closed by the user, comes back
  // with "show graph1" while the clock goes on.
  p.form2.hide();
  p.Click(p.form.B_showGraph);
  EXPECT_TRUE(p.form2.isVisible());
  ASSERT_TRUE(p.WaitForSteps(3));

  // A scale that is no number, typed while the timer runs, fails the next step; that failure
  // switches the timer off, and "startTimer" after mending the text runs the day on.
  p.form.E_tScale->setText("x");
  ASSERT_TRUE(p.WaitForSteps(1));
  QTest::qWait(50);
  ASSERT_EQ(p.errors.messages, std::vector<std::string>{"'x' ist kein gültiger Integerwert."});
  EXPECT_FALSE(p.form.timer().Enabled());
  // A failed step leaves the overlay cleared and its labels unchanged.
  EXPECT_TRUE(PixelsOf(p.Overlay(), kYellow).empty());
  EXPECT_TRUE(PixelsOf(p.Overlay(), kRed).empty());
  EXPECT_LT(p.form.Lbl_steps->text().toInt(), p.Steps());
  p.form.E_tScale->setText("1");
  p.Click(p.form.B_startT);
  ASSERT_TRUE(p.WaitForSteps(3));
  EXPECT_EQ(p.errors.messages.size(), 1u);
  EXPECT_EQ(p.form.Lbl_steps->text().toInt(), p.Steps());
  EXPECT_FALSE(PixelsOf(p.Overlay(), kRed).empty());

  // The line of the chart follows the clock.
  const double clock = p.form.model().day.clockHours;
  EXPECT_EQ(p.form2.LineValue(), clock);
  EXPECT_GT(clock, 8.0);

  // "startTimer" again stops it; no step happens after that.
  p.Click(p.form.B_startT);
  EXPECT_FALSE(p.form.timer().Ticking());
  const int stopped = p.Steps();
  QTest::qWait(50);
  EXPECT_EQ(p.Steps(), stopped);
}

}  // namespace
}  // namespace velmora

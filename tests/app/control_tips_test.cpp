// The tooltips of both windows, offscreen: every control has one that names its unit (the
// decimal boxes their separator); the readouts tell the state of the moment: the timer, the
// network's parts, the busiest links at 8 o'clock of the default town (with the same counts on
// the link itself), the cell with the most workers, and a point of the departures chart.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScatterSeries>
#include <QToolTip>
#include <algorithm>
#include <map>
#include <regex>
#include <string>

#include "app/Main.h"
#include "app/hover_tips.h"
#include "app/timeGraph.h"
#include "app/window_fixture.h"
#include "core/random.h"
#include "model/hover_lookup.h"

namespace velmora {
namespace {

using testing::Window;

// The tooltip that shows when the mouse rests on a widget at a point; empty when none.
std::string TipAt(QWidget* widget, QPoint at) {
  QToolTip::hideText();
  QHelpEvent event(QEvent::ToolTip, at, widget->mapToGlobal(at));
  QApplication::sendEvent(widget, &event);
  return QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
}
std::string TipOf(QWidget* widget) {
  return TipAt(widget, widget->rect().center());
}
// Whether a tooltip says something, wherever its lines are broken.
bool Has(std::string text, std::string part) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  std::replace(part.begin(), part.end(), '\n', ' ');
  return text.find(part) != std::string::npos;
}
// A readout as the tooltip shows it below the control's own text.
std::string Below(QWidget* control, const std::string& readout) {
  return (control->toolTip() + "\n\n" + WrapTip(QString::fromStdString(readout))).toStdString();
}

TEST(ControlTips, EveryControlOfBothWindowsExplainsItselfWithItsUnit) {
  Window w;
  // Every button, edit box and label, and what its tooltip must name: the unit where it has
  // one, else what it needs first or what it shows. A caption label names what its box does.
  const std::pair<const char*, const char*> rows[] = {
      {"E_cellScale Label1 E_conDist Label12 E_repDist Label13", "pixels"},
      {"E_nodeNumber Label5 B_agCreate", "nodes"},
      {"E_STD Label6 E_mDep Label7 E_eDep Label8 Lbl_time Label9", "in hours"},
      {"E_tScale Label11 lbl_onRoad Label10", "vehicles"},
      {"E_tInterv Label14", "milliseconds"},
      {"E_timeScale Label15", "steps per model hour"},
      {"Lal_min Label16", "minutes"},
      {"Lbl_steps Label17", "steps"},
      {"Lbl_worker Label2 RB_sRed", "workers"},
      {"Lbl_workPl Label3 RB_sGreen", "workplaces"},
      {"Lbl_retail Label4 RB_sBlue", "retail units"},
      {"RB_sAll", "red = workers, green = workplaces, blue = retail units"},
      {"B_showGraph Chart_Fahrtzeiten", "tenth of an hour"},
      {"B_deleteAll", "new setup"},
      {"B_setup", "cell scale"},
      {"B_loadData", "darker"},
      {"B_lineWork", "After \"load data\""},
      {"B_agDelete", "network"},
      {"B_workPath", "After \"load data\" and \"agents create\""},
      {"B_findPath", "only within a part"},
      {"B_startT", "on or off"},
      {"B_oneStep", "one step"}};
  std::map<std::string, std::string> table;
  for (const auto& [names, unit] : rows)
    for (const QString& name : QString(names).split(' ')) table[name.toStdString()] = unit;
  std::map<std::string, std::string> walked;
  auto walk = [&walked](QWidget* window) {
    for (QWidget* control : window->findChildren<QWidget*>())
      if (qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control) ||
          qobject_cast<QLabel*>(control) || qobject_cast<chart::ChartView*>(control))
        walked[control->objectName().toStdString()] = control->toolTip().toStdString();
  };
  walk(&w.form);
  walk(&w.form2);
  ASSERT_EQ(walked.size(), table.size());
  for (const auto& [name, tip] : walked) {
    SCOPED_TRACE(name);
    ASSERT_EQ(table.count(name), 1u);
    EXPECT_TRUE(Has(tip, table.at(name))) << tip;
  }
  // The decimal boxes and the clock name the separator this window takes (a comma here).
  for (const char* name : {"E_STD", "E_mDep", "E_eDep", "Lbl_time"})
    EXPECT_TRUE(Has(walked[name], "\",\" as the decimal separator")) << name;
  EXPECT_TRUE(Has(walked["E_STD"], "1,5, not 1.5"));
  // The legend and the pictures' sense of dark.
  EXPECT_TRUE(Has(walked["RB_sAll"], "brighter = more"));
  EXPECT_TRUE(Has(walked["RB_sAll"], "a darker pixel means more"));
  // A control with a readout shows its own text first.
  EXPECT_EQ(TipOf(w.form.E_tInterv), walked["E_tInterv"]);
  EXPECT_EQ(TipOf(w.form.B_startT).rfind(walked["B_startT"] + "\n\n", 0), 0u);
}

TEST(ControlTips, ReadoutsTellTheTimerThePartsTheBusiestLinksAndTheMostWorkers) {
  Window w;
  TForm1& f = w.form;
  f.show();
  // The timer: off, on, on without ticks, at another interval.
  EXPECT_TRUE(Has(TipOf(f.B_startT), "The timer is off now (interval 1 ms)."));
  f.B_startT->click();
  EXPECT_TRUE(Has(TipOf(f.B_startT), "The timer is running now: a step every 1 ms."));
  w.Type(f.E_tInterv, "0");
  EXPECT_TRUE(Has(TipOf(f.B_startT), "its interval of 0 ms runs no steps"));
  w.Type(f.E_tInterv, "250");
  EXPECT_TRUE(Has(TipOf(f.B_startT), "a step every 250 ms."));
  f.B_startT->click();
  EXPECT_TRUE(Has(TipOf(f.B_startT), "The timer is off now (interval 250 ms)."));

  EXPECT_TRUE(Has(TipOf(f.B_findPath), "Now: no network yet."));
  EXPECT_TRUE(Has(TipOf(f.Lbl_worker), "none, no cell has a worker"));
  EXPECT_TRUE(Has(TipOf(f.lbl_onRoad), "none, no vehicle is on a link"));

  // The default town at 8 o'clock.
  SetRandSeed(20240611u);
  f.Run(&Model::B_loadDataClick);
  f.Run(&Model::B_agCreateClick);
  f.Run(&Model::B_workPathClick);
  for (int k = 0; k < 48; ++k) f.Run(&Model::B_oneStepClick);
  ASSERT_TRUE(w.Shown().empty());
  ASSERT_EQ(f.Lbl_time->text(), "8");
  const Model& m = w.m();
  EXPECT_EQ(TipOf(f.B_findPath),
            Below(f.B_findPath, "Now: " + DescribeParts(FindParts(m.network)) + "."));
  EXPECT_EQ(TipOf(f.Lbl_worker), Below(f.Lbl_worker, DescribeMostWorkers(m.town, m.network)));
  EXPECT_EQ(TipOf(f.Label2), TipOf(f.Lbl_worker));

  // "traffic:" names the busiest link; resting on that link shows the same counts.
  std::string traffic = TipOf(f.lbl_onRoad);
  EXPECT_EQ(traffic, Below(f.lbl_onRoad, DescribeBusiestLinks(m.town, m.network)));
  std::replace(traffic.begin(), traffic.end(), '\n', ' ');
  std::smatch first;
  ASSERT_TRUE(std::regex_search(
      traffic, first,
      std::regex(" link (\\d+) <?-> (\\d+), in cell \\d+, \\d+: (\\d+) vehicles \\d+ -> \\d+, "
                 "(\\d+) vehicles")))
      << traffic;
  const int a = std::stoi(first[1]), b = std::stoi(first[2]);
  const std::string counts = "vehicles " + first[1].str() + " -> " + first[2].str() + ": " +
                             first[3].str() + "\nvehicles " + first[2].str() + " -> " +
                             first[1].str() + ": " + first[4].str();
  EXPECT_GT(std::stoi(first[3]) + std::stoi(first[4]), 0);
  // A point of the link's line where nothing else is on top of it.
  HoverLookup lookup;
  const auto& p = m.network.nodePositions[static_cast<size_t>(a)];
  const auto& q = m.network.nodePositions[static_cast<size_t>(b)];
  bool hovered = false;
  for (int k = 1; k < 20 && !hovered; ++k) {
    const int x = p[0] + (q[0] - p[0]) * k / 20, y = p[1] + (q[1] - p[1]) * k / 20;
    const HoverHit hit = lookup.At(m.town, m.network, x, y);
    if (hit.kind != HoverHit::Kind::Link || hit.a != a || hit.b != b) continue;
    EXPECT_TRUE(Has(TipAt(f.Image_Cells, QPoint(x, y)), counts));
    hovered = true;
  }
  EXPECT_TRUE(hovered);
}

TEST(ControlTips, AChartPointShowsItsTenthOfAnHourAndItsDepartures) {
  EXPECT_EQ(DeparturesTip(QPointF(7.9, 312)).toStdString(), "07:54-08:00\n312 departures");
  EXPECT_EQ(DeparturesTip(QPointF(23.9, 1)).toStdString(), "23:54-24:00\n1 departure");
  EXPECT_EQ(DeparturesTip(QPointF(0.0, 0)).toStdString(), "00:00-00:06\n0 departures");
  EXPECT_TRUE(DeparturesTip(QPointF(24.0, 5)).isEmpty());
  EXPECT_TRUE(DeparturesTip(QPointF(-0.1, 5)).isEmpty());

  Window w;
  SetRandSeed(20240611u);
  w.form.Run(&Model::B_loadDataClick);
  w.form.Run(&Model::B_agCreateClick);
  w.form.Run(&Model::B_workPathClick);
  ASSERT_TRUE(w.Shown().empty());
  QApplication::processEvents();
  chart::ChartView* view = w.form2.Chart_Fahrtzeiten;
  const QPointF point = w.form2.Points().at(79);  // 7.9 hours
  const QPointF drawn = view->mapFromScene(
      view->chart()->mapToScene(view->chart()->mapToPosition(point, w.form2.PSerTime->series())));
  EXPECT_EQ(TipAt(view->viewport(), drawn.toPoint()),
            "07:54-08:00\n" + std::to_string(static_cast<int>(point.y())) + " departures");
  // Away from the points, the chart's own tooltip.
  const QPoint corner = view->PlotRect().topLeft().toPoint() + QPoint(4, 4);
  EXPECT_EQ(TipAt(view->viewport(), corner), view->toolTip().toStdString());
}

}  // namespace
}  // namespace velmora

// Bad inputs and odd orders on the real main window: every edit box with every kind of bad
// text, every command after "delete all", "agents delete" in the middle of a running day,
// commands without nodes, missing, broken and unusual pictures, the smallest and largest cell
// sizes, and closing the window after "delete all". Each case checks the text the error box
// shows and what stays as it was. The README lists the cases by these test names.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "app/Main.h"
#include "app/timeGraph.h"
#include "app/window_fixture.h"
#include "core/error.h"
#include "core/random.h"
#include "ui/error_box.h"
#include "ui/picture_reader.h"

namespace velmora {
namespace {

using testing::Window;

// A day under way in the default town: loaded, a formed network of 42 nodes, every commute
// planned, and 50 steps taken (clock 8.33), so that vehicles are on the road.
void StartDay(Window& w) {
  SetRandSeed(20240611u);
  w.form.Run(&Model::B_loadDataClick);
  w.form.Run(&Model::B_agCreateClick);
  w.form.Run(&Model::B_workPathClick);
  for (int k = 0; k < 50; ++k) w.form.Run(&Model::B_oneStepClick);
  ASSERT_TRUE(w.Shown().empty());
  ASSERT_GT(w.m().day.travellers.size(), 100u);
}

// ---- A picture of the model, field by field, to tell what an input changed. ----

uint64_t Mix(uint64_t h, uint64_t v) {
  h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  return h;
}
uint64_t HashImage(const QImage* image) {
  if (image == nullptr) return 0;
  uint64_t h = Mix(image->width(), image->height());
  for (int y = 0; y < image->height(); ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(image->constScanLine(y));
    for (int x = 0; x < image->width(); ++x) h = Mix(h, row[x] & 0xFFFFFFu);
  }
  return h;
}

using Snapshot = std::map<std::string, uint64_t>;

Snapshot Take(Window& w) {
  const Model& m = w.m();
  Snapshot s;
  s["cellSize"] = static_cast<uint32_t>(m.town.cellSize);
  s["grid"] =
      Mix(Mix(Mix(m.town.gridCols, m.town.gridRows), Mix(m.town.halfCell, m.town.fieldWidth)),
          m.town.fieldHeight);
  uint64_t cells = 0, counts = 0, pairing = 0, departures = 0, routes = 0, nearest = 0;
  m.town.cells.ForEach([&](const TCell& c) {
    cells = Mix(cells, reinterpret_cast<uintptr_t>(&c));
    counts = Mix(counts, (c.workers << 24) | (c.workplaces << 16) | (c.retail << 8));
    counts = Mix(counts, (c.workersLeft << 16) | (c.placesLeft << 8) | c.retailLeft);
    counts = Mix(counts, c.color);
    nearest = Mix(nearest, static_cast<uint32_t>(c.nearestNode));
    for (const Trip& t : c.trips) {
      pairing = Mix(pairing, (static_cast<uint64_t>(static_cast<uint32_t>(t.destCol)) << 32) |
                                 static_cast<uint32_t>(t.destRow));
      departures = Mix(departures, static_cast<uint64_t>(t.morningDeparture * 10 + 1000));
      departures = Mix(departures, static_cast<uint64_t>(t.eveningDeparture * 10 + 1000));
      routes = Mix(routes, reinterpret_cast<uintptr_t>(t.route.get()));
    }
  });
  s["cells"] = cells;
  s["counts"] = counts;
  s["pairing"] = pairing;
  s["departures"] = departures;
  s["routes"] = routes;
  s["nearest"] = nearest;
  s["lists"] =
      Mix(Mix(m.town.workerCells.size(), m.town.jobCells.size()), m.town.retailCells.size());
  uint64_t nodes = m.network.nodeList.size(), distances = 0, loads = 0;
  for (const auto& n : m.network.nodeList) {
    nodes = Mix(Mix(nodes, static_cast<uint32_t>(n->x)), static_cast<uint32_t>(n->y));
    for (const TLink& l : n->links) nodes = Mix(nodes, static_cast<uint32_t>(l.node));
    distances =
        Mix(Mix(distances, static_cast<uint32_t>(n->conDist)), static_cast<uint32_t>(n->repDist));
    for (int32_t load : n->linkLoad) loads = Mix(loads, static_cast<uint32_t>(load));
  }
  s["nodes"] = nodes;
  s["distances"] = distances;
  s["loads"] = loads;
  s["routeList"] = m.network.routeList.size();
  uint64_t vehicles = m.day.travellers.size();
  for (const auto& v : m.day.travellers)
    vehicles = Mix(Mix(vehicles, v->position), reinterpret_cast<uintptr_t>(v->currentNode));
  s["vehicles"] = vehicles;
  s["stepCount"] = m.day.stepCount;
  s["clockHours"] = static_cast<uint64_t>(m.day.clockHours * 100 + 100000.5);
  s["prevClockHours"] = static_cast<uint64_t>(m.day.prevClockHours * 100 + 100000.5);
  s["timeScale"] =
      Mix(static_cast<uint8_t>(m.day.stepsPerHour), static_cast<uint16_t>(m.day.stepsPerDay));
  uint64_t labels = 0;
  for (const QLabel* l : {w.form.Lbl_worker, w.form.Lbl_workPl, w.form.Lbl_retail, w.form.Lal_min,
                          w.form.Lbl_time, w.form.lbl_onRoad, w.form.Lbl_steps})
    labels = Mix(labels, qHash(l->text()));
  s["labels"] = labels;
  s["timer"] = Mix(w.form.timer().Enabled(), static_cast<uint32_t>(w.form.timer().Interval()));
  s["base"] = HashImage(&w.form.imageCells().BaseImage());
  s["overlay"] = HashImage(w.form.imageCells().OverlayImage());
  uint64_t chart = Mix(w.form2.PointCount(), static_cast<uint64_t>(w.form2.LineValue() * 100));
  for (const QPointF& p : w.form2.Points()) chart = Mix(chart, static_cast<uint64_t>(p.y()));
  s["chart"] = chart;
  return s;
}

std::set<std::string> Changed(const Snapshot& before, const Snapshot& after) {
  std::set<std::string> out;
  for (const auto& [field, value] : before)
    if (after.at(field) != value) out.insert(field);
  return out;
}

std::string Join(const std::set<std::string>& fields) {
  std::string s;
  for (const auto& f : fields) s += (s.empty() ? "" : ",") + f;
  return s;
}

// ---- Edit boxes. ----

enum class Command { Typing, NewSetup, AgentsCreate, WorkersPath, OneStep };

struct EditRow {
  QLineEdit* TForm1::*edit;
  const char* text;
  Command command;  // what reads the box: its own change handler, or a button
  std::string message;
  std::set<std::string> changes;  // what the input changes; everything else stays
};

// Every edit box with its default text.
const std::pair<QLineEdit * TForm1::*, const char*> kDefaults[] = {
    {&TForm1::E_cellScale, "30"}, {&TForm1::E_nodeNumber, "41"}, {&TForm1::E_conDist, "130"},
    {&TForm1::E_repDist, "40"},   {&TForm1::E_STD, "1,0"},       {&TForm1::E_mDep, "8"},
    {&TForm1::E_eDep, "17"},      {&TForm1::E_tScale, "10"},     {&TForm1::E_tInterv, "1"},
    {&TForm1::E_timeScale, "6"}};

void RunCommand(TForm1& form, Command command) {
  switch (command) {
    case Command::Typing:
      break;
    case Command::NewSetup:
      QTest::mouseClick(form.B_setup, Qt::LeftButton);
      break;
    case Command::AgentsCreate:
      QTest::mouseClick(form.B_agCreate, Qt::LeftButton);
      break;
    case Command::WorkersPath:
      QTest::mouseClick(form.B_workPath, Qt::LeftButton);
      break;
    case Command::OneStep:
      QTest::mouseClick(form.B_oneStep, Qt::LeftButton);
      break;
  }
}

// Runs the rows on one running day, each from the default texts, and checks the message and
// exactly what changed.
void RunRows(const std::vector<EditRow>& rows) {
  Window w;
  StartDay(w);
  for (const EditRow& row : rows) {
    QLineEdit* edit = w.form.*row.edit;
    const std::string name = edit->objectName().toStdString();
    for (const auto& [e, text] : kDefaults)
      if ((w.form.*e)->text() != text) w.Type(w.form.*e, text);
    // A step row starts from a step that drew the loads.
    if (row.command == Command::OneStep) w.form.Run(&Model::B_oneStepClick);
    ASSERT_TRUE(w.Shown().empty()) << name;
    const Snapshot before = Take(w);
    w.Type(edit, row.text);
    RunCommand(w.form, row.command);
    const std::vector<std::string> shown = w.Shown();
    ASSERT_EQ(shown.size(), 1u) << name << " '" << row.text << "'";
    EXPECT_EQ(shown[0], row.message) << name << " '" << row.text << "'";
    EXPECT_EQ(Join(Changed(before, Take(w))), Join(row.changes)) << name << " '" << row.text << "'";
  }
}

std::string NotInt(const std::string& text) {
  return "'" + text + "' ist kein gültiger Integerwert.";
}
std::string NotFloat(const std::string& text) {
  return "'" + text + "' ist kein gültiger Gleitkommawert.";
}

TEST(BadInput, GridAndNetworkEdits) {
  std::vector<EditRow> rows;
  auto add = [&](QLineEdit* TForm1::*edit, const char* text, Command command, std::string message,
                 std::set<std::string> changes = {}) {
    rows.push_back({edit, text, command, std::move(message), std::move(changes)});
  };
  // E_cellScale, read by "new setup": refused before anything changes; "0" fails at the
  // division after the cell size is taken.
  for (const char* text : {"", "abc", "1,5", "1.5", "1e3", "2147483648", "-5", "-2147483648"})
    add(&TForm1::E_cellScale, text, Command::NewSetup, NotInt(text));
  add(&TForm1::E_cellScale, "0", Command::NewSetup, "Gleitkommadivision durch Null.", {"cellSize"});
  // E_nodeNumber, read by "agents create": nothing is created, the network stays as it was.
  for (const char* text : {"", "abc", "1,5", "1e3", "2147483648"})
    add(&TForm1::E_nodeNumber, text, Command::AgentsCreate, NotInt(text));
  // 42 nodes exist: 9958 more reach the limit of 10,000, 9959 would pass it.
  for (const char* text : {"2147483647", "9959"})
    add(&TForm1::E_nodeNumber, text, Command::AgentsCreate, "Zu viele Knoten (max. 10000)");
  // E_conDist and E_repDist, read by their change handler for every node.
  for (auto edit : {&TForm1::E_conDist, &TForm1::E_repDist})
    for (const char* text : {"", "abc", "1,5", "1e3", "2147483648"})
      add(edit, text, Command::Typing, NotInt(text));
  RunRows(rows);
}

TEST(BadInput, PlanningAndClockEdits) {
  std::vector<EditRow> rows;
  auto add = [&](QLineEdit* TForm1::*edit, const char* text, Command command, std::string message,
                 std::set<std::string> changes = {}) {
    rows.push_back({edit, text, command, std::move(message), std::move(changes)});
  };
  // E_STD, E_mDep, E_eDep, read by "workers path" before any trip changes. The window's
  // decimal separator is ','.
  for (auto edit : {&TForm1::E_STD, &TForm1::E_mDep, &TForm1::E_eDep})
    for (const char* text : {"", "abc", "1.5", "1,5,0", "1e39", "1e"})
      add(edit, text, Command::WorkersPath, NotFloat(text));
  // Times too large to round to a whole number of tenths: the first trip's first draw fails.
  for (auto edit : {&TForm1::E_STD, &TForm1::E_mDep})
    add(edit, "1e30", Command::WorkersPath, "Ungültige Gleitkommaoperation.");
  // The morning time of the first trip is drawn before its evening time fails.
  add(&TForm1::E_eDep, "1e30", Command::WorkersPath, "Ungültige Gleitkommaoperation.",
      {"departures"});
  // E_tScale, read when the loads are drawn: the step has released and moved the vehicles,
  // used up its release window (prevClockHours) and cleared the overlay; the time and step
  // labels and the chart line are not updated.
  const std::set<std::string> stepped = {"clockHours",     "labels",    "loads",   "overlay",
                                         "prevClockHours", "stepCount", "vehicles"};
  for (const char* text : {"", "abc", "1,5", "2147483648", "-1"})
    add(&TForm1::E_tScale, text, Command::OneStep, NotInt(text), stepped);
  // "0": the first link drawn carries no traffic at this time of the day, so its width is
  // 0 / 0 (one with traffic would divide by zero, "Gleitkommadivision durch Null.").
  add(&TForm1::E_tScale, "0", Command::OneStep, "Ungültige Gleitkommaoperation.", stepped);
  // E_tInterv and E_timeScale, read by their change handlers.
  for (const char* text : {"", "abc", "1,5", "1e3", "2147483648"})
    add(&TForm1::E_tInterv, text, Command::Typing, NotInt(text));
  for (const char* text : {"", "abc", "1,5", "1e3", "2147483648"})
    add(&TForm1::E_timeScale, text, Command::Typing, NotInt(text));
  // Low 8 bits 0: the scale is taken, the label's division fails and the label stays.
  for (const char* text : {"0", "256"})
    add(&TForm1::E_timeScale, text, Command::Typing, "Gleitkommadivision durch Null.",
        {"timeScale"});
  RunRows(rows);
}

TEST(BadInput, OddNumbersThatAreTaken) {
  Window w;
  StartDay(w);
  Model& m = w.m();
  // A negative node count adds no node; the rest of "agents create" forms the network anew.
  for (const char* text : {"-1", "-5"}) {
    w.Type(w.form.E_nodeNumber, text);
    w.form.Run(&Model::B_agCreateClick);
    EXPECT_EQ(m.network.nodeList.size(), 42u);
  }
  w.Type(w.form.E_nodeNumber, "0");
  w.form.Run(&Model::B_agCreateClick);
  EXPECT_EQ(m.network.nodeList.size(), 43u);
  // Connect distance spanning the field: every node links to every other; repel distance at
  // the bottom of the range pushes nothing apart.
  w.Type(w.form.E_conDist, "2147483647");
  w.Type(w.form.E_repDist, "-2147483648");
  w.Type(w.form.E_nodeNumber, "-1");
  w.form.Run(&Model::B_agCreateClick);
  for (const auto& node : m.network.nodeList) EXPECT_EQ(node->links.size(), 42u);
  // Connect distance 0 or below: no links at all.
  for (const char* text : {"0", "-1"}) {
    w.Type(w.form.E_conDist, text);
    w.form.Run(&Model::B_agCreateClick);
    for (const auto& node : m.network.nodeList) EXPECT_TRUE(node->links.empty());
  }
  w.Type(w.form.E_conDist, "130");
  w.Type(w.form.E_repDist, "40");
  w.form.Run(&Model::B_agCreateClick);
  w.form.Run(&Model::B_workPathClick);

  // Deviation 0: every departure at the means; negative: the draws mirrored, still taken.
  w.Type(w.form.E_STD, "0");
  w.form.Run(&Model::B_workPathClick);
  m.town.cells.ForEach([](const TCell& c) {
    for (const Trip& t : c.trips) {
      if (!t.HasWorkplace()) continue;
      EXPECT_DOUBLE_EQ(static_cast<double>(t.morningDeparture), 8.0);
      EXPECT_DOUBLE_EQ(static_cast<double>(t.eveningDeparture), 17.0);
    }
  });
  w.Type(w.form.E_STD, "-1");
  w.form.Run(&Model::B_workPathClick);
  // Mean departures outside the day are kept on the trips, but have no bin in the chart and
  // never come due.
  for (const char* text : {"-5", "2147483647", "1e15"}) {
    w.Type(w.form.E_STD, "1,0");
    w.Type(w.form.E_mDep, text);
    w.Type(w.form.E_eDep, text);
    w.form.Run(&Model::B_workPathClick);
    double charted = 0;
    for (const QPointF& p : w.form2.Points()) charted += p.y();
    EXPECT_LT(charted, 100) << text;
    const size_t before = m.day.travellers.size();
    for (int k = 0; k < 144; ++k) w.form.Run(&Model::B_oneStepClick);
    EXPECT_LE(m.day.travellers.size(), before) << text;
  }
  w.Type(w.form.E_mDep, "8");
  w.Type(w.form.E_eDep, "17");
  w.form.Run(&Model::B_workPathClick);

  // Load scale beyond any load: every link 2 pixels, or 3 where it carries traffic.
  w.Type(w.form.E_tScale, "2147483647");
  for (int k = 0; k < 5; ++k) w.form.Run(&Model::B_oneStepClick);

  // Timer intervals of 0 and below stop the ticks while the timer stays on; the largest
  // interval is taken as it is.
  QTest::mouseClick(w.form.B_startT, Qt::LeftButton);
  for (const char* text : {"0", "-5", "-2147483648"}) {
    w.Type(w.form.E_tInterv, text);
    EXPECT_TRUE(w.form.timer().Enabled());
    EXPECT_FALSE(w.form.timer().Ticking()) << text;
  }
  w.Type(w.form.E_tInterv, "2147483647");
  EXPECT_TRUE(w.form.timer().Ticking());
  EXPECT_EQ(w.form.timer().Interval(), 2147483647);
  QTest::mouseClick(w.form.B_startT, Qt::LeftButton);

  // Time scales keep their low 8 bits as a signed byte.
  const std::pair<const char*, const char*> scales[] = {
      {"-1", "-60 min"},
      {"2147483647", "-60 min"},
      {"300", "1 min"},
      {"128", "0 min"},
      {"-2147483648", "Gleitkommadivision durch Null."}};
  for (const auto& [text, caption] : scales) {
    w.Type(w.form.E_timeScale, text);
    if (std::string(caption).back() == '.') {
      ASSERT_EQ(w.Shown(), std::vector<std::string>{caption});
    } else {
      EXPECT_EQ(w.form.Lal_min->text().toStdString(), caption);
    }
    w.form.Run(&Model::B_oneStepClick);
    if (std::string(text) == "-2147483648") {
      // Low byte 0: the step counts and then fails at the remainder.
      EXPECT_EQ(w.Shown(), std::vector<std::string>{"Division durch Null."});
    }
  }
  w.Type(w.form.E_timeScale, "6");
  w.form.Run(&Model::B_oneStepClick);
  EXPECT_TRUE(w.Shown().empty());
}

TEST(BadInput, CellSizesAtTheEnds) {
  Window w;
  // A leading blank is allowed.
  w.Type(w.form.E_cellScale, " 7");
  w.form.Run(&Model::FormCreate);
  EXPECT_EQ(w.m().town.gridCols, 91);
  EXPECT_EQ(w.m().town.gridRows, 95);
  // The largest whole number: no cells; every command acts on the empty grid.
  w.Type(w.form.E_cellScale, "2147483647");
  w.form.Run(&Model::FormCreate);
  EXPECT_TRUE(w.m().town.cells.Empty());
  EXPECT_EQ(w.m().town.fieldWidth, 0);
  SetRandSeed(3u);
  w.form.Run(&Model::B_loadDataClick);
  EXPECT_EQ(w.form.Lbl_worker->text(), "0");
  EXPECT_EQ(w.form.Lbl_workPl->text(), "0");
  EXPECT_EQ(w.form.Lbl_retail->text(), "0");
  w.form.Run(&Model::B_lineWorkClick);
  w.form.Run(&Model::B_agCreateClick);
  // Nodes are kept within the field, here a single point.
  for (const auto& node : w.m().network.nodeList) {
    EXPECT_EQ(node->x, 0);
    EXPECT_EQ(node->y, 0);
  }
  w.form.Run(&Model::B_workPathClick);
  w.form.Run(&Model::B_oneStepClick);
  EXPECT_TRUE(w.Shown().empty());
}

// ---- Orders of commands. ----

// Every button, the four radio buttons, every edit with a good text, and a timer tick; returns
// the messages shown.
std::vector<std::string> PressEverything(Window& w) {
  std::vector<std::string> shown;
  auto collect = [&] {
    for (auto& m : w.Shown()) shown.push_back(m);
  };
  for (QPushButton* b :
       {w.form.B_loadData, w.form.B_lineWork, w.form.B_deleteAll, w.form.B_agDelete,
        w.form.B_workPath, w.form.B_findPath, w.form.B_showGraph, w.form.B_oneStep}) {
    QTest::mouseClick(b, Qt::LeftButton);
    collect();
  }
  for (QRadioButton* r : {w.form.RB_sRed, w.form.RB_sGreen, w.form.RB_sBlue, w.form.RB_sAll}) {
    QTest::mouseClick(r, Qt::LeftButton, {}, QPoint(6, r->height() / 2));
    collect();
  }
  for (const char* text : {"120", "130"}) w.Type(w.form.E_conDist, text);
  for (const char* text : {"30", "40"}) w.Type(w.form.E_repDist, text);
  for (const char* text : {"12", "6"}) w.Type(w.form.E_timeScale, text);
  for (const char* text : {"5", "1"}) w.Type(w.form.E_tInterv, text);
  collect();
  w.form.Timer1Timer();
  QTest::mouseClick(w.form.B_startT, Qt::LeftButton);
  QTest::qWait(20);  // some ticks
  QTest::mouseClick(w.form.B_startT, Qt::LeftButton);
  collect();
  return shown;
}

TEST(BadInput, EveryCommandAfterDeleteAll) {
  for (bool running : {false, true}) {
    Window w;
    if (running) {
      StartDay(w);
      QTest::mouseClick(w.form.B_startT, Qt::LeftButton);
    }
    QTest::mouseClick(w.form.B_deleteAll, Qt::LeftButton);
    EXPECT_FALSE(w.form.timer().Enabled());
    EXPECT_TRUE(w.m().town.cells.Empty());
    EXPECT_TRUE(w.m().network.nodeList.empty());
    EXPECT_TRUE(w.m().day.travellers.empty());
    // With nodes the overlay goes; without, it stays (black, so nothing of it shows).
    EXPECT_EQ(w.form.imageCells().OverlayImage() == nullptr, running);
    const QImage white = w.form.imageCells().Composed();

    // Without nodes only "find path" fails: the index of its first draw names no node.
    SetRandSeed(0u);
    std::vector<std::string> shown = PressEverything(w);
    EXPECT_EQ(shown, std::vector<std::string>{"Listenindex überschreitet das Maximum (0)"});
    EXPECT_TRUE(w.m().town.cells.Empty());
    EXPECT_EQ(w.form.Lbl_worker->text(), "0");
    EXPECT_EQ(w.form2.PointCount(), 240);
    EXPECT_EQ(w.form.imageCells().Composed(), white);

    // "agents create" on the empty model makes nodes with nowhere to draw them (or on the
    // black overlay); the commands then act on those nodes.
    QTest::mouseClick(w.form.B_agCreate, Qt::LeftButton);
    EXPECT_EQ(w.m().network.nodeList.size(), 42u);
    // "delete all" among the buttons removes them again, so "find path" fails once more.
    shown = PressEverything(w);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind("Listenindex überschreitet das Maximum (", 0), 0u) << shown[0];
    QTest::mouseClick(w.form.B_agCreate, Qt::LeftButton);
    QTest::mouseClick(w.form.B_findPath, Qt::LeftButton);
    QTest::mouseClick(w.form.B_deleteAll, Qt::LeftButton);
    QTest::mouseClick(w.form.B_deleteAll, Qt::LeftButton);
    EXPECT_TRUE(w.Shown().empty());

    // "new setup" builds the start picture again.
    QTest::mouseClick(w.form.B_setup, Qt::LeftButton);
    EXPECT_EQ(w.m().town.gridCols, 21);
    Window fresh;
    EXPECT_EQ(w.form.imageCells().Composed(), fresh.form.imageCells().Composed());
    EXPECT_TRUE(w.Shown().empty());
  }
}

TEST(BadInput, AgentsDeleteInARunningDay) {
  Window w;
  StartDay(w);
  QTest::mouseClick(w.form.B_startT, Qt::LeftButton);
  QTest::qWait(30);  // the timer steps the day on
  ASSERT_TRUE(w.Shown().empty());
  ASSERT_FALSE(w.m().day.travellers.empty());
  const uint32_t steps = w.m().day.stepCount;
  ASSERT_GT(steps, 50u);

  QTest::mouseClick(w.form.B_agDelete, Qt::LeftButton);
  EXPECT_TRUE(w.Shown().empty());
  EXPECT_FALSE(w.form.timer().Enabled());
  EXPECT_TRUE(w.m().network.nodeList.empty());
  EXPECT_TRUE(w.m().day.travellers.empty());
  EXPECT_TRUE(w.m().network.routeList.empty());
  size_t planned = 0;
  w.m().town.cells.ForEach([&](const TCell& c) {
    EXPECT_EQ(c.nearestNode, kNoNode);
    for (const Trip& t : c.trips) planned += t.route != nullptr;
  });
  EXPECT_EQ(planned, 0u);
  // The overlay is black again: the window shows the cells alone.
  const QImage* overlay = w.form.imageCells().OverlayImage();
  ASSERT_NE(overlay, nullptr);
  for (int y = 0; y < overlay->height(); y += 7)
    for (int x = 0; x < overlay->width(); x += 7)
      ASSERT_EQ(overlay->pixel(x, y) & 0xFFFFFF, 0u) << x << "," << y;

  // Steps go on without vehicles; "workers path" plans the departures and charts them, then
  // fails at the first trip's node.
  const Snapshot before = Take(w);
  for (int k = 0; k < 3; ++k) w.form.Run(&Model::B_oneStepClick);
  EXPECT_TRUE(w.Shown().empty());
  EXPECT_TRUE(w.m().day.travellers.empty());
  EXPECT_EQ(Join(Changed(before, Take(w))), "chart,clockHours,labels,prevClockHours,stepCount");
  w.form2.hide();
  QTest::mouseClick(w.form.B_workPath, Qt::LeftButton);
  EXPECT_EQ(w.Shown(), std::vector<std::string>{"Listenindex überschreitet das Maximum (-1)"});
  EXPECT_TRUE(w.form2.isHidden());
  EXPECT_EQ(w.form2.PointCount(), 240);
}

TEST(BadInput, CommandsWithoutNodes) {
  Window w;
  SetRandSeed(1u);
  w.form.Run(&Model::B_loadDataClick);
  // The distance edits read nothing while there are no nodes.
  w.Type(w.form.E_conDist, "");
  w.Type(w.form.E_repDist, "abc");
  EXPECT_TRUE(w.Shown().empty());
  w.Type(w.form.E_conDist, "130");
  w.Type(w.form.E_repDist, "40");
  // "oneStep": no vehicles, nothing to draw.
  w.form.Run(&Model::B_oneStepClick);
  EXPECT_TRUE(w.Shown().empty());
  EXPECT_EQ(w.form.lbl_onRoad->text(), "0");
  // "workers path": departures drawn and charted, then the first trip has no node.
  w.form.Run(&Model::B_workPathClick);
  EXPECT_EQ(w.Shown(), std::vector<std::string>{"Listenindex überschreitet das Maximum (-1)"});
  double charted = 0;
  for (const QPointF& p : w.form2.Points()) charted += p.y();
  EXPECT_GT(charted, 40000);
  // "find path": the first draw Random(-1) is the index; from seed 0 it is 0, from seed 1
  // it is 134775813.
  for (const auto& [seed, message] :
       {std::pair<uint32_t, const char*>{0u, "Listenindex überschreitet das Maximum (0)"},
        {1u, "Listenindex überschreitet das Maximum (134775813)"}}) {
    SetRandSeed(seed);
    const QImage before = w.form.imageCells().Composed();
    w.form.Run(&Model::B_findPathClick);
    EXPECT_EQ(w.Shown(), std::vector<std::string>{message});
    EXPECT_EQ(w.form.imageCells().Composed(), before);
  }
  // A single node: find path searches from it to itself; workers path routes every trip
  // over it, which puts no vehicle on the road (routes of one entry).
  w.Type(w.form.E_nodeNumber, "0");
  w.form.Run(&Model::B_agCreateClick);
  w.form.Run(&Model::B_findPathClick);
  w.form.Run(&Model::B_workPathClick);
  for (int k = 0; k < 60; ++k) w.form.Run(&Model::B_oneStepClick);
  EXPECT_TRUE(w.Shown().empty());
  EXPECT_TRUE(w.m().day.travellers.empty());
}

// ---- Pictures. ----

// The folder <temp>/pictures with the three pictures of a small town: workers at (15, 15),
// workplaces at (45, 15), retail at (75, 15) as the default grid reads them.
struct PictureFolder {
  QTemporaryDir dir;
  QString folder;
  PictureFolder() {
    folder = dir.path() + "/pictures/";
    QDir().mkpath(folder);
  }
  std::string Root() const { return dir.path().toStdString() + "/"; }
  QString Path(const char* name) const { return folder + name; }
  void Write(const char* name, const QByteArray& bytes) const {
    QFile f(Path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  // An image of 630 x 660 white pixels with one colour at a cell centre.
  static QImage Town(QRgb colour, int x, int y) {
    QImage image(630, 660, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixel(x, y, colour);
    return image;
  }
  void WriteTown() const {
    ASSERT_TRUE(Town(qRgb(55, 255, 255), 15, 15).save(Path("arbeiter.bmp"), "BMP"));
    ASSERT_TRUE(Town(qRgb(255, 135, 255), 45, 15).save(Path("arbeitsstaetten.bmp"), "BMP"));
    ASSERT_TRUE(Town(qRgb(255, 255, 15), 75, 15).save(Path("verkaufsflaechen.bmp"), "BMP"));
  }
};

// The bits per pixel and compression a BMP file declares.
std::pair<int, int> BmpFormat(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {-1, -1};
  const QByteArray h = f.read(54);
  if (h.size() < 34) return {-1, -1};
  auto u16 = [&](int at) {
    return static_cast<uint8_t>(h[at]) | static_cast<uint8_t>(h[at + 1]) << 8;
  };
  return {u16(28), u16(30)};
}

// A bottom-up BMP with a BITMAPINFOHEADER, written by hand for the formats the image writer
// does not produce: 16 bits per pixel (5-5-5) and run-length encoded 8 and 4 bits.
QByteArray HandBmp(int width, int height, int bits, int compression, const QByteArray& palette,
                   const QByteArray& data) {
  QByteArray out;
  QDataStream s(&out, QIODevice::WriteOnly);
  s.setByteOrder(QDataStream::LittleEndian);
  const quint32 offset = 14 + 40 + palette.size();
  s << quint8('B') << quint8('M') << quint32(offset + data.size()) << quint32(0) << offset;
  s << quint32(40) << qint32(width) << qint32(height) << quint16(1) << quint16(bits)
    << quint32(compression) << quint32(data.size()) << qint32(2835) << qint32(2835)
    << quint32(palette.size() / 4) << quint32(0);
  out.append(palette);
  out.append(data);
  return out;
}

// 630 x 660 in 16 bits: white (0x7FFF) everywhere, black at (15, 15).
QByteArray Bmp16() {
  const int w = 630, h = 660, stride = (w * 2 + 3) / 4 * 4;
  QByteArray data(stride * h, '\0');
  for (int row = 0; row < h; ++row) {
    const int y = h - 1 - row;
    for (int x = 0; x < w; ++x) {
      const quint16 v = (x == 15 && y == 15) ? 0 : 0x7FFF;
      data[row * stride + 2 * x] = static_cast<char>(v & 0xFF);
      data[row * stride + 2 * x + 1] = static_cast<char>(v >> 8);
    }
  }
  return HandBmp(w, h, 16, 0, {}, data);
}

// 630 x 660 in 32 bits, blue-green-red-unused, or with channel masks after the header:
// white everywhere, black at (15, 15).
QByteArray Bmp32(bool masks) {
  const int w = 630, h = 660;
  QByteArray data(w * 4 * h, '\xFF');
  const int at = ((h - 1 - 15) * w + 15) * 4;
  for (int k = 0; k < 4; ++k) data[at + k] = '\0';
  QByteArray maskBytes;
  if (masks) {
    QDataStream s(&maskBytes, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s << quint32(0x00FF0000) << quint32(0x0000FF00) << quint32(0x000000FF);
  }
  QByteArray out = HandBmp(w, h, 32, masks ? 3 : 0, maskBytes, data);
  if (masks) out[46] = out[47] = out[48] = out[49] = '\0';  // no palette entries
  return out;
}

// 630 x 660 run-length encoded, palette {white, black}: every row white, (15, 15) black.
QByteArray BmpRle(int bits) {
  const int w = 630, h = 660;
  QByteArray palette;
  for (QRgb c : {qRgb(255, 255, 255), qRgb(0, 0, 0)})
    palette.append(static_cast<char>(qBlue(c)))
        .append(static_cast<char>(qGreen(c)))
        .append(static_cast<char>(qRed(c)))
        .append('\0');
  QByteArray data;
  // An encoded run: count pixels of index c (for 4 bits, both nibbles c).
  auto run = [&](int count, int c) {
    while (count > 0) {
      const int n = std::min(count, 254);
      data.append(static_cast<char>(n)).append(static_cast<char>(bits == 4 ? c * 0x11 : c));
      count -= n;
    }
  };
  for (int row = 0; row < h; ++row) {
    const int y = h - 1 - row;
    if (y == 15) {
      run(15, 0);
      run(1, 1);
      run(w - 16, 0);
    } else {
      run(w, 0);
    }
    data.append('\0').append('\0');  // end of line
  }
  data.append('\0').append('\1');  // end of bitmap
  return HandBmp(w, h, bits, bits == 8 ? 1 : 2, palette, data);
}

TEST(BadInput, PicturesMissingBrokenOrEmpty) {
  struct Case {
    const char* what;
    const char* file;  // the picture that is spoilt
    std::function<void(const PictureFolder&)> spoil;
  };
  const Case cases[] = {
      {"missing", "arbeiter.bmp",
       [](const PictureFolder& p) { QFile::remove(p.Path("arbeiter.bmp")); }},
      {"missing", "arbeitsstaetten.bmp",
       [](const PictureFolder& p) { QFile::remove(p.Path("arbeitsstaetten.bmp")); }},
      {"missing", "verkaufsflaechen.bmp",
       [](const PictureFolder& p) { QFile::remove(p.Path("verkaufsflaechen.bmp")); }},
      {"garbage", "arbeiter.bmp",
       [](const PictureFolder& p) { p.Write("arbeiter.bmp", QByteArray(5000, '\x5A')); }},
      {"zero bytes", "arbeitsstaetten.bmp",
       [](const PictureFolder& p) { p.Write("arbeitsstaetten.bmp", QByteArray()); }},
      {"cut to 200 bytes", "verkaufsflaechen.bmp",
       [](const PictureFolder& p) { QFile(p.Path("verkaufsflaechen.bmp")).resize(200); }},
      {"last row missing", "arbeiter.bmp",
       [](const PictureFolder& p) {
         QFile f(p.Path("arbeiter.bmp"));
         f.resize(f.size() - 630 * 3);
       }},
      {"run-length encoded, cut in half", "arbeiter.bmp",
       [](const PictureFolder& p) {
         const QByteArray whole = BmpRle(8);
         p.Write("arbeiter.bmp", whole.left(whole.size() / 2));
       }},
      {"header of 60000 x 60000 pixels", "arbeiter.bmp",
       [](const PictureFolder& p) {
         p.Write("arbeiter.bmp", HandBmp(60000, 60000, 24, 0, {}, QByteArray(64, '\0')));
       }},
      {"run-length encoded, declaring 20000 x 20000 pixels (400 MB)", "arbeiter.bmp",
       [](const PictureFolder& p) {
         QByteArray palette(8, '\0');
         p.Write("arbeiter.bmp", HandBmp(20000, 20000, 8, 1, palette, QByteArray("\0\1", 2)));
       }},
      {"a folder", "arbeiter.bmp",
       [](const PictureFolder& p) {
         QFile::remove(p.Path("arbeiter.bmp"));
         QDir().mkpath(p.Path("arbeiter.bmp"));
       }},
  };
  for (const Case& c : cases) {
    Window w;
    PictureFolder pictures;
    pictures.WriteTown();
    w.form.SetExecutableDir(pictures.Root());
    SetRandSeed(5u);
    w.form.Run(&Model::B_loadDataClick);
    ASSERT_TRUE(w.Shown().empty());
    ASSERT_EQ(w.form.Lbl_worker->text(), "200");
    const Snapshot before = Take(w);
    c.spoil(pictures);
    w.form.Run(&Model::B_loadDataClick);
    const std::string path = pictures.Root() + "pictures/" + c.file;
    EXPECT_EQ(w.Shown(),
              std::vector<std::string>{"Datei \"" + path + "\" kann nicht geöffnet werden."})
        << c.what << " " << c.file;
    // Counts, trips, colours and captions as before; the two lists are the new empty ones.
    EXPECT_EQ(Join(Changed(before, Take(w))), "lists") << c.what << " " << c.file;
    EXPECT_TRUE(w.m().town.workerCells.empty());
    EXPECT_TRUE(w.m().town.jobCells.empty());
  }
}

TEST(BadInput, ThePictureReaderKeepsItsOwnSizeLimit) {
  // Whatever limit the process set before, the reader decodes no picture above its own 128 MB:
  // a run-length encoded file of a few bytes declaring 20000 x 20000 pixels is refused.
  QTemporaryDir dir;
  const QString path = dir.filePath("huge.bmp");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  const QByteArray palette("\xFF\xFF\xFF\0\0\0\0\0", 8);
  file.write(HandBmp(20000, 20000, 8, 1, palette, QByteArray("\0\1", 2)));
  file.close();
  const int before = QImageReader::allocationLimit();
  QImageReader::setAllocationLimit(4096);
  EXPECT_THROW(LoadQImagePicture(path.toStdString()), VError);
  EXPECT_EQ(QImageReader::allocationLimit(), kMaxPictureMegabytes);
  QImageReader::setAllocationLimit(before);
}

TEST(BadInput, PicturesOfEveryDepthAndSize) {
  // The workers' picture in one format after another; the others stay 32-bit.
  struct Case {
    const char* what;
    int bits, compression;  // as the file declares them
    std::function<void(const PictureFolder&)> write;
  };
  auto saved = [](QImage::Format format, int colours) {
    return [format, colours](const PictureFolder& p) {
      QImage image = PictureFolder::Town(qRgb(0, 0, 0), 15, 15);
      if (format == QImage::Format_Indexed8)
        image = image.convertToFormat(format, {qRgb(255, 255, 255), qRgb(0, 0, 0)});
      else
        image = image.convertToFormat(format);
      if (colours > 0) image.setColorCount(colours);
      ASSERT_TRUE(image.save(p.Path("arbeiter.bmp"), "BMP"));
    };
  };
  const Case cases[] = {
      {"1 bit", 1, 0, saved(QImage::Format_Mono, 0)},
      {"4 bits", 4, 0, saved(QImage::Format_Indexed8, 2)},
      {"8 bits", 8, 0, saved(QImage::Format_Indexed8, 256)},
      {"16 bits", 16, 0, [](const PictureFolder& p) { p.Write("arbeiter.bmp", Bmp16()); }},
      {"24 bits", 24, 0, saved(QImage::Format_RGB32, 0)},
      {"32 bits", 32, 0, [](const PictureFolder& p) { p.Write("arbeiter.bmp", Bmp32(false)); }},
      {"32 bits, channel masks", 32, 3,
       [](const PictureFolder& p) { p.Write("arbeiter.bmp", Bmp32(true)); }},
      {"8 bits RLE", 8, 1, [](const PictureFolder& p) { p.Write("arbeiter.bmp", BmpRle(8)); }},
      {"4 bits RLE", 4, 2, [](const PictureFolder& p) { p.Write("arbeiter.bmp", BmpRle(4)); }},
  };
  for (const Case& c : cases) {
    Window w;
    PictureFolder pictures;
    pictures.WriteTown();
    c.write(pictures);
    EXPECT_EQ(BmpFormat(pictures.Path("arbeiter.bmp")), std::make_pair(c.bits, c.compression))
        << c.what;
    w.form.SetExecutableDir(pictures.Root());
    w.form.Run(&Model::B_loadDataClick);
    EXPECT_TRUE(w.Shown().empty()) << c.what;
    // 16 bits keep 5 bits a channel: white reads as 248 and gives every cell 7 workers.
    const bool fiveBits = c.bits == 16;
    EXPECT_EQ(w.form.Lbl_worker->text(), fiveBits ? "3482" : "255") << c.what;
    EXPECT_EQ(w.m().town.cells.At(0, 0)->workers, 255) << c.what;
    EXPECT_EQ(w.m().town.cells.At(1, 0)->workers, fiveBits ? 7 : 0) << c.what;
    EXPECT_EQ(w.form.Lbl_workPl->text(), "120") << c.what;
    EXPECT_EQ(w.form.Lbl_retail->text(), "240") << c.what;
  }

  // A picture smaller than the grid: only the cells whose centre lies inside it count.
  Window w;
  PictureFolder pictures;
  pictures.WriteTown();
  QImage small(100, 100, QImage::Format_RGB32);
  small.fill(Qt::black);
  ASSERT_TRUE(small.save(pictures.Path("arbeiter.bmp"), "BMP"));
  w.form.SetExecutableDir(pictures.Root());
  w.form.Run(&Model::B_loadDataClick);
  EXPECT_TRUE(w.Shown().empty());
  EXPECT_EQ(w.form.Lbl_worker->text(), "2295");  // 3 x 3 centres below 100
  w.m().town.cells.ForEach([](const TCell& cell) {
    EXPECT_EQ(cell.workers, cell.PositionX < 100 && cell.PositionY < 100 ? 255 : 0);
  });
}

// ---- The smallest cell size. ----

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// "new setup" at cell size 1 and "load data" of the default town, each command timed.
struct CellSizeOne : Window {
  CellSizeOne() {
    SetRandSeed(7u);
    Type(form.E_cellScale, "1");
    Timed("new setup", [&] { form.Run(&Model::FormCreate); });
    Timed("load data", [&] { form.Run(&Model::B_loadDataClick); });
  }
  void Timed(const char* what, const std::function<void()>& command) {
    const auto t0 = std::chrono::steady_clock::now();
    command();
    std::printf("cell size 1: %s %.2f s\n", what, Seconds(t0));
    std::fflush(stdout);
  }
};

TEST(BadInput, CellSizeOneRunsTheDefaultTown) {
  CellSizeOne w;
  ASSERT_EQ(w.m().town.gridCols, 640);
  ASSERT_EQ(w.m().town.gridRows, 666);
  ASSERT_TRUE(w.Shown().empty());
  // Every pixel of the town is a cell; there are more places than workers, so every worker
  // is paired.
  uint64_t workers = 0, places = 0, left = 0;
  w.m().town.cells.ForEach([&](const TCell& c) {
    workers += c.workers;
    places += c.workplaces;
    left += c.placesLeft;
  });
  EXPECT_EQ(w.form.Lbl_worker->text().toStdString(), std::to_string(workers));
  EXPECT_GT(workers, 20000000u);
  EXPECT_TRUE(w.m().town.workerCells.empty());
  EXPECT_EQ(places - left, workers);
  w.Timed("agents create", [&] { w.form.Run(&Model::B_agCreateClick); });
  w.Timed("workers path", [&] { w.form.Run(&Model::B_workPathClick); });
  // Steps from the night into the morning peak.
  w.Timed("50 steps", [&] {
    for (int k = 0; k < 50; ++k) w.form.Run(&Model::B_oneStepClick);
  });
  EXPECT_TRUE(w.Shown().empty());
  EXPECT_GT(w.m().day.travellers.size(), 100000u);
  w.Timed("delete all", [&] { w.form.Run(&Model::B_deleteAllClick); });
}

TEST(BadInput, CellSizeOneLinesToWork) {
  // 24 million lines of some 250 pixels each, in the colours of their home cells, over what
  // the base layer showed (cells of one pixel have no inside to fill, so the grid of the
  // window's first setup is still there).
  CellSizeOne w;
  std::set<QRgb> homeColours;
  w.m().town.cells.ForEach([&](const TCell& c) {
    if (!c.trips.empty())
      homeColours.insert(qRgb(RedOf(c.color), GreenOf(c.color), BlueOf(c.color)));
  });
  const QImage before = w.form.imageCells().BaseImage().copy();
  w.Timed("lines to work", [&] { w.form.Run(&Model::B_lineWorkClick); });
  EXPECT_TRUE(w.Shown().empty());
  const QImage& after = w.form.imageCells().BaseImage();
  int drawn = 0, samples = 0;
  for (int y = 0; y < 660; y += 3)
    for (int x = 0; x < 630; x += 3) {
      ++samples;
      const QRgb p = after.pixel(x, y);
      if (p == before.pixel(x, y)) continue;
      ++drawn;
      ASSERT_TRUE(homeColours.count(p)) << x << "," << y;
    }
  EXPECT_GT(drawn, samples * 8 / 10);
}

// ---- The error box. ----

TEST(BadInput, ATimerStepThatFailsShowsOneBoxAndStopsTheTimer) {
  // The real message box, modal with its own event loop. With the timer on, a load scale that
  // fails the step shows one box; the failing tick switched the timer off before the box, so
  // after OK no other box comes (the user can reach the edit box and "startTimer"). Mended,
  // "startTimer" runs the day on.
  TForm2 form2;
  TForm1 form;
  form.SetForm2(&form2);
  SetRandSeed(20240611u);
  form.Run(&Model::B_loadDataClick);
  form.Run(&Model::B_agCreateClick);
  form.Run(&Model::B_workPathClick);
  form.E_tScale->setText("");
  int most = 0;
  std::vector<QString> boxes;
  uint32_t stepsWhileOpen = 0, stepsAtOpen = 0;
  bool timerOnWhileOpen = true;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    int open = 0;
    for (QWidget* top : QApplication::topLevelWidgets())
      if (qobject_cast<QMessageBox*>(top) && top->isVisible()) ++open;
    most = std::max(most, open);
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    if (stepsAtOpen == 0) {
      stepsAtOpen = form.model().day.stepCount;
      return;  // left open for one more poll, while ticks would be due
    }
    stepsWhileOpen = form.model().day.stepCount - stepsAtOpen;
    timerOnWhileOpen = form.timer().Enabled();
    boxes.push_back(box->windowTitle() + "|" + box->text());
    box->button(QMessageBox::Ok)->click();
  });
  watch.start(20);
  QTest::mouseClick(form.B_startT, Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !boxes.empty(); }, 20000));
  const uint32_t failedAt = form.model().day.stepCount;
  QTest::qWait(2000);
  EXPECT_EQ(boxes, std::vector<QString>{"Velmora|'' ist kein gültiger Integerwert."});
  EXPECT_EQ(most, 1);
  EXPECT_EQ(stepsWhileOpen, 0u);
  EXPECT_FALSE(timerOnWhileOpen);
  EXPECT_FALSE(form.timer().Enabled());
  EXPECT_EQ(form.model().day.stepCount, failedAt);

  form.E_tScale->setText("10");
  QTest::mouseClick(form.B_startT, Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return form.model().day.stepCount >= failedAt + 3; }, 20000));
  form.timer().SetEnabled(false);
  watch.stop();
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(form.Lbl_steps->text().toUInt(), form.model().day.stepCount);
}

// ---- Closing. ----

TEST(BadInput, CloseAfterDeleteAllReleasesNothingTwice) {
  // A day with vehicles on the road and the timer on; "delete all", then closing runs the
  // teardown again over what the first one left. The sanitizers watch the second release and
  // the window's end; the leak check runs when the test program ends.
  for (int deletes : {1, 2}) {
    auto w = std::make_unique<Window>();
    StartDay(*w);
    QTest::mouseClick(w->form.B_startT, Qt::LeftButton);
    w->form.show();
    w->form2.show();
    for (int k = 0; k < deletes; ++k) QTest::mouseClick(w->form.B_deleteAll, Qt::LeftButton);
    w->form.close();
    EXPECT_TRUE(w->form2.isHidden());
    EXPECT_TRUE(w->m().town.cells.Empty());
    EXPECT_TRUE(w->Shown().empty());
    w.reset();
  }
}

}  // namespace
}  // namespace velmora

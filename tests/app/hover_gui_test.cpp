// Hover tooltips and the busy pointer on the real main window, offscreen: the tooltip over a
// cell, a node and a loaded link of the default town at the morning peak shows the model's
// numbers; hovering changes nothing; commands show the busy pointer while they run and give it
// back when they end, also when they fail.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QToolTip>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/Main.h"
#include "app/timeGraph.h"
#include "core/random.h"
#include "model/inspect.h"
#include "ui/error_box.h"

namespace velmora {
namespace {

struct Window {
  RecordingReporter errors;
  TForm2 form2;
  TForm1 form{&errors};
  Window() { form.SetForm2(&form2); }
  Model& m() { return form.model(); }

  // The default town at 8 o'clock: loaded, 42 nodes formed, every commute planned, 48 steps.
  void MorningPeak() {
    SetRandSeed(20240611u);
    form.B_loadDataClick();
    form.B_agCreateClick();
    form.B_workPathClick();
    for (int k = 0; k < 48; ++k) form.B_oneStepClick();
    ASSERT_TRUE(errors.messages.empty());
    ASSERT_GT(m().travellers.size(), 100u);
  }
  // The mouse resting at a point of the drawing area: the tooltip text, empty when none shows.
  std::string Hover(int x, int y) {
    QHelpEvent event(QEvent::ToolTip, QPoint(x, y), form.Image_Cells->mapToGlobal(QPoint(x, y)));
    QApplication::sendEvent(form.Image_Cells, &event);
    return QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
  }
  // Whether a tip still shows once a hidden one has had time to fade.
  static bool TipShowsAfterAWhile() {
    for (int k = 0; k < 50 && QToolTip::isVisible(); ++k) QTest::qWait(20);
    return QToolTip::isVisible();
  }
};

int32_t Load(const TAgent& node, int32_t from) {
  return node.linkLoad[static_cast<size_t>(from)];
}
bool Lists(const TAgent& node, int32_t other) {
  for (const TLink& link : node.links)
    if (link.node == other) return true;
  return false;
}
bool OnADisc(const Model& m, int x, int y) {
  for (const auto& node : m.nodeList)
    if ((x - node->x) * (x - node->x) + (y - node->y) * (y - node->y) <= 9 + 16) return true;
  return false;
}
// The squared distance to the nearest link line.
double NearestLine(const Model& m, int x, int y) {
  double best = 1e18;
  for (size_t i = 0; i < m.nodeList.size(); ++i)
    for (const TLink& link : m.nodeList[i]->links) {
      const auto& p = m.nodePositions[i];
      const auto& q = m.nodePositions[static_cast<size_t>(link.node)];
      best = std::min(best, SquaredDistanceToSegment(x, y, p[0], p[1], q[0], q[1]));
    }
  return best;
}

TEST(Hover, TooltipsOverACellANodeAndALoadedLinkShowTheModelsNumbers) {
  Window w;
  w.form.show();
  w.MorningPeak();
  const Model& m = w.m();
  const int n = static_cast<int>(m.nodeList.size());

  // A node whose disc no other disc covers.
  int node = -1;
  for (int i = 0; i < n && node < 0; ++i) {
    node = i;
    for (int j = 0; j < n; ++j)
      if (j != i && std::abs(m.nodeList[j]->x - m.nodeList[i]->x) <= 7 &&
          std::abs(m.nodeList[j]->y - m.nodeList[i]->y) <= 7)
        node = -1;
  }
  ASSERT_GE(node, 0);
  const TAgent& a = *m.nodeList[static_cast<size_t>(node)];
  int linksIn = 0, arrived = 0;
  for (int j = 0; j < n; ++j) linksIn += Lists(*m.nodeList[static_cast<size_t>(j)], node);
  for (int j = 0; j < n; ++j) arrived += Load(a, j);
  EXPECT_EQ(w.Hover(a.x + 1, a.y - 1),
            "node " + std::to_string(node) + "\nposition: " + std::to_string(a.x) + ", " +
                std::to_string(a.y) + "\nlinks out: " + std::to_string(a.links.size()) +
                "\nlinks in: " + std::to_string(linksIn) +
                "\ndrove here last step: " + std::to_string(arrived));

  // A link loaded in at least one direction, at the middle of its line, with no disc and no
  // nearer line there.
  bool found = false;
  for (int i = 0; i < n && !found; ++i)
    for (const TLink& link : m.nodeList[static_cast<size_t>(i)]->links) {
      const int t = link.node;
      const TAgent& from = *m.nodeList[static_cast<size_t>(i)];
      const TAgent& to = *m.nodeList[static_cast<size_t>(t)];
      if (Load(to, i) + Load(from, t) == 0) continue;
      const auto& p = m.nodePositions[static_cast<size_t>(i)];
      const auto& q = m.nodePositions[static_cast<size_t>(t)];
      const int x = (p[0] + q[0]) / 2, y = (p[1] + q[1]) / 2;
      const double own = SquaredDistanceToSegment(x, y, p[0], p[1], q[0], q[1]);
      if (OnADisc(m, x, y) || NearestLine(m, x, y) < own) continue;
      const bool both = Lists(to, i);
      const int lo = both ? std::min(i, t) : i, hi = both ? std::max(i, t) : t;
      const TAgent& nodeLo = *m.nodeList[static_cast<size_t>(lo)];
      const TAgent& nodeHi = *m.nodeList[static_cast<size_t>(hi)];
      const std::string l = std::to_string(lo), h = std::to_string(hi);
      std::string distance = std::to_string(link.distance);
      for (const TLink& back : nodeHi.links)
        if (both && back.node == lo && back.distance != link.distance)
          distance = lo == i ? distance + " / " + std::to_string(back.distance)
                             : std::to_string(back.distance) + " / " + distance;
      EXPECT_EQ(w.Hover(x, y), "link " + l + (both ? " <-> " : " -> ") + h +
                                   "\ndistance: " + distance + " px\nvehicles " + l + " -> " + h +
                                   ": " + std::to_string(Load(nodeHi, lo)) + "\nvehicles " + h +
                                   " -> " + l + ": " + std::to_string(Load(nodeLo, hi)));
      found = true;
      break;
    }
  EXPECT_TRUE(found);

  // A cell with workers, at a point with no disc or line near it.
  found = false;
  m.cells.ForEach([&](const TCell& cell) {
    const int x = cell.PositionX - 5, y = cell.PositionY + 4;
    if (found || cell.workers == 0 || OnADisc(m, x, y) || NearestLine(m, x, y) <= 16) return;
    found = true;
    EXPECT_EQ(w.Hover(x, y),
              "cell " + std::to_string(cell.column) + ", " + std::to_string(cell.row) +
                  "\nworkers: " + std::to_string(cell.workers) +
                  "\nworkplaces: " + std::to_string(cell.workplaces) +
                  "\nretail units: " + std::to_string(cell.retail) +
                  "\nnearest node: " + std::to_string(cell.nearestNode) +
                  "\nworkers with a workplace: " + std::to_string(cell.workers - cell.workersLeft));
  });
  EXPECT_TRUE(found);

  // Beyond the grid (x 630 and on) and after "delete all" the tip goes.
  w.Hover(635, 100);
  EXPECT_FALSE(Window::TipShowsAfterAWhile());
  w.Hover(100, 100);
  w.form.B_deleteAllClick();
  w.Hover(100, 100);
  EXPECT_FALSE(Window::TipShowsAfterAWhile());
}

// ---- Everything hovering could touch, hashed by area. ----

uint64_t Mix(uint64_t h, uint64_t v) {
  return h ^ (v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2));
}
uint64_t HashImage(const QImage* image) {
  uint64_t h = 0;
  if (image != nullptr)
    for (int y = 0; y < image->height(); ++y)
      for (int x = 0; x < image->width(); ++x) h = Mix(h, image->pixel(x, y));
  return h;
}

std::map<std::string, uint64_t> State(Window& w) {
  const Model& m = w.m();
  std::map<std::string, uint64_t> s;
  uint64_t cells = 0, trips = 0;
  m.cells.ForEach([&](const TCell& c) {
    for (uint64_t v : {uint64_t{c.workers}, uint64_t{c.workplaces}, uint64_t{c.retail},
                       uint64_t{c.workersLeft}, uint64_t{c.placesLeft}, uint64_t{c.retailLeft},
                       uint64_t{c.color}, static_cast<uint64_t>(c.nearestNode)})
      cells = Mix(cells, v);
    for (const Trip& t : c.trips)
      for (uint64_t v : {static_cast<uint64_t>(t.destCol), static_cast<uint64_t>(t.destRow),
                         reinterpret_cast<uint64_t>(t.route.get()),
                         static_cast<uint64_t>(t.morningDeparture * 10),
                         static_cast<uint64_t>(t.eveningDeparture * 10)})
        trips = Mix(trips, v);
  });
  s["cells"] = cells;
  s["trips"] = trips;
  uint64_t nodes = 0, loads = 0;
  for (const auto& node : m.nodeList) {
    for (int64_t v : {int64_t{node->x}, int64_t{node->y}, int64_t{node->radius},
                      int64_t{node->color}, int64_t{node->f}, int64_t{node->g},
                      static_cast<int64_t>(node->vx * 1000), static_cast<int64_t>(node->closed)})
      nodes = Mix(nodes, static_cast<uint64_t>(v));
    for (const TLink& link : node->links) nodes = Mix(Mix(nodes, link.node), link.distance);
    for (int32_t load : node->linkLoad) loads = Mix(loads, static_cast<uint32_t>(load));
  }
  for (const auto& p : m.nodePositions) nodes = Mix(Mix(nodes, p[0]), p[1]);
  s["nodes"] = nodes;
  s["loads"] = loads;
  uint64_t vehicles = m.travellers.size() + m.routeList.size();
  for (const auto& v : m.travellers)
    vehicles = Mix(Mix(vehicles, v->position), reinterpret_cast<uint64_t>(v->currentNode));
  s["vehicles"] = vehicles;
  s["clock"] = Mix(Mix(m.stepCount, static_cast<uint64_t>(m.clockHours * 100)),
                   static_cast<uint64_t>(m.prevClockHours * 100));
  s["random"] = RandSeed();
  s["base"] = HashImage(&w.form.imageCells().BaseImage());
  s["overlay"] = HashImage(w.form.imageCells().OverlayImage());
  return s;
}

TEST(Hover, HoveringChangesNothing) {
  Window w;
  w.form.show();
  w.MorningPeak();
  const auto before = State(w);
  int shown = 0;
  for (int y = 1; y < 670; y += 7)
    for (int x = 2; x < 640; x += 5) shown += !w.Hover(x, y).empty();
  EXPECT_GT(shown, 10000);
  EXPECT_EQ(State(w), before);
  EXPECT_TRUE(w.errors.messages.empty());
}

// ---- The busy pointer. ----

// The main window that notes, whenever the model reads an edit box, which pointer the
// application shows over its windows at that moment (-1: the windows' own).
class ProbeForm : public TForm1 {
 public:
  using TForm1::TForm1;
  std::string EditText(EditBox box) const override {
    const QCursor* cursor = QApplication::overrideCursor();
    seen.push_back(cursor ? cursor->shape() : -1);
    return TForm1::EditText(box);
  }
  mutable std::vector<int> seen;
};

// Notes the pointer while the error box shows.
class CursorReporter : public ErrorReporter {
 public:
  void ShowError(const std::string& message) override {
    messages.push_back(message);
    const QCursor* cursor = QApplication::overrideCursor();
    cursors.push_back(cursor ? cursor->shape() : -1);
  }
  std::vector<std::string> messages;
  std::vector<int> cursors;
};

TEST(Hover, CommandsShowTheBusyPointerWhileTheyRunAlsoWhenTheyFail) {
  CursorReporter errors;
  ProbeForm form(&errors);
  const std::vector<int> busy{Qt::WaitCursor};
  auto run = [&](auto command) {
    form.seen.clear();
    command();
    std::vector<int> kinds(form.seen.begin(), form.seen.end());
    std::sort(kinds.begin(), kinds.end());
    kinds.erase(std::unique(kinds.begin(), kinds.end()), kinds.end());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // given back
    return kinds;
  };
  EXPECT_EQ(run([&] { form.B_agCreateClick(); }), busy);
  EXPECT_EQ(run([&] { form.B_workPathClick(); }), busy);

  // A failing command: busy while it runs, the pointer back before the error box shows.
  form.E_nodeNumber->setText("abc");
  EXPECT_EQ(run([&] { form.B_agCreateClick(); }), busy);
  ASSERT_EQ(errors.messages.size(), 1u);
  EXPECT_EQ(errors.cursors, std::vector<int>{-1});

  // The timer's ticks leave the pointer alone: the window answers clicks between them.
  EXPECT_EQ(run([&] { form.Timer1Timer(); }), std::vector<int>{-1});
}

}  // namespace
}  // namespace velmora

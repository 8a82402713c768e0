// Hover tooltips and the busy pointer on the real main window, offscreen: over a cell, a node and
// a loaded link of the default town at the morning peak the tooltip shows the model's numbers,
// and hovering changes nothing; commands show the busy pointer while they run and give it back
// when they end, also when they fail.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QToolTip>
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "app/Main.h"
#include "app/timeGraph.h"
#include "app/window_fixture.h"
#include "core/random.h"
#include "model/hover_lookup.h"
#include "ui/error_box.h"

namespace velmora {
namespace {

struct Window : testing::Window {
  // The mouse resting at a point of the drawing area: the tooltip text, empty when none shows.
  std::string Hover(int x, int y) {
    QHelpEvent event(QEvent::ToolTip, QPoint(x, y), form.Image_Cells->mapToGlobal(QPoint(x, y)));
    QApplication::sendEvent(form.Image_Cells, &event);
    return QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
  }
  // Whether a tip still shows once a hidden one has had time to fade.
  static bool TipStays() {
    for (int k = 0; k < 50 && QToolTip::isVisible(); ++k) QTest::qWait(20);
    return QToolTip::isVisible();
  }
  // Everything hovering could change: the model, the random generator and both layers.
  uint64_t Digest() {
    uint64_t h = RandSeed();
    auto add = [&h](const void* p, size_t n) {
      h = h * 1099511628211ull ^ std::hash<std::string_view>{}({static_cast<const char*>(p), n});
    };
    m().town.cells.ForEach([&](const TCell& c) {
      const int64_t f[] = {c.workers,    c.workplaces,  c.retail, c.workersLeft,
                           c.placesLeft, c.nearestNode, c.color};
      add(f, sizeof f);
      for (const Trip& t : c.trips) {
        const double d[] = {double(t.destCol), double(t.destRow), double(t.morningDeparture),
                            double(t.eveningDeparture), double(uintptr_t(t.route.get()))};
        add(d, sizeof d);
      }
    });
    for (const auto& n : m().network.nodeList) {
      const int64_t f[] = {n->x, n->y, n->radius, n->color,
                           n->f, n->g, n->closed, int64_t(intptr_t(n->parent))};
      add(f, sizeof f);
      add(n->links.data(), n->links.size() * sizeof(TLink));
      add(n->linkLoad.data(), n->linkLoad.size() * sizeof(int32_t));
    }
    add(m().network.nodePositions.data(),
        m().network.nodePositions.size() * sizeof(m().network.nodePositions[0]));
    for (const auto& v : m().day.travellers) {
      const uint64_t f[] = {v->position, uintptr_t(v->currentNode)};
      add(f, sizeof f);
    }
    const double clock[] = {m().day.clockHours, m().day.prevClockHours, double(m().day.stepCount),
                            double(m().network.routeList.size())};
    add(clock, sizeof clock);
    for (const QImage* image : {&form.imageCells().BaseImage(), form.imageCells().OverlayImage()})
      if (image) add(image->constBits(), static_cast<size_t>(image->sizeInBytes()));
    return h;
  }
};

int32_t Load(const TAgent& node, int32_t from) {
  return node.linkLoad[static_cast<size_t>(from)];
}
const TLink* LinkTo(const TAgent& node, int32_t other) {
  for (const TLink& link : node.links)
    if (link.node == other) return &link;
  return nullptr;
}
// Whether a point lies clear of every disc (by 2 pixels) and every link line other than the
// one from node `from` to `to` (by 3 pixels), and within `reach` of that one.
bool ClearOfAllBut(const Model& m, int x, int y, size_t from, int32_t to, double reach) {
  for (const auto& node : m.network.nodeList)
    if ((x - node->x) * (x - node->x) + (y - node->y) * (y - node->y) <= 25) return false;
  for (size_t i = 0; i < m.network.nodeList.size(); ++i)
    for (const TLink& link : m.network.nodeList[i]->links) {
      const auto& p = m.network.nodePositions[i];
      const auto& q = m.network.nodePositions[static_cast<size_t>(link.node)];
      const double d2 = SquaredDistanceToSegment(x, y, p[0], p[1], q[0], q[1]);
      const bool own =
          (i == from && link.node == to) || (int32_t(i) == to && link.node == int32_t(from));
      if (own ? d2 > reach * reach : d2 <= 36) return false;
    }
  return true;
}

TEST(Hover, TooltipsShowTheModelsNumbersOverANodeALoadedLinkAndACellAndChangeNothing) {
  Window w;
  w.form.show();
  SetRandSeed(20240611u);
  w.form.Run(&Model::B_loadDataClick);
  w.form.Run(&Model::B_agCreateClick);
  w.form.Run(&Model::B_workPathClick);
  for (int k = 0; k < 48; ++k) w.form.Run(&Model::B_oneStepClick);  // 8 o'clock
  ASSERT_TRUE(w.errors.messages.empty());
  const Model& m = w.m();
  const int n = static_cast<int>(m.network.nodeList.size());
  const uint64_t before = w.Digest();

  // The last node: its disc is on top of any other.
  const TAgent& last = *m.network.nodeList.back();
  int linksIn = 0, drove = 0;
  for (int j = 0; j < n; ++j)
    linksIn += LinkTo(*m.network.nodeList[static_cast<size_t>(j)], n - 1) != nullptr;
  for (int j = 0; j < n; ++j) drove += Load(last, j);
  EXPECT_EQ(w.Hover(last.x + 1, last.y - 2),
            "node " + std::to_string(n - 1) + "\nposition: " + std::to_string(last.x) + ", " +
                std::to_string(last.y) + "\nlinks out: " + std::to_string(last.links.size()) +
                "\nlinks in: " + std::to_string(linksIn) +
                "\ndrove here last step: " + std::to_string(drove));

  // A link listed both ways with one distance, loaded, at the middle of its line.
  int checked = 0;
  for (int i = 0; i < n && !checked; ++i)
    for (const TLink& link : m.network.nodeList[static_cast<size_t>(i)]->links) {
      const int t = link.node;
      const TAgent& a = *m.network.nodeList[static_cast<size_t>(i)];
      const TAgent& b = *m.network.nodeList[static_cast<size_t>(t)];
      const TLink* back = LinkTo(b, i);
      const auto& p = m.network.nodePositions[static_cast<size_t>(i)];
      const auto& q = m.network.nodePositions[static_cast<size_t>(t)];
      const int x = (p[0] + q[0]) / 2, y = (p[1] + q[1]) / 2;
      if (i > t || !back || back->distance != link.distance || Load(b, i) + Load(a, t) == 0 ||
          !ClearOfAllBut(m, x, y, static_cast<size_t>(i), t, 1.5))
        continue;
      const std::string si = std::to_string(i), st = std::to_string(t);
      EXPECT_EQ(w.Hover(x, y),
                "link " + si + " <-> " + st + "\ndistance: " + std::to_string(link.distance) +
                    " px\nvehicles " + si + " -> " + st + ": " + std::to_string(Load(b, i)) +
                    "\nvehicles " + st + " -> " + si + ": " + std::to_string(Load(a, t)));
      checked = 1;
      break;
    }
  EXPECT_EQ(checked, 1);

  // A cell with workers, where no disc or line is near.
  m.town.cells.ForEach([&](const TCell& cell) {
    const int x = cell.PositionX - 5, y = cell.PositionY + 4;
    if (checked == 2 || cell.workers == 0 || !ClearOfAllBut(m, x, y, 0, -1, 0)) return;
    checked = 2;
    EXPECT_EQ(w.Hover(x, y),
              "cell " + std::to_string(cell.column) + ", " + std::to_string(cell.row) +
                  "\nworkers: " + std::to_string(cell.workers) +
                  "\nworkplaces: " + std::to_string(cell.workplaces) +
                  "\nretail units: " + std::to_string(cell.retail) +
                  "\nnearest node: " + std::to_string(cell.nearestNode) +
                  "\nworkers with a workplace: " + std::to_string(cell.workers - cell.workersLeft));
  });
  EXPECT_EQ(checked, 2);

  // Hovering everywhere shows tips over the field, none beyond it, and changes nothing.
  int shown = 0;
  for (int y = 1; y < 660; y += 7)
    for (int x = 2; x < 630; x += 5) shown += !w.Hover(x, y).empty();
  EXPECT_EQ(shown, 95 * 126);
  w.Hover(635, 100);
  EXPECT_FALSE(Window::TipStays());
  EXPECT_EQ(w.Digest(), before);

  w.Hover(100, 100);
  w.form.Run(&Model::B_deleteAllClick);
  w.Hover(100, 100);
  EXPECT_FALSE(Window::TipStays());
}

// The main window noting the application's pointer whenever the model reads an edit box, and a
// reporter noting it while the error box shows (-1: no busy pointer).
int Pointer() {
  const QCursor* cursor = QApplication::overrideCursor();
  return cursor ? cursor->shape() : -1;
}
class ProbeHost : public WindowHost {
 public:
  using WindowHost::WindowHost;
  std::string EditText(EditBox box) const override {
    seen.push_back(Pointer());
    return WindowHost::EditText(box);
  }
  mutable std::vector<int> seen;
};
class PointerReporter : public ErrorReporter {
 public:
  void ShowError(const std::string&) override { seen.push_back(Pointer()); }
  std::vector<int> seen;
};

TEST(Hover, CommandsShowTheBusyPointerWhileTheyRunAlsoWhenTheyFail) {
  PointerReporter errors;
  ProbeHost* probe = nullptr;
  TForm1 form(&errors, nullptr, [&probe](const WindowHost::Controls& controls) {
    auto host = std::make_unique<ProbeHost>(controls);
    probe = host.get();
    return host;
  });
  // The distinct pointers seen during a command; none is left set after it.
  auto during = [&](auto command) {
    probe->seen.clear();
    command();
    EXPECT_EQ(Pointer(), -1);
    std::vector<int> kinds = probe->seen;
    std::sort(kinds.begin(), kinds.end());
    kinds.erase(std::unique(kinds.begin(), kinds.end()), kinds.end());
    return kinds;
  };
  const std::vector<int> busy{Qt::WaitCursor}, none{-1};
  EXPECT_EQ(during([&] { form.Run(&Model::B_agCreateClick); }), busy);
  EXPECT_EQ(during([&] { form.Run(&Model::B_workPathClick); }), busy);
  // Failing: busy while it runs, given back before the error box shows.
  form.E_nodeNumber->setText("abc");
  EXPECT_EQ(during([&] { form.Run(&Model::B_agCreateClick); }), busy);
  EXPECT_EQ(errors.seen, none);
  // The timer's ticks leave the pointer alone.
  EXPECT_EQ(during([&] { form.Timer1Timer(); }), none);
}

}  // namespace
}  // namespace velmora

// "agents create" and "agents delete" on the real main window: the network is drawn on the
// overlay only, links under the node discs, and the cells show through everywhere else.
// With VELMORA_NETWORK_PNG set, the composed drawing area after "agents create" is also saved
// to that path (the picture in the docs comes from here).
#include <gtest/gtest.h>

#include <QImage>
#include <QLineEdit>
#include <cmath>
#include <cstdlib>

#include "app/Main.h"
#include "app/timeGraph.h"
#include "app/window_fixture.h"
#include "core/random.h"
#include "ui/error_box.h"

namespace velmora {
namespace {

constexpr QRgb kRed = 0xFF0000, kGreen = 0x008000, kBlack = 0x000000;

QRgb At(const QImage& image, int x, int y) {
  return image.pixel(x, y) & 0xFFFFFF;
}

using testing::Window;

// Length of the run of red pixels through (x, y), scanning across a line of direction (dx, dy).
int RedRunAcross(const QImage& image, int x, int y, int dx, int dy) {
  const bool vertical = std::abs(dx) >= std::abs(dy);
  int run = 0;
  for (int s = -4; s <= 4; ++s) {
    const int px = vertical ? x : x + s;
    const int py = vertical ? y + s : y;
    if (At(image, px, py) == kRed) ++run;
  }
  return run;
}

TEST(NetworkWindow, AgentsCreateDrawsLinksUnderNodesOnTheOverlayOnly) {
  Window w;
  const QImage baseBefore = w.form.imageCells().BaseImage().copy();
  SetRandSeed(20240611u);
  w.form.Run(&Model::B_agCreateClick);
  ASSERT_TRUE(w.errors.messages.empty());
  const Model& m = w.form.model();
  ASSERT_EQ(m.network.nodeList.size(), 42u);

  const QImage* overlay = w.form.imageCells().OverlayImage();
  ASSERT_NE(overlay, nullptr);
  const QImage composed = w.form.imageCells().Composed();
  if (const char* path = std::getenv("VELMORA_NETWORK_PNG")) composed.save(path);

  // The base layer is untouched: still the white cells with their outlines.
  EXPECT_TRUE(w.form.imageCells().BaseImage() == baseBefore);
  // The overlay holds only the transparent black, the red of links and discs and the green
  // outlines; where it is black the cells show through.
  int red = 0, green = 0;
  for (int y = 0; y < overlay->height(); ++y)
    for (int x = 0; x < overlay->width(); ++x) {
      const QRgb p = At(*overlay, x, y);
      ASSERT_TRUE(p == kBlack || p == kRed || p == kGreen) << x << "," << y;
      if (p == kBlack) {
        ASSERT_EQ(At(composed, x, y), At(baseBefore, x, y)) << x << "," << y;
      } else {
        ASSERT_EQ(At(composed, x, y), p);
        (p == kRed ? red : green) += 1;
      }
    }
  EXPECT_GT(green, 0);

  // Every disc lies on top: its centre red, its left-most outline pixel green, unless a disc
  // drawn later covers it.
  for (size_t i = 0; i < m.network.nodeList.size(); ++i) {
    const TAgent& node = *m.network.nodeList[i];
    EXPECT_EQ(At(*overlay, node.x, node.y), kRed) << i;
    if (node.x < 3) continue;
    bool covered = false;
    for (size_t j = i + 1; j < m.network.nodeList.size(); ++j)
      covered |= std::abs(m.network.nodeList[j]->x - node.x) < 8 &&
                 std::abs(m.network.nodeList[j]->y - node.y) < 8;
    if (!covered) {
      EXPECT_EQ(At(*overlay, node.x - 3, node.y), kGreen) << i;
    }
  }

  // Links run red between the snapshots of the last pass, two pixels wide.
  int checked = 0;
  for (size_t i = 0; i < m.network.nodeList.size(); ++i)
    for (const TLink& link : m.network.nodeList[i]->links) {
      const auto& a = m.network.nodePositions[i];
      const auto& b = m.network.nodePositions[static_cast<size_t>(link.node)];
      const int mx = (a[0] + b[0]) / 2, my = (a[1] + b[1]) / 2;
      EXPECT_EQ(At(*overlay, mx, my), kRed);
      // Short links, and links along the field's edge whose band is cut by it, are skipped.
      if (link.distance < 60 || mx < 3 || my < 3 || mx > 636 || my > 662) continue;
      bool clear = true;  // no disc near the midpoint
      for (const auto& node : m.network.nodeList)
        clear &= std::abs(node->x - mx) > 10 || std::abs(node->y - my) > 10;
      if (!clear) continue;
      const int run = RedRunAcross(*overlay, mx, my, b[0] - a[0], b[1] - a[1]);
      EXPECT_GE(run, 2) << i << "->" << link.node;
      EXPECT_LE(run, 4) << i << "->" << link.node;  // a crossing line can widen it
      ++checked;
    }
  EXPECT_GT(checked, 5);
  EXPECT_GT(red, 42 * 20);
  m.town.cells.ForEach([](const TCell& c) { EXPECT_GE(c.nearestNode, 0); });

  // "agents delete" leaves an empty overlay over the untouched cells.
  w.form.Run(&Model::B_agDeleteClick);
  EXPECT_TRUE(w.errors.messages.empty());
  EXPECT_TRUE(m.network.nodeList.empty());
  ASSERT_NE(w.form.imageCells().OverlayImage(), nullptr);
  const QImage* cleared = w.form.imageCells().OverlayImage();
  for (int y = 0; y < cleared->height(); ++y)
    for (int x = 0; x < cleared->width(); ++x) ASSERT_EQ(At(*cleared, x, y), kBlack);
  EXPECT_TRUE(w.form.imageCells().Composed() == baseBefore.convertToFormat(QImage::Format_RGB32));
}

TEST(NetworkWindow, EditErrorsReachTheErrorBox) {
  Window w;
  // Without nodes the distance edits read nothing, so an empty box is no error.
  w.form.E_conDist->setText("");
  EXPECT_TRUE(w.errors.messages.empty());
  w.form.E_conDist->setText("130");

  w.form.E_nodeNumber->setText("zwei");
  w.form.Run(&Model::B_agCreateClick);
  ASSERT_EQ(w.errors.messages.size(), 1u);
  EXPECT_EQ(w.errors.messages[0], "'zwei' ist kein gültiger Integerwert.");
  EXPECT_TRUE(w.form.model().network.nodeList.empty());

  w.form.E_nodeNumber->setText("2");
  w.form.Run(&Model::B_agCreateClick);
  ASSERT_EQ(w.form.model().network.nodeList.size(), 3u);
  w.form.E_repDist->setText("");  // typing a new value: the error shows at once
  ASSERT_EQ(w.errors.messages.size(), 2u);
  EXPECT_EQ(w.errors.messages[1], "'' ist kein gültiger Integerwert.");
  w.form.E_repDist->setText("25");
  for (const auto& node : w.form.model().network.nodeList) EXPECT_EQ(node->repDist, 25);

  w.form.E_nodeNumber->setText("2147483647");
  w.form.Run(&Model::B_agCreateClick);
  ASSERT_EQ(w.errors.messages.size(), 3u);
  EXPECT_EQ(w.errors.messages[2], "Zu viele Knoten (max. 10000)");
  EXPECT_EQ(w.form.model().network.nodeList.size(), 3u);
}

}  // namespace
}  // namespace velmora

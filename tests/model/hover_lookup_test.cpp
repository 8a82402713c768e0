// The hover lookup: the indexed lookup against a plain scan of every disc and link over a
// grid of points, on a formed network and again after the network changed under it; and the
// cell text before any network, also when a failed setup left the cell size at 0.
#include "model/hover_lookup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "core/random.h"
#include "support/model_fixture.h"

namespace velmora {
namespace {

using testing::ModelFixture;

// The plain scan: the last disc holding the point, else the nearest link line within 3 pixels
// (the last drawn among equals), else the cell by the cell size.
HoverHit Plain(const Model& m, int32_t x, int32_t y) {
  HoverHit out;
  if (m.cells.Empty() || x < 0 || y < 0 || x >= m.gridCols * m.cellSize ||
      y >= m.gridRows * m.cellSize)
    return out;
  const size_t n = m.nodeList.size();
  for (size_t i = 0; i < n; ++i) {
    const TAgent& node = *m.nodeList[i];
    const int64_t dx = x - node.x, dy = y - node.y;
    if (dx * dx + dy * dy <= int64_t{node.radius} * node.radius) {
      out.kind = HoverHit::Kind::Node;
      out.a = static_cast<int32_t>(i);
    }
  }
  if (out.kind == HoverHit::Kind::Node) return out;
  double best = 9.0;
  for (size_t i = 0; i < n; ++i)
    for (const TLink& link : m.nodeList[i]->links) {
      const auto& p = m.nodePositions[i];
      const auto& q = m.nodePositions[static_cast<size_t>(link.node)];
      if (x < std::min(p[0], q[0]) - 3 || x > std::max(p[0], q[0]) + 3 ||
          y < std::min(p[1], q[1]) - 3 || y > std::max(p[1], q[1]) + 3)
        continue;  // too far from the line's box to be within 3 pixels
      const double d2 = SquaredDistanceToSegment(x, y, p[0], p[1], q[0], q[1]);
      if (d2 > best) continue;
      best = d2;
      out.kind = HoverHit::Kind::Link;
      out.a = static_cast<int32_t>(i);
      out.b = link.node;
    }
  if (out.kind == HoverHit::Kind::Link) {
    // Listed both ways: the lower index first.
    for (const TLink& back : m.nodeList[static_cast<size_t>(out.b)]->links)
      if (back.node == out.a && out.a > out.b) std::swap(out.a, out.b);
    return out;
  }
  out.kind = HoverHit::Kind::Cell;
  out.a = x / m.cellSize;
  out.b = y / m.cellSize;
  return out;
}

// Every third pixel of the drawing area and a strip beyond it: the same thing found.
void ExpectSameAsPlain(HoverLookup& lookup, const Model& m) {
  int links = 0, nodes = 0;
  for (int32_t y = -2; y < 672; y += 3)
    for (int32_t x = -1; x < 644; x += 3) {
      const HoverHit fast = lookup.At(m, x, y);
      const HoverHit plain = Plain(m, x, y);
      ASSERT_EQ(fast.kind, plain.kind) << x << "," << y;
      ASSERT_EQ(fast.a, plain.a) << x << "," << y;
      ASSERT_EQ(fast.b, plain.b) << x << "," << y;
      links += fast.kind == HoverHit::Kind::Link;
      nodes += fast.kind == HoverHit::Kind::Node;
    }
  EXPECT_GT(links, 1000);
  EXPECT_GT(nodes, 100);
}

TEST(HoverLookup, IndexFindsWhatAPlainScanFindsAlsoAfterTheNetworkChanges) {
  ModelFixture f;
  f.Start();
  f.host.edits[EditBox::NodeNumber] = "89";
  SetRandSeed(20240611u);
  f.model.B_agCreateClick();
  Model& m = f.model;
  HoverLookup lookup;
  ExpectSameAsPlain(lookup, m);
  EXPECT_EQ(lookup.Builds(), 1);

  // Discs on top of one another (the later one wins), one-way links, a moved line end.
  m.nodeList[5]->x = m.nodeList[7]->x + 1;
  m.nodeList[5]->y = m.nodeList[7]->y;
  m.nodeList[9]->x = m.nodeList[2]->x;
  m.nodeList[9]->y = m.nodeList[2]->y - 2;
  m.nodeList[3]->links.resize(m.nodeList[3]->links.size() / 2);
  m.nodePositions[11][0] += 40;
  ExpectSameAsPlain(lookup, m);
  EXPECT_EQ(lookup.Builds(), 2);

  // A new network of another seed.
  SetRandSeed(7u);
  f.model.B_agCreateClick();
  ExpectSameAsPlain(lookup, m);
  EXPECT_EQ(lookup.Builds(), 3);
}

TEST(HoverLookup, NothingBeforeCellsAndACellWithoutNodesAlsoAfterAFailedSetup) {
  ModelFixture f;
  HoverLookup lookup;
  EXPECT_EQ(lookup.At(f.model, 10, 10).kind, HoverHit::Kind::None);  // before "new setup"
  f.Start();
  f.model.cells.At(2, 1)->workers = 7;
  f.model.cells.At(2, 1)->workersLeft = 3;
  f.model.cells.At(2, 1)->retail = 9;
  const HoverHit cell = lookup.At(f.model, 89, 59);
  EXPECT_EQ(cell.text,
            "cell 2, 1\nworkers: 7\nworkplaces: 0\nretail units: 9\nnearest node: none\n"
            "workers with a workplace: 4");
  EXPECT_EQ(std::make_tuple(cell.left, cell.top, cell.right, cell.bottom),
            std::make_tuple(60, 30, 90, 60));
  // A "new setup" with size 0 fails after setting cellSize; the old cells still answer.
  f.host.edits[EditBox::CellScale] = "0";
  EXPECT_ANY_THROW(f.model.FormCreate());
  EXPECT_EQ(lookup.At(f.model, 89, 59).text, cell.text);
  EXPECT_EQ(lookup.At(f.model, 630, 10).kind, HoverHit::Kind::None);
}

}  // namespace
}  // namespace velmora

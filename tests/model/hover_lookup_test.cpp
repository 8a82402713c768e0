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
#include "support/plain_hover.h"

namespace velmora {
namespace {

using oracle::PlainHover;
using testing::ModelFixture;

// Every third pixel of the drawing area and a strip beyond it: the same thing found.
void ExpectSameAsPlain(HoverLookup& lookup, const Model& m) {
  int links = 0, nodes = 0;
  for (int32_t y = -2; y < 672; y += 3)
    for (int32_t x = -1; x < 644; x += 3) {
      const HoverHit fast = lookup.At(m.town, m.network, x, y);
      const HoverHit plain = PlainHover(m, x, y);
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
  m.network.nodeList[5]->x = m.network.nodeList[7]->x + 1;
  m.network.nodeList[5]->y = m.network.nodeList[7]->y;
  m.network.nodeList[9]->x = m.network.nodeList[2]->x;
  m.network.nodeList[9]->y = m.network.nodeList[2]->y - 2;
  m.network.nodeList[3]->links.resize(m.network.nodeList[3]->links.size() / 2);
  m.network.nodePositions[11][0] += 40;
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
  EXPECT_EQ(lookup.At(f.model.town, f.model.network, 10, 10).kind,
            HoverHit::Kind::None);  // before "new setup"
  f.Start();
  f.model.town.cells.At(2, 1)->workers = 7;
  f.model.town.cells.At(2, 1)->workersLeft = 3;
  f.model.town.cells.At(2, 1)->retail = 9;
  const HoverHit cell = lookup.At(f.model.town, f.model.network, 89, 59);
  EXPECT_EQ(cell.text,
            "cell 2, 1\nworkers: 7\nworkplaces: 0\nretail units: 9\nnearest node: none\n"
            "workers with a workplace: 4");
  EXPECT_EQ(std::make_tuple(cell.left, cell.top, cell.right, cell.bottom),
            std::make_tuple(60, 30, 90, 60));
  // A "new setup" with size 0 fails after setting cellSize; the old cells still answer.
  f.host.edits[EditBox::CellScale] = "0";
  EXPECT_ANY_THROW(f.model.FormCreate());
  EXPECT_EQ(lookup.At(f.model.town, f.model.network, 89, 59).text, cell.text);
  EXPECT_EQ(lookup.At(f.model.town, f.model.network, 630, 10).kind, HoverHit::Kind::None);
}

}  // namespace
}  // namespace velmora

// The hover readouts against plain scans of the model: a town of random counts with two cells
// sharing the most workers, a hand-made network in two parts (the smaller holding node 0, some
// links one way only), and its morning run step by step to 8 o'clock. At every step the busiest
// links equal the plain pair scan's; at 8 the parts, the cell with the most workers and the
// texts agree.
#include "model/readouts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>

#include "core/convert.h"
#include "core/random.h"
#include "model/agent.h"
#include "model/hover_lookup.h"
#include "support/hand_network.h"
#include "support/model_fixture.h"
#include "support/plain_readouts.h"

namespace velmora {
namespace {

using testing::HandNetwork;
using testing::ModelFixture;

void ExpectSame(const std::vector<LinkTraffic>& fast, const std::vector<LinkTraffic>& plain) {
  ASSERT_EQ(fast.size(), plain.size());
  for (size_t k = 0; k < fast.size(); ++k) {
    EXPECT_EQ(fast[k].a, plain[k].a) << k;
    EXPECT_EQ(fast[k].b, plain[k].b) << k;
    EXPECT_EQ(fast[k].bothWays, plain[k].bothWays) << k;
    EXPECT_EQ(fast[k].aToB, plain[k].aToB) << k;
    EXPECT_EQ(fast[k].bToA, plain[k].bToA) << k;
  }
}

struct TwoPartTown {
  char separator = DecimalSeparator();
  ModelFixture f;
  Model& m = f.model;

  ~TwoPartTown() { SetDecimalSeparator(separator); }
  TwoPartTown() {
    // The default deviation "1,0" is written with a decimal comma.
    SetDecimalSeparator(',');
    f.Start();
    // Workers and workplaces of 0 to 20 a cell; 60 workers in cells (5, 3) and (2, 7).
    std::mt19937 rng(20240611u);
    std::uniform_int_distribution<int> count(0, 20);
    auto picture = std::make_shared<MemoryPicture>(640, 666);
    for (int y = 0; y < 666; ++y)
      for (int x = 0; x < 640; ++x) {
        const int v = 255 - count(rng);
        picture->Set(x, y, RGBColor(v, v, v));
      }
    for (auto [col, row] : {std::pair{5, 3}, std::pair{2, 7}}) {
      const TCell& cell = *m.town.cells.At(col, row);
      picture->Set(cell.PositionX, cell.PositionY, RGBColor(195, 195, 195));
    }
    for (const char* name : {"arbeiter.bmp", "arbeitsstaetten.bmp", "verkaufsflaechen.bmp"})
      f.host.SetPicture(name, picture);
    SetRandSeed(7u);
    m.B_loadDataClick();

    // West: 3 x 6 nodes; east: 2 x 6, created alternately from the east, so node 0 lies in the
    // smaller part. Neighbours in a row or a column are linked both ways, but for two links
    // listed one way only.
    HandNetwork net(m);
    const int ys[] = {60, 170, 280, 390, 500, 610};
    std::vector<std::vector<TAgent*>> west(3), east(2);
    for (int y : ys)
      for (int c = 0; c < 3; ++c) {
        if (c < 2) east[static_cast<size_t>(c)].push_back(net.Node(420 + 120 * c, y));
        west[static_cast<size_t>(c)].push_back(net.Node(60 + 100 * c, y));
      }
    for (auto* side : {&west, &east}) {
      const auto& g = *side;
      for (size_t c = 0; c < g.size(); ++c)
        for (size_t r = 0; r < 6; ++r) {
          if (c + 1 < g.size()) net.Both(g[c][r], g[c + 1][r]);
          if (r + 1 < 6) net.Both(g[c][r], g[c][r + 1]);
        }
    }
    // The first link of the west's first column: listed twice from its top, not back.
    net.Link(west[0][0], west[0][1]);
    west[0][1]->links.erase(west[0][1]->links.begin());
    // Node 0, the east's first corner, lists nobody; its neighbours still list it. Node 3, at
    // the top of the west's middle column, does not list the node below it, which lists it.
    east[0][0]->links.clear();
    auto& top = west[1][0]->links;
    const int32_t below = m.network.IndexOfNode(west[1][1]);
    top.erase(
        std::find_if(top.begin(), top.end(), [below](const TLink& l) { return l.node == below; }));
    AssignNearestNodes(m.town, m.network);
    m.B_workPathClick();
  }
};

TEST(Readouts, EqualPlainScansThroughAMorningOnANetworkInTwoParts) {
  TwoPartTown t;
  Model& m = t.m;
  for (int step = 1; step <= 48; ++step) {
    m.SimulationStep();
    SCOPED_TRACE("step " + std::to_string(step));
    ExpectSame(BusiestLinks(m.network, 3), oracle::PlainBusiestLinks(m.network, 3));
  }
  ASSERT_EQ(m.day.clockHours, 8.0);

  // Every loaded link in order, not only the first three.
  ExpectSame(BusiestLinks(m.network, 1000), oracle::PlainBusiestLinks(m.network, 1000));

  const NetworkParts parts = FindParts(m.network);
  const NetworkParts plain = oracle::PlainParts(m.network);
  EXPECT_EQ(parts.sizes, (std::vector<int32_t>{18, 12}));
  EXPECT_EQ(parts.sizes, plain.sizes);
  EXPECT_EQ(parts.partOf, plain.partOf);
  EXPECT_EQ(parts.partOf[0], 1);  // node 0 is in the east, the smaller part

  const MostWorkers most = CellWithMostWorkers(m.town);
  const MostWorkers plainMost = oracle::PlainMostWorkers(m.town);
  ASSERT_NE(most.cell, nullptr);
  EXPECT_EQ(most.cell, plainMost.cell);
  EXPECT_EQ(most.cellsWithThatMany, plainMost.cellsWithThatMany);
  EXPECT_EQ(std::make_pair(most.cell->column, most.cell->row), std::make_pair(5, 3));
  EXPECT_EQ(most.cellsWithThatMany, 2);

  // The texts: the parts, a node's part, the cell.
  HoverLookup lookup;
  EXPECT_EQ(DescribeParts(lookup.Parts(m.town, m.network)),
            "the network is in 2 parts, of 18 and 12 nodes");
  const TAgent& first = *m.network.nodeList[0];
  EXPECT_NE(lookup.At(m.town, m.network, first.x, first.y).text.find("\npart 2 of 2, 12 nodes"),
            std::string::npos);
  EXPECT_EQ(DescribeMostWorkers(m.town, m.network),
            "cell with the most workers: 5, 3 (column, row)\nworkers: 60, the first of 2 cells "
            "with that many (rows from the top, each from the left)\nnearest node: " +
                std::to_string(most.cell->nearestNode));

  // The busiest links' text: three lines, the first the plain scan's first.
  const std::string text = DescribeBusiestLinks(m.town, m.network);
  const LinkTraffic top = oracle::PlainBusiestLinks(m.network, 1)[0];
  EXPECT_NE(text.find("\nlink " + std::to_string(top.a) + (top.bothWays ? " <-> " : " -> ") +
                      std::to_string(top.b) + ", in cell "),
            std::string::npos)
      << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
}

TEST(Readouts, SayNothingIsThereBeforeTheTownAndTheNetwork) {
  ModelFixture f;
  f.Start();
  HoverLookup lookup;
  EXPECT_EQ(DescribeParts(lookup.Parts(f.model.town, f.model.network)), "no network yet");
  EXPECT_EQ(DescribeBusiestLinks(f.model.town, f.model.network),
            "busiest links of the last step: none, no vehicle is on a link");
  EXPECT_EQ(DescribeMostWorkers(f.model.town, f.model.network),
            "cell with the most workers: none, no cell has a worker");
  // One node, then a formed network of one part: no part is named at a node.
  HandNetwork net(f.model);
  const TAgent* node = net.Node(100, 100);
  EXPECT_EQ(DescribeParts(lookup.Parts(f.model.town, f.model.network)),
            "the network is one part of 1 node");
  EXPECT_EQ(lookup.At(f.model.town, f.model.network, node->x, node->y).text.find("part"),
            std::string::npos);
}

}  // namespace
}  // namespace velmora

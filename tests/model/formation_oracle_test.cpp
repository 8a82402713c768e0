// The model's "agents create" against the literal formation of formation_oracle.h, over many
// seeds, node counts, field sizes and edited distances.
#include "support/formation_oracle.h"

#include <gtest/gtest.h>

#include <string>

#include "core/random.h"
#include "model/agent.h"
#include "model/calc_AStern.h"
#include "support/model_fixture.h"
#include "support/plain_network.h"

namespace velmora {
namespace {

using testing::ModelFixture;

// Everything formation leaves behind must agree exactly, including the generator's state.
void ExpectSame(const Model& m, const oracle::World& w, const std::string& where) {
  SCOPED_TRACE(where);
  ASSERT_EQ(m.network.nodeList.size(), w.nodes.size());
  ASSERT_EQ(m.network.nodePositions.size(), w.positions.size());
  for (size_t i = 0; i < w.nodes.size(); ++i) {
    SCOPED_TRACE("node " + std::to_string(i));
    const TAgent& a = *m.network.nodeList[i];
    const oracle::Node& o = w.nodes[i];
    ASSERT_EQ(a.x, o.x);
    ASSERT_EQ(a.y, o.y);
    ASSERT_EQ(a.vx, o.vx);
    ASSERT_EQ(a.vy, o.vy);
    ASSERT_EQ(a.radius, o.radius);
    ASSERT_EQ(a.state, o.state);
    ASSERT_EQ(a.conDist, o.conDist);
    ASSERT_EQ(a.repDist, o.repDist);
    ASSERT_EQ(a.nearestDist, o.nearestDist);
    ASSERT_EQ(a.scanDist, o.scanDist);
    ASSERT_EQ(a.candidates, o.candidates);
    ASSERT_EQ(a.linkLoad, o.linkLoad);
    ASSERT_EQ(a.links.size(), o.links.size());
    for (size_t k = 0; k < o.links.size(); ++k) {
      ASSERT_EQ(a.links[k].node, o.links[k].node);
      ASSERT_EQ(a.links[k].distance, o.links[k].distance);
    }
    ASSERT_EQ(m.network.nodePositions[i], w.positions[i]);
  }
}

struct Twin {
  ModelFixture f;
  oracle::World w;

  explicit Twin(const std::string& cellScale, int width = 640, int height = 666) {
    f.host.width = width;
    f.host.height = height;
    f.host.edits[EditBox::CellScale] = cellScale;
    f.Start();
    w.imageWidth = f.host.width;
    w.imageHeight = f.host.height;
    w.fieldWidth = f.model.town.fieldWidth;
    w.fieldHeight = f.model.town.fieldHeight;
  }

  // "agents create" on both sides from the same generator state.
  void Create(int32_t n, uint32_t seed) {
    f.host.edits[EditBox::NodeNumber] = std::to_string(n);
    SetRandSeed(seed);
    oracle::AgentsCreate(w, n);
    const uint32_t oracleSeed = RandSeed();
    SetRandSeed(seed);
    f.model.B_agCreateClick();
    EXPECT_EQ(RandSeed(), oracleSeed);
  }

  // Node creation alone, then `passes` formation passes, on both sides.
  void CreateThenPass(int32_t n, uint32_t seed, int64_t passes) {
    f.host.edits[EditBox::NodeNumber] = std::to_string(n);
    SetRandSeed(seed);
    oracle::CreateNodes(w, n);
    for (int64_t pass = 0; pass < passes; ++pass) oracle::FormationPass(w);
    const uint32_t oracleSeed = RandSeed();
    SetRandSeed(seed);
    f.model.CreateNodes();
    FormNetwork(f.model.network, passes, f.model.town.fieldWidth, f.model.town.fieldHeight);
    EXPECT_EQ(RandSeed(), oracleSeed);
  }

  // `passes` more formation passes on both sides from the same generator state.
  void Pass(int64_t passes) {
    const uint32_t seed = RandSeed();
    for (int64_t pass = 0; pass < passes; ++pass) oracle::FormationPass(w);
    const uint32_t oracleSeed = RandSeed();
    SetRandSeed(seed);
    FormNetwork(f.model.network, passes, f.model.town.fieldWidth, f.model.town.fieldHeight);
    EXPECT_EQ(RandSeed(), oracleSeed);
  }

  // One node's distances on both sides.
  void SetDistances(size_t i, int32_t conDist, int32_t repDist) {
    f.model.network.nodeList[i]->conDist = w.nodes[i].conDist = conDist;
    f.model.network.nodeList[i]->repDist = w.nodes[i].repDist = repDist;
  }

  // The distance edits on both sides.
  void EditDistances(int32_t conDist, int32_t repDist) {
    f.host.edits[EditBox::ConDist] = std::to_string(conDist);
    f.host.edits[EditBox::RepDist] = std::to_string(repDist);
    f.model.E_conDistChange();
    for (oracle::Node& node : w.nodes) {
      node.conDist = conDist;
      node.repDist = repDist;
    }
  }
};

TEST(FormationOracle, SmallCountsOverManySeeds) {
  for (int32_t count = 1; count <= 40; ++count) {
    for (uint32_t seed : {1u, 0x9E3779B9u, static_cast<uint32_t>(count) * 7919u}) {
      Twin run("30");
      run.Create(count - 1, seed);
      ExpectSame(run.f.model, run.w,
                 "count " + std::to_string(count) + " seed " + std::to_string(seed));
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

TEST(FormationOracle, LargerCountsAndFields) {
  struct Case {
    const char* cellScale;
    int32_t count;
    uint32_t seed;
  };
  // Cell size 47 leaves a wide strip outside the field; 700 gives a field of 0 x 0, where
  // every node ends on the same point.
  const Case cases[] = {{"30", 64, 5u},  {"30", 120, 12345u}, {"47", 80, 77u},
                        {"13", 100, 3u}, {"700", 25, 9u},     {"200", 60, 2024u}};
  for (const Case& c : cases) {
    Twin run(c.cellScale);
    run.Create(c.count - 1, c.seed);
    ExpectSame(run.f.model, run.w,
               std::string("scale ") + c.cellScale + " count " + std::to_string(c.count));
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(FormationOracle, EditedDistancesAndASecondCreate) {
  struct Case {
    int32_t first, conDist, repDist, second;
    uint32_t seed;
  };
  // Among them: a connect distance beyond 1000 (the push runs against a kept nearest node),
  // a repel distance above the connect distance (no push at all), negative values.
  // Also: 0 and 1 (no candidates, or only nodes on the same spot), the edge of the grid scan at
  // 1000, plain scans beyond it, and the extremes of the integers.
  const Case cases[] = {{20, 180, 40, 15, 11u},   {30, 90, 10, 10, 22u},
                        {12, 1200, 100, 6, 33u},  {25, 60, 80, 25, 44u},
                        {8, 130, -200, 20, 55u},  {40, -5, 0, 3, 66u},
                        {50, 130, 40, 0, 77u},    {5, 2000, 1500, 30, 88u},
                        {30, 0, 0, 20, 99u},      {30, 1, 0, 20, 111u},
                        {25, 2, -1, 25, 122u},    {20, 1000, 10, 20, 133u},
                        {20, 999, 998, 20, 144u}, {20, 1001, 40, 20, 155u},
                        {15, 5000, 40, 15, 166u}, {10, 2147483647, -2147483647 - 1, 10, 177u}};
  for (const Case& c : cases) {
    Twin run("30");
    const std::string where = "seed " + std::to_string(c.seed);
    run.Create(c.first - 1, c.seed);
    ExpectSame(run.f.model, run.w, where + " first");
    run.EditDistances(c.conDist, c.repDist);
    run.Create(c.second - 1, c.seed * 31u + 1u);
    ExpectSame(run.f.model, run.w, where + " second");
    // A negative count adds none but forms again over the nodes there are.
    run.Create(-1, c.seed + 5u);
    ExpectSame(run.f.model, run.w, where + " third");
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(FormationOracle, ManySeedsAtMediumCounts) {
  for (int32_t count : {41, 97, 150}) {
    for (uint32_t seed : {3u, 0xDEADBEEFu, static_cast<uint32_t>(count) * 104729u}) {
      Twin run("30");
      run.Create(count - 1, seed);
      ExpectSame(run.f.model, run.w,
                 "count " + std::to_string(count) + " seed " + std::to_string(seed));
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

TEST(FormationOracle, DenseCountsOverSomePasses) {
  // Hundreds of nodes with as many candidates each: the counted pushes, the nearest search from
  // the last nearest node, bucket changes. The full 5c + 1 passes would take the plain version
  // too long here; the passes are the same at any point of a run.
  struct Case {
    const char* cellScale;
    int32_t count;
    uint32_t seed;
    int64_t passes;
  };
  const Case cases[] = {{"30", 600, 1u, 12}, {"47", 600, 2u, 8}, {"13", 350, 5u, 20}};
  for (const Case& c : cases) {
    Twin run(c.cellScale);
    const std::string where = std::string("scale ") + c.cellScale;
    run.CreateThenPass(c.count - 1, c.seed, c.passes);
    ExpectSame(run.f.model, run.w, where);
    // A second run of passes starts from where the first one left the nodes.
    run.Pass(3);
    ExpectSame(run.f.model, run.w, where + " continued");
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(FormationOracle, MixedDistancesPerNode) {
  // Every node with its own distances, grid scans and plain scans in the same pass, and small
  // connect distances that leave many nodes without a link (and their marks at 0) for long.
  const int32_t conDists[] = {130, 1, 0, 45, 1000, 1001, 7, -3, 260, 5000, 2, 90};
  const int32_t repDists[] = {40, 0, 5, 44, -10, 900, 3, 0, 10, 4999, 100, 89};
  for (uint32_t seed : {17u, 4242u}) {
    Twin run("30");
    run.CreateThenPass(119, seed, 4);
    for (size_t i = 0; i < run.w.nodes.size(); ++i)
      run.SetDistances(i, conDists[i % 12], repDists[(i / 12) % 12]);
    run.Pass(30);
    ExpectSame(run.f.model, run.w, "mixed seed " + std::to_string(seed));
    if (::testing::Test::HasFatalFailure()) return;
  }
  for (int32_t conDist : {1, 4, 12, 25}) {
    Twin run("30");
    run.CreateThenPass(79, 900u + static_cast<uint32_t>(conDist), 0);
    for (size_t i = 0; i < run.w.nodes.size(); ++i) run.SetDistances(i, conDist, 0);
    run.Pass(60);
    ExpectSame(run.f.model, run.w, "small connect distance " + std::to_string(conDist));
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(FormationOracle, FieldsBeyondTheNearestLimitAndBeyondTheExactSpan) {
  // A drawing area where nodes lie more than 1000 apart: nearestDist stays 1000 and
  // candidates[0] keeps its value, in grid scans (conDist up to 1000) and plain ones (5000).
  for (uint32_t seed : {8u, 81u, 812u}) {
    Twin run("100", 2500, 1200);
    const std::string where = "wide field seed " + std::to_string(seed);
    run.Create(5, seed);
    ExpectSame(run.f.model, run.w, where);
    run.EditDistances(1000, 10);
    run.Create(4, seed + 1u);
    ExpectSame(run.f.model, run.w, where + " at 1000");
    run.EditDistances(5000, 40);
    run.Create(2, seed + 2u);
    ExpectSame(run.f.model, run.w, where + " at 5000");
    if (::testing::Test::HasFatalFailure()) return;
  }
  // Wider than 4096 pixels: every scan is plain.
  Twin run("100", 4300, 200);
  run.Create(11, 5u);
  ExpectSame(run.f.model, run.w, "beyond the exact span");
}

using oracle::PlainCatchment;

std::vector<int32_t> Catchment(const Model& m) {
  std::vector<int32_t> nearest;
  m.town.cells.ForEach([&](const TCell& cell) { nearest.push_back(cell.nearestNode); });
  return nearest;
}

TEST(CatchmentOracle, GridSearchMatchesThePlainLoop) {
  struct Case {
    const char* cellScale;
    int width, height;
    int32_t nodes;
    int32_t spread;  // nodes within this square at the far corner; 0 for the whole area
  };
  // Many nodes; a corner cluster that leaves most cells far from every node; a lattice of
  // nodes on few spots (equal rounded distances, nodes on the same spot); a single node; nodes
  // outside the field; a drawing area wider than the exact span.
  const Case cases[] = {{"10", 640, 666, 600, 0}, {"10", 640, 666, 40, 25},
                        {"7", 640, 666, 300, 12}, {"30", 640, 666, 1, 0},
                        {"47", 640, 666, 90, 0},  {"100", 4300, 300, 30, 0}};
  uint32_t seed = 1;
  for (const Case& c : cases) {
    ModelFixture f;
    f.host.width = c.width;
    f.host.height = c.height;
    f.host.edits[EditBox::CellScale] = c.cellScale;
    f.Start();
    f.host.edits[EditBox::NodeNumber] = std::to_string(c.nodes - 1);
    SetRandSeed(seed++);
    f.model.CreateNodes();
    if (c.spread > 0) {
      for (auto& node : f.model.network.nodeList) {
        node->x = c.width - 1 - node->x % c.spread;
        node->y = c.height - 1 - node->y % c.spread;
      }
    }
    const std::vector<int32_t> want = PlainCatchment(f.model);
    AssignNearestNodes(f.model.town, f.model.network);
    EXPECT_EQ(Catchment(f.model), want) << c.cellScale << " " << c.nodes;
  }
}

TEST(CatchmentOracle, TiesOnACellCentreLattice) {
  // Nodes on the centres of cells and a pixel or two off them, each spot taken several times:
  // many cells see several nodes at the same rounded distance.
  ModelFixture f;
  f.host.edits[EditBox::CellScale] = "10";
  f.Start();
  SetRandSeed(77);
  for (int i = 0; i < 500; ++i) {
    auto node = std::make_unique<TAgent>();
    node->x = 5 + 10 * Random(63) + Random(5) - 2;
    node->y = 5 + 10 * Random(66) + Random(5) - 2;
    f.model.network.nodeList.push_back(std::move(node));
  }
  const std::vector<int32_t> want = PlainCatchment(f.model);
  AssignNearestNodes(f.model.town, f.model.network);
  EXPECT_EQ(Catchment(f.model), want);
}

}  // namespace
}  // namespace velmora

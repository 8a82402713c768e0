// The model's "agents create" against the literal formation of formation_oracle.h, over many
// seeds, node counts, field sizes and edited distances.
#include "model/formation_oracle.h"

#include <gtest/gtest.h>

#include <string>

#include "core/random.h"
#include "support/fake_host.h"

namespace velmora {
namespace {

using testing::ModelFixture;

// Everything formation leaves behind must agree exactly, including the generator's state.
void ExpectSame(const Model& m, const oracle::World& w, const std::string& where) {
  SCOPED_TRACE(where);
  ASSERT_EQ(m.nodeList.size(), w.nodes.size());
  ASSERT_EQ(m.nodePositions.size(), w.positions.size());
  for (size_t i = 0; i < w.nodes.size(); ++i) {
    SCOPED_TRACE("node " + std::to_string(i));
    const TAgent& a = *m.nodeList[i];
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
    ASSERT_EQ(a.mark, o.mark);
    ASSERT_EQ(a.linkLoad, o.linkLoad);
    ASSERT_EQ(a.links.size(), o.links.size());
    for (size_t k = 0; k < o.links.size(); ++k) {
      ASSERT_EQ(a.links[k].node, o.links[k].node);
      ASSERT_EQ(a.links[k].distance, o.links[k].distance);
    }
    ASSERT_EQ(m.nodePositions[i], w.positions[i]);
  }
}

struct Twin {
  ModelFixture f;
  oracle::World w;

  explicit Twin(const std::string& cellScale) {
    f.host.edits[EditBox::CellScale] = cellScale;
    f.Start();
    w.imageWidth = f.host.width;
    w.imageHeight = f.host.height;
    w.fieldWidth = f.model.fieldWidth;
    w.fieldHeight = f.model.fieldHeight;
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
  const Case cases[] = {{20, 180, 40, 15, 11u}, {30, 90, 10, 10, 22u},   {12, 1200, 100, 6, 33u},
                        {25, 60, 80, 25, 44u},  {8, 130, -200, 20, 55u}, {40, -5, 0, 3, 66u},
                        {50, 130, 40, 0, 77u},  {5, 2000, 1500, 30, 88u}};
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

}  // namespace
}  // namespace velmora

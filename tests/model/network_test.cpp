#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/random.h"
#include "model/agent.h"
#include "model/calc_AStern.h"
#include "support/model_fixture.h"

namespace velmora {
namespace {

using testing::ModelFixture;

// The message of the error a call raises, or "" when it raises none.
std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const VError& e) {
    return e.what();
  }
  return "";
}

// A node as creation leaves it, at a chosen place and velocity.
TAgent& AddNode(Model& m, int32_t x, int32_t y, double vx = 0, double vy = 0) {
  auto node = std::make_unique<TAgent>();
  node->x = x;
  node->y = y;
  node->vx = vx;
  node->vy = vy;
  node->radius = 3;
  node->conDist = 130;
  node->repDist = 40;
  m.network.nodeList.push_back(std::move(node));
  return *m.network.nodeList.back();
}

// The two jitter draws a push makes from a given seed.
std::pair<int32_t, int32_t> JitterFrom(uint32_t seed) {
  SetRandSeed(seed);
  const int32_t jx = Random(3) - 1;
  const int32_t jy = Random(3) - 1;
  return {jx, jy};
}

// Started model with the default grid (field 630 x 660 in a 640 x 666 drawing area).
struct Network : ::testing::Test {
  ModelFixture f;
  Model& m = f.model;
  void SetUp() override { f.Start(); }
};

TEST(NodeDistance, RoundedEuclideanTables) {
  TAgent node;
  node.x = 10;
  node.y = 20;
  EXPECT_EQ(node.DistanceTo(10, 20), 0);
  EXPECT_EQ(node.DistanceTo(13, 24), 5);
  EXPECT_EQ(node.DistanceTo(11, 21), 1);  // sqrt 2
  EXPECT_EQ(node.DistanceTo(12, 22), 3);  // sqrt 8
  EXPECT_EQ(node.DistanceTo(7, 16), 5);

  EXPECT_EQ(PointDistance(0, 0, 3, 4), 5);
  EXPECT_EQ(PointDistance(0, 0, 1, 1), 1);
  EXPECT_EQ(PointDistance(0, 0, 1, 2), 2);
  EXPECT_EQ(PointDistance(0, 0, 2, 3), 4);
  EXPECT_EQ(PointDistance(5, 7, 5, 7), 0);
  // The node's measure is the same computation, whichever point comes first.
  for (int dx = -40; dx <= 40; dx += 7)
    for (int dy = -33; dy <= 33; dy += 5) {
      EXPECT_EQ(node.DistanceTo(10 + dx, 20 + dy), PointDistance(10 + dx, 20 + dy, 10, 20));
      EXPECT_EQ(node.DistanceTo(10 + dx, 20 + dy), PointDistance(10, 20, 10 + dx, 20 + dy));
    }
}

TEST(NodeDraw, StateSelectsFillAndRadiusAndLeavesPenWidth) {
  HeadlessHost host;
  Layer layer(100, 100);
  Canvas& canvas = layer.canvas;
  canvas.SetPenWidth(4);
  TAgent node;
  node.x = 50;
  node.y = 50;
  node.color = clBlue;  // overridden by state 0
  node.radius = 9;
  node.Draw(canvas);
  EXPECT_EQ(node.color, clRed);
  EXPECT_EQ(node.radius, 3);
  EXPECT_EQ(canvas.Pen().color, clGreen);
  EXPECT_EQ(canvas.Pen().style, PenStyle::Solid);
  EXPECT_EQ(canvas.Pen().width, 4);
  EXPECT_EQ(canvas.BrushColor(), clRed);
  EXPECT_EQ(layer.At(50, 50), clRed);    // inside
  EXPECT_EQ(layer.At(47, 50), clGreen);  // outline at the box's left edge
  EXPECT_EQ(layer.At(53, 50), clWhite);  // right edge of the box excluded
  EXPECT_EQ(layer.At(46, 50), clWhite);

  node.state = 1;
  node.Draw(canvas);
  EXPECT_EQ(node.color, clBlue);
  EXPECT_EQ(node.radius, 5);
  EXPECT_EQ(layer.At(45, 50), clGreen);
  node.state = 2;
  node.Draw(canvas);
  EXPECT_EQ(node.color, clLime);
  node.state = 7;  // keeps the look it has
  node.color = clYellow;
  node.radius = 2;
  node.Draw(canvas);
  EXPECT_EQ(node.color, clYellow);
  EXPECT_EQ(node.radius, 2);
  EXPECT_EQ(canvas.BrushColor(), clYellow);

  // A node at the corner is clipped, not refused.
  TAgent corner;
  corner.Draw(canvas);
  EXPECT_EQ(layer.At(0, 0), clRed);
}

TEST_F(Network, CountZeroGivesOneLoneNodeAndMinusOneNone) {
  for (uint32_t seed : {1u, 77u, 4242u, 0xDEADBEEFu}) {
    f.Start();
    SetRandSeed(seed);
    int32_t x = Random(640), y = Random(666);
    const double vx = Random(3) - 1, vy = Random(3) - 1;
    const uint32_t after = RandSeed();
    int32_t lastX = x, lastY = y;
    for (int pass = 0; pass < 6; ++pass) {
      lastX = x;
      lastY = y;
      x = std::clamp(x + static_cast<int32_t>(vx), 0, 630);
      y = std::clamp(y + static_cast<int32_t>(vy), 0, 660);
    }

    SetRandSeed(seed);
    f.host.edits[EditBox::NodeNumber] = "0";
    m.B_agCreateClick();
    ASSERT_EQ(m.network.nodeList.size(), 1u);
    const TAgent& node = *m.network.nodeList[0];
    EXPECT_EQ(node.vx, vx);
    EXPECT_EQ(node.vy, vy);
    EXPECT_EQ(node.x, x);
    EXPECT_EQ(node.y, y);
    EXPECT_TRUE(node.links.empty());
    EXPECT_EQ(node.candidates, std::vector<int32_t>{0});
    EXPECT_EQ(node.nearestDist, 1000.0);
    EXPECT_EQ(node.conDist, 130);
    EXPECT_EQ(node.repDist, 40);
    EXPECT_EQ(node.linkLoad, std::vector<int32_t>{0});
    ASSERT_EQ(m.network.nodePositions.size(), 1u);
    EXPECT_EQ(m.network.nodePositions[0][0], lastX);
    EXPECT_EQ(m.network.nodePositions[0][1], lastY);
    EXPECT_EQ(RandSeed(), after);  // four draws only
  }

  f.Start();
  SetRandSeed(5);
  f.host.edits[EditBox::NodeNumber] = "-1";
  m.B_agCreateClick();
  EXPECT_TRUE(m.network.nodeList.empty());
  EXPECT_EQ(RandSeed(), 5u);
  EXPECT_TRUE(m.network.nodePositions.empty());
}

TEST_F(Network, StartOutsideTheFieldIsPulledInAndSlidesAlongTheEdge) {
  TAgent& node = AddNode(m, 637, 10, 1, 1);
  FormNetwork(m.network, 1, m.town.fieldWidth, m.town.fieldHeight);
  EXPECT_EQ(node.x, 630);
  EXPECT_EQ(node.y, 11);
  FormNetwork(m.network, 1, m.town.fieldWidth, m.town.fieldHeight);
  EXPECT_EQ(node.x, 630);
  EXPECT_EQ(node.y, 12);
  EXPECT_EQ(node.vx, 1.0);  // clamping leaves the velocity alone

  int32_t x = -3, y = 661;
  ClampToField(x, y, m.town.fieldWidth, m.town.fieldHeight);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 660);
  x = 630;
  y = 0;
  ClampToField(x, y, m.town.fieldWidth, m.town.fieldHeight);  // both bounds are inclusive
  EXPECT_EQ(x, 630);
  EXPECT_EQ(y, 0);
}

TEST_F(Network, ConnectDistanceIsStrictAndLinkedNodesStop) {
  TAgent& a = AddNode(m, 100, 100, 1, -1);
  AddNode(m, 230, 100);
  a.NeigborCheck(0, m.network.nodeList);
  EXPECT_TRUE(a.links.empty());
  EXPECT_EQ(a.nearestDist, 130.0);
  EXPECT_EQ(a.candidates, std::vector<int32_t>{1});
  EXPECT_EQ(a.vx, 1.0);  // no neighbour within reach: it keeps moving
  EXPECT_EQ(a.vy, -1.0);

  m.network.DeleteNodes();
  TAgent& p = AddNode(m, 100, 100, 1, -1);
  TAgent& q = AddNode(m, 229, 100, -1, 1);
  const uint32_t seed = RandSeed();
  FormNetwork(m.network, 1, m.town.fieldWidth, m.town.fieldHeight);
  EXPECT_EQ(p.vx, 0.0);
  EXPECT_EQ(p.vy, 0.0);
  EXPECT_EQ(q.vx, 0.0);
  EXPECT_EQ(q.vy, 0.0);
  EXPECT_EQ(p.x, 100);
  EXPECT_EQ(q.x, 229);
  ASSERT_EQ(p.links.size(), 1u);
  EXPECT_EQ(p.links[0].node, 1);
  EXPECT_EQ(p.links[0].distance, 129);
  ASSERT_EQ(q.links.size(), 1u);
  EXPECT_EQ(q.links[0].node, 0);
  EXPECT_EQ(p.candidates, (std::vector<int32_t>{1, 1}));
  EXPECT_EQ(RandSeed(), seed);  // a stop draws nothing
}

TEST_F(Network, PushStartsBelowConnectMinusRepel) {
  // 89 pixels: pushed away by a twentieth of the offset plus jitter, two draws.
  TAgent& a = AddNode(m, 100, 200);
  AddNode(m, 189, 200);
  SetRandSeed(31);
  a.NeigborCheck(0, m.network.nodeList);
  const uint32_t after = RandSeed();
  const auto [jx, jy] = JitterFrom(31);
  EXPECT_EQ(after, RandSeed());
  EXPECT_EQ(a.vx, static_cast<double>(jx + (100 - 189) / 20.0L));
  EXPECT_EQ(a.vy, static_cast<double>(jy));

  // 90 pixels: only a stop, no draws.
  m.network.nodeList[1]->x = 190;
  a.vx = a.vy = 3;
  SetRandSeed(31);
  a.NeigborCheck(0, m.network.nodeList);
  EXPECT_EQ(RandSeed(), 31u);
  EXPECT_EQ(a.vx, 0.0);
  EXPECT_EQ(a.vy, 0.0);
}

TEST_F(Network, PushExampleRoundsHalvesToEven) {
  std::set<double> seen;
  for (uint32_t seed = 0; seed < 40; ++seed) {
    m.network.DeleteNodes();
    TAgent& a = AddNode(m, 100, 300);
    AddNode(m, 90, 300);
    const int32_t jx = JitterFrom(seed).first;
    SetRandSeed(seed);
    FormNetwork(m.network, 1, m.town.fieldWidth, m.town.fieldHeight);
    EXPECT_EQ(a.vx, jx + 0.5);
    seen.insert(a.vx);
    const int32_t moved = a.x - 100;
    EXPECT_EQ(moved, a.vx == 1.5 ? 2 : 0) << a.vx;
  }
  EXPECT_EQ(seen, (std::set<double>{-0.5, 0.5, 1.5}));
}

TEST_F(Network, NoNodeNearerThanAThousandKeepsTheOldNearest) {
  TAgent& a = AddNode(m, 0, 0, 1, 1);
  AddNode(m, 1500, 0);
  AddNode(m, 3000, 0);
  a.candidates = {2, 1, 1};
  a.links = {TLink{1, 5}};
  a.NeigborCheck(0, m.network.nodeList);
  EXPECT_EQ(a.nearestDist, 1000.0);
  EXPECT_EQ(a.candidates, std::vector<int32_t>{2});
  EXPECT_TRUE(a.links.empty());
  EXPECT_EQ(a.scanDist, 3000);  // the node examined last
  EXPECT_EQ(a.vx, 1.0);

  // A new node starts with candidate 0, its own index here.
  TAgent& fresh = AddNode(m, 9000, 9000, -1, 0);
  fresh.NeigborCheck(3, m.network.nodeList);
  EXPECT_EQ(fresh.candidates, std::vector<int32_t>{0});

  // With a connect distance beyond 1000 the push runs against the kept nearest node.
  a.conDist = 1600;
  SetRandSeed(8);
  a.NeigborCheck(0, m.network.nodeList);
  const auto [jx, jy] = JitterFrom(8);
  EXPECT_EQ(a.candidates, (std::vector<int32_t>{2, 1}));
  EXPECT_EQ(a.vx, jx + (0 - 3000) / 20.0);
  EXPECT_EQ(a.vy, static_cast<double>(jy));
}

TEST_F(Network, LaterNodesSeeEarlierOnesAlreadyMoved) {
  AddNode(m, 100, 100, 1, 0);
  AddNode(m, 300, 100, 1, 0);
  AddNode(m, 500, 100);
  FormNetwork(m.network, 1, m.town.fieldWidth, m.town.fieldHeight);
  EXPECT_EQ(m.network.nodeList[0]->nearestDist, 200.0);  // node 1 not yet moved
  EXPECT_EQ(m.network.nodeList[1]->nearestDist, 199.0);  // node 0 already at 101
  EXPECT_EQ(m.network.nodeList[2]->nearestDist, 199.0);  // node 1 already at 301
  ASSERT_EQ(m.network.nodePositions.size(), 3u);
  EXPECT_EQ(m.network.nodePositions[0], (std::array<int32_t, 2>{100, 100}));
  EXPECT_EQ(m.network.nodePositions[1], (std::array<int32_t, 2>{300, 100}));
  EXPECT_EQ(m.network.nodePositions[2], (std::array<int32_t, 2>{500, 100}));
}

TEST_F(Network, FormedLinksAreOrderedAndMeasuredFromTheScan) {
  SetRandSeed(2024);
  m.B_agCreateClick();
  ASSERT_EQ(m.network.nodeList.size(), 42u);
  size_t total = 0;
  for (size_t i = 0; i < m.network.nodeList.size(); ++i) {
    const TAgent& node = *m.network.nodeList[i];
    ASSERT_EQ(node.candidates.size(), node.links.size() + 1);
    for (size_t k = 0; k < node.links.size(); ++k) {
      const TLink& link = node.links[k];
      EXPECT_NE(link.node, static_cast<int32_t>(i));
      if (k > 0) {
        EXPECT_LT(node.links[k - 1].node, link.node);
      }
      EXPECT_EQ(node.candidates[k + 1], link.node);
      EXPECT_LT(link.distance, node.conDist);
      // In the last pass, nodes before i had already made their move and nodes after not.
      const auto& self = m.network.nodePositions[i];
      const size_t j = static_cast<size_t>(link.node);
      const int32_t ox = j < i ? m.network.nodeList[j]->x : m.network.nodePositions[j][0];
      const int32_t oy = j < i ? m.network.nodeList[j]->y : m.network.nodePositions[j][1];
      EXPECT_EQ(link.distance, PointDistance(ox, oy, self[0], self[1]));
    }
    EXPECT_EQ(node.linkLoad.size(), 42u);
    EXPECT_GE(node.x, 0);
    EXPECT_LE(node.x, 630);
    EXPECT_LE(node.y, 660);
    total += node.links.size();
  }
  EXPECT_GT(total, 0u);
}

TEST_F(Network, SecondCreateAddsNodesAndKeepsEditedDistances) {
  SetRandSeed(99);
  f.host.edits[EditBox::NodeNumber] = "4";
  m.B_agCreateClick();
  ASSERT_EQ(m.network.nodeList.size(), 5u);
  f.host.edits[EditBox::ConDist] = "150";
  f.host.edits[EditBox::RepDist] = "60";
  m.E_conDistChange();
  m.network.nodeList[0]->linkLoad[3] = 7;
  f.host.edits[EditBox::NodeNumber] = "2";
  m.B_agCreateClick();
  ASSERT_EQ(m.network.nodeList.size(), 8u);
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(m.network.nodeList[i]->conDist, i < 5 ? 150 : 130) << i;
    EXPECT_EQ(m.network.nodeList[i]->repDist, i < 5 ? 60 : 40) << i;
    EXPECT_EQ(m.network.nodeList[i]->linkLoad.size(), 8u);
  }
  EXPECT_EQ(m.network.nodeList[0]->linkLoad[3], 7);  // sizing keeps the counts
  EXPECT_EQ(m.network.nodePositions.size(), 8u);
}

// Counts the edit reads and turns every read after a given number into a bad text.
class CountingHost : public HeadlessHost {
 public:
  mutable int reads = 0;
  int goodReads = 1 << 30;
  std::string EditText(EditBox box) const override {
    return ++reads > goodReads ? std::string("1x") : HeadlessHost::EditText(box);
  }
};

TEST(NetworkEdits, DistanceEditStopsPartWayAndReadsNothingWithoutNodes) {
  CountingHost host;
  Model m(host);
  host.edits[EditBox::ConDist] = "";
  m.E_conDistChange();  // no nodes: nothing read, no error
  EXPECT_EQ(host.reads, 0);

  for (int i = 0; i < 3; ++i) AddNode(m, 10 * i, 0);
  EXPECT_EQ(ErrorOf([&] { m.E_conDistChange(); }), "'' ist kein gültiger Integerwert");
  EXPECT_EQ(m.network.nodeList[0]->conDist, 130);

  host.edits[EditBox::ConDist] = "200";
  host.edits[EditBox::RepDist] = "50";
  host.reads = 0;
  host.goodReads = 3;  // node 0 fully, node 1's connect distance, then a bad text
  EXPECT_EQ(ErrorOf([&] { m.E_conDistChange(); }), "'1x' ist kein gültiger Integerwert");
  EXPECT_EQ(m.network.nodeList[0]->conDist, 200);
  EXPECT_EQ(m.network.nodeList[0]->repDist, 50);
  EXPECT_EQ(m.network.nodeList[1]->conDist, 200);
  EXPECT_EQ(m.network.nodeList[1]->repDist, 40);
  EXPECT_EQ(m.network.nodeList[2]->conDist, 130);
  EXPECT_EQ(host.reads, 4);
}

TEST_F(Network, CatchmentTakesTheLowerIndexOnRoundedTies) {
  // Cell (2, 1) has its centre at (75, 45).
  for (int i = 0; i < 8; ++i) AddNode(m, 600, 600 + i);
  m.network.nodeList[3]->x = 76;  // sqrt 2, rounded to 1
  m.network.nodeList[3]->y = 46;
  m.network.nodeList[7]->x = 76;  // exactly 1
  m.network.nodeList[7]->y = 45;
  // Cell (5, 5), centre (165, 165): node 5 exactly on it, node 6 as well, later.
  m.network.nodeList[5]->x = m.network.nodeList[6]->x = 165;
  m.network.nodeList[5]->y = m.network.nodeList[6]->y = 165;
  m.town.cells.At(0, 0)->nearestNode = 42;
  AssignNearestNodes(m.town, m.network);
  EXPECT_EQ(m.town.cells.At(2, 1)->nearestNode, 3);
  EXPECT_EQ(m.town.cells.At(5, 5)->nearestNode, 5);
  // Every cell gets a node, however far; distances go to the current positions.
  m.town.cells.ForEach([](const TCell& c) { EXPECT_GE(c.nearestNode, 0); });
  EXPECT_EQ(m.town.cells.At(20, 21)->nearestNode, 4);  // (615, 645): node 4 at (600, 604), 44 away
  EXPECT_EQ(m.town.cells.At(0, 0)->nearestNode, 3);

  // Current positions count, not the snapshots of the last pass.
  m.network.nodePositions.assign(8, {615, 645});
  AssignNearestNodes(m.town, m.network);
  EXPECT_EQ(m.town.cells.At(20, 21)->nearestNode, 4);

  // Without nodes the cells keep what they had.
  m.network.DeleteNodes();
  m.town.cells.At(1, 1)->nearestNode = 6;
  AssignNearestNodes(m.town, m.network);
  EXPECT_EQ(m.town.cells.At(1, 1)->nearestNode, 6);
}

TEST_F(Network, BadOrTooLargeCountChangesNothing) {
  SetRandSeed(7);
  m.B_agCreateClick();
  ASSERT_EQ(m.network.nodeList.size(), 42u);
  const uint32_t seed = RandSeed();
  const std::vector<uint32_t> overlay = f.host.overlay->pixels;
  const int32_t x0 = m.network.nodeList[0]->x;
  const std::string tooMany = "Zu viele Knoten (max. " + std::to_string(kMaxNodes) + ")";
  const std::pair<const char*, std::string> cases[] = {
      {"abc", "'abc' ist kein gültiger Integerwert"},
      {"", "'' ist kein gültiger Integerwert"},
      {"2147483648", "'2147483648' ist kein gültiger Integerwert"},
      {"2147483647", tooMany},
      {"9958", tooMany},  // 42 + 9959 goes one beyond the limit
  };
  for (const auto& [text, message] : cases) {
    f.host.edits[EditBox::NodeNumber] = text;
    EXPECT_EQ(ErrorOf([&] { m.B_agCreateClick(); }), message) << text;
    EXPECT_EQ(m.network.nodeList.size(), 42u);
    EXPECT_EQ(RandSeed(), seed);
    EXPECT_EQ(m.network.nodeList[0]->x, x0);
    EXPECT_TRUE(f.host.overlay->pixels == overlay) << text;
  }
  // The limit itself is allowed.
  f.host.edits[EditBox::NodeNumber] = "9957";
  m.CreateNodes();
  EXPECT_EQ(static_cast<int64_t>(m.network.nodeList.size()), kMaxNodes);
  f.host.edits[EditBox::NodeNumber] = "0";
  EXPECT_EQ(ErrorOf([&] { m.CreateNodes(); }), tooMany);
}

TEST_F(Network, AgentsDeleteDropsEverythingThatReferredToNodes) {
  SetRandSeed(3);
  f.host.edits[EditBox::NodeNumber] = "9";
  m.B_agCreateClick();
  ASSERT_EQ(m.network.nodeList.size(), 10u);
  auto route = std::make_shared<const Route>(
      Route{m.network.nodeList[2].get(), m.network.nodeList[5].get()});
  TCell* home = m.town.cells.At(3, 4);
  m.town.EditTrips(*home).push_back(Trip{1, 1, route, 8.0L, 17.0L});
  m.network.routeList = *route;
  m.day.Release(route, true);
  f.host.timerEnabled = true;

  m.B_agDeleteClick();
  EXPECT_FALSE(f.host.timerEnabled);
  EXPECT_TRUE(m.network.nodeList.empty());
  EXPECT_TRUE(m.day.travellers.empty());
  EXPECT_TRUE(m.network.routeList.empty());
  EXPECT_EQ(home->trips.size(), 1u);
  EXPECT_FALSE(home->trips[0].route);
  EXPECT_EQ(home->trips[0].destCol, 1);
  m.town.cells.ForEach([](const TCell& c) { EXPECT_EQ(c.nearestNode, kNoNode); });
  for (int y = 0; y < 666; y += 3)
    for (int x = 0; x < 640; x += 3) ASSERT_EQ(f.host.overlay->At(x, y), clBlack) << x << "," << y;
  // The cells stay as they were on the base layer.
  EXPECT_EQ(f.host.base->At(75, 45), clWhite);

  // A later create starts a fresh network.
  f.host.edits[EditBox::NodeNumber] = "1";
  m.B_agCreateClick();
  EXPECT_EQ(m.network.nodeList.size(), 2u);
  EXPECT_EQ(m.network.nodeList[0]->linkLoad.size(), 2u);
}

TEST_F(Network, LinkLoadsAreSizedKeptAndCleared) {
  AddNode(m, 0, 0).linkLoad = {4, 5};
  AddNode(m, 1, 1);
  AddNode(m, 2, 2);
  SizeLinkLoads(m.network);
  EXPECT_EQ(m.network.nodeList[0]->linkLoad, (std::vector<int32_t>{4, 5, 0}));
  EXPECT_EQ(m.network.nodeList[2]->linkLoad, (std::vector<int32_t>{0, 0, 0}));
  m.network.nodeList[1]->linkLoad[2] = 9;
  ClearLinkLoads(m.network);
  for (const auto& node : m.network.nodeList)
    EXPECT_EQ(node->linkLoad, (std::vector<int32_t>{0, 0, 0}));
}

TEST_F(Network, LinksAreDrawnFromTheSnapshotsUnderTheNodes) {
  TAgent& a = AddNode(m, 100, 100);
  TAgent& b = AddNode(m, 200, 100);
  a.links = {TLink{1, 100}};
  // The snapshots lie 50 pixels below the current positions.
  m.network.nodePositions = {{100, 150}, {200, 150}};
  Canvas& overlay = m.Overlay();
  overlay.SetPenWidth(5);
  DrawNodes(m.network, m.Overlay());
  EXPECT_EQ(overlay.Pen().width, 1);
  DrawLinks(m.network, m.Overlay());
  EXPECT_EQ(overlay.Pen().color, clRed);
  EXPECT_EQ(overlay.Pen().width, 2);
  const auto& layer = *f.host.overlay;
  EXPECT_EQ(layer.At(150, 150), clRed);  // the line, two pixels wide
  EXPECT_EQ(layer.At(150, 149), clRed);
  EXPECT_EQ(layer.At(150, 152), clBlack);
  EXPECT_EQ(layer.At(150, 100), clBlack);  // nothing between the current positions
  EXPECT_EQ(layer.At(100, 100), clRed);    // the discs
  EXPECT_EQ(layer.At(97, 100), clGreen);
  EXPECT_EQ(layer.At(200, 100), clRed);

  // A link to a node without a snapshot is refused, not read past the end.
  b.links = {TLink{2, 5}};
  AddNode(m, 300, 100);
  EXPECT_EQ(ErrorOf([&] { DrawLinks(m.network, m.Overlay()); }),
            "Listenindex überschreitet das Maximum (2)");
}

TEST_F(Network, DrawingTheLinksLeavesThePictureAndPenOfDrawingEveryLinkInOrder) {
  // A formed network links most pairs both ways, and the drawing skips the second line of such
  // a pair. One node's links are put out of order, which may only make it draw more.
  f.host.edits[EditBox::NodeNumber] = "120";
  SetRandSeed(77);
  m.B_agCreateClick();
  std::reverse(m.network.nodeList[5]->links.begin(), m.network.nodeList[5]->links.end());
  m.ClearOverlay();
  const Layer& overlay = *f.host.overlay;
  std::vector<uint32_t> expected = overlay.pixels;
  RasterCanvas plain(PixelBuffer{expected.data(), f.host.width, f.host.height, f.host.width});
  plain.SetPenColor(clRed);
  for (size_t i = 0; i < m.network.nodeList.size(); ++i)
    for (const TLink& link : m.network.nodeList[i]->links) {
      plain.SetPenWidth(2);
      plain.MoveTo(m.network.nodePositions[i][0], m.network.nodePositions[i][1]);
      plain.LineTo(m.network.nodePositions[static_cast<size_t>(link.node)][0],
                   m.network.nodePositions[static_cast<size_t>(link.node)][1]);
    }
  DrawLinks(m.network, m.Overlay());
  EXPECT_EQ(overlay.pixels, expected);
  EXPECT_EQ(overlay.canvas.PenX(), plain.PenX());
  EXPECT_EQ(overlay.canvas.PenY(), plain.PenY());
  EXPECT_EQ(overlay.canvas.Pen().width, 2);
}

}  // namespace
}  // namespace velmora

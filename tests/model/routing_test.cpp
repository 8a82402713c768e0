#include <gtest/gtest.h>

#include <string>

#include "core/error.h"
#include "core/random.h"
#include "support/hand_network.h"
#include "support/model_fixture.h"

namespace velmora {
namespace {

using testing::HandNetwork;
using testing::ModelFixture;

class RouteSearch : public ::testing::Test {
 protected:
  void SetUp() override { f.Start(); }
  Model& model() { return f.model; }

  ModelFixture f;
  HandNetwork net{f.model};
};

TEST_F(RouteSearch, RouteRunsFromTheGoalBackAndLeavesTheStartOut) {
  TAgent* s = net.Node(0, 0);
  TAgent* a = net.Node(100, 0);
  TAgent* b = net.Node(200, 0);
  TAgent* g = net.Node(300, 0);
  TAgent* side = net.Node(100, 100);
  net.Both(s, a);
  net.Both(a, b);
  net.Both(b, g);
  net.Both(s, side);
  EXPECT_EQ(net.Search(s, g), (Route{g, b, a}));
  EXPECT_FALSE(g->closed);  // the goal is never expanded
  EXPECT_EQ(g->g, 300);
  EXPECT_EQ(g->f, 300);

  EXPECT_EQ(net.Search(s, a), (Route{a}));

  // The search appends to what the caller's list already holds.
  Route list{side};
  ResetRoute(model().network);
  FindPath(model().network, list, s, a);
  EXPECT_EQ(list, (Route{side, a}));
}

TEST_F(RouteSearch, NoRouteClosesEverythingConnectedToTheStart) {
  TAgent* s = net.Node(0, 0);
  TAgent* a = net.Node(50, 0);
  TAgent* b = net.Node(50, 50);
  TAgent* island = net.Node(300, 300);
  TAgent* islandPeer = net.Node(350, 300);
  net.Both(s, a);
  net.Both(a, b);
  net.Both(island, islandPeer);

  for (TAgent* goal : {s, island}) {
    SCOPED_TRACE(goal == s ? "start is goal" : "unreachable goal");
    EXPECT_TRUE(net.Search(s, goal).empty());
    EXPECT_FALSE(model().network.goalFound);
    EXPECT_TRUE(s->closed);
    EXPECT_TRUE(a->closed);
    EXPECT_TRUE(b->closed);
    EXPECT_FALSE(island->closed);
    EXPECT_FALSE(islandPeer->closed);
  }
}

TEST_F(RouteSearch, OpenNodeReachedAgainAtEqualCostTakesTheNewParent) {
  // x (f 100) is expanded first and opens n (f 111); y (f 110) comes next and reaches n at the
  // same g of 20, so n moves to y.
  TAgent* s = net.Node(0, 0);
  TAgent* x = net.Node(0, 10);
  TAgent* y = net.Node(10, 0);
  TAgent* n = net.Node(10, 10);
  TAgent* g = net.Node(0, 100);
  net.Link(s, x);
  net.Link(s, y);
  net.Link(x, n);
  net.Link(y, n);
  net.Link(n, g);
  EXPECT_EQ(net.Search(s, g), (Route{g, n, y}));
  EXPECT_EQ(n->parent, y);
  EXPECT_EQ(n->g, 20);
}

TEST_F(RouteSearch, OpenNodeReachedAgainAtLargerCostKeepsItsValues) {
  // x (f 110) opens n at g 46; y (f 141) is expanded before n (f 168) and reaches it at g 47.
  TAgent* s = net.Node(0, 0);
  TAgent* x = net.Node(0, 10);
  TAgent* y = net.Node(-20, 6);
  TAgent* n = net.Node(-20, -20);
  TAgent* g = net.Node(100, 0);
  net.Link(s, x);
  net.Link(s, y);
  net.Link(x, n);
  net.Link(y, n);
  net.Link(n, g);
  EXPECT_EQ(net.Search(s, g), (Route{g, n, x}));
  EXPECT_TRUE(y->closed);
  EXPECT_EQ(n->parent, x);
  EXPECT_EQ(n->g, 46);
  EXPECT_EQ(n->h, 122);
  EXPECT_EQ(n->f, 168);
}

TEST_F(RouteSearch, StopsWhenTheGoalEntersTheOpenList) {
  // Rounded distances: s-k 1, k-g 1, s-g 3. Expanding s opens g (f 3) and then k (f 2); the
  // search ends there although k has the smaller f and a shorter way to g.
  TAgent* s = net.Node(0, 0);
  TAgent* k = net.Node(1, 1);
  TAgent* g = net.Node(2, 2);
  net.Link(s, g);
  net.Link(s, k);
  net.Link(k, g);
  EXPECT_EQ(net.Search(s, g), (Route{g}));
  EXPECT_EQ(g->f, 3);
  EXPECT_EQ(k->f, 2);  // examined after the goal was found, in the same expansion
  EXPECT_EQ(k->parent, s);
  EXPECT_FALSE(k->closed);
  EXPECT_FALSE(g->closed);
}

TEST_F(RouteSearch, EqualCostsTakeTheLatestOpenedNodeFirst) {
  // a and b are opened by s in that order with equal f; b, the later one, is expanded first
  // and reaches the goal.
  TAgent* s = net.Node(100, 100);
  TAgent* a = net.Node(100, 50);
  TAgent* b = net.Node(100, 150);
  TAgent* g = net.Node(200, 100);
  net.Link(s, a);
  net.Link(s, b);
  net.Link(a, g);
  net.Link(b, g);
  EXPECT_EQ(net.Search(s, g), (Route{g, b}));
  EXPECT_FALSE(a->closed);
}

TEST_F(RouteSearch, NodeNotReachedKeepsItsParent) {
  TAgent* s = net.Node(0, 0);
  TAgent* a = net.Node(50, 0);
  TAgent* other = net.Node(300, 0);
  TAgent* otherPeer = net.Node(350, 0);
  net.Both(s, a);
  net.Both(other, otherPeer);
  net.Search(s, a);
  EXPECT_EQ(a->parent, s);
  net.Search(other, otherPeer);
  EXPECT_EQ(a->parent, s);
  EXPECT_EQ(a->g, 0);  // the search fields themselves are cleared
  EXPECT_FALSE(a->closed);
}

TEST_F(RouteSearch, ResetRouteReplacesTheListAndClearsSearchFields) {
  TAgent* s = net.Node(0, 0);
  TAgent* a = net.Node(50, 0);
  net.Both(s, a);
  net.Search(s, a);
  ResetRoute(model().network);
  EXPECT_TRUE(model().network.routeList.empty());
  for (TAgent* node : {s, a}) {
    EXPECT_EQ(node->f, 0);
    EXPECT_EQ(node->g, 0);
    EXPECT_EQ(node->h, 0);
    EXPECT_FALSE(node->closed);
  }
  EXPECT_EQ(a->parent, s);
}

// ---- "find path" ----

int YellowAcross(const Layer& layer, int x) {
  int count = 0;
  for (int y = 0; y < 666; ++y) count += layer.At(x, y) == clYellow ? 1 : 0;
  return count;
}

TEST_F(RouteSearch, DrawnRouteRaisesTheLinkNearerTheStart) {
  TAgent* s = net.Node(100, 300);
  TAgent* a = net.Node(300, 300);
  TAgent* g = net.Node(500, 300);
  net.Both(s, a);
  net.Both(a, g);
  const int32_t gi = model().network.IndexOfNode(g);

  net.Search(s, g);
  DrawRoute(model().network, model().Overlay());
  EXPECT_EQ(a->linkLoad[static_cast<size_t>(gi)], 1);
  EXPECT_EQ(YellowAcross(*f.host.overlay, 400), 2);
  EXPECT_EQ(YellowAcross(*f.host.overlay, 200), 0);  // start to last entry: not drawn

  model().ClearOverlay();
  net.Search(s, g);
  DrawRoute(model().network, model().Overlay());
  EXPECT_EQ(a->linkLoad[static_cast<size_t>(gi)], 2);
  EXPECT_EQ(YellowAcross(*f.host.overlay, 400), 3);
  EXPECT_EQ(f.host.overlay->canvas.Pen().width, 3);

  // Every other counter stays 0.
  int total = 0;
  for (auto& node : model().network.nodeList)
    for (int32_t load : node->linkLoad) total += load;
  EXPECT_EQ(total, 2);
}

TEST_F(RouteSearch, OneEntryRouteDrawsAndCountsNothing) {
  TAgent* s = net.Node(100, 300);
  TAgent* g = net.Node(300, 300);
  net.Both(s, g);
  ASSERT_EQ(net.Search(s, g).size(), 1u);
  DrawRoute(model().network, model().Overlay());
  EXPECT_EQ(YellowAcross(*f.host.overlay, 200), 0);
  for (auto& node : model().network.nodeList)
    for (int32_t load : node->linkLoad) EXPECT_EQ(load, 0);
}

TEST_F(RouteSearch, FindPathWithTwoNodesSearchesFromTheFirstToItself) {
  TAgent* first = net.Node(100, 100);
  TAgent* second = net.Node(300, 100);
  net.Link(first, second);  // the second node has no way back
  for (uint32_t seed : {1u, 77u, 123456u}) {
    SetRandSeed(seed);
    model().B_findPathClick();
    EXPECT_TRUE(model().network.routeList.empty());
    EXPECT_TRUE(first->closed);  // a search from the second node would close only that one
    EXPECT_TRUE(second->closed);
    const uint32_t after = RandSeed();
    SetRandSeed(seed);
    SkipRandom(2);  // exactly the two index draws
    EXPECT_EQ(RandSeed(), after);
  }
  EXPECT_EQ(YellowAcross(*f.host.overlay, 200), 0);
}

TEST_F(RouteSearch, FindPathNeverPicksTheLastNode) {
  // Every node linked to every other: a route is the goal alone, and only the start is closed.
  constexpr int kNodes = 5;
  TAgent* nodes[kNodes];
  for (int i = 0; i < kNodes; ++i) nodes[i] = net.Node(100 + 90 * i, 100 + 37 * (i % 2));
  for (int i = 0; i < kNodes; ++i)
    for (int j = 0; j < kNodes; ++j)
      if (i != j) net.Link(nodes[i], nodes[j]);
  TAgent* last = nodes[kNodes - 1];
  bool seenGoal[kNodes] = {};
  for (uint32_t seed = 0; seed < 300; ++seed) {
    SetRandSeed(seed * 2654435761u);
    model().B_findPathClick();
    const Route& route = model().network.routeList;
    if (route.empty()) {
      for (TAgent* node : nodes) EXPECT_TRUE(node->closed);  // start was the goal
      continue;
    }
    ASSERT_EQ(route.size(), 1u);
    EXPECT_NE(route[0], last);
    EXPECT_FALSE(last->closed);
    seenGoal[model().network.IndexOfNode(route[0])] = true;
  }
  for (int i = 0; i < kNodes - 1; ++i) EXPECT_TRUE(seenGoal[i]) << "node " << i;
}

TEST_F(RouteSearch, FindPathDrawsOverEarlierRoutes) {
  TAgent* s = net.Node(100, 300);
  TAgent* a = net.Node(300, 300);
  TAgent* g = net.Node(500, 300);
  net.Node(600, 600);  // never picked
  net.Both(s, a);
  net.Both(a, g);
  // Earlier drawing away from the network stays on the overlay.
  Canvas& overlay = f.host.overlay->canvas;
  overlay.SetPenColor(clYellow);
  overlay.SetBrushColor(clYellow);
  overlay.Rectangle(20, 600, 30, 610);
  for (uint32_t seed = 0; seed < 20; ++seed) {
    SetRandSeed(seed);
    model().B_findPathClick();
  }
  EXPECT_EQ(f.host.overlay->At(25, 605), clYellow);
  EXPECT_EQ(f.host.overlay->At(200, 300), clRed);
}

TEST_F(RouteSearch, FindPathShowsAYellowRouteOverTheFormedNetwork) {
  SetRandSeed(4711);
  model().B_agCreateClick();
  ASSERT_EQ(model().network.nodeList.size(), 42u);
  int drawn = 0;
  for (int press = 0; press < 40 && drawn < 3; ++press) {
    model().B_findPathClick();
    const Route& route = model().network.routeList;
    if (route.size() < 2) continue;
    ++drawn;
    for (size_t k = 0; k + 1 < route.size(); ++k) {
      EXPECT_EQ(route[k]->parent, route[k + 1]);
      const int mx = (route[k]->x + route[k + 1]->x) / 2;
      const int my = (route[k]->y + route[k + 1]->y) / 2;
      EXPECT_EQ(f.host.overlay->At(mx, my), clYellow) << "segment " << k;
    }
  }
  EXPECT_EQ(drawn, 3);
}

TEST_F(RouteSearch, FindPathWithoutNodesRaisesTheListIndexError) {
  model().network.routeList = Route{nullptr, nullptr};
  SetRandSeed(42);
  const int32_t index = Random(-1);
  SetRandSeed(42);
  try {
    model().B_findPathClick();
    FAIL() << "no error";
  } catch (const VError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Listenindex überschreitet das Maximum (" + std::to_string(index) + ")");
  }
  EXPECT_TRUE(model().network.routeList.empty());  // ResetRoute ran first
  const uint32_t after = RandSeed();
  SetRandSeed(42);
  SkipRandom(1);  // the goal was never drawn
  EXPECT_EQ(RandSeed(), after);
}

}  // namespace
}  // namespace velmora

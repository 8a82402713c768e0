// The route planner runs the route search on arrays of its own for the many searches of
// "workers path". The plain search (FindPath on the nodes) is its oracle: every
// pair of nodes must give the same route, ties of equal f included, on random networks of
// several sizes, on lattices where equal distances abound, and on formed networks through
// PlanRoutes, which must also leave routeList and the search fields of the last trip's search.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "core/random.h"
#include "model/calc_AStern.h"
#include "model/planning.h"
#include "support/hand_network.h"
#include "support/model_fixture.h"

namespace velmora {
namespace {

// A network of its own, not attached to a model.
struct LooseNetwork {
  std::unique_ptr<Network> network = std::make_unique<Network>();
  const NodeList& nodes() const { return network->nodeList; }
  TAgent* Add(int32_t x, int32_t y) {
    network->nodeList.push_back(std::make_unique<TAgent>());
    nodes().back()->x = x;
    nodes().back()->y = y;
    return nodes().back().get();
  }
  void Link(size_t a, size_t b) { nodes()[a]->links.push_back(TLink{static_cast<int32_t>(b), 0}); }
};

// Random positions (on a coarse lattice when `lattice` is set, so that many distances and f
// values tie) and random directed links, about `degree` per node, duplicates and links back to
// the node itself now and then.
LooseNetwork RandomNetwork(std::mt19937& rng, int count, int degree, bool lattice) {
  LooseNetwork net;
  std::uniform_int_distribution<int> px(0, 639), py(0, 665), cell(0, 12);
  for (int i = 0; i < count; ++i) {
    if (lattice)
      net.Add(cell(rng) * 40, cell(rng) * 40);
    else
      net.Add(px(rng), py(rng));
  }
  std::uniform_int_distribution<int> pick(0, count - 1);
  for (int i = 0; i < count; ++i)
    for (int k = 0; k < degree; ++k)
      net.Link(static_cast<size_t>(i), static_cast<size_t>(pick(rng)));
  return net;
}

// Every pair (or a sample of them on larger networks), planner against the plain search;
// returns how many pairs had a route.
size_t ExpectPlannerEqualsPlain(LooseNetwork& net, std::mt19937& rng, size_t maxPairs) {
  RoutePlanner planner;
  EXPECT_TRUE(planner.Prepare(net.nodes()));
  const int n = static_cast<int>(net.nodes().size());
  std::vector<std::pair<int, int>> pairs;
  for (int s = 0; s < n; ++s)
    for (int g = 0; g < n; ++g) pairs.emplace_back(s, g);
  std::shuffle(pairs.begin(), pairs.end(), rng);
  if (pairs.size() > maxPairs) pairs.resize(maxPairs);
  Route fast, own;
  size_t routed = 0;
  for (const auto& [s, g] : pairs) {
    planner.Find(s, g, fast);
    own.clear();
    FindPath(*net.network, own, net.nodes()[static_cast<size_t>(s)].get(),
             net.nodes()[static_cast<size_t>(g)].get());
    EXPECT_EQ(fast, own) << "from " << s << " to " << g;
    if (fast != own) break;
    routed += own.empty() ? 0 : 1;
  }
  return routed;
}

TEST(RoutePlanner, EveryPairAsThePlainSearchOnRandomNetworks) {
  const struct {
    int nodes, degree;
    bool lattice;
  } shapes[] = {{2, 1, false},  {6, 2, false}, {20, 3, false},  {20, 4, true},
                {60, 4, false}, {60, 6, true}, {150, 5, false}, {150, 8, true}};
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    for (const auto& shape : shapes) {
      SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(shape.nodes) + " nodes" +
                   (shape.lattice ? " on a lattice" : ""));
      std::mt19937 rng(seed * 7919u + static_cast<uint32_t>(shape.nodes));
      LooseNetwork net = RandomNetwork(rng, shape.nodes, shape.degree, shape.lattice);
      const size_t routed = ExpectPlannerEqualsPlain(net, rng, 1500);
      if (shape.nodes >= 20) {
        EXPECT_GT(routed, 100u);
      }
    }
  }
}

TEST(RoutePlanner, NetworksItCannotTakeAreLeftToThePlainSearch) {
  LooseNetwork broken;
  broken.Add(0, 0);
  broken.Add(10, 0);
  broken.Link(0, 1);
  broken.Link(1, 2);  // no node 2
  RoutePlanner planner;
  EXPECT_FALSE(planner.Prepare(broken.nodes()));

  // Far apart: a distance across them would not fit 32 bits.
  LooseNetwork far;
  far.Add(-2000000000, 0);
  far.Add(2000000000, 0);
  far.Link(0, 1);
  EXPECT_FALSE(planner.Prepare(far.nodes()));

  LooseNetwork fine;
  fine.Add(0, 0);
  fine.Add(3, 4);
  fine.Link(0, 1);
  ASSERT_TRUE(planner.Prepare(fine.nodes()));
  Route route;
  planner.Find(0, 1, route);
  EXPECT_EQ(route, (Route{fine.nodes()[1].get()}));
  planner.Find(0, 0, route);
  EXPECT_TRUE(route.empty());
  planner.Find(1, 0, route);
  EXPECT_TRUE(route.empty());
}

// A network the planner cannot take is planned the plain way, which fails where the plain run
// meets the bad link: the trips before keep their new routes, the failing trip has none, the
// trips after keep what they had.
TEST(PlanRoutes, ALinkOutsideTheListFailsWhereThePlainSearchMeetsIt) {
  testing::ModelFixture f;
  f.Start();
  Model& m = f.model;
  testing::HandNetwork net(m);
  TAgent* n0 = net.Node(15, 15);
  TAgent* n1 = net.Node(45, 15);
  net.Node(75, 15);
  net.Link(n0, n1);
  n1->links.push_back(TLink{7, 0});
  m.town.cells.At(0, 0)->nearestNode = 0;
  m.town.cells.At(1, 0)->nearestNode = 1;
  m.town.cells.At(2, 0)->nearestNode = 2;
  auto trip = [](int32_t col, int32_t row) {
    Trip t;
    t.destCol = col;
    t.destRow = row;
    return t;
  };
  const RouteRef old = std::make_shared<const Route>(Route{n0});
  auto& trips = m.town.EditTrips(*m.town.cells.At(0, 0));
  trips = {trip(1, 0), trip(2, 0)};  // n0 to n1 ends before n1 is expanded; n0 to n2 does not
  trips[0].route = trips[1].route = old;
  m.town.EditTrips(*m.town.cells.At(0, 1)) = {trip(1, 0)};
  m.town.cells.At(0, 1)->nearestNode = 0;
  m.town.EditTrips(*m.town.cells.At(0, 1))[0].route = old;
  try {
    PlanRoutes(m.town, m.network);
    FAIL() << "no error";
  } catch (const VError& e) {
    EXPECT_EQ(std::string(e.what()), "Listenindex überschreitet das Maximum (7)");
  }
  EXPECT_EQ(*trips[0].route, (Route{n1}));
  EXPECT_FALSE(trips[1].route);
  EXPECT_EQ(m.town.cells.At(0, 1)->trips[0].route, old);
}

// PlanRoutes on formed networks against one plain search per trip.
struct FormedTown {
  std::string cellScale, nodeNumber;
  int maxWorkers;
  uint32_t seed;
};

class PlanRoutesOracle : public ::testing::TestWithParam<FormedTown> {};

TEST_P(PlanRoutesOracle, EveryTripsRouteAsItsOwnPlainSearch) {
  const FormedTown& town = GetParam();
  const char saved = DecimalSeparator();
  SetDecimalSeparator(',');
  testing::ModelFixture f;
  f.host.edits[EditBox::CellScale] = town.cellScale;
  f.host.edits[EditBox::NodeNumber] = town.nodeNumber;
  std::mt19937 rng(town.seed);
  std::uniform_int_distribution<int> count(0, town.maxWorkers);
  for (const char* name : {"arbeiter.bmp", "arbeitsstaetten.bmp", "verkaufsflaechen.bmp"}) {
    auto picture = std::make_shared<MemoryPicture>(640, 666);
    for (int y = 0; y < 666; ++y)
      for (int x = 0; x < 640; ++x) {
        const int v = 255 - count(rng);
        picture->Set(x, y, RGBColor(v, v, v));
      }
    f.host.SetPicture(name, picture);
  }
  f.Start();
  SetRandSeed(town.seed);
  Model& m = f.model;
  m.B_loadDataClick();
  m.B_agCreateClick();
  PlanRoutes(m.town, m.network);

  std::vector<Route> planned;
  m.town.cells.ForEach([&](const TCell& cell) {
    for (const Trip& trip : cell.trips) planned.push_back(trip.route ? *trip.route : Route{});
  });
  const Route finalList = m.network.routeList;
  std::vector<TAgent> finalNodes;
  for (auto& node : m.network.nodeList) finalNodes.push_back(*node);

  size_t k = 0, routed = 0;
  const TAgent* lastStart = nullptr;
  m.town.cells.ForEach([&](const TCell& cell) {
    for (const Trip& trip : cell.trips) {
      Route own;
      if (trip.HasWorkplace()) {
        ResetRoute(m.network);
        lastStart = m.network.NodeAt(cell.nearestNode);
        FindPath(m.network, m.network.routeList, m.network.NodeAt(cell.nearestNode),
                 m.network.NodeAt(m.town.cells.At(trip.destCol, trip.destRow)->nearestNode));
        own = m.network.routeList;
      }
      ASSERT_EQ(planned[k++], own);
      routed += own.size() > 1 ? 1 : 0;
    }
  });
  EXPECT_GT(routed, 0u);
  // The last trip's own search is what routeList and the nodes show.
  EXPECT_EQ(finalList, m.network.routeList);
  for (size_t i = 0; i < m.network.nodeList.size(); ++i) {
    EXPECT_EQ(finalNodes[i].f, m.network.nodeList[i]->f) << i;
    EXPECT_EQ(finalNodes[i].g, m.network.nodeList[i]->g) << i;
    EXPECT_EQ(finalNodes[i].h, m.network.nodeList[i]->h) << i;
    EXPECT_EQ(finalNodes[i].closed, m.network.nodeList[i]->closed) << i;
    // A parent is the last search's own where that search reached the node; the start's is
    // never written.
    if ((m.network.nodeList[i]->closed && m.network.nodeList[i].get() != lastStart) ||
        m.network.nodeList[i]->g != 0) {
      EXPECT_EQ(finalNodes[i].parent, m.network.nodeList[i]->parent) << i;
    }
  }
  SetDecimalSeparator(saved);
}

INSTANTIATE_TEST_SUITE_P(Towns, PlanRoutesOracle,
                         ::testing::Values(FormedTown{"30", "41", 6, 5},
                                           FormedTown{"20", "120", 3, 17},
                                           FormedTown{"40", "199", 4, 29}),
                         [](const ::testing::TestParamInfo<FormedTown>& info) {
                           return "cell" + info.param.cellScale + "_nodes" + info.param.nodeNumber;
                         });

}  // namespace
}  // namespace velmora

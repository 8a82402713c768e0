#include "model/planning.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <string>

#include "core/convert.h"
#include "core/error.h"
#include "core/random.h"
#include "core/rounding.h"
#include "support/hand_network.h"
#include "support/model_fixture.h"

namespace velmora {
namespace {

using testing::HandNetwork;
using testing::ModelFixture;

Trip MakeTrip(int32_t destCol, int32_t destRow) {
  Trip trip;
  trip.destCol = destCol;
  trip.destRow = destRow;
  return trip;
}

class Planning : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDecimalSeparator(',');
    f.Start();
  }
  void TearDown() override { SetDecimalSeparator('.'); }

  Model& model() { return f.model; }
  Trip& AddTrip(int col, int row, int destCol, int destRow) {
    auto& trips = model().town.EditTrips(*model().town.cells.At(col, row));
    trips.reserve(32);  // the tests hold references to the trips they add
    trips.push_back(MakeTrip(destCol, destRow));
    return trips.back();
  }
  Trip& AddJobless(int col, int row) { return AddTrip(col, row, kNoWorkplace, kNoWorkplace); }
  double ChartSum() const {
    double sum = 0;
    for (const auto& point : f.host.chartPoints) sum += point.second;
    return sum;
  }
  void ExpectChartOfEmptyDayExcept(int bin1, double y1, int bin2, double y2) const {
    ASSERT_EQ(f.host.chartPoints.size(), 240u);
    for (int k = 0; k < 240; ++k) {
      const auto& [x, y] = f.host.chartPoints[static_cast<size_t>(k)];
      EXPECT_DOUBLE_EQ(x, k / 10.0);
      EXPECT_EQ(y, k == bin1 ? y1 : k == bin2 ? y2 : 0.0) << "bin " << k;
    }
  }

  ModelFixture f;
  HandNetwork net{f.model};
};

TEST(DepartureRounding, TimesGoToTheNearestTenth) {
  EXPECT_EQ(TenthsOfHour(7.96), 80);
  EXPECT_EQ(TenthsToHours(80), 8.0);
  EXPECT_EQ(TenthsOfHour(7.94), 79);
  EXPECT_EQ(TenthsToHours(79), 79 * 0.1);
  EXPECT_EQ(TenthsOfHour(-0.04), 0);
  EXPECT_EQ(TenthsOfHour(23.96), 240);
  EXPECT_EQ(TenthsOfHour(-0.06), -1);
  // Far from the day as well, the quotient by the double nearest 0.1 rounded half to even.
  for (double t : {0.05, 0.15, -0.25, 12.35, 1e17, -4.6e17, 9.2e17, -9.2e17}) {
    const long double q = static_cast<long double>(t) / static_cast<long double>(0.1);
    EXPECT_EQ(TenthsOfHour(t), RoundHalfEven(q)) << t;
  }
  EXPECT_THROW(TenthsOfHour(1e30), VError);  // no 64-bit integer holds it
}

TEST(DepartureRounding, FastTenthsMatchTheExtendedDraw) {
  // The tenth of a draw worked out mostly in double precision against the extended
  // GaussianDraw it stands for: the same tenth and the same generator state after every draw.
  // Single-precision means and deviations as the edits give them; means on a tenth and a half
  // (0.25 over the double nearest 0.1 lies a hair below 2.5) with deviation 0 take the exact
  // path; huge values take it as well, and fail as the extended draw fails.
  const float cases[][2] = {{8.0f, 1.0f},  {17.0f, 1.0f}, {7.5f, 0.7f},  {0.25f, 0.0f},
                            {0.05f, 0.0f}, {12.0f, 0.0f}, {0.0f, 40.0f}, {-3.3f, 1e-3f},
                            {1e5f, 3e4f},  {8.0f, 1e-7f}, {2.5e5f, 1e6f}};
  for (const auto& [mean, sd] : cases) {
    SetRandSeed(static_cast<uint32_t>(mean * 1000 + sd * 7));
    for (int i = 0; i < 20000; ++i) {
      const uint32_t seed = RandSeed();
      const int64_t fast = DrawDepartureTenths(mean, sd);
      const uint32_t after = RandSeed();
      SetRandSeed(seed);
      ASSERT_EQ(fast, TenthsOfHour(static_cast<double>(GaussianDraw(mean, sd))))
          << mean << " " << sd << " draw " << i;
      ASSERT_EQ(RandSeed(), after);
    }
  }
  SetRandSeed(9);
  EXPECT_THROW(DrawDepartureTenths(1e30L, 1.0L), VError);
}

TEST(DepartureRounding, GaussianDrawHasTheGivenMeanAndDeviation) {
  SetRandSeed(2024);
  constexpr int kDraws = 40000;
  long double sum = 0, squares = 0;
  for (int i = 0; i < kDraws; ++i) {
    const long double v = GaussianDraw(8.0L, 1.5L);
    sum += v;
    squares += v * v;
  }
  const long double mean = sum / kDraws;
  const long double sd = std::sqrt(squares / kDraws - mean * mean);
  EXPECT_NEAR(static_cast<double>(mean), 8.0, 0.03);
  EXPECT_NEAR(static_cast<double>(sd), 1.5, 0.03);
  SetRandSeed(5);
  EXPECT_EQ(GaussianDraw(3.0L, 0.0L), 3.0L);
}

TEST_F(Planning, ZeroDeviationPutsEveryTripAtTheMeans) {
  f.host.edits[EditBox::STD] = "0";
  AddTrip(0, 0, 3, 3);
  AddTrip(0, 0, 4, 4);
  AddTrip(5, 7, 0, 0);
  Trip& jobless = AddJobless(2, 2);
  jobless.morningDeparture = 99;
  jobless.eveningDeparture = 98;
  model().PlanDepartures();
  ExpectChartOfEmptyDayExcept(80, 3, 170, 3);
  EXPECT_EQ(f.host.chartClears, 1);
  const Trip& trip = model().town.cells.At(5, 7)->trips[0];
  EXPECT_EQ(trip.morningDeparture, 8.0L);
  EXPECT_EQ(trip.eveningDeparture, 17.0L);
  // A worker without a workplace does not commute.
  EXPECT_EQ(jobless.morningDeparture, 99);
  EXPECT_EQ(jobless.eveningDeparture, 98);
}

TEST_F(Planning, HistogramCountsBothDeparturesOfEveryPairedTrip) {
  int paired = 0;
  for (int col = 0; col < 21; col += 2)
    for (int row = 0; row < 22; row += 3)
      for (int i = 0; i < 7; ++i, ++paired) AddTrip(col, row, (col + i) % 21, row);
  AddJobless(1, 1);
  SetRandSeed(99);
  model().PlanDepartures();
  ASSERT_EQ(f.host.chartPoints.size(), 240u);
  EXPECT_EQ(ChartSum(), 2.0 * paired);
  const auto first = f.host.chartPoints;

  // A second press draws anew and builds its histogram from zero.
  model().PlanDepartures();
  ASSERT_EQ(f.host.chartPoints.size(), 240u);
  EXPECT_EQ(ChartSum(), 2.0 * paired);
  EXPECT_NE(f.host.chartPoints, first);
  EXPECT_EQ(f.host.chartClears, 2);

  // Every stored time is a whole tenth, counted in its bin.
  std::vector<double> bins(240, 0.0);
  model().town.cells.ForEach([&](const TCell& cell) {
    for (const Trip& trip : cell.trips) {
      if (!trip.HasWorkplace()) continue;
      for (long double t : {trip.morningDeparture, trip.eveningDeparture}) {
        const int64_t k = TenthsOfHour(static_cast<double>(t));
        EXPECT_EQ(static_cast<double>(t), TenthsToHours(k));
        bins[static_cast<size_t>(k)] += 1;
      }
    }
  });
  for (int k = 0; k < 240; ++k)
    EXPECT_EQ(f.host.chartPoints[static_cast<size_t>(k)].second, bins[k]);
}

TEST_F(Planning, TripsDrawRowByRowAndMorningBeforeEvening) {
  f.host.edits[EditBox::STD] = "0,7";
  f.host.edits[EditBox::MDep] = "7,5";
  f.host.edits[EditBox::EDep] = "16,3";
  Trip& a = AddTrip(0, 0, 1, 1);
  AddJobless(1, 0);  // takes no draws
  Trip& b = AddTrip(1, 0, 1, 1);
  Trip& c = AddTrip(0, 1, 1, 1);
  SetRandSeed(31337);
  model().PlanDepartures();

  // The same draws taken by hand, in the order a, b, c; the texts held as single precision.
  SetRandSeed(31337);
  const long double sd = 0.7f, morning = 7.5f, evening = 16.3f;
  auto next = [&](long double mean) {
    return TenthsToHours(TenthsOfHour(static_cast<double>(GaussianDraw(mean, sd))));
  };
  for (Trip* trip : {&a, &b, &c}) {
    const double m = next(morning);
    const double e = next(evening);
    EXPECT_EQ(trip->morningDeparture, m);
    EXPECT_EQ(trip->eveningDeparture, e);
  }
}

TEST_F(Planning, DeparturesOutsideTheDayAreStoredButNotCharted) {
  f.host.edits[EditBox::STD] = "0";
  f.host.edits[EditBox::MDep] = "-1";
  AddTrip(0, 0, 1, 1);
  model().PlanDepartures();
  ExpectChartOfEmptyDayExcept(170, 1, 170, 1);
  EXPECT_EQ(model().town.cells.At(0, 0)->trips[0].morningDeparture, -1.0L);

  f.host.edits[EditBox::MDep] = "8";
  f.host.edits[EditBox::EDep] = "24";
  model().PlanDepartures();
  ExpectChartOfEmptyDayExcept(80, 1, 80, 1);
  EXPECT_EQ(model().town.cells.At(0, 0)->trips[0].eveningDeparture, 24.0L);
}

TEST_F(Planning, BadNumberTextChangesNothing) {
  Trip& trip = AddTrip(0, 0, 1, 1);
  trip.morningDeparture = 5;
  const RouteRef route = std::make_shared<const Route>();
  trip.route = route;
  const uint32_t seed = RandSeed();
  for (EditBox box : {EditBox::STD, EditBox::MDep, EditBox::EDep}) {
    f.host.edits[box] = "1.0";  // a full stop where the locale has a comma
    try {
      model().B_workPathClick();
      FAIL() << "no error";
    } catch (const VError& e) {
      EXPECT_STREQ(e.what(), "'1.0' ist kein gültiger Gleitkommawert");
    }
    f.host.edits[box] = box == EditBox::STD ? "1,0" : box == EditBox::MDep ? "8" : "17";
  }
  // The texts are read in the order STD, morning, evening.
  f.host.edits[EditBox::EDep] = "e";
  f.host.edits[EditBox::MDep] = "m";
  EXPECT_THROW(
      {
        try {
          model().PlanDepartures();
        } catch (const VError& e) {
          EXPECT_STREQ(e.what(), "'m' ist kein gültiger Gleitkommawert");
          throw;
        }
      },
      VError);
  EXPECT_EQ(trip.morningDeparture, 5);
  EXPECT_EQ(trip.route, route);
  EXPECT_EQ(RandSeed(), seed);
  EXPECT_EQ(f.host.chartClears, 0);
  EXPECT_TRUE(f.host.chartPoints.empty());
  EXPECT_EQ(f.host.chartShows, 0);
}

TEST_F(Planning, NoTripsGiveAnEmptyDayAndShowTheChart) {
  TAgent* s = net.Node(10, 10);
  TAgent* g = net.Node(50, 10);
  net.Both(s, g);
  net.Search(s, g);
  model().B_workPathClick();
  ExpectChartOfEmptyDayExcept(0, 0, 0, 0);
  EXPECT_EQ(f.host.chartShows, 1);
  // No search ran: the last one's results stay.
  EXPECT_EQ(model().network.routeList, (Route{g}));
  EXPECT_TRUE(s->closed);
}

TEST_F(Planning, TripsWithoutNodesFailAfterTheChartIsComplete) {
  Trip& jobless = AddJobless(0, 0);
  Trip& first = AddTrip(1, 0, 2, 2);
  Trip& second = AddTrip(0, 1, 2, 2);
  const RouteRef old = std::make_shared<const Route>(Route{nullptr});
  jobless.route = first.route = second.route = old;
  try {
    model().B_workPathClick();
    FAIL() << "no error";
  } catch (const VError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Listenindex überschreitet das Maximum (", 0), 0u);
  }
  EXPECT_EQ(f.host.chartPoints.size(), 240u);
  EXPECT_EQ(ChartSum(), 4.0);
  EXPECT_EQ(f.host.chartShows, 0);
  EXPECT_EQ(jobless.RouteCount(), 0u);
  EXPECT_EQ(first.RouteCount(), 0u);
  EXPECT_EQ(second.route, old);
}

TEST_F(Planning, RoutesRunFromTheWorkNodeBackTowardHome) {
  TAgent* n0 = net.Node(15, 15);
  TAgent* n1 = net.Node(315, 15);
  TAgent* n2 = net.Node(615, 15);
  TAgent* n3 = net.Node(615, 615);
  net.Both(n0, n1);
  net.Both(n1, n2);
  // Column c, row 0 belongs to node c / 7; row 20 to node 3, which nothing reaches.
  model().town.cells.ForEach(
      [&](TCell& cell) { cell.nearestNode = cell.row == 20 ? 3 : cell.column / 7; });
  Trip& sameNode = AddTrip(0, 0, 6, 0);
  Trip& linked = AddTrip(0, 0, 7, 0);
  Trip& jobless = AddJobless(0, 0);
  jobless.route = std::make_shared<const Route>();
  Trip& chain = AddTrip(0, 3, 14, 0);
  Trip& unreachable = AddTrip(0, 4, 0, 20);
  Trip& back = AddTrip(20, 5, 0, 0);
  PlanRoutes(model().town, model().network);
  ASSERT_TRUE(sameNode.route);
  EXPECT_TRUE(sameNode.route->empty());
  EXPECT_EQ(*linked.route, (Route{n1}));
  EXPECT_FALSE(jobless.route);
  EXPECT_EQ(*chain.route, (Route{n2, n1}));
  EXPECT_TRUE(unreachable.route->empty());
  EXPECT_EQ(*back.route, (Route{n0, n1}));
  // routeList and the search fields are those of the last trip's search.
  EXPECT_EQ(model().network.routeList, (Route{n0, n1}));
  EXPECT_TRUE(n2->closed);
  EXPECT_FALSE(n3->closed);
}

TEST_F(Planning, WorkersPathOnALoadedTownAndFormedNetwork) {
  // 20 workers and 15 workplaces in every cell: a quarter of the workers find no place.
  auto picture = std::make_shared<MemoryPicture>(640, 666, RGBColor(235, 240, 255));
  for (const char* name : {"arbeiter.bmp", "arbeitsstaetten.bmp", "verkaufsflaechen.bmp"})
    f.host.SetPicture(name, picture);
  SetRandSeed(777);
  model().B_loadDataClick();
  model().B_agCreateClick();
  model().B_workPathClick();
  EXPECT_EQ(f.host.chartShows, 1);
  size_t paired = 0, jobless = 0, routed = 0;
  model().town.cells.ForEach([&](const TCell& home) {
    for (const Trip& trip : home.trips) {
      if (!trip.HasWorkplace()) {
        ++jobless;
        EXPECT_FALSE(trip.route);
        continue;
      }
      ++paired;
      ASSERT_TRUE(trip.route);
      const Route& route = *trip.route;
      const int32_t work = model().town.cells.At(trip.destCol, trip.destRow)->nearestNode;
      if (route.empty()) continue;
      ++routed;
      EXPECT_EQ(route.front(), model().network.NodeAt(work));
      EXPECT_NE(route.back(), model().network.NodeAt(home.nearestNode));
    }
  });
  EXPECT_EQ(paired, 462u * 15u);
  EXPECT_EQ(jobless, 462u * 5u);
  EXPECT_GT(routed, paired / 2);
  EXPECT_EQ(ChartSum(), 2.0 * static_cast<double>(paired));
}

// The plan shares searches between trips with the same pair of nodes; it must give what a
// search per trip gives, and leave the search state of the last trip.
TEST_F(Planning, SharedSearchesGiveWhatEveryTripsOwnSearchGives) {
  for (uint32_t round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    ModelFixture g;
    g.Start();
    Model& m = g.model;
    HandNetwork hand(m);
    SetRandSeed(round * 7919u + 3u);
    const int nodes = 3 + Random(18);
    for (int i = 0; i < nodes; ++i) hand.Node(Random(640), Random(666));
    for (int i = 0; i < nodes; ++i)
      for (int j = 0; j < nodes; ++j)
        if (i != j && Random(100) < 30)
          hand.Link(m.network.nodeList[i].get(), m.network.nodeList[j].get());
    m.town.cells.ForEach([&](TCell& cell) {
      cell.nearestNode = Random(nodes);
      const int trips = Random(4);
      for (int t = 0; t < trips; ++t) {
        if (Random(8) == 0) {
          m.town.EditTrips(cell).push_back(MakeTrip(kNoWorkplace, kNoWorkplace));
        } else {
          const int32_t col = Random(m.town.gridCols);
          m.town.EditTrips(cell).push_back(MakeTrip(col, Random(m.town.gridRows)));
        }
      }
    });

    PlanRoutes(m.town, m.network);
    std::vector<Route> planned;
    m.town.cells.ForEach([&](const TCell& cell) {
      for (const Trip& trip : cell.trips) planned.push_back(trip.route ? *trip.route : Route{});
    });
    const Route finalList = m.network.routeList;
    std::vector<TAgent> finalNodes;
    for (auto& node : m.network.nodeList) finalNodes.push_back(*node);

    // The same trips, one search each.
    size_t k = 0;
    TAgent* lastStart = nullptr;
    m.town.cells.ForEach([&](const TCell& cell) {
      for (const Trip& trip : cell.trips) {
        Route own;
        if (trip.HasWorkplace()) {
          ResetRoute(m.network);
          lastStart = m.network.NodeAt(cell.nearestNode);
          FindPath(m.network, m.network.routeList, lastStart,
                   m.network.NodeAt(m.town.cells.At(trip.destCol, trip.destRow)->nearestNode));
          own = m.network.routeList;
        }
        EXPECT_EQ(planned[k++], own);
      }
    });
    EXPECT_EQ(finalList, m.network.routeList);
    for (int i = 0; i < nodes; ++i) {
      const TAgent& a = finalNodes[static_cast<size_t>(i)];
      const TAgent& b = *m.network.nodeList[static_cast<size_t>(i)];
      EXPECT_EQ(a.f, b.f);
      EXPECT_EQ(a.g, b.g);
      EXPECT_EQ(a.h, b.h);
      EXPECT_EQ(a.closed, b.closed);
      // A parent is the last search's only where that search reached the node.
      if ((b.closed && &b != lastStart) || b.g != 0) {
        EXPECT_EQ(a.parent, b.parent) << i;
      }
    }
  }
}

}  // namespace
}  // namespace velmora

#include "model/traffic.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "model/agent.h"
#include "support/model_fixture.h"

namespace velmora {
namespace {

// A started model with a hand-built network and hand-made trips.
struct TrafficFixture : testing::ModelFixture {
  TrafficFixture() { Start(); }

  TAgent* AddNode(int x, int y) {
    auto node = std::make_unique<TAgent>();
    node->x = x;
    node->y = y;
    TAgent* raw = node.get();
    model.network.nodeList.push_back(std::move(node));
    model.network.nodePositions.push_back({x, y});
    for (auto& n : model.network.nodeList) n->linkLoad.resize(model.network.nodeList.size(), 0);
    return raw;
  }
  int32_t Idx(const TAgent* node) const { return model.network.IndexOfNode(node); }
  // `from` lists `to` among its links.
  void Link(TAgent* from, TAgent* to) { from->links.push_back(TLink{Idx(to), 0}); }
  static RouteRef MakeRoute(std::initializer_list<TAgent*> nodes) {
    return std::make_shared<const Route>(nodes);
  }
  // A trip of the cell (col, row) with departures in whole tenths, as planning stores them.
  Trip& AddTrip(int col, int row, RouteRef route, int eveningTenths, int morningTenths) {
    Trip trip;
    trip.route = std::move(route);
    trip.eveningDeparture = static_cast<double>(eveningTenths) * 0.1;
    trip.morningDeparture = static_cast<double>(morningTenths) * 0.1;
    BulkVector<Trip>& trips = model.town.EditTrips(*model.town.cells.At(col, row));
    trips.push_back(trip);
    return trips.back();
  }
  void SetTimeScale(const std::string& text) {
    host.edits[EditBox::TimeScale] = text;
    model.E_timeScaleChange();
  }
  // Height of the painted band (anything not black) across a horizontal link at column x.
  int Band(int x, int y) const {
    int count = 0;
    for (int py = y - 12; py <= y + 12; ++py)
      if (host.overlay->At(x, py) != clBlack) ++count;
    return count;
  }
  bool OverlayBlack() const {
    for (int y = 0; y < host.height; ++y)
      for (int x = 0; x < host.width; ++x)
        if (host.overlay->At(x, y) != clBlack) return false;
    return true;
  }
  std::string Caption(ValueLabel label) {
    auto it = host.captions.find(label);
    return it == host.captions.end() ? "<unset>" : it->second;
  }
  int64_t LoadSum() const {
    int64_t sum = 0;
    for (const auto& n : model.network.nodeList)
      for (int32_t c : n->linkLoad) sum += c;
    return sum;
  }
};

// Restores the locale's decimal separator after a test that changes it.
struct SeparatorGuard {
  char saved = DecimalSeparator();
  ~SeparatorGuard() { SetDecimalSeparator(saved); }
};

// Three nodes on a horizontal line; B lists A and C lists B, so the loads of A->B and B->C
// are drawn (and red links drawn over them only from the same ends).
struct LineNetwork : TrafficFixture {
  TAgent* A = AddNode(100, 100);
  TAgent* B = AddNode(200, 100);
  TAgent* C = AddNode(300, 100);
  LineNetwork() {
    Link(B, A);
    Link(C, B);
  }
};

TEST(Traffic, VehicleOnThreeNodesCountsOneLinkThenArrives) {
  LineNetwork f;
  f.AddTrip(0, 0, f.MakeRoute({f.A, f.B, f.C}), 1, 90);
  // A route of two entries: released and arrived in the same step, leaving no count.
  f.AddTrip(0, 0, f.MakeRoute({f.A, f.B}), 1, 90);
  f.model.SimulationStep();
  EXPECT_EQ(f.Caption(ValueLabel::OnRoad), "2");
  ASSERT_EQ(f.model.day.travellers.size(), 1u);
  EXPECT_EQ(f.model.day.travellers[0]->currentNode, f.B);
  EXPECT_EQ(f.model.day.travellers[0]->previousNode, f.A);
  EXPECT_EQ(f.B->linkLoad[f.Idx(f.A)], 1);
  EXPECT_EQ(f.LoadSum(), 1);
  // B's line toward A is 3 pixels: its outer row (not under the red centre) is yellow.
  EXPECT_EQ(f.Band(150, 100), 3);
  EXPECT_EQ(f.host.overlay->At(150, 101), clYellow);
  EXPECT_EQ(f.Band(250, 100), 2);

  f.model.SimulationStep();
  // Counted before the movement, so the arriving vehicle is still in the label.
  EXPECT_EQ(f.Caption(ValueLabel::OnRoad), "1");
  EXPECT_TRUE(f.model.day.travellers.empty());
  EXPECT_EQ(f.B->linkLoad[f.Idx(f.A)], 0);
  EXPECT_EQ(f.C->linkLoad[f.Idx(f.B)], 0);
  EXPECT_EQ(f.LoadSum(), 0);
  EXPECT_EQ(f.Band(150, 100), 2);
}

TEST(Traffic, WidthGrowsWithLoadOverScale) {
  LineNetwork f;
  for (int i = 0; i < 11; ++i) f.AddTrip(0, 0, f.MakeRoute({f.A, f.B, f.C}), 1, 90);
  f.model.SimulationStep();
  EXPECT_EQ(f.B->linkLoad[f.Idx(f.A)], 11);
  EXPECT_EQ(f.Band(150, 100), 4);
  EXPECT_EQ(f.host.overlay->At(150, 97), clBlack);
  EXPECT_EQ(f.host.overlay->At(150, 98), clYellow);
  EXPECT_EQ(f.host.overlay->At(150, 101), clYellow);
  EXPECT_EQ(f.host.overlay->At(150, 102), clBlack);

  f.host.edits[EditBox::TScale] = "1";
  f.model.ClearOverlay();
  DrawLinkLoads(f.model.network, f.model.Overlay(), 1);
  DrawLinks(f.model.network, f.model.Overlay());
  EXPECT_EQ(f.Band(150, 100), 13);
}

TEST(Traffic, OppositeDirectionsCountAtTheirOwnEnds) {
  TrafficFixture f;
  TAgent* A = f.AddNode(100, 100);
  TAgent* B = f.AddNode(200, 100);
  TAgent* C = f.AddNode(300, 100);
  TAgent* D = f.AddNode(100, 300);
  f.Link(A, B);
  f.Link(B, A);
  // Evening vehicle A -> B -> C; eleven morning vehicles on {D, A, B} drive B -> A -> D.
  f.AddTrip(0, 0, f.MakeRoute({A, B, C}), 1, 90);
  for (int i = 0; i < 11; ++i) f.AddTrip(0, 1, f.MakeRoute({D, A, B}), 90, 1);
  f.model.SimulationStep();
  EXPECT_EQ(B->linkLoad[f.Idx(A)], 1);
  EXPECT_EQ(A->linkLoad[f.Idx(B)], 11);
  EXPECT_EQ(f.LoadSum(), 12);
  ASSERT_EQ(f.model.day.travellers.size(), 12u);
  EXPECT_EQ(f.model.day.travellers[0]->direction, 0);
  EXPECT_EQ(f.model.day.travellers[1]->direction, 1);
  EXPECT_EQ(f.model.day.travellers[1]->currentNode, A);
  // A's line toward B carries 11 (4 px), B's toward A carries 1 (3 px): the wider shows.
  EXPECT_EQ(f.Band(150, 100), 4);
  EXPECT_EQ(f.host.overlay->At(150, 98), clYellow);
}

TEST(Traffic, WithoutVehiclesEveryLinkIsTwoPixels) {
  TrafficFixture f;
  TAgent* A = f.AddNode(100, 100);
  TAgent* B = f.AddNode(200, 100);
  TAgent* C = f.AddNode(300, 200);
  TAgent* D = f.AddNode(400, 200);
  f.Link(B, A);
  f.Link(C, D);
  f.model.SimulationStep();
  EXPECT_EQ(f.Caption(ValueLabel::OnRoad), "0");
  EXPECT_EQ(f.Band(150, 100), 2);
  EXPECT_EQ(f.Band(350, 200), 2);
  EXPECT_EQ(f.Band(250, 150), 0);
}

TEST(Traffic, ArrivalsAreRemovedKeepingOrderAndCounts) {
  TrafficFixture f;
  TAgent* A = f.AddNode(100, 100);
  TAgent* B = f.AddNode(200, 100);
  TAgent* C = f.AddNode(300, 100);
  TAgent* D = f.AddNode(400, 100);
  RouteRef first = f.MakeRoute({A, B, C, D});
  RouteRef middle = f.MakeRoute({A, B, C});
  RouteRef last = f.MakeRoute({A, B, C, D});
  f.AddTrip(0, 0, first, 1, 90);
  f.AddTrip(0, 0, middle, 1, 90);
  f.AddTrip(0, 0, last, 1, 90);
  f.model.SimulationStep();
  EXPECT_EQ(B->linkLoad[f.Idx(A)], 3);
  f.model.SimulationStep();
  ASSERT_EQ(f.model.day.travellers.size(), 2u);
  EXPECT_EQ(f.model.day.travellers[0]->route, first);
  EXPECT_EQ(f.model.day.travellers[1]->route, last);
  EXPECT_EQ(B->linkLoad[f.Idx(A)], 0);
  EXPECT_EQ(C->linkLoad[f.Idx(B)], 2);
  EXPECT_EQ(f.LoadSum(), 2);
  f.model.SimulationStep();
  EXPECT_TRUE(f.model.day.travellers.empty());
  EXPECT_EQ(f.LoadSum(), 0);
}

TEST(Clock, TimeLabelFollowsTheLocaleAndRoundsHalvesDown) {
  SeparatorGuard guard;
  {
    TrafficFixture f;
    SetDecimalSeparator(',');
    f.model.SimulationStep();
    EXPECT_EQ(f.Caption(ValueLabel::Time), "0,17");
    EXPECT_EQ(f.Caption(ValueLabel::Steps), "1");
    EXPECT_EQ(f.host.chartLine, f.model.day.clockHours);
    EXPECT_EQ(f.model.day.prevClockHours, f.model.day.clockHours);
  }
  {
    TrafficFixture f;
    SetDecimalSeparator('.');
    f.model.SimulationStep();
    EXPECT_EQ(f.Caption(ValueLabel::Time), "0.17");
  }
  {
    TrafficFixture f;
    SetDecimalSeparator(',');
    f.SetTimeScale("8");
    f.model.B_oneStepClick();
    EXPECT_EQ(f.Caption(ValueLabel::Time), "0,12");
    f.model.Timer1Timer();
    f.model.SimulationStep();
    EXPECT_EQ(f.Caption(ValueLabel::Time), "0,37");
    EXPECT_EQ(f.Caption(ValueLabel::Steps), "3");
  }
}

TEST(Clock, DayWrapsAtStepsPerDay) {
  SeparatorGuard guard;
  SetDecimalSeparator(',');
  LineNetwork f;
  f.AddTrip(0, 0, f.MakeRoute({f.A, f.B, f.C}), 0, 300);
  const RouteRef tenth = f.AddTrip(0, 0, f.MakeRoute({f.A, f.B, f.C}), 1, 300).route;
  f.AddTrip(0, 0, f.MakeRoute({f.A, f.B, f.C}), 2, 300);
  for (int s = 1; s <= 143; ++s) f.model.SimulationStep();
  EXPECT_EQ(f.Caption(ValueLabel::Time), "23,83");
  f.model.SimulationStep();
  EXPECT_EQ(f.Caption(ValueLabel::Time), "0");
  EXPECT_EQ(f.Caption(ValueLabel::Steps), "144");
  EXPECT_EQ(f.Caption(ValueLabel::OnRoad), "0");
  f.model.SimulationStep();
  EXPECT_EQ(f.Caption(ValueLabel::Time), "0,17");
  ASSERT_EQ(f.model.day.travellers.size(), 1u);
  EXPECT_EQ(f.model.day.travellers[0]->route, tenth);
}

// Steps through whole days with one evening trip per tenth k (each its own route) and
// records, for every step, the tenths released and the clock before and after.
struct DayRecord {
  std::vector<std::set<int>> released;
  std::vector<double> before, after;
};

DayRecord RunDays(TrafficFixture& f, const std::string& scale, int steps, int kFrom, int kTo) {
  TAgent* A = f.AddNode(100, 100);
  TAgent* B = f.AddNode(200, 100);
  TAgent* C = f.AddNode(300, 100);
  std::map<const Route*, int> tenthOf;
  for (int k = kFrom; k <= kTo; ++k) {
    RouteRef route = f.MakeRoute({A, B, C});
    tenthOf[route.get()] = k;
    f.AddTrip((k + 10) % 5, (k + 14) % 7, route, k, -5000);
  }
  f.SetTimeScale(scale);
  DayRecord record;
  for (int s = 0; s < steps; ++s) {
    record.before.push_back(f.model.day.prevClockHours);
    f.model.SimulationStep();
    record.after.push_back(f.model.day.clockHours);
    // Routes of three entries: every vehicle on the road after a step left in that step.
    std::set<int> ks;
    for (const auto& v : f.model.day.travellers) ks.insert(tenthOf.at(v->route.get()));
    EXPECT_EQ(ks.size(), f.model.day.travellers.size());
    record.released.push_back(ks);
  }
  return record;
}

TEST(Clock, EveryTenthIsReleasedOnceADay) {
  {
    // Six steps per hour: 0.1 to 23.8 once a day, exactly as comparing the doubles
    // prev + 0.01 <= t <= clock would release them.
    TrafficFixture f;
    const DayRecord r = RunDays(f, "6", 288, -3, 243);
    std::map<int, int> times;
    for (int s = 0; s < 288; ++s) {
      std::set<int> byDoubles;
      for (int k = -3; k <= 243; ++k) {
        const double t = static_cast<double>(k) * 0.1;
        if (r.before[s] + 0.01 <= t && t <= r.after[s]) byDoubles.insert(k);
      }
      EXPECT_EQ(r.released[s], byDoubles) << "step " << s + 1;
      for (int k : r.released[s]) ++times[k];
    }
    for (int k = -3; k <= 243; ++k) EXPECT_EQ(times[k], k >= 1 && k <= 238 ? 2 : 0) << k;
  }
  {
    // Ten steps per hour: every tenth 0.1 to 23.9 once a day (comparing doubles would lose
    // 42 of them).
    TrafficFixture f;
    const DayRecord r = RunDays(f, "10", 480, -3, 243);
    std::map<int, int> times;
    int byDoubles = 0;
    for (int s = 0; s < 480; ++s) {
      for (int k : r.released[s]) ++times[k];
      for (int k = 1; k <= 239; ++k) {
        const double t = static_cast<double>(k) * 0.1;
        if (r.before[s] + 0.01 <= t && t <= r.after[s]) ++byDoubles;
      }
    }
    for (int k = -3; k <= 243; ++k) EXPECT_EQ(times[k], k >= 1 && k <= 239 ? 2 : 0) << k;
    EXPECT_EQ(byDoubles, 2 * (239 - 42));
  }
}

TEST(Clock, ReleasesFollowTheCellOrderWithEveningFirst) {
  LineNetwork f;
  RouteRef r1 = f.MakeRoute({f.A, f.B, f.C});
  RouteRef r2 = f.MakeRoute({f.A, f.B, f.C});
  RouteRef r3 = f.MakeRoute({f.A, f.B, f.C});
  RouteRef r4 = f.MakeRoute({f.C, f.B, f.A});
  f.AddTrip(0, 1, r1, 2, 90);  // released third
  f.AddTrip(0, 0, r2, 3, 90);  // first
  f.AddTrip(1, 0, r3, 90, 2);  // second, as a morning vehicle
  f.AddTrip(2, 0, r4, 1, 1);   // both times in step 1: only the evening vehicle
  f.model.SimulationStep();
  ASSERT_EQ(f.model.day.travellers.size(), 1u);
  EXPECT_EQ(f.model.day.travellers[0]->route, r4);
  EXPECT_EQ(f.model.day.travellers[0]->direction, 0);
  EXPECT_EQ(f.model.day.travellers[0]->currentNode, f.B);
  // Step 2's window [0.18, 0.33] holds the tenths 2 and 3.
  f.model.SimulationStep();
  ASSERT_EQ(f.model.day.travellers.size(), 3u);
  EXPECT_EQ(f.model.day.travellers[0]->route, r2);
  EXPECT_EQ(f.model.day.travellers[1]->route, r3);
  EXPECT_EQ(f.model.day.travellers[1]->direction, 1);
  EXPECT_EQ(f.model.day.travellers[1]->currentNode, f.B);
  EXPECT_EQ(f.model.day.travellers[1]->previousNode, f.C);
  EXPECT_EQ(f.model.day.travellers[2]->route, r1);
}

TEST(Clock, UnusualTimeScales) {
  SeparatorGuard guard;
  SetDecimalSeparator(',');
  {
    TrafficFixture f;
    f.SetTimeScale("300");
    EXPECT_EQ(f.model.day.stepsPerHour, 44);
    EXPECT_EQ(f.model.day.stepsPerDay, 1056);
    EXPECT_EQ(f.Caption(ValueLabel::Min), "1 min");
    f.model.SimulationStep();
    EXPECT_EQ(f.Caption(ValueLabel::Time), "0,02");
  }
  {
    // Negative steps per hour: the clock runs through negative hours and only the wrap
    // step's window, -23.97 to 0, is not empty.
    LineNetwork f;
    const RouteRef zero = f.AddTrip(0, 0, f.MakeRoute({f.A, f.B, f.C}), 0, 0).route;
    f.AddTrip(0, 0, f.MakeRoute({f.A, f.B, f.C}), 1, 239);
    f.SetTimeScale("200");
    EXPECT_EQ(f.model.day.stepsPerHour, -56);
    EXPECT_EQ(f.model.day.stepsPerDay, -1344);
    EXPECT_EQ(f.Caption(ValueLabel::Min), "-1 min");
    f.model.SimulationStep();
    EXPECT_EQ(f.Caption(ValueLabel::Time), "-0,02");
    for (int s = 2; s <= 1343; ++s) {
      f.model.SimulationStep();
      ASSERT_TRUE(f.model.day.travellers.empty()) << s;
    }
    EXPECT_EQ(f.Caption(ValueLabel::Time), "-23,98");
    f.model.SimulationStep();
    EXPECT_EQ(f.Caption(ValueLabel::Time), "0");
    ASSERT_EQ(f.model.day.travellers.size(), 1u);
    EXPECT_EQ(f.model.day.travellers[0]->route, zero);
  }
  {
    // A zero scale fails every step after counting it, changing nothing else.
    TrafficFixture f;
    EXPECT_THROW(f.SetTimeScale("0"), VError);
    for (uint32_t s = 1; s <= 2; ++s) {
      try {
        f.model.SimulationStep();
        ADD_FAILURE() << "no error";
      } catch (const VError& e) {
        EXPECT_STREQ(e.what(), "Division durch Null");
      }
      EXPECT_EQ(f.model.day.stepCount, s);
    }
    EXPECT_EQ(f.Caption(ValueLabel::Time), "<unset>");
    EXPECT_EQ(f.Caption(ValueLabel::OnRoad), "<unset>");
    EXPECT_EQ(f.host.chartLine, 11.0);
  }
}

TEST(Clock, TripsWithoutPlanOrWorkplaceNeverDepart) {
  LineNetwork f;
  // Not planned: departures 0 and no route.
  f.model.town.EditTrips(*f.model.town.cells.At(0, 0)).resize(3);
  // Routed and due, but without a workplace.
  Trip& homeless = f.AddTrip(1, 0, f.MakeRoute({f.A, f.B, f.C}), 1, 80);
  homeless.destCol = kNoWorkplace;
  homeless.destRow = kNoWorkplace;
  for (int s = 0; s < 288; ++s) {
    f.model.SimulationStep();
    ASSERT_EQ(f.Caption(ValueLabel::OnRoad), "0") << s;
  }
}

TEST(Clock, IndexFollowsReplanning) {
  LineNetwork f;
  f.AddTrip(0, 0, f.MakeRoute({f.A, f.B, f.C}), 5, 90);
  f.model.SimulationStep();  // builds the index: the trip is due at 0.5 (step 3)
  // A change through the town moves its version, and the next step indexes the trips anew.
  f.model.town.EditTrips(*f.model.town.cells.At(0, 0))[0].eveningDeparture = 0.2;
  f.model.SimulationStep();
  EXPECT_EQ(f.model.day.travellers.size(), 1u);
  f.model.SimulationStep();
  EXPECT_TRUE(f.model.day.travellers.empty());
}

TEST(LinkLoads, BadScaleFailsAfterMovementWithTheOverlayCleared) {
  LineNetwork f;
  f.AddTrip(0, 0, f.MakeRoute({f.A, f.B, f.C}), 1, 90);
  f.model.network.nodeList[0]->links.push_back(TLink{1, 0});  // A's first link, toward B, load 0
  const auto expectFailure = [&](const std::string& scale, const std::string& message) {
    f.host.edits[EditBox::TScale] = scale;
    f.model.CreateOverlay();
    f.host.overlay->canvas.SetPenColor(clWhite);
    f.host.overlay->canvas.MoveTo(0, 0);
    f.host.overlay->canvas.LineTo(50, 50);
    try {
      f.model.SimulationStep();
      ADD_FAILURE() << "no error for " << scale;
    } catch (const VError& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
    EXPECT_TRUE(f.OverlayBlack()) << scale;
  };
  expectFailure("x", "'x' ist kein gültiger Integerwert");
  // The vehicle has moved and its window is used up, but no label or chart line has changed.
  EXPECT_EQ(f.B->linkLoad[f.Idx(f.A)], 1);
  EXPECT_EQ(f.model.day.stepCount, 1u);
  EXPECT_EQ(f.Caption(ValueLabel::OnRoad), "1");
  EXPECT_EQ(f.Caption(ValueLabel::Time), "<unset>");
  EXPECT_EQ(f.Caption(ValueLabel::Steps), "<unset>");
  EXPECT_EQ(f.model.day.prevClockHours, f.model.day.clockHours);
  EXPECT_EQ(f.host.chartLine, 11.0);

  expectFailure("-1", "'-1' ist kein gültiger Integerwert");
  // "0": the first link drawn is A's toward B, whose load is 0.
  expectFailure("0", "Ungültige Gleitkommaoperation");
  EXPECT_EQ(f.model.day.prevClockHours, 0.5);

  // With a load on the first link drawn, "0" is a division by zero.
  f.model.network.nodeList[0]->links.clear();
  f.B->linkLoad[f.Idx(f.A)] = 4;
  try {
    DrawLinkLoads(f.model.network, f.model.Overlay(), 0);
    ADD_FAILURE() << "no error";
  } catch (const VError& e) {
    EXPECT_STREQ(e.what(), "Gleitkommadivision durch Null");
  }
  // Without any link nothing is divided.
  for (auto& node : f.model.network.nodeList) node->links.clear();
  EXPECT_NO_THROW(DrawLinkLoads(f.model.network, f.model.Overlay(), 0));
}

}  // namespace
}  // namespace velmora

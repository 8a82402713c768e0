// The owners' own rules: the town's version moves with every change of its cells or trips (and
// only then), the network has every holder of node references drop them before its nodes go,
// a node knows its place in the list, and the day's vehicles come from and go back to its pool.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/poison.h"
#include "model/agent.h"
#include "model/cell.h"
#include "model/day.h"
#include "model/network.h"
#include "model/town.h"
#include "support/model_fixture.h"

namespace velmora {
namespace {

TEST(Town, EveryChangeOfCellsOrTripsMovesTheVersionAndReadingDoesNot) {
  Town town;
  uint64_t version = town.Version();
  auto moved = [&] {
    const bool changed = town.Version() != version;
    version = town.Version();
    return changed;
  };
  town.SetGeometry(30, 640, 666);
  EXPECT_FALSE(moved());  // the geometry alone holds no trips
  town.NewGrid();
  EXPECT_TRUE(moved());
  CreateCells(town);
  EXPECT_TRUE(moved());
  TCell& cell = *town.cells.At(2, 1);
  town.EditTrips(cell).resize(3);
  EXPECT_TRUE(moved());
  // Reading the cells and their trips, and changing a cell's other fields, leave it.
  size_t trips = 0;
  town.cells.ForEach([&](const TCell& c) { trips += c.trips.size(); });
  EXPECT_EQ(trips, 3u);
  cell.color = clRed;
  cell.nearestNode = 4;
  EXPECT_FALSE(moved());
  town.DropNodeReferences(kNoProgress);
  EXPECT_TRUE(moved());
  EXPECT_EQ(cell.nearestNode, kNoNode);
  town.Clear();
  EXPECT_TRUE(moved());
  EXPECT_TRUE(town.cells.Empty());
}

// A holder of node references that notes when it is told to drop them, and whether the nodes
// were still there then.
struct Holder final : NodeReferences {
  explicit Holder(const Network& n) : network(n) {}
  void DropNodeReferences(const Progress&) override {
    nodesLeft.push_back(network.nodeList.size());
  }
  const Network& network;
  std::vector<size_t> nodesLeft;
};

TEST(NetworkOwner, NodesKnowTheirIndexAndGoOnlyAfterEveryReferenceToThem) {
  Network network;
  Holder first(network), second(network);
  network.Attach(first);
  network.Attach(second);
  for (int k = 0; k < 5; ++k) network.nodeList.push_back(std::make_unique<TAgent>());
  for (size_t k = 0; k < 5; ++k) {
    EXPECT_EQ(network.nodeList[k]->Index(), static_cast<int32_t>(k));
    EXPECT_EQ(network.IndexOfNode(network.nodeList[k].get()), static_cast<int32_t>(k));
  }
  TAgent stranger;
  EXPECT_EQ(network.IndexOfNode(&stranger), kNoNode);
  EXPECT_EQ(network.IndexOfNode(nullptr), kNoNode);
  network.routeList = {network.nodeList[3].get(), network.nodeList[1].get()};

  network.DeleteNodes();
  EXPECT_EQ(first.nodesLeft, std::vector<size_t>{5});  // told while the nodes were still there
  EXPECT_EQ(second.nodesLeft, std::vector<size_t>{5});
  EXPECT_TRUE(network.routeList.empty());
  EXPECT_TRUE(network.nodeList.empty());
  // Nodes appended later count from 0 again.
  network.nodeList.push_back(std::make_unique<TAgent>());
  EXPECT_EQ(network.nodeList[0]->Index(), 0);
}

TEST(NetworkOwner, EveryCommandThatDropsTheNodesDropsTheRoutesVehiclesAndCatchmentsFirst) {
  // "agents delete", "new setup" and "delete all" each leave nothing that refers to a node.
  for (int command = 0; command < 3; ++command) {
    testing::ModelFixture f;
    f.Start();
    Model& m = f.model;
    f.host.edits[EditBox::NodeNumber] = "5";
    m.B_agCreateClick();
    const RouteRef route = std::make_shared<const Route>(
        Route{m.network.nodeList[1].get(), m.network.nodeList[4].get()});
    m.town.EditTrips(*m.town.cells.At(3, 3)).push_back(Trip{1, 1, route, 8.0, 17.0});
    m.day.Release(route, false);
    m.network.routeList = *route;
    ASSERT_GE(m.town.cells.At(0, 0)->nearestNode, 0);
    if (command == 0) m.B_agDeleteClick();
    if (command == 1) m.FormCreate();
    if (command == 2) m.B_deleteAllClick();
    SCOPED_TRACE(command);
    EXPECT_TRUE(m.network.nodeList.empty());
    EXPECT_TRUE(m.network.routeList.empty());
    EXPECT_TRUE(m.day.travellers.empty());
    m.town.cells.ForEach([](const TCell& cell) {
      EXPECT_EQ(cell.nearestNode, kNoNode);
      for (const Trip& trip : cell.trips) EXPECT_FALSE(trip.route);
    });
  }
}

TEST(Day, VehiclesComeFromThePoolAndGoBack) {
  TAgent a, b, c;
  const RouteRef route = std::make_shared<const Route>(Route{&a, &b, &c});
  auto day = std::make_unique<Day>();
  TTraveller* evening = day->Release(route, false);
  TTraveller* morning = day->Release(route, true);
  EXPECT_EQ(day->travellers, (std::vector<TTraveller*>{evening, morning}));
  EXPECT_EQ(evening->currentNode, &a);
  EXPECT_EQ(morning->currentNode, &c);
  EXPECT_EQ(morning->At(1), &b);
  EXPECT_EQ(route.use_count(), 3);
  day->travellers.pop_back();
  day->Retire(morning);
  EXPECT_EQ(route.use_count(), 2);
#if defined(VELMORA_ADDRESS_SANITIZER)
  // A vehicle given back is poisoned: a use after it is reported.
  EXPECT_TRUE(__asan_address_is_poisoned(morning));
  EXPECT_FALSE(__asan_address_is_poisoned(evening));
#endif
  // Vehicles still on the road go with the day (the sanitizer build checks that nothing leaks).
  day.reset();
  EXPECT_EQ(route.use_count(), 1);
}

}  // namespace
}  // namespace velmora

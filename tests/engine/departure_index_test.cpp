// The departure index on its own: the keys, trips and routes of windows against the plain test
// of every trip.
#include "engine/departure_index.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

namespace velmora {
namespace {

struct PlainTrip {
  double evening = 0.0;
  double morning = 0.0;
  const void* route = nullptr;  // null: not listed
};

// Cells of trips in scan order, built into an index as the day builds it.
struct Trips {
  std::vector<std::vector<PlainTrip>> cells;
  std::vector<const void*> routes;  // by number, as the index numbers them

  void Build(DepartureIndex& index, size_t maxRouteIds = DepartureIndex::kMaxRouteIds) {
    size_t total = 0;
    for (const auto& cell : cells) total += cell.size();
    routes.clear();
    index.Begin(total, maxRouteIds);
    for (const auto& cell : cells) {
      index.NextCell();
      for (const PlainTrip& trip : cell) {
        const int64_t number = index.AddTrip(trip.evening, trip.morning, trip.route);
        if (number == static_cast<int64_t>(routes.size())) routes.push_back(trip.route);
      }
    }
    index.Finish(7);
  }
};

TEST(DepartureIndex, WindowsAsThePlainScanOverDenseAndSparseTenths) {
  // Tenth 80 holds a departure every few trips, 81 and 82 one every tens of thousands (the
  // index stores short differences there and whole keys here), some trips are not listed, one
  // cell position has no trips; the windows' keys, trips and routes against the plain test of
  // every trip in scan order, with and without the routes numbered.
  const int shortRoute = 0, longRoute = 0;
  Trips trips;
  uint32_t ordinal = 0;
  for (int cell = 0; cell < 6; ++cell) {
    trips.cells.emplace_back();
    if (cell == 1) continue;
    for (int k = 0; k < 30000; ++k) {
      const uint32_t j = ordinal++;
      PlainTrip trip;
      trip.route = j % 11 == 0 || j % 13 == 0 ? nullptr
                   : j % 2 == 0               ? static_cast<const void*>(&shortRoute)
                                              : &longRoute;
      trip.evening = 0.1 * (j % 7 == 0 ? 80 : j % 40000 == 5 ? 81 : 200);
      trip.morning = 0.1 * (j % 3 == 0 ? 80 : j % 50000 == 7 ? 82 : 201);
      trips.cells.back().push_back(trip);
    }
  }
  for (const size_t maxRouteIds : {DepartureIndex::kMaxRouteIds, size_t{1}}) {
    DepartureIndex index;
    trips.Build(index, maxRouteIds);
    EXPECT_TRUE(index.BuiltAt(7));
    EXPECT_FALSE(index.BuiltAt(8));
    ASSERT_EQ(index.NumbersRoutes(), maxRouteIds > 1);
    for (const auto& [lo, hi] : {std::pair{801, 810}, {801, 820}, {810, 830}, {-30000, 30000}}) {
      std::vector<uint32_t> plain;
      std::vector<std::pair<size_t, size_t>> plainTrips;
      uint32_t k = 0;
      for (size_t c = 0; c < trips.cells.size(); ++c) {
        for (size_t t = 0; t < trips.cells[c].size(); ++t, ++k) {
          const PlainTrip& trip = trips.cells[c][t];
          const auto due = [&](double time) {
            const int64_t tenths =
                std::llrint(static_cast<long double>(time) / static_cast<long double>(0.1));
            return lo <= 10 * tenths && 10 * tenths <= hi;
          };
          if (trip.route == nullptr) continue;
          if (due(trip.evening)) {
            plain.push_back(DepartureIndex::Key(k, false));
            plainTrips.emplace_back(c, t);
          } else if (due(trip.morning)) {
            plain.push_back(DepartureIndex::Key(k, true));
            plainTrips.emplace_back(c, t);
          }
        }
      }
      const std::vector<uint32_t> keys = index.Due(lo, hi);
      ASSERT_EQ(keys, plain) << lo << " " << hi;
      std::vector<std::pair<size_t, size_t>> found;
      index.ForEachTrip(keys, [&](size_t cell, size_t trip) { found.emplace_back(cell, trip); });
      ASSERT_EQ(found, plainTrips) << lo << " " << hi;
      if (index.NumbersRoutes()) {
        for (size_t i = 0; i < keys.size(); ++i) {
          const auto [c, t] = plainTrips[i];
          ASSERT_EQ(trips.routes[index.RouteNumberOf(keys[i])], trips.cells[c][t].route);
        }
      }
    }
  }
}

}  // namespace
}  // namespace velmora

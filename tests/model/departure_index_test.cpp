// The departure index on its own: the keys and routes of windows against the plain test of
// every trip.
#include "model/departure_index.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

namespace velmora {
namespace {

TEST(DepartureIndex, WindowsAsThePlainScanOverDenseAndSparseTenths) {
  // Tenth 80 holds a departure every few trips, 81 and 82 one every tens of thousands (the
  // index stores short differences there and whole keys here), some trips are not listed; the
  // windows' keys and routes against the plain test of every trip in scan order.
  TAgent a, b, c;
  const RouteRef shortRoute = std::make_shared<const Route>(Route{&a, &b});
  const RouteRef longRoute = std::make_shared<const Route>(Route{&a, &b, &c});
  CellGrid cells;
  cells.Resize(3, 2);
  uint32_t ordinal = 0;
  for (int32_t row = 0; row < 2; ++row)
    for (int32_t col = 0; col < 3; ++col) {
      if (col == 1 && row == 0) continue;  // a position without a cell
      auto cell = std::make_unique<TCell>(0, 0, 1);
      cell->trips.resize(30000);
      for (Trip& trip : cell->trips) {
        const uint32_t j = ordinal++;
        trip.route = j % 11 == 0 ? nullptr : j % 2 == 0 ? shortRoute : longRoute;
        if (j % 13 == 0) trip.destCol = kNoWorkplace;
        trip.eveningDeparture = 0.1 * (j % 7 == 0 ? 80 : j % 40000 == 5 ? 81 : 200);
        trip.morningDeparture = 0.1 * (j % 3 == 0 ? 80 : j % 50000 == 7 ? 82 : 201);
      }
      cells.Set(col, row, std::move(cell));
    }
  DepartureIndex index;
  index.Build(cells);
  ASSERT_TRUE(index.NumbersRoutes());
  for (const auto& [lo, hi] : {std::pair{801, 810}, {801, 820}, {810, 830}, {-30000, 30000}}) {
    std::vector<uint32_t> plain;
    std::vector<const Route*> plainRoutes;
    uint32_t k = 0;
    cells.ForEach([&](const TCell& cell) {
      for (const Trip& trip : cell.trips) {
        const auto due = [&](double t) {
          const int64_t tenths =
              std::llrint(static_cast<long double>(t) / static_cast<long double>(0.1));
          return lo <= 10 * tenths && 10 * tenths <= hi;
        };
        if (trip.HasWorkplace() && trip.RouteCount() > 1) {
          if (due(trip.eveningDeparture)) {
            plain.push_back(DepartureIndex::Key(k, false));
            plainRoutes.push_back(trip.route.get());
          } else if (due(trip.morningDeparture)) {
            plain.push_back(DepartureIndex::Key(k, true));
            plainRoutes.push_back(trip.route.get());
          }
        }
        ++k;
      }
    });
    const std::vector<uint32_t> keys = index.Due(lo, hi);
    ASSERT_EQ(keys, plain) << lo << " " << hi;
    for (size_t i = 0; i < keys.size(); ++i)
      ASSERT_EQ(index.RouteOf(keys[i]).get(), plainRoutes[i]) << lo << " " << hi << " " << i;
  }
}

}  // namespace
}  // namespace velmora

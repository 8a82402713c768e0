// The departure index: the trips that can depart, by departure tenth, so that a step of the
// clock visits only the trips due in its window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/cell.h"

namespace velmora {

// Departure times are whole tenths stored as k times the double nearest 0.1.
constexpr double kTenth = 0.1;
// The trips that can put a vehicle on the road, grouped by departure time in whole tenths of an
// hour, so that a step visits only the trips due in its window instead of every trip.
//
// A trip is listed when it has a workplace and a route of more than one entry; its evening
// and morning departures each go to the bucket of their tenth. Entries are keys that sort in
// the order of the full scan: cell rows outer, columns inner, trips in array order, the
// evening departure before the morning one. A key is the trip's number in that order (its
// ordinal) above a morning bit; a bucket keeps its keys as differences from one to the next,
// mostly two bytes per departure, where a cell and trip index took eight. The index keeps where
// every cell's trips start among the ordinals to turn keys back into trips.
//
// The index is built from the cells at the end of planning, or by the next step when the grid's
// version shows that cells or trips changed since it was built.
class DepartureIndex {
 public:
  // The clock never leaves |3072| hours (3071 steps of the day over at least one step per
  // hour), so no departure beyond this many tenths can ever be due.
  static constexpr int32_t kMaxTenths = 30720;

  // Most distinct routes the index numbers (its route numbers take 16 bits).
  static constexpr size_t kMaxRouteIds = 65535;

  // Whether the index was built from the grid as it is now.
  bool ValidFor(const CellGrid& cells) const { return built_ && version_ == cells.Version(); }
  // Builds the index; the listed trips' routes are numbered as well when there are at most
  // maxRouteIds distinct ones among them.
  void Build(const CellGrid& cells, size_t maxRouteIds = kMaxRouteIds);

  // Whether the routes are numbered: RouteOf then gives the route of every key, and a step
  // need not visit the trips at all.
  bool NumbersRoutes() const { return numbered_; }
  // The route the key's trip held when the index was built (more than one entry).
  const RouteRef& RouteOf(uint32_t key) const { return routes_[routeOf_[OrdinalOf(key)]]; }

  // The keys of the departures due in the window of whole hundredths [lo, hi]: departure k is
  // due when lo <= 10 k <= hi. Filled in scan order; a trip whose evening departure is due
  // gives only that key (its morning departure is then not considered in this window).
  const std::vector<uint32_t>& Due(int64_t lo, int64_t hi) const;
  // The trips of keys in scan order (as Due gives them), null for a key that fits no trip of
  // the cells as they are now.
  const std::vector<const Trip*>& Trips(const CellGrid& cells,
                                        const std::vector<uint32_t>& keys) const;

  static uint32_t Key(uint32_t ordinal, bool morning) {
    return (ordinal << 1) | (morning ? 1u : 0u);
  }
  static uint32_t OrdinalOf(uint32_t key) { return key >> 1; }
  static bool IsMorning(uint32_t key) { return (key & 1u) != 0; }

 private:
  bool built_ = false;
  uint64_t version_ = 0;  // the grid's version when built
  // Bucket b holds tenth b - kMaxTenths: keyCounts_[b] keys, as differences in the 16-bit
  // units units_[offsets_[b] .. offsets_[b + 1]).
  std::vector<uint32_t> offsets_;
  std::vector<uint32_t> keyCounts_;
  std::vector<uint16_t> units_;
  // The ordinal of the first trip of every cell (row-major), and the total at the end.
  std::vector<uint32_t> cellFirst_;
  // The listed trips' distinct routes and, by ordinal, the number of each listed trip's route:
  // two bytes per trip in one array, where reading the route from the trip took a cache miss
  // (and a page walk) per release somewhere in hundreds of megabytes of trips.
  bool numbered_ = false;
  std::vector<RouteRef> routes_;
  std::vector<uint16_t> routeOf_;
  // Due's and Trips' results and Due's merge space, kept between calls.
  mutable std::vector<uint32_t> due_;
  mutable std::vector<const Trip*> trips_;
  mutable std::vector<uint32_t> scratch_;
};

}  // namespace velmora

// The departure index: the departures of a day's trips by tenth of an hour, so that a step of
// the clock visits only the trips due in its window. Plain twin: testing every trip of every
// cell on every step (tests/support/plain_day.h); step_oracle_test and departure_index_test
// hold the index to it.
#pragma once

#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/flat_map.h"

namespace velmora {

// Departure times are whole tenths stored as k times the double nearest 0.1.
constexpr double kTenth = 0.1;

// The trips that can put a vehicle on the road, grouped by departure time in whole tenths of an
// hour.
//
// The index is built from the trips in scan order (cells rows outer, columns inner, a cell's
// trips in order), each given with its two departure times and, when it can put a vehicle on
// the road, its route. A listed trip's evening and morning departures each go to the bucket of
// their tenth. Entries are keys that sort in scan order, the evening departure before the
// morning one: a key is the trip's number in that order (its ordinal) above a morning bit. A
// bucket keeps its keys as differences from one to the next, mostly two bytes per departure.
// The index keeps where every cell's trips start among the ordinals, to turn keys back into
// cells and trips, and numbers the distinct routes of the listed trips, so that a step can
// release vehicles without reading the trips at all.
class DepartureIndex {
 public:
  // The clock never leaves |3072| hours (3071 steps of the day over at least one step per
  // hour), so no departure beyond this many tenths can ever be due.
  static constexpr int32_t kMaxTenths = 30720;
  // Most distinct routes the index numbers (its route numbers take 16 bits).
  static constexpr size_t kMaxRouteIds = 65535;
  // A trip's position in no cell.
  static constexpr size_t kNoCell = SIZE_MAX;

  // Building, in scan order: Begin; then for every cell position NextCell and AddTrip for each
  // of its trips; then Finish with the version of the trips it was built from.
  void Begin(size_t tripCount, size_t maxRouteIds = kMaxRouteIds);
  void NextCell() { cellFirst_.push_back(static_cast<uint32_t>(tenths_.size() / 2)); }
  // A trip with its departures, and its route when it can put a vehicle on the road (null when
  // it cannot: it is not listed). The route's number (its place among the distinct routes, in
  // the order they first come), or -1 when the trip is not listed or the routes are not
  // numbered.
  int64_t AddTrip(double evening, double morning, const void* route) {
    const size_t trip = tenths_.size() / 2;
    int32_t eveningTenth = kNoTenth;
    int32_t morningTenth = kNoTenth;
    int64_t number = -1;
    if (route != nullptr) {
      eveningTenth = TenthsOf(evening);
      morningTenth = TenthsOf(morning);
      if (numbered_) {
        // A new route takes the next number: the table's size before it goes in.
        const auto [slot, isNew] =
            routeNumbers_.Insert(route, static_cast<uint16_t>(routeNumbers_.size()));
        if (isNew && routeNumbers_.size() > maxRouteIds_) {
          // More distinct routes than can be numbered: the index gives up numbering them.
          numbered_ = false;
        } else {
          number = *slot;
        }
      }
    }
    if (numbered_) routeOf_.push_back(number < 0 ? uint16_t{0} : static_cast<uint16_t>(number));
    tenths_.push_back(eveningTenth == kNoTenth ? kNone : static_cast<int16_t>(eveningTenth));
    tenths_.push_back(morningTenth == kNoTenth ? kNone : static_cast<int16_t>(morningTenth));
    // Ordinals beyond 32 bits are refused in Finish, before any key is stored.
    const auto ordinal = static_cast<uint32_t>(trip);
    if (eveningTenth != kNoTenth) Count(eveningTenth, Key(ordinal, false));
    if (morningTenth != kNoTenth) Count(morningTenth, Key(ordinal, true));
    return number;
  }
  void Finish(uint64_t version);

  // Whether the index was built from the trips as they were at this version.
  bool BuiltAt(uint64_t version) const { return built_ && version_ == version; }
  // Whether the routes are numbered: every key then has its trip's route number, and a step
  // need not visit the trips.
  bool NumbersRoutes() const { return numbered_; }
  // The number of the route the key's trip had when the index was built.
  uint16_t RouteNumberOf(uint32_t key) const {
    assert(numbered_ && OrdinalOf(key) < routeOf_.size());
    return routeOf_[OrdinalOf(key)];
  }

  // The keys of the departures due in the window of whole hundredths [lo, hi]: departure k is
  // due when lo <= 10 k <= hi. In scan order; a trip whose evening departure is due gives only
  // that key (its morning departure is then not considered in this window).
  const std::vector<uint32_t>& Due(int64_t lo, int64_t hi) const;
  // f(cell, trip) for every key in order (as Due gives them): the cell's position in scan order
  // and the trip's index in it, or kNoCell for a key beyond the cells.
  template <typename F>
  void ForEachTrip(const std::vector<uint32_t>& keys, F&& f) const;

  static uint32_t Key(uint32_t ordinal, bool morning) {
    return (ordinal << 1) | (morning ? 1u : 0u);
  }
  static uint32_t OrdinalOf(uint32_t key) { return key >> 1; }
  static bool IsMorning(uint32_t key) { return (key & 1u) != 0; }

 private:
  static constexpr size_t kBuckets = 2 * static_cast<size_t>(kMaxTenths) + 1;
  static constexpr int32_t kNoTenth = INT32_MIN;
  // Tenths within +-kMaxTenths fit 16 bits; this one lies outside them.
  static constexpr int16_t kNone = INT16_MIN;
  static_assert(kMaxTenths <= INT16_MAX);
  // A bucket's keys ascend, so they are kept as differences, each from the key before (the
  // first from 0), in 16-bit units: one unit for a difference below kEscape, else kEscape and
  // the key itself in two more units, high half first. At the finest grid a bucket holds a key
  // for every few dozen trips, so nearly all take one unit: half the room of whole keys.
  static constexpr uint16_t kEscape = 0xFFFF;
  static size_t UnitsOf(uint32_t difference) { return difference < kEscape ? 1 : 3; }

  // The whole number of tenths a departure time stands for, or kNoTenth when it lies beyond
  // any clock value (or is not a number) and so can never be due.
  //
  // The tenth is the extended quotient t / F (F the double nearest 0.1) rounded half to even.
  // The double quotient differs from it by less than 4e-12 here (|q| < 2^15, half an ulp of a
  // double at most, plus a 64-bit mantissa's rounding), so where the double quotient lies more
  // than 1e-9 from the middle between two whole numbers both round to the same one; only times
  // that close to a middle (none of the k F that planning stores) take the extended quotient.
  static int32_t TenthsOf(double t) {
    if (!(std::fabs(t) <= kMaxTenths * kTenth)) return kNoTenth;
    const double q = t / kTenth;
    const auto nearest = static_cast<int64_t>(q >= 0 ? q + 0.5 : q - 0.5);
    int64_t k = nearest;
    if (!(std::fabs(std::fabs(q - static_cast<double>(nearest)) - 0.5) > 1e-9))
      k = ExtendedTenths(t);
    if (k < -kMaxTenths || k > kMaxTenths) return kNoTenth;
    return static_cast<int32_t>(k);
  }
  static int32_t ExtendedTenths(double t);
  // A key into its bucket's counts of keys and units.
  void Count(int32_t tenth, uint32_t key) {
    const auto b = static_cast<size_t>(tenth + kMaxTenths);
    ++keyCounts_[b];
    offsets_[b + 1] += static_cast<uint32_t>(UnitsOf(key - lastKey_[b]));
    lastKey_[b] = key;
  }

  bool built_ = false;
  uint64_t version_ = 0;  // of the trips it was built from
  // While building: the tenths of every trip's evening and morning departure (kNone for none),
  // and how many keys and 16-bit units each bucket takes.
  std::vector<int16_t> tenths_;
  std::vector<uint32_t> lastKey_;
  size_t maxRouteIds_ = 0;
  // Bucket b holds tenth b - kMaxTenths: keyCounts_[b] keys, as differences in the 16-bit
  // units units_[offsets_[b] .. offsets_[b + 1]).
  std::vector<uint32_t> offsets_;
  std::vector<uint32_t> keyCounts_;
  std::vector<uint16_t> units_;
  // The ordinal of the first trip of every cell position, and the total at the end.
  std::vector<uint32_t> cellFirst_;
  // By ordinal, the number of each listed trip's route: two bytes per trip in one array, where
  // reading the route from the trip took a cache miss (and a page walk) per release somewhere in
  // hundreds of megabytes of trips.
  bool numbered_ = false;
  std::vector<uint16_t> routeOf_;
  FlatMap<const void*, uint16_t> routeNumbers_;  // while building: the number of each route
  // Due's result and merge space, kept between calls.
  mutable std::vector<uint32_t> due_;
  mutable std::vector<uint32_t> scratch_;
};

template <typename F>
void DepartureIndex::ForEachTrip(const std::vector<uint32_t>& keys, F&& f) const {
  // The keys come in scan order, so the cell of each lies at or after the cell of the one
  // before: one walk over the cells' starts serves the whole window.
  const size_t cells = cellFirst_.empty() ? 0 : cellFirst_.size() - 1;
  size_t cell = 0;
  for (const uint32_t key : keys) {
    const uint32_t ordinal = OrdinalOf(key);
    while (cell < cells && cellFirst_[cell + 1] <= ordinal) ++cell;
    if (cell < cells)
      f(cell, static_cast<size_t>(ordinal - cellFirst_[cell]));
    else
      f(kNoCell, size_t{0});
  }
}

}  // namespace velmora

// The vehicle record TTraveller and the departure index the clock releases vehicles from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/agent.h"
#include "model/cell.h"

namespace velmora {

// A vehicle on the road. It drives its route in driving order: an evening vehicle
// (direction 0) the trip's route as stored, a morning vehicle (direction 1) reversed. The
// route is shared read-only with the trip it came from, so it is the vehicle's own copy in
// effect: later planning replaces a trip's route without changing this one.
struct TTraveller {
  RouteRef route;
  TAgent* currentNode = nullptr;
  TAgent* previousNode = nullptr;
  uint8_t direction = 0;
  // Moves made so far: the position of currentNode in driving order.
  uint32_t position = 0;
  // Remembered node-list indices of currentNode and previousNode. They are only hints: the
  // movement checks them against nodeList before use and looks the node up when they do not
  // match, so a vehicle built without them works all the same.
  int32_t currentIndex = kNoNode;
  int32_t previousIndex = kNoNode;
  // The route's entries and their number, cached by the movement so that it reads the entries
  // without going through the shared route object; null until the first move.
  TAgent* const* entries = nullptr;
  uint32_t entryCount = 0;

  // Vehicles come and go by the tens of thousands in a step at the peak; they are kept in
  // blocks of one size reused from a free list instead of the general heap.
  static void* operator new(size_t size);
  static void operator delete(void* block, size_t size) noexcept;

  size_t Count() const { return route->size(); }
  // Entry k of the route in driving order.
  TAgent* At(size_t k) const {
    return direction == 0 ? (*route)[k] : (*route)[route->size() - 1 - k];
  }
};

// The trips that can put a vehicle on the road, grouped by departure time in whole tenths of an
// hour, so that a step visits only the trips due in its window instead of every trip.
//
// A trip is listed when it has a workplace and a route of more than one entry; its evening
// and morning departures each go to the bucket of their tenth. Entries are keys that sort in
// the order of the full scan: cell rows outer, columns inner, trips in array order, the
// evening departure before the morning one.
//
// The index is built from the cells on first use and must be invalidated whenever trips,
// their departures or their routes change (Model::InvalidateDepartures).
class DepartureIndex {
 public:
  // The clock never leaves |3072| hours (3071 steps of the day over at least one step per
  // hour), so no departure beyond this many tenths can ever be due.
  static constexpr int32_t kMaxTenths = 30720;

  bool Valid() const { return valid_; }
  void Invalidate() { valid_ = false; }
  void Build(const CellGrid& cells);

  // The keys of the departures due in the window of whole hundredths [lo, hi]: departure k is
  // due when lo <= 10 k <= hi. Filled in scan order; a trip whose evening departure is due
  // gives only that key (its morning departure is then not considered in this window).
  void Due(int64_t lo, int64_t hi, std::vector<uint64_t>& keys) const;
  // Room for the keys of the usual window, taken by Build; callers reserve it for Due's output.
  size_t Reserved() const { return scratch_.capacity(); }

  // Key layout: cell (row * cols + column) in the high 32 bits, trip index above a morning bit.
  static uint64_t Key(uint32_t cell, uint32_t trip, bool morning) {
    return (static_cast<uint64_t>(cell) << 32) | (static_cast<uint64_t>(trip) << 1) |
           (morning ? 1u : 0u);
  }
  static uint32_t CellOf(uint64_t key) { return static_cast<uint32_t>(key >> 32); }
  static uint32_t TripOf(uint64_t key) { return static_cast<uint32_t>(key & 0xFFFFFFFFu) >> 1; }
  static bool IsMorning(uint64_t key) { return (key & 1u) != 0; }

 private:
  bool valid_ = false;
  // Bucket b holds tenth b - kMaxTenths; its keys are keys_[offsets_[b] .. offsets_[b + 1]).
  std::vector<uint32_t> offsets_;
  std::vector<uint64_t> keys_;
  // Merge space of Due, kept between calls.
  mutable std::vector<uint64_t> scratch_;
};

}  // namespace velmora

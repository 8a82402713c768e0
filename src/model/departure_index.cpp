// The departure index: building it from the cells and finding the departures of a window.
#include "model/departure_index.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "core/huge_pages.h"

namespace velmora {

namespace {

constexpr int32_t kNoTenth = INT32_MIN;

// The whole number of tenths a departure time stands for, or kNoTenth when it lies beyond
// any clock value (or is not a number) and so can never be due.
//
// The tenth is the extended quotient t / F (F the double nearest 0.1) rounded half to even.
// The double quotient differs from it by less than 4e-12 here (|q| < 2^15, half an ulp of a
// double at most, plus a 64-bit mantissa's rounding), so where the double quotient lies more
// than 1e-9 from the middle between two whole numbers both round to the same one; only times
// that close to a middle (none of the k F that planning stores) take the extended quotient.
int32_t TenthsOf(double t) {
  if (!(std::fabs(t) <= DepartureIndex::kMaxTenths * kTenth)) return kNoTenth;
  const double q = t / kTenth;
  const int64_t nearest = static_cast<int64_t>(q >= 0 ? q + 0.5 : q - 0.5);
  int64_t k = nearest;
  if (!(std::fabs(std::fabs(q - static_cast<double>(nearest)) - 0.5) > 1e-9)) {
    // The quotient is within +-30721 here: rounded half to even and converted in one step.
    k = std::llrint(static_cast<long double>(t) / static_cast<long double>(kTenth));
  }
  if (k < -DepartureIndex::kMaxTenths || k > DepartureIndex::kMaxTenths) return kNoTenth;
  return static_cast<int32_t>(k);
}

// Numbers distinct routes by their address, in the order they first come: an open-addressing
// table, as a general map costs more than the rest of a pass over tens of millions of trips.
// Its size is fixed, room for kMaxRouteIds at half load in 1 MB, as a growing table would
// leave its outgrown rooms in the heap. A slot holds an address (below 2^48, else the route is
// not numbered) in its low 48 bits and its number plus one above them; 0 is an empty slot.
class RouteNumbers {
 public:
  explicit RouteNumbers(std::vector<RouteRef>& routes) : routes_(routes), slots_(kSlots, 0) {}
  // The number of the route, or -1 when it would be number limit or beyond.
  int64_t Of(const RouteRef& route, size_t limit) {
    const auto address = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(route.get()));
    if ((address >> 48) != 0 || address == 0) return -1;
    size_t s = static_cast<size_t>(((address >> 4) * 0x9E3779B97F4A7C15ull) >> 32) & (kSlots - 1);
    for (; slots_[s] != 0; s = (s + 1) & (kSlots - 1))
      if ((slots_[s] & kAddressBits) == address) return static_cast<int64_t>(slots_[s] >> 48) - 1;
    if (routes_.size() >= std::min(limit, DepartureIndex::kMaxRouteIds)) return -1;
    slots_[s] = (static_cast<uint64_t>(routes_.size() + 1) << 48) | address;
    routes_.push_back(route);
    return static_cast<int64_t>(routes_.size()) - 1;
  }

 private:
  static constexpr size_t kSlots = size_t{1} << 17;
  static_assert(2 * DepartureIndex::kMaxRouteIds < kSlots && DepartureIndex::kMaxRouteIds < 65536);
  static constexpr uint64_t kAddressBits = (uint64_t{1} << 48) - 1;

  std::vector<RouteRef>& routes_;
  std::vector<uint64_t> slots_;
};

// A bucket's keys ascend, so they are kept as differences, each from the key before (the
// first from 0), in 16-bit units: one unit for a difference below kEscape, else kEscape and the
// key itself in two more units, high half first. At the finest grid a bucket holds a key for
// every few dozen trips, so nearly all take one unit: half the room of whole keys.
constexpr uint16_t kEscape = 0xFFFF;
size_t UnitsOf(uint32_t difference) {
  return difference < kEscape ? 1 : 3;
}

// Floor and ceiling of a / 10 for any sign of a.
int64_t FloorDiv10(int64_t a) {
  return a >= 0 ? a / 10 : -((-a + 9) / 10);
}
int64_t CeilDiv10(int64_t a) {
  return -FloorDiv10(-a);
}

}  // namespace

void DepartureIndex::Build(const CellGrid& cells, size_t maxRouteIds) {
  const int32_t cols = cells.Cols();
  const int32_t rows = cells.Rows();
  constexpr size_t kBuckets = 2 * static_cast<size_t>(kMaxTenths) + 1;
  // Tenths within +-kMaxTenths fit 16 bits; this one lies outside them.
  constexpr int16_t kNone = INT16_MIN;
  static_assert(kMaxTenths <= INT16_MAX);

  // Where every cell's trips start among the ordinals, and so the number of trips: the
  // tenths below take their room at once instead of growing (and copying) as they fill.
  cellFirst_.assign(static_cast<size_t>(cols) * static_cast<size_t>(rows) + 1, 0);
  size_t ordinal = 0;
  for (int32_t row = 0; row < rows; ++row) {
    for (int32_t col = 0; col < cols; ++col) {
      const TCell* cell = cells.At(col, row);
      cellFirst_[static_cast<size_t>(row) * static_cast<size_t>(cols) + static_cast<size_t>(col)] =
          static_cast<uint32_t>(ordinal);
      if (cell != nullptr) ordinal += cell->trips.size();
    }
  }

  // First pass: the tenths of every listed departure, evening then morning per trip, the
  // size of every bucket, and the numbers of the listed trips' routes (given up when there are
  // more distinct routes than maxRouteIds).
  std::vector<int16_t> tenths;
  ReserveHuge(tenths, 2 * ordinal);
  std::vector<uint32_t> counts(kBuckets + 1, 0);
  routes_.clear();
  routeOf_ = {};
  numbered_ = maxRouteIds > 0;
  if (numbered_) {
    ReserveHuge(routeOf_, ordinal);
    routeOf_.resize(ordinal);
  }
  RouteNumbers numbers(routes_);
  // Per bucket: its keys, and the last key put in it while its units are counted.
  std::vector<uint32_t> keyCounts(kBuckets, 0);
  std::vector<uint32_t> lastKey(kBuckets, 0);
  const auto count = [&](int32_t tenth, uint32_t key) {
    const size_t b = static_cast<size_t>(tenth + kMaxTenths);
    ++keyCounts[b];
    counts[b + 1] += static_cast<uint32_t>(UnitsOf(key - lastKey[b]));
    lastKey[b] = key;
  };
  size_t trip = 0;
  cells.ForEach([&](const TCell& cell) {
    for (const Trip& t : cell.trips) {
      int32_t evening = kNoTenth;
      int32_t morning = kNoTenth;
      if (t.HasWorkplace() && t.RouteCount() > 1) {
        evening = TenthsOf(t.eveningDeparture);
        morning = TenthsOf(t.morningDeparture);
        if (numbered_) {
          const int64_t number = numbers.Of(t.route, std::min(maxRouteIds, kMaxRouteIds));
          numbered_ = number >= 0;
          if (numbered_) routeOf_[trip] = static_cast<uint16_t>(number);
        }
      }
      tenths.push_back(evening == kNoTenth ? kNone : static_cast<int16_t>(evening));
      tenths.push_back(morning == kNoTenth ? kNone : static_cast<int16_t>(morning));
      // Ordinals beyond 32 bits are refused below, before any key is stored.
      const auto ordinal32 = static_cast<uint32_t>(trip);
      if (evening != kNoTenth) count(evening, Key(ordinal32, false));
      if (morning != kNoTenth) count(morning, Key(ordinal32, true));
      ++trip;
    }
  });
  // A key holds the ordinal above one bit. A load takes at most kMaxWorkers trips, far below
  // this; a grid holding more (it would take hundreds of gigabytes) cannot be indexed.
  if (ordinal >= (size_t{1} << 31)) throw std::bad_alloc();
  cellFirst_.back() = static_cast<uint32_t>(ordinal);
  // The usual window holds one or two tenths: room for the largest two neighbouring buckets
  // is taken now, so the merge space does not grow (and fault in fresh pages) at the peak.
  uint32_t largestPair = 0;
  for (size_t b = 0; b + 1 < kBuckets; ++b)
    largestPair = std::max(largestPair, keyCounts[b] + keyCounts[b + 1]);
  keyCounts_ = std::move(keyCounts);
  ReserveHuge(scratch_, largestPair);
  for (size_t b = 1; b <= kBuckets; ++b) counts[b] += counts[b - 1];
  offsets_ = counts;

  // Second pass, in the same order: each key goes to the end of its bucket, so every bucket
  // comes out sorted in scan order.
  if (units_.capacity() < offsets_[kBuckets]) {
    units_ = {};
    ReserveHuge(units_, offsets_[kBuckets]);
  }
  units_.assign(offsets_[kBuckets], 0);
  std::fill(lastKey.begin(), lastKey.end(), 0);
  const auto put = [&](int16_t tenth, uint32_t key) {
    const size_t b = static_cast<size_t>(tenth + kMaxTenths);
    const uint32_t difference = key - lastKey[b];
    lastKey[b] = key;
    if (difference < kEscape) {
      units_[counts[b]++] = static_cast<uint16_t>(difference);
      return;
    }
    units_[counts[b]++] = kEscape;
    units_[counts[b]++] = static_cast<uint16_t>(key >> 16);
    units_[counts[b]++] = static_cast<uint16_t>(key & 0xFFFFu);
  };
  for (size_t k = 0; 2 * k < tenths.size(); ++k) {
    const int16_t evening = tenths[2 * k];
    const int16_t morning = tenths[2 * k + 1];
    if (evening != kNone) put(evening, Key(static_cast<uint32_t>(k), false));
    if (morning != kNone) put(morning, Key(static_cast<uint32_t>(k), true));
  }
  if (!numbered_) {
    routes_.clear();
    routeOf_ = {};
  }
  built_ = true;
  version_ = cells.Version();
  ReserveHuge(due_, scratch_.capacity());
  // Trips gives the trips of a window only where the routes are not numbered.
  if (numbered_)
    trips_ = {};
  else
    ReserveHuge(trips_, scratch_.capacity());
}

const std::vector<uint32_t>& DepartureIndex::Due(int64_t lo, int64_t hi) const {
  std::vector<uint32_t>& keys = due_;
  keys.clear();
  const int64_t from = std::max<int64_t>(CeilDiv10(lo), -kMaxTenths);
  const int64_t to = std::min<int64_t>(FloorDiv10(hi), kMaxTenths);
  if (from > to || offsets_.empty()) return keys;

  // Each bucket is sorted; a window of one bucket is decoded, a few are decoded and merged run
  // by run, a wide window (after a jump of the clock) is decoded and sorted once.
  size_t runs = 0;
  for (int64_t k = from; k <= to; ++k) {
    const size_t b = static_cast<size_t>(k + kMaxTenths);
    if (keyCounts_[b] == 0) continue;
    const size_t before = keys.size();
    keys.resize(before + keyCounts_[b]);
    uint32_t key = 0;
    size_t at = before;
    for (size_t u = offsets_[b]; u < offsets_[b + 1];) {
      const uint16_t unit = units_[u++];
      if (unit != kEscape) {
        key += unit;
      } else {
        key = (static_cast<uint32_t>(units_[u]) << 16) | units_[u + 1];
        u += 2;
      }
      keys[at++] = key;
    }
    if (runs > 0 && to - from < 16) {
      scratch_.resize(keys.size());
      const auto middle = keys.begin() + static_cast<ptrdiff_t>(before);
      std::merge(keys.begin(), middle, middle, keys.end(), scratch_.begin());
      keys.swap(scratch_);
    }
    ++runs;
  }
  if (to - from >= 16) std::sort(keys.begin(), keys.end());

  // A morning key right after the evening key of the same trip is dropped: the evening
  // departure is tested first and, when due, the morning one is not tested.
  size_t kept = 0;
  for (size_t i = 0; i < keys.size(); ++i) {
    if (IsMorning(keys[i]) && kept > 0 && keys[kept - 1] == keys[i] - 1) continue;
    keys[kept++] = keys[i];
  }
  keys.resize(kept);
  return keys;
}

const std::vector<const Trip*>& DepartureIndex::Trips(const CellGrid& cells,
                                                      const std::vector<uint32_t>& keys) const {
  std::vector<const Trip*>& trips = trips_;
  trips.clear();
  const size_t cols = static_cast<size_t>(cells.Cols());
  const size_t cellCount = cols * static_cast<size_t>(cells.Rows());
  // The keys come in scan order, so the cell of each lies at or after the cell of the one
  // before: one walk over the cells' starts serves the whole window.
  size_t cell = 0;
  const size_t known = cellFirst_.empty() ? 0 : std::min(cellCount, cellFirst_.size() - 1);
  for (const uint32_t key : keys) {
    const uint32_t ordinal = OrdinalOf(key);
    while (cell < known && cellFirst_[cell + 1] <= ordinal) ++cell;
    const Trip* trip = nullptr;
    if (cell < known && cols > 0) {
      const TCell* at =
          cells.At(static_cast<int32_t>(cell % cols), static_cast<int32_t>(cell / cols));
      const size_t index = ordinal - cellFirst_[cell];
      if (at != nullptr && index < at->trips.size()) trip = &at->trips[index];
    }
    trips.push_back(trip);
  }
  return trips;
}

}  // namespace velmora

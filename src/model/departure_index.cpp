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

// Floor and ceiling of a / 10 for any sign of a.
int64_t FloorDiv10(int64_t a) {
  return a >= 0 ? a / 10 : -((-a + 9) / 10);
}
int64_t CeilDiv10(int64_t a) {
  return -FloorDiv10(-a);
}

}  // namespace

void DepartureIndex::Build(const CellGrid& cells) {
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

  // First pass: the tenths of every listed departure, evening then morning per trip, and the
  // size of every bucket.
  std::vector<int16_t> tenths;
  ReserveHuge(tenths, 2 * ordinal);
  std::vector<uint32_t> counts(kBuckets + 1, 0);
  cells.ForEach([&](const TCell& cell) {
    for (const Trip& trip : cell.trips) {
      int32_t evening = kNoTenth;
      int32_t morning = kNoTenth;
      if (trip.HasWorkplace() && trip.RouteCount() > 1) {
        evening = TenthsOf(trip.eveningDeparture);
        morning = TenthsOf(trip.morningDeparture);
      }
      tenths.push_back(evening == kNoTenth ? kNone : static_cast<int16_t>(evening));
      tenths.push_back(morning == kNoTenth ? kNone : static_cast<int16_t>(morning));
      if (evening != kNoTenth) ++counts[static_cast<size_t>(evening + kMaxTenths) + 1];
      if (morning != kNoTenth) ++counts[static_cast<size_t>(morning + kMaxTenths) + 1];
    }
  });
  // A key holds the ordinal above one bit. A load takes at most kMaxWorkers trips, far below
  // this; a grid holding more (it would take hundreds of gigabytes) cannot be indexed.
  if (ordinal >= (size_t{1} << 31)) throw std::bad_alloc();
  cellFirst_.back() = static_cast<uint32_t>(ordinal);
  // The usual window holds one or two tenths: room for the largest two neighbouring buckets
  // is taken now, so the merge space does not grow (and fault in fresh pages) at the peak.
  uint32_t largestPair = 0;
  for (size_t b = 1; b < kBuckets; ++b)
    largestPair = std::max(largestPair, counts[b] + counts[b + 1]);
  ReserveHuge(scratch_, largestPair);
  for (size_t b = 1; b <= kBuckets; ++b) counts[b] += counts[b - 1];
  offsets_ = counts;

  // Second pass, in the same order: each key goes to the end of its bucket, so every bucket
  // comes out sorted in scan order.
  if (keys_.capacity() < offsets_[kBuckets]) {
    keys_ = {};
    ReserveHuge(keys_, offsets_[kBuckets]);
  }
  keys_.assign(offsets_[kBuckets], 0);
  for (size_t k = 0; 2 * k < tenths.size(); ++k) {
    const int16_t evening = tenths[2 * k];
    const int16_t morning = tenths[2 * k + 1];
    if (evening != kNone)
      keys_[counts[static_cast<size_t>(evening + kMaxTenths)]++] =
          Key(static_cast<uint32_t>(k), false);
    if (morning != kNone)
      keys_[counts[static_cast<size_t>(morning + kMaxTenths)]++] =
          Key(static_cast<uint32_t>(k), true);
  }
  built_ = true;
  version_ = cells.Version();
  ReserveHuge(due_, scratch_.capacity());
  ReserveHuge(trips_, scratch_.capacity());
}

const std::vector<uint32_t>& DepartureIndex::Due(int64_t lo, int64_t hi) const {
  std::vector<uint32_t>& keys = due_;
  keys.clear();
  const int64_t from = std::max<int64_t>(CeilDiv10(lo), -kMaxTenths);
  const int64_t to = std::min<int64_t>(FloorDiv10(hi), kMaxTenths);
  if (from > to || offsets_.empty()) return keys;

  // Each bucket is sorted; a window of one bucket is copied, a few are merged run by run, a
  // wide window (after a jump of the clock) is sorted once.
  size_t runs = 0;
  for (int64_t k = from; k <= to; ++k) {
    const size_t b = static_cast<size_t>(k + kMaxTenths);
    const size_t begin = offsets_[b];
    const size_t end = offsets_[b + 1];
    if (begin == end) continue;
    const auto first = keys_.begin() + static_cast<ptrdiff_t>(begin);
    const auto last = keys_.begin() + static_cast<ptrdiff_t>(end);
    if (runs == 0 || to - from >= 16) {
      keys.insert(keys.end(), first, last);
    } else {
      scratch_.resize(keys.size() + (end - begin));
      std::merge(keys.begin(), keys.end(), first, last, scratch_.begin());
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

// The departure index: building it from the trips and finding the departures of a window.
#include "engine/departure_index.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "engine/huge_pages.h"

namespace velmora {

namespace {

// Floor and ceiling of a / 10 for any sign of a.
int64_t FloorDiv10(int64_t a) {
  return a >= 0 ? a / 10 : -((-a + 9) / 10);
}
int64_t CeilDiv10(int64_t a) {
  return -FloorDiv10(-a);
}

// Room the route table starts with.
constexpr size_t kFewRoutes = 4096;

}  // namespace

void DepartureIndex::Begin(size_t tripCount, size_t maxRouteIds) {
  built_ = false;
  maxRouteIds_ = std::min(maxRouteIds, kMaxRouteIds);
  // The tenths of every departure take their room at once instead of growing (and copying) as
  // they fill.
  tenths_.clear();
  ReserveHuge(tenths_, 2 * tripCount);
  cellFirst_.clear();
  keyCounts_.assign(kBuckets, 0);
  // Per bucket its units, counted one place up for the offsets below, and the last key put in
  // it while the units are counted.
  offsets_.assign(kBuckets + 1, 0);
  lastKey_.assign(kBuckets, 0);
  ReleaseRoom(routeOf_);
  numbered_ = maxRouteIds_ > 0;
  if (numbered_) ReserveHuge(routeOf_, tripCount);
  // The routes are numbered by their address, in the order they first come. The table starts
  // small enough to stay in the cache for a network of tens of nodes (a few thousand routes) and
  // grows with larger ones.
  routeNumbers_ = FlatMap<const void*, uint16_t>(kFewRoutes);
}

int32_t DepartureIndex::ExtendedTenths(double t) {
  // The quotient is within +-30721 here: rounded half to even and converted in one step.
  return static_cast<int32_t>(
      std::llrint(static_cast<long double>(t) / static_cast<long double>(kTenth)));
}

void DepartureIndex::Finish(uint64_t version) {
  const size_t ordinals = tenths_.size() / 2;
  // A key holds the ordinal above one bit. A load takes at most 30 million trips, far below
  // this; more trips (they would take hundreds of gigabytes) cannot be indexed.
  if (ordinals >= (size_t{1} << 31)) throw std::bad_alloc();
  cellFirst_.push_back(static_cast<uint32_t>(ordinals));
  routeNumbers_.Release();
  // The usual window holds one or two tenths: room for the largest two neighbouring buckets
  // is taken now, so the merge space does not grow (and fault in fresh pages) at the peak.
  uint32_t largestPair = 0;
  for (size_t b = 0; b + 1 < kBuckets; ++b)
    largestPair = std::max(largestPair, keyCounts_[b] + keyCounts_[b + 1]);
  ReserveHuge(scratch_, largestPair);
  for (size_t b = 1; b <= kBuckets; ++b) offsets_[b] += offsets_[b - 1];

  // Second pass, in the same order: each key goes to the end of its bucket, so every bucket
  // comes out sorted in scan order.
  std::vector<uint32_t> next(offsets_.begin(), offsets_.end() - 1);
  if (units_.capacity() < offsets_[kBuckets]) {
    ReleaseRoom(units_);
    ReserveHuge(units_, offsets_[kBuckets]);
  }
  units_.assign(offsets_[kBuckets], 0);
  std::fill(lastKey_.begin(), lastKey_.end(), 0);
  const auto put = [&](int16_t tenth, uint32_t key) {
    const size_t b = static_cast<size_t>(tenth + kMaxTenths);
    const uint32_t difference = key - lastKey_[b];
    lastKey_[b] = key;
    if (difference < kEscape) {
      units_[next[b]++] = static_cast<uint16_t>(difference);
      return;
    }
    units_[next[b]++] = kEscape;
    units_[next[b]++] = static_cast<uint16_t>(key >> 16);
    units_[next[b]++] = static_cast<uint16_t>(key & 0xFFFFu);
  };
  for (size_t k = 0; k < ordinals; ++k) {
    const int16_t evening = tenths_[2 * k];
    const int16_t morning = tenths_[2 * k + 1];
    if (evening != kNone) put(evening, Key(static_cast<uint32_t>(k), false));
    if (morning != kNone) put(morning, Key(static_cast<uint32_t>(k), true));
  }
  ReleaseRoom(tenths_);
  ReleaseRoom(lastKey_);
  if (!numbered_) ReleaseRoom(routeOf_);
  built_ = true;
  version_ = version;
  ReserveHuge(due_, scratch_.capacity());
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

}  // namespace velmora

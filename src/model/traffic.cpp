// The simulation step: the clock, the release of vehicles, their movement over the network
// with the link-load counters, and the drawing of the loads.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "core/convert.h"
#include "core/error.h"
#include "core/rounding.h"
#include "model/model.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

namespace velmora {

namespace {

// Departure times are whole tenths stored as k times the double nearest 0.1.
constexpr double kTenth = 0.1;
// The clock is whole hundredths: n times the double nearest 0.01.
constexpr double kHundredth = 0.01;

constexpr int32_t kNoTenth = INT32_MIN;

// The whole number of tenths a departure time stands for, or kNoTenth when it lies beyond
// any clock value (or is not a number) and so can never be due.
int32_t TenthsOf(long double t) {
  if (!(std::fabs(t) <= DepartureIndex::kMaxTenths * kTenth)) return kNoTenth;
  // The quotient is within +-30721 here: rounded half to even and converted in one step.
  const int64_t k = std::llrint(t / static_cast<long double>(kTenth));
  if (k < -DepartureIndex::kMaxTenths || k > DepartureIndex::kMaxTenths) return kNoTenth;
  return static_cast<int32_t>(k);
}

// The clock's time of day as whole hundredths (it is always n times the double nearest 0.01).
int64_t HundredthsOf(double clock) {
  return RoundHalfEven(static_cast<long double>(clock) * 100);
}

// Floor and ceiling of a / 10 for any sign of a.
int64_t FloorDiv10(int64_t a) {
  return a >= 0 ? a / 10 : -((-a + 9) / 10);
}
int64_t CeilDiv10(int64_t a) {
  return -FloorDiv10(-a);
}

// Node pointer -> index in nodeList, built once per step. Equal to the linear search: the list
// owns its nodes, so every node occurs once and its only match is its first.
class NodeIndexTable {
 public:
  explicit NodeIndexTable(const NodeList& nodes) {
    size_t capacity = 16;
    while (capacity < nodes.size() * 2) capacity <<= 1;
    mask_ = capacity - 1;
    slots_.assign(capacity, Slot{});
    for (size_t i = 0; i < nodes.size(); ++i) {
      const TAgent* node = nodes[i].get();
      size_t s = Hash(node);
      while (slots_[s].node != nullptr && slots_[s].node != node) s = (s + 1) & mask_;
      if (slots_[s].node == nullptr) slots_[s] = Slot{node, static_cast<int32_t>(i)};
    }
  }

  int32_t Find(const TAgent* node) const {
    if (node == nullptr) return kNoNode;
    for (size_t s = Hash(node);; s = (s + 1) & mask_) {
      if (slots_[s].node == node) return slots_[s].index;
      if (slots_[s].node == nullptr) return kNoNode;
    }
  }

 private:
  struct Slot {
    const TAgent* node = nullptr;
    int32_t index = kNoNode;
  };
  size_t Hash(const TAgent* node) const {
    const uint64_t p = reinterpret_cast<uintptr_t>(node) >> 4;
    return static_cast<size_t>((p * 0x9E3779B97F4A7C15ull) >> 32) & mask_;
  }

  size_t mask_ = 0;
  std::vector<Slot> slots_;
};

// Fixed-size blocks for vehicles in slabs that are never returned to the system. Blocks are
// handed out one after the other from the newest slab; a slab whose vehicles have all gone is
// used again from its start. Vehicles released together arrive within a few steps of each
// other, so slabs empty soon after they fill, and the vehicles lie in memory in the order they
// were released, which is the order the movement visits them in: the processor's own
// prefetching then follows the movement, and taking a block reads nothing from memory.
// Single-threaded, like the whole model. Under AddressSanitizer free blocks are poisoned, so a
// vehicle used after its release is still caught.
class TravellerPool {
 public:
  void* Take() {
    if (current_ == nullptr || current_->used == kBlocks) NextSlab();
    Block* block = BlocksOf(current_) + current_->used++;
    ++current_->live;
    ASAN_UNPOISON_MEMORY_REGION(block, sizeof(Block));
    return block;
  }
  void Give(void* memory) {
    ASAN_POISON_MEMORY_REGION(memory, sizeof(Block));
    Header* slab =
        reinterpret_cast<Header*>(reinterpret_cast<uintptr_t>(memory) & ~(kSlabBytes - 1));
    if (--slab->live == 0 && slab != current_) {
      slab->used = 0;
      empty_.push_back(slab);
    }
  }

 private:
  struct Block {
    alignas(TTraveller) unsigned char bytes[sizeof(TTraveller)];
  };
  // A slab is aligned to its size, so a block finds its slab's header by masking its address.
  static constexpr size_t kSlabBytes = size_t{1} << 18;
  struct Header {
    uint32_t used = 0;  // blocks handed out since the slab was last (re)started
    uint32_t live = 0;  // of those, the ones not given back
  };
  static constexpr size_t kFirstBlock = (sizeof(Header) + sizeof(Block) - 1) / sizeof(Block);
  static constexpr uint32_t kBlocks =
      static_cast<uint32_t>(kSlabBytes / sizeof(Block) - kFirstBlock);

  static Block* BlocksOf(Header* slab) { return reinterpret_cast<Block*>(slab) + kFirstBlock; }

  void NextSlab() {
    if (current_ != nullptr && current_->live == 0) {
      current_->used = 0;
      return;
    }
    if (!empty_.empty()) {
      current_ = empty_.back();
      empty_.pop_back();
      return;
    }
    void* memory = ::operator new(kSlabBytes, std::align_val_t(kSlabBytes));
    current_ = new (memory) Header;
    ASAN_POISON_MEMORY_REGION(BlocksOf(current_), kBlocks * sizeof(Block));
    slabs_.push_back(current_);
    // Room for every slab on the list of empty ones, so that giving a block back never
    // allocates.
    empty_.reserve(slabs_.size());
  }

  Header* current_ = nullptr;
  std::vector<Header*> slabs_;  // all of them
  std::vector<Header*> empty_;
};

// Never destroyed, so vehicles released during program exit still have their pool.
TravellerPool& Pool() {
  static TravellerPool* pool = new TravellerPool;
  return *pool;
}

// Counters wrap like the signed 32-bit integers they are instead of overflowing.
inline void AddTo(int32_t& counter, int32_t delta) {
  counter = static_cast<int32_t>(static_cast<uint32_t>(counter) + static_cast<uint32_t>(delta));
}

}  // namespace

// ---- Vehicles. ----

void* TTraveller::operator new(size_t size) {
  if (size != sizeof(TTraveller)) return ::operator new(size);
  return Pool().Take();
}

void TTraveller::operator delete(void* block, size_t size) noexcept {
  if (block == nullptr) return;
  if (size != sizeof(TTraveller)) return ::operator delete(block);
  Pool().Give(block);
}

// ---- Departure index. ----

void DepartureIndex::Build(const CellGrid& cells) {
  const int32_t cols = cells.Cols();
  const int32_t rows = cells.Rows();
  constexpr size_t kBuckets = 2 * static_cast<size_t>(kMaxTenths) + 1;

  // First pass: the tenths of every listed departure, evening then morning per trip, and the
  // size of every bucket.
  std::vector<int32_t> tenths;
  std::vector<uint32_t> counts(kBuckets + 1, 0);
  for (int32_t row = 0; row < rows; ++row) {
    for (int32_t col = 0; col < cols; ++col) {
      const TCell* cell = cells.At(col, row);
      if (cell == nullptr) continue;
      for (const Trip& trip : cell->trips) {
        int32_t evening = kNoTenth;
        int32_t morning = kNoTenth;
        if (trip.HasWorkplace() && trip.RouteCount() > 1) {
          evening = TenthsOf(trip.eveningDeparture);
          morning = TenthsOf(trip.morningDeparture);
        }
        tenths.push_back(evening);
        tenths.push_back(morning);
        if (evening != kNoTenth) ++counts[static_cast<size_t>(evening + kMaxTenths) + 1];
        if (morning != kNoTenth) ++counts[static_cast<size_t>(morning + kMaxTenths) + 1];
      }
    }
  }
  // The usual window holds one or two tenths: room for the largest two neighbouring buckets
  // is taken now, so the merge space does not grow (and fault in fresh pages) at the peak.
  uint32_t largestPair = 0;
  for (size_t b = 1; b < kBuckets; ++b)
    largestPair = std::max(largestPair, counts[b] + counts[b + 1]);
  scratch_.reserve(largestPair);
  for (size_t b = 1; b <= kBuckets; ++b) counts[b] += counts[b - 1];
  offsets_ = counts;

  // Second pass, in the same order: each key goes to the end of its bucket, so every bucket
  // comes out sorted in scan order.
  keys_.assign(offsets_[kBuckets], 0);
  size_t next = 0;
  for (int32_t row = 0; row < rows; ++row) {
    for (int32_t col = 0; col < cols; ++col) {
      const TCell* cell = cells.At(col, row);
      if (cell == nullptr) continue;
      const uint32_t cellIndex =
          static_cast<uint32_t>(row) * static_cast<uint32_t>(cols) + static_cast<uint32_t>(col);
      for (size_t j = 0; j < cell->trips.size(); ++j) {
        const int32_t evening = tenths[next++];
        const int32_t morning = tenths[next++];
        if (evening != kNoTenth)
          keys_[counts[static_cast<size_t>(evening + kMaxTenths)]++] =
              Key(cellIndex, static_cast<uint32_t>(j), false);
        if (morning != kNoTenth)
          keys_[counts[static_cast<size_t>(morning + kMaxTenths)]++] =
              Key(cellIndex, static_cast<uint32_t>(j), true);
      }
    }
  }
  valid_ = true;
}

void DepartureIndex::Due(int64_t lo, int64_t hi, std::vector<uint64_t>& keys) const {
  keys.clear();
  const int64_t from = std::max<int64_t>(CeilDiv10(lo), -kMaxTenths);
  const int64_t to = std::min<int64_t>(FloorDiv10(hi), kMaxTenths);
  if (from > to || offsets_.empty()) return;

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
}

// ---- The simulation step. ----

void Model::SimulationStep() {
  ++stepCount;
  const int64_t m = CheckedMod(static_cast<int64_t>(stepCount), static_cast<int64_t>(stepsPerDay));
  const double h = static_cast<double>(CheckedFloatDiv(m, stepsPerHour));

  // Rounded to hundredths by dividing by the double nearest 0.01 in extended precision; that
  // divisor is a little above 0.01, so exact halves go toward zero (0.125 -> 0.12).
  const long double quotient = static_cast<long double>(h) / kHundredth;
  const int64_t n = TruncToInt64(h >= 0 ? quotient + 0.5L : quotient - 0.5L);
  clockHours = static_cast<double>(static_cast<long double>(n) * kHundredth);

  // Release every departure of this step's window, prevClockHours + 0.01 up to clockHours,
  // compared in whole hundredths so that each tenth of the day is due in exactly one window.
  if (!departures_.Valid()) {
    departures_.Build(cells);
    dueKeys_.reserve(departures_.Reserved());
  }
  departures_.Due(HundredthsOf(prevClockHours) + 1, HundredthsOf(clockHours), dueKeys_);
  // The trip of a key, or null when the key does not fit the grid.
  const uint32_t cols = static_cast<uint32_t>(cells.Cols());
  const uint32_t rows = static_cast<uint32_t>(cells.Rows());
  auto cellOf = [&](uint64_t key) -> const TCell* {
    const uint32_t cellIndex = DepartureIndex::CellOf(key);
    if (cols == 0 || cellIndex / cols >= rows) return nullptr;
    return cells.At(static_cast<int32_t>(cellIndex % cols), static_cast<int32_t>(cellIndex / cols));
  };
  auto tripOf = [&](uint64_t key) -> const Trip* {
    const TCell* cell = cellOf(key);
    const uint32_t tripIndex = DepartureIndex::TripOf(key);
    if (cell == nullptr || tripIndex >= cell->trips.size()) return nullptr;
    return &cell->trips[tripIndex];
  };

  // Each release follows a chain of pointers (cell, trip, route) to memory touched long ago;
  // the links of the chain are fetched a few releases ahead, one link per stage.
  constexpr size_t kAhead = 4;
  const size_t due = dueKeys_.size();
  for (size_t i = 0; i < due; ++i) {
    if (i + 4 * kAhead < due) __builtin_prefetch(cellOf(dueKeys_[i + 4 * kAhead]));
    if (i + 3 * kAhead < due) __builtin_prefetch(tripOf(dueKeys_[i + 3 * kAhead]));
    if (i + 2 * kAhead < due) {
      if (const Trip* ahead = tripOf(dueKeys_[i + 2 * kAhead]))
        __builtin_prefetch(ahead->route.get());
    }
    if (i + kAhead < due) {
      const Trip* ahead = tripOf(dueKeys_[i + kAhead]);
      if (ahead != nullptr && ahead->route) __builtin_prefetch(ahead->route->data());
    }

    const uint64_t key = dueKeys_[i];
    const Trip* trip = tripOf(key);
    if (trip == nullptr || !trip->HasWorkplace() || trip->RouteCount() <= 1) continue;
    auto vehicle = std::make_unique<TTraveller>();
    vehicle->route = trip->route;
    vehicle->direction = DepartureIndex::IsMorning(key) ? 1 : 0;
    vehicle->position = 0;
    vehicle->entries = vehicle->route->data();
    vehicle->entryCount = static_cast<uint32_t>(vehicle->route->size());
    vehicle->currentNode = vehicle->At(0);
    vehicle->previousNode = nullptr;
    travellers.push_back(std::move(vehicle));
  }
  // The window is used up once its departures are on the road: a failure later in this step
  // must not make the next step release them a second time.
  prevClockHours = clockHours;

  host_.SetCaption(ValueLabel::OnRoad, std::to_string(travellers.size()));
  AdvanceTravellers();
  host_.SetCaption(ValueLabel::Time, FloatToStr(clockHours));
  host_.SetCaption(ValueLabel::Steps, std::to_string(stepCount));
  host_.ChartSetLine(clockHours);
}

void Model::AdvanceTravellers() {
  const size_t nodeCount = nodeList.size();
  // Every node keeps a counter per node index; arrays not yet sized for all nodes grow with
  // zeros, as sizing the loads does, so no counter is ever written out of range.
  for (const auto& node : nodeList)
    if (node->linkLoad.size() < nodeCount) node->linkLoad.resize(nodeCount, 0);

  const NodeIndexTable table(nodeList);
  // A remembered index is used when nodeList still holds the node there; otherwise the node
  // is looked up, and the answer remembered.
  auto indexOf = [&](const TAgent* node, int32_t& remembered) {
    if (remembered >= 0 && static_cast<size_t>(remembered) < nodeCount &&
        nodeList[static_cast<size_t>(remembered)].get() == node)
      return remembered;
    remembered = table.Find(node);
    return remembered;
  };

  // Every vehicle moves one node on: it enters the link to the next node and leaves the link
  // it came by. A vehicle reaching its last node has arrived; it leaves that last link in the
  // same step, so it never adds to a counter, and it is removed. The survivors are compacted
  // in place, keeping their order.
  //
  // The loop is bound by memory latency (vehicles, and routes planned long before, lie all over
  // the heap), so the vehicles a few places ahead and their next route entries are fetched
  // early.
  constexpr size_t kAhead = 8;
  size_t kept = 0;
  const size_t count = travellers.size();
  for (size_t k = 0; k < count; ++k) {
    if (k + 2 * kAhead < count) __builtin_prefetch(travellers[k + 2 * kAhead].get());
    if (k + kAhead < count) {
      const TTraveller& ahead = *travellers[k + kAhead];
      if (ahead.entries != nullptr && ahead.position + 1 < ahead.entryCount) {
        __builtin_prefetch(ahead.entries + (ahead.direction == 0
                                                ? ahead.position + 1
                                                : ahead.entryCount - 2 - ahead.position));
        // A vehicle about to arrive lets go of its route: its count is written then.
        if (ahead.position + 2 == ahead.entryCount) __builtin_prefetch(ahead.route.get(), 1);
      }
    }
    TTraveller& v = *travellers[k];
    if (v.entries == nullptr && v.route) {
      v.entries = v.route->data();
      v.entryCount = static_cast<uint32_t>(v.route->size());
    }
    TAgent* cur = v.currentNode;
    const size_t nextPosition = static_cast<size_t>(v.position) + 1;
    const int32_t ci = indexOf(cur, v.currentIndex);
    const int32_t pi = v.previousNode ? indexOf(v.previousNode, v.previousIndex) : kNoNode;
    TAgent* next = nullptr;
    if (nextPosition < v.entryCount)
      next = v.entries[v.direction == 0 ? nextPosition : v.entryCount - 1 - nextPosition];
    const int32_t ni = table.Find(next);
    if (ci < 0 || ni < 0 || (v.previousNode != nullptr && pi < 0)) {
      // A vehicle whose nodes are not in nodeList (or whose route has run out) leaves the road
      // without touching any counter but the one of the link it is known to be on.
      if (ci >= 0 && pi >= 0) AddTo(cur->linkLoad[static_cast<size_t>(pi)], -1);
      travellers[k].reset();
      continue;
    }

    const bool arrived = nextPosition + 1 == v.entryCount;
    if (!arrived) AddTo(next->linkLoad[static_cast<size_t>(ci)], 1);
    if (v.previousNode != nullptr) AddTo(cur->linkLoad[static_cast<size_t>(pi)], -1);
    v.previousNode = cur;
    v.previousIndex = ci;
    v.currentNode = next;
    v.currentIndex = ni;
    v.position = static_cast<uint32_t>(nextPosition);

    if (arrived) {
      travellers[k].reset();
    } else {
      if (kept != k) travellers[kept] = std::move(travellers[k]);
      ++kept;
    }
  }
  travellers.resize(kept);

  ClearOverlay();
  DrawLinkLoads();
  DrawLinks();
  DrawNodes();
}

void Model::DrawLinkLoads() {
  const std::string text = host_.EditText(EditBox::TScale);
  const int32_t d = StrToInt(text);
  // A negative scale would give widths of 2 or less that shrink with the traffic: refused
  // like a text that is not a number.
  if (d < 0) throw VError::NotAnInteger(text);

  Canvas& overlay = Overlay();
  overlay.SetPenColor(clYellow);
  overlay.SetPenStyle(PenStyle::Solid);
  const size_t positions = nodePositions.size();
  for (size_t i = 0; i < nodeList.size(); ++i) {
    const TAgent& node = *nodeList[i];
    for (const TLink& link : node.links) {
      const size_t t = static_cast<size_t>(link.node);
      // Node i's line toward t carries the load from t to i.
      const int32_t load = t < node.linkLoad.size() ? node.linkLoad[t] : 0;
      const long double quotient = CheckedFloatDiv(load, d);
      overlay.SetPenWidth(static_cast<int>(std::ceil(quotient)) + 2);
      if (i >= positions || t >= positions) continue;
      overlay.MoveTo(nodePositions[i][0], nodePositions[i][1]);
      overlay.LineTo(nodePositions[t][0], nodePositions[t][1]);
    }
  }
}

}  // namespace velmora

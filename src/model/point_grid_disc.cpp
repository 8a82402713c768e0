// The point grid's disc count with the nearest point, in one visit of the disc's buckets.
#include <algorithm>
#include <array>

#include "model/point_grid.h"
#include "model/point_grid_runs.h"

namespace velmora {

namespace {

// Runs gathered for one kernel call: a few in place, more on the heap.
class RunList {
 public:
  void Add(const uint32_t* packed, const int32_t* ids, int32_t from, int32_t to) {
    if (to <= from) return;
    const point_runs::Run run{packed + from, ids + from, static_cast<size_t>(to - from)};
    if (count_ < few_.size()) {
      few_[count_] = run;
    } else {
      if (count_ == few_.size()) many_.assign(few_.begin(), few_.end());
      many_.push_back(run);
    }
    ++count_;
  }
  const point_runs::Run* Data() const { return count_ <= few_.size() ? few_.data() : many_.data(); }
  size_t Size() const { return count_; }

 private:
  std::array<point_runs::Run, 8> few_;
  std::vector<point_runs::Run> many_;
  size_t count_ = 0;
};

}  // namespace

// The disc's runs are those of ForEachRun. Those of the rows of buckets within nearRadius of y go
// to a kernel that counts their points
// within the disc and keeps the two least keys (squared distance, then id) of those other than
// `exclude`: the nearest point and all its ties lie there. The other runs are only counted.
// `exclude` is taken off the count at the end if it lies in the disc.
PointGrid::DiscCount PointGrid::CountAndNearest(int32_t x, int32_t y, const Disc& disc,
                                                int32_t exclude, int64_t nearRadius) const {
  DiscCount result{0, -1, 0};
  const int64_t r2 = disc.R2();
  if (r2 < 0 || rows_.empty()) return result;
  const int64_t r = disc.Radius();
  const int64_t rk = std::clamp<int64_t>(nearRadius, 0, r);
  const int32_t keyTop = RowOf(static_cast<int64_t>(y) - rk);
  const int32_t keyBottom = RowOf(static_cast<int64_t>(y) + rk);
  RunList counted, keyed;
  ForEachRowRun(
      x, y, r, [&disc](int64_t dy) { return disc.Width(dy); },
      [&](int32_t row, const Row& line, int32_t from, int32_t to) {
        (row >= keyTop && row <= keyBottom ? keyed : counted)
            .Add(line.packed.data(), line.id.data(), from, to);
      });
  const uint32_t q = Pack(x, y);
  const auto limit = static_cast<int32_t>(r2);
  const point_runs::DiscKeys keys =
      point_runs::CountAndKeysInRuns(keyed.Data(), keyed.Size(), q, limit, exclude);
  result.count = keys.count + point_runs::CountInRuns(counted.Data(), counted.Size(), q, limit);
  if (exclude >= 0 && static_cast<size_t>(exclude) < rowOf_.size() &&
      rowOf_[static_cast<size_t>(exclude)] >= 0) {
    const uint32_t p = rows_[static_cast<size_t>(rowOf_[static_cast<size_t>(exclude)])]
                           .packed[static_cast<size_t>(slot_[static_cast<size_t>(exclude)])];
    const int64_t dx = OffsetX(p) - OffsetX(q), dy = OffsetY(p) - OffsetY(q);
    if (dx * dx + dy * dy <= r2) --result.count;
  }
  if (result.count == 0) return result;
  if (keys.least == point_runs::kNone) {
    // Only when nearRadius does not hold what it should; the plain search settles it.
    result.nearest = NearestWithin(x, y, r2, exclude, &result.distance);
    return result;
  }
  // The least key is the least squared distance, and the lowest id at it. Points at the same
  // rounded distance d lie within MaxSquaredFor(d), and so among the keyed points; when the
  // second least key lies beyond, the nearest point has no tie.
  constexpr int32_t kIdMask = (1 << kIdBits) - 1;
  result.distance = RoundedDistance(keys.least >> point_runs::kKeyShift);
  const int64_t ties = MaxSquaredFor(result.distance);
  if (keys.second == point_runs::kNone || (keys.second >> point_runs::kKeyShift) > ties) {
    result.nearest = keys.least & kIdMask;
  } else {
    // The ties lie within the disc and within nearRadius, so among the keyed runs.
    result.nearest = point_runs::LowestIdInRuns(keyed.Data(), keyed.Size(), q,
                                                static_cast<int32_t>(std::min(ties, r2)), exclude);
  }
  return result;
}

}  // namespace velmora

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

// The disc's runs are those of ForEachRun, and a kernel counts their points within the disc.
// With a guess at rounded distance g, the points at rounded distance g or less lie within
// MaxSquaredFor(g), and the same kernel counts those too when that lies within the disc: if the
// guess is the only one (besides `exclude`), no other point is as near, so the guess is the
// nearest point and has no tie. Otherwise the nearest point and its ties lie within g + 1 (or
// within the disc, without a guess): in the window of the rows of buckets and the bucket columns
// within that distance, where a second kernel finds the least (rounded distance, id) of the
// points in the disc other than `exclude`. The window is visited apart from the runs: cutting
// the runs around it would add runs, and each run costs a mispredicted branch at its end.
PointGrid::DiscCount PointGrid::CountAndNearest(int32_t x, int32_t y, const Disc& disc,
                                                int32_t exclude, int32_t guess) const {
  DiscCount result{0, -1, 0};
  const int64_t r2 = disc.R2();
  if (r2 < 0 || rows_.empty()) return result;
  const int64_t r = disc.Radius();
  const uint32_t q = Pack(x, y);
  auto squaredTo = [q](uint32_t p) {
    const int64_t dx = OffsetX(p) - OffsetX(q), dy = OffsetY(p) - OffsetY(q);
    return dx * dx + dy * dy;
  };
  int64_t nearRadius = r;
  int32_t guessed = 0;
  int32_t near2 = -1;
  if (guess != exclude && Stored(guess)) {
    // Squared offsets of the range lie below 2^31.
    guessed = SmallRoundedDistance(squaredTo(packedOf_[static_cast<size_t>(guess)]));
    nearRadius = std::min<int64_t>(nearRadius, int64_t{guessed} + 1);
    if (MaxSquaredFor(guessed) <= r2) near2 = static_cast<int32_t>(MaxSquaredFor(guessed));
  }
  RunList runs;
  ForEachRowRun(
      x, y, r, [&disc](int64_t dy) { return disc.Width(dy); },
      [&](int32_t, const Row& line, int32_t from, int32_t to) {
        runs.Add(line.packed.data(), line.id.data(), from, to);
      });
  const auto limit = static_cast<int32_t>(r2);
  point_runs::TwoCounts counts =
      point_runs::CountTwoInRuns(runs.Data(), runs.Size(), q, limit, near2);
  if (Stored(exclude)) {
    const int64_t squared = squaredTo(packedOf_[static_cast<size_t>(exclude)]);
    if (squared <= r2) --counts.within;
    if (squared <= near2) --counts.near;
  }
  result.count = counts.within;
  if (result.count == 0) return result;
  if (near2 >= 0 && counts.near == 1) {
    result.nearest = guess;
    result.distance = guessed;
    return result;
  }

  RunList window;
  const int64_t rk = nearRadius;
  const auto left = static_cast<size_t>(ColumnOf(static_cast<int64_t>(x) - rk));
  const auto right = static_cast<size_t>(ColumnOf(static_cast<int64_t>(x) + rk)) + 1;
  for (int32_t row = RowOf(static_cast<int64_t>(y) - rk);
       row <= RowOf(static_cast<int64_t>(y) + rk); ++row) {
    const Row& line = rows_[static_cast<size_t>(row)];
    window.Add(line.packed.data(), line.id.data(), line.start[left], line.start[right]);
  }
  const int32_t key = point_runs::NearestKeyInRuns(window.Data(), window.Size(), q, limit, exclude);
  if (key == point_runs::kNone) {
    // Only when the guess was not what it should be; the plain search settles it.
    result.nearest = NearestWithin(x, y, r2, exclude, &result.distance);
    return result;
  }
  result.nearest = key & ((1 << kIdBits) - 1);
  result.distance = key >> point_runs::kKeyShift;
  return result;
}

}  // namespace velmora

// The point grid's disc count with the nearest point: the count settles the nearest among a few
// guesses, and a small disc is searched only when it cannot.
#include <algorithm>
#include <array>
#include <limits>

#include "engine/point_grid.h"
#include "engine/point_kernels.h"

namespace velmora {

namespace {

// RoundedDistance of the squared distances below 4096.
const std::array<uint8_t, 4096> kSmallRoots = [] {
  std::array<uint8_t, 4096> roots{};
  for (size_t k = 0; k < roots.size(); ++k)
    roots[k] = static_cast<uint8_t>(RoundedDistance(static_cast<int64_t>(k)));
  return roots;
}();

}  // namespace

// The disc's runs are those of ForEachRun, and a kernel counts their points within the disc.
// With guesses whose nearest is at rounded distance g, the points at rounded distance g or less
// lie within MaxSquaredFor(g), and the same kernel counts those too when that lies within the
// disc: if there are no more of them (besides `exclude`) than guesses that near, they are those
// guesses, all at distance g, and the lowest of them is the nearest point. Otherwise the nearest
// point and its ties lie within MaxSquaredFor(g) (or within the disc, without a guess), and
// NearestWithin searches that small disc.
PointGrid::DiscCount PointGrid::CountAndNearest(int32_t x, int32_t y, const Disc& disc,
                                                int32_t exclude, const int32_t* guesses,
                                                size_t guessCount) const {
  DiscCount result{0, -1, 0};
  const int64_t r2 = disc.R2();
  if (r2 < 0 || rows_.empty()) return result;
  const int64_t r = disc.Radius();
  const uint32_t q = Pack(x, y);
  auto squaredTo = [q](uint32_t p) {
    const int64_t dx = OffsetX(p) - OffsetX(q), dy = OffsetY(p) - OffsetY(q);
    return dx * dx + dy * dy;
  };
  // The guesses with their squared distances; those that do not count (no stored point,
  // `exclude`, a repeat) are put beyond every distance. The loops run the same way whatever
  // the guesses, without branches on them: they would be mispredicted.
  constexpr int64_t kFar = std::numeric_limits<int64_t>::max();
  std::array<int32_t, kMaxGuesses> ids{};
  std::array<int64_t, kMaxGuesses> squares{};
  int64_t least = kFar;
  for (size_t k = 0; k < kMaxGuesses; ++k) {
    const int32_t id = k < guessCount ? guesses[k] : -1;
    const bool inRange = id >= 0 && static_cast<size_t>(id) < packedOf_.size();
    const auto at = static_cast<size_t>(inRange ? id : 0);
    bool counts = inRange & (rowOf_[at] >= 0) & (id != exclude);
    for (size_t j = 0; j < k; ++j) counts &= ids[j] != id;
    ids[k] = id;
    squares[k] = counts ? squaredTo(packedOf_[at]) : kFar;
    least = std::min(least, squares[k]);
  }
  int32_t guessed = 0;
  int32_t near2 = -1;
  if (least != kFar) {
    // Squared offsets of the range lie below 2^31. The rounded distance bounds the kernel's
    // second count, which waits for it: small ones come from a table, quicker than a root.
    guessed = least < static_cast<int64_t>(kSmallRoots.size())
                  ? kSmallRoots[static_cast<size_t>(least)]
                  : SmallRoundedDistance(least);
    if (MaxSquaredFor(guessed) <= r2) near2 = static_cast<int32_t>(MaxSquaredFor(guessed));
  }
  // The runs go to the scratch list, which has room for one per row.
  point_runs::Run* const runs = scratch_.data();
  size_t runCount = 0;
  ForEachRowRun(
      x, y, r, [&disc](int64_t dy) { return disc.Width(dy); },
      [&](int32_t, const Row& line, int32_t from, int32_t to) {
        if (to > from)
          runs[runCount++] = point_runs::Run{line.packed.data() + from, line.id.data() + from,
                                             static_cast<size_t>(to - from)};
      });
  const auto limit = static_cast<int32_t>(r2);
  point_runs::TwoCounts counts = point_runs::CountTwoInRuns(runs, runCount, q, limit, near2);
  if (Stored(exclude)) {
    const int64_t squared = squaredTo(packedOf_[static_cast<size_t>(exclude)]);
    if (squared <= r2) --counts.within;
    if (squared <= near2) --counts.near;
  }
  result.count = counts.within;
  if (result.count == 0) return result;
  if (near2 >= 0) {
    // The guesses within near2 are all at rounded distance `guessed`, the least there is among
    // them. When the kernel finds no other point that near, the nearest is the lowest of them.
    int32_t within = 0, lowest = point_runs::kNone;
    for (size_t k = 0; k < kMaxGuesses; ++k) {
      const bool near = squares[k] <= near2;
      within += near ? 1 : 0;
      lowest = near ? std::min(lowest, ids[k]) : lowest;
    }
    if (counts.near == within) {
      result.nearest = lowest;
      result.distance = guessed;
      return result;
    }
  }

  // The nearest point and its ties lie within MaxSquaredFor(guessed), or within the disc.
  result.nearest = NearestWithin(x, y, near2 >= 0 ? near2 : r2, exclude, &result.distance);
  return result;
}

}  // namespace velmora

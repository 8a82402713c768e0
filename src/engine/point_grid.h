// A bucket grid of node positions for neighbour searches, and the integer form of the rounded
// pixel distance those searches compare with. Plain twin: a loop over every point with the
// model's PointDistance; point_grid_test holds the grid to it at every kernel width, and the
// formation and catchment oracle tests hold the searches built on it to the plain formation and
// catchment.
#pragma once

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/point_kernels.h"

namespace velmora {

// PointDistance holds dx^2 in single precision, which is exact only while dx^2 < 2^24, that is
// |dx| <= 4096. Within that range (tested exhaustively) PointDistance equals RoundedDistance of
// dx^2 + dy^2, so searches may compare squared integer offsets instead of rounded roots. The grid
// is used only when every coordinate pair it may compare lies within this spread in x and in y.
constexpr int32_t kExactSpan = 4096;

// Largest v with v * v <= value, for value >= 0.
int64_t FloorSqrt(int64_t value);

// The rounded Euclidean distance of an offset whose squared length is `squared`: k where
// k^2 - k < squared <= k^2 + k. The root of an integer is never exactly k + 1/2, so no halves
// arise and the rounding rule does not matter.
int32_t RoundedDistance(int64_t squared);
// RoundedDistance for 0 <= squared < 2^40, inline: the double root plus 1/2, truncated (see
// RoundedDistance for why that is exact).
inline int32_t SmallRoundedDistance(int64_t squared) {
  return static_cast<int32_t>(std::sqrt(static_cast<double>(squared)) + 0.5);
}

// Largest squared offset whose rounded distance is at most d. A rounded distance below c holds
// exactly when the squared offset is at most MaxSquaredFor(c - 1) = c^2 - c.
inline int64_t MaxSquaredFor(int64_t d) {
  return d * d + d;
}

// A disc's half-widths row by row, for searches that use one radius many times:
// Width(dy) >= the largest |dx| with dx^2 + dy^2 <= r2, for 0 <= dy <= Radius().
class Disc {
 public:
  explicit Disc(int64_t r2);
  int64_t R2() const { return r2_; }
  int64_t Radius() const { return static_cast<int64_t>(widths_.size()) - 1; }
  int64_t Width(int64_t dy) const { return widths_[static_cast<size_t>(dy)]; }

 private:
  int64_t r2_;
  std::vector<int32_t> widths_;
};

// Points (node positions with their ids) in buckets, one row of buckets per vector so that the
// points of neighbouring buckets in a row lie side by side, and each row knows where each bucket
// starts. Points may move. A search visits the buckets that meet a disc and works through
// contiguous runs of points; a count takes the buckets wholly inside the disc from the starts.
//
// A point is held as its offset from the range's corner, x in the low 16 bits and y in the high
// ones: the range spans at most kExactSpan, so offsets and their differences fit 16 bits and the
// squared distance of two points (at most 2 * 4096^2 < 2^31) fits 32 bits. The runs are worked
// through by the kernels of point_kernels.h, at the width core's KernelLanes() chooses.
class PointGrid {
 public:
  // Most points a grid holds.
  static constexpr size_t kMaxPoints = size_t{1} << 14;

  // An empty grid over [minX, maxX] x [minY, maxY] (at most kExactSpan each way) for ids 0 to
  // count - 1 (at most kMaxPoints), with buckets 2^columnShift pixels wide and 2^rowShift high.
  // Every stored point and every query point must lie in that range.
  void Reset(int32_t minX, int32_t minY, int32_t maxX, int32_t maxY, int32_t columnShift,
             int32_t rowShift, size_t count);
  void Insert(int32_t id, int32_t x, int32_t y);
  // Moves a stored point to (x, y).
  void Move(int32_t id, int32_t x, int32_t y);
  bool Contains(int32_t x, int32_t y) const {
    return x >= minX_ && x <= maxX_ && y >= minY_ && y <= maxY_;
  }

  // The packed offset of a point of the range, and back.
  uint32_t Pack(int32_t x, int32_t y) const {
    return static_cast<uint32_t>(x - minX_) | (static_cast<uint32_t>(y - minY_) << 16);
  }
  static int32_t OffsetX(uint32_t packed) { return static_cast<int32_t>(packed & 0xFFFFu); }
  static int32_t OffsetY(uint32_t packed) { return static_cast<int32_t>(packed >> 16); }

  // Calls f(packed, ids, n) for runs of points that together hold every point whose squared
  // distance to (x, y) is at most r2 (or disc.R2()); they may hold points farther away as well.
  template <typename F>
  void ForEachRun(int32_t x, int32_t y, int64_t r2, F&& f) const {
    if (r2 < 0) return;
    ForEachRunWithin(
        x, y, RootAtLeast(r2),
        [r2](int64_t dy) { return dy * dy > r2 ? int64_t{-1} : RootAtLeast(r2 - dy * dy); }, f);
  }
  template <typename F>
  void ForEachRun(int32_t x, int32_t y, const Disc& disc, F&& f) const {
    if (disc.R2() < 0) return;
    ForEachRunWithin(
        x, y, disc.Radius(), [&disc](int64_t dy) { return disc.Width(dy); }, f);
  }

  // Number of points within squared distance disc.R2() of (x, y), a point at (x, y) included.
  int32_t CountWithin(int32_t x, int32_t y, const Disc& disc) const;
  // A point found by a search and its squared distance from the query point.
  using Near = point_runs::Near;
  // Appends to `out` every point other than id `exclude` within squared distance r2 (or
  // disc.R2()) of (x, y), in no particular order.
  void GatherWithin(int32_t x, int32_t y, int64_t r2, int32_t exclude,
                    std::vector<Near>& out) const;
  void GatherWithin(int32_t x, int32_t y, const Disc& disc, int32_t exclude,
                    std::vector<Near>& out) const;
  // The number of points other than id `exclude` within squared distance disc.R2() of (x, y),
  // and the nearest of them (smallest rounded distance, lowest id among equals) with its
  // distance, -1 for none. `guesses` are up to kMaxGuesses
  // ids of points likely to be the nearest, such as those found by the last searches from about
  // here (ids of no stored point, `exclude` and repeats are passed over): the search for the
  // nearest is confined to the distance of the nearest guess, and when no other point lies that
  // near, the answer is among the guesses without a search.
  static constexpr size_t kMaxGuesses = 4;
  struct DiscCount {
    int32_t count;
    int32_t nearest;
    int32_t distance;
  };
  DiscCount CountAndNearest(int32_t x, int32_t y, const Disc& disc, int32_t exclude,
                            const int32_t* guesses, size_t guessCount) const;
  // Among the points found, the one of smallest rounded distance and the lowest id among
  // equals, with that distance; -1 for none. Right when `found` holds every point within
  // MaxSquaredFor of that distance.
  static int32_t NearestOf(const std::vector<Near>& found, int32_t* distance);
  // Among the points other than id `exclude` within squared distance r2 of (x, y), the one of
  // smallest rounded distance, the lowest id among equals, with that distance; -1 for none.
  int32_t NearestWithin(int32_t x, int32_t y, int64_t r2, int32_t exclude, int32_t* distance) const;
  // The point of smallest rounded distance from (x, y), the lowest id among equals, leaving out
  // id `exclude`, if that distance is below `below`; -1 otherwise. The search grows a disc from
  // startRadius until it holds every point that could tie with the nearest one found.
  int32_t Nearest(int32_t x, int32_t y, int64_t startRadius, int64_t below, int32_t exclude,
                  int32_t* distance) const;

  // A whole number at least the square root of value (value >= 0): the runs may hold a few
  // points too many, never one too few.
  static int64_t RootAtLeast(int64_t value) {
    return static_cast<int64_t>(std::sqrt(static_cast<float>(value))) + 1;
  }

 private:
  template <typename F>
  void GatherRuns(int32_t x, int32_t y, int32_t r2, int32_t exclude, std::vector<Near>& out,
                  F&& forEachRun) const;

  // Entries after the last point of a row, so that the kernels may read whole blocks.
  static constexpr size_t kPadding = point_runs::kRunPadding;

  struct Row {
    std::vector<uint32_t> packed;  // the points' offsets, then kPadding zeros
    std::vector<int32_t> id;       // their ids, then kPadding zeros
    // The points of bucket column c are at [start[c], start[c + 1]).
    std::vector<int32_t> start;
  };

  int32_t ColumnOf(int64_t x) const {
    if (x < minX_) return 0;
    return static_cast<int32_t>(std::min<int64_t>((x - minX_) >> columnShift_, columns_ - 1));
  }
  int32_t RowOf(int64_t y) const {
    if (y < minY_) return 0;
    return static_cast<int32_t>(std::min<int64_t>((y - minY_) >> rowShift_, rowCount_ - 1));
  }
  // The runs of the rows within r of y, each cut to the half-width widthAt(dy) for the row's
  // nearest vertical offset dy; a negative width leaves the row out.
  template <typename W, typename F>
  void ForEachRunWithin(int32_t x, int32_t y, int64_t r, W&& widthAt, F&& f) const;
  // The same rows: f(row, row's points, begin, end) with the run [begin, end) of the row,
  // possibly empty.
  template <typename W, typename F>
  void ForEachRowRun(int32_t x, int32_t y, int64_t r, W&& widthAt, F&& f) const;
  // Sets slot_ for the points of a row from position `from` on.
  void Renumber(Row& row, size_t from);
  void Erase(int32_t id);
  void Place(int32_t id, int32_t x, int32_t y);

  int32_t minX_ = 0, minY_ = 0, maxX_ = -1, maxY_ = -1;
  int32_t columnShift_ = 0, rowShift_ = 0, columns_ = 0, rowCount_ = 0;
  int64_t reach_ = 0;
  std::vector<Row> rows_;
  // Whether id is that of a stored point.
  bool Stored(int32_t id) const {
    return id >= 0 && static_cast<size_t>(id) < rowOf_.size() &&
           rowOf_[static_cast<size_t>(id)] >= 0;
  }
  // Each point's row, bucket column and position in its row, and its packed offset.
  std::vector<int32_t> rowOf_, columnOf_, slot_;
  std::vector<uint32_t> packedOf_;
  // Room for a run of every row, for searches that gather their runs before working through
  // them.
  mutable std::vector<point_runs::Run> scratch_;
};

template <typename W, typename F>
void PointGrid::ForEachRowRun(int32_t x, int32_t y, int64_t r, W&& widthAt, F&& f) const {
  if (rows_.empty()) return;
  const int32_t firstRow = RowOf(static_cast<int64_t>(y) - r);
  const int32_t lastRow = RowOf(static_cast<int64_t>(y) + r);
  for (int32_t row = firstRow; row <= lastRow; ++row) {
    // Nearest vertical offset from y to the row.
    const int64_t top = minY_ + (static_cast<int64_t>(row) << rowShift_);
    const int64_t bottom = top + (int64_t{1} << rowShift_) - 1;
    const int64_t dy = y < top ? top - y : (y > bottom ? y - bottom : 0);
    if (dy > r) continue;
    const int64_t w = widthAt(dy);
    if (w < 0) continue;
    const Row& line = rows_[static_cast<size_t>(row)];
    const int32_t begin = line.start[static_cast<size_t>(ColumnOf(x - w))];
    const int32_t end = line.start[static_cast<size_t>(ColumnOf(x + w)) + 1];
    // The kernels read whole blocks past a run's end, into the row's padding.
    assert(static_cast<size_t>(end) + kPadding <= line.packed.size());
    f(row, line, begin, end);
  }
}

template <typename W, typename F>
void PointGrid::ForEachRunWithin(int32_t x, int32_t y, int64_t r, W&& widthAt, F&& f) const {
  ForEachRowRun(x, y, r, widthAt, [&f](int32_t, const Row& line, int32_t begin, int32_t end) {
    if (end > begin)
      f(line.packed.data() + begin, line.id.data() + begin, static_cast<size_t>(end - begin));
  });
}

}  // namespace velmora

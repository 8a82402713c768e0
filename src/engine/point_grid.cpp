// The bucket grid of node positions.
#include "engine/point_grid.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <limits>

#include "engine/point_kernels.h"

namespace velmora {

int64_t FloorSqrt(int64_t value) {
  if (value <= 0) return 0;
  int64_t r = static_cast<int64_t>(std::sqrt(static_cast<double>(value)));
  while (r * r > value) --r;
  while ((r + 1) * (r + 1) <= value) ++r;
  return r;
}

int32_t RoundedDistance(int64_t squared) {
  // Below 2^40 the double root plus 1/2, truncated, is the answer: the root is at most 2^20 and
  // lies at least 1 / (8k + 4) > 2^-24 from any k + 1/2, while the double root and the sum are
  // each within an ulp (2^-32 at this size) of the exact values.
  if (squared > 0 && squared < (int64_t{1} << 40)) return SmallRoundedDistance(squared);
  const int64_t k = FloorSqrt(squared);
  return static_cast<int32_t>(squared > MaxSquaredFor(k) ? k + 1 : k);
}

Disc::Disc(int64_t r2) : r2_(r2) {
  if (r2 < 0) return;
  const int64_t r = FloorSqrt(r2);
  widths_.resize(static_cast<size_t>(r) + 1);
  for (int64_t dy = 0; dy <= r; ++dy)
    widths_[static_cast<size_t>(dy)] = static_cast<int32_t>(FloorSqrt(r2 - dy * dy));
}

void PointGrid::Reset(int32_t minX, int32_t minY, int32_t maxX, int32_t maxY, int32_t columnShift,
                      int32_t rowShift, size_t count) {
  minX_ = minX;
  minY_ = minY;
  maxX_ = maxX;
  maxY_ = maxY;
  columnShift_ = std::clamp(columnShift, 0, 16);
  rowShift_ = std::clamp(rowShift, 0, 16);
  const int64_t spanX = static_cast<int64_t>(maxX) - minX;
  const int64_t spanY = static_cast<int64_t>(maxY) - minY;
  columns_ = static_cast<int32_t>((spanX >> columnShift_) + 1);
  rowCount_ = static_cast<int32_t>((spanY >> rowShift_) + 1);
  reach_ = FloorSqrt(spanX * spanX + spanY * spanY) + 1;
  rows_.assign(static_cast<size_t>(rowCount_), Row{});
  for (Row& row : rows_) {
    row.packed.assign(kPadding, 0);
    row.id.assign(kPadding, 0);
    row.start.assign(static_cast<size_t>(columns_) + 1, 0);
  }
  scratch_.resize(static_cast<size_t>(rowCount_));
  rowOf_.assign(count, -1);
  columnOf_.assign(count, -1);
  slot_.assign(count, -1);
  packedOf_.assign(count, 0);
}

void PointGrid::Renumber(Row& row, size_t from) {
  const size_t points = row.id.size() - kPadding;
  for (size_t k = from; k < points; ++k)
    slot_[static_cast<size_t>(row.id[k])] = static_cast<int32_t>(k);
}

void PointGrid::Place(int32_t id, int32_t x, int32_t y) {
  const int32_t r = RowOf(y);
  const int32_t c = ColumnOf(x);
  Row& row = rows_[static_cast<size_t>(r)];
  // At the end of its bucket; the later buckets of the row (and the padding) shift up by one.
  const auto at = static_cast<ptrdiff_t>(row.start[static_cast<size_t>(c) + 1]);
  row.packed.insert(row.packed.begin() + at, Pack(x, y));
  row.id.insert(row.id.begin() + at, id);
  for (size_t k = static_cast<size_t>(c) + 1; k < row.start.size(); ++k) ++row.start[k];
  rowOf_[static_cast<size_t>(id)] = r;
  columnOf_[static_cast<size_t>(id)] = c;
  packedOf_[static_cast<size_t>(id)] = Pack(x, y);
  Renumber(row, static_cast<size_t>(at));
}

void PointGrid::Erase(int32_t id) {
  const auto at = static_cast<ptrdiff_t>(slot_[static_cast<size_t>(id)]);
  Row& row = rows_[static_cast<size_t>(rowOf_[static_cast<size_t>(id)])];
  row.packed.erase(row.packed.begin() + at);
  row.id.erase(row.id.begin() + at);
  const size_t column = static_cast<size_t>(columnOf_[static_cast<size_t>(id)]);
  for (size_t k = column + 1; k < row.start.size(); ++k) --row.start[k];
  Renumber(row, static_cast<size_t>(at));
}

void PointGrid::Insert(int32_t id, int32_t x, int32_t y) {
  Place(id, x, y);
}

void PointGrid::Move(int32_t id, int32_t x, int32_t y) {
  const auto self = static_cast<size_t>(id);
  const int32_t r = RowOf(y);
  if (r != rowOf_[self]) {
    Erase(id);
    Place(id, x, y);
    return;
  }
  // Within its row the point steps from bucket to bucket: it trades places with the last point
  // of its bucket (or the first, going left), and the boundary between the two buckets moves
  // past it. The order of points within a bucket means nothing.
  Row& row = rows_[static_cast<size_t>(r)];
  const int32_t c = ColumnOf(x);
  int32_t column = columnOf_[self];
  auto k = static_cast<size_t>(slot_[self]);
  auto trade = [&](size_t to) {
    std::swap(row.packed[k], row.packed[to]);
    std::swap(row.id[k], row.id[to]);
    slot_[static_cast<size_t>(row.id[k])] = static_cast<int32_t>(k);
    k = to;
  };
  for (; column < c; ++column) {
    auto& boundary = row.start[static_cast<size_t>(column) + 1];
    trade(static_cast<size_t>(boundary - 1));
    --boundary;
  }
  for (; column > c; --column) {
    auto& boundary = row.start[static_cast<size_t>(column)];
    trade(static_cast<size_t>(boundary));
    ++boundary;
  }
  row.packed[k] = Pack(x, y);
  packedOf_[self] = row.packed[k];
  columnOf_[self] = c;
  slot_[self] = static_cast<int32_t>(k);
}

int32_t PointGrid::CountWithin(int32_t x, int32_t y, const Disc& disc) const {
  const int64_t r2 = disc.R2();
  if (r2 < 0 || rows_.empty()) return 0;
  const int64_t r = disc.Radius();
  const uint32_t q = Pack(x, y);
  int32_t count = 0;
  auto widthAt = [&disc](int64_t dy) { return disc.Width(dy); };
  ForEachRowRun(x, y, r, widthAt, [&](int32_t row, const Row& line, int32_t begin, int32_t end) {
    const int64_t top = minY_ + (static_cast<int64_t>(row) << rowShift_);
    const int64_t bottom = top + (int64_t{1} << rowShift_) - 1;
    // Buckets wholly inside the disc are counted whole: their points are at most farDy away
    // vertically and `inner` horizontally.
    int32_t innerBegin = end, innerEnd = end;
    const int64_t farDy = std::max(y - top, bottom - y);
    if (farDy <= r) {
      const int64_t inner = disc.Width(farDy);
      // First column starting at or right of x - inner, last one ending at or left of x + inner.
      const int64_t first = std::max<int64_t>(-((minX_ - (x - inner)) >> columnShift_), 0);
      const int64_t last =
          std::min<int64_t>(((x + inner - minX_ + 1) >> columnShift_) - 1, columns_ - 1);
      if (first <= last) {
        innerBegin = line.start[static_cast<size_t>(first)];
        innerEnd = line.start[static_cast<size_t>(last) + 1];
        count += innerEnd - innerBegin;
      }
    }
    const auto limit = static_cast<int32_t>(r2);
    if (innerBegin > begin)
      count += point_runs::CountInRun(line.packed.data() + begin,
                                      static_cast<size_t>(innerBegin - begin), q, limit);
    if (end > innerEnd)
      count += point_runs::CountInRun(line.packed.data() + innerEnd,
                                      static_cast<size_t>(end - innerEnd), q, limit);
  });
  return count;
}

template <typename F>
void PointGrid::GatherRuns(int32_t x, int32_t y, int32_t r2, int32_t exclude,
                           std::vector<Near>& out, F&& forEachRun) const {
  const uint32_t q = Pack(x, y);
  forEachRun([&](const uint32_t* packed, const int32_t* ids, size_t n) {
    point_runs::GatherInRun(packed, ids, n, q, r2, exclude, out);
  });
}

void PointGrid::GatherWithin(int32_t x, int32_t y, int64_t r2, int32_t exclude,
                             std::vector<Near>& out) const {
  if (r2 < 0) return;
  // No two points of the range are farther apart than reach_.
  const auto bound = static_cast<int32_t>(std::min(r2, reach_ * reach_));
  GatherRuns(x, y, bound, exclude, out, [&](auto&& f) { ForEachRun(x, y, bound, f); });
}

void PointGrid::GatherWithin(int32_t x, int32_t y, const Disc& disc, int32_t exclude,
                             std::vector<Near>& out) const {
  if (disc.R2() < 0) return;
  const auto bound = static_cast<int32_t>(std::min(disc.R2(), reach_ * reach_));
  GatherRuns(x, y, bound, exclude, out, [&](auto&& f) { ForEachRun(x, y, disc, f); });
}

int32_t PointGrid::NearestOf(const std::vector<Near>& found, int32_t* distance) {
  if (found.empty()) return -1;
  int32_t least = point_runs::kNone;
  for (const Near& p : found) least = std::min(least, p.squared);
  // Every point at the rounded distance d of the nearest lies within MaxSquaredFor(d).
  const int32_t d = RoundedDistance(least);
  const int64_t ties = MaxSquaredFor(d);
  int32_t lowest = point_runs::kNone;
  for (const Near& p : found)
    if (p.squared <= ties) lowest = std::min(lowest, p.id);
  *distance = d;
  return lowest;
}

int32_t PointGrid::NearestWithin(int32_t x, int32_t y, int64_t r2, int32_t exclude,
                                 int32_t* distance) const {
  if (r2 < 0 || rows_.empty()) return -1;
  // No two points of the range are farther apart than reach_, and every squared distance of the
  // range fits 32 bits.
  const auto bound = static_cast<int32_t>(std::min(r2, reach_ * reach_));
  const uint32_t q = Pack(x, y);
  // The runs of the square around (x, y) that holds the disc: a few for the small discs of the
  // formation's searches, collected once for both passes below.
  using point_runs::Run;
  constexpr int32_t kFewRows = 4;
  const int64_t r = RootAtLeast(bound);
  const int32_t firstRow = RowOf(static_cast<int64_t>(y) - r);
  const int32_t lastRow = RowOf(static_cast<int64_t>(y) + r);
  std::array<Run, kFewRows> few{};
  std::vector<Run> many;
  Run* runs = few.data();
  if (lastRow - firstRow >= kFewRows) {
    many.resize(static_cast<size_t>(lastRow - firstRow) + 1);
    runs = many.data();
  }
  size_t count = 0;
  const size_t begin = static_cast<size_t>(ColumnOf(static_cast<int64_t>(x) - r));
  const size_t end = static_cast<size_t>(ColumnOf(static_cast<int64_t>(x) + r)) + 1;
  for (int32_t row = firstRow; row <= lastRow; ++row) {
    const Row& line = rows_[static_cast<size_t>(row)];
    const int32_t from = line.start[begin], to = line.start[end];
    assert(static_cast<size_t>(to) + kPadding <= line.packed.size());
    if (to > from)
      runs[count++] =
          Run{line.packed.data() + from, line.id.data() + from, static_cast<size_t>(to - from)};
  }
  // The runs hold every point within the bound, so the least squared distance found is the
  // least overall whenever it lies within the bound.
  const int32_t least = point_runs::LeastSquaredInRuns(runs, count, q, exclude);
  if (least > bound) return -1;
  // Rounding is monotonic, so the smallest rounded distance d is that of the least square, and
  // the points at d are those within MaxSquaredFor(d) (no point lies nearer than d); only those
  // within the bound count.
  const int32_t d = RoundedDistance(least);
  const auto ties = static_cast<int32_t>(std::min<int64_t>(MaxSquaredFor(d), bound));
  const int32_t lowest = point_runs::LowestIdInRuns(runs, count, q, ties, exclude);
  *distance = d;
  return lowest;
}

int32_t PointGrid::Nearest(int32_t x, int32_t y, int64_t startRadius, int64_t below,
                           int32_t exclude, int32_t* distance) const {
  // Beyond `below` nothing counts, and beyond reach_ the disc holds every point of the range.
  const int64_t cap = std::min(below, reach_);
  int64_t r = std::clamp<int64_t>(startRadius, 1, cap);
  for (;;) {
    const int64_t r2 = r * r;
    int32_t d = 0;
    const int32_t nearest = NearestWithin(x, y, r2, exclude, &d);
    // Once the disc holds every point at the nearest one's rounded distance, that distance is
    // the smallest there is and the lowest id among those points is the answer.
    if (nearest >= 0 && (MaxSquaredFor(d) <= r2 || r >= reach_)) {
      if (d >= below) return -1;
      *distance = d;
      return nearest;
    }
    // A point at a rounded distance below `below` would lie within (below - 1)^2 + below - 1,
    // which is less than r2 once r has reached `below`.
    if (r >= cap) return -1;
    r = std::min(2 * r, cap);
  }
}

}  // namespace velmora

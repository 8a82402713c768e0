// The bucket grid of node positions.
#include "model/point_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace velmora {

namespace {

constexpr int32_t kNone = std::numeric_limits<int32_t>::max();

// The kernels below work through a run of n packed points against a packed query point q.
#if defined(__SSE2__)

// All ones in the lanes below n of a block of four.
__m128i LanesBelow(size_t n) {
  return _mm_cmpgt_epi32(_mm_set1_epi32(static_cast<int32_t>(n)), _mm_setr_epi32(0, 1, 2, 3));
}

// Squared distances of four points from q: the 16-bit differences multiplied and added in pairs.
__m128i SquaredOfFour(const uint32_t* packed, __m128i q) {
  const __m128i d = _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(packed)), q);
  return _mm_madd_epi16(d, d);
}

int32_t SumOfLanes(__m128i v) {
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(v);
}

// Number of points within squared distance r2 (r2 < 2^31 - 1).
int32_t CountRun(const uint32_t* packed, size_t n, uint32_t q, int32_t r2) {
  const __m128i vq = _mm_set1_epi32(static_cast<int32_t>(q));
  const __m128i beyond = _mm_set1_epi32(r2 + 1);
  __m128i inside = _mm_setzero_si128();  // minus the number of points inside, per lane
  size_t k = 0;
  for (; k + 4 <= n; k += 4)
    inside = _mm_add_epi32(inside, _mm_cmpgt_epi32(beyond, SquaredOfFour(packed + k, vq)));
  if (k < n)
    inside = _mm_add_epi32(
        inside,
        _mm_and_si128(_mm_cmpgt_epi32(beyond, SquaredOfFour(packed + k, vq)), LanesBelow(n - k)));
  return -SumOfLanes(inside);
}

// RoundedDistance of four squared distances below 2^24 (tested exhaustively). Below 2^24 a
// squared distance converts to float exactly; the truncated float root k is the integer root or,
// just below a square, one above it; k^2 + k is even and below 2^25, so the float sum is exact
// too, and the distance is k, or k + 1 beyond k^2 + k.
__m128i RoundedOfFour(__m128i squared) {
  const __m128i k = _mm_cvttps_epi32(_mm_sqrt_ps(_mm_cvtepi32_ps(squared)));
  const __m128 kf = _mm_cvtepi32_ps(k);
  const __m128i edge = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(kf, kf), kf));
  return _mm_sub_epi32(k, _mm_cmpgt_epi32(squared, edge));
}

__m128i Min32(__m128i a, __m128i b) {
  const __m128i aAbove = _mm_cmpgt_epi32(a, b);
  return _mm_or_si128(_mm_and_si128(aAbove, b), _mm_andnot_si128(aAbove, a));
}

// The smallest key (rounded distance << kIdBits | id) of the points other than `exclude` within
// squared distance r2 < 2^24, or kNone.
int32_t NearestKeyRun(const uint32_t* packed, const int32_t* ids, size_t n, uint32_t q, int32_t r2,
                      int32_t exclude) {
  const __m128i vq = _mm_set1_epi32(static_cast<int32_t>(q));
  const __m128i skip = _mm_set1_epi32(exclude);
  const __m128i beyond = _mm_set1_epi32(r2 + 1);
  const __m128i none = _mm_set1_epi32(kNone);
  __m128i least = none;
  for (size_t k = 0; k < n; k += 4) {
    const __m128i sq = SquaredOfFour(packed + k, vq);
    const __m128i id = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ids + k));
    const __m128i keep =
        _mm_and_si128(_mm_cmpgt_epi32(beyond, sq),
                      _mm_andnot_si128(_mm_cmpeq_epi32(id, skip), LanesBelow(n - k)));
    const __m128i key = _mm_or_si128(_mm_slli_epi32(RoundedOfFour(sq), PointGrid::kIdBits), id);
    least = Min32(least, _mm_or_si128(_mm_and_si128(keep, key), _mm_andnot_si128(keep, none)));
  }
  least = Min32(least, _mm_shuffle_epi32(least, _MM_SHUFFLE(1, 0, 3, 2)));
  least = Min32(least, _mm_shuffle_epi32(least, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(least);
}

// Appends the points within squared distance r2 whose id is not `exclude`. Few points of a run
// are that near, so the appending is rare.
void GatherRun(const uint32_t* packed, const int32_t* ids, size_t n, uint32_t q, int32_t r2,
               int32_t exclude, std::vector<PointGrid::Near>& out) {
  const __m128i vq = _mm_set1_epi32(static_cast<int32_t>(q));
  const __m128i skip = _mm_set1_epi32(exclude);
  const __m128i beyond = _mm_set1_epi32(r2 + 1);
  for (size_t k = 0; k < n; k += 4) {
    const __m128i sq = SquaredOfFour(packed + k, vq);
    const __m128i id = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ids + k));
    const __m128i keep =
        _mm_and_si128(_mm_cmpgt_epi32(beyond, sq),
                      _mm_andnot_si128(_mm_cmpeq_epi32(id, skip), LanesBelow(n - k)));
    int bits = _mm_movemask_ps(_mm_castsi128_ps(keep));
    if (bits == 0) continue;
    alignas(16) int32_t squared[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(squared), sq);
    for (; bits != 0; bits &= bits - 1) {
      const int lane = __builtin_ctz(static_cast<unsigned>(bits));
      out.push_back(PointGrid::Near{ids[k + static_cast<size_t>(lane)], squared[lane]});
    }
  }
}

// The same counts and keys eight points at a time. Each lane does exactly the four-wide
// kernels' integer and single-precision operations on one point, so the results are the same;
// only the number of points per block differs.
#define VELMORA_AVX2 __attribute__((target("avx2")))

VELMORA_AVX2 __m256i LanesBelow8(size_t n) {
  return _mm256_cmpgt_epi32(_mm256_set1_epi32(static_cast<int32_t>(n)),
                            _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

VELMORA_AVX2 __m256i SquaredOfEight(const uint32_t* packed, __m256i q) {
  const __m256i d =
      _mm256_sub_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(packed)), q);
  return _mm256_madd_epi16(d, d);
}

VELMORA_AVX2 int32_t CountRun8(const uint32_t* packed, size_t n, uint32_t q, int32_t r2) {
  const __m256i vq = _mm256_set1_epi32(static_cast<int32_t>(q));
  const __m256i beyond = _mm256_set1_epi32(r2 + 1);
  __m256i inside = _mm256_setzero_si256();  // minus the number of points inside, per lane
  size_t k = 0;
  for (; k + 8 <= n; k += 8)
    inside = _mm256_add_epi32(inside, _mm256_cmpgt_epi32(beyond, SquaredOfEight(packed + k, vq)));
  if (k < n)
    inside = _mm256_add_epi32(
        inside, _mm256_and_si256(_mm256_cmpgt_epi32(beyond, SquaredOfEight(packed + k, vq)),
                                 LanesBelow8(n - k)));
  const __m128i half =
      _mm_add_epi32(_mm256_castsi256_si128(inside), _mm256_extracti128_si256(inside, 1));
  return -SumOfLanes(half);
}

VELMORA_AVX2 int32_t NearestKeyRun8(const uint32_t* packed, const int32_t* ids, size_t n,
                                    uint32_t q, int32_t r2, int32_t exclude) {
  const __m256i vq = _mm256_set1_epi32(static_cast<int32_t>(q));
  const __m256i skip = _mm256_set1_epi32(exclude);
  const __m256i beyond = _mm256_set1_epi32(r2 + 1);
  const __m256i none = _mm256_set1_epi32(kNone);
  __m256i least = none;
  for (size_t k = 0; k < n; k += 8) {
    const __m256i sq = SquaredOfEight(packed + k, vq);
    const __m256i id = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ids + k));
    const __m256i keep =
        _mm256_and_si256(_mm256_cmpgt_epi32(beyond, sq),
                         _mm256_andnot_si256(_mm256_cmpeq_epi32(id, skip), LanesBelow8(n - k)));
    // RoundedOfFour's steps, lane by lane.
    const __m256i root = _mm256_cvttps_epi32(_mm256_sqrt_ps(_mm256_cvtepi32_ps(sq)));
    const __m256 rootF = _mm256_cvtepi32_ps(root);
    const __m256i edge = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(rootF, rootF), rootF));
    const __m256i rounded = _mm256_sub_epi32(root, _mm256_cmpgt_epi32(sq, edge));
    const __m256i key = _mm256_or_si256(_mm256_slli_epi32(rounded, PointGrid::kIdBits), id);
    least = _mm256_min_epi32(least, _mm256_blendv_epi8(none, key, keep));
  }
  __m128i low = Min32(_mm256_castsi256_si128(least), _mm256_extracti128_si256(least, 1));
  low = Min32(low, _mm_shuffle_epi32(low, _MM_SHUFFLE(1, 0, 3, 2)));
  low = Min32(low, _mm_shuffle_epi32(low, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(low);
}

#undef VELMORA_AVX2

// The count sixteen points at a time: the same 16-bit differences and 32-bit squares per lane,
// compared with r2 into a lane mask whose bits are counted. The last block loads only the lanes
// below n (a masked load reads nothing beyond them).
#define VELMORA_AVX512 __attribute__((target("avx512f,avx512bw,popcnt")))

VELMORA_AVX512 int32_t CountRun16(const uint32_t* packed, size_t n, uint32_t q, int32_t r2) {
  const __m512i vq = _mm512_set1_epi32(static_cast<int32_t>(q));
  const __m512i limit = _mm512_set1_epi32(r2);
  int32_t count = 0;
  size_t k = 0;
  for (; k + 16 <= n; k += 16) {
    const __m512i d = _mm512_sub_epi16(_mm512_loadu_si512(packed + k), vq);
    count += __builtin_popcount(_mm512_cmple_epi32_mask(_mm512_madd_epi16(d, d), limit));
  }
  if (k < n) {
    const auto lanes = static_cast<__mmask16>((1u << (n - k)) - 1u);
    const __m512i d = _mm512_sub_epi16(_mm512_maskz_loadu_epi32(lanes, packed + k), vq);
    count +=
        __builtin_popcount(_mm512_mask_cmple_epi32_mask(lanes, _mm512_madd_epi16(d, d), limit));
  }
  return count;
}

#undef VELMORA_AVX512

// The widest kernels the processor runs: 16 (AVX-512 with byte and word operations), 8 (AVX2)
// or 4 (SSE2).
int WidestLanes() {
  // The choice is made while static objects are constructed; the feature flags are read
  // explicitly rather than relying on the order of construction.
  __builtin_cpu_init();
  static const int lanes =
      __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0 ? 16
      : __builtin_cpu_supports("avx2") != 0                                             ? 8
                                                                                        : 4;
  return lanes;
}

int kernelLanes = WidestLanes();

int32_t CountRunAny(const uint32_t* packed, size_t n, uint32_t q, int32_t r2) {
  if (kernelLanes >= 16) return CountRun16(packed, n, q, r2);
  if (kernelLanes >= 8) return CountRun8(packed, n, q, r2);
  return CountRun(packed, n, q, r2);
}

int32_t NearestKeyRunAny(const uint32_t* packed, const int32_t* ids, size_t n, uint32_t q,
                         int32_t r2, int32_t exclude) {
  return kernelLanes >= 8 ? NearestKeyRun8(packed, ids, n, q, r2, exclude)
                          : NearestKeyRun(packed, ids, n, q, r2, exclude);
}

#else

int kernelLanes = 1;

int32_t SquaredOf(uint32_t p, uint32_t q) {
  const int32_t dx = PointGrid::OffsetX(p) - PointGrid::OffsetX(q);
  const int32_t dy = PointGrid::OffsetY(p) - PointGrid::OffsetY(q);
  return dx * dx + dy * dy;
}

int32_t CountRun(const uint32_t* packed, size_t n, uint32_t q, int32_t r2) {
  int32_t inside = 0;
  for (size_t k = 0; k < n; ++k) inside += SquaredOf(packed[k], q) <= r2 ? 1 : 0;
  return inside;
}

int32_t NearestKeyRun(const uint32_t* packed, const int32_t* ids, size_t n, uint32_t q, int32_t r2,
                      int32_t exclude) {
  int32_t least = kNone;
  for (size_t k = 0; k < n; ++k) {
    const int32_t sq = SquaredOf(packed[k], q);
    if (sq <= r2 && ids[k] != exclude)
      least = std::min(least, (RoundedDistance(sq) << PointGrid::kIdBits) | ids[k]);
  }
  return least;
}

void GatherRun(const uint32_t* packed, const int32_t* ids, size_t n, uint32_t q, int32_t r2,
               int32_t exclude, std::vector<PointGrid::Near>& out) {
  for (size_t k = 0; k < n; ++k) {
    const int32_t sq = SquaredOf(packed[k], q);
    if (sq <= r2 && ids[k] != exclude) out.push_back(PointGrid::Near{ids[k], sq});
  }
}

int32_t CountRunAny(const uint32_t* packed, size_t n, uint32_t q, int32_t r2) {
  return CountRun(packed, n, q, r2);
}

int32_t NearestKeyRunAny(const uint32_t* packed, const int32_t* ids, size_t n, uint32_t q,
                         int32_t r2, int32_t exclude) {
  return NearestKeyRun(packed, ids, n, q, r2, exclude);
}

#endif

}  // namespace

int PointGrid::SetKernelLanes(int lanes) {
  const int before = kernelLanes;
#if defined(__SSE2__)
  kernelLanes = std::min(WidestLanes(), lanes >= 16 ? 16 : (lanes >= 8 ? 8 : 4));
#else
  (void)lanes;
#endif
  return before;
}

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
  if (squared > 0 && squared < (int64_t{1} << 40))
    return static_cast<int32_t>(std::sqrt(static_cast<double>(squared)) + 0.5);
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

void RoundedDistances(const int32_t* squared, int32_t* out, size_t n) {
#if defined(__SSE2__)
  size_t k = 0;
  for (; k + 4 <= n; k += 4) {
    const __m128i sq = _mm_loadu_si128(reinterpret_cast<const __m128i*>(squared + k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), RoundedOfFour(sq));
  }
  for (; k < n; ++k) out[k] = RoundedDistance(squared[k]);
#else
  for (size_t k = 0; k < n; ++k) out[k] = RoundedDistance(squared[k]);
#endif
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
  rowOf_.assign(count, -1);
  columnOf_.assign(count, -1);
}

size_t PointGrid::Find(int32_t id) const {
  const Row& row = rows_[static_cast<size_t>(rowOf_[static_cast<size_t>(id)])];
  const size_t column = static_cast<size_t>(columnOf_[static_cast<size_t>(id)]);
  size_t k = static_cast<size_t>(row.start[column]);
  while (row.id[k] != id) ++k;
  return k;
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
}

void PointGrid::Erase(int32_t id) {
  const auto at = static_cast<ptrdiff_t>(Find(id));
  Row& row = rows_[static_cast<size_t>(rowOf_[static_cast<size_t>(id)])];
  row.packed.erase(row.packed.begin() + at);
  row.id.erase(row.id.begin() + at);
  const size_t column = static_cast<size_t>(columnOf_[static_cast<size_t>(id)]);
  for (size_t k = column + 1; k < row.start.size(); ++k) --row.start[k];
}

void PointGrid::Insert(int32_t id, int32_t x, int32_t y) {
  Place(id, x, y);
}

void PointGrid::Move(int32_t id, int32_t x, int32_t y) {
  if (RowOf(y) == rowOf_[static_cast<size_t>(id)] &&
      ColumnOf(x) == columnOf_[static_cast<size_t>(id)]) {
    rows_[static_cast<size_t>(rowOf_[static_cast<size_t>(id)])].packed[Find(id)] = Pack(x, y);
    return;
  }
  Erase(id);
  Place(id, x, y);
}

int32_t PointGrid::CountWithin(int32_t x, int32_t y, const Disc& disc) const {
  const int64_t r2 = disc.R2();
  if (r2 < 0 || rows_.empty()) return 0;
  const int64_t r = disc.Radius();
  const uint32_t q = Pack(x, y);
  int32_t count = 0;
  const int32_t firstRow = RowOf(static_cast<int64_t>(y) - r);
  const int32_t lastRow = RowOf(static_cast<int64_t>(y) + r);
  for (int32_t row = firstRow; row <= lastRow; ++row) {
    const int64_t top = minY_ + (static_cast<int64_t>(row) << rowShift_);
    const int64_t bottom = top + (int64_t{1} << rowShift_) - 1;
    const int64_t nearDy = y < top ? top - y : (y > bottom ? y - bottom : 0);
    if (nearDy > r) continue;
    const Row& line = rows_[static_cast<size_t>(row)];
    const int64_t outer = disc.Width(nearDy);
    const int32_t begin = line.start[static_cast<size_t>(ColumnOf(x - outer))];
    const int32_t end = line.start[static_cast<size_t>(ColumnOf(x + outer)) + 1];
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
      count += CountRunAny(line.packed.data() + begin, static_cast<size_t>(innerBegin - begin), q,
                           limit);
    if (end > innerEnd)
      count +=
          CountRunAny(line.packed.data() + innerEnd, static_cast<size_t>(end - innerEnd), q, limit);
  }
  return count;
}

template <typename F>
void PointGrid::GatherRuns(int32_t x, int32_t y, int32_t r2, int32_t exclude,
                           std::vector<Near>& out, F&& forEachRun) const {
  const uint32_t q = Pack(x, y);
  forEachRun([&](const uint32_t* packed, const int32_t* ids, size_t n) {
    GatherRun(packed, ids, n, q, r2, exclude, out);
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
  int32_t least = kNone;
  for (const Near& p : found) least = std::min(least, p.squared);
  // Every point at the rounded distance d of the nearest lies within MaxSquaredFor(d).
  const int32_t d = RoundedDistance(least);
  const int64_t ties = MaxSquaredFor(d);
  int32_t lowest = kNone;
  for (const Near& p : found)
    if (p.squared <= ties) lowest = std::min(lowest, p.id);
  *distance = d;
  return lowest;
}

int32_t PointGrid::NearestWithin(int32_t x, int32_t y, int64_t r2, int32_t exclude,
                                 int32_t* distance) const {
  if (r2 < 0) return -1;
  if (r2 >= kKeyedSquared) {
    near_.clear();
    GatherWithin(x, y, r2, exclude, near_);
    return NearestOf(near_, distance);
  }
  const uint32_t q = Pack(x, y);
  const auto bound = static_cast<int32_t>(r2);
  int32_t least = kNone;
  ForEachRun(x, y, bound, [&](const uint32_t* packed, const int32_t* ids, size_t n) {
    least = std::min(least, NearestKeyRunAny(packed, ids, n, q, bound, exclude));
  });
  if (least == kNone) return -1;
  *distance = least >> kIdBits;
  return least & ((1 << kIdBits) - 1);
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

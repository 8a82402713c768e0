// The inner loops of the point grid's counts and gathering: a run of packed points against a
// query point, four at a time with SSE2, and eight or sixteen where the processor has AVX2 or
// AVX-512 (the widest is picked at start-up). The nearest-point kernels are in
// point_grid_nearest.cpp.
#include "model/point_grid_runs.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace velmora::point_runs {

namespace {

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

TwoCounts CountTwoRun(const uint32_t* packed, size_t n, uint32_t q, int32_t r2, int32_t near2) {
  const __m128i vq = _mm_set1_epi32(static_cast<int32_t>(q));
  const __m128i beyond = _mm_set1_epi32(r2 + 1), nearBeyond = _mm_set1_epi32(near2 + 1);
  __m128i inside = _mm_setzero_si128(), near = _mm_setzero_si128();  // minus the numbers
  for (size_t k = 0; k < n; k += 4) {
    const __m128i sq = SquaredOfFour(packed + k, vq);
    const __m128i lanes = LanesBelow(n - k);
    inside = _mm_add_epi32(inside, _mm_and_si128(_mm_cmpgt_epi32(beyond, sq), lanes));
    near = _mm_add_epi32(near, _mm_and_si128(_mm_cmpgt_epi32(nearBeyond, sq), lanes));
  }
  return TwoCounts{-SumOfLanes(inside), -SumOfLanes(near)};
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

// The same count eight points at a time. Each lane does exactly the four-wide kernel's integer
// operations on one point, so the results are the same; only the number of points per block
// differs.
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

VELMORA_AVX2 int32_t SumOfLanes8(__m256i v) {
  return SumOfLanes(_mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
}

VELMORA_AVX2 TwoCounts CountTwoRun8(const uint32_t* packed, size_t n, uint32_t q, int32_t r2,
                                    int32_t near2) {
  const __m256i vq = _mm256_set1_epi32(static_cast<int32_t>(q));
  const __m256i beyond = _mm256_set1_epi32(r2 + 1), nearBeyond = _mm256_set1_epi32(near2 + 1);
  __m256i inside = _mm256_setzero_si256(), near = _mm256_setzero_si256();  // minus the numbers
  for (size_t k = 0; k < n; k += 8) {
    const __m256i sq = SquaredOfEight(packed + k, vq);
    const __m256i lanes = LanesBelow8(n - k);
    inside = _mm256_add_epi32(inside, _mm256_and_si256(_mm256_cmpgt_epi32(beyond, sq), lanes));
    near = _mm256_add_epi32(near, _mm256_and_si256(_mm256_cmpgt_epi32(nearBeyond, sq), lanes));
  }
  return TwoCounts{-SumOfLanes8(inside), -SumOfLanes8(near)};
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

// Both counts over all the runs in one call, each run's whole blocks of sixteen first.
VELMORA_AVX512 TwoCounts CountTwoInRuns16(const Run* runs, size_t count, uint32_t q, int32_t r2,
                                          int32_t near2) {
  const __m512i vq = _mm512_set1_epi32(static_cast<int32_t>(q));
  const __m512i limit = _mm512_set1_epi32(r2), nearLimit = _mm512_set1_epi32(near2);
  TwoCounts counts{0, 0};
  for (const Run* run = runs; run != runs + count; ++run) {
    const uint32_t* packed = run->packed;
    const size_t n = run->n;
    size_t k = 0;
    for (; k + 16 <= n; k += 16) {
      const __m512i d = _mm512_sub_epi16(_mm512_loadu_si512(packed + k), vq);
      const __m512i sq = _mm512_madd_epi16(d, d);
      counts.within += __builtin_popcount(_mm512_cmple_epi32_mask(sq, limit));
      counts.near += __builtin_popcount(_mm512_cmple_epi32_mask(sq, nearLimit));
    }
    if (k < n) {
      const auto lanes = static_cast<__mmask16>((1u << (n - k)) - 1u);
      const __m512i d = _mm512_sub_epi16(_mm512_maskz_loadu_epi32(lanes, packed + k), vq);
      const __m512i sq = _mm512_madd_epi16(d, d);
      counts.within += __builtin_popcount(_mm512_mask_cmple_epi32_mask(lanes, sq, limit));
      counts.near += __builtin_popcount(_mm512_mask_cmple_epi32_mask(lanes, sq, nearLimit));
    }
  }
  return counts;
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

}  // namespace

int KernelLanes() {
  return kernelLanes;
}

int SetKernelLanes(int lanes) {
  const int before = kernelLanes;
  kernelLanes = std::min(WidestLanes(), lanes >= 16 ? 16 : (lanes >= 8 ? 8 : 4));
  return before;
}

namespace {

int32_t CountRunAny(const uint32_t* packed, size_t n, uint32_t q, int32_t r2) {
  if (kernelLanes >= 16) return CountRun16(packed, n, q, r2);
  if (kernelLanes >= 8) return CountRun8(packed, n, q, r2);
  return CountRun(packed, n, q, r2);
}

TwoCounts CountTwoRunAny(const uint32_t* packed, size_t n, uint32_t q, int32_t r2, int32_t near2) {
  if (kernelLanes >= 8) return CountTwoRun8(packed, n, q, r2, near2);
  return CountTwoRun(packed, n, q, r2, near2);
}

#else

int kernelLanes = 1;

}  // namespace

int KernelLanes() {
  return kernelLanes;
}

int SetKernelLanes(int) {
  return kernelLanes;
}

namespace {

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

TwoCounts CountTwoRunAny(const uint32_t* packed, size_t n, uint32_t q, int32_t r2, int32_t near2) {
  TwoCounts counts{0, 0};
  for (size_t k = 0; k < n; ++k) {
    const int32_t sq = SquaredOf(packed[k], q);
    counts.within += sq <= r2 ? 1 : 0;
    counts.near += sq <= near2 ? 1 : 0;
  }
  return counts;
}

#endif

}  // namespace

int32_t CountInRun(const uint32_t* packed, size_t n, uint32_t q, int32_t r2) {
  return CountRunAny(packed, n, q, r2);
}

TwoCounts CountTwoInRuns(const Run* runs, size_t count, uint32_t q, int32_t r2, int32_t near2) {
#if defined(__SSE2__)
  if (kernelLanes >= 16) return CountTwoInRuns16(runs, count, q, r2, near2);
#endif
  TwoCounts counts{0, 0};
  for (const Run* run = runs; run != runs + count; ++run) {
    const TwoCounts c = CountTwoRunAny(run->packed, run->n, q, r2, near2);
    counts.within += c.within;
    counts.near += c.near;
  }
  return counts;
}

void GatherInRun(const uint32_t* packed, const int32_t* ids, size_t n, uint32_t q, int32_t r2,
                 int32_t exclude, std::vector<PointGrid::Near>& out) {
  GatherRun(packed, ids, n, q, r2, exclude, out);
}

}  // namespace velmora::point_runs

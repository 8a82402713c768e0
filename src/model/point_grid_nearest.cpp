// The nearest-point kernels over runs of packed points (see PointGrid for the packing): the
// smallest squared distance and the lowest id within a squared distance, and the rounded roots
// of squared distances. Sixteen points at a time with AVX-512 where the processor has it and the
// kernels are set that wide, else four with SSE2, else one by one. Every width does the same
// integer arithmetic lane by lane.
#include <algorithm>

#include "model/point_grid_runs.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace velmora::point_runs {

namespace {

#if defined(__SSE2__)

__m128i LanesBelow4(size_t n) {
  return _mm_cmpgt_epi32(_mm_set1_epi32(static_cast<int32_t>(n)), _mm_setr_epi32(0, 1, 2, 3));
}

__m128i Squared4(const uint32_t* packed, __m128i q) {
  const __m128i d = _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(packed)), q);
  return _mm_madd_epi16(d, d);
}

// Lane-wise minimum; lanes where `keep` is clear take kNone.
__m128i MinKept4(__m128i least, __m128i value, __m128i keep) {
  const __m128i none = _mm_set1_epi32(kNone);
  const __m128i v = _mm_or_si128(_mm_and_si128(keep, value), _mm_andnot_si128(keep, none));
  const __m128i above = _mm_cmpgt_epi32(least, v);
  return _mm_or_si128(_mm_and_si128(above, v), _mm_andnot_si128(above, least));
}

int32_t MinOfLanes4(__m128i v) {
  alignas(16) int32_t lanes[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), v);
  return std::min(std::min(lanes[0], lanes[1]), std::min(lanes[2], lanes[3]));
}

// The runs hold kPadding (7) entries after their last point, so blocks of four may read past n;
// the lanes beyond n are masked off.
int32_t LeastSquared4(const Run* runs, size_t count, uint32_t q, int32_t exclude) {
  const __m128i vq = _mm_set1_epi32(static_cast<int32_t>(q));
  const __m128i skip = _mm_set1_epi32(exclude);
  __m128i least = _mm_set1_epi32(kNone);
  for (const Run* run = runs; run != runs + count; ++run)
    for (size_t k = 0, n = run->n; k < n; k += 4) {
      const uint32_t* packed = run->packed;
      const int32_t* ids = run->ids;
      const __m128i id = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ids + k));
      const __m128i keep = _mm_andnot_si128(_mm_cmpeq_epi32(id, skip), LanesBelow4(n - k));
      least = MinKept4(least, Squared4(packed + k, vq), keep);
    }
  return MinOfLanes4(least);
}

int32_t LowestId4(const Run* runs, size_t count, uint32_t q, int32_t r2, int32_t exclude) {
  const __m128i vq = _mm_set1_epi32(static_cast<int32_t>(q));
  const __m128i skip = _mm_set1_epi32(exclude);
  const __m128i beyond = _mm_set1_epi32(r2 + 1);
  __m128i least = _mm_set1_epi32(kNone);
  for (const Run* run = runs; run != runs + count; ++run)
    for (size_t k = 0, n = run->n; k < n; k += 4) {
      const uint32_t* packed = run->packed;
      const int32_t* ids = run->ids;
      const __m128i id = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ids + k));
      const __m128i keep =
          _mm_and_si128(_mm_cmpgt_epi32(beyond, Squared4(packed + k, vq)),
                        _mm_andnot_si128(_mm_cmpeq_epi32(id, skip), LanesBelow4(n - k)));
      least = MinKept4(least, id, keep);
    }
  return MinOfLanes4(least);
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

#define VELMORA_AVX512 __attribute__((target("avx512f,avx512bw")))

// The least of the sixteen lanes: halves, quarters, then within 128 bits. (The masked forms,
// with every lane set, name all their sources.)
VELMORA_AVX512 int32_t MinOfLanes16(__m512i v) {
  constexpr __mmask16 kAll = 0xFFFF;
  v = _mm512_mask_min_epi32(v, kAll, v, _mm512_mask_shuffle_i64x2(v, 0xFF, v, v, 0x4E));
  v = _mm512_mask_min_epi32(v, kAll, v, _mm512_mask_shuffle_i64x2(v, 0xFF, v, v, 0xB1));
  v = _mm512_mask_min_epi32(v, kAll, v, _mm512_mask_shuffle_epi32(v, kAll, v, _MM_PERM_BADC));
  v = _mm512_mask_min_epi32(v, kAll, v, _mm512_mask_shuffle_epi32(v, kAll, v, _MM_PERM_CDAB));
  return _mm512_cvtsi512_si32(v);
}

// The last block loads only the lanes below n.
VELMORA_AVX512 int32_t LeastSquared16(const Run* runs, size_t count, uint32_t q, int32_t exclude) {
  const __m512i vq = _mm512_set1_epi32(static_cast<int32_t>(q));
  const __m512i skip = _mm512_set1_epi32(exclude);
  __m512i least = _mm512_set1_epi32(kNone);
  for (const Run* run = runs; run != runs + count; ++run)
    for (size_t k = 0, n = run->n; k < n; k += 16) {
      const uint32_t* packed = run->packed;
      const int32_t* ids = run->ids;
      const auto lanes = static_cast<__mmask16>(n - k >= 16 ? 0xFFFFu : (1u << (n - k)) - 1u);
      const __m512i d = _mm512_sub_epi16(_mm512_maskz_loadu_epi32(lanes, packed + k), vq);
      const __mmask16 keep =
          _mm512_mask_cmpneq_epi32_mask(lanes, _mm512_maskz_loadu_epi32(lanes, ids + k), skip);
      least = _mm512_mask_min_epi32(least, keep, least, _mm512_madd_epi16(d, d));
    }
  return MinOfLanes16(least);
}

VELMORA_AVX512 int32_t LowestId16(const Run* runs, size_t count, uint32_t q, int32_t r2,
                                  int32_t exclude) {
  const __m512i vq = _mm512_set1_epi32(static_cast<int32_t>(q));
  const __m512i skip = _mm512_set1_epi32(exclude);
  const __m512i limit = _mm512_set1_epi32(r2);
  __m512i least = _mm512_set1_epi32(kNone);
  for (const Run* run = runs; run != runs + count; ++run)
    for (size_t k = 0, n = run->n; k < n; k += 16) {
      const auto lanes = static_cast<__mmask16>(n - k >= 16 ? 0xFFFFu : (1u << (n - k)) - 1u);
      const __m512i d = _mm512_sub_epi16(_mm512_maskz_loadu_epi32(lanes, run->packed + k), vq);
      const __m512i id = _mm512_maskz_loadu_epi32(lanes, run->ids + k);
      const __mmask16 keep = _mm512_mask_cmple_epi32_mask(
          _mm512_mask_cmpneq_epi32_mask(lanes, id, skip), _mm512_madd_epi16(d, d), limit);
      least = _mm512_mask_min_epi32(least, keep, least, id);
    }
  return MinOfLanes16(least);
}

#undef VELMORA_AVX512

#else

int32_t SquaredOf(uint32_t p, uint32_t q) {
  const int32_t dx = PointGrid::OffsetX(p) - PointGrid::OffsetX(q);
  const int32_t dy = PointGrid::OffsetY(p) - PointGrid::OffsetY(q);
  return dx * dx + dy * dy;
}

#endif

}  // namespace

int32_t LeastSquaredInRuns(const Run* runs, size_t count, uint32_t q, int32_t exclude) {
#if defined(__SSE2__)
  if (KernelLanes() >= 16) return LeastSquared16(runs, count, q, exclude);
  return LeastSquared4(runs, count, q, exclude);
#else
  int32_t least = kNone;
  for (const Run* run = runs; run != runs + count; ++run)
    for (size_t k = 0; k < run->n; ++k)
      if (run->ids[k] != exclude) least = std::min(least, SquaredOf(run->packed[k], q));
  return least;
#endif
}

int32_t LowestIdInRuns(const Run* runs, size_t count, uint32_t q, int32_t r2, int32_t exclude) {
#if defined(__SSE2__)
  if (KernelLanes() >= 16) return LowestId16(runs, count, q, r2, exclude);
  return LowestId4(runs, count, q, r2, exclude);
#else
  int32_t least = kNone;
  for (const Run* run = runs; run != runs + count; ++run)
    for (size_t k = 0; k < run->n; ++k)
      if (run->ids[k] != exclude && SquaredOf(run->packed[k], q) <= r2)
        least = std::min(least, run->ids[k]);
  return least;
#endif
}

}  // namespace velmora::point_runs

namespace velmora {

void RoundedDistances(const int32_t* squared, int32_t* out, size_t n) {
  size_t k = 0;
#if defined(__SSE2__)
  for (; k + 4 <= n; k += 4) {
    const __m128i sq = _mm_loadu_si128(reinterpret_cast<const __m128i*>(squared + k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), point_runs::RoundedOfFour(sq));
  }
#endif
  for (; k < n; ++k) out[k] = RoundedDistance(squared[k]);
}

}  // namespace velmora

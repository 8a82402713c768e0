// The nearest-point kernels over runs of packed points (see PointGrid for the packing): the
// smallest squared distance, the lowest id within a squared distance, and a disc's count with
// its two nearest points. Sixteen points at a
// time with AVX-512 where the processor has it and the kernels are set that wide, else four with
// SSE2, else one by one. Every width does the same integer arithmetic lane by lane.
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

__m128i Max32(__m128i a, __m128i b) {
  const __m128i above = _mm_cmpgt_epi32(a, b);
  return _mm_or_si128(_mm_and_si128(above, a), _mm_andnot_si128(above, b));
}

// Lane by lane: the number of points within r2, and the least and second least key of those
// other than `exclude`.
DiscKeys CountAndKeys4(const Run* runs, size_t count, uint32_t q, int32_t r2, int32_t exclude) {
  const __m128i vq = _mm_set1_epi32(static_cast<int32_t>(q));
  const __m128i skip = _mm_set1_epi32(exclude);
  const __m128i beyond = _mm_set1_epi32(r2 + 1);
  const __m128i none = _mm_set1_epi32(kNone);
  __m128i inside = _mm_setzero_si128();  // minus the number kept, per lane
  __m128i least = none, second = none;
  for (const Run* run = runs; run != runs + count; ++run)
    for (size_t k = 0, n = run->n; k < n; k += 4) {
      const __m128i sq = Squared4(run->packed + k, vq);
      const __m128i id = _mm_loadu_si128(reinterpret_cast<const __m128i*>(run->ids + k));
      const __m128i in = _mm_and_si128(_mm_cmpgt_epi32(beyond, sq), LanesBelow4(n - k));
      const __m128i keep = _mm_andnot_si128(_mm_cmpeq_epi32(id, skip), in);
      inside = _mm_add_epi32(inside, in);
      const __m128i key = _mm_or_si128(_mm_slli_epi32(sq, kKeyShift), id);
      const __m128i kept = _mm_or_si128(_mm_and_si128(keep, key), _mm_andnot_si128(keep, none));
      second = MinKept4(second, Max32(least, kept), _mm_set1_epi32(-1));
      least = MinKept4(least, kept, _mm_set1_epi32(-1));
    }
  alignas(16) int32_t in[4], lo[4], hi[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(in), inside);
  _mm_store_si128(reinterpret_cast<__m128i*>(lo), least);
  _mm_store_si128(reinterpret_cast<__m128i*>(hi), second);
  DiscKeys keys{-(in[0] + in[1] + in[2] + in[3]), kNone, kNone};
  for (int lane = 0; lane < 4; ++lane) {
    keys.second = std::min({keys.second, hi[lane], std::max(keys.least, lo[lane])});
    keys.least = std::min(keys.least, lo[lane]);
  }
  return keys;
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

// Lane by lane: the number of points within r2, and the least and second least key of those
// other than `exclude`; then
// the least over all lanes, and the second least as the least of the lanes' second keys and of
// the other lanes' least keys (keys are distinct, ids being so).
VELMORA_AVX512 DiscKeys CountAndKeys16(const Run* runs, size_t count, uint32_t q, int32_t r2,
                                       int32_t exclude) {
  const __m512i vq = _mm512_set1_epi32(static_cast<int32_t>(q));
  const __m512i skip = _mm512_set1_epi32(exclude);
  const __m512i limit = _mm512_set1_epi32(r2);
  const __m512i none = _mm512_set1_epi32(kNone);
  int32_t inside = 0;
  __m512i least = none, second = none;
  for (const Run* run = runs; run != runs + count; ++run)
    for (size_t k = 0, n = run->n; k < n; k += 16) {
      const auto lanes = static_cast<__mmask16>(n - k >= 16 ? 0xFFFFu : (1u << (n - k)) - 1u);
      const __m512i d = _mm512_sub_epi16(_mm512_maskz_loadu_epi32(lanes, run->packed + k), vq);
      const __m512i sq = _mm512_madd_epi16(d, d);
      const __m512i id = _mm512_maskz_loadu_epi32(lanes, run->ids + k);
      const __mmask16 in = _mm512_mask_cmple_epi32_mask(lanes, sq, limit);
      const __mmask16 keep = _mm512_mask_cmpneq_epi32_mask(in, id, skip);
      inside += __builtin_popcount(in);
      const __m512i key = _mm512_or_si512(_mm512_mask_slli_epi32(sq, 0xFFFF, sq, kKeyShift), id);
      second = _mm512_mask_min_epi32(second, keep, second,
                                     _mm512_mask_max_epi32(key, 0xFFFF, least, key));
      least = _mm512_mask_min_epi32(least, keep, least, key);
    }
  DiscKeys keys{inside, MinOfLanes16(least), kNone};
  const __m512i others = _mm512_mask_mov_epi32(
      least, _mm512_cmpeq_epi32_mask(least, _mm512_set1_epi32(keys.least)), none);
  keys.second = MinOfLanes16(_mm512_mask_min_epi32(second, 0xFFFF, second, others));
  return keys;
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

DiscKeys CountAndKeysInRuns(const Run* runs, size_t count, uint32_t q, int32_t r2,
                            int32_t exclude) {
#if defined(__SSE2__)
  if (KernelLanes() >= 16) return CountAndKeys16(runs, count, q, r2, exclude);
  return CountAndKeys4(runs, count, q, r2, exclude);
#else
  DiscKeys keys{0, kNone, kNone};
  for (const Run* run = runs; run != runs + count; ++run)
    for (size_t k = 0; k < run->n; ++k) {
      const int32_t sq = SquaredOf(run->packed[k], q);
      if (sq > r2) continue;
      ++keys.count;
      if (run->ids[k] == exclude) continue;
      const int32_t key = (sq << kKeyShift) | run->ids[k];
      keys.second = std::min(keys.second, std::max(keys.least, key));
      keys.least = std::min(keys.least, key);
    }
  return keys;
#endif
}

}  // namespace velmora::point_runs

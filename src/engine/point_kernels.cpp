// The point grid's kernels in their three widths: plain C++, SSE2 and AVX2.
#include "engine/point_kernels.h"

#include <algorithm>

#include "core/cpu_features.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace velmora::point_runs {

namespace {

// ---- One point at a time: built everywhere, the width-1 kernels. ----

int32_t SquaredOf(uint32_t p, uint32_t q) {
  // The 16-bit offsets as the vector kernels take them: differences of the halves, squared and
  // added in 32 bits (no two points of a grid are 2^15 apart, so nothing wraps).
  const int32_t dx = static_cast<int32_t>(p & 0xFFFFu) - static_cast<int32_t>(q & 0xFFFFu);
  const int32_t dy = static_cast<int32_t>(p >> 16) - static_cast<int32_t>(q >> 16);
  return dx * dx + dy * dy;
}

int32_t CountPlain(const uint32_t* packed, size_t n, uint32_t q, int32_t r2) {
  int32_t inside = 0;
  for (size_t k = 0; k < n; ++k) inside += SquaredOf(packed[k], q) <= r2 ? 1 : 0;
  return inside;
}

TwoCounts CountTwoPlain(const uint32_t* packed, size_t n, uint32_t q, int32_t r2, int32_t near2) {
  TwoCounts counts{0, 0};
  for (size_t k = 0; k < n; ++k) {
    const int32_t sq = SquaredOf(packed[k], q);
    counts.within += sq <= r2 ? 1 : 0;
    counts.near += sq <= near2 ? 1 : 0;
  }
  return counts;
}

int32_t LeastSquaredPlain(const Run* runs, size_t count, uint32_t q, int32_t exclude) {
  int32_t least = kNone;
  for (const Run* run = runs; run != runs + count; ++run)
    for (size_t k = 0; k < run->n; ++k)
      if (run->ids[k] != exclude) least = std::min(least, SquaredOf(run->packed[k], q));
  return least;
}

int32_t LowestIdPlain(const Run* runs, size_t count, uint32_t q, int32_t r2, int32_t exclude) {
  int32_t lowest = kNone;
  for (const Run* run = runs; run != runs + count; ++run)
    for (size_t k = 0; k < run->n; ++k)
      if (run->ids[k] != exclude && SquaredOf(run->packed[k], q) <= r2)
        lowest = std::min(lowest, run->ids[k]);
  return lowest;
}

void GatherPlain(const uint32_t* packed, const int32_t* ids, size_t n, uint32_t q, int32_t r2,
                 int32_t exclude, std::vector<Near>& out) {
  for (size_t k = 0; k < n; ++k) {
    const int32_t sq = SquaredOf(packed[k], q);
    if (sq <= r2 && ids[k] != exclude) out.push_back(Near{ids[k], sq});
  }
}

#if defined(__x86_64__)

// ---- Four points at a time (SSE2). ----

// All ones in the lanes below n of a block of four.
__m128i LanesBelow4(size_t n) {
  return _mm_cmpgt_epi32(_mm_set1_epi32(static_cast<int32_t>(n)), _mm_setr_epi32(0, 1, 2, 3));
}

// Squared distances of four points from q: the 16-bit differences multiplied and added in pairs.
__m128i Squared4(const uint32_t* packed, __m128i q) {
  const __m128i d = _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(packed)), q);
  return _mm_madd_epi16(d, d);
}

int32_t SumOfLanes4(__m128i v) {
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(v);
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

int32_t Count4(const uint32_t* packed, size_t n, uint32_t q, int32_t r2) {
  const __m128i vq = _mm_set1_epi32(static_cast<int32_t>(q));
  const __m128i beyond = _mm_set1_epi32(r2 + 1);
  __m128i inside = _mm_setzero_si128();  // minus the number of points inside, per lane
  size_t k = 0;
  for (; k + 4 <= n; k += 4)
    inside = _mm_add_epi32(inside, _mm_cmpgt_epi32(beyond, Squared4(packed + k, vq)));
  if (k < n)
    inside = _mm_add_epi32(inside, _mm_and_si128(_mm_cmpgt_epi32(beyond, Squared4(packed + k, vq)),
                                                 LanesBelow4(n - k)));
  return -SumOfLanes4(inside);
}

TwoCounts CountTwo4(const uint32_t* packed, size_t n, uint32_t q, int32_t r2, int32_t near2) {
  const __m128i vq = _mm_set1_epi32(static_cast<int32_t>(q));
  const __m128i beyond = _mm_set1_epi32(r2 + 1), nearBeyond = _mm_set1_epi32(near2 + 1);
  __m128i inside = _mm_setzero_si128(), near = _mm_setzero_si128();  // minus the numbers
  for (size_t k = 0; k < n; k += 4) {
    const __m128i sq = Squared4(packed + k, vq);
    const __m128i lanes = LanesBelow4(n - k);
    inside = _mm_add_epi32(inside, _mm_and_si128(_mm_cmpgt_epi32(beyond, sq), lanes));
    near = _mm_add_epi32(near, _mm_and_si128(_mm_cmpgt_epi32(nearBeyond, sq), lanes));
  }
  return TwoCounts{-SumOfLanes4(inside), -SumOfLanes4(near)};
}

int32_t LeastSquared4(const Run* runs, size_t count, uint32_t q, int32_t exclude) {
  const __m128i vq = _mm_set1_epi32(static_cast<int32_t>(q));
  const __m128i skip = _mm_set1_epi32(exclude);
  __m128i least = _mm_set1_epi32(kNone);
  for (const Run* run = runs; run != runs + count; ++run)
    for (size_t k = 0, n = run->n; k < n; k += 4) {
      const __m128i id = _mm_loadu_si128(reinterpret_cast<const __m128i*>(run->ids + k));
      const __m128i keep = _mm_andnot_si128(_mm_cmpeq_epi32(id, skip), LanesBelow4(n - k));
      least = MinKept4(least, Squared4(run->packed + k, vq), keep);
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
      const __m128i id = _mm_loadu_si128(reinterpret_cast<const __m128i*>(run->ids + k));
      const __m128i keep =
          _mm_and_si128(_mm_cmpgt_epi32(beyond, Squared4(run->packed + k, vq)),
                        _mm_andnot_si128(_mm_cmpeq_epi32(id, skip), LanesBelow4(n - k)));
      least = MinKept4(least, id, keep);
    }
  return MinOfLanes4(least);
}

// Few points of a run are that near, so the appending is rare.
void Gather4(const uint32_t* packed, const int32_t* ids, size_t n, uint32_t q, int32_t r2,
             int32_t exclude, std::vector<Near>& out) {
  const __m128i vq = _mm_set1_epi32(static_cast<int32_t>(q));
  const __m128i skip = _mm_set1_epi32(exclude);
  const __m128i beyond = _mm_set1_epi32(r2 + 1);
  for (size_t k = 0; k < n; k += 4) {
    const __m128i sq = Squared4(packed + k, vq);
    const __m128i id = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ids + k));
    const __m128i keep =
        _mm_and_si128(_mm_cmpgt_epi32(beyond, sq),
                      _mm_andnot_si128(_mm_cmpeq_epi32(id, skip), LanesBelow4(n - k)));
    int bits = _mm_movemask_ps(_mm_castsi128_ps(keep));
    if (bits == 0) continue;
    alignas(16) int32_t squared[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(squared), sq);
    for (; bits != 0; bits &= bits - 1) {
      const int lane = __builtin_ctz(static_cast<unsigned>(bits));
      out.push_back(Near{ids[k + static_cast<size_t>(lane)], squared[lane]});
    }
  }
}

// ---- Eight points at a time (AVX2): each lane does the four-point kernels' operations. ----

#define VELMORA_AVX2 __attribute__((target("avx2")))

VELMORA_AVX2 __m256i LanesBelow8(size_t n) {
  return _mm256_cmpgt_epi32(_mm256_set1_epi32(static_cast<int32_t>(n)),
                            _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

VELMORA_AVX2 __m256i Squared8(const uint32_t* packed, __m256i q) {
  const __m256i d =
      _mm256_sub_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(packed)), q);
  return _mm256_madd_epi16(d, d);
}

VELMORA_AVX2 int32_t SumOfLanes8(__m256i v) {
  return SumOfLanes4(_mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
}

VELMORA_AVX2 int32_t Count8(const uint32_t* packed, size_t n, uint32_t q, int32_t r2) {
  const __m256i vq = _mm256_set1_epi32(static_cast<int32_t>(q));
  const __m256i beyond = _mm256_set1_epi32(r2 + 1);
  __m256i inside = _mm256_setzero_si256();  // minus the number of points inside, per lane
  size_t k = 0;
  for (; k + 8 <= n; k += 8)
    inside = _mm256_add_epi32(inside, _mm256_cmpgt_epi32(beyond, Squared8(packed + k, vq)));
  if (k < n)
    inside = _mm256_add_epi32(
        inside,
        _mm256_and_si256(_mm256_cmpgt_epi32(beyond, Squared8(packed + k, vq)), LanesBelow8(n - k)));
  return -SumOfLanes8(inside);
}

// Both counts over all the runs in one call: each run's whole blocks of eight, then its last
// block with the lanes beyond it masked off; the lanes are summed once at the end.
VELMORA_AVX2 TwoCounts CountTwoInRuns8(const Run* runs, size_t count, uint32_t q, int32_t r2,
                                       int32_t near2) {
  const __m256i vq = _mm256_set1_epi32(static_cast<int32_t>(q));
  const __m256i beyond = _mm256_set1_epi32(r2 + 1), nearBeyond = _mm256_set1_epi32(near2 + 1);
  __m256i inside = _mm256_setzero_si256(), near = _mm256_setzero_si256();  // minus the numbers
  for (const Run* run = runs; run != runs + count; ++run) {
    const uint32_t* packed = run->packed;
    const size_t n = run->n;
    size_t k = 0;
    for (; k + 8 <= n; k += 8) {
      const __m256i sq = Squared8(packed + k, vq);
      inside = _mm256_add_epi32(inside, _mm256_cmpgt_epi32(beyond, sq));
      near = _mm256_add_epi32(near, _mm256_cmpgt_epi32(nearBeyond, sq));
    }
    if (k < n) {
      const __m256i sq = Squared8(packed + k, vq);
      const __m256i lanes = LanesBelow8(n - k);
      inside = _mm256_add_epi32(inside, _mm256_and_si256(_mm256_cmpgt_epi32(beyond, sq), lanes));
      near = _mm256_add_epi32(near, _mm256_and_si256(_mm256_cmpgt_epi32(nearBeyond, sq), lanes));
    }
  }
  return TwoCounts{-SumOfLanes8(inside), -SumOfLanes8(near)};
}

// The least of the eight lanes.
VELMORA_AVX2 int32_t MinOfLanes8(__m256i v) {
  __m128i m = _mm_min_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  m = _mm_min_epi32(m, _mm_shuffle_epi32(m, _MM_SHUFFLE(1, 0, 3, 2)));
  m = _mm_min_epi32(m, _mm_shuffle_epi32(m, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(m);
}

VELMORA_AVX2 int32_t LeastSquared8(const Run* runs, size_t count, uint32_t q, int32_t exclude) {
  const __m256i vq = _mm256_set1_epi32(static_cast<int32_t>(q));
  const __m256i skip = _mm256_set1_epi32(exclude);
  const __m256i none = _mm256_set1_epi32(kNone);
  __m256i least = none;
  for (const Run* run = runs; run != runs + count; ++run)
    for (size_t k = 0, n = run->n; k < n; k += 8) {
      const __m256i id = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(run->ids + k));
      const __m256i keep = _mm256_andnot_si256(_mm256_cmpeq_epi32(id, skip), LanesBelow8(n - k));
      const __m256i kept = _mm256_blendv_epi8(none, Squared8(run->packed + k, vq), keep);
      least = _mm256_min_epi32(least, kept);
    }
  return MinOfLanes8(least);
}

VELMORA_AVX2 int32_t LowestId8(const Run* runs, size_t count, uint32_t q, int32_t r2,
                               int32_t exclude) {
  const __m256i vq = _mm256_set1_epi32(static_cast<int32_t>(q));
  const __m256i skip = _mm256_set1_epi32(exclude);
  const __m256i beyond = _mm256_set1_epi32(r2 + 1);
  const __m256i none = _mm256_set1_epi32(kNone);
  __m256i least = none;
  for (const Run* run = runs; run != runs + count; ++run)
    for (size_t k = 0, n = run->n; k < n; k += 8) {
      const __m256i id = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(run->ids + k));
      const __m256i keep =
          _mm256_and_si256(_mm256_cmpgt_epi32(beyond, Squared8(run->packed + k, vq)),
                           _mm256_andnot_si256(_mm256_cmpeq_epi32(id, skip), LanesBelow8(n - k)));
      least = _mm256_min_epi32(least, _mm256_blendv_epi8(none, id, keep));
    }
  return MinOfLanes8(least);
}

#undef VELMORA_AVX2

#endif  // __x86_64__

}  // namespace

int32_t CountInRun(const uint32_t* packed, size_t n, uint32_t q, int32_t r2) {
#if defined(__x86_64__)
  if (KernelLanes() >= 8) return Count8(packed, n, q, r2);
  if (KernelLanes() >= 4) return Count4(packed, n, q, r2);
#endif
  return CountPlain(packed, n, q, r2);
}

TwoCounts CountTwoInRuns(const Run* runs, size_t count, uint32_t q, int32_t r2, int32_t near2) {
#if defined(__x86_64__)
  if (KernelLanes() >= 8) return CountTwoInRuns8(runs, count, q, r2, near2);
#endif
  const bool four = KernelLanes() >= 4;
  TwoCounts counts{0, 0};
  for (const Run* run = runs; run != runs + count; ++run) {
    TwoCounts c;
#if defined(__x86_64__)
    if (four)
      c = CountTwo4(run->packed, run->n, q, r2, near2);
    else
#endif
      c = CountTwoPlain(run->packed, run->n, q, r2, near2);
    counts.within += c.within;
    counts.near += c.near;
  }
  (void)four;
  return counts;
}

int32_t LeastSquaredInRuns(const Run* runs, size_t count, uint32_t q, int32_t exclude) {
#if defined(__x86_64__)
  if (KernelLanes() >= 8) return LeastSquared8(runs, count, q, exclude);
  if (KernelLanes() >= 4) return LeastSquared4(runs, count, q, exclude);
#endif
  return LeastSquaredPlain(runs, count, q, exclude);
}

int32_t LowestIdInRuns(const Run* runs, size_t count, uint32_t q, int32_t r2, int32_t exclude) {
#if defined(__x86_64__)
  if (KernelLanes() >= 8) return LowestId8(runs, count, q, r2, exclude);
  if (KernelLanes() >= 4) return LowestId4(runs, count, q, r2, exclude);
#endif
  return LowestIdPlain(runs, count, q, r2, exclude);
}

void GatherInRun(const uint32_t* packed, const int32_t* ids, size_t n, uint32_t q, int32_t r2,
                 int32_t exclude, std::vector<Near>& out) {
#if defined(__x86_64__)
  if (KernelLanes() >= 4) return Gather4(packed, ids, n, q, r2, exclude, out);
#endif
  GatherPlain(packed, ids, n, q, r2, exclude, out);
}

}  // namespace velmora::point_runs

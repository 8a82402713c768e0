#include "counts.h"

#include <algorithm>
#include <cmath>

namespace velmora::town {

int64_t RoundedCount(double sum, int64_t perUnit) {
  const double units = sum / static_cast<double>(perUnit);
  // Sums are never negative; anything past 2^62 only needs to read as "too many".
  if (!(units < 4.6e18)) return INT64_MAX;
  return static_cast<int64_t>(std::floor(units + 0.5));
}

int64_t AutomaticPerUnit(const std::vector<const std::vector<double>*>& sums) {
  double largest = 0;
  for (const auto* list : sums)
    for (double s : *list) largest = std::max(largest, s);
  // round(s / N) <= 255 exactly when s / N < 255.5: start from that bound and settle the
  // last step with the rounding itself, which is monotone in N.
  const double bound = std::floor(largest / (kMaxCount + 0.5));
  // Sums so large that whole numbers no longer step through the doubles (or overflowed to
  // infinity) get the largest N there is: their cells clip instead.
  if (!(bound < 1e15)) return INT64_MAX;
  int64_t n = std::max<int64_t>(1, static_cast<int64_t>(bound));
  while (RoundedCount(largest, n) > kMaxCount) ++n;
  while (n > 1 && RoundedCount(largest, n - 1) <= kMaxCount) --n;
  return n;
}

Counts MakeCounts(const std::vector<double>& sums, int64_t perUnit) {
  Counts out;
  out.perUnit = perUnit;
  out.cells.resize(sums.size());
  for (size_t i = 0; i < sums.size(); ++i) {
    int64_t count = RoundedCount(sums[i], perUnit);
    if (count > kMaxCount) {
      count = kMaxCount;
      ++out.clipped;
    }
    out.cells[i] = static_cast<uint8_t>(count);
    out.total += count;
  }
  return out;
}

}  // namespace velmora::town

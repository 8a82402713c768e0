// From cell sums to the counts of the pictures: divided by the people per unit N, rounded to
// the nearest whole number (halves up), clipped to 255.
#pragma once

#include <cstdint>
#include <vector>

namespace velmora::town {

constexpr int kMaxCount = 255;

// The count of a cell sum at N per unit, before clipping.
int64_t RoundedCount(double sum, int64_t perUnit);

// The smallest whole N >= 1 with which every sum of every list rounds to at most 255.
int64_t AutomaticPerUnit(const std::vector<const std::vector<double>*>& sums);

struct Counts {
  std::vector<uint8_t> cells;  // row-major, 0..255
  int64_t perUnit = 1;
  int64_t total = 0;    // sum of the cells' counts (after clipping)
  int64_t clipped = 0;  // cells whose count passed 255
};

Counts MakeCounts(const std::vector<double>& sums, int64_t perUnit);

}  // namespace velmora::town

#include "core/distance.h"

#include <cmath>

#include "core/rounding.h"

namespace velmora {

int32_t PointDistance(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const int64_t dx = static_cast<int64_t>(x1) - x2;
  const int64_t dy = static_cast<int64_t>(y1) - y2;
  // dx^2 is held in single precision, dy^2 and the sum in extended precision.
  const float dx2 = static_cast<float>(dx * dx);
  const long double sum = static_cast<long double>(dx2) + static_cast<long double>(dy) * dy;
  const double root = static_cast<double>(std::sqrt(sum));
  return RoundHalfEven32(root);
}

}  // namespace velmora

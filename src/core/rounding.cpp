#include "core/rounding.h"

#include <cfenv>
#include <cmath>

#include "core/error.h"

namespace velmora {

namespace {
constexpr long double kTwo63 = 9223372036854775808.0L;
}

int64_t RoundHalfEven(long double value) {
  if (!(value >= -kTwo63 && value < kTwo63)) throw VError::InvalidFloatOperation();
  // The default rounding mode is round-to-nearest-even, which rintl honours exactly (it is
  // nearbyintl without the costly save and restore of the exception flags).
  const long double r = std::rintl(value);
  if (!(r >= -kTwo63 && r < kTwo63)) throw VError::InvalidFloatOperation();
  return static_cast<int64_t>(r);
}

int32_t RoundHalfEven32(long double value) {
  const int64_t r = RoundHalfEven(value);
  if (r < INT32_MIN || r > INT32_MAX) throw VError::InvalidFloatOperation();
  return static_cast<int32_t>(r);
}

int64_t TruncToInt64(long double value) {
  if (!(value > -kTwo63 - 1.0L && value < kTwo63)) throw VError::InvalidFloatOperation();
  return static_cast<int64_t>(std::truncl(value));
}

bool HeldAsDouble(long double value) {
  const double d = static_cast<double>(value);
  return std::isfinite(d) && static_cast<long double>(d) == value;
}

}  // namespace velmora

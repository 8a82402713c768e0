// Departure tenths drawn many at a time.
#include "engine/departure_draws.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/cpu_features.h"
#include "core/random.h"
#include "core/rounding.h"

namespace velmora {

namespace {

// The generator's step, and the same step taken twice.
constexpr RandomJump kOneDraw = RandomJump::Of(1);
constexpr RandomJump kTwoDraws = RandomJump::Of(2);

constexpr double kSqrtHalf = 0.70710678118654752440;
constexpr double kSqrtTwo = 1.41421356237309504880;
constexpr double kLn2 = 0.69314718055994530942;

// EstimateTenths for every position, written so that the compiler can work on several positions per
// instruction: no calls, no branches. rounded[i] is the nearest whole number to the quotient of the
// time by 0.1, or not a number where that quotient lies within the tolerance of the middle between
// two whole numbers (or is too large); the extended draw then decides.
//
// The only difference from the scalar estimate is the logarithm, which the library cannot
// give per lane. It is worked out here as
//   ln w = e ln 2 + 2 atanh(t),  t = (m - 1) / (m + 1),  w = 2^e m with m in [1/sqrt 2, sqrt 2),
// and for w >= 1/sqrt 2, where 1 - w must not be taken from a rounded w, as
//   ln w = 2 atanh(t),  t = -(1 - w) / (2 - (1 - w)),
// 1 - w coming from the whole numbers as in the scalar estimate. Either way |t| <= 0.1716, and
// 2 atanh(t) = 2 t (1 + t^2/3 + ... + t^18/19) leaves out less than 3e-17 of it. With the
// division, the ten steps of the polynomial and the sum (whose terms cannot cancel by more
// than a factor 3) the logarithm is off by less than 2e-14 of itself, so the time by far less
// than the 1e-12 of its terms that the tolerance allows. Fused multiplies and adds, where the
// compiler uses them, only take out roundings.
[[gnu::always_inline]] inline void EstimateTenthsOf(size_t count, double deviation,
                                                    const double* mean, const double* u1,
                                                    const double* w, const double* rest,
                                                    double* rounded) {
  constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();
  constexpr double kRound = 6755399441055744.0;  // 1.5 * 2^52: adding it rounds to a whole
  for (size_t i = 0; i < count; ++i) {
    const double wi = w[i];
    const double ri = rest[i];
    const uint64_t bits = __builtin_bit_cast(uint64_t, wi);
    // The exponent field as a double without an integer conversion: 2^52 + field - (2^52 + 1023).
    double e = __builtin_bit_cast(double, uint64_t{0x4330000000000000} | (bits >> 52)) -
               (4503599627370496.0 + 1023.0);
    double m = __builtin_bit_cast(
        double, (bits & uint64_t{0x000fffffffffffff}) | uint64_t{0x3ff0000000000000});
    const bool high = m >= kSqrtTwo;
    m = high ? 0.5 * m : m;
    e = high ? e + 1.0 : e;
    const bool nearOne = wi >= kSqrtHalf;
    const double num = nearOne ? -ri : m - 1.0;
    const double den = nearOne ? 2.0 - ri : m + 1.0;
    e = nearOne ? 0.0 : e;
    const double t = num / den;
    const double z = t * t;
    double p = 1.0 / 19;
    p = p * z + 1.0 / 17;
    p = p * z + 1.0 / 15;
    p = p * z + 1.0 / 13;
    p = p * z + 1.0 / 11;
    p = p * z + 1.0 / 9;
    p = p * z + 1.0 / 7;
    p = p * z + 1.0 / 5;
    p = p * z + 1.0 / 3;
    p = p * z + 1.0;
    const double minusLog = -(e * kLn2 + 2.0 * t * p);

    const double spread = deviation * u1[i] * std::sqrt(2.0 * minusLog / wi);
    const double q = (mean[i] + spread) / 0.1;
    const double tol = 1e-12 * (1.0 + 10.0 * (std::fabs(mean[i]) + std::fabs(spread)));
    const double whole = (q + kRound) - kRound;
    const double off = std::fabs(std::fabs(q - whole) - 0.5);
    const bool decided = (std::fabs(q) < 1e15) & (off > tol);
    rounded[i] = decided ? whole : kNotANumber;
  }
}

// The file is built without the library's error number for mathematical functions, so the
// square root is one instruction per lane (its argument is never negative here). The plain
// form is what the compiler makes of the loop for the baseline processor (on x86-64 two lanes
// of SSE2 at a time).
void EstimatePlain(size_t count, double deviation, const double* mean, const double* u1,
                   const double* w, const double* rest, double* rounded) {
  EstimateTenthsOf(count, deviation, mean, u1, w, rest, rounded);
}

#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("avx2")]] void EstimateAvx2(size_t count, double deviation, const double* mean,
                                          const double* u1, const double* w, const double* rest,
                                          double* rounded) {
  EstimateTenthsOf(count, deviation, mean, u1, w, rest, rounded);
}
#endif

// The kernel of the width in force: AVX2 at eight lanes, the plain loop below.
void Estimate(size_t count, double deviation, const double* mean, const double* u1, const double* w,
              const double* rest, double* rounded) {
#if defined(__x86_64__) && defined(__GNUC__)
  if (KernelLanes() >= 8) return EstimateAvx2(count, deviation, mean, u1, w, rest, rounded);
#endif
  EstimatePlain(count, deviation, mean, u1, w, rest, rounded);
}

}  // namespace

PolarPair DrawPolarPair() {
  PolarPair pair;
  do {
    pair.b1 = static_cast<int64_t>(RandomBits()) - kPolarHalf;
    const int64_t b2 = static_cast<int64_t>(RandomBits()) - kPolarHalf;
    pair.sum = static_cast<uint64_t>(pair.b1 * pair.b1) + static_cast<uint64_t>(b2 * b2);
  } while (pair.sum >= kPolarOne || pair.sum == 0);
  return pair;
}

bool EstimateTenths(double m, double s, PolarPair pair, int64_t& k) {
  constexpr double kScale = 1.0 / static_cast<double>(kPolarOne);  // 2^-62
  const double w = static_cast<double>(pair.sum) * kScale;
  const double minusLog = pair.sum < kPolarOne / 2
                              ? -std::log(w)
                              : -std::log1p(-static_cast<double>(kPolarOne - pair.sum) * kScale);
  const double u1 = static_cast<double>(pair.b1) / static_cast<double>(kPolarHalf);
  const double spread = s * u1 * std::sqrt(2.0 * minusLog / w);
  const double q = (m + spread) / 0.1;
  const double tol = 1e-12 * (1.0 + 10.0 * (std::fabs(m) + std::fabs(spread)));
  if (!(std::fabs(q) < 1e15)) return false;
  const double below = std::floor(q);
  const double fraction = q - below;
  if (!(std::fabs(fraction - 0.5) > tol)) return false;
  k = static_cast<int64_t>(below) + (fraction > 0.5);
  return true;
}

DepartureBatch::DepartureBatch(long double firstMean, long double secondMean, long double deviation,
                               ExactTenths exact)
    : means_{firstMean, secondMean},
      deviation_(deviation),
      exact_(exact),
      asDoubles_(HeldAsDouble(firstMean) && HeldAsDouble(secondMean) && HeldAsDouble(deviation)) {}

void DepartureBatch::DrawPairs(size_t count) {
  // The pairs are the ones DrawPolarPair takes: consecutive draws (b1, b2), refused while
  // b1^2 + b2^2 is 0 or at least 2^62. Both draws of a pair are taken from the seed before
  // them (the second by the double step), so only one multiply a pair lies on the chain from
  // one pair to the next. Every draw is the generator's new seed: the second draw of the last
  // pair is where the generator is left.
  for (auto* v : {&u1_, &w_, &rest_, &mean_, &rounded_}) v->resize(count);
  b1_.resize(count);
  sum_.resize(count);
  uint32_t seed = RandSeed();
  for (size_t n = 0; n < count;) {
    const uint32_t first = kOneDraw.Apply(seed);
    const uint32_t second = kTwoDraws.Apply(seed);
    seed = second;
    const int64_t b1 = static_cast<int64_t>(first) - kPolarHalf;
    const int64_t b2 = static_cast<int64_t>(second) - kPolarHalf;
    const uint64_t sum = static_cast<uint64_t>(b1 * b1) + static_cast<uint64_t>(b2 * b2);
    // Written whatever the test says; only an accepted pair moves on to the next position.
    b1_[n] = b1;
    sum_[n] = sum;
    n += sum < kPolarOne && sum != 0 ? 1 : 0;
  }
  SetRandSeed(seed);

  // As the scalar estimate has them: u1 exactly, w and 1 - w each rounded once (the sums are
  // below 2^62, so they convert as signed numbers).
  constexpr double kScale = 1.0 / static_cast<double>(kPolarOne);  // 2^-62
  const double means[2] = {static_cast<double>(means_[0]), static_cast<double>(means_[1])};
  for (size_t i = 0; i < count; ++i) {
    const auto sum = static_cast<int64_t>(sum_[i]);
    u1_[i] = static_cast<double>(b1_[i]) / static_cast<double>(kPolarHalf);
    w_[i] = static_cast<double>(sum) * kScale;
    rest_[i] = static_cast<double>(static_cast<int64_t>(kPolarOne) - sum) * kScale;
    mean_[i] = means[i & 1];
  }
}

const std::vector<int64_t>& DepartureBatch::Draw(size_t count) {
  DrawPairs(count);
  tenths_.resize(count);
  if (asDoubles_) {
    Estimate(count, static_cast<double>(deviation_), mean_.data(), u1_.data(), w_.data(),
             rest_.data(), rounded_.data());
  } else {
    std::fill(rounded_.begin(), rounded_.end(), std::numeric_limits<double>::quiet_NaN());
  }
  for (size_t i = 0; i < count; ++i) {
    const double r = rounded_[i];
    tenths_[i] = r == r ? static_cast<int64_t>(r)
                        : exact_(means_[i & 1], deviation_, PolarPair{b1_[i], sum_[i]});
  }
  return tenths_;
}

}  // namespace velmora

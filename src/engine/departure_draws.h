// Departure tenths drawn many at a time: the uniform pairs of a whole run of departures first,
// then their normal values on all of them at once in vector registers. Plain twin: planning's
// GaussianDraw (the polar method in extended precision) rounded by TenthsOfHour, one departure
// at a time; departure_draws_test holds the batches to it at every kernel width, the draws and
// the generator's state after them included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

// A uniform pair the polar method accepts, as whole numbers: u1 = b1 / 2^31 and
// w = u1^2 + u2^2 = sum / 2^62.
//
// Why whole numbers are the same pair: 2 U - 1 for a draw U = seed / 2^32 is b / 2^31 with the
// whole number b = seed - 2^31, exact in every format used here. So w = u1^2 + u2^2 is
// S / 2^62 with S = b1^2 + b2^2 < 2^63, a whole number that extended precision (a 64-bit
// mantissa) holds exactly: the polar method's w >= 1 is S >= 2^62, its w = 0 is S = 0.
struct PolarPair {
  int64_t b1 = 0;
  uint64_t sum = 0;
};
constexpr int64_t kPolarHalf = int64_t{1} << 31;
constexpr uint64_t kPolarOne = uint64_t{1} << 62;

// Draws pairs from the generator, as the polar method does, until one lies inside the unit
// circle and not at its centre.
PolarPair DrawPolarPair();

// The departure's tenth of an hour for an accepted pair, decided in double precision for a mean
// and deviation that doubles hold exactly: true with the tenth in k, false where the time lies
// within a hair of the middle between two tenths and only the extended value can tell.
//
// Why it agrees with the extended value wherever it decides: the logarithm is taken of w where
// w < 1/2 and as log1p(-(1 - w)) above, 1 - w being (2^62 - S) / 2^62, so that rounding w or
// 1 - w to a double changes it by at most a few parts in 2^53 of itself (a plain log of w near 1
// would lose all of it). The root, the products and the sum add a few more such parts. So the
// estimate of the time differs from the extended value, and from that value held as a double,
// by far less than 1e-14 times the size of its two terms, and its quotient by 0.1 by less than
// the tolerance used; where the quotient lies further than that from the middle between two
// whole numbers, both round to the same one.
bool EstimateTenths(double mean, double deviation, PolarPair pair, int64_t& k);

// The tenth of an accepted pair in extended precision, as the polar method and the rounding to
// tenths state it: the model's rule, which the batches fall back on where the estimate cannot
// decide.
using ExactTenths = int64_t (*)(long double mean, long double deviation, PolarPair pair);

// Departure tenths for a run of departures whose means alternate: positions 0, 2, 4, ... take
// the first mean, 1, 3, 5, ... the second. The tenths, the draws taken and the generator's
// state afterwards are those of one pair drawn and decided per position in order.
//
// Meant for means and deviations of at most 1e6 in magnitude, whose times always round to a
// tenth: the pairs of the whole run are drawn before any time is worked out, so a time that
// failed would leave the generator past the draws of the positions after it.
class DepartureBatch {
 public:
  DepartureBatch(long double firstMean, long double secondMean, long double deviation,
                 ExactTenths exact);
  // The tenths of the next count departures; valid until the next call.
  const std::vector<int64_t>& Draw(size_t count);

 private:
  void DrawPairs(size_t count);

  long double means_[2];
  long double deviation_;
  ExactTenths exact_;
  bool asDoubles_;  // means and deviation are doubles exactly: the vector estimate applies
  // Per position: the accepted pair, its u1, w and 1 - w as doubles, the mean, and the
  // estimate's rounded quotient (not a number where the estimate cannot decide).
  std::vector<int64_t> b1_;
  std::vector<uint64_t> sum_;
  std::vector<double> u1_, w_, rest_, mean_, rounded_;
  std::vector<int64_t> tenths_;
};

}  // namespace velmora

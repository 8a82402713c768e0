// Departure tenths drawn many at a time: the uniform pairs of a whole run of departures first,
// then their normal values on all of them at once in vector registers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

// The variants of the arithmetic on the pairs; each gives the same tenths.
enum class DrawKernel { Plain, Avx2 };

// Chooses the variant the batches use; false (and nothing changes) when the processor cannot
// run it. The widest one the processor has is chosen at start.
bool UseDrawKernel(DrawKernel kernel);

// Departure tenths for a run of departures whose means alternate: positions 0, 2, 4, ... take
// the first mean, 1, 3, 5, ... the second. The tenths, the draws taken and the generator's
// state afterwards are those of DrawDepartureTenths called once per position in order.
//
// Meant for means and deviations of at most 1e6 in magnitude, whose times always round to a
// tenth: the pairs of the whole run are drawn before any time is worked out, so a time that
// failed would leave the generator past the draws of the positions after it.
class DepartureBatch {
 public:
  DepartureBatch(long double firstMean, long double secondMean, long double deviation);
  // The tenths of the next count departures; valid until the next call.
  const std::vector<int64_t>& Draw(size_t count);

 private:
  void DrawPairs(size_t count);

  long double means_[2];
  long double deviation_;
  bool asDoubles_;  // means and deviation are doubles exactly: the vector estimate applies
  // Per position: the accepted pair, its u1, w and 1 - w as doubles, the mean, and the
  // estimate's rounded quotient (not a number where the estimate cannot decide).
  std::vector<int64_t> b1_;
  std::vector<uint64_t> sum_;
  std::vector<double> u1_, w_, rest_, mean_, rounded_;
  std::vector<int64_t> tenths_;
};

}  // namespace velmora

// Commute planning helpers: the normal draw for departure times and the rounding of a time of
// day to whole tenths of an hour.
#pragma once

#include <cstdint>

namespace velmora {

// One bin per tenth of an hour of the day: 0.0 h to 23.9 h.
constexpr int kDepartureBins = 240;

// A normal draw with the given mean and standard deviation by the polar method, in extended
// precision. Takes pairs of uniform draws until they fall inside the unit circle; the second
// normal value of the pair is not used.
long double GaussianDraw(long double mean, long double deviation);

// The whole number of tenths of an hour nearest to t (halves to even): t divided by the double
// nearest 0.1. This is also the time's histogram bin.
int64_t TenthsOfHour(double t);

// k tenths of an hour as hours: k times the double nearest 0.1, held as a double.
double TenthsToHours(int64_t k);

}  // namespace velmora

// Commute planning ("workers path"): departure times for every trip with the departures
// histogram, every trip's route over the network, and their helpers: the normal draw and the
// rounding of a time of day to whole tenths of an hour.
#pragma once

#include <cstdint>

namespace velmora {

class Model;

// One bin per tenth of an hour of the day: 0.0 h to 23.9 h.
constexpr int kDepartureBins = 240;

// A normal draw with the given mean and standard deviation by the polar method, in extended
// precision. Takes pairs of uniform draws until they fall inside the unit circle; the second
// normal value of the pair is not used.
long double GaussianDraw(long double mean, long double deviation);

// The whole number of tenths of an hour nearest to t (halves to even): t divided by the double
// nearest 0.1. This is also the time's histogram bin.
int64_t TenthsOfHour(double t);

// TenthsOfHour of a GaussianDraw held as a double, with the same uniform draws, computed
// mostly in double precision (a full town draws tens of millions of departures). It is
// TenthsOfPolarPair of DrawPolarPair; the two halves let many pairs be drawn first and
// turned into times after, which the processor overlaps far better.
int64_t DrawDepartureTenths(long double mean, long double deviation);

// The uniform pair GaussianDraw accepts, as whole numbers: u1 = b1 / 2^31 and
// w = u1^2 + u2^2 = sum / 2^62.
struct PolarPair {
  int64_t b1 = 0;
  uint64_t sum = 0;
};
constexpr int64_t kPolarHalf = int64_t{1} << 31;
constexpr uint64_t kPolarOne = uint64_t{1} << 62;
// Draws pairs as GaussianDraw does until one lies inside the unit circle.
PolarPair DrawPolarPair();
// The tenth of the normal value of an accepted pair, as DrawDepartureTenths gives it.
int64_t TenthsOfPolarPair(long double mean, long double deviation, PolarPair pair);

// k tenths of an hour as hours: k times the double nearest 0.1, held as a double.
double TenthsToHours(int64_t k);

// A morning and an evening departure for every trip, drawn around E_mDep and E_eDep with the
// deviation E_STD, and their histogram on the chart.
void PlanDepartures(Model& m);
// Every trip's route from the node of its home cell to the node of its work cell; routeList
// and the nodes' search fields end as the last trip's search leaves them. Builds the
// departure index.
void PlanRoutes(Model& m);

}  // namespace velmora

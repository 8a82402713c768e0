// Commute planning ("workers path"): departure times for every trip with the departures
// histogram, every trip's route over the network, and their helpers: the normal draw and the
// rounding of a time of day to whole tenths of an hour.
#pragma once

#include <array>
#include <cstdint>

#include "engine/departure_draws.h"
#include "model/network.h"
#include "model/progress.h"
#include "model/town.h"

namespace velmora {

// One bin per tenth of an hour of the day: 0.0 h to 23.9 h.
constexpr int kDepartureBins = 240;
// The departures per tenth of an hour.
using DepartureHistogram = std::array<uint64_t, kDepartureBins>;

// A normal draw with the given mean and standard deviation by the polar method, in extended
// precision. Takes pairs of uniform draws until they fall inside the unit circle; the second
// normal value of the pair is not used.
long double GaussianDraw(long double mean, long double deviation);

// The whole number of tenths of an hour nearest to t (halves to even): t divided by the double
// nearest 0.1. This is also the time's histogram bin.
int64_t TenthsOfHour(double t);
// k tenths of an hour as hours: k times the double nearest 0.1, held as a double.
double TenthsToHours(int64_t k);

// The tenth of the normal value of an accepted pair of uniform draws: TenthsOfHour of
// GaussianDraw's value for that pair, held as a double. Decided in double precision where that
// can tell (EstimateTenths), in extended precision otherwise.
int64_t TenthsOfPolarPair(long double mean, long double deviation, PolarPair pair);
// TenthsOfHour of a GaussianDraw held as a double, with the same uniform draws: one pair drawn
// and decided.
int64_t DrawDepartureTenths(long double mean, long double deviation);

// A morning and an evening departure for every trip that commutes, drawn around the two means
// with the deviation, trip by trip, morning before evening; the histogram of them all. A time
// rounded outside the day is stored on the trip but has no bin.
DepartureHistogram PlanDepartures(Town& town, long double deviation, long double morningMean,
                                  long double eveningMean, const Progress& progress = kNoProgress);
// Every trip's route from the node of its home cell to the node of its work cell; the found
// route and the nodes' search fields end as the last trip's search leaves them.
void PlanRoutes(Town& town, Network& network, const Progress& progress = kNoProgress);

}  // namespace velmora

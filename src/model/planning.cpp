// "workers path": departure times for every trip with the departures histogram, and every
// trip's route over the network.
#include "model/planning.h"

#include <array>
#include <cmath>
#include <unordered_map>

#include "core/convert.h"
#include "core/random.h"
#include "core/rounding.h"
#include "model/model.h"

namespace velmora {

namespace {
constexpr double kTenth = 0.1;
// Quotients below this magnitude convert to a 64-bit integer whatever their rounding.
constexpr long double kSafeQuotient = 4611686018427387904.0L;  // 2^62
}  // namespace

long double GaussianDraw(long double mean, long double deviation) {
  long double u1, u2, w;
  do {
    u1 = 2.0L * RandomReal() - 1.0L;
    u2 = 2.0L * RandomReal() - 1.0L;
    w = u1 * u1 + u2 * u2;
    // w = 0 would need two consecutive draws of exactly 0.5, which the generator cannot give;
    // it is refused all the same, as the logarithm below has no value there.
  } while (w >= 1.0L || w == 0.0L);
  return mean + deviation * u1 * std::sqrt(-2.0L * std::log(w) / w);
}

int64_t TenthsOfHour(double t) {
  const long double q = static_cast<long double>(t) / static_cast<long double>(kTenth);
  // rint rounds in the current mode, round-to-nearest-even, exactly as RoundHalfEven does, but
  // without saving and restoring the floating-point environment, which dominated the time of a
  // full town's planning. Out-of-range quotients (and NaN) go to RoundHalfEven for its error.
  if (q > -kSafeQuotient && q < kSafeQuotient) return static_cast<int64_t>(std::rint(q));
  return RoundHalfEven(q);
}

double TenthsToHours(int64_t k) {
  return static_cast<double>(static_cast<long double>(k) * static_cast<long double>(kTenth));
}

void Model::PlanDepartures() {
  InvalidateDepartures();  // trips, departures or routes change below
  const long double deviation = StrToSingle(host_.EditText(EditBox::STD));
  const long double morningMean = StrToSingle(host_.EditText(EditBox::MDep));
  const long double eveningMean = StrToSingle(host_.EditText(EditBox::EDep));

  std::array<double, kDepartureBins> histogram{};
  // A time rounded outside the day is stored on the trip but has no bin to be counted in.
  auto departAt = [&](long double mean) -> long double {
    const double t = static_cast<double>(GaussianDraw(mean, deviation));
    const int64_t k = TenthsOfHour(t);
    if (k >= 0 && k < kDepartureBins) histogram[static_cast<size_t>(k)] += 1.0;
    return TenthsToHours(k);
  };

  cells.ForEach([&](TCell& cell) {
    for (Trip& trip : cell.trips) {
      // A worker without a workplace does not commute: no times, no draws.
      if (!trip.HasWorkplace()) continue;
      trip.morningDeparture = departAt(morningMean);
      trip.eveningDeparture = departAt(eveningMean);
    }
  });

  host_.ChartClear();
  for (int k = 0; k < kDepartureBins; ++k)
    host_.ChartAddPoint(k / 10.0, histogram[static_cast<size_t>(k)]);
}

void Model::PlanRoutes() {
  InvalidateDepartures();  // trips, departures or routes change below
  // Many trips share their pair of home and work nodes, and the search depends on nothing but
  // that pair and the network, so each pair is searched once per run and its route shared by
  // all its trips (routes are never changed once planned). The last trip's search is run again
  // at the end if its route came from an earlier one, so that routeList and the nodes' search
  // fields end as that trip's own search leaves them.
  std::unordered_map<uint64_t, RouteRef> routesByPair;
  const auto validNode = [this](int32_t index) {
    return index >= 0 && static_cast<size_t>(index) < nodeList.size();
  };
  bool anyRouted = false;
  bool lastSearched = false;
  int32_t lastFrom = 0, lastTo = 0;

  cells.ForEach([&](TCell& home) {
    for (Trip& trip : home.trips) {
      trip.route.reset();
      if (!trip.HasWorkplace()) continue;
      const int32_t from = home.nearestNode;
      const int32_t to = cells.At(trip.destCol, trip.destRow)->nearestNode;
      if (!validNode(from) || !validNode(to)) {
        // The search of this trip would start with ResetRoute and then fail at the node list.
        ResetRoute();
        NodeAt(from);
        NodeAt(to);
      }
      const uint64_t key =
          (static_cast<uint64_t>(static_cast<uint32_t>(from)) << 32) | static_cast<uint32_t>(to);
      auto [it, isNew] = routesByPair.try_emplace(key);
      if (isNew) {
        ResetRoute();
        search.FindPath(routeList, NodeAt(from), NodeAt(to), nodeList);
        it->second = std::make_shared<const Route>(routeList);
      }
      trip.route = it->second;
      anyRouted = true;
      lastSearched = isNew;
      lastFrom = from;
      lastTo = to;
    }
  });

  if (anyRouted && !lastSearched) {
    ResetRoute();
    search.FindPath(routeList, NodeAt(lastFrom), NodeAt(lastTo), nodeList);
  }

  // The trips are final: the departure index is built now instead of in the next step, which
  // would otherwise take a pass over every trip on top of its own work.
  departures_.Build(cells);
  dueKeys_.reserve(departures_.Reserved());
}

}  // namespace velmora

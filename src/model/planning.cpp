// "workers path": departure times for every trip with the departures histogram, and every
// trip's route over the network.
#include "model/planning.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/random.h"
#include "core/rounding.h"
#include "engine/departure_index.h"
#include "model/calc_AStern.h"

namespace velmora {

namespace {
// Quotients below this magnitude convert to a 64-bit integer whatever their rounding.
constexpr long double kSafeQuotient = 4611686018427387904.0L;  // 2^62
// PlanRoutes with the plain search on the nodes, for networks the route planner cannot take.
void PlanRoutesOneByOne(Town& town, Network& network, const Progress& progress);

}  // namespace

namespace {

// Uniform pairs until they fall inside the unit circle, as the polar method takes them.
void DrawExtendedPair(long double& u1, long double& w) {
  long double u2;
  do {
    u1 = 2.0L * RandomReal() - 1.0L;
    u2 = 2.0L * RandomReal() - 1.0L;
    w = u1 * u1 + u2 * u2;
    // w = 0 would need two consecutive draws of exactly 0.5, which the generator cannot give;
    // it is refused all the same, as the logarithm below has no value there.
  } while (w >= 1.0L || w == 0.0L);
}

long double PolarValue(long double mean, long double deviation, long double u1, long double w) {
  return mean + deviation * u1 * std::sqrt(-2.0L * std::log(w) / w);
}

}  // namespace

long double GaussianDraw(long double mean, long double deviation) {
  long double u1, w;
  DrawExtendedPair(u1, w);
  return PolarValue(mean, deviation, u1, w);
}

int64_t DrawDepartureTenths(long double mean, long double deviation) {
  // The draws are GaussianDraw's (PolarPair says why); only the tenth the time rounds to is
  // wanted.
  return TenthsOfPolarPair(mean, deviation, DrawPolarPair());
}

namespace {

int64_t ExtendedTenths(long double mean, long double deviation, PolarPair pair) {
  const long double u1 = static_cast<long double>(pair.b1) / static_cast<long double>(kPolarHalf);
  const long double w = static_cast<long double>(pair.sum) / static_cast<long double>(kPolarOne);
  return TenthsOfHour(static_cast<double>(PolarValue(mean, deviation, u1, w)));
}

}  // namespace

int64_t TenthsOfPolarPair(long double mean, long double deviation, PolarPair pair) {
  int64_t k;
  if (HeldAsDouble(mean) && HeldAsDouble(deviation) &&
      EstimateTenths(static_cast<double>(mean), static_cast<double>(deviation), pair, k))
    return k;
  return ExtendedTenths(mean, deviation, pair);
}

int64_t TenthsOfHour(double t) {
  const long double q = static_cast<long double>(t) / static_cast<long double>(kTenth);
  // llrint rounds in the current mode, round-to-nearest-even, exactly as RoundHalfEven does,
  // and converts in the same instruction: no save and restore of the floating-point
  // environment, and no switch of the rounding mode for the conversion of a rounded value,
  // either of which dominated the time of a full town's planning. Out-of-range quotients (and
  // NaN) go to RoundHalfEven for its error.
  if (q > -kSafeQuotient && q < kSafeQuotient) return std::llrint(q);
  return RoundHalfEven(q);
}

double TenthsToHours(int64_t k) {
  return static_cast<double>(static_cast<long double>(k) * static_cast<long double>(kTenth));
}

DepartureHistogram PlanDepartures(Town& town, long double deviation, long double morningMean,
                                  long double eveningMean, const Progress& progress) {
  // Counted in whole numbers (exact far beyond any town). A time rounded outside the day is
  // stored on the trip but has no bin to be counted in. Whether the parameters are doubles
  // exactly is settled once, and the hours of the tenths of the day are looked up (each is
  // TenthsToHours of its tenth).
  DepartureHistogram histogram{};
  const bool asDoubles =
      HeldAsDouble(deviation) && HeldAsDouble(morningMean) && HeldAsDouble(eveningMean);
  std::array<double, kDepartureBins> hoursOf{};
  for (int k = 0; k < kDepartureBins; ++k) hoursOf[static_cast<size_t>(k)] = TenthsToHours(k);
  auto hoursAt = [&](int64_t k) -> double {
    if (k >= 0 && k < kDepartureBins) {
      ++histogram[static_cast<size_t>(k)];
      return hoursOf[static_cast<size_t>(k)];
    }
    return TenthsToHours(k);
  };
  auto departAt = [&](long double mean, PolarPair pair) -> double {
    int64_t k;
    if (!asDoubles ||
        !EstimateTenths(static_cast<double>(mean), static_cast<double>(deviation), pair, k))
      k = ExtendedTenths(mean, deviation, pair);
    return hoursAt(k);
  };

  // A cell's departures are drawn as one batch, morning and evening of every commuting trip
  // in turn (DepartureBatch: the same tenths and draws, worked out several at a time). That
  // needs times that cannot fail: with means and deviation within 1e6 a time stays within
  // 1e6 + 1e6 * 2^35 hours (w is at least 2^-62), far inside what rounds to tenths. Other
  // texts take one pair per time, so that a failing time leaves the generator where the draws
  // stopped.
  const auto modest = [](long double v) { return std::fabs(v) <= 1e6L; };
  const bool batched = modest(deviation) && modest(morningMean) && modest(eveningMean);
  DepartureBatch batch(morningMean, eveningMean, deviation, TenthsOfPolarPair);
  ProgressCount drawn(
      progress, static_cast<int64_t>(town.cells.Cols()) * static_cast<int64_t>(town.cells.Rows()),
      "drawing departure times", std::max(town.cells.Cols(), 1));
  town.cells.ForEach([&](TCell& cell) {
    drawn.Tick();
    if (!batched) {
      for (Trip& trip : town.EditTrips(cell)) {
        // A worker without a workplace does not commute: no times, no draws.
        if (!trip.HasWorkplace()) continue;
        trip.morningDeparture = departAt(morningMean, DrawPolarPair());
        trip.eveningDeparture = departAt(eveningMean, DrawPolarPair());
      }
      return;
    }
    size_t commuters = 0;
    for (const Trip& trip : cell.trips) commuters += trip.HasWorkplace() ? 1 : 0;
    if (commuters == 0) return;
    const std::vector<int64_t>& tenths = batch.Draw(2 * commuters);
    size_t next = 0;
    for (Trip& trip : town.EditTrips(cell)) {
      if (!trip.HasWorkplace()) continue;
      trip.morningDeparture = hoursAt(tenths[next++]);
      trip.eveningDeparture = hoursAt(tenths[next++]);
    }
  });
  return histogram;
}

void PlanRoutes(Town& town, Network& network, const Progress& progress) {
  // Many trips share their pair of home and work nodes, and a search depends on nothing but
  // that pair and the network, so each pair is searched once per run and its route shared by
  // all its trips (routes are never changed once planned). The searches run on the planner's
  // own arrays (RoutePlanner, the same search step for step); the last trip's search is then
  // run once more the plain way, so that routeList and the nodes' search fields end as that
  // trip's own search leaves them.
  RoutePlanner planner;
  if (!planner.Prepare(network.nodeList)) {
    PlanRoutesOneByOne(town, network, progress);
    return;
  }
  const size_t nodeCount = network.nodeList.size();
  const auto validNode = [nodeCount](int32_t index) {
    return index >= 0 && static_cast<size_t>(index) < nodeCount;
  };

  // First pass, in trip order: the pairs of the trips that commute, numbered as they first
  // come. A trip whose nodes are not in the list ends the pass: the plain run fails there.
  constexpr int32_t kNoPair = -1;
  std::vector<std::pair<int32_t, int32_t>> pairs;
  const bool flat = nodeCount <= 2048;  // a table of every pair, else a hash map
  std::vector<int32_t> pairTable(flat ? nodeCount * nodeCount : 0, kNoPair);
  std::unordered_map<uint64_t, int32_t> pairMap;
  bool failed = false;
  int32_t failFrom = 0, failTo = 0;
  // Every cell's nearest node by row-major index: a work cell's node is read from here instead
  // of from its record, which lies anywhere on the heap (a cache miss per trip on a fine grid).
  const size_t cols = static_cast<size_t>(town.cells.Cols());
  std::vector<int32_t> nearestOf(cols * static_cast<size_t>(town.cells.Rows()), kNoNode);
  for (int32_t r = 0; r < town.cells.Rows(); ++r)
    for (int32_t c = 0; c < town.cells.Cols(); ++c)
      if (const TCell* cell = town.cells.At(c, r))
        nearestOf[static_cast<size_t>(r) * cols + static_cast<size_t>(c)] = cell->nearestNode;
  // The slot of the pair of a commuting trip's nodes (both valid).
  const auto slotOf = [&](int32_t from, int32_t to) -> int32_t& {
    if (flat) return pairTable[static_cast<size_t>(from) * nodeCount + static_cast<size_t>(to)];
    const uint64_t key =
        (static_cast<uint64_t>(static_cast<uint32_t>(from)) << 32) | static_cast<uint32_t>(to);
    return pairMap.try_emplace(key, kNoPair).first->second;
  };
  const auto workNode = [&](const Trip& trip) {
    return nearestOf[static_cast<size_t>(trip.destRow) * cols + static_cast<size_t>(trip.destCol)];
  };
  size_t visited = 0;  // trips before the failing one (all of them when none fails)
  const int64_t cellCount =
      static_cast<int64_t>(town.cells.Cols()) * static_cast<int64_t>(town.cells.Rows());
  const int64_t row = std::max(town.cells.Cols(), 1);
  const ProgressPart pairing(progress, 0.0, 0.15);
  ProgressCount paired(pairing, cellCount, "finding the commutes' nodes", row);
  town.cells.ForEach([&](TCell& home) {
    paired.Tick();
    for (const Trip& trip : home.trips) {
      if (failed) return;
      if (trip.HasWorkplace()) {
        const int32_t from = home.nearestNode;
        const int32_t to = workNode(trip);
        if (!validNode(from) || !validNode(to)) {
          failed = true;
          failFrom = from;
          failTo = to;
          return;
        }
        int32_t& slot = slotOf(from, to);
        if (slot == kNoPair) {
          slot = static_cast<int32_t>(pairs.size());
          pairs.emplace_back(from, to);
        }
      }
      ++visited;
    }
  });

  // The searches, goal by goal, so that each node's distance to a goal is measured once.
  std::vector<int32_t> order(pairs.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = static_cast<int32_t>(k);
  std::sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
    return pairs[static_cast<size_t>(a)].second < pairs[static_cast<size_t>(b)].second;
  });
  std::vector<RouteRef> routes(pairs.size());
  Route found;
  const ProgressPart searching(progress, 0.15, 0.8);
  int64_t searched = 0;
  for (const int32_t k : order) {
    if ((searched & 63) == 0)
      searching.Report(Share(searched, static_cast<int64_t>(order.size())), "planning routes",
                       searched + 1, static_cast<int64_t>(order.size()));
    ++searched;
    const auto [from, to] = pairs[static_cast<size_t>(k)];
    planner.Find(from, to, found);
    routes[static_cast<size_t>(k)] = std::make_shared<const Route>(found);
  }

  // Second pass, in the same order: every trip up to the failing one (whose route is dropped
  // before it fails) gets its pair's route, looked up again from its nodes (which the searches
  // do not change) instead of being kept per trip; the trips after it keep theirs.
  size_t next = 0;
  int32_t lastPair = kNoPair;
  const ProgressPart giving(progress, 0.8, 1.0);
  ProgressCount given(giving, cellCount, "giving every commute its route", row);
  town.cells.ForEach([&](TCell& home) {
    given.Tick();
    for (Trip& trip : town.EditTrips(home)) {
      if (next > visited) return;
      if (next == visited) {
        // Only reached when the first pass stopped at this trip.
        if (failed) trip.route.reset();
        ++next;
        return;
      }
      ++next;
      trip.route.reset();
      if (!trip.HasWorkplace()) continue;
      const int32_t pair = slotOf(home.nearestNode, workNode(trip));
      trip.route = routes[static_cast<size_t>(pair)];
      lastPair = pair;
    }
  });

  if (failed) {
    // The failing trip's search starts with ResetRoute and then fails at the node list.
    ResetRoute(network);
    network.NodeAt(failFrom);
    network.NodeAt(failTo);
  }
  if (lastPair != kNoPair) {
    const auto [from, to] = pairs[static_cast<size_t>(lastPair)];
    ResetRoute(network);
    FindPath(network, network.routeList, network.NodeAt(from), network.NodeAt(to));
  }
}

namespace {

void PlanRoutesOneByOne(Town& town, Network& network, const Progress& progress) {
  // The plain searches on the nodes themselves, each pair searched once as above. Used where
  // the planner cannot take the network; errors arise here where the plain run meets them.
  std::unordered_map<uint64_t, RouteRef> routesByPair;
  const auto validNode = [&network](int32_t index) {
    return index >= 0 && static_cast<size_t>(index) < network.nodeList.size();
  };
  bool anyRouted = false;
  bool lastSearched = false;
  int32_t lastFrom = 0, lastTo = 0;

  ProgressCount planned(
      progress, static_cast<int64_t>(town.cells.Cols()) * static_cast<int64_t>(town.cells.Rows()),
      "planning routes", std::max(town.cells.Cols(), 1));
  town.cells.ForEach([&](TCell& home) {
    planned.Tick();
    for (Trip& trip : town.EditTrips(home)) {
      trip.route.reset();
      if (!trip.HasWorkplace()) continue;
      const int32_t from = home.nearestNode;
      const int32_t to = town.cells.At(trip.destCol, trip.destRow)->nearestNode;
      if (!validNode(from) || !validNode(to)) {
        // The search of this trip would start with ResetRoute and then fail at the node list.
        ResetRoute(network);
        network.NodeAt(from);
        network.NodeAt(to);
      }
      const uint64_t key =
          (static_cast<uint64_t>(static_cast<uint32_t>(from)) << 32) | static_cast<uint32_t>(to);
      auto [it, isNew] = routesByPair.try_emplace(key);
      if (isNew) {
        ResetRoute(network);
        FindPath(network, network.routeList, network.NodeAt(from), network.NodeAt(to));
        it->second = std::make_shared<const Route>(network.routeList);
      }
      trip.route = it->second;
      anyRouted = true;
      lastSearched = isNew;
      lastFrom = from;
      lastTo = to;
    }
  });

  if (anyRouted && !lastSearched) {
    ResetRoute(network);
    FindPath(network, network.routeList, network.NodeAt(lastFrom), network.NodeAt(lastTo));
  }
}

}  // namespace

}  // namespace velmora

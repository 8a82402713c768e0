// The simulation step's phases: the clock, the release of vehicles, their movement over the
// network with the link-load counters, and the drawing of the loads.
#include "model/traffic.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>

#include "core/error.h"
#include "core/rounding.h"
#include "engine/huge_pages.h"

namespace velmora {

namespace {

// The clock is whole hundredths: n times the double nearest 0.01.
constexpr double kHundredth = 0.01;

// The clock's time of day as whole hundredths (it is always n times the double nearest 0.01).
int64_t HundredthsOf(double clock) {
  return RoundHalfEven(static_cast<long double>(clock) * 100);
}

// Vehicles released or moved between two reports of the progress.
constexpr size_t kReportEvery = size_t{1} << 16;

// Counters wrap like the signed 32-bit integers they are instead of overflowing.
inline void AddTo(int32_t& counter, int32_t delta) {
  counter = static_cast<int32_t>(static_cast<uint32_t>(counter) + static_cast<uint32_t>(delta));
}

}  // namespace

void AdvanceClock(Day& day) {
  ++day.stepCount;
  const int64_t stepOfDay =
      CheckedMod(static_cast<int64_t>(day.stepCount), static_cast<int64_t>(day.stepsPerDay));
  const double h = static_cast<double>(CheckedFloatDiv(stepOfDay, day.stepsPerHour));
  // Rounded to hundredths by dividing by the double nearest 0.01 in extended precision; that
  // divisor is a little above 0.01, so exact halves go toward zero (0.125 -> 0.12).
  const long double quotient = static_cast<long double>(h) / kHundredth;
  const int64_t n = TruncToInt64(h >= 0 ? quotient + 0.5L : quotient - 0.5L);
  day.clockHours = static_cast<double>(static_cast<long double>(n) * kHundredth);
}

void IndexDepartures(Day& day, const Town& town, size_t maxRouteIds, const Progress& progress) {
  // A trip is listed when it has a workplace and a route of more than one entry. The index
  // numbers the distinct routes of the listed trips; the day keeps each by its number, so a
  // release takes the route from there.
  size_t trips = 0;
  town.cells.ForEach([&](const TCell& cell) { trips += cell.trips.size(); });
  day.routes.clear();
  day.departures.Begin(trips, maxRouteIds);
  for (int32_t row = 0; row < town.cells.Rows(); ++row) {
    progress.Report(0.8 * Share(row, town.cells.Rows()), "indexing the departures");
    for (int32_t col = 0; col < town.cells.Cols(); ++col) {
      day.departures.NextCell();
      const TCell* cell = town.cells.At(col, row);
      if (cell == nullptr) continue;
      for (const Trip& trip : cell->trips) {
        const bool listed = trip.HasWorkplace() && trip.RouteCount() > 1;
        const int64_t number = day.departures.AddTrip(trip.eveningDeparture, trip.morningDeparture,
                                                      listed ? trip.route.get() : nullptr);
        if (number == static_cast<int64_t>(day.routes.size())) day.routes.push_back(trip.route);
      }
    }
  }
  progress.Report(0.8, "indexing the departures");
  day.departures.Finish(town.Version());
  if (!day.departures.NumbersRoutes()) day.routes.clear();
}

void ReleaseDue(Day& day, const Town& town, const Progress& progress) {
  // The departures of this step's window, compared in whole hundredths so that each tenth of
  // the day is due in exactly one window.
  if (!day.departures.BuiltAt(town.Version()))
    IndexDepartures(day, town, DepartureIndex::kMaxRouteIds, ProgressPart(progress, 0.0, 0.8));
  const std::vector<uint32_t>& due =
      day.departures.Due(HundredthsOf(day.prevClockHours) + 1, HundredthsOf(day.clockHours));

  // The list grows in steps of its own, each advised to huge pages: at a fine grid's morning
  // peak it holds millions of vehicles, and fresh room faulted in 4 KB at a time costs more than
  // the copying.
  const size_t onRoad = day.travellers.size() + due.size();
  if (onRoad > day.travellers.capacity())
    ReserveHuge(day.travellers, std::max(onRoad, 2 * day.travellers.capacity()));

  if (day.departures.NumbersRoutes()) {
    // Every listed trip's route by its number, as the trip held it when the index was built,
    // which is the trip's route now: any change to the trips since would have moved the town's
    // version and rebuilt the index above. A large network has more routes than the cache
    // holds: each route (its count is raised and its entries read) is fetched a few releases
    // ahead.
    constexpr size_t kAhead = 8;
    for (size_t block = 0; block < due.size(); block += kReportEvery) {
      if (block > 0)
        progress.Report(
            0.8 + 0.2 * Share(static_cast<int64_t>(block), static_cast<int64_t>(due.size())),
            "releasing the vehicles");
      const size_t end = std::min(due.size(), block + kReportEvery);
      for (size_t i = block; i < end; ++i) {
        if (i + kAhead < due.size())
          __builtin_prefetch(day.routes[day.departures.RouteNumberOf(due[i + kAhead])].get(), 1);
        day.Release(day.routes[day.departures.RouteNumberOf(due[i])],
                    DepartureIndex::IsMorning(due[i]));
      }
    }
  } else {
    // Each release reads a trip touched long ago, somewhere in the grid's hundreds of megabytes
    // of trips: the trips are fetched well ahead, both ends of each, as a trip can straddle two
    // cache lines. Their routes are not: all trips of a pair of nodes share one, so the few
    // routes stay in the cache.
    std::vector<const Trip*>& trips = day.dueTrips;
    trips.clear();
    ReserveHuge(trips, due.size());
    const size_t cols = static_cast<size_t>(town.cells.Cols());
    day.departures.ForEachTrip(due, [&](size_t cell, size_t index) {
      const TCell* at =
          cell == DepartureIndex::kNoCell || cols == 0
              ? nullptr
              : town.cells.At(static_cast<int32_t>(cell % cols), static_cast<int32_t>(cell / cols));
      trips.push_back(at != nullptr && index < at->trips.size() ? &at->trips[index] : nullptr);
    });
    constexpr size_t kAhead = 16;
    for (size_t i = 0; i < due.size(); ++i) {
      if (i + kAhead < due.size()) {
        if (const Trip* ahead = trips[i + kAhead]) {
          __builtin_prefetch(ahead);
          __builtin_prefetch(reinterpret_cast<const char*>(ahead) + sizeof(Trip) - 1);
        }
      }
      const Trip* trip = trips[i];
      if (trip == nullptr || !trip->HasWorkplace() || trip->RouteCount() <= 1) continue;
      day.Release(trip->route, DepartureIndex::IsMorning(due[i]));
    }
  }
  // The window is used up once its departures are on the road: a failure later in this step
  // must not make the next step release them a second time.
  day.prevClockHours = day.clockHours;
}

void AdvanceTravellers(Day& day, Network& network, const Progress& progress) {
  const size_t nodeCount = network.nodeList.size();
  // Every node keeps a counter per node index; arrays not yet sized for all nodes grow with
  // zeros, as sizing the loads does, so no counter is ever written out of range.
  for (const auto& node : network.nodeList)
    if (node->linkLoad.size() < nodeCount) node->linkLoad.resize(nodeCount, 0);

  // Every vehicle moves one node on: it enters the link to the next node and leaves the link
  // it came by. A vehicle reaching its last node has arrived; it leaves that last link in the
  // same step, so it never adds to a counter, and it is removed. The survivors are compacted
  // in place, keeping their order.
  //
  // The loop is bound by memory latency: the vehicles lie all over their pool, so they are
  // fetched well ahead; a vehicle's next route entry (and, when it is about to arrive, its
  // route's count) a little ahead, from the vehicle fetched by then. Routes are shared per pair
  // of nodes: on a small network they all stay in the cache, on a large one they do not.
  // The list itself does not change while the vehicles move (only its entries), so its entries
  // are reached through a plain pointer, which the calls in the loop cannot be taken to move.
  TTraveller** const vehicles = day.travellers.data();
  constexpr size_t kAhead = 24;
  constexpr size_t kEntryAhead = 8;
  size_t kept = 0;
  const size_t count = day.travellers.size();
  // The vehicles go in blocks, the progress told between them.
  for (size_t block = 0; block < count; block += kReportEvery) {
    if (block > 0)
      progress.Report(Share(static_cast<int64_t>(block), static_cast<int64_t>(count)),
                      "moving the vehicles");
    const size_t end = std::min(count, block + kReportEvery);
    for (size_t k = block; k < end; ++k) {
      if (k + kAhead < count) __builtin_prefetch(vehicles[k + kAhead], 1);
      if (k + kEntryAhead < count) {
        const TTraveller& ahead = *vehicles[k + kEntryAhead];
        if (ahead.position + 1 < ahead.entryCount) {
          __builtin_prefetch(ahead.entries + (ahead.direction == 0
                                                  ? ahead.position + 1
                                                  : ahead.entryCount - 2 - ahead.position));
          if (ahead.position + 2 == ahead.entryCount) __builtin_prefetch(ahead.route.get(), 1);
        }
      }
      TTraveller& v = *vehicles[k];
      // Vehicles are released on routes of two entries or more and leave at the last one; the
      // network drops them before any of their nodes goes.
      assert(v.position + 1 < v.entryCount);
      assert(network.IndexOfNode(v.currentNode) == v.currentIndex);
      TAgent* cur = v.currentNode;
      const int32_t ci = v.currentIndex;
      const int32_t pi = v.previousIndex;
      const size_t nextPosition = static_cast<size_t>(v.position) + 1;
      TAgent* next = v.At(nextPosition);

      const bool arrived = nextPosition + 1 == v.entryCount;
      if (!arrived) AddTo(next->linkLoad[static_cast<size_t>(ci)], 1);
      if (v.previousNode != nullptr) AddTo(cur->linkLoad[static_cast<size_t>(pi)], -1);
      v.previousNode = cur;
      v.previousIndex = ci;
      v.currentNode = next;
      v.currentIndex = next->Index();
      v.position = static_cast<uint32_t>(nextPosition);

      if (arrived) {
        day.Retire(&v);
      } else {
        vehicles[kept++] = &v;
      }
    }
  }
  day.travellers.resize(kept);
}

void DrawLinkLoads(const Network& network, Canvas& overlay, int32_t scale) {
  overlay.SetPenColor(clYellow);
  overlay.SetPenStyle(PenStyle::Solid);
  const auto& positions = network.nodePositions;
  for (size_t i = 0; i < network.nodeList.size(); ++i) {
    const TAgent& node = *network.nodeList[i];
    for (const TLink& link : node.links) {
      const size_t t = static_cast<size_t>(link.node);
      // Node i's line toward t carries the load from t to i.
      const int32_t load = t < node.linkLoad.size() ? node.linkLoad[t] : 0;
      const long double quotient = CheckedFloatDiv(load, scale);
      overlay.SetPenWidth(static_cast<int>(std::ceil(quotient)) + 2);
      if (i >= positions.size() || t >= positions.size()) continue;
      overlay.MoveTo(positions[i][0], positions[i][1]);
      overlay.LineTo(positions[t][0], positions[t][1]);
    }
  }
}

}  // namespace velmora

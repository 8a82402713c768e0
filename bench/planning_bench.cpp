// "workers path" at full population: 462 cells of 255 workers each (117,810 trips) on the
// network "agents create" forms with the default texts (42 nodes).
#include <benchmark/benchmark.h>

#include <algorithm>

#include "core/convert.h"
#include "core/random.h"
#include "fine_town.h"
#include "model/calc_AStern.h"
#include "model/model.h"
#include "model/planning.h"

namespace velmora {
namespace {

struct FullTown {
  FullTown() {
    SetDecimalSeparator(',');  // the default deviation text is "1,0"
    SetRandSeed(20240611);
    model.FormCreate();
    model.B_loadDataClick();
    model.B_agCreateClick();
  }
  ~FullTown() { SetDecimalSeparator('.'); }

  void Count(benchmark::State& state) const {
    size_t trips = 0;
    model.town.cells.ForEach([&](const TCell& cell) { trips += cell.trips.size(); });
    state.counters["trips"] = static_cast<double>(trips);
    state.counters["nodes"] = static_cast<double>(model.network.nodeList.size());
  }

  bench::BenchHost host;
  Model model{host};
};

void BM_WorkersPath(benchmark::State& state) {
  FullTown town;
  for (auto _ : state) town.model.B_workPathClick();
  town.Count(state);
}
BENCHMARK(BM_WorkersPath)->Unit(benchmark::kMillisecond);

void BM_PlanDepartures(benchmark::State& state) {
  FullTown town;
  for (auto _ : state) town.model.PlanDepartures();
  town.Count(state);
}
BENCHMARK(BM_PlanDepartures)->Unit(benchmark::kMillisecond);

void BM_PlanRoutes(benchmark::State& state) {
  FullTown town;
  for (auto _ : state) PlanRoutes(town.model.town, town.model.network);
  town.Count(state);
}
BENCHMARK(BM_PlanRoutes)->Unit(benchmark::kMillisecond);

// For comparison: one search per trip, as without sharing.
void BM_SearchPerTrip(benchmark::State& state) {
  FullTown town;
  Model& m = town.model;
  for (auto _ : state) {
    m.town.cells.ForEach([&](TCell& home) {
      for (Trip& trip : m.town.EditTrips(home)) {
        if (!trip.HasWorkplace()) continue;
        ResetRoute(m.network);
        FindPath(m.network, m.network.routeList, m.network.NodeAt(home.nearestNode),
                 m.network.NodeAt(m.town.cells.At(trip.destCol, trip.destRow)->nearestNode));
        trip.route = std::make_shared<const Route>(m.network.routeList);
      }
    });
  }
  town.Count(state);
}
BENCHMARK(BM_SearchPerTrip)->Unit(benchmark::kMillisecond);

// "workers path" on the fine town (1,077,120 trips, 200 nodes): the fastest of three presses,
// in CPU seconds.
void BM_WorkersPathCell10(benchmark::State& state) {
  bench::FineTown town;
  double fastest = 1e300;
  for (auto _ : state) {
    const double start = bench::ThreadSeconds();
    town.model.B_workPathClick();
    fastest = std::min(fastest, bench::ThreadSeconds() - start);
  }
  state.counters["seconds"] = fastest;
  state.counters["trips"] = static_cast<double>(town.Trips());
}
BENCHMARK(BM_WorkersPathCell10)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same press done the plain way: the departures as the command draws them, then for every
// trip its own search after resetting every node, the route copied into the trip.
void BM_WorkersPathCell10Plain(benchmark::State& state) {
  bench::FineTown town;
  Model& m = town.model;
  double seconds = 0;
  for (auto _ : state) {
    const double start = bench::ThreadSeconds();
    m.PlanDepartures();
    m.town.cells.ForEach([&](TCell& home) {
      for (Trip& trip : m.town.EditTrips(home)) {
        trip.route.reset();
        if (!trip.HasWorkplace()) continue;
        ResetRoute(m.network);
        FindPath(m.network, m.network.routeList, m.network.NodeAt(home.nearestNode),
                 m.network.NodeAt(m.town.cells.At(trip.destCol, trip.destRow)->nearestNode));
        trip.route = std::make_shared<const Route>(m.network.routeList);
      }
    });
    seconds = bench::ThreadSeconds() - start;
  }
  state.counters["seconds"] = seconds;
  state.counters["trips"] = static_cast<double>(town.Trips());
}
BENCHMARK(BM_WorkersPathCell10Plain)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace velmora

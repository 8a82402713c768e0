// A whole day of traffic at full population: 462 cells of 255 workers each (117,810 trips)
// on the default network, 144 steps at 6 steps per hour, the overlay redrawn on every step.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <string>

#include "bench_host.h"
#include "core/convert.h"
#include "core/random.h"
#include "model/model.h"

namespace velmora {
namespace {

// CPU time of this thread: steady on a machine shared with other work.
double ThreadMilliseconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

void BM_FullDay(benchmark::State& state) {
  bench::BenchHost host;
  Model model(host);
  SetDecimalSeparator(',');  // the default "1,0" uses a decimal comma
  SetRandSeed(20240611);
  model.FormCreate();
  model.B_loadDataClick();
  model.B_agCreateClick();
  model.B_workPathClick();

  size_t trips = 0;
  size_t routed = 0;
  model.cells.ForEach([&](const TCell& cell) {
    trips += cell.trips.size();
    for (const Trip& trip : cell.trips) routed += trip.RouteCount() > 1 ? 1 : 0;
  });

  size_t peak = 0;
  for (auto _ : state) {
    for (int step = 0; step < 144; ++step) {
      model.SimulationStep();
      peak = std::max(peak, model.travellers.size());
    }
  }
  state.counters["trips"] = static_cast<double>(trips);
  state.counters["routed"] = static_cast<double>(routed);
  state.counters["nodes"] = static_cast<double>(model.nodeList.size());
  state.counters["peak_on_road"] = static_cast<double>(peak);
}
BENCHMARK(BM_FullDay)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same day on a fine grid: cell size 10 (64 x 66 cells, 1,077,120 trips) and 200 nodes.
// Reports the slowest step of the day, which falls at the morning or evening peak.
void BM_FineGridDay(benchmark::State& state) {
  bench::BenchHost host;
  host.edits[EditBox::CellScale] = "10";
  host.edits[EditBox::NodeNumber] = "199";
  Model model(host);
  SetDecimalSeparator(',');
  SetRandSeed(20240611);
  model.FormCreate();
  model.B_loadDataClick();
  model.B_agCreateClick();
  model.B_workPathClick();

  model.SimulationStep();  // the first step also builds the departure index
  size_t peak = 0;
  double slowest = 0.0;
  for (auto _ : state) {
    for (int step = 0; step < 144; ++step) {
      const double start = ThreadMilliseconds();
      model.SimulationStep();
      slowest = std::max(slowest, ThreadMilliseconds() - start);
      peak = std::max(peak, model.travellers.size());
    }
  }
  state.counters["nodes"] = static_cast<double>(model.nodeList.size());
  state.counters["peak_on_road"] = static_cast<double>(peak);
  state.counters["slowest_step_cpu_ms"] = slowest;
}
BENCHMARK(BM_FineGridDay)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace velmora

// A whole day of traffic at full population: 462 cells of 255 workers each (117,810 trips)
// on the default network, 144 steps at 6 steps per hour, the overlay redrawn on every step.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/random.h"
#include "fine_town.h"
#include "model/model.h"
#include "support/plain_day.h"

namespace velmora {
namespace {

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
  model.town.cells.ForEach([&](const TCell& cell) {
    trips += cell.trips.size();
    for (const Trip& trip : cell.trips) routed += trip.RouteCount() > 1 ? 1 : 0;
  });

  size_t peak = 0;
  for (auto _ : state) {
    for (int step = 0; step < 144; ++step) {
      model.SimulationStep();
      peak = std::max(peak, model.day.travellers.size());
    }
  }
  state.counters["trips"] = static_cast<double>(trips);
  state.counters["routed"] = static_cast<double>(routed);
  state.counters["nodes"] = static_cast<double>(model.network.nodeList.size());
  state.counters["peak_on_road"] = static_cast<double>(peak);
}
BENCHMARK(BM_FullDay)->Unit(benchmark::kMillisecond)->Iterations(3);

// Days on the fine town (cell size 10, 1,077,120 trips, 200 nodes) at 6 steps per hour, the
// overlay redrawn on every step, after "workers path" (which leaves the departure index built).
// Three days are run. Reported, in CPU seconds: the fastest day, and the slowest step of the
// day where every step counts with its fastest of the three days (the slowest step falls at
// the morning or evening peak).
void BM_DayCell10(benchmark::State& state) {
  bench::FineTown town;
  Model& model = town.model;
  model.B_workPathClick();
  std::vector<double> fastestStep(144, 1e300);
  double fastestDay = 1e300;
  size_t peak = 0;
  for (auto _ : state) {
    const double dayStart = bench::ThreadSeconds();
    for (size_t step = 0; step < 144; ++step) {
      const double start = bench::ThreadSeconds();
      model.SimulationStep();
      fastestStep[step] = std::min(fastestStep[step], bench::ThreadSeconds() - start);
      peak = std::max(peak, model.day.travellers.size());
    }
    fastestDay = std::min(fastestDay, bench::ThreadSeconds() - dayStart);
  }
  const auto slowest = std::max_element(fastestStep.begin(), fastestStep.end());
  state.counters["day_seconds"] = fastestDay;
  state.counters["peak_step_seconds"] = *slowest;
  state.counters["peak_step"] = static_cast<double>(slowest - fastestStep.begin() + 1);
  state.counters["peak_on_road"] = static_cast<double>(peak);
}
BENCHMARK(BM_DayCell10)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same day done the plain way (plain_day.h, the oracle of the tests): every trip tested on
// every step, vehicles with their own route copies, nodes and positions found by linear
// search, the overlay drawn by a canvas that has never drawn before. One day.
void BM_DayCell10Plain(benchmark::State& state) {
  bench::FineTown town;
  Model& model = town.model;
  model.B_workPathClick();
  double day = 0, slowest = 0;
  size_t peak = 0;
  for (auto _ : state) {
    oracle::PlainDay plain(model, town.host.width, town.host.height);
    const std::string scale = town.host.edits[EditBox::TScale];
    const double dayStart = bench::ThreadSeconds();
    for (int step = 0; step < 144; ++step) {
      const double start = bench::ThreadSeconds();
      plain.Step(scale);
      slowest = std::max(slowest, bench::ThreadSeconds() - start);
      peak = std::max(peak, plain.Vehicles().size());
    }
    day = bench::ThreadSeconds() - dayStart;
  }
  state.counters["day_seconds"] = day;
  state.counters["peak_step_seconds"] = slowest;
  state.counters["peak_on_road"] = static_cast<double>(peak);
}
BENCHMARK(BM_DayCell10Plain)->Unit(benchmark::kMillisecond)->Iterations(1);

// Resident memory of the fine town through "workers path" and a whole day; meant to run alone
// in its process (the peak is the process's). Reports the peak in MB, the growth per trip
// from before "load data" to the end of the day's first step (trips, routes, departure index),
// and the size of the trip record itself.
size_t StatusKilobytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(status, line))
    if (line.rfind(prefix, 0) == 0) return std::stoul(line.substr(prefix.size()));
  return 0;
}

void BM_MemoryCell10(benchmark::State& state) {
  for (auto _ : state) {
    bench::BenchHost host;
    host.edits[EditBox::CellScale] = "10";
    host.edits[EditBox::NodeNumber] = "199";
    Model model(host);
    SetDecimalSeparator(',');
    SetRandSeed(20240611);
    model.FormCreate();
    const size_t before = StatusKilobytes("VmRSS");
    model.B_loadDataClick();
    model.B_agCreateClick();
    model.B_workPathClick();
    model.SimulationStep();
    const size_t planned = StatusKilobytes("VmRSS");
    for (int step = 1; step < 144; ++step) model.SimulationStep();
    size_t trips = 0;
    model.town.cells.ForEach([&](const TCell& cell) { trips += cell.trips.size(); });
    state.counters["peak_mb"] = static_cast<double>(StatusKilobytes("VmHWM")) / 1024.0;
    state.counters["bytes_per_trip"] =
        static_cast<double>(planned - before) * 1024.0 / static_cast<double>(trips);
    state.counters["trip_record_bytes"] = static_cast<double>(sizeof(Trip));
    SetDecimalSeparator('.');
  }
}
BENCHMARK(BM_MemoryCell10)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace velmora

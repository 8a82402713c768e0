// The default town at cell size 1 (426,240 cells, 24,008,405 workers) on the default network
// of 42 nodes, command by command as a user would run them. One run per process: the peak
// memory is the process's. Reported, in CPU seconds of the thread: "load data" with the
// pairing, "lines to work", "agents create", "workers path" and 50 steps into the morning peak;
// and the peak resident memory in MB through all of them.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "core/convert.h"
#include "core/random.h"
#include "default_town.h"
#include "fine_town.h"
#include "model/model.h"
#include "model/traffic.h"

namespace velmora {
namespace {

size_t StatusKilobytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field + ":", 0) == 0) return std::stoul(line.substr(field.size() + 1));
  return 0;
}
size_t PeakKilobytes() {
  return StatusKilobytes("VmHWM");
}

template <typename F>
double Seconds(F&& command) {
  const double start = bench::ThreadSeconds();
  command();
  return bench::ThreadSeconds() - start;
}

void BM_Cell1DefaultTown(benchmark::State& state) {
  for (auto _ : state) {
    bench::TownHost host;
    host.edits[EditBox::CellScale] = "1";
    Model model(host);
    SetDecimalSeparator(',');
    SetRandSeed(20240611);
    model.FormCreate();
    state.counters["load_seconds"] = Seconds([&] { model.B_loadDataClick(); });
    state.counters["peak_mb_load"] = static_cast<double>(PeakKilobytes()) / 1024.0;
    state.counters["lines_seconds"] = Seconds([&] { model.B_lineWorkClick(); });
    state.counters["agents_create_seconds"] = Seconds([&] { model.B_agCreateClick(); });
    state.counters["workers_path_seconds"] = Seconds([&] { model.B_workPathClick(); });
    state.counters["peak_mb_planning"] = static_cast<double>(PeakKilobytes()) / 1024.0;
    state.counters["rss_mb_planned"] = static_cast<double>(StatusKilobytes("VmRSS")) / 1024.0;
    state.counters["steps_seconds"] = Seconds([&] {
      for (int k = 0; k < 50; ++k) model.SimulationStep();
    });
    state.counters["rss_mb_end"] = static_cast<double>(StatusKilobytes("VmRSS")) / 1024.0;
    state.counters["vehicle_bytes"] = static_cast<double>(sizeof(TTraveller));
    state.counters["on_road"] = static_cast<double>(model.day.travellers.size());
    state.counters["peak_mb"] = static_cast<double>(PeakKilobytes()) / 1024.0;
    SetDecimalSeparator('.');
  }
}
BENCHMARK(BM_Cell1DefaultTown)->Unit(benchmark::kMillisecond)->Iterations(1);

// "load data" alone on the same town.
void BM_LoadCell1(benchmark::State& state) {
  for (auto _ : state) {
    bench::TownHost host;
    host.edits[EditBox::CellScale] = "1";
    Model model(host);
    SetRandSeed(20240611);
    model.FormCreate();
    state.counters["load_seconds"] = Seconds([&] { model.B_loadDataClick(); });
  }
}
BENCHMARK(BM_LoadCell1)->Unit(benchmark::kMillisecond)->Iterations(1);

// "lines to work" on the same town with the thin lines drawn the checked way, each pixel
// tested against the buffer (the previous canvas).
void BM_LinesToWorkCell1Checked(benchmark::State& state) {
  for (auto _ : state) {
    bench::TownHost host;
    host.edits[EditBox::CellScale] = "1";
    Model model(host);
    SetRandSeed(20240611);
    model.FormCreate();
    model.B_loadDataClick();
    host.checkedLines = true;
    state.counters["lines_seconds"] = Seconds([&] { model.B_lineWorkClick(); });
  }
}
BENCHMARK(BM_LinesToWorkCell1Checked)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace velmora

// "agents create" on the default grid: node creation, the 5c + 1 formation passes, link-load
// sizing, drawing and catchment, at 42 (the default), 200 and 500 nodes.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_host.h"
#include "core/random.h"
#include "model/model.h"

namespace velmora {
namespace {

void BM_AgentsCreate(benchmark::State& state) {
  const int64_t nodes = state.range(0);
  bench::BenchHost host;
  host.edits[EditBox::NodeNumber] = std::to_string(nodes - 1);
  Model model(host);
  model.FormCreate();
  size_t links = 0;
  for (auto _ : state) {
    state.PauseTiming();
    model.B_agDeleteClick();
    SetRandSeed(20240611);
    state.ResumeTiming();
    model.B_agCreateClick();
    benchmark::DoNotOptimize(model.nodeList.data());
  }
  for (const auto& node : model.nodeList) links += node->links.size();
  const double passes = 5.0 * static_cast<double>(nodes) + 1.0;
  const double distances = passes * static_cast<double>(nodes) * static_cast<double>(nodes - 1);
  state.counters["links"] = static_cast<double>(links);
  state.counters["distances/s"] = benchmark::Counter(
      distances * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AgentsCreate)->Arg(42)->Arg(200)->Arg(500)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora

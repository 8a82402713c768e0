// The hover lookup on a network of 2,000 nodes formed by "agents create" on the default drawing
// area: every third pixel of the field asked in turn of a fresh lookup, so the first question
// also builds the index. Counters: the slowest single lookup (slowest_lookup_seconds), the first
// one (first_lookup_seconds) and the mean (mean_lookup_seconds), in CPU seconds of the thread.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "core/random.h"
#include "fine_town.h"
#include "model/hover_lookup.h"
#include "model/model.h"

namespace velmora {
namespace {

void BM_HoverLookup2000(benchmark::State& state) {
  bench::BenchHost host;
  host.edits[EditBox::NodeNumber] = "1999";
  Model model(host);
  model.FormCreate();
  SetRandSeed(20240611u);
  model.B_agCreateClick();
  double slowest = 0, first = 0, total = 0, lookups = 0, links = 0, over = 0;
  for (const auto& node : model.network.nodeList) links += static_cast<double>(node->links.size());
  for (auto _ : state) {
    HoverLookup lookup;
    for (int32_t y = 0; y < host.height; y += 3)
      for (int32_t x = 0; x < host.width; x += 3) {
        const double start = bench::ThreadSeconds();
        const HoverHit hit = lookup.At(model.town, model.network, x, y);
        const double seconds = bench::ThreadSeconds() - start;
        benchmark::DoNotOptimize(hit.text.data());
        if (lookups == 0) first = seconds;
        slowest = std::max(slowest, seconds);
        over += seconds > 0.005;
        total += seconds;
        ++lookups;
      }
  }
  state.counters["slowest_lookup_seconds"] = slowest;
  state.counters["first_lookup_seconds"] = first;
  state.counters["mean_lookup_seconds"] = total / lookups;
  state.counters["lookups_over_5ms"] = over;
  state.counters["nodes"] = static_cast<double>(model.network.nodeList.size());
  state.counters["links"] = links;
}
BENCHMARK(BM_HoverLookup2000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora

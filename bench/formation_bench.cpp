// "agents create" and the cell catchment on the default drawing area, beside the plain versions:
// - BM_AgentsCreate/n: the whole handler (creation, 5n + 1 passes, link loads, drawing,
//   catchment) for n nodes.
// - BM_AgentsCreatePlain/n: the same handler with the plain formation (TAgent::NeigborCheck
//   over every node in every pass, which the model keeps as its fallback) and the plain
//   catchment. BM_AgentsCreatePlain/500 over BM_AgentsCreate/500 is the speed-up.
// - BM_Formation/n: creation, the passes and the link loads only.
// - BM_Catchment2000Cell5 and BM_Catchment2000Cell5Plain: AssignNearestNodes for 2,000 nodes on
//   cells of 5 pixels (17,024 cells), against the plain double loop.
#include <benchmark/benchmark.h>

#include <string>

#include "core/random.h"
#include "core/rounding.h"
#include "fine_town.h"
#include "model/agent.h"
#include "model/calc_AStern.h"
#include "model/model.h"
#include "support/plain_network.h"

namespace velmora {
namespace {

constexpr uint32_t kSeed = 20240611;

void CountLinks(benchmark::State& state, const Model& model) {
  double links = 0;
  for (const auto& node : model.network.nodeList) links += static_cast<double>(node->links.size());
  state.counters["links"] = links;
}

void BM_AgentsCreate(benchmark::State& state) {
  bench::BenchHost host;
  host.edits[EditBox::NodeNumber] = std::to_string(state.range(0) - 1);
  Model model(host);
  model.FormCreate();
  for (auto _ : state) {
    state.PauseTiming();
    model.B_agDeleteClick();
    SetRandSeed(kSeed);
    state.ResumeTiming();
    model.B_agCreateClick();
    benchmark::DoNotOptimize(model.network.nodeList[0].get());
  }
  CountLinks(state, model);
}
BENCHMARK(BM_AgentsCreate)
    ->Arg(42)
    ->Arg(200)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(5000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

void BM_Formation(benchmark::State& state) {
  bench::BenchHost host;
  host.edits[EditBox::NodeNumber] = std::to_string(state.range(0) - 1);
  Model model(host);
  model.FormCreate();
  for (auto _ : state) {
    state.PauseTiming();
    model.B_agDeleteClick();
    SetRandSeed(kSeed);
    state.ResumeTiming();
    model.CreateNodes();
    FormNetwork(model.network, 5 * static_cast<int64_t>(model.network.nodeList.size()) + 1,
                model.town.fieldWidth, model.town.fieldHeight);
    SizeLinkLoads(model.network);
    benchmark::DoNotOptimize(model.network.nodeList[0].get());
  }
  CountLinks(state, model);
}
BENCHMARK(BM_Formation)->Arg(500)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

using oracle::PlainCatchment;
using oracle::PlainPasses;

// "agents create" as the handler runs it, with the plain formation and catchment.
void BM_AgentsCreatePlain(benchmark::State& state) {
  bench::BenchHost host;
  host.edits[EditBox::NodeNumber] = std::to_string(state.range(0) - 1);
  Model model(host);
  model.FormCreate();
  for (auto _ : state) {
    state.PauseTiming();
    model.B_agDeleteClick();
    SetRandSeed(kSeed);
    state.ResumeTiming();
    model.CreateNodes();
    model.ClearOverlay();
    PlainPasses(model, 5 * static_cast<int64_t>(model.network.nodeList.size()) + 1);
    SizeLinkLoads(model.network);
    model.ClearOverlay();
    DrawNodes(model.network, model.Overlay());
    DrawLinks(model.network, model.Overlay());
    benchmark::DoNotOptimize(PlainCatchment(model));
    DrawNodes(model.network, model.Overlay());
    benchmark::DoNotOptimize(model.network.nodeList[0].get());
  }
  CountLinks(state, model);
}
BENCHMARK(BM_AgentsCreatePlain)
    ->Arg(500)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(1);

// 2,000 nodes scattered over the drawing area and pulled into the field, as their first move
// would; catchment does not depend on how the network was formed.
void ScatterNodes(Model& model, bench::BenchHost& host) {
  host.edits[EditBox::CellScale] = "5";
  host.edits[EditBox::NodeNumber] = "1999";
  model.FormCreate();
  SetRandSeed(kSeed);
  model.CreateNodes();
  for (auto& node : model.network.nodeList)
    ClampToField(node->x, node->y, model.town.fieldWidth, model.town.fieldHeight);
}

void BM_Catchment2000Cell5(benchmark::State& state) {
  bench::BenchHost host;
  Model model(host);
  ScatterNodes(model, host);
  for (auto _ : state) {
    AssignNearestNodes(model.town, model.network);
    benchmark::DoNotOptimize(model.town.cells.At(0, 0));
  }
  state.counters["cells"] = model.town.cells.Cols() * model.town.cells.Rows();
}
BENCHMARK(BM_Catchment2000Cell5)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_Catchment2000Cell5Plain(benchmark::State& state) {
  bench::BenchHost host;
  Model model(host);
  ScatterNodes(model, host);
  for (auto _ : state) {
    benchmark::DoNotOptimize(PlainCatchment(model));
    benchmark::DoNotOptimize(model.town.cells.At(0, 0));
  }
}
BENCHMARK(BM_Catchment2000Cell5Plain)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
}  // namespace velmora

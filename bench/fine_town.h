// The benchmarks' host, and the town the scale figures are measured on: cell size 10 (64 x 66 =
// 4,224 cells) with every picture black, so 255 workers, workplaces and retail units in every cell
// (1,077,120 trips), and 200 nodes formed by "agents create".
#pragma once

#include <ctime>

#include "core/convert.h"
#include "core/random.h"
#include "headless/headless_host.h"
#include "model/model.h"

namespace velmora::bench {

// The headless host with every picture black: 255 workers, workplaces and retail units in
// every cell.
struct BenchHost : HeadlessHost {
  BenchHost() { uniformPictures = 0x00000000; }
};

// CPU time of this thread in seconds: steadier than the wall clock on a machine shared with
// other work.
inline double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct FineTown {
  // Loads the pictures and forms the network; "workers path" is left to the caller.
  FineTown() {
    host.edits[EditBox::CellScale] = "10";
    host.edits[EditBox::NodeNumber] = "199";
    SetDecimalSeparator(',');  // the default deviation text is "1,0"
    SetRandSeed(20240611);
    model.FormCreate();
    model.B_loadDataClick();
    model.B_agCreateClick();
  }
  ~FineTown() { SetDecimalSeparator('.'); }
  FineTown(const FineTown&) = delete;
  FineTown& operator=(const FineTown&) = delete;

  size_t Trips() const {
    size_t trips = 0;
    model.town.cells.ForEach([&](const TCell& cell) { trips += cell.trips.size(); });
    return trips;
  }

  BenchHost host;
  Model model{host};
};

}  // namespace velmora::bench

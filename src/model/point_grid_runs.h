// The inner loops of the point grid's searches over runs of packed points (see PointGrid for
// the packing): counting, the nearest point and gathering, on the widest vector lanes the
// processor offers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "model/point_grid.h"

namespace velmora::point_runs {

// No point: larger than every squared distance, id and key.
constexpr int32_t kNone = std::numeric_limits<int32_t>::max();
constexpr int32_t kKeyShift = PointGrid::kIdBits;

// Number of the n points within squared distance r2 (r2 < 2^31 - 1) of the packed point q.
int32_t CountInRun(const uint32_t* packed, size_t n, uint32_t q, int32_t r2);
// The least squared distance from q of the points of the runs other than id exclude; kNone for
// none.
int32_t LeastSquaredInRuns(const Run* runs, size_t count, uint32_t q, int32_t exclude);
// The lowest id of the points of the runs other than id exclude within squared distance r2 of
// q; kNone for none.
int32_t LowestIdInRuns(const Run* runs, size_t count, uint32_t q, int32_t r2, int32_t exclude);
// Numbers of the points of the runs within squared distance r2 of q, and within near2 (r2 and
// near2 < 2^31 - 1; none within a negative near2).
struct TwoCounts {
  int32_t within;
  int32_t near;
};
TwoCounts CountTwoInRuns(const Run* runs, size_t count, uint32_t q, int32_t r2, int32_t near2);
// Appends the points within squared distance r2 of q, leaving out the id exclude.
void GatherInRun(const uint32_t* packed, const int32_t* ids, size_t n, uint32_t q, int32_t r2,
                 int32_t exclude, std::vector<PointGrid::Near>& out);

// The lanes the kernels work with now (16, 8, 4, or 1 without SSE2), and setting them (clamped
// to what the processor runs; the tests compare every width); returns the width before.
int KernelLanes();
int SetKernelLanes(int lanes);

}  // namespace velmora::point_runs

// The inner loops of the point grid's searches over runs of packed points (see PointGrid for
// the packing): counting, the nearest key and gathering, on the widest vector lanes the
// processor offers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "model/point_grid.h"

namespace velmora::point_runs {

// No point: larger than every key.
constexpr int32_t kNone = std::numeric_limits<int32_t>::max();

// Number of the n points within squared distance r2 (r2 < 2^31 - 1) of the packed point q.
int32_t CountInRun(const uint32_t* packed, size_t n, uint32_t q, int32_t r2);
// The least key (rounded distance above the id) of the points within squared distance r2 of q,
// leaving out the id exclude; kNone when there is none.
int32_t NearestKeyInRun(const uint32_t* packed, const int32_t* ids, size_t n, uint32_t q,
                        int32_t r2, int32_t exclude);
// Appends the points within squared distance r2 of q, leaving out the id exclude.
void GatherInRun(const uint32_t* packed, const int32_t* ids, size_t n, uint32_t q, int32_t r2,
                 int32_t exclude, std::vector<PointGrid::Near>& out);

// The lanes the kernels work with now (16, 8, 4, or 1 without SSE2), and setting them (clamped
// to what the processor runs; the tests compare every width); returns the width before.
int KernelLanes();
int SetKernelLanes(int lanes);

}  // namespace velmora::point_runs

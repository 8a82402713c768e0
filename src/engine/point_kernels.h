// The inner loops of the point grid's searches: a run of packed points (see PointGrid for the
// packing) against a query point, counting, finding the nearest and gathering. Each comes as
// plain C++ (one point at a time, on every machine), with SSE2 (four points at a time) and,
// but for the gathering, with AVX2 (eight); the width in force is core's KernelLanes(), and a
// kernel without an eight-point form takes its four-point form there. Every width does the same
// integer arithmetic point by point, so all give the same answers: point_grid_test runs the
// grid at every width this processor has against plain loops over all points.
//
// The runs are read in whole blocks of four or eight points: every run must be followed by at
// least kRunPadding readable entries, which the grid's rows keep after their last point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace velmora::point_runs {

// Readable entries after a run's last point: a block of eight may start at its last point.
constexpr size_t kRunPadding = 7;

// No point: larger than every squared distance and id.
constexpr int32_t kNone = std::numeric_limits<int32_t>::max();

// A run of packed points with their ids.
struct Run {
  const uint32_t* packed;
  const int32_t* ids;
  size_t n;
};

// A point found by a gathering and its squared distance from the query point.
struct Near {
  int32_t id;
  int32_t squared;
};

// Number of the n points within squared distance r2 (r2 < 2^31 - 1) of the packed point q.
int32_t CountInRun(const uint32_t* packed, size_t n, uint32_t q, int32_t r2);
// Numbers of the points of the runs within squared distance r2 of q, and within near2 (r2 and
// near2 < 2^31 - 1; none within a negative near2).
struct TwoCounts {
  int32_t within;
  int32_t near;
};
TwoCounts CountTwoInRuns(const Run* runs, size_t count, uint32_t q, int32_t r2, int32_t near2);
// The least squared distance from q of the points of the runs other than id exclude; kNone for
// none.
int32_t LeastSquaredInRuns(const Run* runs, size_t count, uint32_t q, int32_t exclude);
// The lowest id of the points of the runs other than id exclude within squared distance r2 of
// q; kNone for none.
int32_t LowestIdInRuns(const Run* runs, size_t count, uint32_t q, int32_t r2, int32_t exclude);
// Appends the points of a run within squared distance r2 of q, leaving out the id exclude.
void GatherInRun(const uint32_t* packed, const int32_t* ids, size_t n, uint32_t q, int32_t r2,
                 int32_t exclude, std::vector<Near>& out);

}  // namespace velmora::point_runs

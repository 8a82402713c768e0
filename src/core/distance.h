// The rounded pixel distance between two integer points: the route search's cost, a node's
// distance to a point, and the measure of every nearest-node choice.
#pragma once

#include <cstdint>

namespace velmora {

// Rounded Euclidean distance between two integer points: dx^2 held in single precision, dy^2
// added and the root taken in extended precision, the result rounded half to even.
int32_t PointDistance(int32_t x1, int32_t y1, int32_t x2, int32_t y2);

}  // namespace velmora

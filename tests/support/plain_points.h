// Counting and nearest-point searches the plain way, every point looked at: the oracle of the
// point grid's searches.
#pragma once

#include <cstdint>
#include <vector>

#include "core/distance.h"

namespace velmora::oracle {

struct Point {
  int32_t x, y;
};

// The plain answers: every point looked at.
inline int32_t PlainCount(const std::vector<Point>& points, int32_t x, int32_t y, int64_t r2) {
  int32_t count = 0;
  for (const Point& p : points) {
    const int64_t dx = p.x - x, dy = p.y - y;
    if (dx * dx + dy * dy <= r2) ++count;
  }
  return count;
}

inline int32_t PlainNearest(const std::vector<Point>& points, int32_t x, int32_t y, int32_t exclude,
                            int64_t r2, int32_t* distance) {
  int32_t best = -1, bestD = 0;
  for (size_t j = 0; j < points.size(); ++j) {
    if (static_cast<int32_t>(j) == exclude) continue;
    const int64_t dx = points[j].x - x, dy = points[j].y - y;
    if (dx * dx + dy * dy > r2) continue;
    const int32_t d = PointDistance(points[j].x, points[j].y, x, y);
    if (best < 0 || d < bestD) {
      best = static_cast<int32_t>(j);
      bestD = d;
    }
  }
  *distance = bestD;
  return best;
}

}  // namespace velmora::oracle

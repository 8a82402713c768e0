// What lies under a point the plain way, every disc and link looked at: the oracle of the
// hover lookup's bucket grid.
#pragma once

#include <algorithm>
#include <cstdint>

#include "model/hover_lookup.h"
#include "model/model.h"

namespace velmora::oracle {

// The plain scan: the last disc holding the point, else the nearest link line within 3 pixels
// (the last drawn among equals), else the cell by the cell size.
inline HoverHit PlainHover(const Model& m, int32_t x, int32_t y) {
  HoverHit out;
  if (m.town.cells.Empty() || x < 0 || y < 0 || x >= m.town.gridCols * m.town.cellSize ||
      y >= m.town.gridRows * m.town.cellSize)
    return out;
  const size_t n = m.network.nodeList.size();
  for (size_t i = 0; i < n; ++i) {
    const TAgent& node = *m.network.nodeList[i];
    const int64_t dx = x - node.x, dy = y - node.y;
    if (dx * dx + dy * dy <= int64_t{node.radius} * node.radius) {
      out.kind = HoverHit::Kind::Node;
      out.a = static_cast<int32_t>(i);
    }
  }
  if (out.kind == HoverHit::Kind::Node) return out;
  double best = 9.0;
  for (size_t i = 0; i < n; ++i)
    for (const TLink& link : m.network.nodeList[i]->links) {
      const auto& p = m.network.nodePositions[i];
      const auto& q = m.network.nodePositions[static_cast<size_t>(link.node)];
      if (x < std::min(p[0], q[0]) - 3 || x > std::max(p[0], q[0]) + 3 ||
          y < std::min(p[1], q[1]) - 3 || y > std::max(p[1], q[1]) + 3)
        continue;  // too far from the line's box to be within 3 pixels
      const double d2 = SquaredDistanceToSegment(x, y, p[0], p[1], q[0], q[1]);
      if (d2 > best) continue;
      best = d2;
      out.kind = HoverHit::Kind::Link;
      out.a = static_cast<int32_t>(i);
      out.b = link.node;
    }
  if (out.kind == HoverHit::Kind::Link) {
    // Listed both ways: the lower index first.
    for (const TLink& back : m.network.nodeList[static_cast<size_t>(out.b)]->links)
      if (back.node == out.a && out.a > out.b) std::swap(out.a, out.b);
    return out;
  }
  out.kind = HoverHit::Kind::Cell;
  out.a = x / m.town.cellSize;
  out.b = y / m.town.cellSize;
  return out;
}

}  // namespace velmora::oracle

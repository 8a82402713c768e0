// The plain formation passes and the plain catchment over a model's own nodes, kept as the
// oracles of the bucket-grid versions: every node scanned against every other node in every
// pass (TAgent::NeigborCheck), and every node measured for every cell.
#pragma once

#include <cstdint>
#include <vector>

#include "core/rounding.h"
#include "model/agent.h"
#include "model/model.h"

namespace velmora::oracle {

inline void PlainPasses(Model& model, int64_t passes) {
  const size_t count = model.network.nodeList.size();
  for (int64_t pass = 0; pass < passes; ++pass) {
    model.network.nodePositions.resize(count);
    for (size_t i = 0; i < count; ++i) {
      TAgent& node = *model.network.nodeList[i];
      model.network.nodePositions[i] = {node.x, node.y};
      node.NeigborCheck(static_cast<int32_t>(i), model.network.nodeList);
      node.x += static_cast<int32_t>(RoundHalfEven(node.vx));
      node.y += static_cast<int32_t>(RoundHalfEven(node.vy));
      velmora::ClampToField(node.x, node.y, model.town.fieldWidth, model.town.fieldHeight);
    }
  }
}

// The nearest node of every cell in grid order, the first of the nearest kept; a cell keeps its
// nearestNode when no node is nearer than the starting best distance.
inline std::vector<int32_t> PlainCatchment(const Model& m) {
  std::vector<int32_t> nearest;
  m.town.cells.ForEach([&](const TCell& cell) {
    int32_t best = 999999, node = cell.nearestNode;
    for (size_t j = 0; j < m.network.nodeList.size(); ++j) {
      const int32_t d = PointDistance(cell.PositionX, cell.PositionY, m.network.nodeList[j]->x,
                                      m.network.nodeList[j]->y);
      if (d < best) {
        best = d;
        node = static_cast<int32_t>(j);
      }
    }
    nearest.push_back(node);
  });
  return nearest;
}

}  // namespace velmora::oracle

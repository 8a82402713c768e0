// The route search over the node network: an A* search whose costs are rounded pixel
// distances between node positions.
#pragma once

#include <cstdint>
#include <vector>

#include "model/agent.h"

namespace velmora {

// Rounded Euclidean distance between two integer points: dx^2 held in single precision,
// dy^2 added and the root taken in extended precision, the result rounded half to even.
int32_t PointDistance(int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// The search's own state (open list and goal flag) and its steps. One search at a time.
class AStarSearch {
 public:
  // Searches from start to goal; on success appends the route (goal first, start left out)
  // to routeList. Nothing is appended when the goal is the start or cannot be reached.
  void FindPath(Route& routeList, TAgent* start, TAgent* goal, const NodeList& nodes);

  bool GoalFound() const { return goalFound_; }

  static int CompareByF(const TAgent* a, const TAgent* b);

 private:
  void ResetSearch(const NodeList& nodes);
  void ExpandNode(TAgent* current, TAgent* goal, const NodeList& nodes);
  static void UpdateCosts(const TAgent* from, TAgent* nb, const TAgent* goal);

  std::vector<TAgent*> openList_;
  bool goalFound_ = false;
};

}  // namespace velmora

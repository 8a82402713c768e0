// The route search over the node network: an A* search whose costs are rounded pixel
// distances between node positions (PointDistance), the route planner for many searches over one
// network, and the demonstration of "find path" (resetting and drawing the found route).
#pragma once

#include <cstdint>
#include <vector>

#include "canvas/canvas.h"
#include "core/distance.h"
#include "model/network.h"

namespace velmora {

// Searches from start to goal over the network's links; on success appends the route (goal
// first, start left out) to routeList, and network.goalFound tells whether the goal was
// reached. Nothing is appended when the goal is the start or cannot be reached. Leaves its
// costs, parents and closed marks on the nodes it reached.
void FindPath(Network& network, Route& routeList, TAgent* start, TAgent* goal);
// The open list's order: +1 when a's f is below b's, -1 above, 0 equal (so a sort puts the
// smallest f last).
int CompareByF(const TAgent* a, const TAgent* b);

// Many searches over one network whose positions and links stay as they are: the search of
// FindPath step for step, with its tie rules, on arrays of its own. The distance
// of every link is worked out once, and a node's distance to the goal once per goal, instead
// of on every visit; the nodes reached by a search are told apart by a search number instead
// of resetting every node; the open list's membership test reads a mark instead of scanning
// the list. The nodes' own search fields are not touched.
class RoutePlanner {
 public:
  // Takes the network's positions and links. False when it cannot be searched this way: a
  // link to a node outside the list, or a distance beyond the 32-bit range; the plain search
  // then raises the error where it occurs.
  bool Prepare(const NodeList& nodes);
  // Replaces route by what FindPath would append to an empty list for these two nodes
  // (indices in the prepared list).
  void Find(int32_t start, int32_t goal, Route& route);

 private:
  int32_t GoalDistance(int32_t node);
  void Sort();

  const NodeList* nodes_ = nullptr;
  std::vector<int32_t> x_, y_;
  std::vector<uint32_t> linkBegin_;  // links of node i: linkBegin_[i] .. linkBegin_[i + 1]
  std::vector<int32_t> linkNode_, linkCost_;
  // Per node: costs and parent in the current search, the numbers of the search that reached
  // it and of the one that closed it, and its distance to the goal with the goal it is for.
  std::vector<int32_t> f_, g_, h_, parent_;
  std::vector<uint32_t> reached_, closed_;
  std::vector<int32_t> toGoal_, toGoalFor_;
  uint32_t search_ = 0;
  int32_t goal_ = -1;
  std::vector<int32_t> open_;
};

// Empties the found route and resets every node's search fields (f, g, h, closed).
void ResetRoute(Network& network);
// Draws the found route in yellow, each segment as wide as its link's counter + 1 after counting
// the route as driven from the goal toward the start.
void DrawRoute(Network& network, Canvas& canvas);

}  // namespace velmora

// The route search over the node network: an A* search whose costs are rounded pixel
// distances between node positions.
#pragma once

#include <cstdint>
#include <vector>

#include "model/agent.h"

namespace velmora {

class Model;

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

// Many searches over one network whose positions and links stay as they are: the search of
// AStarSearch::FindPath step for step, with its tie rules, on arrays of its own. The distance
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

// Empties routeList and resets every node's search fields (f, g, h, closed).
void ResetRoute(Model& m);
// Draws routeList in yellow on the overlay, each segment as wide as its link's counter + 1
// after counting the route as driven from the goal toward the start.
void DrawRoute(Model& m);

}  // namespace velmora

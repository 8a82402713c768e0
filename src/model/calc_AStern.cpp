// The route search unit: the A* search, the route planner for many searches over one network,
// and the demonstration of "find path" (resetting and drawing the found route).
#include "model/calc_AStern.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "core/error.h"

namespace velmora {

namespace {

// Costs are 32-bit and wrap like the integer arithmetic they stand for; on the field's pixel
// coordinates they never come near the limit.
int32_t WrappingAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

void SortByDescendingF(std::vector<TAgent*>& list) {
  // Descending f, so a node of smallest f ends last and is taken next. The sort is stable:
  // nodes of equal f keep their order in the list, and since newly reached nodes are appended
  // at the end, the one taken among several open nodes of equal smallest f is the one that
  // entered the open list last. An insertion sort suits the list: it holds tens of nodes and
  // is already sorted apart from the few nodes the last expansion added or changed.
  for (size_t i = 1; i < list.size(); ++i) {
    TAgent* node = list[i];
    size_t j = i;
    while (j > 0 && CompareByF(node, list[j - 1]) < 0) {
      list[j] = list[j - 1];
      --j;
    }
    list[j] = node;
  }
}

// One search's working state: the open list exists only while the search runs.
struct Search {
  const NodeList& nodes;
  std::vector<TAgent*> openList;
  bool goalFound = false;
};

void ResetSearch(Search& search) {
  for (const auto& node : search.nodes) {
    node->f = 0;
    node->g = 0;
    node->h = 0;
    node->closed = false;
  }
}

void UpdateCosts(const TAgent* from, TAgent* nb, const TAgent* goal) {
  nb->g = WrappingAdd(from->g, PointDistance(from->x, from->y, nb->x, nb->y));
  nb->h = PointDistance(goal->x, goal->y, nb->x, nb->y);
  nb->f = WrappingAdd(nb->g, nb->h);
}

void ExpandNode(Search& search, TAgent* current, TAgent* goal) {
  std::vector<TAgent*>& openList = search.openList;
  for (const TLink& link : current->links) {
    if (link.node < 0 || static_cast<size_t>(link.node) >= search.nodes.size())
      throw VError::ListIndex(link.node);
    TAgent* nb = search.nodes[static_cast<size_t>(link.node)].get();
    if (nb->closed) continue;

    const bool open = std::find(openList.begin(), openList.end(), nb) != openList.end();
    if (open) {
      const int32_t oldG = nb->g, oldH = nb->h, oldF = nb->f;
      UpdateCosts(current, nb, goal);
      if (oldG < nb->g) {
        // Reached again by a longer way: the earlier path stays.
        nb->g = oldG;
        nb->h = oldH;
        nb->f = oldF;
      } else {
        // As short or shorter: the node moves to the node now being expanded.
        nb->parent = current;
      }
    } else {
      UpdateCosts(current, nb, goal);
      nb->parent = current;
      openList.push_back(nb);
      if (nb == goal) search.goalFound = true;
    }
  }
}

}  // namespace

void FindPath(Network& network, Route& routeList, TAgent* start, TAgent* goal) {
  Search search{network.nodeList, {}, false};
  network.goalFound = false;
  ResetSearch(search);
  search.openList.push_back(start);

  while (!search.openList.empty() && !search.goalFound) {
    TAgent* current = search.openList.back();
    current->closed = true;
    ExpandNode(search, current, goal);
    SortByDescendingF(search.openList);
    const auto at = std::find(search.openList.begin(), search.openList.end(), current);
    assert(at != search.openList.end());
    search.openList.erase(at);
  }
  network.goalFound = search.goalFound;

  if (search.goalFound) {
    // Every node on the parent chain was reached in this search and each was reached from a
    // node expanded before it, so the chain ends at start within nodes.size() steps. The bound
    // only keeps a damaged chain from looping; such a chain yields no route.
    const size_t before = routeList.size();
    TAgent* n = goal;
    size_t steps = 0;
    while (n != start && n != nullptr && steps <= search.nodes.size()) {
      routeList.push_back(n);
      n = n->parent;
      ++steps;
    }
    if (n != start) routeList.resize(before);
  }
}

int CompareByF(const TAgent* a, const TAgent* b) {
  if (a->f < b->f) return 1;
  if (a->f > b->f) return -1;
  return 0;
}

// ---- Many searches over one network. ----

bool RoutePlanner::Prepare(const NodeList& nodes) {
  nodes_ = &nodes;
  const size_t n = nodes.size();
  x_.resize(n);
  y_.resize(n);
  int64_t minX = 0, maxX = 0, minY = 0, maxY = 0;
  for (size_t i = 0; i < n; ++i) {
    x_[i] = nodes[i]->x;
    y_[i] = nodes[i]->y;
    minX = i == 0 ? x_[i] : std::min<int64_t>(minX, x_[i]);
    maxX = i == 0 ? x_[i] : std::max<int64_t>(maxX, x_[i]);
    minY = i == 0 ? y_[i] : std::min<int64_t>(minY, y_[i]);
    maxY = i == 0 ? y_[i] : std::max<int64_t>(maxY, y_[i]);
  }
  // A distance grows with the differences of the coordinates, so none between two of these
  // nodes exceeds the one across their bounding box; below 2^30 on both axes that is below
  // 2^31 and no distance fails.
  constexpr int64_t kSpan = int64_t{1} << 30;
  if (maxX - minX >= kSpan || maxY - minY >= kSpan) return false;

  linkBegin_.assign(n + 1, 0);
  linkNode_.clear();
  linkCost_.clear();
  for (size_t i = 0; i < n; ++i) {
    for (const TLink& link : nodes[i]->links) {
      if (link.node < 0 || static_cast<size_t>(link.node) >= n) return false;
      const size_t t = static_cast<size_t>(link.node);
      linkNode_.push_back(link.node);
      // As UpdateCosts measures it: from the expanded node to its neighbour.
      linkCost_.push_back(PointDistance(x_[i], y_[i], x_[t], y_[t]));
    }
    linkBegin_[i + 1] = static_cast<uint32_t>(linkNode_.size());
  }

  f_.assign(n, 0);
  g_.assign(n, 0);
  h_.assign(n, 0);
  parent_.assign(n, kNoNode);
  reached_.assign(n, 0);
  closed_.assign(n, 0);
  toGoal_.assign(n, 0);
  toGoalFor_.assign(n, kNoNode);
  search_ = 0;
  goal_ = kNoNode;
  return true;
}

int32_t RoutePlanner::GoalDistance(int32_t node) {
  const size_t i = static_cast<size_t>(node);
  if (toGoalFor_[i] != goal_) {
    // As UpdateCosts measures it: from the goal to the node.
    const size_t goal = static_cast<size_t>(goal_);
    toGoal_[i] = PointDistance(x_[goal], y_[goal], x_[i], y_[i]);
    toGoalFor_[i] = goal_;
  }
  return toGoal_[i];
}

void RoutePlanner::Sort() {
  // The same stable insertion sort by descending f as the plain search's.
  for (size_t i = 1; i < open_.size(); ++i) {
    const int32_t node = open_[i];
    const int32_t f = f_[static_cast<size_t>(node)];
    size_t j = i;
    while (j > 0 && f > f_[static_cast<size_t>(open_[j - 1])]) {
      open_[j] = open_[j - 1];
      --j;
    }
    open_[j] = node;
  }
}

void RoutePlanner::Find(int32_t start, int32_t goal, Route& route) {
  route.clear();
  // The goal would be closed before it could be reached: no route.
  if (start == goal) return;
  if (++search_ == 0) {
    // The search numbers have gone round: start them afresh.
    std::fill(reached_.begin(), reached_.end(), 0);
    std::fill(closed_.begin(), closed_.end(), 0);
    search_ = 1;
  }
  goal_ = goal;
  const uint32_t search = search_;

  open_.clear();
  open_.push_back(start);
  const size_t s = static_cast<size_t>(start);
  reached_[s] = search;
  f_[s] = g_[s] = h_[s] = 0;
  bool goalFound = false;

  while (!open_.empty() && !goalFound) {
    const int32_t current = open_.back();
    const size_t c = static_cast<size_t>(current);
    // An open node was reached in this search and not yet closed: it is in the list once.
    assert(reached_[c] == search && closed_[c] != search);
    closed_[c] = search;
    const int32_t gc = g_[c];
    for (uint32_t e = linkBegin_[c]; e < linkBegin_[c + 1]; ++e) {
      const int32_t nb = linkNode_[e];
      const size_t b = static_cast<size_t>(nb);
      if (closed_[b] == search) continue;
      const int32_t g = WrappingAdd(gc, linkCost_[e]);
      const int32_t h = GoalDistance(nb);
      if (reached_[b] == search) {
        // In the open list: a longer way leaves it as it is; an equal or shorter one moves it
        // to the node now being expanded.
        if (g_[b] < g) continue;
        g_[b] = g;
        h_[b] = h;
        f_[b] = WrappingAdd(g, h);
        parent_[b] = current;
      } else {
        reached_[b] = search;
        g_[b] = g;
        h_[b] = h;
        f_[b] = WrappingAdd(g, h);
        parent_[b] = current;
        open_.push_back(nb);
        if (nb == goal) goalFound = true;
      }
    }
    Sort();
    const auto at = std::find(open_.begin(), open_.end(), current);
    assert(at != open_.end());
    open_.erase(at);
  }

  if (!goalFound) return;
  // The parent chain of this search's nodes runs back to the start.
  const NodeList& nodes = *nodes_;
  int32_t n = goal;
  size_t steps = 0;
  while (n != start && n != kNoNode && steps <= nodes.size()) {
    route.push_back(nodes[static_cast<size_t>(n)].get());
    n = parent_[static_cast<size_t>(n)];
    ++steps;
  }
  if (n != start) route.clear();
}

// ---- The route demonstration. ----

void ResetRoute(Network& network) {
  network.routeList = Route{};
  for (const auto& node : network.nodeList) {
    node->f = 0;
    node->g = 0;
    node->h = 0;
    node->closed = false;
  }
}

void DrawRoute(Network& network, Canvas& overlay) {
  const Route& routeList = network.routeList;
  if (routeList.size() < 2) return;
  overlay.SetPenColor(clYellow);
  overlay.SetPenStyle(PenStyle::Solid);
  // Entry k + 1 is the parent of entry k (the search left the list that way), so walking the
  // list pair by pair is walking the parent chain from the goal to the last entry. The
  // segment between the start and the last entry is not drawn: the start is not in the list.
  for (size_t k = 0; k + 1 < routeList.size(); ++k) {
    TAgent* q = routeList[k];      // nearer the goal
    TAgent* p = routeList[k + 1];  // nearer the start
    const int32_t i = network.IndexOfNode(q);
    if (i < 0 || static_cast<size_t>(i) >= p->linkLoad.size()) throw VError::ListIndex(i);
    // A link's counter is held by the node driven to, at the index of the node driven from;
    // the route is counted as driven from the goal toward the start.
    int32_t& load = p->linkLoad[static_cast<size_t>(i)];
    ++load;
    overlay.SetPenWidth(load + 1);
    overlay.MoveTo(q->x, q->y);
    overlay.LineTo(p->x, p->y);
  }
}

}  // namespace velmora

// The route search unit: PointDistance and the A* search.
#include "model/calc_AStern.h"

#include <algorithm>
#include <cmath>

#include "core/error.h"
#include "core/rounding.h"

namespace velmora {

int32_t PointDistance(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const int64_t dx = static_cast<int64_t>(x1) - x2;
  const int64_t dy = static_cast<int64_t>(y1) - y2;
  // dx^2 is held in single precision, dy^2 and the sum in extended precision.
  const float dx2 = static_cast<float>(dx * dx);
  const long double sum = static_cast<long double>(dx2) + static_cast<long double>(dy) * dy;
  const double root = static_cast<double>(std::sqrt(sum));
  return RoundHalfEven32(root);
}

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
    while (j > 0 && AStarSearch::CompareByF(node, list[j - 1]) < 0) {
      list[j] = list[j - 1];
      --j;
    }
    list[j] = node;
  }
}

}  // namespace

void AStarSearch::FindPath(Route& routeList, TAgent* start, TAgent* goal, const NodeList& nodes) {
  goalFound_ = false;
  ResetSearch(nodes);
  openList_.push_back(start);

  while (!openList_.empty() && !goalFound_) {
    TAgent* current = openList_.back();
    current->closed = true;
    ExpandNode(current, goal, nodes);
    SortByDescendingF(openList_);
    openList_.erase(std::find(openList_.begin(), openList_.end(), current));
  }

  if (goalFound_) {
    // Every node on the parent chain was reached in this search and each was reached from a
    // node expanded before it, so the chain ends at start within nodes.size() steps. The bound
    // only keeps a damaged chain from looping; such a chain yields no route.
    const size_t before = routeList.size();
    TAgent* n = goal;
    size_t steps = 0;
    while (n != start && n != nullptr && steps <= nodes.size()) {
      routeList.push_back(n);
      n = n->parent;
      ++steps;
    }
    if (n != start) routeList.resize(before);
  }

  // The open list exists only while a search runs.
  std::vector<TAgent*>().swap(openList_);
}

void AStarSearch::ResetSearch(const NodeList& nodes) {
  openList_.clear();
  for (const auto& node : nodes) {
    node->f = 0;
    node->g = 0;
    node->h = 0;
    node->closed = false;
  }
}

void AStarSearch::ExpandNode(TAgent* current, TAgent* goal, const NodeList& nodes) {
  for (const TLink& link : current->links) {
    if (link.node < 0 || static_cast<size_t>(link.node) >= nodes.size())
      throw VError::ListIndex(link.node);
    TAgent* nb = nodes[static_cast<size_t>(link.node)].get();
    if (nb->closed) continue;

    const bool open = std::find(openList_.begin(), openList_.end(), nb) != openList_.end();
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
      openList_.push_back(nb);
      if (nb == goal) goalFound_ = true;
    }
  }
}

void AStarSearch::UpdateCosts(const TAgent* from, TAgent* nb, const TAgent* goal) {
  nb->g = WrappingAdd(from->g, PointDistance(from->x, from->y, nb->x, nb->y));
  nb->h = PointDistance(goal->x, goal->y, nb->x, nb->y);
  nb->f = WrappingAdd(nb->g, nb->h);
}

int AStarSearch::CompareByF(const TAgent* a, const TAgent* b) {
  if (a->f < b->f) return 1;
  if (a->f > b->f) return -1;
  return 0;
}

}  // namespace velmora

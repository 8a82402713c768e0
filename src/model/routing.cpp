// "find path": a route between two random nodes, searched and drawn in yellow on the overlay.
#include "core/error.h"
#include "core/random.h"
#include "model/model.h"

namespace velmora {

void Model::ResetRoute() {
  routeList = Route{};
  for (const auto& node : nodeList) {
    node->f = 0;
    node->g = 0;
    node->h = 0;
    node->closed = false;
  }
}

void Model::DrawRoute() {
  if (routeList.size() < 2) return;
  Canvas& overlay = Overlay();
  overlay.SetPenColor(clYellow);
  overlay.SetPenStyle(PenStyle::Solid);
  // Entry k + 1 is the parent of entry k (the search left the list that way), so walking the
  // list pair by pair is walking the parent chain from the goal to the last entry. The
  // segment between the start and the last entry is not drawn: the start is not in the list.
  for (size_t k = 0; k + 1 < routeList.size(); ++k) {
    TAgent* q = routeList[k];      // nearer the goal
    TAgent* p = routeList[k + 1];  // nearer the start
    const int32_t i = IndexOfNode(q);
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

void Model::B_findPathClick() {
  ResetRoute();
  // Both indices come from 0 .. n - 2: the last node is never chosen. With no nodes the draw
  // is Random(-1) and the list access fails.
  const int32_t n = static_cast<int32_t>(nodeList.size());
  TAgent* start = NodeAt(Random(n - 1));
  TAgent* goal = NodeAt(Random(n - 1));
  search.FindPath(routeList, start, goal, nodeList);
  DrawNodes();
  DrawLinks();
  DrawRoute();
}

}  // namespace velmora

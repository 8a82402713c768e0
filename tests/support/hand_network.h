// Hand-built road networks for route tests: nodes placed at given pixels, links added one by
// one, link loads and position snapshots sized as a formed network has them.
#pragma once

#include <memory>

#include "model/calc_AStern.h"
#include "model/model.h"

namespace velmora::testing {

class HandNetwork {
 public:
  explicit HandNetwork(Model& model) : model_(model) {}

  TAgent* Node(int32_t x, int32_t y) {
    auto node = std::make_unique<TAgent>();
    node->x = x;
    node->y = y;
    node->radius = 3;
    TAgent* raw = node.get();
    model_.network.nodeList.push_back(std::move(node));
    Finish();
    return raw;
  }
  // A directed link from a to b.
  void Link(TAgent* a, TAgent* b) {
    a->links.push_back(TLink{model_.network.IndexOfNode(b), PointDistance(a->x, a->y, b->x, b->y)});
  }
  void Both(TAgent* a, TAgent* b) {
    Link(a, b);
    Link(b, a);
  }
  // ResetRoute and FindPath as both callers run them; returns routeList.
  const Route& Search(TAgent* start, TAgent* goal) {
    ResetRoute(model_.network);
    FindPath(model_.network, model_.network.routeList, start, goal);
    return model_.network.routeList;
  }

 private:
  // Link loads sized to the node count, and the position snapshot link drawing reads.
  void Finish() {
    const size_t n = model_.network.nodeList.size();
    model_.network.nodePositions.resize(n);
    for (size_t i = 0; i < n; ++i) {
      TAgent& node = *model_.network.nodeList[i];
      node.linkLoad.resize(n, 0);
      model_.network.nodePositions[i] = {node.x, node.y};
    }
  }

  Model& model_;
};

}  // namespace velmora::testing

// A plain, literal second version of node creation and network formation, kept apart from the
// model's own code: its own records, one node at a time, every step written out as the formation
// rules state it. The differential tests hold the model to it, so any faster formation the model
// gets later must still give exactly these positions, velocities, links and random draws.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/random.h"
#include "core/rounding.h"
#include "model/calc_AStern.h"

namespace velmora::oracle {

struct Link {
  int32_t node = 0;
  int32_t distance = 0;
};

struct Node {
  int32_t x = 0;
  int32_t y = 0;
  int32_t radius = 0;
  double vx = 0.0;
  double vy = 0.0;
  int32_t state = 0;
  int32_t conDist = 0;
  int32_t repDist = 0;
  double nearestDist = 0.0;
  int32_t scanDist = 0;
  std::vector<int32_t> candidates;
  std::vector<Link> links;
  std::vector<int32_t> linkLoad;
};

struct World {
  int32_t imageWidth = 640;
  int32_t imageHeight = 666;
  int32_t fieldWidth = 630;
  int32_t fieldHeight = 660;
  std::vector<Node> nodes;
  std::vector<std::array<int32_t, 2>> positions;
};

// n + 1 new nodes for a count n >= 0, none for a negative count.
inline void CreateNodes(World& w, int32_t n) {
  if (n < 0) return;
  for (int64_t k = 0; k <= n; ++k) {
    Node node;
    node.x = Random(w.imageWidth);
    node.y = Random(w.imageHeight);
    node.vx = Random(3) - 1;
    node.vy = Random(3) - 1;
    node.radius = 3;
    node.state = 0;
    node.conDist = 130;
    node.repDist = 40;
    w.nodes.push_back(node);
  }
}

inline void LinkAndRepel(World& w, int32_t self) {
  Node& s = w.nodes[self];
  const Node& m = w.nodes[s.candidates[0]];
  for (size_t k = 1; k < s.candidates.size(); ++k) {
    s.vx = 0;
    s.vy = 0;
    if (static_cast<int64_t>(s.conDist) - s.repDist > s.nearestDist) {
      const int32_t jx = Random(3) - 1;
      const long double dx = static_cast<long double>(s.x - m.x) / 20.0L;
      s.vx = static_cast<double>(jx + dx);
      const int32_t jy = Random(3) - 1;
      const long double dy = static_cast<long double>(s.y - m.y) / 20.0L;
      s.vy = static_cast<double>(jy + dy);
    }
  }
}

inline void NeigborCheck(World& w, int32_t index) {
  Node& s = w.nodes[index];
  s.candidates.resize(1);
  s.links.clear();
  s.nearestDist = 1000;
  for (int32_t j = 0; j < static_cast<int32_t>(w.nodes.size()); ++j) {
    if (j == index) continue;
    const int32_t d = PointDistance(w.nodes[j].x, w.nodes[j].y, s.x, s.y);
    s.scanDist = d;
    if (d < s.conDist) {
      s.candidates.push_back(j);
      s.links.push_back(Link{j, d});
    }
    if (d < s.nearestDist) {
      s.nearestDist = d;
      s.candidates[0] = j;
    }
  }
  if (s.conDist > s.nearestDist) LinkAndRepel(w, index);
}

inline void ClampToField(const World& w, int32_t& x, int32_t& y) {
  if (x < 0)
    x = 0;
  else if (x > w.fieldWidth)
    x = w.fieldWidth;
  if (y < 0)
    y = 0;
  else if (y > w.fieldHeight)
    y = w.fieldHeight;
}

inline void FormationPass(World& w) {
  const int32_t c = static_cast<int32_t>(w.nodes.size());
  w.positions.resize(c);
  for (int32_t i = 0; i < c; ++i) {
    w.positions[i] = {w.nodes[i].x, w.nodes[i].y};
    NeigborCheck(w, i);
    Node& node = w.nodes[i];
    node.x = node.x + static_cast<int32_t>(RoundHalfEven(node.vx));
    node.y = node.y + static_cast<int32_t>(RoundHalfEven(node.vy));
    ClampToField(w, node.x, node.y);
  }
}

// The formation part of "agents create": create, 5c + 1 passes, size the link loads.
inline void AgentsCreate(World& w, int32_t n) {
  CreateNodes(w, n);
  const int32_t c = static_cast<int32_t>(w.nodes.size());
  for (int32_t pass = 0; pass < 5 * c + 1; ++pass) FormationPass(w);
  for (Node& node : w.nodes) node.linkLoad.resize(c, 0);
}

}  // namespace velmora::oracle

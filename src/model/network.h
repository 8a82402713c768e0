// The road network: the node TAgent with its links TLink, and the network that owns the nodes,
// the position snapshots of the last formation pass, the route search's state and the route it
// found last.
//
// Everything else that refers to a node holds a plain reference: a trip's route, a cell's
// nearest node, a vehicle on the road. Those holders are attached to the network, which has
// them drop their references before its nodes go (DeleteNodes): nothing ever refers to a node
// that is gone.
//
// The operations on the network are its parts: agent.h (node creation, formation, link loads,
// catchment, drawing; also TAgent's own methods) and calc_AStern.h (the route search).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "canvas/canvas.h"
#include "model/progress.h"

namespace velmora {

// Most nodes the network may hold. Every node keeps one link-load counter per node, so the
// counters grow with the square of the count: 10,000 nodes take 100 million counters (400 MB),
// and links and candidates can reach as many entries again when the connect distance spans the
// field. "agents create" refuses a count that would go beyond this before it changes anything.
constexpr int64_t kMaxNodes = 10000;

// Index value that means "no node".
constexpr int32_t kNoNode = -1;

struct TLink {
  int32_t node = 0;      // index in the node list of the node at the other end
  int32_t distance = 0;  // rounded pixel distance when the link was found
};

class NodeList;

class TAgent {
 public:
  // Route search.
  int32_t f = 0;
  int32_t g = 0;
  int32_t h = 0;
  TAgent* parent = nullptr;
  bool closed = false;
  // Road links and their traffic counters (one counter per node index).
  std::vector<TLink> links;
  std::vector<int32_t> linkLoad;
  // Formation state.
  int32_t x = 0;
  int32_t y = 0;
  int32_t radius = 0;
  double vx = 0.0;
  double vy = 0.0;
  TColor color = 0;
  int32_t state = 0;
  int32_t conDist = 0;
  int32_t repDist = 0;
  double nearestDist = 0.0;
  int32_t scanDist = 0;
  // Element 0: the nearest other node; 1 onward: the nodes closer than conDist, in list order.
  std::vector<int32_t> candidates;

  void SetX(int32_t value) { x = value; }
  void SetY(int32_t value) { y = value; }
  void SetRadius(int32_t value) { radius = value; }
  void SetVx(double value) { vx = value; }
  void SetVy(double value) { vy = value; }
  void SetColor(TColor value) { color = value; }
  void SetState(int32_t value) { state = value; }
  void SetConDist(int32_t value) { conDist = value; }
  void SetRepDist(int32_t value) { repDist = value; }
  void SetNearestDist(double value) { nearestDist = value; }
  void SetScanDist(int32_t value) { scanDist = value; }
  void SetCandidate(int index, int32_t value) { candidates[index] = value; }

  // The node's place in the node list that holds it (kNoNode before it is in one).
  int32_t Index() const { return index_; }
  // The entry of links that leads to node `to`, or null.
  const TLink* LinkTo(int32_t to) const {
    for (const TLink& link : links)
      if (link.node == to) return &link;
    return nullptr;
  }
  // The vehicles that have just driven here from node `from`, as this node counts them.
  int64_t LoadFrom(int32_t from) const {
    if (from < 0 || static_cast<size_t>(from) >= linkLoad.size()) return 0;
    return linkLoad[static_cast<size_t>(from)];
  }

  // The node's own methods, in agent.cpp.
  // Rounded Euclidean pixel distance to a point (same measure as PointDistance).
  int32_t DistanceTo(int32_t px, int32_t py) const;
  // Draws the node's disc with a green outline; the pen width is the caller's.
  void Draw(Canvas& canvas);
  // One node's turn in a formation pass: scan all other nodes, link, and maybe get pushed.
  void NeigborCheck(int32_t index, const NodeList& list);
  void LinkAndRepel(const NodeList& list);
  // Whether LinkAndRepel pushes the node: its nearest node is closer than conDist - repDist.
  bool PushApplies() const {
    // The difference is taken in 64 bits so that extreme edited distances cannot overflow it.
    return static_cast<int64_t>(conDist) - repDist > nearestDist;
  }
  // One push away from the nearest node, at (mx, my): draws the x jitter, then the y jitter, and
  // sets vx and vy.
  void PushAwayFrom(int32_t mx, int32_t my);

 private:
  friend class NodeList;
  int32_t index_ = kNoNode;
};

// A route: node references as the route search leaves them, goal first, start left out.
using Route = std::vector<TAgent*>;
// Routes are immutable once planned, so trips and vehicles on the same commute share one.
using RouteRef = std::shared_ptr<const Route>;

// The nodes of the network in creation order; the list owns them, and every node knows its
// index in it, which is its identity in links, link loads, candidates and each cell's
// nearestNode. Nodes are only appended, and only the network removes them, all together.
class NodeList {
 public:
  size_t size() const { return nodes_.size(); }
  bool empty() const { return nodes_.empty(); }
  const std::unique_ptr<TAgent>& operator[](size_t index) const { return nodes_[index]; }
  const std::unique_ptr<TAgent>& back() const { return nodes_.back(); }
  auto begin() const { return nodes_.begin(); }
  auto end() const { return nodes_.end(); }
  void reserve(size_t count) { nodes_.reserve(count); }
  // Appends a node, which learns its index.
  void push_back(std::unique_ptr<TAgent> node);

 private:
  friend class Network;
  void clear() { nodes_.clear(); }

  std::vector<std::unique_ptr<TAgent>> nodes_;
};

// Something that refers to nodes from outside the network: it is told to drop every such
// reference when the nodes are about to go.
class NodeReferences {
 public:
  virtual void DropNodeReferences(const Progress& progress) = 0;

 protected:
  ~NodeReferences() = default;
};

class Network {
 public:
  NodeList nodeList;
  // Row i: node i's position at the start of its turn in the latest formation pass; the links
  // are drawn between these.
  std::vector<std::array<int32_t, 2>> nodePositions;
  // The route the last search found (goal first, start left out), and whether it reached the
  // goal. The search's open list exists only while a search runs.
  Route routeList;
  bool goalFound = false;

  // Holders of references to the nodes, told to drop them before the nodes go. They must
  // outlive the network's use of them.
  void Attach(NodeReferences& holder) { holders_.push_back(&holder); }
  // Removes every node: first every reference to them (the found route, and what each attached
  // holder keeps), then the nodes themselves.
  void DeleteNodes(const Progress& progress = kNoProgress);

  // Whether an index is that of a node in nodeList.
  bool HasNode(int64_t index) const {
    return index >= 0 && index < static_cast<int64_t>(nodeList.size());
  }
  // The node at an index of nodeList; an index outside it raises the list index error.
  TAgent* NodeAt(long long index) const;
  // Index of a node in nodeList, or -1 for a node that is not in it.
  int32_t IndexOfNode(const TAgent* node) const;

 private:
  std::vector<NodeReferences*> holders_;
};

}  // namespace velmora

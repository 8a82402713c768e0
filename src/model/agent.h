// The network node TAgent and its link entry TLink, and the operations on the network: node
// creation, formation, link loads, the catchment of every cell and the drawing of nodes and
// links.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "canvas/canvas.h"

namespace velmora {

class Model;

// Most nodes nodeList may hold. Every node keeps one link-load counter per node, so the counters
// grow with the square of the count: 10,000 nodes take 100 million counters (400 MB), and links
// and candidates can reach as many entries again when the connect distance spans the field.
// "agents create" refuses a count that would go beyond this before it changes anything.
constexpr int64_t kMaxNodes = 10000;

class TAgent;

// The nodes of the network in creation order; the list owns them. A node's index here is its
// identity in links, link loads, candidates and each cell's nearestNode.
using NodeList = std::vector<std::unique_ptr<TAgent>>;

// A route: node references as the route search leaves them, goal first, start left out.
using Route = std::vector<TAgent*>;
// Routes are immutable once planned, so trips and vehicles on the same commute share one.
using RouteRef = std::shared_ptr<const Route>;

// Index value that means "no node".
constexpr int32_t kNoNode = -1;

struct TLink {
  int32_t node = 0;      // index in the node list of the node at the other end
  int32_t distance = 0;  // rounded pixel distance when the link was found
};

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
  // Formation mark: 0 at creation, 2 on a node and its candidates after it linked. Nothing
  // reads it; kept because formation keeps it.
  int32_t mark = 0;

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
};

// One velocity component of a push: the jitter plus a twentieth of the offset from the nearest
// node, worked out in extended precision and stored as a double.
double PushVelocity(int32_t jitter, int64_t offset);

// Appends E_nodeNumber + 1 nodes at random positions with the start values; a negative number
// adds none. Refuses a count beyond kMaxNodes before anything changes.
void CreateNodes(Model& m);
// `passes` formation passes over the model's nodes, as that many FormationPass calls would run
// them: "agents create" runs 5c + 1 of them in one go, so that the candidates and links are
// filled in only in the last.
void FormNetwork(Model& model, int64_t passes);
// One formation pass over all nodes.
void FormationPass(Model& m);
// Moves a point into the field 0..fieldWidth x 0..fieldHeight.
void ClampToField(const Model& m, int32_t& x, int32_t& y);
// Gives every node one link-load counter per node (new counters 0).
void SizeLinkLoads(Model& m);
// Sets every node's link-load counters to 0.
void ClearLinkLoads(Model& m);
// Every cell's nearestNode: the index of the nearest node, the lowest index among equals.
void AssignNearestNodes(Model& m);
// The nodes' discs and the red links between the snapshots of the last pass, on the overlay.
void DrawNodes(Model& m);
void DrawLinks(Model& m);
// Drops everything that refers to nodes: vehicles on the road, every trip's route, routeList
// and each cell's nearestNode. Run whenever the nodes are discarded.
void DropNodeReferences(Model& m);

}  // namespace velmora

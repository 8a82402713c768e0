// The network node and the network at work: a node's distance measure, its disc and its turn
// in a formation pass; node creation, the formation passes, link loads, the catchment of every
// cell and the drawing of nodes and links.
#include "model/agent.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "core/distance.h"
#include "core/error.h"
#include "core/random.h"
#include "core/rounding.h"
#include "engine/formation.h"
#include "engine/point_grid.h"

namespace velmora {

namespace {

// A node is pushed by one twentieth of its offset from the nearest node per pass.
constexpr long double kPushDivisor = 20.0L;

// -1, 0 or +1, one draw of the generator.
int32_t Jitter() {
  return Random(3) - 1;
}

}  // namespace

int32_t TAgent::DistanceTo(int32_t px, int32_t py) const {
  return PointDistance(px, py, x, y);
}

void TAgent::Draw(Canvas& canvas) {
  canvas.SetPenColor(clGreen);
  canvas.SetPenStyle(PenStyle::Solid);
  switch (state) {
    case 0:
      color = clRed;
      radius = 3;
      break;
    case 1:
      color = clBlue;
      radius = 5;
      break;
    case 2:
      color = clLime;
      radius = 5;
      break;
    default:  // any other state keeps the fill and radius it has
      break;
  }
  canvas.SetBrushColor(color);
  canvas.Ellipse(x - radius, y - radius, x + radius, y + radius);
}

void TAgent::NeigborCheck(int32_t index, const NodeList& list) {
  // Element 0 (the nearest node) keeps its value from the previous scan.
  candidates.resize(1);
  links.clear();
  nearestDist = static_cast<double>(kNoNeighbourDist);
  const size_t count = list.size();
  for (size_t j = 0; j < count; ++j) {
    if (static_cast<int64_t>(j) == index) continue;
    const TAgent& other = *list[j];
    const int32_t d = DistanceTo(other.x, other.y);
    scanDist = d;
    if (d < conDist) {
      candidates.push_back(static_cast<int32_t>(j));
      links.push_back(TLink{static_cast<int32_t>(j), d});
    }
    if (d < nearestDist) {
      nearestDist = d;
      candidates[0] = static_cast<int32_t>(j);
    }
  }
  if (conDist > nearestDist) LinkAndRepel(list);
}

void TAgent::LinkAndRepel(const NodeList& list) {
  const bool pushed = PushApplies();
  for (size_t k = 1; k < candidates.size(); ++k) {
    vx = 0.0;
    vy = 0.0;
    if (pushed) {
      const int32_t nearest = candidates[0];
      if (nearest < 0 || static_cast<size_t>(nearest) >= list.size())
        throw VError::ListIndex(nearest);
      const TAgent& m = *list[static_cast<size_t>(nearest)];
      PushAwayFrom(m.x, m.y);
    }
  }
}

void TAgent::PushAwayFrom(int32_t mx, int32_t my) {
  vx = PushVelocity(Jitter(), static_cast<int64_t>(x) - mx);
  vy = PushVelocity(Jitter(), static_cast<int64_t>(y) - my);
}

double PushVelocity(int32_t jitter, int64_t offset) {
  return static_cast<double>(jitter + offset / kPushDivisor);
}

// ---- The network. ----

namespace {

// Start values of a new node; the distance edits do not change them.
constexpr int32_t kStartRadius = 3;
constexpr int32_t kStartConDist = 130;
constexpr int32_t kStartRepDist = 40;
// Starting best distance of the nearest-node search.
constexpr int32_t kNoNodeDist = 999999;

}  // namespace

// ---- Formation. ----

void CreateNodes(Network& network, int32_t n, int32_t imageWidth, int32_t imageHeight) {
  if (n < 0) return;
  // n + 1 in 64 bits: the largest whole number the edit takes must not wrap to a negative count.
  const int64_t added = static_cast<int64_t>(n) + 1;
  if (static_cast<int64_t>(network.nodeList.size()) + added > kMaxNodes)
    throw VError("Zu viele Knoten (max. " + std::to_string(kMaxNodes) + ")");
  network.nodeList.reserve(network.nodeList.size() + static_cast<size_t>(added));
  for (int64_t k = 0; k < added; ++k) {
    auto node = std::make_unique<TAgent>();
    node->SetX(Random(imageWidth));
    node->SetY(Random(imageHeight));
    node->SetVx(Random(3) - 1);
    node->SetVy(Random(3) - 1);
    node->SetRadius(kStartRadius);
    node->SetState(0);
    node->SetConDist(kStartConDist);
    node->SetRepDist(kStartRepDist);
    network.nodeList.push_back(std::move(node));
  }
}

void ClampToField(int32_t& x, int32_t& y, int32_t fieldWidth, int32_t fieldHeight) {
  if (x < 0)
    x = 0;
  else if (x > fieldWidth)
    x = fieldWidth;
  if (y < 0)
    y = 0;
  else if (y > fieldHeight)
    y = fieldHeight;
}

namespace {

int32_t SaturateToInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// The formation passes over the network's nodes. While they run, the nodes' positions,
// velocities and nearest distances are kept side by side (FormationNodes), where a scan finds
// them in a few cache lines, and each node's scan runs on a bucket grid of the positions
// (FastFormation), which gives exactly what the node's own NeigborCheck gives; the node's own
// scan runs wherever the grid cannot be used, with the state handed over to the node and taken
// back. The nodes get their state back when the passes are done.
class Formation {
 public:
  Formation(Network& network, int32_t fieldWidth, int32_t fieldHeight)
      : network_(network),
        nodes_(network.nodeList),
        fieldWidth_(fieldWidth),
        fieldHeight_(fieldHeight),
        state_(StateOf(nodes_)),
        fast_(state_, fieldWidth, fieldHeight, PushVelocity) {}

  // One pass over all nodes, in list order: each node's position is noted, it scans, links and
  // may be pushed, then moves by its velocity into the field. Only the last pass's candidates
  // and links stand, so only a last pass lists them.
  void FormationPass(bool last) {
    const size_t count = nodes_.size();
    network_.nodePositions.resize(count);
    std::array<int32_t, 2>* positions = network_.nodePositions.data();
    for (size_t i = 0; i < count; ++i) {
      const auto index = static_cast<int32_t>(i);
      positions[i] = {state_.x[i], state_.y[i]};
      if (fast_.Scan(index, last)) {
        if (last) KeepCandidates(i);
      } else {
        PlainScan(i);
        fast_.Scanned(index);
      }
      Move(i);
      fast_.Moved(index);
    }
  }

  // Hands the state kept here back to the nodes.
  void Finish() {
    for (size_t i = 0; i < nodes_.size(); ++i) {
      TAgent& node = *nodes_[i];
      node.x = state_.x[i];
      node.y = state_.y[i];
      node.vx = state_.vx[i];
      node.vy = state_.vy[i];
      node.nearestDist = state_.nearestDist[i];
    }
  }

 private:
  static FormationNodes StateOf(const NodeList& nodes) {
    FormationNodes state;
    for (const auto& node : nodes) {
      state.x.push_back(node->x);
      state.y.push_back(node->y);
      state.conDist.push_back(node->conDist);
      state.repDist.push_back(node->repDist);
      state.vx.push_back(node->vx);
      state.vy.push_back(node->vy);
      state.nearestDist.push_back(node->nearestDist);
      state.stepX.push_back(FastFormation::StepOf(node->vx));
      state.stepY.push_back(FastFormation::StepOf(node->vy));
      // A new node's candidates are empty until its first scan makes element 0 a 0.
      state.nearest.push_back(node->candidates.empty() ? 0 : node->candidates[0]);
    }
    return state;
  }

  // The node's candidates and links from its grid scan, as its own scan lists them, and the
  // distance to the node its own scan examines last.
  void KeepCandidates(size_t i) {
    TAgent& s = *nodes_[i];
    const std::vector<PointGrid::Near>& found = fast_.Candidates();
    s.candidates.assign(1, state_.nearest[i]);
    s.links.clear();
    s.candidates.reserve(found.size() + 1);
    s.links.reserve(found.size());
    for (const PointGrid::Near& f : found) {
      s.candidates.push_back(f.id);
      s.links.push_back(TLink{f.id, RoundedDistance(f.squared)});
    }
    const size_t total = nodes_.size();
    if (total >= 2) {
      const size_t lastScanned = i == total - 1 ? total - 2 : total - 1;
      s.scanDist =
          PointDistance(state_.x[lastScanned], state_.y[lastScanned], state_.x[i], state_.y[i]);
    }
  }

  // The node's own scan: it reads every node's position from the nodes and keeps its state
  // there, so the state kept here goes over first and comes back after.
  void PlainScan(size_t i) {
    for (size_t j = 0; j < nodes_.size(); ++j) {
      nodes_[j]->x = state_.x[j];
      nodes_[j]->y = state_.y[j];
    }
    TAgent& s = *nodes_[i];
    if (!s.candidates.empty()) s.candidates[0] = state_.nearest[i];
    s.vx = state_.vx[i];
    s.vy = state_.vy[i];
    s.NeigborCheck(static_cast<int32_t>(i), nodes_);
    state_.vx[i] = s.vx;
    state_.vy[i] = s.vy;
    state_.stepX[i] = FastFormation::StepOf(s.vx);
    state_.stepY[i] = FastFormation::StepOf(s.vy);
    state_.nearestDist[i] = s.nearestDist;
    state_.nearest[i] = s.candidates[0];
  }

  // x + vx rounded half to even, then y likewise (the steps were worked out with the
  // velocities), then into the field.
  void Move(size_t i) {
    int32_t x = SaturateToInt32(static_cast<int64_t>(state_.x[i]) + state_.stepX[i]);
    int32_t y = SaturateToInt32(static_cast<int64_t>(state_.y[i]) + state_.stepY[i]);
    ClampToField(x, y, fieldWidth_, fieldHeight_);
    state_.x[i] = x;
    state_.y[i] = y;
  }

  Network& network_;
  const NodeList& nodes_;
  int32_t fieldWidth_, fieldHeight_;
  FormationNodes state_;
  FastFormation fast_;
};

}  // namespace

void FormNetwork(Network& network, int64_t passes, int32_t fieldWidth, int32_t fieldHeight,
                 const Progress& progress) {
  Formation formation(network, fieldWidth, fieldHeight);
  for (int64_t pass = 1; pass <= passes; ++pass) {
    progress.Report(Share(pass - 1, passes), "formation pass", pass, passes);
    formation.FormationPass(pass == passes);
  }
  formation.Finish();
}

void SizeLinkLoads(Network& network, const Progress& progress) {
  const size_t count = network.nodeList.size();
  ProgressCount sized(progress, static_cast<int64_t>(count), "sizing the link loads", 64);
  for (const auto& node : network.nodeList) {
    node->linkLoad.resize(count, 0);
    sized.Tick();
  }
}

void ClearLinkLoads(Network& network, const Progress& progress) {
  const size_t count = network.nodeList.size();
  ProgressCount cleared(progress, static_cast<int64_t>(count), "clearing the link loads", 64);
  for (const auto& node : network.nodeList) {
    const size_t n = std::min(count, node->linkLoad.size());
    std::fill(node->linkLoad.begin(), node->linkLoad.begin() + static_cast<ptrdiff_t>(n), 0);
    cleared.Tick();
  }
}

// ---- Catchment and drawing. ----

void AssignNearestNodes(Town& town, const Network& network, const Progress& progress) {
  const NodeList& nodes = network.nodeList;
  if (nodes.empty()) return;
  ProgressCount assigned(
      progress, static_cast<int64_t>(town.cells.Cols()) * static_cast<int64_t>(town.cells.Rows()),
      "finding every cell's nearest node", std::max(town.cells.Cols(), 1));
  // The bounds of the nodes and the cell centres decide whether the grid search is exact.
  int32_t minX = std::numeric_limits<int32_t>::max(), minY = minX;
  int32_t maxX = std::numeric_limits<int32_t>::min(), maxY = maxX;
  auto extend = [&](int32_t x, int32_t y) {
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  };
  for (const auto& node : nodes) extend(node->x, node->y);
  town.cells.ForEach([&](const TCell& cell) { extend(cell.PositionX, cell.PositionY); });
  const int64_t spanX = static_cast<int64_t>(maxX) - minX;
  const int64_t spanY = static_cast<int64_t>(maxY) - minY;

  if (spanX > kExactSpan || spanY > kExactSpan || nodes.size() > PointGrid::kMaxPoints) {
    // The plain search: every node for every cell, the first of the nearest kept.
    town.cells.ForEach([&](TCell& cell) {
      int32_t best = kNoNodeDist;
      for (size_t j = 0; j < nodes.size(); ++j) {
        const TAgent& node = *nodes[j];
        const int32_t d = PointDistance(cell.PositionX, cell.PositionY, node.x, node.y);
        if (d < best) {
          best = d;
          cell.nearestNode = static_cast<int32_t>(j);
        }
      }
      assigned.Tick();
    });
    return;
  }

  // The same choice from a bucket grid of the nodes: the smallest rounded distance, the lowest
  // index among equals (PointGrid::Nearest). Within the exact range every distance is far below
  // the starting best of 999999, so every cell gets a node, as in the plain search.
  // Buckets of about two nodes each.
  const auto area = static_cast<double>(std::max<int64_t>(spanX * spanY, 1));
  const double edge = std::sqrt(2.0 * area / static_cast<double>(nodes.size()));
  const int32_t shift = std::clamp(static_cast<int32_t>(std::lround(std::log2(edge))), 2, 8);
  const int32_t bucket = 1 << shift;
  PointGrid grid;
  grid.Reset(minX, minY, maxX, maxY, shift, shift, nodes.size());
  for (size_t j = 0; j < nodes.size(); ++j)
    grid.Insert(static_cast<int32_t>(j), nodes[j]->x, nodes[j]->y);
  town.cells.ForEach([&](TCell& cell) {
    int32_t distance = 0;
    const int32_t nearest =
        grid.Nearest(cell.PositionX, cell.PositionY, bucket, kNoNodeDist, -1, &distance);
    if (nearest >= 0) cell.nearestNode = nearest;
    assigned.Tick();
  });
}

void DrawNodes(Network& network, Canvas& canvas) {
  canvas.SetPenWidth(1);
  for (const auto& node : network.nodeList) node->Draw(canvas);
}

namespace {

// Whether node's links include `target`. Formation lists links by index, so a binary search
// finds it; a list in any other order may be missed, never wrongly found.
bool LinksTo(const TAgent& node, int32_t target) {
  const auto it = std::lower_bound(node.links.begin(), node.links.end(), target,
                                   [](const TLink& link, int32_t t) { return link.node < t; });
  return it != node.links.end() && it->node == target;
}

}  // namespace

void DrawLinks(const Network& network, Canvas& canvas) {
  const NodeList& nodes = network.nodeList;
  const auto& positions = network.nodePositions;
  canvas.SetPenColor(clRed);
  canvas.SetPenStyle(PenStyle::Solid);
  const size_t count = nodes.size();
  for (size_t i = 0; i < count; ++i) {
    for (const TLink& link : nodes[i]->links) {
      // Links are drawn between the snapshots of the last pass; a node that has not been
      // through one has none.
      if (i >= positions.size()) throw VError::ListIndex(static_cast<long long>(i));
      if (link.node < 0 || static_cast<size_t>(link.node) >= positions.size())
        throw VError::ListIndex(link.node);
      canvas.SetPenWidth(2);
      canvas.MoveTo(positions[i][0], positions[i][1]);
      const auto& to = positions[static_cast<size_t>(link.node)];
      // A link whose reverse was drawn earlier in this loop is already on the canvas: a line
      // of width 2 covers the same pixels from either end, and every line since has only set
      // pixels to the same red. Only the pen position moves on.
      if (static_cast<size_t>(link.node) < i &&
          LinksTo(*nodes[static_cast<size_t>(link.node)], static_cast<int32_t>(i)))
        canvas.MoveTo(to[0], to[1]);
      else
        canvas.LineTo(to[0], to[1]);
    }
  }
}

}  // namespace velmora

// The network node and the network: a node's distance measure, its disc and its turn in a
// formation pass; node creation, the formation passes, link loads, the catchment of every cell
// and the drawing of nodes and links.
#include "model/agent.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "core/convert.h"
#include "core/error.h"
#include "core/random.h"
#include "core/rounding.h"
#include "model/calc_AStern.h"
#include "model/fast_formation.h"
#include "model/model.h"
#include "model/point_grid.h"

namespace velmora {

namespace {

// A node is pushed by one twentieth of its offset from the nearest node per pass.
constexpr long double kPushDivisor = 20.0L;
// nearestDist when no other node lies nearer than this.
constexpr double kNoNeighbourDist = 1000.0;

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
  nearestDist = kNoNeighbourDist;
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
  mark = 0;
  const bool pushed = PushApplies();
  for (size_t k = 1; k < candidates.size(); ++k) {
    mark = 2;
    list[static_cast<size_t>(candidates[k])]->mark = 2;
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

// The scans run on a bucket grid (FastFormation), which gives exactly the plain scan's results.
void FormNetwork(Model& m, int64_t passes) {
  FastFormation formation(m.nodeList, m.fieldWidth, m.fieldHeight);
  formation.Run(passes, m.nodePositions);
}

// ---- Formation. ----

void CreateNodes(Model& m) {
  const int32_t n = StrToInt(m.host().EditText(EditBox::NodeNumber));
  if (n < 0) return;
  // n + 1 in 64 bits: the largest whole number the edit takes must not wrap to a negative count.
  const int64_t added = static_cast<int64_t>(n) + 1;
  if (static_cast<int64_t>(m.nodeList.size()) + added > kMaxNodes)
    throw VError("Zu viele Knoten (max. " + std::to_string(kMaxNodes) + ")");
  m.nodeList.reserve(m.nodeList.size() + static_cast<size_t>(added));
  for (int64_t k = 0; k < added; ++k) {
    auto node = std::make_unique<TAgent>();
    node->SetX(Random(m.host().ImageWidth()));
    node->SetY(Random(m.host().ImageHeight()));
    node->SetVx(Random(3) - 1);
    node->SetVy(Random(3) - 1);
    node->SetRadius(kStartRadius);
    node->SetState(0);
    node->SetConDist(kStartConDist);
    node->SetRepDist(kStartRepDist);
    m.nodeList.push_back(std::move(node));
  }
}

void FormationPass(Model& m) {
  FormNetwork(m, 1);
}

void ClampToField(const Model& m, int32_t& x, int32_t& y) {
  if (x < 0)
    x = 0;
  else if (x > m.fieldWidth)
    x = m.fieldWidth;
  if (y < 0)
    y = 0;
  else if (y > m.fieldHeight)
    y = m.fieldHeight;
}

void SizeLinkLoads(Model& m) {
  const size_t count = m.nodeList.size();
  for (auto& node : m.nodeList) node->linkLoad.resize(count, 0);
}

void ClearLinkLoads(Model& m) {
  const size_t count = m.nodeList.size();
  for (auto& node : m.nodeList) {
    const size_t n = std::min(count, node->linkLoad.size());
    std::fill(node->linkLoad.begin(), node->linkLoad.begin() + static_cast<ptrdiff_t>(n), 0);
  }
}

// ---- Catchment and drawing. ----

void AssignNearestNodes(Model& m) {
  if (m.nodeList.empty()) return;
  // The bounds of the nodes and the cell centres decide whether the grid search is exact.
  int32_t minX = std::numeric_limits<int32_t>::max(), minY = minX;
  int32_t maxX = std::numeric_limits<int32_t>::min(), maxY = maxX;
  auto extend = [&](int32_t x, int32_t y) {
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  };
  for (const auto& node : m.nodeList) extend(node->x, node->y);
  m.cells.ForEach([&](const TCell& cell) { extend(cell.PositionX, cell.PositionY); });
  const int64_t spanX = static_cast<int64_t>(maxX) - minX;
  const int64_t spanY = static_cast<int64_t>(maxY) - minY;

  if (spanX > kExactSpan || spanY > kExactSpan || m.nodeList.size() > PointGrid::kMaxPoints) {
    // The plain search: every node for every cell, the first of the nearest kept.
    m.cells.ForEach([&m](TCell& cell) {
      int32_t best = kNoNodeDist;
      for (size_t j = 0; j < m.nodeList.size(); ++j) {
        const TAgent& node = *m.nodeList[j];
        const int32_t d = PointDistance(cell.PositionX, cell.PositionY, node.x, node.y);
        if (d < best) {
          best = d;
          cell.nearestNode = static_cast<int32_t>(j);
        }
      }
    });
    return;
  }

  // The same choice from a bucket grid of the nodes: the smallest rounded distance, the lowest
  // index among equals (PointGrid::Nearest). Within the exact range every distance is far below
  // the starting best of 999999, so every cell gets a node, as in the plain search.
  // Buckets of about two nodes each.
  const auto area = static_cast<double>(std::max<int64_t>(spanX * spanY, 1));
  const double edge = std::sqrt(2.0 * area / static_cast<double>(m.nodeList.size()));
  const int32_t shift = std::clamp(static_cast<int32_t>(std::lround(std::log2(edge))), 2, 8);
  const int32_t bucket = 1 << shift;
  PointGrid grid;
  grid.Reset(minX, minY, maxX, maxY, shift, shift, m.nodeList.size());
  for (size_t j = 0; j < m.nodeList.size(); ++j)
    grid.Insert(static_cast<int32_t>(j), m.nodeList[j]->x, m.nodeList[j]->y);
  m.cells.ForEach([&](TCell& cell) {
    int32_t distance = 0;
    const int32_t nearest =
        grid.Nearest(cell.PositionX, cell.PositionY, bucket, kNoNodeDist, -1, &distance);
    if (nearest >= 0) cell.nearestNode = nearest;
  });
}

void DrawNodes(Model& m) {
  Canvas& canvas = m.Overlay();
  canvas.SetPenWidth(1);
  for (auto& node : m.nodeList) node->Draw(canvas);
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

void DrawLinks(Model& m) {
  Canvas& canvas = m.Overlay();
  canvas.SetPenColor(clRed);
  canvas.SetPenStyle(PenStyle::Solid);
  const size_t count = m.nodeList.size();
  for (size_t i = 0; i < count; ++i) {
    for (const TLink& link : m.nodeList[i]->links) {
      // Links are drawn between the snapshots of the last pass; a node that has not been
      // through one has none.
      if (i >= m.nodePositions.size()) throw VError::ListIndex(static_cast<long long>(i));
      if (link.node < 0 || static_cast<size_t>(link.node) >= m.nodePositions.size())
        throw VError::ListIndex(link.node);
      canvas.SetPenWidth(2);
      canvas.MoveTo(m.nodePositions[i][0], m.nodePositions[i][1]);
      const auto& to = m.nodePositions[static_cast<size_t>(link.node)];
      // A link whose reverse was drawn earlier in this loop is already on the canvas: a line
      // of width 2 covers the same pixels from either end, and every line since has only set
      // pixels to the same red. Only the pen position moves on.
      if (static_cast<size_t>(link.node) < i &&
          LinksTo(*m.nodeList[static_cast<size_t>(link.node)], static_cast<int32_t>(i)))
        canvas.MoveTo(to[0], to[1]);
      else
        canvas.LineTo(to[0], to[1]);
    }
  }
}

void DropNodeReferences(Model& m) {
  m.travellers.clear();
  m.routeList.clear();
  m.cells.ForEach([](TCell& cell) {
    cell.nearestNode = kNoNode;
    for (Trip& trip : cell.trips) trip.route.reset();
  });
  m.cells.TripsChanged();
}

}  // namespace velmora

// The road network: node creation, formation passes, link loads, the catchment of every cell,
// the drawing of nodes and links, and the handlers of "agents create", "agents delete" and the
// two distance edits.
#include "model/network.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "core/convert.h"
#include "core/error.h"
#include "core/random.h"
#include "core/rounding.h"
#include "model/fast_formation.h"
#include "model/model.h"
#include "model/point_grid.h"

namespace velmora {

namespace {

// Start values of a new node; the distance edits do not change them.
constexpr int32_t kStartRadius = 3;
constexpr int32_t kStartConDist = 130;
constexpr int32_t kStartRepDist = 40;
// Starting best distance of the nearest-node search.
constexpr int32_t kNoNodeDist = 999999;

int32_t SaturateToInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// RoundHalfEven of a velocity. A double below 2^31 in size rounds the same in double precision,
// and more cheaply; anything else (NaN included) goes through RoundHalfEven and its error.
int64_t RoundVelocity(double v) {
  if (std::fabs(v) < 2147483648.0) return static_cast<int64_t>(std::rint(v));
  return RoundHalfEven(v);
}

}  // namespace

// The scans run on a bucket grid (FastFormation), which gives exactly the plain scan's results.
void FormNetwork(Model& m, int64_t passes) {
  const size_t count = m.nodeList.size();
  FastFormation formation(m.nodeList, m.fieldWidth, m.fieldHeight);
  for (int64_t pass = 0; pass < passes; ++pass) {
    const bool last = pass == passes - 1;
    m.nodePositions.resize(count);
    for (size_t i = 0; i < count; ++i) {
      TAgent& node = *m.nodeList[i];
      m.nodePositions[i] = {node.x, node.y};
      formation.Scan(static_cast<int32_t>(i), last);
      node.x = SaturateToInt32(static_cast<int64_t>(node.x) + RoundVelocity(node.vx));
      node.y = SaturateToInt32(static_cast<int64_t>(node.y) + RoundVelocity(node.vy));
      m.ClampToField(node.x, node.y);
      formation.Moved(static_cast<int32_t>(i));
    }
  }
}

// ---- Handlers. ----

void Model::B_agCreateClick() {
  CreateNodes();
  ClearOverlay();
  FormNetwork(*this, 5 * static_cast<int64_t>(nodeList.size()) + 1);
  SizeLinkLoads();
  ClearOverlay();
  DrawNodes();
  DrawLinks();
  AssignNearestNodes();
  DrawNodes();
}

void Model::B_agDeleteClick() {
  host_.SetTimerEnabled(false);
  ClearLinkLoads();
  // Vehicles, routes and catchments refer to the nodes: they go before the nodes do.
  DropNodeReferences();
  nodeList.clear();
  ClearOverlay();
  DrawNodes();
}

void Model::E_conDistChange() {
  // Both texts are read anew for every node, so a bad text stops the loop part way.
  for (auto& node : nodeList) {
    node->SetConDist(StrToInt(host_.EditText(EditBox::ConDist)));
    node->SetRepDist(StrToInt(host_.EditText(EditBox::RepDist)));
  }
}

// ---- Formation. ----

void Model::CreateNodes() {
  const int32_t n = StrToInt(host_.EditText(EditBox::NodeNumber));
  if (n < 0) return;
  // n + 1 in 64 bits: the largest whole number the edit takes must not wrap to a negative count.
  const int64_t added = static_cast<int64_t>(n) + 1;
  if (static_cast<int64_t>(nodeList.size()) + added > kMaxNodes)
    throw VError("Zu viele Knoten (max. " + std::to_string(kMaxNodes) + ")");
  nodeList.reserve(nodeList.size() + static_cast<size_t>(added));
  for (int64_t k = 0; k < added; ++k) {
    auto node = std::make_unique<TAgent>();
    node->SetX(Random(host_.ImageWidth()));
    node->SetY(Random(host_.ImageHeight()));
    node->SetVx(Random(3) - 1);
    node->SetVy(Random(3) - 1);
    node->SetRadius(kStartRadius);
    node->SetState(0);
    node->SetConDist(kStartConDist);
    node->SetRepDist(kStartRepDist);
    nodeList.push_back(std::move(node));
  }
}

void Model::FormationPass() {
  FormNetwork(*this, 1);
}

void Model::ClampToField(int32_t& x, int32_t& y) const {
  if (x < 0)
    x = 0;
  else if (x > fieldWidth)
    x = fieldWidth;
  if (y < 0)
    y = 0;
  else if (y > fieldHeight)
    y = fieldHeight;
}

void Model::SizeLinkLoads() {
  const size_t count = nodeList.size();
  for (auto& node : nodeList) node->linkLoad.resize(count, 0);
}

void Model::ClearLinkLoads() {
  const size_t count = nodeList.size();
  for (auto& node : nodeList) {
    const size_t n = std::min(count, node->linkLoad.size());
    std::fill(node->linkLoad.begin(), node->linkLoad.begin() + static_cast<ptrdiff_t>(n), 0);
  }
}

// ---- Catchment and drawing. ----

void Model::AssignNearestNodes() {
  if (nodeList.empty()) return;
  // The bounds of the nodes and the cell centres decide whether the grid search is exact.
  int32_t minX = std::numeric_limits<int32_t>::max(), minY = minX;
  int32_t maxX = std::numeric_limits<int32_t>::min(), maxY = maxX;
  auto extend = [&](int32_t x, int32_t y) {
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  };
  for (const auto& node : nodeList) extend(node->x, node->y);
  cells.ForEach([&](const TCell& cell) { extend(cell.PositionX, cell.PositionY); });
  const int64_t spanX = static_cast<int64_t>(maxX) - minX;
  const int64_t spanY = static_cast<int64_t>(maxY) - minY;

  if (spanX > kExactSpan || spanY > kExactSpan || nodeList.size() > PointGrid::kMaxPoints) {
    // The plain search: every node for every cell, the first of the nearest kept.
    cells.ForEach([this](TCell& cell) {
      int32_t best = kNoNodeDist;
      for (size_t j = 0; j < nodeList.size(); ++j) {
        const TAgent& node = *nodeList[j];
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
  const double edge = std::sqrt(2.0 * area / static_cast<double>(nodeList.size()));
  const int32_t shift = std::clamp(static_cast<int32_t>(std::lround(std::log2(edge))), 2, 8);
  const int32_t bucket = 1 << shift;
  PointGrid grid;
  grid.Reset(minX, minY, maxX, maxY, shift, shift, nodeList.size());
  for (size_t j = 0; j < nodeList.size(); ++j)
    grid.Insert(static_cast<int32_t>(j), nodeList[j]->x, nodeList[j]->y);
  cells.ForEach([&](TCell& cell) {
    int32_t distance = 0;
    const int32_t nearest =
        grid.Nearest(cell.PositionX, cell.PositionY, bucket, kNoNodeDist, -1, &distance);
    if (nearest >= 0) cell.nearestNode = nearest;
  });
}

void Model::DrawNodes() {
  Canvas& canvas = Overlay();
  canvas.SetPenWidth(1);
  for (auto& node : nodeList) node->Draw(canvas);
}

void Model::DrawLinks() {
  Canvas& canvas = Overlay();
  canvas.SetPenColor(clRed);
  canvas.SetPenStyle(PenStyle::Solid);
  const size_t count = nodeList.size();
  for (size_t i = 0; i < count; ++i) {
    for (const TLink& link : nodeList[i]->links) {
      // Links are drawn between the snapshots of the last pass; a node that has not been
      // through one has none.
      if (i >= nodePositions.size()) throw VError::ListIndex(static_cast<long long>(i));
      if (link.node < 0 || static_cast<size_t>(link.node) >= nodePositions.size())
        throw VError::ListIndex(link.node);
      canvas.SetPenWidth(2);
      canvas.MoveTo(nodePositions[i][0], nodePositions[i][1]);
      const auto& to = nodePositions[static_cast<size_t>(link.node)];
      canvas.LineTo(to[0], to[1]);
    }
  }
}

}  // namespace velmora

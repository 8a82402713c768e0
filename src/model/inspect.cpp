// The hover inspection: which node disc, link or cell lies under a pixel, and its numbers.
#include "model/inspect.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "model/model.h"

namespace velmora {

namespace {

// The distance between neighbouring cell centres. A failed "new setup" can leave cellSize at 0
// over the old cells, so the cells' own centres are asked first.
int64_t PitchOf(const Model& m) {
  const CellGrid& g = m.cells;
  const TCell* first = g.At(0, 0);
  if (first == nullptr) return 0;
  if (g.Cols() >= 2 && g.At(1, 0) != nullptr)
    return static_cast<int64_t>(g.At(1, 0)->PositionX) - first->PositionX;
  if (g.Rows() >= 2 && g.At(0, 1) != nullptr)
    return static_cast<int64_t>(g.At(0, 1)->PositionY) - first->PositionY;
  if (m.cellSize > 0) return m.cellSize;
  return std::max<int64_t>(1, 2 * static_cast<int64_t>(first->Size));
}

bool ValidNode(const Model& m, int64_t index) {
  return index >= 0 && index < static_cast<int64_t>(m.nodeList.size());
}

// The vehicles that have just driven from node `from` to `node`, as the node counts them.
int64_t LoadFrom(const TAgent& node, int32_t from) {
  if (from < 0 || static_cast<size_t>(from) >= node.linkLoad.size()) return 0;
  return node.linkLoad[static_cast<size_t>(from)];
}

// The entry of node a's links that leads to b, or null.
const TLink* LinkTo(const TAgent& a, int32_t b) {
  for (const TLink& link : a.links)
    if (link.node == b) return &link;
  return nullptr;
}

std::string DescribeCell(const Model& m, const TCell& cell) {
  std::string text = "cell " + std::to_string(cell.column) + ", " + std::to_string(cell.row);
  text += "\nworkers: " + std::to_string(cell.workers);
  text += "\nworkplaces: " + std::to_string(cell.workplaces);
  text += "\nretail units: " + std::to_string(cell.retail);
  text += "\nnearest node: " +
          (ValidNode(m, cell.nearestNode) ? std::to_string(cell.nearestNode) : std::string("none"));
  // Pairing counts workersLeft down from workers, one for every worker given a workplace.
  const int paired = std::max(0, static_cast<int>(cell.workers) - cell.workersLeft);
  text += "\nworkers with a workplace: " + std::to_string(paired);
  return text;
}

std::string DescribeNode(const Model& m, int32_t index) {
  const TAgent& node = *m.nodeList[static_cast<size_t>(index)];
  size_t linksIn = 0;
  for (const auto& other : m.nodeList)
    for (const TLink& link : other->links) linksIn += link.node == index ? 1 : 0;
  int64_t arrived = 0;
  for (int32_t load : node.linkLoad) arrived += load;
  std::string text = "node " + std::to_string(index);
  text += "\nposition: " + std::to_string(node.x) + ", " + std::to_string(node.y);
  text += "\nlinks out: " + std::to_string(node.links.size());
  text += "\nlinks in: " + std::to_string(linksIn);
  text += "\ndrove here last step: " + std::to_string(arrived);
  return text;
}

std::string DescribeLink(const Model& m, int32_t a, int32_t b) {
  const TAgent& nodeA = *m.nodeList[static_cast<size_t>(a)];
  const TAgent& nodeB = *m.nodeList[static_cast<size_t>(b)];
  const TLink* ab = LinkTo(nodeA, b);
  const TLink* ba = LinkTo(nodeB, a);
  const std::string sa = std::to_string(a), sb = std::to_string(b);
  std::string text = "link " + sa + (ab && ba ? " <-> " : " -> ") + sb;
  std::string distance = std::to_string((ab ? ab : ba)->distance);
  if (ab && ba && ab->distance != ba->distance) distance += " / " + std::to_string(ba->distance);
  text += "\ndistance: " + distance + " px";
  text += "\nvehicles " + sa + " -> " + sb + ": " + std::to_string(LoadFrom(nodeB, a));
  text += "\nvehicles " + sb + " -> " + sa + ": " + std::to_string(LoadFrom(nodeA, b));
  return text;
}

}  // namespace

double SquaredDistanceToSegment(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  const double length2 = dx * dx + dy * dy;
  double t = length2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / length2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  const double ex = ax + t * dx - px, ey = ay + t * dy - py;
  return ex * ex + ey * ey;
}

int32_t Inspector::ColumnOf(int64_t x) const {
  if (x < 0) return 0;
  return static_cast<int32_t>(std::min<int64_t>(x >> kBucketShift, columns_ - 1));
}

int32_t Inspector::RowOf(int64_t y) const {
  if (y < 0) return 0;
  return static_cast<int32_t>(std::min<int64_t>(y >> kBucketShift, rows_ - 1));
}

bool Inspector::Matches(const Model& m) const {
  if (!built_ || m.nodeList.size() != discs_.size() || m.nodePositions != positions_) return false;
  for (size_t i = 0; i < discs_.size(); ++i) {
    const TAgent& node = *m.nodeList[i];
    if (discs_[i] != std::array<int32_t, 3>{node.x, node.y, node.radius}) return false;
    if (node.links.size() != linkStart_[i + 1] - linkStart_[i]) return false;
    for (size_t k = 0; k < node.links.size(); ++k)
      if (node.links[k].node != linkTo_[linkStart_[i] + k]) return false;
  }
  return true;
}

void Inspector::Build(const Model& m) {
  ++builds_;
  built_ = true;
  positions_ = m.nodePositions;
  const size_t count = m.nodeList.size();
  discs_.resize(count);
  linkStart_.assign(1, 0);
  linkTo_.clear();
  linkFrom_.clear();
  for (size_t i = 0; i < count; ++i) {
    const TAgent& node = *m.nodeList[i];
    discs_[i] = {node.x, node.y, node.radius};
    for (const TLink& link : node.links) {
      linkTo_.push_back(link.node);
      linkFrom_.push_back(static_cast<int32_t>(i));
    }
    linkStart_.push_back(static_cast<uint32_t>(linkTo_.size()));
  }

  // The buckets span the drawn network; anything beyond falls into the edge buckets, and a point
  // beyond them looks into the edge bucket, so clamping loses nothing.
  int64_t maxX = 0, maxY = 0;
  for (const auto& p : positions_)
    maxX = std::max<int64_t>(maxX, p[0]), maxY = std::max<int64_t>(maxY, p[1]);
  for (const auto& d : discs_)
    maxX = std::max<int64_t>(maxX, d[0]), maxY = std::max<int64_t>(maxY, d[1]);
  columns_ = static_cast<int32_t>(std::clamp<int64_t>((maxX >> kBucketShift) + 2, 1, 4096));
  rows_ = static_cast<int32_t>(std::clamp<int64_t>((maxY >> kBucketShift) + 2, 1, 4096));
  const size_t buckets = static_cast<size_t>(columns_) * static_cast<size_t>(rows_);

  // A disc goes into every bucket its box meets.
  auto forEachDiscBucket = [&](size_t i, auto&& f) {
    const auto& d = discs_[i];
    const int64_t r = std::max<int64_t>(0, d[2]);
    for (int32_t row = RowOf(d[1] - r); row <= RowOf(d[1] + r); ++row)
      for (int32_t col = ColumnOf(d[0] - r); col <= ColumnOf(d[0] + r); ++col)
        f(static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(col));
  };
  // A link goes into every bucket that holds a point within reach of its line: for each row of
  // buckets, the part of the line within reach of the row's band, widened by the reach. One
  // pixel more than the reach keeps rounding on the safe side.
  const double reach = kLinkReach + 1;
  constexpr double kFar = 1e18;
  auto forEachLinkBucket = [&](size_t id, auto&& f) {
    const int32_t from = linkFrom_[id], to = linkTo_[id];
    if (to < 0 || static_cast<size_t>(to) >= positions_.size() ||
        static_cast<size_t>(from) >= positions_.size())
      return;  // not drawn
    const double ax = positions_[static_cast<size_t>(from)][0];
    const double ay = positions_[static_cast<size_t>(from)][1];
    const double bx = positions_[static_cast<size_t>(to)][0];
    const double by = positions_[static_cast<size_t>(to)][1];
    const int32_t firstRow = RowOf(static_cast<int64_t>(std::floor(std::min(ay, by) - reach)));
    const int32_t lastRow = RowOf(static_cast<int64_t>(std::ceil(std::max(ay, by) + reach)));
    for (int32_t row = firstRow; row <= lastRow; ++row) {
      const double top = row == 0 ? -kFar : static_cast<double>(row << kBucketShift) - reach;
      const double bottom =
          row == rows_ - 1 ? kFar : static_cast<double>((row + 1) << kBucketShift) + reach;
      double xlo = std::min(ax, bx), xhi = std::max(ax, bx);
      if (ay != by) {
        double t0 = (top - ay) / (by - ay), t1 = (bottom - ay) / (by - ay);
        if (t0 > t1) std::swap(t0, t1);
        t0 = std::max(t0, 0.0);
        t1 = std::min(t1, 1.0);
        if (t0 > t1) continue;
        xlo = std::min(ax + t0 * (bx - ax), ax + t1 * (bx - ax));
        xhi = std::max(ax + t0 * (bx - ax), ax + t1 * (bx - ax));
      }
      const int32_t firstCol = ColumnOf(static_cast<int64_t>(std::floor(xlo - reach)));
      const int32_t lastCol = ColumnOf(static_cast<int64_t>(std::ceil(xhi + reach)));
      for (int32_t col = firstCol; col <= lastCol; ++col)
        f(static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(col));
    }
  };

  // Count, then fill, so that every bucket's entries lie together in drawing order.
  auto fill = [&](size_t items, auto&& forEachBucket, std::vector<uint32_t>& start,
                  std::vector<int32_t>& ids) {
    start.assign(buckets + 1, 0);
    for (size_t i = 0; i < items; ++i) forEachBucket(i, [&](size_t k) { ++start[k + 1]; });
    for (size_t k = 0; k < buckets; ++k) start[k + 1] += start[k];
    ids.resize(start[buckets]);
    std::vector<uint32_t> next(start.begin(), start.end() - 1);
    for (size_t i = 0; i < items; ++i)
      forEachBucket(i, [&](size_t k) { ids[next[k]++] = static_cast<int32_t>(i); });
  };
  fill(count, forEachDiscBucket, nodeStart_, nodeIds_);

  size_t entries = 0;
  for (size_t id = 0; id < linkTo_.size() && entries <= kMaxEntries; ++id)
    forEachLinkBucket(id, [&](size_t) { ++entries; });
  scanLinks_ = entries > kMaxEntries;
  if (scanLinks_) {
    linkBucketStart_.clear();
    linkIds_.clear();
  } else {
    fill(linkTo_.size(), forEachLinkBucket, linkBucketStart_, linkIds_);
  }
}

Inspection Inspector::At(const Model& m, int32_t x, int32_t y) {
  Inspection out;
  if (m.cells.Empty() || x < 0 || y < 0) return out;
  const int64_t pitch = PitchOf(m);
  if (pitch <= 0) return out;
  const int64_t column = x / pitch, row = y / pitch;
  if (column >= m.cells.Cols() || row >= m.cells.Rows()) return out;
  const TCell* cell = m.cells.At(static_cast<int32_t>(column), static_cast<int32_t>(row));
  if (cell == nullptr) return out;

  if (!Matches(m)) Build(m);
  const size_t bucket = static_cast<size_t>(RowOf(y)) * static_cast<size_t>(columns_) +
                        static_cast<size_t>(ColumnOf(x));

  // Discs: the last drawn that holds the point.
  int32_t node = -1;
  for (uint32_t k = nodeStart_[bucket]; k < nodeStart_[bucket + 1]; ++k) {
    const auto& d = discs_[static_cast<size_t>(nodeIds_[k])];
    const int64_t dx = static_cast<int64_t>(x) - d[0], dy = static_cast<int64_t>(y) - d[1];
    const int64_t r = std::max(0, d[2]);
    if (dx * dx + dy * dy <= r * r) node = nodeIds_[k];
  }
  if (node >= 0) {
    const auto& d = discs_[static_cast<size_t>(node)];
    out.kind = Inspection::Kind::Node;
    out.a = node;
    out.left = d[0] - d[2];
    out.top = d[1] - d[2];
    out.right = d[0] + d[2] + 1;
    out.bottom = d[1] + d[2] + 1;
    out.text = DescribeNode(m, node);
    return out;
  }

  // Links: the nearest line within reach, the last drawn among equals.
  const double limit = static_cast<double>(kLinkReach) * kLinkReach;
  double best = std::numeric_limits<double>::infinity();
  int32_t link = -1;
  auto consider = [&](int32_t id) {
    const int32_t from = linkFrom_[static_cast<size_t>(id)], to = linkTo_[static_cast<size_t>(id)];
    if (to < 0 || static_cast<size_t>(to) >= positions_.size() ||
        static_cast<size_t>(from) >= positions_.size())
      return;
    const auto& p = positions_[static_cast<size_t>(from)];
    const auto& q = positions_[static_cast<size_t>(to)];
    const double d2 = SquaredDistanceToSegment(x, y, p[0], p[1], q[0], q[1]);
    if (d2 <= limit && d2 <= best) best = d2, link = id;
  };
  if (scanLinks_) {
    for (size_t id = 0; id < linkTo_.size(); ++id) consider(static_cast<int32_t>(id));
  } else {
    for (uint32_t k = linkBucketStart_[bucket]; k < linkBucketStart_[bucket + 1]; ++k)
      consider(linkIds_[k]);
  }
  if (link >= 0 && ValidNode(m, linkTo_[static_cast<size_t>(link)])) {
    const int32_t from = linkFrom_[static_cast<size_t>(link)];
    const int32_t to = linkTo_[static_cast<size_t>(link)];
    const bool both = LinkTo(*m.nodeList[static_cast<size_t>(to)], from) != nullptr;
    out.kind = Inspection::Kind::Link;
    out.a = both ? std::min(from, to) : from;
    out.b = both ? std::max(from, to) : to;
    const auto& p = positions_[static_cast<size_t>(from)];
    const auto& q = positions_[static_cast<size_t>(to)];
    out.left = std::min(p[0], q[0]) - kLinkReach;
    out.top = std::min(p[1], q[1]) - kLinkReach;
    out.right = std::max(p[0], q[0]) + kLinkReach + 1;
    out.bottom = std::max(p[1], q[1]) + kLinkReach + 1;
    out.text = DescribeLink(m, out.a, out.b);
    return out;
  }

  out.kind = Inspection::Kind::Cell;
  out.a = static_cast<int32_t>(column);
  out.b = static_cast<int32_t>(row);
  out.left = static_cast<int32_t>(column * pitch);
  out.top = static_cast<int32_t>(row * pitch);
  out.right = static_cast<int32_t>((column + 1) * pitch);
  out.bottom = static_cast<int32_t>((row + 1) * pitch);
  out.text = DescribeCell(m, *cell);
  return out;
}

}  // namespace velmora

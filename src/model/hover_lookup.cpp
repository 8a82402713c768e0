// The hover lookup: which node disc, link or cell lies under a pixel, and its numbers.
#include "model/hover_lookup.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace velmora {

namespace {

// The distance between neighbouring cell centres. A failed "new setup" can leave cellSize at 0
// over the old cells, so the cells' own centres are asked first.
int64_t PitchOf(const Town& town) {
  const CellGrid& g = town.cells;
  const TCell* first = g.At(0, 0);
  if (first == nullptr) return 0;
  if (g.Cols() >= 2 && g.At(1, 0) != nullptr)
    return static_cast<int64_t>(g.At(1, 0)->PositionX) - first->PositionX;
  if (g.Rows() >= 2 && g.At(0, 1) != nullptr)
    return static_cast<int64_t>(g.At(0, 1)->PositionY) - first->PositionY;
  if (town.cellSize > 0) return town.cellSize;
  return std::max<int64_t>(1, 2 * static_cast<int64_t>(first->Size));
}

std::string DescribeCell(const Network& network, const TCell& cell) {
  std::string text = "cell " + std::to_string(cell.column) + ", " + std::to_string(cell.row);
  text += "\nworkers: " + std::to_string(cell.workers);
  text += "\nworkplaces: " + std::to_string(cell.workplaces);
  text += "\nretail units: " + std::to_string(cell.retail);
  text += "\nnearest node: " + (network.HasNode(cell.nearestNode) ? std::to_string(cell.nearestNode)
                                                                  : std::string("none"));
  // Pairing counts workersLeft down from workers, one for every worker given a workplace.
  const int paired = std::max(0, static_cast<int>(cell.workers) - cell.workersLeft);
  text += "\nworkers with a workplace: " + std::to_string(paired);
  return text;
}

std::string DescribeNode(const Network& network, int32_t index, size_t linksIn,
                         const NetworkParts& parts) {
  const TAgent& node = *network.nodeList[static_cast<size_t>(index)];
  int64_t arrived = 0;
  for (int32_t load : node.linkLoad) arrived += load;
  std::string text = "node " + std::to_string(index);
  text += "\nposition: " + std::to_string(node.x) + ", " + std::to_string(node.y);
  text += "\nlinks out: " + std::to_string(node.links.size());
  text += "\nlinks in: " + std::to_string(linksIn);
  text += "\ndrove here last step: " + std::to_string(arrived);
  // Routes stay within a part: the part says which nodes this one can reach at all.
  if (parts.Count() > 1 && static_cast<size_t>(index) < parts.partOf.size()) {
    const int32_t part = parts.partOf[static_cast<size_t>(index)];
    const int32_t size = parts.sizes[static_cast<size_t>(part)];
    text += "\npart " + std::to_string(part + 1) + " of " + std::to_string(parts.Count()) + ", " +
            std::to_string(size) + (size == 1 ? " node" : " nodes");
  }
  return text;
}

std::string DescribeLink(const Network& network, int32_t a, int32_t b) {
  const TAgent& nodeA = *network.nodeList[static_cast<size_t>(a)];
  const TAgent& nodeB = *network.nodeList[static_cast<size_t>(b)];
  const TLink* ab = nodeA.LinkTo(b);
  const TLink* ba = nodeB.LinkTo(a);
  const std::string sa = std::to_string(a), sb = std::to_string(b);
  std::string text = "link " + sa + (ab && ba ? " <-> " : " -> ") + sb;
  std::string distance = std::to_string((ab ? ab : ba)->distance);
  if (ab && ba && ab->distance != ba->distance) distance += " / " + std::to_string(ba->distance);
  text += "\ndistance: " + distance + " px";
  text += "\nvehicles " + sa + " -> " + sb + ": " + std::to_string(nodeB.LoadFrom(a));
  text += "\nvehicles " + sb + " -> " + sa + ": " + std::to_string(nodeA.LoadFrom(b));
  return text;
}

// Where to find a link: ", in cell c, r" for the cell under the middle of its drawn line; empty
// when no cell is there.
std::string CellAtMiddle(const Town& town, const Network& network, const LinkTraffic& link) {
  const auto& positions = network.nodePositions;
  if (town.cells.Empty() || static_cast<size_t>(std::max(link.a, link.b)) >= positions.size())
    return {};
  const int64_t pitch = PitchOf(town);
  const auto& p = positions[static_cast<size_t>(link.a)];
  const auto& q = positions[static_cast<size_t>(link.b)];
  const int64_t x = (int64_t{p[0]} + q[0]) / 2, y = (int64_t{p[1]} + q[1]) / 2;
  if (pitch <= 0 || x < 0 || y < 0 || x / pitch >= town.cells.Cols() ||
      y / pitch >= town.cells.Rows())
    return {};
  return ", in cell " + std::to_string(x / pitch) + ", " + std::to_string(y / pitch);
}

}  // namespace

std::string DescribeBusiestLinks(const Town& town, const Network& network) {
  const std::vector<LinkTraffic> links = BusiestLinks(network, 3);
  if (links.empty()) return "busiest links of the last step: none, no vehicle is on a link";
  std::string text = "busiest links of the last step (the cell at the middle of each):";
  for (const LinkTraffic& link : links) {
    const std::string a = std::to_string(link.a), b = std::to_string(link.b);
    text += "\nlink " + a + (link.bothWays ? " <-> " : " -> ") + b +
            CellAtMiddle(town, network, link) + ": " + std::to_string(link.aToB) + " vehicles " +
            a + " -> " + b + ", " + std::to_string(link.bToA) + " vehicles " + b + " -> " + a;
  }
  return text;
}

std::string DescribeMostWorkers(const Town& town, const Network& network) {
  const MostWorkers most = CellWithMostWorkers(town);
  if (most.cell == nullptr) return "cell with the most workers: none, no cell has a worker";
  const TCell& cell = *most.cell;
  std::string text = "cell with the most workers: " + std::to_string(cell.column) + ", " +
                     std::to_string(cell.row) + " (column, row)";
  text += "\nworkers: " + std::to_string(cell.workers);
  if (most.cellsWithThatMany > 1)
    text += ", the first of " + std::to_string(most.cellsWithThatMany) +
            " cells with that many (rows from the top, each from the left)";
  text += "\nnearest node: " + (network.HasNode(cell.nearestNode) ? std::to_string(cell.nearestNode)
                                                                  : std::string("none"));
  return text;
}

std::string DescribeParts(const NetworkParts& parts) {
  if (parts.Count() == 0) return "no network yet";
  if (parts.Count() == 1)
    return "the network is one part of " + std::to_string(parts.sizes[0]) +
           (parts.sizes[0] == 1 ? " node" : " nodes");
  // The sizes of the largest parts; a network of many small parts would not fit a tooltip.
  constexpr size_t kListed = 8;
  std::string text = "the network is in " + std::to_string(parts.Count()) + " parts, of ";
  for (size_t k = 0; k < std::min(parts.Count(), kListed); ++k) {
    if (k > 0) text += k + 1 == parts.Count() ? " and " : ", ";
    text += std::to_string(parts.sizes[k]);
  }
  if (parts.Count() > kListed) text += " and " + std::to_string(parts.Count() - kListed) + " more";
  return text + " nodes";
}

double SquaredDistanceToSegment(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  const double length2 = dx * dx + dy * dy;
  double t = length2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / length2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  const double ex = ax + t * dx - px, ey = ay + t * dy - py;
  return ex * ex + ey * ey;
}

int32_t HoverLookup::ColumnOf(int64_t x) const {
  if (x < 0) return 0;
  return static_cast<int32_t>(std::min<int64_t>(x >> kBucketShift, columns_ - 1));
}

int32_t HoverLookup::RowOf(int64_t y) const {
  if (y < 0) return 0;
  return static_cast<int32_t>(std::min<int64_t>(y >> kBucketShift, rows_ - 1));
}

bool HoverLookup::Matches(const Network& network, int64_t fieldWidth, int64_t fieldHeight) const {
  if (!built_ || fieldWidth != fieldWidth_ || fieldHeight != fieldHeight_ ||
      network.nodeList.size() != discs_.size() || network.nodePositions != positions_)
    return false;
  for (size_t i = 0; i < discs_.size(); ++i) {
    const TAgent& node = *network.nodeList[i];
    if (discs_[i] != std::array<int32_t, 3>{node.x, node.y, node.radius}) return false;
    const size_t n = node.links.size();
    if (n != linkStart_[i + 1] - linkStart_[i]) return false;
    if (n > 0 && std::memcmp(node.links.data(), &links_[linkStart_[i]], n * sizeof(TLink)) != 0)
      return false;
  }
  return true;
}

void HoverLookup::Build(const Network& network, int64_t fieldWidth, int64_t fieldHeight) {
  ++builds_;
  built_ = true;
  fieldWidth_ = fieldWidth;
  fieldHeight_ = fieldHeight;
  positions_ = network.nodePositions;
  const size_t count = network.nodeList.size();
  discs_.resize(count);
  linkStart_.assign(1, 0);
  links_.clear();
  linkFrom_.clear();
  linksIn_.assign(count, 0);
  for (size_t i = 0; i < count; ++i) {
    const TAgent& node = *network.nodeList[i];
    discs_[i] = {node.x, node.y, node.radius};
    links_.insert(links_.end(), node.links.begin(), node.links.end());
    linkFrom_.resize(links_.size(), static_cast<int32_t>(i));
    linkStart_.push_back(static_cast<uint32_t>(links_.size()));
    for (const TLink& link : node.links)
      if (link.node >= 0 && static_cast<size_t>(link.node) < count)
        ++linksIn_[static_cast<size_t>(link.node)];
  }

  // Every point of the field lies in a bucket of its own; discs beyond it go into the edge
  // buckets, which is where a search for them looks.
  int64_t maxX = fieldWidth, maxY = fieldHeight;
  for (const auto& d : discs_)
    maxX = std::max<int64_t>(maxX, d[0]), maxY = std::max<int64_t>(maxY, d[1]);
  columns_ = static_cast<int32_t>(std::clamp<int64_t>((maxX >> kBucketShift) + 2, 1, 4096));
  rows_ = static_cast<int32_t>(std::clamp<int64_t>((maxY >> kBucketShift) + 2, 1, 4096));
  const size_t buckets = static_cast<size_t>(columns_) * static_cast<size_t>(rows_);

  // A disc goes into every bucket its box meets: counted, then placed.
  auto forEachBucket = [&](size_t i, auto&& f) {
    const auto& d = discs_[i];
    const int64_t r = std::max<int64_t>(0, d[2]);
    for (int32_t row = RowOf(d[1] - r); row <= RowOf(d[1] + r); ++row)
      for (int32_t col = ColumnOf(d[0] - r); col <= ColumnOf(d[0] + r); ++col)
        f(static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(col));
  };
  nodeStart_.assign(buckets + 1, 0);
  for (size_t i = 0; i < count; ++i) forEachBucket(i, [&](size_t k) { ++nodeStart_[k + 1]; });
  for (size_t k = 0; k < buckets; ++k) nodeStart_[k + 1] += nodeStart_[k];
  nodeIds_.resize(nodeStart_[buckets]);
  std::vector<uint32_t> next(nodeStart_.begin(), nodeStart_.end() - 1);
  for (size_t i = 0; i < count; ++i)
    forEachBucket(i, [&](size_t k) { nodeIds_[next[k]++] = static_cast<int32_t>(i); });

  bucketLinks_.assign(buckets, {});
  linksFound_.assign(buckets, false);
  linkEntries_ = 0;
  partsFound_ = false;
}

void HoverLookup::Refresh(const Town& town, const Network& network) {
  // The field the cells cover at their pitch; none without cells.
  const int64_t pitch = town.cells.Empty() ? 0 : std::max<int64_t>(0, PitchOf(town));
  const int64_t fieldWidth = town.cells.Cols() * pitch, fieldHeight = town.cells.Rows() * pitch;
  if (!Matches(network, fieldWidth, fieldHeight)) Build(network, fieldWidth, fieldHeight);
}

const NetworkParts& HoverLookup::Parts(const Town& town, const Network& network) {
  Refresh(town, network);
  return PartsOf(network);
}

const NetworkParts& HoverLookup::PartsOf(const Network& network) {
  if (!partsFound_) parts_ = FindParts(network);
  partsFound_ = true;
  return parts_;
}

const std::vector<int32_t>& HoverLookup::LinksNear(int32_t column, int32_t row) {
  const size_t k =
      static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(column);
  if (linksFound_[k]) return bucketLinks_[k];
  // A point of the bucket lies within half its diagonal of the centre, so a line within reach
  // of the point lies within reach plus that of the centre; one pixel more for rounding.
  const int32_t size = 1 << kBucketShift;
  const int32_t left = column * size, top = row * size;
  const double cx = left + size * 0.5, cy = top + size * 0.5;
  const double within = kLinkReach + size * 0.7072 + 1;
  // The box test in whole pixels first: the bucket widened by the reach.
  const int32_t reach = kLinkReach + 1;
  const int32_t x0 = left - reach, x1 = left + size + reach, y0 = top - reach,
                y1 = top + size + reach;
  scratch_.clear();
  const size_t drawn = positions_.size();
  for (size_t id = 0; id < links_.size(); ++id) {
    const size_t from = static_cast<size_t>(linkFrom_[id]);
    const int32_t to = links_[id].node;
    if (to < 0 || static_cast<size_t>(to) >= drawn || from >= drawn) continue;  // not drawn
    const auto& p = positions_[from];
    const auto& q = positions_[static_cast<size_t>(to)];
    if ((p[0] < x0 && q[0] < x0) || (p[0] > x1 && q[0] > x1) || (p[1] < y0 && q[1] < y0) ||
        (p[1] > y1 && q[1] > y1))
      continue;
    if (SquaredDistanceToSegment(cx, cy, p[0], p[1], q[0], q[1]) <= within * within)
      scratch_.push_back(static_cast<int32_t>(id));
  }
  if (linkEntries_ + scratch_.size() > kMaxEntries) return scratch_;
  linkEntries_ += scratch_.size();
  bucketLinks_[k] = scratch_;
  linksFound_[k] = true;
  return bucketLinks_[k];
}

HoverHit HoverLookup::At(const Town& town, const Network& network, int32_t x, int32_t y) {
  HoverHit out;
  if (town.cells.Empty() || x < 0 || y < 0) return out;
  const int64_t pitch = PitchOf(town);
  if (pitch <= 0) return out;
  const int64_t column = x / pitch, row = y / pitch;
  if (column >= town.cells.Cols() || row >= town.cells.Rows()) return out;
  const TCell* cell = town.cells.At(static_cast<int32_t>(column), static_cast<int32_t>(row));
  if (cell == nullptr) return out;

  Refresh(town, network);
  const int32_t bucketColumn = ColumnOf(x), bucketRow = RowOf(y);
  const size_t bucket = static_cast<size_t>(bucketRow) * static_cast<size_t>(columns_) +
                        static_cast<size_t>(bucketColumn);
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
    out.kind = HoverHit::Kind::Node;
    out.a = node;
    out.left = d[0] - d[2];
    out.top = d[1] - d[2];
    out.right = d[0] + d[2] + 1;
    out.bottom = d[1] + d[2] + 1;
    out.text = DescribeNode(network, node, linksIn_[static_cast<size_t>(node)], PartsOf(network));
    return out;
  }

  // Links: the nearest line within reach, the last drawn among equals.
  const double limit = static_cast<double>(kLinkReach) * kLinkReach;
  double best = std::numeric_limits<double>::infinity();
  int32_t link = -1;
  auto consider = [&](int32_t id) {
    const int32_t from = linkFrom_[static_cast<size_t>(id)],
                  to = links_[static_cast<size_t>(id)].node;
    if (to < 0 || static_cast<size_t>(to) >= positions_.size() ||
        static_cast<size_t>(from) >= positions_.size())
      return;
    const auto& p = positions_[static_cast<size_t>(from)];
    const auto& q = positions_[static_cast<size_t>(to)];
    const double d2 = SquaredDistanceToSegment(x, y, p[0], p[1], q[0], q[1]);
    if (d2 <= limit && d2 <= best) best = d2, link = id;
  };
  for (int32_t id : LinksNear(bucketColumn, bucketRow)) consider(id);
  if (link >= 0 && network.HasNode(links_[static_cast<size_t>(link)].node)) {
    const int32_t from = linkFrom_[static_cast<size_t>(link)];
    const int32_t to = links_[static_cast<size_t>(link)].node;
    const bool both = network.nodeList[static_cast<size_t>(to)]->LinkTo(from) != nullptr;
    out.kind = HoverHit::Kind::Link;
    out.a = both ? std::min(from, to) : from;
    out.b = both ? std::max(from, to) : to;
    const auto& p = positions_[static_cast<size_t>(from)];
    const auto& q = positions_[static_cast<size_t>(to)];
    out.left = std::min(p[0], q[0]) - kLinkReach;
    out.top = std::min(p[1], q[1]) - kLinkReach;
    out.right = std::max(p[0], q[0]) + kLinkReach + 1;
    out.bottom = std::max(p[1], q[1]) + kLinkReach + 1;
    out.text = DescribeLink(network, out.a, out.b);
    return out;
  }

  out.kind = HoverHit::Kind::Cell;
  out.a = static_cast<int32_t>(column);
  out.b = static_cast<int32_t>(row);
  out.left = static_cast<int32_t>(column * pitch);
  out.top = static_cast<int32_t>(row * pitch);
  out.right = static_cast<int32_t>((column + 1) * pitch);
  out.bottom = static_cast<int32_t>((row + 1) * pitch);
  out.text = DescribeCell(network, *cell);
  return out;
}

}  // namespace velmora

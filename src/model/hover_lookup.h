// What lies under a point of the drawing area, for the hover tooltips: a node disc, a link or a
// cell, with a short English text of its numbers; and the texts of the readouts over the value
// labels and "find path". Reads the town and the network and changes nothing of them (nor the
// random generator, nor the drawing).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/network.h"
#include "model/readouts.h"
#include "model/town.h"

namespace velmora {

struct HoverHit {
  enum class Kind { None, Cell, Node, Link };
  Kind kind = Kind::None;
  // Cell: column and row. Node: its index in a. Link: the node indices of its ends; when only
  // one end lists the other, a is the one that lists b.
  int32_t a = -1;
  int32_t b = -1;
  // Pixels around the point over which the same thing stays under the pointer, right and
  // bottom edges excluded: the cell's square, the disc's box or the link's box. A tooltip can
  // go as soon as the pointer leaves it.
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  // One item a line, no line break at the end; empty for Kind::None.
  std::string text;
};

// Squared distance from the point (px, py) to the segment from (ax, ay) to (bx, by).
double SquaredDistanceToSegment(double px, double py, double ax, double ay, double bx, double by);

// The busiest links of the last step with their vehicles each way, one a line, named as the link
// tooltip names them, each with the cell under the middle of its line to find it by.
std::string DescribeBusiestLinks(const Town& town, const Network& network);
// The cell with the most workers: its column and row, its count and its nearest node.
std::string DescribeMostWorkers(const Town& town, const Network& network);
// How many parts the network is in and their sizes, in one line.
std::string DescribeParts(const NetworkParts& parts);

// Answers "what is at (x, y)" from a bucket grid over the drawing area. The discs go into their
// buckets when the grid is built; a bucket's links are found the first time a point in it is
// asked about, by one pass over all links, and kept. The grid is built on the first question and
// again whenever the network or the field differs from the one it was built from (compared on
// every question: positions, radii, links, field size). The network's parts are worked out the
// first time they are asked for after the grid was built, so at most once for every network
// formed. Cells need no index: their pitch gives the cell under a point directly.
class HoverLookup {
 public:
  // A link is under the pointer within this many pixels of its drawn line.
  static constexpr int32_t kLinkReach = 3;

  // The node disc, else the nearest link line within kLinkReach, else the cell at pixel (x, y);
  // nothing outside the grid or while there are no cells. Where discs overlap, the one drawn
  // last (the highest index) is on top; among links equally near, the one drawn last. A node
  // names its part when the network is in more than one.
  HoverHit At(const Town& town, const Network& network, int32_t x, int32_t y);
  // The parts of the network as it is now.
  const NetworkParts& Parts(const Town& town, const Network& network);

  // How many times the grid has been built (for tests).
  int Builds() const { return builds_; }

 private:
  static constexpr int32_t kBucketShift = 4;  // buckets of 16 x 16 pixels
  // Link entries kept over all buckets at most; beyond, a bucket's links are found anew on every
  // question (a network linking nearly every node with every other).
  static constexpr size_t kMaxEntries = size_t{1} << 24;

  // Builds the grid anew unless it was built from this network and field.
  void Refresh(const Town& town, const Network& network);
  // The parts of the network the grid was built from.
  const NetworkParts& PartsOf(const Network& network);
  bool Matches(const Network& network, int64_t fieldWidth, int64_t fieldHeight) const;
  void Build(const Network& network, int64_t fieldWidth, int64_t fieldHeight);
  int32_t ColumnOf(int64_t x) const;
  int32_t RowOf(int64_t y) const;
  // The links that may pass within reach of a point of bucket (column, row), in drawing order.
  const std::vector<int32_t>& LinksNear(int32_t column, int32_t row);

  // The network and field the grid was built for.
  std::vector<std::array<int32_t, 2>> positions_;  // the link ends, as drawn
  std::vector<std::array<int32_t, 3>> discs_;      // x, y, radius of every node
  std::vector<uint32_t> linkStart_;                // node i's links are [linkStart_[i], [i + 1])
  std::vector<TLink> links_;                       // every node's links, node by node
  std::vector<int32_t> linkFrom_;                  // the node each of them belongs to
  std::vector<size_t> linksIn_;                    // links that end at each node
  NetworkParts parts_;
  bool partsFound_ = false;
  int64_t fieldWidth_ = 0, fieldHeight_ = 0;
  bool built_ = false;
  int builds_ = 0;

  // Buckets, row-major, covering the field and the network: bucket k holds the discs
  // nodeIds_[nodeStart_[k] .. nodeStart_[k + 1]) in drawing order, and its links once found.
  int32_t columns_ = 0, rows_ = 0;
  std::vector<uint32_t> nodeStart_;
  std::vector<int32_t> nodeIds_;
  std::vector<std::vector<int32_t>> bucketLinks_;
  std::vector<bool> linksFound_;
  size_t linkEntries_ = 0;
  std::vector<int32_t> scratch_;
};

}  // namespace velmora

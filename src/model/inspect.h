// What lies under a point of the drawing area, for the hover tooltips: a node disc, a link or a
// cell, with a short English text of its numbers. Reads the model's public state and changes
// nothing of it (nor the random generator, nor the drawing).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

class Model;

struct Inspection {
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

// Answers "what is at (x, y)" from a bucket grid of the drawn node discs and link lines, built
// on the first question and again whenever the network differs from the one it was built from
// (compared on every question: positions, radii and links). Cells need no index: their pitch
// gives the cell under a point directly.
class Inspector {
 public:
  // A link is under the pointer within this many pixels of its drawn line.
  static constexpr int32_t kLinkReach = 3;

  // The node disc, else the nearest link line within kLinkReach, else the cell at pixel (x, y);
  // nothing outside the grid or while there are no cells. Where discs overlap, the one drawn
  // last (the highest index) is on top; among links equally near, the one drawn last.
  Inspection At(const Model& model, int32_t x, int32_t y);

  // How many times the index has been built (for tests).
  int Builds() const { return builds_; }

 private:
  static constexpr int32_t kBucketShift = 4;  // buckets of 16 x 16 pixels
  // Above this many bucket entries the links are scanned instead (a network linking nearly
  // every node with every other).
  static constexpr size_t kMaxEntries = size_t{1} << 23;

  bool Matches(const Model& model) const;
  void Build(const Model& model);
  int32_t ColumnOf(int64_t x) const;
  int32_t RowOf(int64_t y) const;

  // The network the index was built from.
  std::vector<std::array<int32_t, 2>> positions_;  // the link ends, as drawn
  std::vector<std::array<int32_t, 3>> discs_;      // x, y, radius of every node
  std::vector<uint32_t> linkStart_;                // node i's links are [linkStart_[i], [i + 1])
  std::vector<int32_t> linkTo_;                    // every link's far end, node by node
  std::vector<int32_t> linkFrom_;
  bool built_ = false;
  int builds_ = 0;

  // Buckets, row-major; bucket k holds discs nodeIds_[nodeStart_[k] .. nodeStart_[k + 1]) and
  // links linkIds_[linkBucketStart_[k] .. [k + 1]), each in drawing order.
  int32_t columns_ = 0, rows_ = 0;
  bool scanLinks_ = false;
  std::vector<uint32_t> nodeStart_, linkBucketStart_;
  std::vector<int32_t> nodeIds_, linkIds_;
};

}  // namespace velmora

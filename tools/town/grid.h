// The grid of cells the pictures describe, laid onto the ground.
//
// Velmora draws floor(640 / N) columns by floor(666 / N) rows of N-pixel cells. On the ground
// the cells are squares of side max(width / columns, height / rows) of the extent, so the grid
// covers the whole extent; its top-left corner is the extent's (XMIN, YMAX), north up, and it
// reaches beyond the extent to the east or to the south when the shapes differ. Cell sums use
// coordinates in grid units: u = (x - XMIN) / side to the right, v = (YMAX - y) / side down,
// so cell (c, r) is the unit square [c, c + 1] x [r, r + 1].
#pragma once

#include <cmath>
#include <cstddef>

#include "options.h"

namespace velmora::town {

// Velmora's drawing field in pixels.
constexpr int kFieldWidth = 640;
constexpr int kFieldHeight = 666;

struct Grid {
  int cellSize = 0;  // pixels per cell in the program
  int cols = 0;
  int rows = 0;
  double xmin = 0;
  double ymax = 0;
  double side = 0;  // ground size of a cell, in the CRS's units

  static Grid Make(int cellSize, const Extent& extent) {
    Grid g;
    g.cellSize = cellSize;
    g.cols = kFieldWidth / cellSize;
    g.rows = kFieldHeight / cellSize;
    g.xmin = extent.xmin;
    g.ymax = extent.ymax;
    g.side = std::fmax((extent.xmax - extent.xmin) / g.cols, (extent.ymax - extent.ymin) / g.rows);
    return g;
  }
  size_t CellCount() const { return static_cast<size_t>(cols) * static_cast<size_t>(rows); }
  // The ground the cells cover.
  Extent Area() const { return Extent{xmin, ymax - rows * side, xmin + cols * side, ymax}; }
  int PixelWidth() const { return cols * cellSize; }
  int PixelHeight() const { return rows * cellSize; }
  double U(double x) const { return (x - xmin) / side; }
  double V(double y) const { return (ymax - y) / side; }

  // The cell index (row-major) of a point, or -1 outside the grid. The grid's area is closed:
  // a point on its east or south edge belongs to the last column or row; within a billionth
  // of a cell of the edge counts as on it, since the far edge xmin + cols * side may round
  // away from the extent's XMAX by an ulp.
  long CellOf(double x, double y) const {
    const double u = U(x), v = V(y);
    constexpr double kEdge = 1e-9;
    if (!(u >= -kEdge && u <= cols + kEdge && v >= -kEdge && v <= rows + kEdge)) return -1;
    const int c = u <= 0 ? 0 : u >= cols ? cols - 1 : static_cast<int>(u);
    const int r = v <= 0 ? 0 : v >= rows ? rows - 1 : static_cast<int>(v);
    return static_cast<long>(r) * cols + c;
  }
};

}  // namespace velmora::town

// Sharing a pixel's count among the cells it overlaps, by area.
//
// Both functions work in grid units (see grid.h), where cell (c, r) is the unit square
// [c, c + 1] x [r, r + 1]. A pixel wholly inside the grid hands out all of its value: the
// shares of the cells add up to 1 up to the rounding of doubles (a few ulps), so the cell sums
// conserve the source's total inside the grid. A pixel partly outside hands out the share of
// its area that lies inside.
#pragma once

#include <vector>

namespace velmora::town {

struct Share {
  int cell;         // column or row
  double fraction;  // of the interval's length
};

// The cells 0 .. n - 1 that the interval [a, b] (a < b) overlaps, each with the fraction of the
// interval inside it; `out` is cleared first. An axis-aligned pixel's share of a cell is the
// product of its column's and its row's fractions, which is exactly the share by area.
void IntervalShares(double a, double b, int n, std::vector<Share>& out);

// Adds value x (area of the quadrilateral inside cell) / (area of the quadrilateral) to every
// cell of the cols x rows grid (row-major `cells`) that the quadrilateral overlaps. Corners
// (u[i], v[i]) go round the quadrilateral in either direction; it must be convex, as the
// image of a small pixel under a smooth map is. A quadrilateral of no area gives its whole
// value to the cell of its first corner.
void SpreadQuad(const double u[4], const double v[4], double value, int cols, int rows,
                double* cells);

}  // namespace velmora::town

#include "area_share.h"

#include <algorithm>
#include <cmath>

namespace velmora::town {

void IntervalShares(double a, double b, int n, std::vector<Share>& out) {
  out.clear();
  if (!(b > a) || b <= 0 || a >= n) return;
  const double length = b - a;
  // Clamped in doubles first: an end far outside would not fit an int.
  const int first = static_cast<int>(std::floor(std::max(a, 0.0)));
  const int last = static_cast<int>(std::ceil(std::min(b, static_cast<double>(n)))) - 1;
  for (int c = first; c <= last; ++c) {
    const double inside = std::min(b, c + 1.0) - std::max(a, static_cast<double>(c));
    if (inside > 0) out.push_back({c, inside / length});
  }
}

namespace {

// A convex quadrilateral clipped by four half-planes keeps at most 8 corners; any polygon grows
// by at most half its corners per clip, so even a twisted one stays below 20.
struct Polygon {
  int n = 0;
  double u[24];
  double v[24];
};

// Keeps the part of p where the coordinate (u when onU, else v) is >= bound (keepAbove) or
// <= bound (Sutherland-Hodgman against one axis-parallel line).
void ClipAxis(const Polygon& p, bool onU, double bound, bool keepAbove, Polygon& out) {
  out.n = 0;
  if (p.n == 0) return;
  auto coord = [&](int i) { return onU ? p.u[i] : p.v[i]; };
  auto inside = [&](int i) { return keepAbove ? coord(i) >= bound : coord(i) <= bound; };
  for (int i = 0; i < p.n; ++i) {
    const int j = (i + 1) % p.n;
    const bool in1 = inside(i), in2 = inside(j);
    if (in1) {
      out.u[out.n] = p.u[i];
      out.v[out.n] = p.v[i];
      ++out.n;
    }
    if (in1 != in2) {
      const double t = (bound - coord(i)) / (coord(j) - coord(i));
      out.u[out.n] = onU ? bound : p.u[i] + t * (p.u[j] - p.u[i]);
      out.v[out.n] = onU ? p.v[i] + t * (p.v[j] - p.v[i]) : bound;
      ++out.n;
    }
  }
}

double Area(const Polygon& p) {
  double twice = 0;
  for (int i = 0; i < p.n; ++i) {
    const int j = (i + 1) % p.n;
    twice += p.u[i] * p.v[j] - p.u[j] * p.v[i];
  }
  return std::fabs(twice) * 0.5;
}

}  // namespace

void SpreadQuad(const double u[4], const double v[4], double value, int cols, int rows,
                double* cells) {
  const double umin = std::min({u[0], u[1], u[2], u[3]});
  const double umax = std::max({u[0], u[1], u[2], u[3]});
  const double vmin = std::min({v[0], v[1], v[2], v[3]});
  const double vmax = std::max({v[0], v[1], v[2], v[3]});
  if (!(umax > 0 && umin < cols && vmax > 0 && vmin < rows)) return;  // outside (or NaN)
  // The columns and rows the quadrilateral reaches with some area, from one outside the grid
  // to one past it at most (a corner transformed far away would not fit an int).
  const int c0 = static_cast<int>(std::floor(std::max(umin, -1.0)));
  const int c1 = std::max(c0, static_cast<int>(std::ceil(std::min(umax, cols + 1.0))) - 1);
  const int r0 = static_cast<int>(std::floor(std::max(vmin, -1.0)));
  const int r1 = std::max(r0, static_cast<int>(std::ceil(std::min(vmax, rows + 1.0))) - 1);
  if (c0 == c1 && r0 == r1) {  // wholly inside one cell: the common case
    if (c0 >= 0 && c0 < cols && r0 >= 0 && r0 < rows)
      cells[static_cast<long>(r0) * cols + c0] += value;
    return;
  }
  Polygon quad;
  quad.n = 4;
  std::copy(u, u + 4, quad.u);
  std::copy(v, v + 4, quad.v);
  const double area = Area(quad);
  if (!(area > 0)) {
    if (u[0] >= 0 && u[0] < cols && v[0] >= 0 && v[0] < rows)
      cells[static_cast<long>(v[0]) * cols + static_cast<long>(u[0])] += value;
    return;
  }
  const double perArea = value / area;
  Polygon left, column, top, piece;
  for (int c = std::max(c0, 0); c <= std::min(c1, cols - 1); ++c) {
    ClipAxis(quad, true, c, true, left);
    ClipAxis(left, true, c + 1.0, false, column);
    if (column.n < 3) continue;
    for (int r = std::max(r0, 0); r <= std::min(r1, rows - 1); ++r) {
      ClipAxis(column, false, r, true, top);
      ClipAxis(top, false, r + 1.0, false, piece);
      if (piece.n >= 3) cells[static_cast<long>(r) * cols + c] += perArea * Area(piece);
    }
  }
}

}  // namespace velmora::town

// The plain rasteriser of wide lines, kept as the oracle of the raster canvas: every row of a
// band worked out on every call, in a buffer of its own.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "canvas/raster_canvas.h"

namespace velmora::oracle {

inline bool PlainSolveLinear(double a, double b, double lo, double hi, bool halfOpen, double& from,
                             double& to) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  if (a == 0.0) {
    const bool ok = b >= lo && (halfOpen ? b < hi : b <= hi);
    from = ok ? -inf : inf;
    to = ok ? inf : -inf;
    return ok;
  }
  double p1 = (lo - b) / a;
  double p2 = (hi - b) / a;
  if (a > 0) {
    from = std::ceil(p1);
    to = halfOpen ? std::ceil(p2) - 1 : std::floor(p2);
  } else {
    to = std::floor(p1);
    from = halfOpen ? std::floor(p2) + 1 : std::ceil(p2);
  }
  return from <= to;
}

struct PlainBuffer {
  PlainBuffer(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h, 0) {}
  int width, height;
  std::vector<uint32_t> pixels;

  void Span(int y, int xFrom, int xTo, uint32_t pixel) {
    if (y < 0 || y >= height) return;
    xFrom = std::max(xFrom, 0);
    xTo = std::min(xTo, width - 1);
    for (int x = xFrom; x <= xTo; ++x) pixels[static_cast<size_t>(y) * width + x] = pixel;
  }

  void ThickLine(int x1, int y1, int x2, int y2, int w, uint32_t pixel) {
    if (y1 > y2 || (y1 == y2 && x1 > x2)) {
      std::swap(x1, x2);
      std::swap(y1, y2);
    }
    const double r = w / 2.0;
    const double dx = static_cast<double>(x2) - x1;
    const double dy = static_cast<double>(y2) - y1;
    const double length = std::sqrt(dx * dx + dy * dy);
    const int yTop = std::max(0, static_cast<int>(std::floor(std::min(y1, y2) - r)));
    const int yBottom = std::min(height - 1, static_cast<int>(std::ceil(std::max(y1, y2) + r)));
    const double ux = length > 0 ? dx / length : 0.0;
    const double uy = length > 0 ? dy / length : 0.0;
    const double nx = -uy;
    const double ny = ux;
    for (int py = yTop; py <= yBottom; ++py) {
      double lo = std::numeric_limits<double>::infinity();
      double hi = -lo;
      for (int e = 0; e < 2; ++e) {
        const double ex = e == 0 ? x1 : x2;
        const double ey = e == 0 ? y1 : y2;
        const double t = r * r - (py - ey) * (py - ey);
        if (t <= 0) continue;
        const double s = std::sqrt(t);
        const double from = std::floor(ex - s) + 1;
        const double to = std::ceil(ex + s) - 1;
        if (from <= to) {
          lo = std::min(lo, from);
          hi = std::max(hi, to);
        }
      }
      if (length > 0) {
        double a1, b1, a2, b2;
        if (PlainSolveLinear(nx, (py - y1) * ny - x1 * nx, -r, r, true, a1, b1) &&
            PlainSolveLinear(ux, (py - y1) * uy - x1 * ux, 0.0, length, false, a2, b2)) {
          const double from = std::max(a1, a2);
          const double to = std::min(b1, b2);
          if (from <= to) {
            lo = std::min(lo, from);
            hi = std::max(hi, to);
          }
        }
      }
      if (lo <= hi) {
        const double clampLo = std::max(lo, -1.0);
        const double clampHi = std::min(hi, static_cast<double>(width));
        if (clampLo <= clampHi)
          Span(py, static_cast<int>(clampLo), static_cast<int>(clampHi), pixel);
      }
    }
  }
};

}  // namespace velmora::oracle

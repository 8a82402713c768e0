// A thin line as the canvas drew it before lines inside the buffer took their own path:
// Bresenham's loop from the first point up to, but not including, the last, every pixel
// tested against the buffer. The oracle of the canvas's thin lines.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "canvas/raster_canvas.h"

namespace velmora::oracle {

inline void PlainThinLine(const PixelBuffer& buffer, int x1, int y1, int x2, int y2,
                          uint32_t pixel) {
  long long x = x1, y = y1;
  const long long dx = std::llabs(static_cast<long long>(x2) - x1);
  const long long dy = -std::llabs(static_cast<long long>(y2) - y1);
  const int sx = x1 < x2 ? 1 : -1;
  const int sy = y1 < y2 ? 1 : -1;
  long long err = dx + dy;
  while (!(x == x2 && y == y2)) {
    if (x >= 0 && y >= 0 && x < buffer.width && y < buffer.height)
      buffer.bits[static_cast<size_t>(y) * static_cast<size_t>(buffer.stride) +
                  static_cast<size_t>(x)] = pixel;
    const long long e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

}  // namespace velmora::oracle

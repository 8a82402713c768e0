#include "canvas/raster_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace velmora {

uint32_t RasterCanvas::PixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= buffer_.width || y >= buffer_.height) return 0xFFFFFFFFu;
  return FromPixel(buffer_.bits[static_cast<size_t>(y) * buffer_.stride + x]);
}

void RasterCanvas::Plot(int x, int y, uint32_t pixel) {
  if (x < 0 || y < 0 || x >= buffer_.width || y >= buffer_.height) return;
  if (underlay_) return PlotUnder(x, y, pixel);
  buffer_.bits[static_cast<size_t>(y) * buffer_.stride + x] = pixel;
}

void RasterCanvas::Span(int y, int xFrom, int xTo, uint32_t pixel) {
  if (y < 0 || y >= buffer_.height) return;
  xFrom = std::max(xFrom, 0);
  xTo = std::min(xTo, buffer_.width - 1);
  if (xFrom > xTo) return;
  if (underlay_) {
    for (int x = xFrom; x <= xTo; ++x) PlotUnder(x, y, pixel);
    return;
  }
  uint32_t* row = buffer_.bits + static_cast<size_t>(y) * buffer_.stride;
  std::fill(row + xFrom, row + xTo + 1, pixel);
}

void RasterCanvas::DoRectangle(int x1, int y1, int x2, int y2) {
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  if (x2 - x1 < 1 || y2 - y1 < 1) return;
  const uint32_t fill = PixelOf(BrushColor());
  const CanvasPen& pen = Pen();
  const int right = x2 - 1;
  const int bottom = y2 - 1;
  if (pen.style == PenStyle::Clear) {
    for (int y = y1; y <= bottom; ++y) Span(y, x1, right, fill);
    return;
  }
  const uint32_t edge = PixelOf(pen.color);
  // The outline straddles the box edges for wide pens, so that a width-w frame covers w
  // pixels centred on the one-pixel frame of a thin pen.
  const int w = std::max(pen.width, 1);
  const int out = (w - 1) / 2;  // pixels outside the thin frame
  const int in = w - 1 - out;   // pixels inside it
  for (int y = y1 + 1 + in; y <= bottom - 1 - in; ++y) Span(y, x1 + 1 + in, right - 1 - in, fill);
  for (int k = -out; k <= in; ++k) {
    Span(y1 + k, x1 - out, right + out, edge);
    Span(bottom - k, x1 - out, right + out, edge);
    for (int y = y1 - out; y <= bottom + out; ++y) {
      Plot(x1 + k, y, edge);
      Plot(right - k, y, edge);
    }
  }
}

void RasterCanvas::DoEllipse(int x1, int y1, int x2, int y2) {
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  if (x2 - x1 < 1 || y2 - y1 < 1) return;
  const double cx = (x1 + x2) / 2.0;
  const double cy = (y1 + y2) / 2.0;
  const double rx = (x2 - x1) / 2.0;
  const double ry = (y2 - y1) / 2.0;
  auto inside = [&](int px, int py) {
    if (px < x1 || px >= x2 || py < y1 || py >= y2) return false;
    const double ex = (px + 0.5 - cx) / rx;
    const double ey = (py + 0.5 - cy) / ry;
    return ex * ex + ey * ey <= 1.0;
  };
  const uint32_t fill = PixelOf(BrushColor());
  const bool outlined = Pen().style != PenStyle::Clear;
  const uint32_t edge = PixelOf(Pen().color);
  for (int py = y1; py < y2; ++py) {
    for (int px = x1; px < x2; ++px) {
      if (!inside(px, py)) continue;
      const bool border =
          !inside(px - 1, py) || !inside(px + 1, py) || !inside(px, py - 1) || !inside(px, py + 1);
      Plot(px, py, outlined && border ? edge : fill);
    }
  }
}

void RasterCanvas::DoLine(int x1, int y1, int x2, int y2) {
  const CanvasPen& pen = Pen();
  if (pen.style == PenStyle::Clear) return;
  const uint32_t pixel = PixelOf(pen.color);
  if (pen.width <= 1)
    ThinLine(x1, y1, x2, y2, pixel);
  else
    ThickLine(x1, y1, x2, y2, pen.width, pixel);
}

void RasterCanvas::ThinLine(int x1, int y1, int x2, int y2, uint32_t pixel) {
  // Bresenham from the first point up to, but not including, the last.
  long long x = x1, y = y1;
  const long long dx = std::llabs(static_cast<long long>(x2) - x1);
  const long long dy = -std::llabs(static_cast<long long>(y2) - y1);
  const int sx = x1 < x2 ? 1 : -1;
  const int sy = y1 < y2 ? 1 : -1;
  long long err = dx + dy;
  // A line with both ends inside the buffer stays inside it: its pixels step monotonically from
  // the first end toward the second. Such a line is drawn without a test per pixel and without
  // the error term's chain from pixel to pixel, yet pixel for pixel as the loop below draws it:
  // that loop takes exactly `major` = max(dx, |dy|) steps, each one pixel along the longer
  // axis, and after n steps has made floor((2 minor n + major) / (2 major)) steps along the
  // shorter one (minor = min(dx, |dy|)). That quotient is read off a 32.32 fixed-point sum that
  // starts at one half and grows by minor / major rounded up: the sum is never below the
  // quotient and exceeds it by less than n / 2^32, which for n < 2^15 stays below the
  // 1 / (2 major) that separates a fraction of the quotient from the next whole number.
  const long long major = std::max(dx, -dy);
  if (x1 >= 0 && x2 >= 0 && y1 >= 0 && y2 >= 0 && x1 < buffer_.width && x2 < buffer_.width &&
      y1 < buffer_.height && y2 < buffer_.height && major < (1 << 15)) {
    if (underlay_) return ThinLineUnder(x1, y1, x2, y2, pixel);
    const long long minor = std::min(dx, -dy);
    const ptrdiff_t stepX = sx;
    const ptrdiff_t stepY = static_cast<ptrdiff_t>(sy) * buffer_.stride;
    const ptrdiff_t majorStep = dx >= -dy ? stepX : stepY;
    const ptrdiff_t minorStep = dx >= -dy ? stepY : stepX;
    uint32_t* const first = buffer_.bits + static_cast<ptrdiff_t>(y1) * buffer_.stride + x1;
    if (major == 0) return;
    const uint64_t slope =
        ((static_cast<uint64_t>(minor) << 32) + static_cast<uint64_t>(major) - 1) /
        static_cast<uint64_t>(major);
    // The whole part of the sum grows by 0 or 1 per step (slope is at most 2^32): the pointer
    // follows it, one step along the longer axis and, when the whole part grows, one along the
    // shorter.
    uint64_t sum = uint64_t{1} << 31;
    uint32_t* p = first;
    for (long long n = major; n > 0; --n) {
      *p = pixel;
      const uint64_t next = sum + slope;
      p += (next >> 32) != (sum >> 32) ? majorStep + minorStep : majorStep;
      sum = next;
    }
    return;
  }
  // Lines far outside the buffer are skipped: nothing of them can show.
  const long long limit = 4LL * (buffer_.width + buffer_.height) + 4;
  if (std::min<long long>(x1, x2) > buffer_.width + limit || std::max<long long>(x1, x2) < -limit ||
      std::min<long long>(y1, y2) > buffer_.height + limit || std::max<long long>(y1, y2) < -limit)
    return;
  while (!(x == x2 && y == y2)) {
    Plot(static_cast<int>(x), static_cast<int>(y), pixel);
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

namespace {
// Integer interval of p with lo <= a*p + b < hi (halfOpen) or lo <= a*p + b <= hi.
bool SolveLinear(double a, double b, double lo, double hi, bool halfOpen, double& from,
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

// The rows of a wide line's band in a buffer of the given size, appended to spans as pairs of
// first and last pixel (first > last where the row is empty), from row yFirst down.
void WideLineRows(int x1, int y1, int x2, int y2, int width, int bufferWidth, int bufferHeight,
                  int& yFirst, std::vector<int32_t>& spans) {
  const double r = width / 2.0;
  const double dx = static_cast<double>(x2) - x1;
  const double dy = static_cast<double>(y2) - y1;
  const double length = std::sqrt(dx * dx + dy * dy);
  const int yTop = std::max(0, static_cast<int>(std::floor(std::min(y1, y2) - r)));
  const int yBottom = std::min(bufferHeight - 1, static_cast<int>(std::ceil(std::max(y1, y2) + r)));
  const double ux = length > 0 ? dx / length : 0.0;
  const double uy = length > 0 ? dy / length : 0.0;
  const double nx = -uy;
  const double ny = ux;
  yFirst = yTop;
  for (int py = yTop; py <= yBottom; ++py) {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    // Round ends: discs of radius r around both end points.
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
    // Body: signed distance across the line in [-r, r), position along it in [0, length].
    if (length > 0) {
      double a1, b1, a2, b2;
      if (SolveLinear(nx, (py - y1) * ny - x1 * nx, -r, r, true, a1, b1) &&
          SolveLinear(ux, (py - y1) * uy - x1 * ux, 0.0, length, false, a2, b2)) {
        const double from = std::max(a1, a2);
        const double to = std::min(b1, b2);
        if (from <= to) {
          lo = std::min(lo, from);
          hi = std::max(hi, to);
        }
      }
    }
    int32_t first = 1, last = 0;
    if (lo <= hi) {
      const double clampLo = std::max(lo, -1.0);
      const double clampHi = std::min(hi, static_cast<double>(bufferWidth));
      if (clampLo <= clampHi) {
        first = static_cast<int32_t>(clampLo);
        last = static_cast<int32_t>(clampHi);
      }
    }
    spans.push_back(first);
    spans.push_back(last);
  }
}

}  // namespace

uint64_t RasterCanvas::BandKeyHash::operator()(const BandKey& key) const {
  uint64_t h = 0x9E3779B97F4A7C15ull;
  for (const int v : {key.x1, key.y1, key.x2, key.y2, key.width})
    h = MixBits(h ^ static_cast<uint32_t>(v));
  return h;
}

void RasterCanvas::ForgetBands() {
  bands_.Release();
  bandSpans_.clear();
}

void RasterCanvas::ThickLine(int x1, int y1, int x2, int y2, int width, uint32_t pixel) {
  // The band is the same whichever end the line is drawn from, so a link drawn from both of
  // its nodes covers one band.
  if (y1 > y2 || (y1 == y2 && x1 > x2)) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  const BandKey key{x1, y1, x2, y2, width};
  const Band* band = bands_.Find(key);
  if (band == nullptr) {
    // The remembered rows are bounded: past the limit they are all forgotten and gathered
    // anew from the lines drawn after.
    constexpr size_t kMaxRememberedRows = size_t{1} << 20;
    if (bandSpans_.size() / 2 + static_cast<size_t>(std::max(buffer_.height, 0)) >
        kMaxRememberedRows)
      ForgetBands();
    Band rows{0, 0, bandSpans_.size()};
    WideLineRows(x1, y1, x2, y2, width, buffer_.width, buffer_.height, rows.yFirst, bandSpans_);
    rows.rows = static_cast<int>((bandSpans_.size() - rows.offset) / 2);
    band = bands_.Insert(key, rows).first;
  }
  const int32_t* spans = bandSpans_.data() + band->offset;
  if (underlay_) {
    for (int k = 0; k < band->rows; ++k)
      if (spans[2 * k] <= spans[2 * k + 1])
        Span(band->yFirst + k, spans[2 * k], spans[2 * k + 1], pixel);
    return;
  }
  // The band's rows lie within the buffer's height, as it was when they were gathered (a new
  // buffer forgets the bands); only the ends are clamped here.
  const int lastX = buffer_.width - 1;
  uint32_t* row = buffer_.bits + static_cast<size_t>(band->yFirst) * buffer_.stride;
  for (int k = 0; k < band->rows; ++k, row += buffer_.stride) {
    const int first = std::max(spans[2 * k], 0), last = std::min(spans[2 * k + 1], lastX);
    for (int x = first; x <= last; ++x) row[x] = pixel;
  }
}

}  // namespace velmora

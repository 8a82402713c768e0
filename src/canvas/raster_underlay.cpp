// Drawing beneath earlier drawings on the raster canvas.
//
// Every pixel set since BeginUnderlay has its bit in covered_, and every 8 x 8 tile counts the
// buffer's pixels in it that are still free. A drawing sets only free pixels, so each pixel
// takes the colour of the first drawing that reaches it; drawings made in reverse order thus
// leave what drawing them in order leaves, where the last one to reach a pixel wins.
//
// Thin lines with both ends in the buffer (by far the most) are walked tile by tile: the pixels
// of one tile column (or row) along the line's longer axis lie in at most two tiles across it,
// since the shorter axis moves at most one pixel per step. When both tiles are full, none of
// those pixels can change and the walk jumps past them; otherwise it takes them one by one. It
// first tries the same with the blocks, to jump up to 64 pixels at once.
// The pixels are those of RasterCanvas::ThinLine's fixed-point walk: pixel n lies n steps along
// the longer axis and floor((2^31 + n * slope) / 2^32) steps along the shorter one, which is
// where that walk's pointer stands after n steps (its sum starts at 2^31 and grows by slope per
// step, and the pointer moves along the shorter axis whenever the whole part grows).
#include <algorithm>
#include <cstdlib>
#include <type_traits>

#include "canvas/raster_canvas.h"

namespace velmora {

bool RasterCanvas::BeginUnderlay() {
  if (buffer_.bits == nullptr || buffer_.width <= 0 || buffer_.height <= 0) return false;
  const auto width = static_cast<size_t>(buffer_.width);
  const auto height = static_cast<size_t>(buffer_.height);
  covered_.assign((width * height + 63) / 64, 0);
  // Each square of 2^shift pixels starts with its pixels inside the buffer free.
  auto squares = [&](auto& left, size_t& columns, int shift) {
    const size_t side = size_t{1} << shift;
    columns = (width + side - 1) / side;
    const size_t rows = (height + side - 1) / side;
    left.resize(columns * rows);
    for (size_t r = 0; r < rows; ++r)
      for (size_t c = 0; c < columns; ++c)
        left[r * columns + c] = static_cast<std::decay_t<decltype(left[0])>>(
            std::min(side, width - c * side) * std::min(side, height - r * side));
  };
  squares(tileLeft_, tileColumns_, kTileShift);
  squares(blockLeft_, blockColumns_, kBlockShift);
  underlay_ = true;
  return true;
}

void RasterCanvas::EndUnderlay() {
  underlay_ = false;
  std::vector<uint64_t>().swap(covered_);
  std::vector<uint8_t>().swap(tileLeft_);
  std::vector<uint16_t>().swap(blockLeft_);
}

void RasterCanvas::ThinLineUnder(int x1, int y1, int x2, int y2, uint32_t pixel) {
  const int dx = std::abs(x2 - x1);
  const int dy = std::abs(y2 - y1);
  const int major = std::max(dx, dy);
  if (major == 0) return;
  const int minor = std::min(dx, dy);
  const bool xMajor = dx >= dy;
  // a: the coordinate along the longer axis, b: along the shorter one.
  const int a0 = xMajor ? x1 : y1;
  const int b0 = xMajor ? y1 : x1;
  const int sa = (xMajor ? x1 < x2 : y1 < y2) ? 1 : -1;
  const int sb = (xMajor ? y1 < y2 : x1 < x2) ? 1 : -1;
  const uint64_t slope = ((static_cast<uint64_t>(minor) << 32) + static_cast<uint64_t>(major) - 1) /
                         static_cast<uint64_t>(major);
  constexpr uint64_t kHalf = uint64_t{1} << 31;
  // The free pixels of the tile (block: of the 64 x 64 square) holding a pixel given by its
  // coordinates along and across.
  auto tile = [&](int a, int b) -> uint8_t {
    const size_t ta = static_cast<size_t>(a >> kTileShift);
    const size_t tb = static_cast<size_t>(b >> kTileShift);
    return tileLeft_[xMajor ? tb * tileColumns_ + ta : ta * tileColumns_ + tb];
  };
  auto block = [&](int a, int b) -> uint16_t {
    const size_t ta = static_cast<size_t>(a >> kBlockShift);
    const size_t tb = static_cast<size_t>(b >> kBlockShift);
    return blockLeft_[xMajor ? tb * blockColumns_ + ta : ta * blockColumns_ + tb];
  };
  // The pixels from n on whose coordinate along lies in the same stretch of 2^shift pixels as
  // pixel n's, and their first and last coordinates across: these pixels lie in at most two
  // tiles (blocks) of that stretch, as the coordinate across moves less than 2^shift.
  struct Run {
    int along, count, acrossFirst, acrossLast;
  };
  auto runFrom = [&](int n, int shift) {
    const int along = a0 + n * sa;
    const int mask = (1 << shift) - 1;
    const int inStretch = sa > 0 ? mask + 1 - (along & mask) : (along & mask) + 1;
    const int count = std::min(inStretch, major - n);
    const uint64_t sum = kHalf + static_cast<uint64_t>(n) * slope;
    return Run{along, count, b0 + static_cast<int>(sum >> 32) * sb,
               b0 + static_cast<int>((sum + static_cast<uint64_t>(count - 1) * slope) >> 32) * sb};
  };
  for (int n = 0; n < major;) {
    const Run wide = runFrom(n, kBlockShift);
    if (block(wide.along, wide.acrossFirst) == 0 && block(wide.along, wide.acrossLast) == 0) {
      n += wide.count;
      continue;
    }
    const Run run = runFrom(n, kTileShift);
    n += run.count;
    if (tile(run.along, run.acrossFirst) == 0 && tile(run.along, run.acrossLast) == 0) continue;
    uint64_t sum = kHalf + static_cast<uint64_t>(n - run.count) * slope;
    for (int k = 0; k < run.count; ++k, sum += slope) {
      const int along = run.along + k * sa;
      const int across = b0 + static_cast<int>(sum >> 32) * sb;
      if (xMajor)
        PlotUnder(along, across, pixel);
      else
        PlotUnder(across, along, pixel);
    }
  }
}

}  // namespace velmora

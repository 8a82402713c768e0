// A canvas that rasterises into a 32-bit pixel buffer (0xAARRGGBB per pixel, the layout of a
// QImage in Format_RGB32). It holds no window-framework type, so it serves the window's
// layers and the model's tests alike.
//
// Pixel rules: Rectangle and Ellipse cover the box [x1, x2) x [y1, y2) with a one-pixel
// outline in the pen; a pen of width 0 or 1 draws lines one pixel wide without their last
// pixel; a wider pen draws a solid band of that width with round ends. No antialiasing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "canvas/canvas.h"
#include "engine/flat_map.h"

namespace velmora {

struct PixelBuffer {
  uint32_t* bits = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;  // in pixels
};

// The buffer value of a colour, and back.
constexpr uint32_t ToPixel(TColor c) {
  return 0xFF000000u | (static_cast<uint32_t>(RedOf(c)) << 16) |
         (static_cast<uint32_t>(GreenOf(c)) << 8) | static_cast<uint32_t>(BlueOf(c));
}
constexpr TColor FromPixel(uint32_t p) {
  return RGBColor(static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
                  static_cast<int>(p & 0xFF));
}

class RasterCanvas : public Canvas {
 public:
  RasterCanvas() = default;
  explicit RasterCanvas(PixelBuffer buffer) : buffer_(buffer) {}
  void SetBuffer(PixelBuffer buffer) {
    EndUnderlay();
    buffer_ = buffer;
    ForgetBands();
  }
  const PixelBuffer& Buffer() const { return buffer_; }
  // Black drawn as a fully transparent pixel (0x00000000) instead of opaque black, for a layer
  // that lets the one beneath show through where it is black.
  void SetBlackTransparent(bool transparent) { blackTransparent_ = transparent; }

  // The colour of a pixel (0x00BBGGRR); outside the buffer reads as 0xFFFFFFFF.
  uint32_t PixelAt(int x, int y) const;

  bool BeginUnderlay() override;
  void EndUnderlay() override;

 protected:
  void DoRectangle(int x1, int y1, int x2, int y2) override;
  void DoEllipse(int x1, int y1, int x2, int y2) override;
  void DoLine(int x1, int y1, int x2, int y2) override;

 private:
  uint32_t PixelOf(TColor c) const {
    return blackTransparent_ && (c & 0x00FFFFFFu) == 0 ? 0u : ToPixel(c);
  }
  void Plot(int x, int y, uint32_t pixel);
  void Span(int y, int xFrom, int xTo, uint32_t pixel);  // inclusive, clipped
  void ThinLine(int x1, int y1, int x2, int y2, uint32_t pixel);
  void ThickLine(int x1, int y1, int x2, int y2, int width, uint32_t pixel);
  // Sets a pixel inside the buffer that no drawing since BeginUnderlay has set.
  void PlotUnder(int x, int y, uint32_t pixel) {
    const size_t bit =
        static_cast<size_t>(y) * static_cast<size_t>(buffer_.width) + static_cast<size_t>(x);
    uint64_t& word = covered_[bit / 64];
    const uint64_t mask = uint64_t{1} << (bit % 64);
    if ((word & mask) != 0) return;
    word |= mask;
    --tileLeft_[static_cast<size_t>(y >> kTileShift) * tileColumns_ + (x >> kTileShift)];
    --blockLeft_[static_cast<size_t>(y >> kBlockShift) * blockColumns_ + (x >> kBlockShift)];
    buffer_.bits[static_cast<size_t>(y) * buffer_.stride + x] = pixel;
  }
  // A thin line with both ends in the buffer, under the earlier drawings.
  void ThinLineUnder(int x1, int y1, int x2, int y2, uint32_t pixel);

  // The rows of wide lines already drawn, by end points and width. A network is drawn again and
  // again with the same segments, so the rows of a band are worked out once and then only
  // filled. A band's rows depend on nothing but its end points, its width and the buffer's
  // size.
  struct BandKey {
    int x1, y1, x2, y2, width;
    bool operator==(const BandKey&) const = default;
  };
  struct BandKeyHash {
    uint64_t operator()(const BandKey& key) const;
  };
  struct Band {
    int yFirst;
    int rows;
    size_t offset;  // into bandSpans_: first and last pixel of every row, first > last if none
  };
  void ForgetBands();

  PixelBuffer buffer_;
  bool blackTransparent_ = false;

  // While underlay_: the pixels set since BeginUnderlay, a bit each (row-major, width bits a
  // row), and per tile of 8 x 8 pixels the buffer's pixels in it not yet set.
  static constexpr int kTileShift = 3;
  static constexpr int kBlockShift = 6;
  bool underlay_ = false;
  std::vector<uint64_t> covered_;
  std::vector<uint8_t> tileLeft_;
  size_t tileColumns_ = 0;
  std::vector<uint16_t> blockLeft_;  // the same per block of 64 x 64 pixels
  size_t blockColumns_ = 0;
  FlatMap<BandKey, Band, BandKeyHash> bands_;
  std::vector<int32_t> bandSpans_;
};

}  // namespace velmora

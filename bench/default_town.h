// The default town (the three pictures in pictures/) read from the source tree, for the
// figures at cell size 1. The pictures are the 24-bit bitmaps tools/make_town.cpp writes.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "canvas/raster_canvas.h"
#include "headless/headless_host.h"
#include "support/plain_line.h"

namespace velmora::bench {

// An uncompressed 24-bit bitmap with bottom-up rows, as the town generator writes it.
class BmpPicture : public Picture {
 public:
  explicit BmpPicture(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                           std::istreambuf_iterator<char>());
    auto u32 = [&](size_t at) {
      return static_cast<uint32_t>(bytes.at(at)) | (static_cast<uint32_t>(bytes.at(at + 1)) << 8) |
             (static_cast<uint32_t>(bytes.at(at + 2)) << 16) |
             (static_cast<uint32_t>(bytes.at(at + 3)) << 24);
    };
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M' || bytes.at(28) != 24)
      throw std::runtime_error("not a 24-bit bitmap: " + path);
    const uint32_t offset = u32(10);
    width_ = static_cast<int>(u32(18));
    height_ = static_cast<int>(u32(22));
    const size_t stride = (static_cast<size_t>(width_) * 3 + 3) / 4 * 4;
    pixels_.resize(static_cast<size_t>(width_) * height_);
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) {
        const size_t at = offset + static_cast<size_t>(height_ - 1 - y) * stride + x * 3u;
        pixels_[static_cast<size_t>(y) * width_ + x] =
            static_cast<uint32_t>(bytes.at(at + 2)) |
            (static_cast<uint32_t>(bytes.at(at + 1)) << 8) |
            (static_cast<uint32_t>(bytes.at(at)) << 16);
      }
  }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  uint32_t Pixel(int x, int y) const override {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return kInvalidColor;
    return pixels_[static_cast<size_t>(y) * width_ + x];
  }

 private:
  int width_ = 0, height_ = 0;
  std::vector<uint32_t> pixels_;
};

// A canvas whose thin lines test every pixel against the buffer, as the canvas drew them
// before lines inside the buffer took their own path.
class CheckedLineCanvas : public RasterCanvas {
 public:
  using RasterCanvas::RasterCanvas;
  // Nor does it draw beneath: the lines go in order, each over the ones before.
  bool BeginUnderlay() override { return false; }

 protected:
  void DoLine(int x1, int y1, int x2, int y2) override {
    if (Pen().width > 1 || Pen().style == PenStyle::Clear)
      return RasterCanvas::DoLine(x1, y1, x2, y2);
    oracle::PlainThinLine(Buffer(), x1, y1, x2, y2, ToPixel(Pen().color));
  }
};

// The headless host with the default town's pictures. With checkedLines set, the base layer
// draws its thin lines the checked way.
class TownHost : public HeadlessHost {
 public:
  bool checkedLines = false;
  Canvas& BaseCanvas() override {
    Canvas& base = HeadlessHost::BaseCanvas();
    if (!checkedLines) return base;
    if (!checked_) checked_ = std::make_unique<CheckedLineCanvas>(this->base->canvas.Buffer());
    return *checked_;
  }

  std::unique_ptr<Picture> LoadPicture(const std::string& path) override {
    return std::make_unique<BmpPicture>(std::string(VELMORA_PICTURES) + "/" +
                                        path.substr(path.rfind('/') + 1));
  }

 private:
  std::unique_ptr<CheckedLineCanvas> checked_;
};

}  // namespace velmora::bench

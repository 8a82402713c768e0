// The window stand-in for running the model without a window: the model tests, the benchmarks
// and headless tools. Edit texts in a map (the window's defaults to start with), captions,
// timer and chart recorded, both layers rasterised into plain buffers, and pictures held in
// memory: by path, or one uniform picture for every path.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "canvas/raster_canvas.h"
#include "model/host.h"

namespace velmora {

// An in-memory picture; pixels are 0x00BBGGRR.
class MemoryPicture : public Picture {
 public:
  MemoryPicture(int width, int height, uint32_t fill = 0x00FFFFFF)
      : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  uint32_t Pixel(int x, int y) const override {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return kInvalidColor;
    return pixels_[static_cast<size_t>(y) * width_ + x];
  }
  void Set(int x, int y, uint32_t color) { pixels_[static_cast<size_t>(y) * width_ + x] = color; }

 private:
  int width_, height_;
  std::vector<uint32_t> pixels_;
};

// A picture of one colour, without a pixel buffer.
class UniformPicture : public Picture {
 public:
  UniformPicture(int width, int height, uint32_t color)
      : width_(width), height_(height), color_(color) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  uint32_t Pixel(int x, int y) const override {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return kInvalidColor;
    return color_;
  }

 private:
  int width_, height_;
  uint32_t color_;
};

// A drawing layer: a white buffer with its canvas.
struct Layer {
  Layer(int width, int height);
  std::vector<uint32_t> pixels;
  RasterCanvas canvas;
  uint32_t At(int x, int y) const { return canvas.PixelAt(x, y); }
};

class HeadlessHost : public Host {
 public:
  HeadlessHost();

  std::map<EditBox, std::string> edits;
  std::map<ValueLabel, std::string> captions;
  ShowFilter filter = ShowFilter::All;
  int width = kDefaultImageWidth;
  int height = kDefaultImageHeight;
  std::string exeDir = "/velmora/";
  // Pictures by full path; a missing path fails like a missing file.
  std::map<std::string, std::shared_ptr<MemoryPicture>> pictures;
  // When set, every path reads as a picture of this colour at the drawing area's size.
  std::optional<uint32_t> uniformPictures;
  std::vector<std::string> loadedPaths;
  bool timerEnabled = false;
  int timerInterval = kDefaultTimerInterval;
  int timerIntervalSets = 0;
  std::vector<std::pair<double, double>> chartPoints;
  int chartClears = 0;
  double chartLine = kInitialChartLine;
  int chartShows = 0;
  std::unique_ptr<Layer> base;
  std::unique_ptr<Layer> overlay;
  int overlaysCreated = 0;
  // Where commands tell their progress; nowhere when null.
  const Progress* progress = nullptr;

  // Puts a picture under its file name in the pictures folder.
  void SetPicture(const std::string& fileName, std::shared_ptr<MemoryPicture> picture);

  std::string EditText(EditBox box) const override;
  void SetCaption(ValueLabel label, const std::string& caption) override;
  ShowFilter CheckedFilter() const override { return filter; }
  int ImageWidth() const override { return width; }
  int ImageHeight() const override { return height; }
  Canvas& BaseCanvas() override;
  void CreateOverlay() override;
  void DestroyOverlay() override { overlay.reset(); }
  Canvas* OverlayCanvas() override { return overlay ? &overlay->canvas : nullptr; }
  std::string ExecutableDir() const override { return exeDir; }
  std::unique_ptr<Picture> LoadPicture(const std::string& path) override;
  bool TimerEnabled() const override { return timerEnabled; }
  void SetTimerEnabled(bool enabled) override { timerEnabled = enabled; }
  void SetTimerInterval(int ms) override {
    timerInterval = ms;
    ++timerIntervalSets;
  }
  void ChartClear() override {
    chartPoints.clear();
    ++chartClears;
  }
  void ChartAddPoint(double x, double y) override { chartPoints.emplace_back(x, y); }
  void ChartSetLine(double x) override { chartLine = x; }
  void ChartShow() override { ++chartShows; }
  const Progress& CommandProgress() override { return progress ? *progress : kNoProgress; }
};

}  // namespace velmora

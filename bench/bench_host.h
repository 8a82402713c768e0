// A window stand-in for benchmarks: default edit texts, captions kept, both layers rasterised
// into plain buffers, and every picture read as a uniform picture of one colour (black by
// default: 255 workers, workplaces and retail units in every cell).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "model/host.h"
#include "canvas/raster_canvas.h"

namespace velmora::bench {

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

class BenchHost : public Host {
 public:
  struct Layer {
    Layer(int width, int height)
        : pixels(static_cast<size_t>(width) * height, ToPixel(clWhite)),
          canvas(PixelBuffer{pixels.data(), width, height, width}) {}
    std::vector<uint32_t> pixels;
    RasterCanvas canvas;
  };

  BenchHost() {
    edits = {{EditBox::CellScale, "30"}, {EditBox::NodeNumber, "41"}, {EditBox::ConDist, "130"},
             {EditBox::RepDist, "40"},   {EditBox::STD, "1,0"},       {EditBox::MDep, "8"},
             {EditBox::EDep, "17"},      {EditBox::TScale, "10"},     {EditBox::TInterv, "1"},
             {EditBox::TimeScale, "6"}};
  }

  std::map<EditBox, std::string> edits;
  std::map<ValueLabel, std::string> captions;
  int width = 640;
  int height = 666;
  uint32_t pictureColor = 0x00000000;
  std::unique_ptr<Layer> base;
  std::unique_ptr<Layer> overlay;
  bool timerEnabled = false;
  double chartLine = 0.0;

  std::string EditText(EditBox box) const override {
    auto it = edits.find(box);
    return it == edits.end() ? std::string() : it->second;
  }
  void SetCaption(ValueLabel label, const std::string& caption) override {
    captions[label] = caption;
  }
  ShowFilter CheckedFilter() const override { return ShowFilter::All; }
  int ImageWidth() const override { return width; }
  int ImageHeight() const override { return height; }
  Canvas& BaseCanvas() override {
    if (!base) base = std::make_unique<Layer>(width, height);
    return base->canvas;
  }
  void CreateOverlay() override { overlay = std::make_unique<Layer>(width, height); }
  void DestroyOverlay() override { overlay.reset(); }
  Canvas* OverlayCanvas() override { return overlay ? &overlay->canvas : nullptr; }
  std::string ExecutableDir() const override { return "/bench/"; }
  std::unique_ptr<Picture> LoadPicture(const std::string&) override {
    return std::make_unique<UniformPicture>(width, height, pictureColor);
  }
  bool TimerEnabled() const override { return timerEnabled; }
  void SetTimerEnabled(bool enabled) override { timerEnabled = enabled; }
  void SetTimerInterval(int) override {}
  void ChartClear() override {}
  void ChartAddPoint(double, double) override {}
  void ChartSetLine(double x) override { chartLine = x; }
  void ChartShow() override {}
};

}  // namespace velmora::bench

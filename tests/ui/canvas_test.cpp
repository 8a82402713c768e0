// The raster rules of the canvas on a real QImage: boxes exclude their right and bottom edges,
// thin pens draw one pixel, wide pens draw bands of their width, the pen state is retained.
#include <gtest/gtest.h>

#include <QImage>
#include <array>
#include <random>
#include <vector>

#include "canvas/raster_canvas.h"
#include "support/plain_line.h"
#include "ui/layer_view.h"

namespace velmora {
namespace {

struct ImageCanvas {
  QImage image{100, 80, QImage::Format_RGB32};
  RasterCanvas canvas;
  ImageCanvas() {
    image.fill(Qt::white);
    canvas.SetBuffer(PixelBuffer{reinterpret_cast<uint32_t*>(image.bits()), image.width(),
                                 image.height(), static_cast<int>(image.bytesPerLine() / 4)});
  }
  QRgb At(int x, int y) const { return image.pixel(x, y) & 0xFFFFFF; }
  // Number of pixels of a colour in column x.
  int CountInColumn(int x, QRgb colour) const {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) n += At(x, y) == colour;
    return n;
  }
  int CountInRow(int y, QRgb colour) const {
    int n = 0;
    for (int x = 0; x < image.width(); ++x) n += At(x, y) == colour;
    return n;
  }
};

constexpr QRgb kRed = 0xFF0000, kYellow = 0xFFFF00, kWhite = 0xFFFFFF, kSilver = 0xC0C0C0;

TEST(Canvas, RectangleExcludesRightAndBottomEdges) {
  ImageCanvas c;
  c.canvas.SetPenWidth(0);
  c.canvas.SetPenColor(clSilver);
  c.canvas.SetBrushColor(clRed);
  c.canvas.Rectangle(10, 20, 40, 50);
  EXPECT_EQ(c.At(10, 20), kSilver);
  EXPECT_EQ(c.At(39, 49), kSilver);
  EXPECT_EQ(c.At(39, 20), kSilver);
  EXPECT_EQ(c.At(40, 30), kWhite);
  EXPECT_EQ(c.At(20, 50), kWhite);
  EXPECT_EQ(c.At(11, 21), kRed);
  EXPECT_EQ(c.At(38, 48), kRed);
  EXPECT_EQ(c.At(9, 30), kWhite);
  // Clipped at the picture's edges without harm.
  c.canvas.Rectangle(-50, -50, 500, 500);
  EXPECT_EQ(c.At(0, 0), kRed);
}

TEST(Canvas, ThinLinesLeaveOutTheirLastPixel) {
  ImageCanvas c;
  c.canvas.SetPenColor(clRed);
  c.canvas.SetPenWidth(0);
  c.canvas.MoveTo(10, 10);
  c.canvas.LineTo(20, 10);
  EXPECT_EQ(c.At(10, 10), kRed);
  EXPECT_EQ(c.At(19, 10), kRed);
  EXPECT_EQ(c.At(20, 10), kWhite);
  EXPECT_EQ(c.CountInRow(10, kRed), 10);
  EXPECT_EQ(c.canvas.PenX(), 20);
  // The pen width is kept: the next line is thin too.
  c.canvas.LineTo(20, 30);
  EXPECT_EQ(c.CountInColumn(20, kRed), 20);
  // A line of no length draws nothing.
  c.canvas.MoveTo(50, 50);
  c.canvas.LineTo(50, 50);
  EXPECT_EQ(c.At(50, 50), kWhite);
}

TEST(Canvas, WidePensDrawBandsOfTheirWidth) {
  for (int width : {2, 3, 4, 5, 13}) {
    ImageCanvas c;
    c.canvas.SetPenColor(clYellow);
    c.canvas.SetPenWidth(width);
    c.canvas.MoveTo(20, 40);
    c.canvas.LineTo(80, 40);
    EXPECT_EQ(c.CountInColumn(50, kYellow), width) << width;
    ImageCanvas v;
    v.canvas.SetPenColor(clYellow);
    v.canvas.SetPenWidth(width);
    v.canvas.MoveTo(50, 10);
    v.canvas.LineTo(50, 70);
    EXPECT_EQ(v.CountInRow(40, kYellow), width) << width;
    // Round ends reach past the end points by about half the width.
    if (width <= 5) {
      EXPECT_EQ(v.At(50, 70 + (width - 1) / 2), kYellow) << width;
      EXPECT_EQ(v.At(50, 70 + width), kWhite) << width;
    }
  }
  // A diagonal band is about width / cos(45 degrees) across a column.
  ImageCanvas d;
  d.canvas.SetPenColor(clYellow);
  d.canvas.SetPenWidth(4);
  d.canvas.MoveTo(10, 10);
  d.canvas.LineTo(70, 70);
  const int across = d.CountInColumn(40, kYellow);
  EXPECT_GE(across, 5);
  EXPECT_LE(across, 7);
}

TEST(Canvas, AWideLineCoversTheSamePixelsFromEitherEnd) {
  const int ends[][4] = {{10, 10, 70, 40}, {20, 60, 80, 60}, {50, 5, 50, 75}, {90, 10, 5, 70}};
  for (const auto& e : ends) {
    ImageCanvas forward, backward;
    for (ImageCanvas* c : {&forward, &backward}) {
      c->canvas.SetPenColor(clRed);
      c->canvas.SetPenWidth(2);
    }
    forward.canvas.MoveTo(e[0], e[1]);
    forward.canvas.LineTo(e[2], e[3]);
    backward.canvas.MoveTo(e[2], e[3]);
    backward.canvas.LineTo(e[0], e[1]);
    EXPECT_EQ(forward.image, backward.image) << e[0] << "," << e[1] << " " << e[2] << "," << e[3];
  }
}

TEST(Canvas, ThinLinesMatchThePlainCheckedLoop) {
  // Random thin lines, each in a colour of its own so that the order shows, on buffers whose
  // stride exceeds their width: ends inside, partly outside and wholly outside, every
  // direction and length, and lines as long as a fine grid's lines to work.
  std::mt19937 rng(16);
  for (const auto& [width, height, reach] :
       {std::array<int, 3>{97, 61, 30}, std::array<int, 3>{700, 690, 0}}) {
    const int stride = width + 3;
    std::vector<uint32_t> fast(static_cast<size_t>(stride) * height, 0);
    std::vector<uint32_t> plain = fast;
    RasterCanvas canvas(PixelBuffer{fast.data(), width, height, stride});
    canvas.SetPenWidth(0);
    const PixelBuffer plainBuffer{plain.data(), width, height, stride};
    std::uniform_int_distribution<int> xs(-reach, width - 1 + reach),
        ys(-reach, height - 1 + reach);
    for (uint32_t k = 1; k <= 4000; ++k) {
      const int x1 = xs(rng), y1 = ys(rng), x2 = xs(rng), y2 = ys(rng);
      const TColor colour = RGBColor(static_cast<int>(k & 0xFF), static_cast<int>(k >> 8), 7);
      canvas.SetPenColor(colour);
      canvas.MoveTo(x1, y1);
      canvas.LineTo(x2, y2);
      oracle::PlainThinLine(plainBuffer, x1, y1, x2, y2, ToPixel(colour));
      if (k % 500 == 0) {
        ASSERT_EQ(fast, plain) << width << " after line " << k;
      }
    }
  }
}

TEST(Canvas, EllipseFillsItsBoxWithAnOutline) {
  ImageCanvas c;
  c.canvas.SetPenWidth(1);
  c.canvas.SetPenColor(clGreen);
  c.canvas.SetBrushColor(clRed);
  c.canvas.Ellipse(47, 47, 53, 53);  // a node disc of radius 3 at (50, 50)
  EXPECT_EQ(c.At(50, 50), kRed);
  EXPECT_EQ(c.At(49, 49), kRed);
  EXPECT_EQ(c.At(47, 50), 0x008000u);
  EXPECT_EQ(c.At(52, 50), 0x008000u);
  EXPECT_EQ(c.At(53, 50), kWhite);
  EXPECT_EQ(c.At(47, 47), kWhite);  // corners stay outside the disc
  for (int y = 40; y < 60; ++y)
    for (int x = 40; x < 60; ++x)
      if (x < 47 || x > 52 || y < 47 || y > 52) {
        EXPECT_EQ(c.At(x, y), kWhite) << x << "," << y;
      }
  // Part outside the picture is clipped.
  c.canvas.Ellipse(-3, -3, 3, 3);
  EXPECT_EQ(c.At(0, 0), kRed);
}

TEST(LayerView, BlackOverlayPixelsLetTheBaseShow) {
  LayerView view;
  view.resize(20, 10);
  Canvas& base = view.BaseCanvas();
  base.SetBrushColor(clRed);
  base.SetPenColor(clRed);
  base.Rectangle(0, 0, 20, 10);
  view.CreateOverlay();
  Canvas& overlay = *view.OverlayCanvas();
  // A new overlay canvas starts with the default pen (black, width 1) and brush (white).
  EXPECT_EQ(overlay.Pen().color, clBlack);
  EXPECT_EQ(overlay.Pen().width, 1);
  EXPECT_EQ(overlay.BrushColor(), clWhite);
  overlay.SetBrushColor(clBlack);
  overlay.Rectangle(0, 0, 20, 10);
  overlay.SetPenColor(clYellow);
  overlay.MoveTo(0, 5);
  overlay.LineTo(10, 5);
  const QImage shown = view.Composed();
  EXPECT_EQ(shown.pixel(3, 5) & 0xFFFFFF, kYellow);
  EXPECT_EQ(shown.pixel(3, 2) & 0xFFFFFF, kRed);
  view.DestroyOverlay();
  EXPECT_EQ(view.OverlayCanvas(), nullptr);
  EXPECT_EQ(view.Composed().pixel(3, 5) & 0xFFFFFF, kRed);
}

}  // namespace
}  // namespace velmora

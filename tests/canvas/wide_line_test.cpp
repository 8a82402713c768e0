// Wide lines: the canvas remembers the rows of the bands it has drawn and only fills them when
// the same band comes again. Its pixels must be those of the plain row-by-row rasteriser, kept
// here as the oracle, over fresh and remembered bands, buffer changes and the forgetting of
// bands past the canvas's limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "canvas/raster_canvas.h"
#include "support/plain_raster.h"

namespace velmora {
namespace {

using oracle::PlainBuffer;

// ---- The canvas under test, on its own buffer. ----

struct CanvasBuffer {
  CanvasBuffer(int w, int h)
      : pixels(static_cast<size_t>(w) * h, 0), canvas(PixelBuffer{pixels.data(), w, h, w}) {}
  std::vector<uint32_t> pixels;
  RasterCanvas canvas;

  void Line(int x1, int y1, int x2, int y2, int w, TColor colour) {
    canvas.SetPenColor(colour);
    canvas.SetPenWidth(w);
    canvas.MoveTo(x1, y1);
    canvas.LineTo(x2, y2);
  }
};

struct Segment {
  int x1, y1, x2, y2;
};

// Segments mostly inside a w x h buffer, some reaching out of it, some degenerate.
std::vector<Segment> RandomSegments(std::mt19937& rng, int w, int h, int count) {
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_int_distribution<int> xs(-w / 4, w + w / 4), ys(-h / 4, h + h / 4);
  std::uniform_int_distribution<int> step(-3, 3);
  std::vector<Segment> segments;
  for (int i = 0; i < count; ++i) {
    Segment s{xs(rng), ys(rng), xs(rng), ys(rng)};
    switch (kind(rng)) {
      case 0:  // a point
        s.x2 = s.x1;
        s.y2 = s.y1;
        break;
      case 1:  // horizontal
        s.y2 = s.y1;
        break;
      case 2:  // vertical
        s.x2 = s.x1;
        break;
      case 3:  // short
        s.x2 = s.x1 + step(rng);
        s.y2 = s.y1 + step(rng);
        break;
      case 4:  // diagonal
        s.y2 = s.y1 + (s.x2 - s.x1);
        break;
      default:
        break;
    }
    segments.push_back(s);
  }
  return segments;
}

constexpr TColor kColours[] = {clYellow, clRed, clLime, clBlue};

// Draws the segments several times over, with widths from a small set so that bands come back,
// and in both directions, on the canvas and on the oracle; the buffers must agree throughout.
void ExpectSamePixels(uint32_t seed, int w, int h, int segmentCount, int rounds) {
  std::mt19937 rng(seed);
  const std::vector<Segment> segments = RandomSegments(rng, w, h, segmentCount);
  PlainBuffer plain(w, h);
  CanvasBuffer fast(w, h);
  std::uniform_int_distribution<int> width(2, 14), wide(15, 90), pick(0, 9), colour(0, 3);
  for (int round = 0; round < rounds; ++round) {
    for (const Segment& s : segments) {
      const int pw = pick(rng) == 0 ? wide(rng) : width(rng);
      const TColor c = kColours[colour(rng)];
      const bool reversed = pick(rng) < 5;
      const Segment d = reversed ? Segment{s.x2, s.y2, s.x1, s.y1} : s;
      plain.ThickLine(d.x1, d.y1, d.x2, d.y2, pw, ToPixel(c));
      fast.Line(d.x1, d.y1, d.x2, d.y2, pw, c);
    }
    ASSERT_EQ(plain.pixels, fast.pixels) << "seed " << seed << " round " << round;
  }
}

TEST(WideLines, RememberedBandsGiveThePixelsOfThePlainRasteriser) {
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    ExpectSamePixels(seed, 97, 83, 40, 4);
    ExpectSamePixels(seed * 101, 640, 666, 60, 3);
  }
}

TEST(WideLines, AWideLineCoversTheSamePixelsFromEitherEnd) {
  // Drawings of the network rely on it: a link drawn from both of its nodes is drawn once.
  std::mt19937 rng(41);
  CanvasBuffer forward(131, 97), backward(131, 97);
  for (const Segment& s : RandomSegments(rng, 131, 97, 400)) {
    const int w = 2 + static_cast<int>(rng() % 9);
    forward.Line(s.x1, s.y1, s.x2, s.y2, w, kColours[w % 4]);
    backward.Line(s.x2, s.y2, s.x1, s.y1, w, kColours[w % 4]);
    ASSERT_EQ(forward.pixels, backward.pixels) << s.x1 << "," << s.y1 << " " << s.x2 << "," << s.y2;
  }
}

TEST(WideLines, BandsForgottenPastTheLimitAreWorkedOutAgain) {
  // A tall buffer makes every band thousands of rows long, so a few hundred distinct bands pass
  // the canvas's limit on remembered rows and everything is gathered anew.
  ExpectSamePixels(7, 24, 6000, 300, 3);
}

TEST(WideLines, ANewBufferOfAnotherSizeGetsItsOwnBands) {
  // The same band clipped by two buffer sizes: the rows remembered for the first must not be
  // used for the second.
  std::vector<uint32_t> small(40 * 30, 0), large(200 * 150, 0);
  RasterCanvas canvas(PixelBuffer{small.data(), 40, 30, 40});
  canvas.SetPenColor(clRed);
  canvas.SetPenWidth(9);
  canvas.MoveTo(5, 5);
  canvas.LineTo(150, 120);
  canvas.SetBuffer(PixelBuffer{large.data(), 200, 150, 200});
  canvas.MoveTo(5, 5);
  canvas.LineTo(150, 120);

  PlainBuffer plainSmall(40, 30), plainLarge(200, 150);
  plainSmall.ThickLine(5, 5, 150, 120, 9, ToPixel(clRed));
  plainLarge.ThickLine(5, 5, 150, 120, 9, ToPixel(clRed));
  EXPECT_EQ(small, plainSmall.pixels);
  EXPECT_EQ(large, plainLarge.pixels);
}

}  // namespace
TEST(WideLines, LinesDrawnInReverseBeneathGiveThePictureOfDrawingThemInOrder) {
  // Random lines over a patterned background, thin ones crowding into a few spots and some
  // wide ones, ends inside and outside: drawn in order on one buffer and in reverse beneath one
  // another on a second, the pixels must agree, also after the second buffer's underlay has
  // ended and a line is drawn over it in the usual way.
  std::mt19937 rng(23);
  const int width = 203, height = 150, stride = 211;
  std::vector<uint32_t> inOrder(static_cast<size_t>(stride) * height);
  for (size_t k = 0; k < inOrder.size(); ++k) inOrder[k] = static_cast<uint32_t>(k * 2654435761u);
  std::vector<uint32_t> reversed = inOrder;
  RasterCanvas forward(PixelBuffer{inOrder.data(), width, height, stride});
  RasterCanvas beneath(PixelBuffer{reversed.data(), width, height, stride});
  struct Line {
    int x1, y1, x2, y2, width;
    TColor colour;
  };
  std::vector<Line> lines;
  std::uniform_int_distribution<int> xs(-40, width + 40), ys(-40, height + 40);
  for (int k = 0; k < 3000; ++k) {
    const bool spot = k % 3 != 0;  // many lines from a few points, as from home cells
    const int x1 = spot ? 20 + 60 * (k % 4) : xs(rng), y1 = spot ? 30 + 40 * (k % 3) : ys(rng);
    lines.push_back(Line{x1, y1, xs(rng), ys(rng), k % 50 == 0 ? 2 + k % 3 : k % 2,
                         RGBColor(k & 0xFF, (k >> 8) & 0xFF, 99)});
  }
  for (const Line& l : lines) {
    forward.SetPenWidth(l.width);
    forward.SetPenColor(l.colour);
    forward.MoveTo(l.x1, l.y1);
    forward.LineTo(l.x2, l.y2);
  }
  ASSERT_TRUE(beneath.BeginUnderlay());
  for (auto l = lines.rbegin(); l != lines.rend(); ++l) {
    beneath.SetPenWidth(l->width);
    beneath.SetPenColor(l->colour);
    beneath.MoveTo(l->x1, l->y1);
    beneath.LineTo(l->x2, l->y2);
  }
  beneath.EndUnderlay();
  ASSERT_EQ(inOrder, reversed);
  for (RasterCanvas* c : {&forward, &beneath}) {
    c->SetPenWidth(0);
    c->SetPenColor(clRed);
    c->MoveTo(0, 0);
    c->LineTo(width - 1, height - 1);
  }
  EXPECT_EQ(inOrder, reversed);
  EXPECT_FALSE(NullCanvas().BeginUnderlay());
}

}  // namespace velmora

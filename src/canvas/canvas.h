// The drawing surface the model draws through. It keeps its pen (colour, width, style), its
// brush and its current position between calls, like a window-system canvas: a drawing that
// does not set the pen width uses what the previous drawing left.
//
// Coordinate rules: x to the right, y downward, origin top-left. Rectangle and Ellipse take
// left, top, right, bottom and exclude the right and bottom edges. A pen of width 0 or 1
// draws one pixel wide; wider pens draw like a geometric pen with round ends, so such a line
// covers the same pixels whichever of its ends it is drawn from.
//
// This header is free of any window-framework type so that the model can include it.
#pragma once

#include <cstdint>

#include "canvas/color.h"

namespace velmora {

enum class PenStyle { Solid, Dash, Dot, Clear };

struct CanvasPen {
  TColor color = clBlack;
  int width = 1;
  PenStyle style = PenStyle::Solid;
};

class Canvas {
 public:
  virtual ~Canvas() = default;

  void SetPenColor(TColor color) { pen_.color = color; }
  void SetPenWidth(int width) { pen_.width = width; }
  void SetPenStyle(PenStyle style) { pen_.style = style; }
  void SetBrushColor(TColor color) { brush_ = color; }

  const CanvasPen& Pen() const { return pen_; }
  TColor BrushColor() const { return brush_; }
  int PenX() const { return penX_; }
  int PenY() const { return penY_; }

  // Outline in the pen, inside filled with the brush; covers x1..x2-1, y1..y2-1.
  void Rectangle(int x1, int y1, int x2, int y2) { DoRectangle(x1, y1, x2, y2); }
  // The ellipse inscribed in the same box, outlined and filled the same way.
  void Ellipse(int x1, int y1, int x2, int y2) { DoEllipse(x1, y1, x2, y2); }
  void MoveTo(int x, int y) {
    penX_ = x;
    penY_ = y;
  }
  // A straight line in the pen from the current position; (x, y) becomes the position.
  void LineTo(int x, int y) {
    DoLine(penX_, penY_, x, y);
    penX_ = x;
    penY_ = y;
  }

  // Between BeginUnderlay and EndUnderlay each drawing goes beneath what was drawn since
  // BeginUnderlay: it sets only pixels none of those drawings set. Drawings made in reverse
  // order this way leave the picture that drawing them in order leaves, each one once; a
  // pixel that many drawings cover is then written once instead of once per drawing, and a
  // canvas may skip the parts of a drawing that lie wholly under earlier ones. Returns false,
  // and changes nothing, on a canvas that cannot draw this way.
  virtual bool BeginUnderlay() { return false; }
  virtual void EndUnderlay() {}

 protected:
  virtual void DoRectangle(int x1, int y1, int x2, int y2) = 0;
  virtual void DoEllipse(int x1, int y1, int x2, int y2) = 0;
  virtual void DoLine(int x1, int y1, int x2, int y2) = 0;

 private:
  CanvasPen pen_;
  TColor brush_ = clWhite;
  int penX_ = 0;
  int penY_ = 0;
};

// A canvas that draws nothing; stands in where a layer does not exist.
class NullCanvas final : public Canvas {
 protected:
  void DoRectangle(int, int, int, int) override {}
  void DoEllipse(int, int, int, int) override {}
  void DoLine(int, int, int, int) override {}
};

}  // namespace velmora

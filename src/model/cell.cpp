// The cell grid: creating, initialising and drawing the cells.
#include "model/cell.h"

#include "model/model.h"

namespace velmora {

void CellGrid::Resize(int32_t cols, int32_t rows) {
  cols_ = cols;
  rows_ = rows;
  cells_.clear();
  cells_.resize(static_cast<size_t>(cols) * static_cast<size_t>(rows));
}

void CellGrid::Clear() {
  cells_.clear();
  cells_.shrink_to_fit();
  cols_ = 0;
  rows_ = 0;
}

void TCell::Draw(Canvas& canvas) const {
  canvas.SetPenWidth(0);
  canvas.SetPenColor(clSilver);
  canvas.SetBrushColor(color);
  canvas.Rectangle(PositionX - Size, PositionY - Size, PositionX + Size, PositionY + Size);
}

void Model::CreateCells() {
  for (int32_t r = 0; r < gridRows; ++r)
    for (int32_t c = 0; c < gridCols; ++c)
      cells.Set(
          c, r,
          std::make_unique<TCell>(c * cellSize + halfCell, r * cellSize + halfCell, halfCell));
}

void Model::InitCells() {
  Canvas& base = host_.BaseCanvas();
  for (int32_t r = 0; r < gridRows; ++r) {
    for (int32_t c = 0; c < gridCols; ++c) {
      TCell* cell = cells.At(c, r);
      cell->color = clWhite;
      cell->column = c;
      cell->row = r;
      cell->Draw(base);
    }
  }
}

}  // namespace velmora

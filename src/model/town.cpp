// The town's own rules: its geometry, replacing and clearing its cells, and dropping what
// refers to nodes.
#include "model/town.h"

#include <cmath>

#include "core/error.h"

namespace velmora {

void Town::SetGeometry(int32_t size, int32_t areaWidth, int32_t areaHeight) {
  cellSize = size;
  const long double cols = std::floor(CheckedFloatDiv(areaWidth, cellSize));
  const long double rows = std::floor(CheckedFloatDiv(areaHeight, cellSize));
  gridCols = static_cast<int32_t>(cols);
  gridRows = static_cast<int32_t>(rows);
  fieldWidth = gridCols * cellSize;
  fieldHeight = gridRows * cellSize;
  halfCell = cellSize / 2;
}

void Town::NewGrid() {
  ++version_;
  workerCells.clear();
  jobCells.clear();
  retailCells.clear();
  cells.cells_.clear();
  cells.cols_ = gridCols;
  cells.rows_ = gridRows;
  cells.cells_.resize(static_cast<size_t>(gridCols) * static_cast<size_t>(gridRows));
}

void Town::PlaceCell(int32_t column, int32_t row, std::unique_ptr<TCell> cell) {
  ++version_;
  cells.cells_[static_cast<size_t>(row) * static_cast<size_t>(cells.cols_) +
               static_cast<size_t>(column)] = std::move(cell);
}

void Town::Clear() {
  ++version_;
  workerCells.clear();
  jobCells.clear();
  retailCells.clear();
  cells.cells_.clear();
  cells.cells_.shrink_to_fit();
  cells.cols_ = 0;
  cells.rows_ = 0;
}

void Town::DropNodeReferences() {
  ++version_;
  cells.ForEach([](TCell& cell) {
    cell.nearestNode = kNoNode;
    for (Trip& trip : cell.trips.trips_) trip.route.reset();
  });
}

}  // namespace velmora

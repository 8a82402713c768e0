// The town's own rules: its geometry, replacing and clearing its cells, and dropping what
// refers to nodes.
#include "model/town.h"

#include <algorithm>
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

void Town::NewGrid(const Progress& progress) {
  ReplaceCells(gridCols, gridRows, progress);
}

void Town::PlaceCell(int32_t column, int32_t row, std::unique_ptr<TCell> cell) {
  ++version_;
  cells.cells_[static_cast<size_t>(row) * static_cast<size_t>(cells.cols_) +
               static_cast<size_t>(column)] = std::move(cell);
}

void Town::Clear(const Progress& progress) {
  ReplaceCells(0, 0, progress);
}

void Town::ReplaceCells(int32_t cols, int32_t rows, const Progress& progress) {
  ++version_;
  workerCells.clear();
  jobCells.clear();
  retailCells.clear();
  // The earlier cells go with their trips, a row at a time (at the finest grid that takes a
  // while), and their room with them.
  ProgressCount gone(progress, static_cast<int64_t>(cells.cells_.size()), "clearing the grid",
                     std::max(cells.cols_, 1));
  for (auto& cell : cells.cells_) {
    cell.reset();
    gone.Tick();
  }
  std::vector<std::unique_ptr<TCell>>().swap(cells.cells_);
  cells.cols_ = cols;
  cells.rows_ = rows;
  cells.cells_.resize(static_cast<size_t>(cols) * static_cast<size_t>(rows));
}

void Town::DropNodeReferences(const Progress& progress) {
  ++version_;
  ProgressCount dropped(progress, static_cast<int64_t>(cells.cells_.size()), "removing the routes",
                        std::max(cells.cols_, 1));
  cells.ForEach([&](TCell& cell) {
    cell.nearestNode = kNoNode;
    for (Trip& trip : cell.trips.trips_) trip.route.reset();
    dropped.Tick();
  });
}

}  // namespace velmora

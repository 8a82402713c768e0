// The grid cell TCell and the per-worker commute record Trip.
#pragma once

#include <cstdint>
#include <vector>

#include "model/agent.h"
#include "canvas/canvas.h"

namespace velmora {

// destCol / destRow of a trip whose worker found no free workplace.
constexpr int32_t kNoWorkplace = -1;

struct Trip {
  int32_t destCol = 0;
  int32_t destRow = 0;
  // The nodes of the commute (work cell's node first); null until planned.
  RouteRef route;
  long double morningDeparture = 0.0L;
  long double eveningDeparture = 0.0L;

  bool HasWorkplace() const { return destCol != kNoWorkplace; }
  size_t RouteCount() const { return route ? route->size() : 0; }
};

class TCell {
 public:
  TCell(int32_t positionX, int32_t positionY, int32_t size)
      : PositionX(positionX), PositionY(positionY), Size(size) {}

  // Index of the nearest node; kNoNode until the catchment sets it.
  int32_t nearestNode = kNoNode;
  std::vector<Trip> trips;
  uint8_t workersLeft = 0;
  uint8_t placesLeft = 0;
  uint8_t retailLeft = 0;
  uint8_t workers = 0;
  uint8_t workplaces = 0;
  uint8_t retail = 0;
  TColor color = clBlack;
  int32_t PositionX = 0;
  int32_t PositionY = 0;
  int32_t column = 0;
  int32_t row = 0;
  int32_t Size = 0;

  // The cell's square: silver one-pixel outline, filled with the cell's colour.
  void Draw(Canvas& canvas) const;
};

// The cells, addressed [column][row]; owns them.
class CellGrid {
 public:
  void Resize(int32_t cols, int32_t rows);
  void Clear();
  bool Empty() const { return cells_.empty(); }
  int32_t Cols() const { return cols_; }
  int32_t Rows() const { return rows_; }
  TCell* At(int32_t column, int32_t row) const {
    return cells_[static_cast<size_t>(row) * static_cast<size_t>(cols_) + column].get();
  }
  void Set(int32_t column, int32_t row, std::unique_ptr<TCell> cell) {
    cells_[static_cast<size_t>(row) * static_cast<size_t>(cols_) + column] = std::move(cell);
  }
  // Visits every cell rows outer, columns inner.
  template <typename F>
  void ForEach(F&& f) const {
    for (const auto& cell : cells_)
      if (cell) f(*cell);
  }

 private:
  int32_t cols_ = 0;
  int32_t rows_ = 0;
  std::vector<std::unique_ptr<TCell>> cells_;  // row-major, so iteration is rows outer
};

}  // namespace velmora

// The grid cell TCell, the per-worker commute record Trip and the cell grid, and the operations
// on them: creating the cells, loading the land use, the show filter, pairing workers with
// workplaces and drawing the lines to work.
#pragma once

#include <cstdint>
#include <vector>

#include "canvas/canvas.h"
#include "model/agent.h"
#include "model/bulk_heap.h"

namespace velmora {

class Model;

// Most workers a load takes. Every worker has a trip (about 64 bytes), and planning and the
// day add an entry per departure and a vehicle per commute on the road, some 100 to 150 bytes
// per worker in all: the default town at the smallest cell size (24 million workers) takes
// about 3 GB, while three black pictures at that size would ask for 108 million trips.
// "load data" refuses a town above this before any cell changes.
constexpr int64_t kMaxWorkers = 30000000;

// destCol / destRow of a trip whose worker found no free workplace.
constexpr int32_t kNoWorkplace = -1;

struct Trip {
  int32_t destCol = 0;
  int32_t destRow = 0;
  // The nodes of the commute (work cell's node first); null until planned.
  RouteRef route;
  // Whole tenths of an hour, k times the double nearest 0.1: a double holds them exactly, and
  // takes half the room of an extended value (a fine grid has tens of millions of trips).
  double morningDeparture = 0.0;
  double eveningDeparture = 0.0;

  bool HasWorkplace() const { return destCol != kNoWorkplace; }
  size_t RouteCount() const { return route ? route->size() : 0; }
};

class TCell {
 public:
  TCell(int32_t positionX, int32_t positionY, int32_t size)
      : PositionX(positionX), PositionY(positionY), Size(size) {}

  // Index of the nearest node; kNoNode until the catchment sets it.
  int32_t nearestNode = kNoNode;
  // From the bulk heap: a fine grid has hundreds of thousands of these arrays.
  BulkVector<Trip> trips;
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
  // Counts every change of the grid's cells or trips: resizing and clearing count themselves,
  // whoever changes trips in place (their number, workplaces, departures or routes) calls
  // TripsChanged. What is built from the trips (the departure index) compares the number.
  uint64_t Version() const { return version_; }
  void TripsChanged() { ++version_; }
  void Set(int32_t column, int32_t row, std::unique_ptr<TCell> cell) {
    cells_[static_cast<size_t>(row) * static_cast<size_t>(cols_) + column] = std::move(cell);
  }
  // Visits every cell rows outer, columns inner.
  template <typename F>
  void ForEach(F&& f) const {
    for (const auto& cell : cells_)
      if (cell) f(*cell);
  }
  // The same, in the opposite order.
  template <typename F>
  void ForEachReversed(F&& f) const {
    for (auto it = cells_.rbegin(); it != cells_.rend(); ++it)
      if (*it) f(**it);
  }

 private:
  int32_t cols_ = 0;
  int32_t rows_ = 0;
  uint64_t version_ = 0;
  std::vector<std::unique_ptr<TCell>> cells_;  // row-major, so iteration is rows outer
};

// Makes a cell for every grid position, centred in its square (SetupGrid's second step).
void CreateCells(Model& m);
// Colours every cell white, gives it its column and row and draws it on the base layer.
void InitCells(Model& m);
// "load data", first half: the three pictures into the cells' counts, the cell lists, the
// colours by the show filter and the totals. Nothing changes when a picture cannot be read or
// the town has more than kMaxWorkers workers.
void LoadLandUse(Model& m);
// Colours every cell by the checked "show" radio button and draws it.
void ApplyShowFilter(Model& m);
// Pairs every worker of the worker cells at random with a free workplace of the job cells.
void AssignWorkplaces(Model& m);
// "lines to work": a line from every home cell to each of its workers' work cells.
void DrawLinesToWork(Model& m);

}  // namespace velmora

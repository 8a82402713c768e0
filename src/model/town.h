// The town: the grid of cells over the drawing area with its geometry, the cell record TCell,
// the commute record Trip of every worker, and the three lists of cells with workers,
// workplaces and retail units.
//
// A cell's trips can be read by anyone but changed only through the town (EditTrips), which
// moves the town's version with every change: what is built from the trips (the day's departure
// index) compares versions to know it must be built anew. The operations on the town are its
// part cell.h (cells, land use, show filter, pairing, lines to work); TCell::Draw is there too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "canvas/canvas.h"
#include "engine/bulk_heap.h"
#include "model/network.h"

namespace velmora {

// Most workers a load takes. Every worker has a trip (about 40 bytes), and planning and the day
// add an entry per departure and a vehicle per commute on the road, some 100 to 150 bytes per
// worker in all: the default town at the smallest cell size (24 million workers) takes about
// 1.4 GB, while three black pictures at that size would ask for 108 million trips. "load data"
// refuses a town above this before any cell changes.
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

// A cell's trips, one per worker living in it. Read-only here; the town hands them out for
// changing (Town::EditTrips). From the bulk heap: a fine grid has hundreds of thousands of these
// arrays.
class TripList {
 public:
  using const_iterator = BulkVector<Trip>::const_iterator;
  size_t size() const { return trips_.size(); }
  bool empty() const { return trips_.empty(); }
  const Trip& operator[](size_t k) const { return trips_[k]; }
  const Trip* data() const { return trips_.data(); }
  const_iterator begin() const { return trips_.begin(); }
  const_iterator end() const { return trips_.end(); }
  auto rbegin() const { return trips_.rbegin(); }
  auto rend() const { return trips_.rend(); }

 private:
  friend class Town;
  BulkVector<Trip> trips_;
};

class TCell {
 public:
  TCell(int32_t positionX, int32_t positionY, int32_t size)
      : PositionX(positionX), PositionY(positionY), Size(size) {}

  // Index of the nearest node; kNoNode until the catchment sets it.
  int32_t nearestNode = kNoNode;
  TripList trips;
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

  // The cell's square: silver one-pixel outline, filled with the cell's colour (cell.cpp).
  void Draw(Canvas& canvas) const;
};

// The cells, addressed [column][row]; owns them. Only the town changes which cells it holds.
class CellGrid {
 public:
  bool Empty() const { return cells_.empty(); }
  int32_t Cols() const { return cols_; }
  int32_t Rows() const { return rows_; }
  // The cell at a grid position (null for a position not yet given a cell).
  TCell* At(int32_t column, int32_t row) const {
    return cells_[static_cast<size_t>(row) * static_cast<size_t>(cols_) + column].get();
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
  friend class Town;
  int32_t cols_ = 0;
  int32_t rows_ = 0;
  std::vector<std::unique_ptr<TCell>> cells_;  // row-major, so iteration is rows outer
};

class Town final : public NodeReferences {
 public:
  // Grid geometry.
  int32_t cellSize = 0;
  int32_t gridCols = 0;
  int32_t gridRows = 0;
  int32_t halfCell = 0;
  int32_t fieldWidth = 0;
  int32_t fieldHeight = 0;
  // The cells, and the cells with workers, workplaces and retail units in visiting order (they
  // refer to cells of `cells`).
  CellGrid cells;
  std::vector<TCell*> workerCells;
  std::vector<TCell*> jobCells;
  std::vector<TCell*> retailCells;

  // The geometry of a grid of cells of cellSize pixels over a drawing area of the given size:
  // cellSize is taken first, so a size of 0 fails at the division with the rest unchanged.
  void SetGeometry(int32_t size, int32_t areaWidth, int32_t areaHeight);
  // A new grid of gridCols x gridRows positions without cells, and empty lists. The earlier
  // cells go, with their trips.
  void NewGrid(const Progress& progress = kNoProgress);
  // Gives a grid position its cell.
  void PlaceCell(int32_t column, int32_t row, std::unique_ptr<TCell> cell);
  // No cells, no lists.
  void Clear(const Progress& progress = kNoProgress);

  // A cell's trips, for changing them (their number, workplaces, departures or routes).
  BulkVector<Trip>& EditTrips(TCell& cell) {
    ++version_;
    return cell.trips.trips_;
  }
  // Moves with every change of the cells or their trips.
  uint64_t Version() const { return version_; }

  // Every cell forgets its nearest node and every trip its route: the nodes are going.
  void DropNodeReferences(const Progress& progress) override;

 private:
  // Empty positions of a cols x rows grid in place of the cells, and empty lists.
  void ReplaceCells(int32_t cols, int32_t rows, const Progress& progress);

  uint64_t version_ = 0;
};

}  // namespace velmora

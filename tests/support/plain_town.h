// The pairing and the lines to work done the plain way, kept as the oracles of the fast ones: a
// pairing that erases cells from the lists by position, and a drawing of one line per trip.
#pragma once

#include <cstddef>
#include <cstdint>

#include "canvas/canvas.h"
#include "core/random.h"
#include "model/town.h"

namespace velmora::oracle {

// The pairing as plain list operations: draw, pair, erase a cell that ran out.
inline void PlainAssignWorkplaces(Town& town) {
  while (!town.workerCells.empty() && !town.jobCells.empty()) {
    const size_t i = static_cast<size_t>(Random(static_cast<int32_t>(town.workerCells.size())));
    const size_t j = static_cast<size_t>(Random(static_cast<int32_t>(town.jobCells.size())));
    TCell* home = town.workerCells[i];
    TCell* work = town.jobCells[j];
    Trip& trip = town.EditTrips(*home)[home->workersLeft - 1];
    trip.destCol = work->column;
    trip.destRow = work->row;
    --home->workersLeft;
    --work->placesLeft;
    if (home->workersLeft == 0) town.workerCells.erase(town.workerCells.begin() + i);
    if (work->placesLeft == 0) town.jobCells.erase(town.jobCells.begin() + j);
  }
  for (TCell* home : town.workerCells)
    for (size_t k = 0; k < home->workersLeft; ++k) {
      town.EditTrips(*home)[k].destCol = kNoWorkplace;
      town.EditTrips(*home)[k].destRow = kNoWorkplace;
    }
}

// One line per trip, in order, as the lines were first drawn.
inline void PlainDrawLinesToWork(const Town& town, Canvas& base) {
  town.cells.ForEach([&](const TCell& home) {
    for (const Trip& trip : home.trips) {
      if (!trip.HasWorkplace()) continue;
      const TCell* work = town.cells.At(trip.destCol, trip.destRow);
      base.SetPenColor(home.color);
      base.MoveTo(home.PositionX, home.PositionY);
      base.LineTo(work->PositionX, work->PositionY);
    }
  });
}

}  // namespace velmora::oracle

// The town's cells at work: creating and initialising them, the land use read from the three
// pictures, the show filter, the pairing of every worker with a free workplace and the lines to
// work.
#pragma once

#include <cstdint>

#include "canvas/canvas.h"
#include "canvas/picture.h"
#include "model/host.h"
#include "model/progress.h"
#include "model/town.h"

namespace velmora {

// Makes a cell for every grid position, centred in its square.
void CreateCells(Town& town, const Progress& progress = kNoProgress);
// Colours every cell white, gives it its column and row and draws it on the base layer.
void InitCells(Town& town, Canvas& base, const Progress& progress = kNoProgress);

// The totals of a load, as the "setup" group shows them.
struct LandUseTotals {
  uint32_t workers = 0;
  uint32_t workplaces = 0;
  uint32_t retail = 0;
};
// The counts at every cell centre (255 minus the red of the workers' picture, the green of the
// workplaces', the blue of the retail units'), each cell's trips sized to its workers, and the
// cells appended to the three lists. A town of more than kMaxWorkers workers is refused before
// any cell changes.
LandUseTotals ReadLandUse(Town& town, const Picture& workers, const Picture& workplaces,
                          const Picture& retail, const Progress& progress = kNoProgress);
// Colours every cell by the checked "show" radio button and draws it.
void ApplyShowFilter(Town& town, ShowFilter filter, Canvas& base,
                     const Progress& progress = kNoProgress);
// Pairs every worker of the worker cells at random with a free workplace of the job cells.
void AssignWorkplaces(Town& town, const Progress& progress = kNoProgress);
// "lines to work": a line from every home cell to each of its workers' work cells.
void DrawLinesToWork(const Town& town, Canvas& base, const Progress& progress = kNoProgress);

}  // namespace velmora

// The cells and their trips at work: creating the grid's cells, the land use read from the three
// pictures, the show filter, the pairing of every worker with a free workplace and the lines to
// work.
#include "model/cell.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/error.h"
#include "core/random.h"
#include "engine/huge_pages.h"
#include "engine/pick_list.h"

namespace velmora {

void TCell::Draw(Canvas& canvas) const {
  canvas.SetPenWidth(0);
  canvas.SetPenColor(clSilver);
  canvas.SetBrushColor(color);
  canvas.Rectangle(PositionX - Size, PositionY - Size, PositionX + Size, PositionY + Size);
}

void CreateCells(Town& town, const Progress& progress) {
  for (int32_t r = 0; r < town.gridRows; ++r) {
    for (int32_t c = 0; c < town.gridCols; ++c)
      town.PlaceCell(c, r,
                     std::make_unique<TCell>(c * town.cellSize + town.halfCell,
                                             r * town.cellSize + town.halfCell, town.halfCell));
    progress.Report(Share(r + 1, town.gridRows), "making the cells");
  }
}

void InitCells(Town& town, Canvas& base, const Progress& progress) {
  for (int32_t r = 0; r < town.gridRows; ++r) {
    progress.Report(Share(r, town.gridRows), "drawing the cells");
    for (int32_t c = 0; c < town.gridCols; ++c) {
      TCell* cell = town.cells.At(c, r);
      cell->color = clWhite;
      cell->column = c;
      cell->row = r;
      cell->Draw(base);
    }
  }
}

// ---- Land use. ----

namespace {

// 255 minus one channel byte of a 0x00BBGGRR pixel; an outside pixel (all bytes 255) gives 0.
uint8_t CountOf(uint32_t pixel, int shift) {
  return static_cast<uint8_t>(255u - ((pixel >> shift) & 0xFFu));
}

constexpr int kRedShift = 0;
constexpr int kGreenShift = 8;
constexpr int kBlueShift = 16;

}  // namespace

LandUseTotals ReadLandUse(Town& town, const Picture& workerPicture, const Picture& workplacePicture,
                          const Picture& retailPicture, const Progress& progress) {
  const int64_t cellCount =
      static_cast<int64_t>(town.cells.Cols()) * static_cast<int64_t>(town.cells.Rows());
  const int64_t row = std::max(town.cells.Cols(), 1);
  // Every worker gets a trip: a town beyond the limit is refused while nothing has changed.
  int64_t workersToLoad = 0;
  const ProgressPart counting(progress, 0.0, 0.2);
  ProgressCount counted(counting, cellCount, "counting the workers", row);
  town.cells.ForEach([&](const TCell& cell) {
    workersToLoad += CountOf(workerPicture.Pixel(cell.PositionX, cell.PositionY), kRedShift);
    counted.Tick();
  });
  if (workersToLoad > kMaxWorkers)
    throw VError("Zu viele Arbeitskräfte (max. " + std::to_string(kMaxWorkers) + ")");

  LandUseTotals totals;
  const ProgressPart reading(progress, 0.2, 1.0);
  ProgressCount read(reading, cellCount, "reading the land use", row);
  town.cells.ForEach([&](TCell& cell) {
    cell.workers = CountOf(workerPicture.Pixel(cell.PositionX, cell.PositionY), kRedShift);
    cell.workplaces = CountOf(workplacePicture.Pixel(cell.PositionX, cell.PositionY), kGreenShift);
    cell.retail = CountOf(retailPicture.Pixel(cell.PositionX, cell.PositionY), kBlueShift);
    cell.workersLeft = cell.workers;
    cell.placesLeft = cell.workplaces;
    cell.retailLeft = cell.retail;
    totals.workers += cell.workers;
    totals.workplaces += cell.workplaces;
    totals.retail += cell.retail;
    // One trip per worker, also when there are none: trips left over from an earlier load
    // would otherwise still commute. Trips kept keep their route and departures.
    town.EditTrips(cell).resize(cell.workers);
    if (cell.workers > 0) town.workerCells.push_back(&cell);
    if (cell.workplaces > 0) town.jobCells.push_back(&cell);
    if (cell.retail > 0) town.retailCells.push_back(&cell);
    read.Tick();
  });
  return totals;
}

void ApplyShowFilter(Town& town, ShowFilter filter, Canvas& base, const Progress& progress) {
  ProgressCount drawn(
      progress, static_cast<int64_t>(town.cells.Cols()) * static_cast<int64_t>(town.cells.Rows()),
      "colouring the cells", std::max(town.cells.Cols(), 1));
  town.cells.ForEach([&](TCell& cell) {
    int red = 0, green = 0, blue = 0;
    switch (filter) {
      case ShowFilter::All:
        red = cell.workers;
        green = cell.workplaces;
        blue = cell.retail;
        break;
      case ShowFilter::Red:
        red = cell.workers;
        break;
      case ShowFilter::Green:
        green = cell.workplaces;
        break;
      case ShowFilter::Blue:
        blue = cell.retail;
        break;
    }
    cell.color = RGBColor(red, green, blue);
    cell.Draw(base);
    drawn.Tick();
  });
}

void AssignWorkplaces(Town& town, const Progress& progress) {
  // Each round draws a cell with unpaired workers and a cell with free workplaces, each
  // uniformly over its list, and pairs one worker of the first with one place of the second.
  // A cell's trips fill from the last index down, so trips[0 .. workersLeft - 1] are the ones
  // still unpaired. A cell that runs out leaves its list and the cells after it move up one
  // place; the pick lists do that without moving anything, which keeps a grid of hundreds of
  // thousands of cells from taking quadratic time.
  //
  // Each cell is on a list once (as the load puts it there), so what a round needs of the
  // cells is held in small arrays by list position: a round then touches only them, instead of
  // two cell records scattered over memory. The cells get their counts back at the end.
  //
  // The rounds do not write the trips themselves: a fine grid has tens of millions of them, and
  // each round's trip lies anywhere in that memory. The rounds run in two passes instead:
  // - The draws. A round needs only the two pick lists and a byte per cell of each list for
  //   the counts, all small enough to stay in the processor's caches, and appends its pair of
  //   list positions to a log.
  // - The log replayed in order: each pair notes its work cell in a slot of a dense array, one
  //   slot per trip to be paired, at the home's range and the trip's index (the home's count
  //   before that round, less one). Rounds no longer wait on one another's memory here, so the
  //   scattered writes overlap. The trips then take their work cells in one pass in memory
  //   order.
  // Every slot is written by one round at most (a home's count only goes down), so each trip
  // ends with what the round that paired it would have written, and unpaired trips stay as
  // they were.
  const size_t homeCount = town.workerCells.size();
  const size_t workCount = town.jobCells.size();
  std::vector<uint8_t> homeLeft(homeCount);
  uint64_t slots = 0;
  for (size_t k = 0; k < homeCount; ++k) {
    homeLeft[k] = town.workerCells[k]->workersLeft;
    slots += homeLeft[k];
  }
  // A load holds at most kMaxWorkers trips: slots and list positions fit 32 bits.
  if (slots > UINT32_MAX || workCount > UINT32_MAX) throw std::bad_alloc();
  std::vector<std::pair<int32_t, int32_t>> workAt(workCount);
  std::vector<uint8_t> placesLeft(workCount);
  uint64_t places = 0;
  for (size_t k = 0; k < workCount; ++k) {
    workAt[k] = {town.jobCells[k]->column, town.jobCells[k]->row};
    placesLeft[k] = town.jobCells[k]->placesLeft;
    places += placesLeft[k];
  }

  // Every round pairs one worker with one place until either runs out.
  struct Round {
    uint32_t home, work;
  };
  BulkVector<Round> rounds;
  rounds.reserve(static_cast<size_t>(std::min(slots, places)));
  PickList homes(homeCount);
  PickList works(workCount);
  RandomRun draw;
  const int64_t pairings = static_cast<int64_t>(std::min(slots, places));
  const ProgressPart drawing(progress, 0.0, 0.7);
  while (homes.Count() > 0 && works.Count() > 0) {
    if ((rounds.size() & 0xFFFF) == 0)
      drawing.Report(Share(static_cast<int64_t>(rounds.size()), pairings),
                     "pairing workers with workplaces");
    const size_t i = homes.At(static_cast<size_t>(draw.Below(static_cast<int32_t>(homes.Count()))));
    const size_t j = works.At(static_cast<size_t>(draw.Below(static_cast<int32_t>(works.Count()))));
    rounds.push_back(Round{static_cast<uint32_t>(i), static_cast<uint32_t>(j)});
    if (--homeLeft[i] == 0) homes.Remove(i);
    if (--placesLeft[j] == 0) works.Remove(j);
  }
  draw.Close();

  // Per home: where its slots start, and its count as the replay takes it down.
  struct Home {
    uint32_t first;
    uint32_t left;
  };
  std::vector<Home> homesAt(homeCount);
  for (size_t k = 0, first = 0; k < homeCount; ++k) {
    homesAt[k] = Home{static_cast<uint32_t>(first), town.workerCells[k]->workersLeft};
    first += homesAt[k].left;
  }
  constexpr uint32_t kUnpaired = UINT32_MAX;
  BulkVector<uint32_t> workOfSlot(static_cast<size_t>(slots), kUnpaired);
  progress.Report(0.7, "pairing workers with workplaces");
  for (const Round& round : rounds) {
    Home& h = homesAt[round.home];
    workOfSlot[h.first + --h.left] = round.work;
  }
  ReleaseRoom(rounds);

  progress.Report(0.85, "pairing workers with workplaces");
  for (size_t k = 0; k < homeCount; ++k) {
    Trip* trips = town.EditTrips(*town.workerCells[k]).data();
    const size_t end = k + 1 < homeCount ? homesAt[k + 1].first : static_cast<size_t>(slots);
    for (size_t slot = homesAt[k].first; slot < end; ++slot) {
      const uint32_t j = workOfSlot[slot];
      if (j == kUnpaired) continue;
      Trip& trip = trips[slot - homesAt[k].first];
      trip.destCol = workAt[j].first;
      trip.destRow = workAt[j].second;
    }
  }
  ReleaseRoom(workOfSlot);

  for (size_t k = 0; k < homeCount; ++k) town.workerCells[k]->workersLeft = homeLeft[k];
  for (size_t k = 0; k < workCount; ++k) town.jobCells[k]->placesLeft = placesLeft[k];
  // The lists keep the cells still on them, in their order.
  auto keep = [](std::vector<TCell*>& list, const PickList& present) {
    size_t kept = 0;
    for (size_t k = 0; k < list.size(); ++k)
      if (present.Present(k)) list[kept++] = list[k];
    list.resize(kept);
  };
  keep(town.workerCells, homes);
  keep(town.jobCells, works);

  // Workers left over when the places ran out have no workplace: they neither commute nor
  // keep a route planned for an earlier pairing.
  for (TCell* home : town.workerCells) {
    BulkVector<Trip>& trips = town.EditTrips(*home);
    for (size_t k = 0; k < home->workersLeft; ++k) {
      Trip& trip = trips[k];
      trip.destCol = kNoWorkplace;
      trip.destRow = kNoWorkplace;
      trip.route.reset();
    }
  }
}

void DrawLinesToWork(const Town& town, Canvas& base, const Progress& progress) {
  // The pen width is left as the last drawing on the base layer set it. All lines of one home
  // cell have its colour and that width, so they may be drawn in any order among themselves,
  // and a line to a work cell the home has already drawn to covers the same pixels again and
  // is left out (a home with a few hundred workers usually sends several to one work cell).
  // Lines of different homes overlap, a later home's over an earlier one's.
  //
  // Where the canvas can draw beneath what it has drawn, the homes go in reverse order, each
  // under the ones after it: every pixel then takes the colour of the last home to reach it,
  // as in order, but is written once instead of thousands of times on a fine grid, and lines
  // through parts already drawn are skipped there. The plain order is taken otherwise.
  const int32_t cols = town.cells.Cols();
  const int32_t rows = town.cells.Rows();
  const size_t cellCount = static_cast<size_t>(cols) * static_cast<size_t>(rows);
  // The cells' centres lie on a lattice (CreateCells places them so): a line's end is worked
  // out from the work cell's column and row instead of being read from its record, which lies
  // anywhere on the heap (a cache miss per line on a fine grid). Should some centre lie off
  // the lattice of the first cells, every end is read from its record.
  bool lattice = cellCount > 0;
  int64_t x0 = 0, y0 = 0, stepX = 0, stepY = 0;
  if (lattice) {
    const TCell* first = town.cells.At(0, 0);
    lattice = first != nullptr;
    if (lattice) {
      x0 = first->PositionX;
      y0 = first->PositionY;
      if (cols > 1 && town.cells.At(1, 0) != nullptr) stepX = town.cells.At(1, 0)->PositionX - x0;
      if (rows > 1 && town.cells.At(0, 1) != nullptr) stepY = town.cells.At(0, 1)->PositionY - y0;
    }
    for (int32_t r = 0; lattice && r < rows; ++r)
      for (int32_t c = 0; lattice && c < cols; ++c) {
        const TCell* cell = town.cells.At(c, r);
        lattice = cell != nullptr && cell->PositionX == x0 + c * stepX &&
                  cell->PositionY == y0 + r * stepY;
      }
  }
  auto lineTo = [&](const Trip& trip) {
    if (lattice) {
      base.LineTo(static_cast<int>(x0 + trip.destCol * stepX),
                  static_cast<int>(y0 + trip.destRow * stepY));
    } else {
      const TCell* work = town.cells.At(trip.destCol, trip.destRow);
      base.LineTo(work->PositionX, work->PositionY);
    }
  };
  auto workOf = [&](const Trip& trip) {
    if (!trip.HasWorkplace() || trip.destCol < 0 || trip.destCol >= cols || trip.destRow < 0 ||
        trip.destRow >= rows)
      return cellCount;
    return static_cast<size_t>(trip.destRow) * static_cast<size_t>(cols) +
           static_cast<size_t>(trip.destCol);
  };
  // The work cells the current home has drawn to, a bit each, cleared after the home.
  std::vector<uint64_t> drawn(cellCount / 64 + 1, 0);
  std::vector<size_t> drawnNow;
  auto drawHome = [&](const TCell& home) {
    bool any = false;
    for (const Trip& trip : home.trips) {
      const size_t w = workOf(trip);
      if (w == cellCount) continue;
      const uint64_t bit = uint64_t{1} << (w % 64);
      if ((drawn[w / 64] & bit) != 0) continue;
      drawn[w / 64] |= bit;
      drawnNow.push_back(w);
      if (!any) base.SetPenColor(home.color);
      any = true;
      base.MoveTo(home.PositionX, home.PositionY);
      lineTo(trip);
    }
    for (size_t w : drawnNow) drawn[w / 64] = 0;
    drawnNow.clear();
    return any;
  };

  // The last home to draw a line; the pen is left at the end of its last trip's line, in its
  // colour, as drawing every line in order leaves it.
  const TCell* lastHome = nullptr;
  ProgressCount homes(progress, static_cast<int64_t>(cellCount), "drawing the lines to work",
                      std::max(cols, 1));
  if (base.BeginUnderlay()) {
    town.cells.ForEachReversed([&](const TCell& home) {
      if (drawHome(home) && lastHome == nullptr) lastHome = &home;
      homes.Tick();
    });
    base.EndUnderlay();
  } else {
    town.cells.ForEach([&](const TCell& home) {
      if (drawHome(home)) lastHome = &home;
      homes.Tick();
    });
  }
  if (lastHome == nullptr) return;
  base.SetPenColor(lastHome->color);
  for (auto trip = lastHome->trips.rbegin(); trip != lastHome->trips.rend(); ++trip) {
    if (workOf(*trip) != cellCount) {
      // The end of its last line.
      const TCell* work = town.cells.At(trip->destCol, trip->destRow);
      base.MoveTo(work->PositionX, work->PositionY);
      break;
    }
  }
}

}  // namespace velmora

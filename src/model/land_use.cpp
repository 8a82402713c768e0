// Land use: reading the three pictures into the cells' counts, colouring the grid by the show
// filter, pairing every worker with a free workplace at random, and drawing those pairings.
#include "model/land_use.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/random.h"
#include "model/model.h"
#include "model/pick_list.h"

namespace velmora {

namespace {

// 255 minus one channel byte of a 0x00BBGGRR pixel; an outside pixel (all bytes 255) gives 0.
uint8_t CountOf(uint32_t pixel, int shift) {
  return static_cast<uint8_t>(255u - ((pixel >> shift) & 0xFFu));
}

constexpr int kRedShift = 0;
constexpr int kGreenShift = 8;
constexpr int kBlueShift = 16;

}  // namespace

void Model::LoadLandUse() {
  InvalidateDepartures();  // trips, departures or routes change below
  // All three pictures are read before any cell changes, so a missing or unreadable file
  // leaves the counts, trips, colours and captions as they were.
  const std::string folder = host_.ExecutableDir() + "pictures/";
  static const std::array<const char*, 3> kFiles = {"arbeiter.bmp", "arbeitsstaetten.bmp",
                                                    "verkaufsflaechen.bmp"};
  std::array<std::unique_ptr<Picture>, 3> pictures;
  for (size_t i = 0; i < kFiles.size(); ++i) pictures[i] = host_.LoadPicture(folder + kFiles[i]);
  const Picture& workerPicture = *pictures[0];
  const Picture& workplacePicture = *pictures[1];
  const Picture& retailPicture = *pictures[2];

  // Every worker gets a trip: a town beyond the limit is refused while nothing has changed.
  int64_t workersToLoad = 0;
  cells.ForEach([&](const TCell& cell) {
    workersToLoad += CountOf(workerPicture.Pixel(cell.PositionX, cell.PositionY), kRedShift);
  });
  if (workersToLoad > kMaxWorkers)
    throw VError("Zu viele Arbeitskräfte (max. " + std::to_string(kMaxWorkers) + ")");

  uint32_t totalWorkers = 0;
  uint32_t totalWorkplaces = 0;
  uint32_t totalRetail = 0;
  cells.ForEach([&](TCell& cell) {
    cell.workers = CountOf(workerPicture.Pixel(cell.PositionX, cell.PositionY), kRedShift);
    cell.workplaces = CountOf(workplacePicture.Pixel(cell.PositionX, cell.PositionY), kGreenShift);
    cell.retail = CountOf(retailPicture.Pixel(cell.PositionX, cell.PositionY), kBlueShift);
    cell.workersLeft = cell.workers;
    cell.placesLeft = cell.workplaces;
    cell.retailLeft = cell.retail;
    totalWorkers += cell.workers;
    totalWorkplaces += cell.workplaces;
    totalRetail += cell.retail;
    // One trip per worker, also when there are none: trips left over from an earlier load
    // would otherwise still commute. Trips kept keep their route and departures.
    cell.trips.resize(cell.workers);
    if (cell.workers > 0) workerCells.push_back(&cell);
    if (cell.workplaces > 0) jobCells.push_back(&cell);
    if (cell.retail > 0) retailCells.push_back(&cell);
  });

  ApplyShowFilter();
  host_.SetCaption(ValueLabel::Worker, std::to_string(totalWorkers));
  host_.SetCaption(ValueLabel::WorkPl, std::to_string(totalWorkplaces));
  host_.SetCaption(ValueLabel::Retail, std::to_string(totalRetail));
}

void Model::ApplyShowFilter() {
  const ShowFilter filter = host_.CheckedFilter();
  Canvas& base = host_.BaseCanvas();
  cells.ForEach([&](TCell& cell) {
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
  });
}

void Model::AssignWorkplaces() {
  InvalidateDepartures();  // trips, departures or routes change below
  // Each round draws a cell with unpaired workers and a cell with free workplaces, each
  // uniformly over its list, and pairs one worker of the first with one place of the second.
  // A cell's trips fill from the last index down, so trips[0 .. workersLeft - 1] are the ones
  // still unpaired. A cell that runs out leaves its list and the cells after it move up one
  // place; the pick lists do that without moving anything, which keeps a grid of hundreds of
  // thousands of cells from taking quadratic time.
  //
  // Each cell is on a list once (as the load puts it there), so what a round needs of the
  // cells is held in small arrays by list position: a round then touches only them and the
  // one trip it fills, instead of two cell records scattered over memory. The cells get their
  // counts back at the end.
  const size_t homeCount = workerCells.size();
  const size_t workCount = jobCells.size();
  std::vector<Trip*> homeTrips(homeCount);
  std::vector<uint8_t> workersLeft(homeCount);
  for (size_t k = 0; k < homeCount; ++k) {
    homeTrips[k] = workerCells[k]->trips.data();
    workersLeft[k] = workerCells[k]->workersLeft;
  }
  std::vector<std::pair<int32_t, int32_t>> workAt(workCount);
  std::vector<uint8_t> placesLeft(workCount);
  for (size_t k = 0; k < workCount; ++k) {
    workAt[k] = {jobCells[k]->column, jobCells[k]->row};
    placesLeft[k] = jobCells[k]->placesLeft;
  }

  PickList homes(homeCount);
  PickList works(workCount);
  while (homes.Count() > 0 && works.Count() > 0) {
    const size_t i = homes.At(static_cast<size_t>(Random(static_cast<int32_t>(homes.Count()))));
    const size_t j = works.At(static_cast<size_t>(Random(static_cast<int32_t>(works.Count()))));
    Trip& trip = homeTrips[i][workersLeft[i] - 1];
    trip.destCol = workAt[j].first;
    trip.destRow = workAt[j].second;
    if (--workersLeft[i] == 0) homes.Remove(i);
    if (--placesLeft[j] == 0) works.Remove(j);
  }

  for (size_t k = 0; k < homeCount; ++k) workerCells[k]->workersLeft = workersLeft[k];
  for (size_t k = 0; k < workCount; ++k) jobCells[k]->placesLeft = placesLeft[k];
  // The lists keep the cells still on them, in their order.
  auto keep = [](std::vector<TCell*>& list, const PickList& present) {
    size_t kept = 0;
    for (size_t k = 0; k < list.size(); ++k)
      if (present.Present(k)) list[kept++] = list[k];
    list.resize(kept);
  };
  keep(workerCells, homes);
  keep(jobCells, works);

  // Workers left over when the places ran out have no workplace: they neither commute nor
  // keep a route planned for an earlier pairing.
  for (TCell* home : workerCells) {
    for (size_t k = 0; k < home->workersLeft; ++k) {
      Trip& trip = home->trips[k];
      trip.destCol = kNoWorkplace;
      trip.destRow = kNoWorkplace;
      trip.route.reset();
    }
  }
}

void Model::DrawLinesToWork() {
  // The pen width is left as the last drawing on the base layer set it. All lines of one home
  // cell have its colour and that width, so a line to a work cell the cell has already drawn
  // to in this run covers the same pixels again and is left out; lines of different cells
  // are all drawn, in order, as a later cell paints over an earlier one. A home cell with a
  // few hundred workers usually sends several to one work cell.
  Canvas& base = host_.BaseCanvas();
  const int32_t cols = cells.Cols();
  const int32_t rows = cells.Rows();
  // For every cell, the number of the home cell that last drew a line to it (0: none yet).
  std::vector<uint32_t> drawnFrom(static_cast<size_t>(cols) * static_cast<size_t>(rows), 0);
  uint32_t homeNumber = 0;
  // The end of the last line of the run; the pen is left there as if every line was drawn.
  const TCell* lastWork = nullptr;
  cells.ForEach([&](const TCell& home) {
    ++homeNumber;
    for (const Trip& trip : home.trips) {
      if (!trip.HasWorkplace() || trip.destCol < 0 || trip.destCol >= cols || trip.destRow < 0 ||
          trip.destRow >= rows)
        continue;
      const size_t w = static_cast<size_t>(trip.destRow) * static_cast<size_t>(cols) +
                       static_cast<size_t>(trip.destCol);
      const TCell* work = cells.At(trip.destCol, trip.destRow);
      lastWork = work;
      if (drawnFrom[w] == homeNumber) continue;
      drawnFrom[w] = homeNumber;
      base.SetPenColor(home.color);
      base.MoveTo(home.PositionX, home.PositionY);
      base.LineTo(work->PositionX, work->PositionY);
    }
  });
  if (lastWork != nullptr) base.MoveTo(lastWork->PositionX, lastWork->PositionY);
}

}  // namespace velmora

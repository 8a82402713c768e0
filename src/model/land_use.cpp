// Land use: reading the three pictures into the cells' counts, colouring the grid by the show
// filter, pairing every worker with a free workplace at random, and drawing those pairings.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "core/random.h"
#include "model/model.h"

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
  // still unpaired. Removal is by position, so no search over the lists is needed.
  while (!workerCells.empty() && !jobCells.empty()) {
    const size_t i = static_cast<size_t>(Random(static_cast<int32_t>(workerCells.size())));
    const size_t j = static_cast<size_t>(Random(static_cast<int32_t>(jobCells.size())));
    TCell* home = workerCells[i];
    TCell* work = jobCells[j];
    Trip& trip = home->trips[home->workersLeft - 1];
    trip.destCol = work->column;
    trip.destRow = work->row;
    --home->workersLeft;
    --work->placesLeft;
    if (home->workersLeft == 0) workerCells.erase(workerCells.begin() + static_cast<ptrdiff_t>(i));
    if (work->placesLeft == 0) jobCells.erase(jobCells.begin() + static_cast<ptrdiff_t>(j));
  }

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
  // The pen width is left as the last drawing on the base layer set it.
  Canvas& base = host_.BaseCanvas();
  cells.ForEach([&](const TCell& home) {
    for (const Trip& trip : home.trips) {
      if (!trip.HasWorkplace() || trip.destCol < 0 || trip.destCol >= cells.Cols() ||
          trip.destRow < 0 || trip.destRow >= cells.Rows())
        continue;
      const TCell* work = cells.At(trip.destCol, trip.destRow);
      base.SetPenColor(home.color);
      base.MoveTo(home.PositionX, home.PositionY);
      base.LineTo(work->PositionX, work->PositionY);
    }
  });
}

}  // namespace velmora

// The fast pairing and the lines to work against their plain forms: a pairing that erases cells
// from the lists by position, and a drawing of one line per trip. Both must give exactly what
// the plain forms give, for many seeds, grid sizes and towns. Also the limit on the number of
// workers a load takes.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "core/error.h"
#include "core/random.h"
#include "model/cell.h"
#include "support/model_fixture.h"
#include "support/plain_town.h"

namespace velmora {
namespace {

using oracle::PlainAssignWorkplaces;
using oracle::PlainDrawLinesToWork;
using testing::ModelFixture;

// A town of random counts on a grid of the given cell size; the same town for the same seed.
struct RandomTown : ModelFixture {
  RandomTown(int cellSize, uint32_t townSeed, int workerShare, int placeShare) {
    host.edits[EditBox::CellScale] = std::to_string(cellSize);
    Start();
    workers = std::make_shared<MemoryPicture>(640, 666);
    places = std::make_shared<MemoryPicture>(640, 666);
    retail = std::make_shared<MemoryPicture>(640, 666);
    std::mt19937 rng(townSeed);
    model.town.cells.ForEach([&](const TCell& cell) {
      // Some cells empty, some full, the rest anywhere between.
      auto count = [&](int share) {
        const int roll = static_cast<int>(rng() % 100);
        if (roll >= share) return 0;
        return roll % 7 == 0 ? 255 : static_cast<int>(rng() % 256);
      };
      workers->Set(cell.PositionX, cell.PositionY, RGBColor(255 - count(workerShare), 255, 255));
      places->Set(cell.PositionX, cell.PositionY, RGBColor(255, 255 - count(placeShare), 255));
      retail->Set(cell.PositionX, cell.PositionY, RGBColor(255, 255, 255 - count(30)));
    });
    host.SetPicture("arbeiter.bmp", workers);
    host.SetPicture("arbeitsstaetten.bmp", places);
    host.SetPicture("verkaufsflaechen.bmp", retail);
  }
  // Load the pictures without pairing.
  void Load() {
    model.town.workerCells.clear();
    model.town.jobCells.clear();
    ReadLandUse(model.town, *workers, *places, *retail);
  }
  std::shared_ptr<MemoryPicture> workers, places, retail;
};

TEST(PairingOracle, FastPairingGivesThePlainPairings) {
  struct Case {
    int cellSize, workerShare, placeShare;
  };
  // More places than workers, more workers than places, a sparse and a dense town.
  const Case cases[] = {{30, 60, 80}, {30, 90, 20}, {10, 50, 50}, {7, 5, 3}, {5, 30, 30}};
  for (const Case& c : cases) {
    for (uint32_t seed : {1u, 77u, 4242u}) {
      RandomTown fast(c.cellSize, seed, c.workerShare, c.placeShare);
      RandomTown plain(c.cellSize, seed, c.workerShare, c.placeShare);
      fast.Load();
      plain.Load();
      SetRandSeed(seed * 31 + 3);
      AssignWorkplaces(fast.model.town);
      const uint32_t fastSeed = RandSeed();
      SetRandSeed(seed * 31 + 3);
      PlainAssignWorkplaces(plain.model.town);
      EXPECT_EQ(fastSeed, RandSeed()) << "the same draws";

      auto index = [](const std::vector<TCell*>& list) {
        std::vector<std::pair<int, int>> out;
        for (const TCell* cell : list) out.emplace_back(cell->column, cell->row);
        return out;
      };
      EXPECT_EQ(index(fast.model.town.workerCells), index(plain.model.town.workerCells));
      EXPECT_EQ(index(fast.model.town.jobCells), index(plain.model.town.jobCells));
      size_t trips = 0;
      for (int col = 0; col < fast.model.town.gridCols; ++col)
        for (int row = 0; row < fast.model.town.gridRows; ++row) {
          const TCell& f = *fast.model.town.cells.At(col, row);
          const TCell& p = *plain.model.town.cells.At(col, row);
          ASSERT_EQ(f.workersLeft, p.workersLeft);
          ASSERT_EQ(f.placesLeft, p.placesLeft);
          ASSERT_EQ(f.trips.size(), p.trips.size());
          for (size_t k = 0; k < f.trips.size(); ++k) {
            ASSERT_EQ(f.trips[k].destCol, p.trips[k].destCol) << col << "," << row << " " << k;
            ASSERT_EQ(f.trips[k].destRow, p.trips[k].destRow);
          }
          trips += f.trips.size();
        }
      EXPECT_GT(trips, 0u);
    }
  }
}

TEST(PairingOracle, LinesToWorkGiveThePixelsOfOneLinePerTrip) {
  // Cell size 30 (many repeated destinations per home) down to 8 (few), a sparse town at
  // cell size 5; one case starts with a wide pen, so the lines are bands.
  struct Case {
    int cellSize, workerShare, placeShare;
    ShowFilter filter;
    int penWidth;  // 0: as the cells left it
  };
  const Case cases[] = {{30, 40, 30, ShowFilter::All, 0},
                        {30, 40, 30, ShowFilter::Green, 0},
                        {15, 15, 20, ShowFilter::Red, 0},
                        {15, 4, 20, ShowFilter::All, 3},
                        {5, 1, 20, ShowFilter::All, 0}};
  for (const Case& c : cases) {
    for (uint32_t seed : {3u, 19u}) {
      RandomTown fast(c.cellSize, seed, c.workerShare, c.placeShare);
      RandomTown plain(c.cellSize, seed, c.workerShare, c.placeShare);
      for (RandomTown* t : {&fast, &plain}) {
        t->host.filter = c.filter;
        SetRandSeed(seed);
        t->model.B_loadDataClick();
        // Lines from an earlier load lie beneath.
        t->model.B_lineWorkClick();
        SetRandSeed(seed + 1);
        t->model.B_loadDataClick();
        if (c.penWidth > 0) t->model.host().BaseCanvas().SetPenWidth(c.penWidth);
      }
      fast.model.B_lineWorkClick();
      PlainDrawLinesToWork(plain.model.town, plain.host.BaseCanvas());
      const Canvas& fc = fast.host.BaseCanvas();
      const Canvas& pc = plain.host.BaseCanvas();
      EXPECT_TRUE(fast.host.base->pixels == plain.host.base->pixels)
          << "cell size " << c.cellSize << ", seed " << seed;
      // The canvas is left as the plain drawing leaves it.
      EXPECT_EQ(fc.Pen().color, pc.Pen().color);
      EXPECT_EQ(fc.Pen().width, pc.Pen().width);
      EXPECT_EQ(fc.PenX(), pc.PenX());
      EXPECT_EQ(fc.PenY(), pc.PenY());
    }
  }
}

TEST(WorkerLimit, ATownAboveTheLimitIsRefusedBeforeAnyCellChanges) {
  // Cell size 1: 640 x 666 cells; black pictures would give 108 million workers.
  ModelFixture f;
  f.host.edits[EditBox::CellScale] = "1";
  f.Start();
  auto black = std::make_shared<MemoryPicture>(640, 666, 0u);
  auto white = std::make_shared<MemoryPicture>(640, 666);
  // A first, small town: one cell of 200 workers and places.
  auto few = std::make_shared<MemoryPicture>(640, 666);
  few->Set(5, 5, RGBColor(55, 55, 55));
  f.host.SetPicture("arbeiter.bmp", few);
  f.host.SetPicture("arbeitsstaetten.bmp", few);
  f.host.SetPicture("verkaufsflaechen.bmp", white);
  f.model.B_loadDataClick();
  ASSERT_EQ(f.host.captions[ValueLabel::Worker], "200");
  const uint32_t seed = RandSeed();

  f.host.SetPicture("arbeiter.bmp", black);
  f.host.SetPicture("arbeitsstaetten.bmp", black);
  try {
    f.model.B_loadDataClick();
    FAIL() << "no error";
  } catch (const VError& e) {
    EXPECT_STREQ(e.what(), "Zu viele Arbeitskräfte (max. 30000000)");
    EXPECT_EQ(ErrorBoxText(e.what()), "Zu viele Arbeitskräfte (max. 30000000)");
  }
  // The cells keep their counts, trips and pairing; the captions stay; nothing was drawn.
  const TCell& home = *f.model.town.cells.At(5, 5);
  EXPECT_EQ(home.workers, 200);
  EXPECT_EQ(home.trips.size(), 200u);
  EXPECT_EQ(home.trips[0].destCol, 5);
  EXPECT_EQ(f.model.town.cells.At(6, 5)->workers, 0);
  EXPECT_TRUE(f.model.town.cells.At(6, 5)->trips.empty());
  EXPECT_EQ(f.host.captions[ValueLabel::Worker], "200");
  EXPECT_EQ(RandSeed(), seed);
  // As after a missing picture, the two lists are the new empty ones.
  EXPECT_TRUE(f.model.town.workerCells.empty());
  EXPECT_TRUE(f.model.town.jobCells.empty());

  // One worker over the limit is refused as well (a town at the limit takes 2 GB of trips,
  // too much for a unit test): 117,647 cells of 255 workers and one of 16.
  static_assert(kMaxWorkers == 117647LL * 255 + 15);
  auto overLimit = std::make_shared<MemoryPicture>(640, 666);
  int64_t put = 0;
  for (int y = 0; y < 666 && put <= kMaxWorkers; ++y)
    for (int x = 0; x < 640 && put <= kMaxWorkers; ++x) {
      const int64_t w = std::min<int64_t>(255, kMaxWorkers + 1 - put);
      overLimit->Set(x, y, RGBColor(static_cast<int>(255 - w), 255, 255));
      put += w;
    }
  ASSERT_EQ(put, kMaxWorkers + 1);
  f.host.SetPicture("arbeiter.bmp", overLimit);
  f.host.SetPicture("arbeitsstaetten.bmp", white);
  EXPECT_THROW(f.model.B_loadDataClick(), VError);
  EXPECT_EQ(f.host.captions[ValueLabel::Worker], "200");
}

}  // namespace
}  // namespace velmora

// The fast pairing and the lines to work against their plain forms: a pairing that erases cells
// from the lists by position, and a drawing of one line per trip. Both must give exactly what
// the plain forms give, for many seeds, grid sizes and towns. Also the pick list alone against
// a vector, and the limit on the number of workers a load takes.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "core/error.h"
#include "core/random.h"
#include "model/cell.h"
#include "model/pick_list.h"
#include "support/model_fixture.h"

namespace velmora {
namespace {

using testing::ModelFixture;

// The pairing as plain list operations: draw, pair, erase a cell that ran out.
void PlainAssignWorkplaces(Model& m) {
  while (!m.workerCells.empty() && !m.jobCells.empty()) {
    const size_t i = static_cast<size_t>(Random(static_cast<int32_t>(m.workerCells.size())));
    const size_t j = static_cast<size_t>(Random(static_cast<int32_t>(m.jobCells.size())));
    TCell* home = m.workerCells[i];
    TCell* work = m.jobCells[j];
    Trip& trip = home->trips[home->workersLeft - 1];
    trip.destCol = work->column;
    trip.destRow = work->row;
    --home->workersLeft;
    --work->placesLeft;
    if (home->workersLeft == 0) m.workerCells.erase(m.workerCells.begin() + i);
    if (work->placesLeft == 0) m.jobCells.erase(m.jobCells.begin() + j);
  }
  for (TCell* home : m.workerCells)
    for (size_t k = 0; k < home->workersLeft; ++k) {
      home->trips[k].destCol = kNoWorkplace;
      home->trips[k].destRow = kNoWorkplace;
    }
}

// One line per trip, in order, as the lines were first drawn.
void PlainDrawLinesToWork(Model& m, Canvas& base) {
  m.cells.ForEach([&](const TCell& home) {
    for (const Trip& trip : home.trips) {
      if (!trip.HasWorkplace()) continue;
      const TCell* work = m.cells.At(trip.destCol, trip.destRow);
      base.SetPenColor(home.color);
      base.MoveTo(home.PositionX, home.PositionY);
      base.LineTo(work->PositionX, work->PositionY);
    }
  });
}

TEST(PickList, FindsAndRemovesLikeAVector) {
  std::mt19937 rng(5);
  for (size_t n : {0u, 1u, 2u, 63u, 64u, 65u, 127u, 128u, 1000u, 4099u}) {
    PickList picks(n);
    std::vector<size_t> plain(n);
    for (size_t k = 0; k < n; ++k) plain[k] = k;
    while (!plain.empty()) {
      ASSERT_EQ(picks.Count(), plain.size());
      // Every rank answers like the vector now and then; one random rank always.
      if (rng() % 16 == 0) {
        for (size_t k = 0; k < plain.size(); ++k) ASSERT_EQ(picks.At(k), plain[k]) << n;
      }
      const size_t k = rng() % plain.size();
      ASSERT_EQ(picks.At(k), plain[k]) << n << " rank " << k;
      ASSERT_TRUE(picks.Present(plain[k]));
      picks.Remove(plain[k]);
      EXPECT_FALSE(picks.Present(plain[k]));
      plain.erase(plain.begin() + static_cast<ptrdiff_t>(k));
    }
    EXPECT_EQ(picks.Count(), 0u);
  }
}

// A town of random counts on a grid of the given cell size; the same town for the same seed.
struct RandomTown : ModelFixture {
  RandomTown(int cellSize, uint32_t townSeed, int workerShare, int placeShare) {
    host.edits[EditBox::CellScale] = std::to_string(cellSize);
    Start();
    auto workers = std::make_shared<MemoryPicture>(640, 666);
    auto places = std::make_shared<MemoryPicture>(640, 666);
    auto retail = std::make_shared<MemoryPicture>(640, 666);
    std::mt19937 rng(townSeed);
    model.cells.ForEach([&](const TCell& cell) {
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
    model.workerCells.clear();
    model.jobCells.clear();
    LoadLandUse(model);
  }
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
      AssignWorkplaces(fast.model);
      const uint32_t fastSeed = RandSeed();
      SetRandSeed(seed * 31 + 3);
      PlainAssignWorkplaces(plain.model);
      EXPECT_EQ(fastSeed, RandSeed()) << "the same draws";

      auto index = [](const std::vector<TCell*>& list) {
        std::vector<std::pair<int, int>> out;
        for (const TCell* cell : list) out.emplace_back(cell->column, cell->row);
        return out;
      };
      EXPECT_EQ(index(fast.model.workerCells), index(plain.model.workerCells));
      EXPECT_EQ(index(fast.model.jobCells), index(plain.model.jobCells));
      size_t trips = 0;
      for (int col = 0; col < fast.model.gridCols; ++col)
        for (int row = 0; row < fast.model.gridRows; ++row) {
          const TCell& f = *fast.model.cells.At(col, row);
          const TCell& p = *plain.model.cells.At(col, row);
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
      PlainDrawLinesToWork(plain.model, plain.host.BaseCanvas());
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
  const TCell& home = *f.model.cells.At(5, 5);
  EXPECT_EQ(home.workers, 200);
  EXPECT_EQ(home.trips.size(), 200u);
  EXPECT_EQ(home.trips[0].destCol, 5);
  EXPECT_EQ(f.model.cells.At(6, 5)->workers, 0);
  EXPECT_TRUE(f.model.cells.At(6, 5)->trips.empty());
  EXPECT_EQ(f.host.captions[ValueLabel::Worker], "200");
  EXPECT_EQ(RandSeed(), seed);
  // As after a missing picture, the two lists are the new empty ones.
  EXPECT_TRUE(f.model.workerCells.empty());
  EXPECT_TRUE(f.model.jobCells.empty());

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

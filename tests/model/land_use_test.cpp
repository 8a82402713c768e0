// Land use: counts from the pictures, the show filter, the random pairing of workers with
// workplaces and the lines to work, on small pictures made here.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "core/error.h"
#include "core/random.h"
#include "support/model_fixture.h"

namespace velmora {
namespace {

using testing::ModelFixture;

constexpr uint32_t kWhitePixel = 0x00FFFFFF;

// The default grid (21 x 22 cells of 30 pixels) with three white pictures of the field's size.
struct LandUse : ModelFixture {
  std::shared_ptr<MemoryPicture> workers = std::make_shared<MemoryPicture>(630, 660);
  std::shared_ptr<MemoryPicture> places = std::make_shared<MemoryPicture>(630, 660);
  std::shared_ptr<MemoryPicture> retail = std::make_shared<MemoryPicture>(630, 660);

  LandUse() {
    Start();
    host.SetPicture("arbeiter.bmp", workers);
    host.SetPicture("arbeitsstaetten.bmp", places);
    host.SetPicture("verkaufsflaechen.bmp", retail);
  }
  // Puts counts at the centre of cell (c, r) as the pictures encode them: 255 minus the channel.
  void SetCounts(int c, int r, int w, int p, int s) {
    const int x = c * 30 + 15, y = r * 30 + 15;
    workers->Set(x, y, RGBColor(255 - w, 255, 255));
    places->Set(x, y, RGBColor(255, 255 - p, 255));
    retail->Set(x, y, RGBColor(255, 255, 255 - s));
  }
  TCell& Cell(int c, int r) { return *model.town.cells.At(c, r); }
  uint32_t Base(int x, int y) const { return host.base->At(x, y); }
  const std::string& Caption(ValueLabel label) { return host.captions[label]; }
};

// ---- Loading. ----

TEST(LandUseLoad, CountsAreTwoFiftyFiveMinusTheirChannel) {
  LandUse f;
  // One colour in all three pictures gives a different count from each.
  for (auto* picture : {f.workers.get(), f.places.get(), f.retail.get()})
    picture->Set(75, 45, RGBColor(205, 120, 40));
  // Only the red channel counts in the workers' picture.
  f.workers->Set(15, 15, RGBColor(0, 255, 255));
  // A dark pixel off the cell centre is not read.
  f.workers->Set(16, 15, RGBColor(0, 0, 0));
  f.model.B_loadDataClick();

  EXPECT_EQ(f.host.loadedPaths,
            (std::vector<std::string>{"/velmora/pictures/arbeiter.bmp",
                                      "/velmora/pictures/arbeitsstaetten.bmp",
                                      "/velmora/pictures/verkaufsflaechen.bmp"}));
  const TCell& mixed = f.Cell(2, 1);
  EXPECT_EQ(mixed.workers, 50);
  EXPECT_EQ(mixed.workplaces, 135);
  EXPECT_EQ(mixed.retail, 215);
  EXPECT_EQ(mixed.retailLeft, 215);
  EXPECT_EQ(mixed.trips.size(), 50u);
  const TCell& corner = f.Cell(0, 0);
  EXPECT_EQ(corner.workers, 255);
  EXPECT_EQ(corner.workplaces, 0);
  EXPECT_EQ(corner.retail, 0);
  EXPECT_EQ(corner.trips.size(), 255u);
  EXPECT_EQ(f.Cell(1, 0).workers, 0);
  EXPECT_EQ(f.Caption(ValueLabel::Worker), "305");
  EXPECT_EQ(f.Caption(ValueLabel::WorkPl), "135");
  EXPECT_EQ(f.Caption(ValueLabel::Retail), "215");
  // Lists in visiting order; the pairing has used up every workplace.
  EXPECT_TRUE(f.model.town.jobCells.empty());
  EXPECT_EQ(f.model.town.retailCells, (std::vector<TCell*>{&f.Cell(2, 1)}));
  // Under "all" the colour is the three counts; under "red" a full cell is bright red.
  EXPECT_EQ(mixed.color, RGBColor(50, 135, 215));
  EXPECT_EQ(f.Base(75, 45), RGBColor(50, 135, 215));
  f.host.filter = ShowFilter::Red;
  f.model.RB_sAllClick();
  EXPECT_EQ(f.Base(15, 15), RGBColor(255, 0, 0));
}

TEST(LandUseLoad, CellsOutsideASmallPictureCountZero) {
  LandUse f;
  f.host.SetPicture("arbeiter.bmp", std::make_shared<MemoryPicture>(100, 100, 0));
  f.model.B_loadDataClick();
  // Centres 15, 45 and 75 lie inside 100 pixels, 105 does not: 3 x 3 cells of 255.
  f.model.town.cells.ForEach([](const TCell& cell) {
    const bool inside = cell.PositionX < 100 && cell.PositionY < 100;
    EXPECT_EQ(cell.workers, inside ? 255 : 0) << cell.column << "," << cell.row;
  });
  EXPECT_EQ(f.Caption(ValueLabel::Worker), "2295");
  EXPECT_EQ(f.model.town.workerCells.size(), 9u);  // no workplaces: nobody is paired
}

TEST(LandUseLoad, WhitePicturesGiveAnEmptyTown) {
  LandUse f;
  const uint32_t seed = RandSeed();
  f.model.B_loadDataClick();
  EXPECT_EQ(f.Caption(ValueLabel::Worker), "0");
  EXPECT_EQ(f.Caption(ValueLabel::WorkPl), "0");
  EXPECT_EQ(f.Caption(ValueLabel::Retail), "0");
  EXPECT_TRUE(f.model.town.workerCells.empty());
  EXPECT_TRUE(f.model.town.jobCells.empty());
  EXPECT_TRUE(f.model.town.retailCells.empty());
  EXPECT_EQ(RandSeed(), seed);  // nothing was drawn
  for (ShowFilter filter :
       {ShowFilter::All, ShowFilter::Red, ShowFilter::Green, ShowFilter::Blue}) {
    f.host.filter = filter;
    f.model.RB_sAllClick();
    f.model.town.cells.ForEach([&](const TCell& cell) {
      EXPECT_EQ(cell.color, clBlack);
      EXPECT_EQ(f.Base(cell.PositionX, cell.PositionY), clBlack);
    });
  }
  // No trips, so no lines: the layer stays as the cells left it.
  const std::vector<uint32_t> before = f.host.base->pixels;
  f.model.B_lineWorkClick();
  EXPECT_EQ(f.host.base->pixels, before);
}

TEST(LandUseLoad, ShowFilterComposesEachCellFromItsCounts) {
  LandUse f;
  f.SetCounts(2, 1, 50, 135, 215);
  f.SetCounts(4, 3, 0, 10, 0);
  f.model.B_loadDataClick();
  const struct {
    ShowFilter filter;
    TColor mixed;
    TColor jobsOnly;
  } cases[] = {{ShowFilter::Red, RGBColor(50, 0, 0), clBlack},
               {ShowFilter::Green, RGBColor(0, 135, 0), RGBColor(0, 10, 0)},
               {ShowFilter::Blue, RGBColor(0, 0, 215), clBlack},
               {ShowFilter::All, RGBColor(50, 135, 215), RGBColor(0, 10, 0)}};
  for (const auto& c : cases) {
    f.host.filter = c.filter;
    f.model.RB_sAllClick();
    EXPECT_EQ(f.Cell(2, 1).color, c.mixed);
    EXPECT_EQ(f.Base(70, 40), c.mixed);
    EXPECT_EQ(f.Base(60, 30), clSilver);  // the outline stays
    EXPECT_EQ(f.Base(130, 100), c.jobsOnly);
  }
  // The filter changes no count.
  EXPECT_EQ(f.Cell(2, 1).workers, 50);
  EXPECT_EQ(f.Cell(2, 1).workplaces, 135);
}

TEST(LandUseLoad, ASecondLoadReadsThePicturesAfresh) {
  LandUse f;
  f.SetCounts(0, 0, 5, 0, 0);
  f.SetCounts(1, 0, 4, 0, 3);
  f.SetCounts(2, 0, 0, 20, 0);
  f.model.B_loadDataClick();
  ASSERT_EQ(f.Cell(0, 0).trips.size(), 5u);
  ASSERT_EQ(f.Cell(1, 0).trips.size(), 4u);
  // A planned commute that should survive while the cell keeps its count.
  f.model.town.EditTrips(f.Cell(0, 0))[0].morningDeparture = 7.5L;

  f.SetCounts(1, 0, 0, 0, 3);  // cell (1, 0) loses its workers
  f.SetCounts(3, 0, 2, 0, 0);
  f.SetCounts(2, 0, 0, 4, 0);
  f.model.B_loadDataClick();
  EXPECT_EQ(f.Cell(0, 0).trips.size(), 5u);
  EXPECT_EQ(f.Cell(0, 0).trips[0].morningDeparture, 7.5L);
  // No trips are left behind for workers who are gone.
  EXPECT_TRUE(f.Cell(1, 0).trips.empty());
  EXPECT_EQ(f.Cell(3, 0).trips.size(), 2u);
  EXPECT_EQ(f.Cell(2, 0).workplaces, 4);
  EXPECT_EQ(f.Caption(ValueLabel::Worker), "7");
  EXPECT_EQ(f.Caption(ValueLabel::WorkPl), "4");
  // Seven workers for four places: three stay without a workplace.
  int paired = 0, unpaired = 0;
  for (const TCell* cell : {&f.Cell(0, 0), &f.Cell(3, 0)})
    for (const Trip& trip : cell->trips) {
      if (trip.HasWorkplace()) {
        EXPECT_EQ(trip.destCol, 2);
        EXPECT_EQ(trip.destRow, 0);
        ++paired;
      } else {
        EXPECT_EQ(trip.destRow, kNoWorkplace);
        ++unpaired;
      }
    }
  EXPECT_EQ(paired, 4);
  EXPECT_EQ(unpaired, 3);
  // The retail list is never renewed: the retail cell is on it once per load.
  EXPECT_EQ(f.model.town.retailCells, (std::vector<TCell*>{&f.Cell(1, 0), &f.Cell(1, 0)}));
}

TEST(LandUseLoad, AMissingPictureLeavesTheModelAsItWas) {
  LandUse f;
  f.SetCounts(0, 0, 3, 0, 7);
  f.SetCounts(1, 0, 0, 5, 0);
  f.model.B_loadDataClick();
  const std::vector<uint32_t> drawn = f.host.base->pixels;
  const auto captions = f.host.captions;
  const std::vector<TCell*> retailCells = f.model.town.retailCells;

  f.SetCounts(0, 0, 9, 9, 9);
  // The first picture missing, and the last one.
  for (const char* missing : {"arbeiter.bmp", "verkaufsflaechen.bmp"}) {
    f.host.SetPicture("arbeiter.bmp", f.workers);
    f.host.pictures.erase("/velmora/pictures/" + std::string(missing));
    const uint32_t seed = RandSeed();
    try {
      f.model.B_loadDataClick();
      ADD_FAILURE() << "no error for " << missing;
    } catch (const VError& e) {
      EXPECT_EQ(std::string(e.what()), "Datei \"/velmora/pictures/" + std::string(missing) +
                                           "\" kann nicht geöffnet werden");
    }
    EXPECT_EQ(RandSeed(), seed);  // no pairing
    EXPECT_TRUE(f.model.town.workerCells.empty());
    EXPECT_TRUE(f.model.town.jobCells.empty());
    EXPECT_EQ(f.model.town.retailCells, retailCells);
    EXPECT_EQ(f.Cell(0, 0).workers, 3);
    EXPECT_EQ(f.Cell(0, 0).retail, 7);
    EXPECT_EQ(f.Cell(0, 0).trips.size(), 3u);
    EXPECT_EQ(f.Cell(0, 0).trips[0].destCol, 1);
    EXPECT_EQ(f.Cell(1, 0).placesLeft, 2);
    EXPECT_EQ(f.Cell(0, 0).color, RGBColor(3, 0, 7));
    EXPECT_EQ(f.host.captions, captions);
    EXPECT_EQ(f.host.base->pixels, drawn);
  }
}

// ---- Pairing. ----

TEST(LandUsePairing, FewerWorkersThanPlaces) {
  LandUse f;
  f.SetCounts(1, 1, 3, 0, 0);
  f.SetCounts(4, 2, 0, 5, 0);
  f.model.B_loadDataClick();
  for (const Trip& trip : f.Cell(1, 1).trips) {
    EXPECT_EQ(trip.destCol, 4);
    EXPECT_EQ(trip.destRow, 2);
  }
  EXPECT_EQ(f.Cell(1, 1).workersLeft, 0);
  EXPECT_EQ(f.Cell(4, 2).placesLeft, 2);
  EXPECT_TRUE(f.model.town.workerCells.empty());
  EXPECT_EQ(f.model.town.jobCells, (std::vector<TCell*>{&f.Cell(4, 2)}));
}

TEST(LandUsePairing, WorkersWithoutAPlaceHaveNoWorkplaceAndNoLine) {
  LandUse f;
  f.SetCounts(3, 3, 5, 0, 0);
  f.SetCounts(6, 3, 0, 5, 0);
  f.model.B_loadDataClick();
  // An earlier commute of every worker, planned before the workplaces shrink.
  for (Trip& trip : f.model.town.EditTrips(f.Cell(3, 3)))
    trip.route = std::make_shared<const Route>();

  f.SetCounts(6, 3, 0, 3, 0);
  f.model.B_loadDataClick();
  const TCell& home = f.Cell(3, 3);
  for (int k : {4, 3, 2}) {
    EXPECT_EQ(home.trips[k].destCol, 6) << k;
    EXPECT_EQ(home.trips[k].destRow, 3) << k;
    EXPECT_TRUE(home.trips[k].route) << k;
  }
  for (int k : {1, 0}) {
    EXPECT_FALSE(home.trips[k].HasWorkplace()) << k;
    EXPECT_EQ(home.trips[k].destCol, kNoWorkplace) << k;
    EXPECT_EQ(home.trips[k].destRow, kNoWorkplace) << k;
    EXPECT_FALSE(home.trips[k].route) << k;
  }
  EXPECT_EQ(home.workersLeft, 2);
  EXPECT_EQ(f.model.town.workerCells, (std::vector<TCell*>{&f.Cell(3, 3)}));
  EXPECT_TRUE(f.model.town.jobCells.empty());

  // The one line runs east along row 3; nothing heads for the corner cell.
  f.model.B_lineWorkClick();
  const TColor red = RGBColor(5, 0, 0);
  EXPECT_EQ(f.Base(110, 105), red);    // in the home cell, east of its centre
  EXPECT_EQ(f.Base(150, 105), red);    // across the cells between
  EXPECT_EQ(f.Base(180, 105), red);    // over an outline
  EXPECT_EQ(f.Base(190, 105), red);    // into the work cell
  EXPECT_EQ(f.Base(75, 75), clBlack);  // on the diagonal towards (15, 15)
  EXPECT_EQ(f.Base(40, 40), clBlack);
}

TEST(LandUsePairing, WorkersAndPlacesInOneCellStayHome) {
  LandUse f;
  f.SetCounts(5, 5, 10, 10, 0);
  f.model.B_loadDataClick();
  for (const Trip& trip : f.Cell(5, 5).trips) {
    EXPECT_EQ(trip.destCol, 5);
    EXPECT_EQ(trip.destRow, 5);
  }
  EXPECT_EQ(f.Cell(5, 5).placesLeft, 0);
  const std::vector<uint32_t> before = f.host.base->pixels;
  f.model.B_lineWorkClick();
  EXPECT_EQ(f.host.base->pixels, before);
}

TEST(LandUsePairing, DestinationsFollowTheGeneratorExactly) {
  LandUse f;
  // Workers: A = (0, 0) with 2, B = (1, 0) with 1. Places: C = (2, 0) with 1, D = (0, 1)
  // with 2. workerCells = [A, B], jobCells = [C, D].
  f.SetCounts(0, 0, 2, 0, 0);
  f.SetCounts(1, 0, 1, 0, 0);
  f.SetCounts(2, 0, 0, 1, 0);
  f.SetCounts(0, 1, 0, 2, 0);
  // From seed 8, seed <- seed * 134775813 + 1 and Random(n) = (seed * n) >> 32:
  //   1078206505 -> Random(2) = 0: A      2872165582 -> Random(2) = 1: D
  //     A.trips[1] -> D (0, 1)
  //   2548240391 -> Random(2) = 1: B      3286952996 -> Random(2) = 1: D
  //     B.trips[0] -> D (0, 1); B and D leave their lists, so jobCells = [C]
  //   1987652789 -> Random(1) = 0: A      3641914250 -> Random(1) = 0: C
  //     A.trips[0] -> C (2, 0); both lists are empty
  SetRandSeed(8);
  f.model.B_loadDataClick();
  const auto dest = [](const Trip& t) { return std::make_pair(t.destCol, t.destRow); };
  EXPECT_EQ(dest(f.Cell(0, 0).trips[1]), std::make_pair(0, 1));
  EXPECT_EQ(dest(f.Cell(0, 0).trips[0]), std::make_pair(2, 0));
  EXPECT_EQ(dest(f.Cell(1, 0).trips[0]), std::make_pair(0, 1));
  EXPECT_EQ(RandSeed(), 3641914250u);  // two draws per pairing, no more
  EXPECT_TRUE(f.model.town.workerCells.empty());
  EXPECT_TRUE(f.model.town.jobCells.empty());
}

TEST(LandUsePairing, EveryTakenPlaceIsOneTripAtLargerSizes) {
  // Cell size 10: 64 x 66 cells with scattered counts from a fixed formula.
  LandUse f;
  f.host.edits[EditBox::CellScale] = "10";
  f.model.FormCreate();
  // Pictures covering the whole drawing area, as the last column's centres lie at x 635.
  f.workers = std::make_shared<MemoryPicture>(640, 666);
  f.places = std::make_shared<MemoryPicture>(640, 666);
  f.host.SetPicture("arbeiter.bmp", f.workers);
  f.host.SetPicture("arbeitsstaetten.bmp", f.places);
  long long totalWorkers = 0, totalPlaces = 0;
  for (int r = 0; r < f.model.town.gridRows; ++r)
    for (int c = 0; c < f.model.town.gridCols; ++c) {
      const int w = (c * 7 + r * 13) % 23 == 0 ? 0 : (c * 31 + r * 17) % 256;
      const int p = (c + r) % 5 == 0 ? (c * 11 + r * 29) % 256 : 0;
      f.workers->Set(c * 10 + 5, r * 10 + 5, RGBColor(255 - w, 255, 255));
      f.places->Set(c * 10 + 5, r * 10 + 5, RGBColor(255, 255 - p, 255));
      totalWorkers += w;
      totalPlaces += p;
    }
  SetRandSeed(99);
  f.model.B_loadDataClick();
  ASSERT_GT(totalWorkers, totalPlaces);
  std::map<std::pair<int, int>, int> arriving;
  long long paired = 0, unpaired = 0;
  f.model.town.cells.ForEach([&](const TCell& cell) {
    ASSERT_EQ(cell.trips.size(), static_cast<size_t>(cell.workers));
    for (size_t k = 0; k < cell.trips.size(); ++k) {
      const Trip& trip = cell.trips[k];
      // The unpaired ones are exactly the lowest indices.
      EXPECT_EQ(trip.HasWorkplace(), k >= cell.workersLeft);
      if (trip.HasWorkplace()) {
        ++arriving[{trip.destCol, trip.destRow}];
        ++paired;
      } else {
        ++unpaired;
      }
    }
  });
  EXPECT_EQ(paired, totalPlaces);
  EXPECT_EQ(unpaired, totalWorkers - totalPlaces);
  f.model.town.cells.ForEach([&](const TCell& cell) {
    EXPECT_EQ(cell.placesLeft, 0);
    const auto it = arriving.find({cell.column, cell.row});
    EXPECT_EQ(it == arriving.end() ? 0 : it->second, cell.workplaces);
  });
}

// ---- Lines to work. ----

TEST(LandUseLines, LinesTakeTheHomeCellsColour) {
  LandUse f;
  f.SetCounts(1, 1, 4, 0, 0);   // home, centre (45, 45)
  f.SetCounts(1, 5, 0, 4, 90);  // work, centre (45, 165), straight below
  f.model.B_loadDataClick();
  f.model.B_lineWorkClick();
  EXPECT_EQ(f.Base(45, 100), RGBColor(4, 0, 0));
  EXPECT_EQ(f.Base(45, 160), RGBColor(4, 0, 0));
  EXPECT_EQ(f.Base(46, 100), clBlack);  // one pixel wide
  EXPECT_EQ(f.Base(44, 100), clBlack);

  // Under "green" the home cell is black, and so are its lines; the work cell is redrawn
  // over the end of the line.
  f.host.filter = ShowFilter::Green;
  f.model.RB_sAllClick();
  EXPECT_EQ(f.Base(45, 160), RGBColor(0, 4, 0));
  f.model.B_lineWorkClick();
  EXPECT_EQ(f.Base(45, 160), clBlack);
  EXPECT_EQ(f.Base(45, 50), clBlack);
  // Back to "all": the cells cover the lines again.
  f.host.filter = ShowFilter::All;
  f.model.RB_sAllClick();
  EXPECT_EQ(f.Base(45, 160), RGBColor(0, 4, 90));
  EXPECT_EQ(f.Base(45, 50), RGBColor(4, 0, 0));
}

}  // namespace
}  // namespace velmora

// "load data", "lines to work" and the show filter on the real window with the default town
// that the build puts beside the test executable.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <set>

#include "app/Main.h"
#include "app/window_fixture.h"
#include "ui/error_box.h"

namespace velmora {
namespace {

QRgb At(const QImage& image, int x, int y) {
  return image.pixel(x, y) & 0xFFFFFF;
}
QRgb ToQRgb(TColor c) {
  return qRgb(RedOf(c), GreenOf(c), BlueOf(c)) & 0xFFFFFF;
}

// The counts of the default town at the default cell centres, read straight from the files.
struct TownCounts {
  int workers[21][22], places[21][22], retail[21][22];
  long long totalWorkers = 0, totalPlaces = 0, totalRetail = 0;
  TownCounts() {
    const QString folder = QCoreApplication::applicationDirPath() + "/pictures/";
    const QImage w(folder + "arbeiter.bmp"), p(folder + "arbeitsstaetten.bmp"),
        r(folder + "verkaufsflaechen.bmp");
    EXPECT_FALSE(w.isNull() || p.isNull() || r.isNull());
    for (int c = 0; c < 21; ++c)
      for (int row = 0; row < 22; ++row) {
        const int x = 15 + 30 * c, y = 15 + 30 * row;
        totalWorkers += workers[c][row] = 255 - qRed(w.pixel(x, y));
        totalPlaces += places[c][row] = 255 - qGreen(p.pixel(x, y));
        totalRetail += retail[c][row] = 255 - qBlue(r.pixel(x, y));
      }
  }
};

struct Town : testing::Window {
  TownCounts counts;
  const QImage& Base() { return form.imageCells().BaseImage(); }
};

TEST(LandUseWindow, LoadDataShowsTheDefaultTown) {
  Town t;
  t.form.Run(&Model::B_loadDataClick);
  ASSERT_TRUE(t.errors.messages.empty()) << t.errors.messages.front();
  EXPECT_EQ(t.form.Lbl_worker->text(), QString::number(t.counts.totalWorkers));
  EXPECT_EQ(t.form.Lbl_workPl->text(), QString::number(t.counts.totalPlaces));
  EXPECT_EQ(t.form.Lbl_retail->text(), QString::number(t.counts.totalRetail));
  // A town of some ten to thirty thousand workers, every one of them with a workplace.
  EXPECT_GE(t.counts.totalWorkers, 10000);
  EXPECT_LE(t.counts.totalWorkers, 30000);
  EXPECT_GE(t.counts.totalPlaces, t.counts.totalWorkers);
  EXPECT_TRUE(t.form.model().town.workerCells.empty());
  // Under "all" every cell shows its three counts as red, green and blue.
  const QImage shown = t.form.imageCells().Composed();
  for (int c = 0; c < 21; ++c)
    for (int r = 0; r < 22; ++r)
      ASSERT_EQ(
          At(shown, 15 + 30 * c, 15 + 30 * r),
          qRgb(t.counts.workers[c][r], t.counts.places[c][r], t.counts.retail[c][r]) & 0xFFFFFF)
          << c << "," << r;
}

TEST(LandUseWindow, LinesToWorkThenFiltersRestoreTheCells) {
  Town t;
  t.form.Run(&Model::B_loadDataClick);
  const QImage cellsOnly = t.Base().copy();
  std::set<QRgb> homeColours;
  t.form.model().town.cells.ForEach([&](const TCell& cell) {
    if (!cell.trips.empty()) homeColours.insert(ToQRgb(cell.color));
  });

  t.form.Run(&Model::B_lineWorkClick);
  const QImage lines = t.Base().copy();
  int changed = 0;
  for (int y = 0; y < lines.height(); ++y)
    for (int x = 0; x < lines.width(); ++x)
      if (At(lines, x, y) != At(cellsOnly, x, y)) {
        ++changed;
        ASSERT_TRUE(homeColours.count(At(lines, x, y))) << x << "," << y;
      }
  EXPECT_GT(changed, 10000);

  // "green" shows the workplaces alone, over the lines.
  t.form.RB_sGreen->click();
  ASSERT_TRUE(t.form.RB_sGreen->isChecked());
  for (int c = 0; c < 21; ++c)
    for (int r = 0; r < 22; ++r)
      ASSERT_EQ(At(t.Base(), 15 + 30 * c, 15 + 30 * r),
                qRgb(0, t.counts.places[c][r], 0) & 0xFFFFFF);
  // "all" brings back exactly the picture the load drew, lines gone.
  t.form.RB_sAll->click();
  EXPECT_EQ(t.Base(), cellsOnly);
  EXPECT_TRUE(t.errors.messages.empty());
}

}  // namespace
}  // namespace velmora

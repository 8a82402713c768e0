#include <gtest/gtest.h>

#include "core/error.h"
#include "support/model_fixture.h"

namespace velmora {
namespace {

using testing::ModelFixture;

TEST(Grid, DefaultsGiveTwentyOneByTwentyTwoWhiteCells) {
  ModelFixture f;
  f.Start();
  const Model& m = f.model;
  EXPECT_EQ(m.town.cellSize, 30);
  EXPECT_EQ(m.town.gridCols, 21);
  EXPECT_EQ(m.town.gridRows, 22);
  EXPECT_EQ(m.town.fieldWidth, 630);
  EXPECT_EQ(m.town.fieldHeight, 660);
  EXPECT_EQ(m.town.halfCell, 15);
  const TCell* first = m.town.cells.At(0, 0);
  EXPECT_EQ(first->PositionX, 15);
  EXPECT_EQ(first->PositionY, 15);
  const TCell* last = m.town.cells.At(20, 21);
  EXPECT_EQ(last->PositionX, 615);
  EXPECT_EQ(last->PositionY, 645);
  EXPECT_EQ(last->Size, 15);
  EXPECT_EQ(last->column, 20);
  EXPECT_EQ(last->row, 21);
  int count = 0;
  m.town.cells.ForEach([&](const TCell& c) {
    EXPECT_EQ(c.color, clWhite);
    ++count;
  });
  EXPECT_EQ(count, 462);
  // Cell (2, 1): centre (75, 45), covers x 60..89, y 30..59 with a silver outline.
  const auto& base = *f.host.base;
  EXPECT_EQ(base.At(60, 30), clSilver);
  EXPECT_EQ(base.At(89, 59), clSilver);
  EXPECT_EQ(base.At(75, 45), clWhite);
  EXPECT_EQ(base.At(61, 31), clWhite);
  // The strips right of 630 and below 660 hold no cell.
  EXPECT_EQ(base.At(635, 100), clWhite);
  EXPECT_EQ(base.At(100, 663), clWhite);
  EXPECT_EQ(base.At(629, 659), clSilver);
  // The overlay is all black and so fully transparent.
  ASSERT_TRUE(f.host.overlay);
  EXPECT_EQ(f.host.overlay->At(0, 0), clBlack);
  EXPECT_EQ(f.host.overlay->At(639, 665), clBlack);
  EXPECT_EQ(f.host.captions[ValueLabel::Min], "10 min");
}

TEST(Grid, NewCellsAreBlackUntilInitialised) {
  TCell cell(15, 15, 15);
  EXPECT_EQ(cell.color, clBlack);
  EXPECT_TRUE(cell.trips.empty());
  EXPECT_EQ(cell.workers, 0);
}

TEST(Grid, OddAndLargeCellSizes) {
  ModelFixture f;
  f.host.edits[EditBox::CellScale] = "31";
  f.Start();
  EXPECT_EQ(f.model.town.gridCols, 20);
  EXPECT_EQ(f.model.town.gridRows, 21);
  EXPECT_EQ(f.model.town.halfCell, 15);
  const TCell* cell = f.model.town.cells.At(1, 0);
  EXPECT_EQ(cell->PositionX, 46);
  // Cell 1 covers x 31..60; x 30 belongs to no square.
  EXPECT_EQ(f.host.base->At(31, 5), clSilver);
  EXPECT_EQ(f.host.base->At(60, 5), clSilver);
  EXPECT_EQ(f.host.base->At(29, 5), clSilver);  // right edge of cell 0
  EXPECT_EQ(f.host.base->At(30, 5), clWhite);

  f.host.edits[EditBox::CellScale] = "40";
  f.model.FormCreate();
  EXPECT_EQ(f.model.town.gridCols, 16);
  EXPECT_EQ(f.model.town.gridRows, 16);
  EXPECT_EQ(f.model.town.fieldWidth, 640);
  EXPECT_EQ(f.model.town.fieldHeight, 640);
  EXPECT_EQ(f.model.town.halfCell, 20);

  f.host.edits[EditBox::CellScale] = "700";
  f.model.FormCreate();
  EXPECT_EQ(f.model.town.gridCols, 0);
  EXPECT_EQ(f.model.town.gridRows, 0);
  EXPECT_TRUE(f.model.town.cells.Empty());
}

TEST(Grid, BadCellSizesChangeNothing) {
  ModelFixture f;
  f.Start();
  for (const char* bad : {"abc", "", "-5"}) {
    f.host.edits[EditBox::CellScale] = bad;
    try {
      f.model.FormCreate();
      ADD_FAILURE() << bad;
    } catch (const VError& e) {
      EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' ist kein gültiger Integerwert");
    }
    EXPECT_EQ(f.model.town.cellSize, 30);
    EXPECT_EQ(f.model.town.gridCols, 21);
  }
  f.host.edits[EditBox::CellScale] = "0";
  try {
    f.model.FormCreate();
    ADD_FAILURE();
  } catch (const VError& e) {
    EXPECT_EQ(std::string(e.what()), "Gleitkommadivision durch Null");
  }
  EXPECT_EQ(f.model.town.cellSize, 0);
  EXPECT_EQ(f.model.town.gridCols, 21);
  EXPECT_EQ(f.model.town.cells.At(20, 21)->PositionX, 615);
}

TEST(Grid, TeardownPaintsWhiteAndCanRunTwice) {
  ModelFixture f;
  f.Start();
  f.host.timerEnabled = true;
  f.model.B_deleteAllClick();
  EXPECT_FALSE(f.host.timerEnabled);
  EXPECT_TRUE(f.model.town.cells.Empty());
  EXPECT_EQ(f.host.base->At(60, 30), clWhite);
  f.model.FormClose();  // closing after "delete all" releases nothing twice
  f.model.FormCreate();
  EXPECT_EQ(f.host.base->At(60, 30), clSilver);
  EXPECT_EQ(f.model.town.gridCols, 21);
}

TEST(TimeScale, MinutesPerStep) {
  ModelFixture f;
  f.Start();
  const std::pair<const char*, const char*> cases[] = {
      {"6", "10 min"},  {"8", "8 min"},   {"24", "2 min"},  {"40", "2 min"},   {"7", "9 min"},
      {"120", "0 min"}, {"127", "0 min"}, {"300", "1 min"}, {"200", "-1 min"}, {"-1", "-60 min"}};
  for (const auto& [text, caption] : cases) {
    f.host.edits[EditBox::TimeScale] = text;
    f.model.E_timeScaleChange();
    EXPECT_EQ(f.host.captions[ValueLabel::Min], caption) << text;
  }
  f.host.edits[EditBox::TimeScale] = "300";
  f.model.E_timeScaleChange();
  EXPECT_EQ(f.model.day.stepsPerHour, 44);
  EXPECT_EQ(f.model.day.stepsPerDay, 1056);
  f.host.edits[EditBox::TimeScale] = "200";
  f.model.E_timeScaleChange();
  EXPECT_EQ(f.model.day.stepsPerHour, -56);
  for (const char* zero : {"0", "256"}) {
    f.host.edits[EditBox::TimeScale] = zero;
    f.host.captions[ValueLabel::Min] = "kept";
    EXPECT_THROW(f.model.E_timeScaleChange(), VError);
    EXPECT_EQ(f.model.day.stepsPerHour, 0);
    EXPECT_EQ(f.model.day.stepsPerDay, 0);
    EXPECT_EQ(f.host.captions[ValueLabel::Min], "kept");
  }
}

TEST(TimerCommands, StartTogglesAndIntervalIsRead) {
  ModelFixture f;
  f.Start();
  f.model.B_startTClick();
  EXPECT_TRUE(f.host.timerEnabled);
  f.model.B_startTClick();
  EXPECT_FALSE(f.host.timerEnabled);
  f.host.edits[EditBox::TInterv] = "";
  EXPECT_THROW(f.model.E_tIntervChange(), VError);
  EXPECT_EQ(f.host.timerInterval, 1);
  f.host.edits[EditBox::TInterv] = "50";
  f.model.E_tIntervChange();
  EXPECT_EQ(f.host.timerInterval, 50);
}

}  // namespace
}  // namespace velmora

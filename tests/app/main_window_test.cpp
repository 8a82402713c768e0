// The main window on the offscreen platform: layout, grid setup, teardown and the clock edits.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "app/Main.h"
#include "app/timeGraph.h"
#include "app/window_fixture.h"
#include "ui/error_box.h"

namespace velmora {
namespace {

QRgb At(const QImage& image, int x, int y) {
  return image.pixel(x, y) & 0xFFFFFF;
}
constexpr QRgb kWhite = 0xFFFFFF, kSilver = 0xC0C0C0;

using testing::Window;

TEST(MainWindow, ControlsCarryTheirCaptionsAndDefaults) {
  Window w;
  TForm1& f = w.form;
  EXPECT_EQ(f.windowTitle(), "Velmora");
  EXPECT_EQ(f.width(), 890);
  EXPECT_EQ(f.height(), 666);
  EXPECT_EQ(f.Image_Cells->geometry(), QRect(0, 0, 640, 666));
  EXPECT_EQ(f.TabControl1->geometry(), QRect(640, 0, 250, 666));
  const std::pair<const char*, const char*> buttons[] = {
      {"B_deleteAll", "delete all"},   {"B_setup", "new setup"},
      {"B_loadData", "load data"},     {"B_lineWork", "lines to work"},
      {"B_agCreate", "agents create"}, {"B_agDelete", "agents delete"},
      {"B_workPath", "workers path"},  {"B_findPath", "find path"},
      {"B_showGraph", "show graph1"},  {"B_startT", "startTimer"},
      {"B_oneStep", "oneStep"}};
  for (const auto& [name, caption] : buttons) {
    auto* b = f.findChild<QPushButton*>(name);
    ASSERT_NE(b, nullptr) << name;
    EXPECT_EQ(b->text(), QString::fromUtf8(caption));
    EXPECT_EQ(b->size(), QSize(75, 25)) << name;
  }
  const std::pair<const char*, const char*> edits[] = {
      {"E_cellScale", "30"}, {"E_nodeNumber", "41"}, {"E_conDist", "130"}, {"E_repDist", "40"},
      {"E_STD", "1,0"},      {"E_mDep", "8"},        {"E_eDep", "17"},     {"E_tScale", "10"},
      {"E_tInterv", "1"},    {"E_timeScale", "6"}};
  for (const auto& [name, text] : edits) {
    auto* e = f.findChild<QLineEdit*>(name);
    ASSERT_NE(e, nullptr) << name;
    EXPECT_EQ(e->text(), QString::fromUtf8(text)) << name;
    EXPECT_EQ(e->height(), 21);
  }
  EXPECT_EQ(f.E_cellScale->width(), 53);
  EXPECT_EQ(f.E_tScale->width(), 30);
  EXPECT_EQ(f.E_nodeNumber->width(), 29);
  const std::pair<const char*, const char*> labels[] = {{"Label1", "cell scale:"},
                                                        {"Label2", "Arbeitsbevölkerung:"},
                                                        {"Label3", "Arbeitsplätze:"},
                                                        {"Label4", "Einzelhandelseinheiten:"},
                                                        {"Label5", "number:"},
                                                        {"Label6", "STD:"},
                                                        {"Label7", "morning dep.:"},
                                                        {"Label8", "evenng dep.:"},
                                                        {"Label9", "time:"},
                                                        {"Label10", "traffic:"},
                                                        {"Label11", "scale: no./"},
                                                        {"Label12", "connect distance:"},
                                                        {"Label13", "repel distance:"},
                                                        {"Label14", "timer interval:"},
                                                        {"Label15", "time scale: hour /"},
                                                        {"Label16", "time scale = "},
                                                        {"Label17", "steps:"},
                                                        {"Lbl_worker", "Lbl_worker"},
                                                        {"Lbl_workPl", "Lbl_workPl"},
                                                        {"Lbl_retail", "Lbl_retail"},
                                                        {"Lbl_time", "time"},
                                                        {"lbl_onRoad", "onRoad"},
                                                        {"Lbl_steps", "steps"},
                                                        {"Lal_min", "10 min"}};
  for (const auto& [name, text] : labels) {
    auto* l = f.findChild<QLabel*>(name);
    ASSERT_NE(l, nullptr) << name;
    EXPECT_EQ(l->text(), QString::fromUtf8(text)) << name;
  }
  EXPECT_EQ(f.Label1->pos(), QPoint(181, 13));
  const std::pair<const char*, const char*> groups[] = {
      {"GroupBox1", "setup"},
      {"GroupBox2", "graph"},
      {"GroupBox4", "commutation to and from work"},
      {"GroupBox3", "traffic"},
      {"GroupBox5", "dynamic"},
      {"RadioGroup1", "show"}};
  for (const auto& [name, text] : groups) {
    auto* g = f.findChild<QGroupBox*>(name);
    ASSERT_NE(g, nullptr) << name;
    EXPECT_EQ(g->title(), QString::fromUtf8(text));
  }
  EXPECT_TRUE(f.RB_sAll->isChecked());
  EXPECT_FALSE(f.RB_sRed->isChecked());
  EXPECT_EQ(f.RB_sGreen->text(), "green");
  EXPECT_FALSE(f.timer().Enabled());
  EXPECT_EQ(f.timer().Interval(), 1);
  EXPECT_TRUE(w.errors.messages.empty());
  EXPECT_TRUE(w.form2.isHidden());
  EXPECT_EQ(w.form2.windowTitle(), "Form2");
}

TEST(MainWindow, CaptionsFitTheirPlaces) {
  Window w;
  // Every caption label ends before the control it names begins.
  const std::pair<QLabel*, QWidget*> pairs[] = {
      {w.form.Label2, w.form.Lbl_worker},  {w.form.Label3, w.form.Lbl_workPl},
      {w.form.Label4, w.form.Lbl_retail},  {w.form.Label5, w.form.E_nodeNumber},
      {w.form.Label12, w.form.E_conDist},  {w.form.Label13, w.form.E_repDist},
      {w.form.Label6, w.form.E_STD},       {w.form.Label7, w.form.E_mDep},
      {w.form.Label8, w.form.E_eDep},      {w.form.Label11, w.form.E_tScale},
      {w.form.Label14, w.form.E_tInterv},  {w.form.Label15, w.form.E_timeScale},
      {w.form.Label16, w.form.Lal_min},    {w.form.Label9, w.form.Lbl_time},
      {w.form.Label10, w.form.lbl_onRoad}, {w.form.Label17, w.form.Lbl_steps}};
  for (const auto& [label, target] : pairs) {
    const int textWidth = label->fontMetrics().horizontalAdvance(label->text());
    EXPECT_LE(label->x() + textWidth, target->x() + 2) << label->objectName().toStdString();
  }
}

TEST(MainWindow, StartPictureIsTheWhiteGrid) {
  Window w;
  const QImage image = w.form.imageCells().Composed();
  for (int x = 0; x <= 600; x += 30) {
    EXPECT_EQ(At(image, x, 100), kSilver) << x;
    EXPECT_EQ(At(image, x + 29, 100), kSilver) << x;
    EXPECT_EQ(At(image, x + 10, 101), kWhite) << x;
  }
  EXPECT_EQ(At(image, 635, 100), kWhite);  // right of the field
  EXPECT_EQ(At(image, 100, 662), kWhite);  // below it
  ASSERT_NE(w.form.imageCells().OverlayImage(), nullptr);
  EXPECT_EQ(At(*w.form.imageCells().OverlayImage(), 0, 665), 0u);
  EXPECT_EQ(At(*w.form.imageCells().OverlayImage(), 300, 300), 0u);
}

TEST(MainWindow, NewSetupWithOtherCellSizes) {
  Window w;
  w.Type(w.form.E_cellScale, "40");
  QTest::mouseClick(w.form.B_setup, Qt::LeftButton);
  EXPECT_EQ(w.form.model().town.gridCols, 16);
  EXPECT_EQ(w.form.model().town.gridRows, 16);
  EXPECT_EQ(w.form.model().town.halfCell, 20);
  QImage image = w.form.imageCells().Composed();
  EXPECT_EQ(At(image, 639, 639), kSilver);
  // Below y = 640 the earlier grid of 30-pixel cells still shows.
  EXPECT_EQ(At(image, 30, 650), kSilver);
  EXPECT_EQ(At(image, 45, 650), kWhite);

  w.Type(w.form.E_cellScale, "31");
  QTest::mouseClick(w.form.B_setup, Qt::LeftButton);
  EXPECT_EQ(w.form.model().town.gridCols, 20);
  EXPECT_EQ(w.form.model().town.gridRows, 21);

  w.Type(w.form.E_cellScale, "700");
  QTest::mouseClick(w.form.B_setup, Qt::LeftButton);
  EXPECT_TRUE(w.form.model().town.cells.Empty());
  EXPECT_TRUE(w.errors.messages.empty());

  w.Type(w.form.E_cellScale, "30");
  QTest::mouseClick(w.form.B_setup, Qt::LeftButton);
  const std::pair<const char*, const char*> bad[] = {
      {"abc", "'abc' ist kein gültiger Integerwert."},
      {"", "'' ist kein gültiger Integerwert."},
      {"-5", "'-5' ist kein gültiger Integerwert."}};
  for (const auto& [text, message] : bad) {
    w.errors.messages.clear();
    w.Type(w.form.E_cellScale, QString::fromUtf8(text));
    QTest::mouseClick(w.form.B_setup, Qt::LeftButton);
    ASSERT_EQ(w.errors.messages.size(), 1u);
    EXPECT_EQ(w.errors.messages[0], message);
    EXPECT_EQ(w.form.model().town.gridCols, 21);
    EXPECT_EQ(w.form.model().town.cellSize, 30);
  }
}

TEST(MainWindow, DeleteAllThenNewSetupGivesTheStartPicture) {
  Window w;
  const QImage start = w.form.imageCells().Composed();
  w.form.timer().SetEnabled(true);
  QTest::mouseClick(w.form.B_deleteAll, Qt::LeftButton);
  EXPECT_FALSE(w.form.timer().Enabled());
  EXPECT_EQ(At(w.form.imageCells().Composed(), 60, 30), kWhite);
  QTest::mouseClick(w.form.B_setup, Qt::LeftButton);
  EXPECT_EQ(w.form.imageCells().Composed(), start);
  EXPECT_TRUE(w.errors.messages.empty());
}

TEST(MainWindow, StartTimerTwiceLeavesItOff) {
  Window w;
  QTest::mouseClick(w.form.B_startT, Qt::LeftButton);
  EXPECT_TRUE(w.form.timer().Enabled());
  EXPECT_TRUE(w.form.timer().Ticking());
  QTest::mouseClick(w.form.B_startT, Qt::LeftButton);
  EXPECT_FALSE(w.form.timer().Enabled());
  EXPECT_FALSE(w.form.timer().Ticking());
}

TEST(MainWindow, TimeScaleLabel) {
  Window w;
  const std::pair<const char*, const char*> cases[] = {
      {"8", "8 min"}, {"24", "2 min"}, {"120", "0 min"}, {"300", "1 min"}, {"6", "10 min"}};
  for (const auto& [text, caption] : cases) {
    w.Type(w.form.E_timeScale, text);
    EXPECT_EQ(w.form.Lal_min->text(), caption) << text;
  }
  EXPECT_TRUE(w.errors.messages.empty());
  w.Type(w.form.E_timeScale, "0");
  ASSERT_EQ(w.errors.messages.size(), 1u);
  EXPECT_EQ(w.errors.messages[0], "Gleitkommadivision durch Null.");
  EXPECT_EQ(w.form.Lal_min->text(), "10 min");
  EXPECT_EQ(w.form.model().day.stepsPerDay, 0);
}

TEST(MainWindow, TimerIntervalEdits) {
  Window w;
  w.Type(w.form.E_tInterv, "");
  ASSERT_EQ(w.errors.messages.size(), 1u);
  EXPECT_EQ(w.errors.messages[0], "'' ist kein gültiger Integerwert.");
  EXPECT_EQ(w.form.timer().Interval(), 1);
  w.Type(w.form.E_tInterv, "50");
  EXPECT_EQ(w.form.timer().Interval(), 50);
  // An interval of 0 stops the ticks while the timer stays enabled; above 0 they resume.
  QTest::mouseClick(w.form.B_startT, Qt::LeftButton);
  w.Type(w.form.E_tInterv, "0");
  EXPECT_TRUE(w.form.timer().Enabled());
  EXPECT_FALSE(w.form.timer().Ticking());
  w.Type(w.form.E_tInterv, "5");
  EXPECT_TRUE(w.form.timer().Ticking());
  w.Type(w.form.E_tInterv, "-3");
  EXPECT_FALSE(w.form.timer().Ticking());
}

TEST(MainWindow, ClosingTearsDownAndHidesTheChart) {
  Window w;
  w.form.show();
  w.form2.show();
  QTest::mouseClick(w.form.B_deleteAll, Qt::LeftButton);
  w.form.close();
  EXPECT_TRUE(w.form.model().town.cells.Empty());
  EXPECT_TRUE(w.form2.isHidden());
  EXPECT_TRUE(w.errors.messages.empty());
}

}  // namespace
}  // namespace velmora

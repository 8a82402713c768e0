// The window keeps answering while the timer runs the day at scale: a fine grid (cell size 10)
// with every picture black, so 255 workers in each of 4,224 cells (1,077,120 trips), a network
// of 42 nodes, the timer at 1 ms, and the clock in the morning rush with vehicles by the tens
// of thousands on the road.
//
// Clicks and key strokes are posted to the controls as the window system would queue them, not
// delivered on the spot: each must be handled by the event loop between two steps, so that at
// most the step already due runs before it, and the timer must go on stepping afterwards.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "app/Main.h"
#include "app/timeGraph.h"
#include "app/window_fixture.h"
#include "core/convert.h"
#include "core/random.h"
#include "ui/error_box.h"

namespace velmora {
namespace {

// How soon a queued click or key stroke must be answered, in milliseconds: a step or two at
// this size, with ample room for the sanitizers and a busy machine.
constexpr qint64 kPromptly = 2000;

struct BusyTown : testing::Window {
  QTemporaryDir folder;

  BusyTown() {
    // Three black pictures: every count at its largest.
    EXPECT_TRUE(folder.isValid());
    EXPECT_TRUE(QDir(folder.path()).mkdir("pictures"));
    QImage black(640, 666, QImage::Format_RGB32);
    black.fill(Qt::black);
    for (const char* name : {"arbeiter.bmp", "arbeitsstaetten.bmp", "verkaufsflaechen.bmp"})
      EXPECT_TRUE(black.save(folder.path() + "/pictures/" + name, "BMP"));
    form.SetExecutableDir(QDir::toNativeSeparators(folder.path() + "/").toStdString());
    SetDecimalSeparator(',');
    form.E_STD->setText("1,0");
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
  }

  Model& model() { return form.model(); }
  uint32_t Steps() { return model().day.stepCount; }

  // Runs the event loop until the condition holds or 60 s have passed; remembers how long
  // that took.
  bool RunUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 60000) QTest::qWait(1);
    waited = clock.elapsed();
    return done();
  }
  qint64 waited = 0;

  // A left click queued for a button, press and release at its centre.
  static void PostClick(QPushButton* button) {
    const QPointF centre(button->width() / 2.0, button->height() / 2.0);
    const QPointF global = button->mapToGlobal(centre);
    QCoreApplication::postEvent(
        button, new QMouseEvent(QEvent::MouseButtonPress, centre, global, Qt::LeftButton,
                                Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(
        button, new QMouseEvent(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton,
                                Qt::NoButton, Qt::NoModifier));
  }

  // Key strokes queued for an edit box: the text is selected and typed over.
  static void PostTyping(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    for (const QChar c : text) {
      QCoreApplication::postEvent(edit,
                                  new QKeyEvent(QEvent::KeyPress, 0, Qt::NoModifier, QString(c)));
      QCoreApplication::postEvent(edit,
                                  new QKeyEvent(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c)));
    }
  }
};

TEST(Responsiveness, ClicksAndEditsAreAnsweredBetweenStepsAtTheMorningPeak) {
  BusyTown t;
  Model& m = t.model();
  t.form.E_cellScale->setText("10");
  QTest::mouseClick(t.form.B_setup, Qt::LeftButton);
  SetRandSeed(20240611u);
  QTest::mouseClick(t.form.B_loadData, Qt::LeftButton);
  QTest::mouseClick(t.form.B_agCreate, Qt::LeftButton);
  QTest::mouseClick(t.form.B_workPath, Qt::LeftButton);
  ASSERT_TRUE(t.errors.messages.empty()) << t.errors.messages.front();
  size_t trips = 0;
  m.town.cells.ForEach([&](const TCell& cell) { trips += cell.trips.size(); });
  ASSERT_EQ(trips, 1077120u);
  ASSERT_EQ(m.network.nodeList.size(), 42u);

  // The clock is put at 7:30, so that the next steps release the rush hour.
  m.day.stepCount = 45;
  m.day.prevClockHours = 7.5;

  EXPECT_EQ(t.form.E_tInterv->text(), "1");
  QTest::mouseClick(t.form.B_startT, Qt::LeftButton);
  ASSERT_TRUE(t.form.timer().Ticking());
  ASSERT_TRUE(t.RunUntil([&] { return t.Steps() >= 47; }));
  ASSERT_GT(m.day.travellers.size(), 50000u) << "the road should be busy by now";

  // A click on "oneStep": handled between two timer steps, its own step comes on top.
  {
    QSignalSpy clicks(t.form.B_oneStep, &QPushButton::clicked);
    const uint32_t before = t.Steps();
    BusyTown::PostClick(t.form.B_oneStep);
    ASSERT_TRUE(t.RunUntil([&] { return clicks.count() == 1; }));
    EXPECT_LT(t.waited, kPromptly);
    // The click's own step plus at most the one the timer had due.
    EXPECT_LE(t.Steps() - before, 2u);
    ASSERT_TRUE(t.RunUntil([&] { return t.Steps() >= before + 4; }));
  }

  // An edit of the time scale: its text-changed handler runs between steps and the label
  // follows at once; the steps after it use 7 steps per hour (still in the rush).
  {
    const uint32_t before = t.Steps();
    BusyTown::PostTyping(t.form.E_timeScale, "7");
    ASSERT_TRUE(t.RunUntil([&] { return t.form.Lal_min->text() == "9 min"; }));
    EXPECT_LT(t.waited, kPromptly);
    EXPECT_LE(t.Steps() - before, 1u);
    EXPECT_EQ(m.day.stepsPerHour, 7);
    ASSERT_TRUE(t.RunUntil([&] { return t.Steps() >= before + 3; }));
    EXPECT_EQ(t.form.Lbl_steps->text().toUInt(), t.Steps());
  }

  // An edit of the load scale to something that is no number: the very next step fails on it
  // and switches the timer off; typed back to a number and started again, the steps after
  // succeed.
  {
    const uint32_t before = t.Steps();
    BusyTown::PostTyping(t.form.E_tScale, "x");
    ASSERT_TRUE(t.RunUntil([&] { return !t.errors.messages.empty(); }));
    EXPECT_LT(t.waited, kPromptly);
    EXPECT_LE(t.Steps() - before, 2u);
    EXPECT_EQ(t.errors.messages.front(), "'x' ist kein gültiger Integerwert.");
    EXPECT_FALSE(t.form.timer().Enabled());
    EXPECT_EQ(t.errors.messages.size(), 1u);
    BusyTown::PostTyping(t.form.E_tScale, "10");
    ASSERT_TRUE(t.RunUntil([&] { return t.form.E_tScale->text() == "10"; }));
    const size_t failures = t.errors.messages.size();
    const uint32_t typed = t.Steps();
    BusyTown::PostClick(t.form.B_startT);
    ASSERT_TRUE(t.RunUntil([&] { return t.Steps() >= typed + 2; }));
    EXPECT_EQ(t.errors.messages.size(), failures);
    EXPECT_EQ(t.form.Lbl_steps->text().toUInt(), t.Steps());
  }

  // "startTimer" clicked while the timer runs stops it before another step is due.
  {
    QSignalSpy clicks(t.form.B_startT, &QPushButton::clicked);
    const uint32_t before = t.Steps();
    BusyTown::PostClick(t.form.B_startT);
    ASSERT_TRUE(t.RunUntil([&] { return clicks.count() == 1; }));
    EXPECT_LT(t.waited, kPromptly);
    EXPECT_FALSE(t.form.timer().Ticking());
    EXPECT_LE(t.Steps() - before, 1u);
    EXPECT_GT(m.day.travellers.size(), 50000u) << "the road should still be busy";
    const uint32_t stopped = t.Steps();
    QTest::qWait(50);
    EXPECT_EQ(t.Steps(), stopped);
  }
  EXPECT_FALSE(m.day.travellers.empty());
}

}  // namespace
}  // namespace velmora

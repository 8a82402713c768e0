// Long commands on the real main window: the progress dialog titled with the command's caption
// shows, its bar only moves forward to the end, the window repaints meanwhile, and nothing else
// reaches the model: a click, typing and timer ticks during the command change nothing, and a
// close waits for the command to end. The results are those of the same command without a
// window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressBar>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "app/window_fixture.h"
#include "core/random.h"
#include "headless/headless_host.h"

namespace velmora {
namespace {

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// Calls `during` every few milliseconds while a command runs: the window handles its timers
// only when the command lets it, so the calls come from inside the command.
class DuringCommand {
 public:
  DuringCommand(TForm1& form, std::function<void()> during) : during_(std::move(during)) {
    QObject::connect(&timer_, &QTimer::timeout, [this, &form] {
      if (form.commandProgress().Running()) {
        ++calls;
        during_();
      }
    });
    timer_.start(5);
  }
  int calls = 0;

 private:
  QTimer timer_;
  std::function<void()> during_;
};

bool AnyProgressDialogShows() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (qobject_cast<QProgressDialog*>(widget) && widget->isVisible()) return true;
  return false;
}

// "agents create" with this many nodes runs for seconds in the test build (sanitizers, -O1).
constexpr const char* kLongNodeNumber = "699";

// The window on screen, with "agents create" set to run long.
bool ShownForALongCommand(TForm1& form) {
  form.show();
  form.E_nodeNumber->setText(kLongNodeNumber);
  return QTest::qWaitForWindowExposed(&form);
}

TEST(CommandProgress, LongCommandShowsItsDialogAndNothingElseReachesTheModel) {
  testing::Window window;
  TForm1& form = window.form;
  ASSERT_TRUE(ShownForALongCommand(form));
  PaintCounter paints(form.Image_Cells);

  QString title, phrase;
  std::vector<int> values;
  bool disturbed = false;
  DuringCommand during(form, [&] {
    QProgressDialog* dialog = form.commandProgress().Dialog();
    if (dialog == nullptr) return;
    if (title.isEmpty()) {
      title = dialog->windowTitle();
      phrase = dialog->labelText();
      values.push_back(dialog->value());
      // Every value the bar takes from now on, to the end.
      auto* bar = dialog->findChild<QProgressBar*>();
      QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) { values.push_back(v); });
    }
    if (!disturbed) {
      disturbed = true;
      // A user clicks "delete all", types into the cell scale, and the timer ticks.
      QTest::mouseClick(form.B_deleteAll, Qt::LeftButton);
      QTest::keyClicks(form.E_cellScale, "7");
      QTest::keyClicks(form.E_conDist, "5");
      form.Timer1Timer();
    }
  });
  // Ticks due while the command runs are skipped, not held for after it.
  form.timer().SetInterval(1);
  form.timer().SetEnabled(true);
  const int paintsBefore = paints.paints;
  const uint32_t seed = 20261209;
  SetRandSeed(seed);
  QTest::mouseClick(form.B_agCreate, Qt::LeftButton);
  const uint32_t stepsAfter = form.model().day.stepCount;
  form.timer().SetEnabled(false);

  EXPECT_EQ(title, "agents create");
  EXPECT_TRUE(phrase.startsWith("formation pass ")) << phrase.toStdString();
  ASSERT_GE(values.size(), 2u);
  for (size_t k = 1; k < values.size(); ++k) EXPECT_GE(values[k], values[k - 1]) << k;
  EXPECT_EQ(values.back(), 1000);
  EXPECT_GE(paints.paints - paintsBefore, 2) << "the window did not repaint during the command";
  EXPECT_TRUE(disturbed);
  EXPECT_EQ(stepsAfter, 0u);
  EXPECT_EQ(form.E_cellScale->text(), "30");
  EXPECT_EQ(form.E_conDist->text(), "130");
  EXPECT_FALSE(form.model().town.cells.Empty());
  EXPECT_TRUE(window.Shown().empty());
  EXPECT_EQ(form.commandProgress().Dialog(), nullptr);
  EXPECT_FALSE(AnyProgressDialogShows());
  EXPECT_FALSE(form.commandProgress().Running());

  // The same command without a window.
  HeadlessHost host;
  host.edits[EditBox::NodeNumber] = kLongNodeNumber;
  Model plain(host);
  plain.FormCreate();
  SetRandSeed(seed);
  plain.B_agCreateClick();
  const NodeList& nodes = form.model().network.nodeList;
  ASSERT_EQ(nodes.size(), plain.network.nodeList.size());
  for (size_t i = 0; i < nodes.size(); ++i) {
    const TAgent& a = *nodes[i];
    const TAgent& b = *plain.network.nodeList[i];
    ASSERT_EQ(a.x, b.x) << i;
    ASSERT_EQ(a.y, b.y) << i;
    ASSERT_EQ(a.vx, b.vx) << i;
    ASSERT_EQ(a.candidates, b.candidates) << i;
  }
  EXPECT_EQ(form.model().network.nodePositions, plain.network.nodePositions);
  form.model().town.cells.ForEach([&](const TCell& cell) {
    EXPECT_EQ(cell.nearestNode, plain.town.cells.At(cell.column, cell.row)->nearestNode);
  });
}

TEST(CommandProgress, ACloseDuringACommandWaitsForItsEnd) {
  testing::Window window;
  TForm1& form = window.form;
  ASSERT_TRUE(ShownForALongCommand(form));
  bool visibleAfterClose = false;
  size_t nodesWhenClosing = 0;
  DuringCommand during(form, [&] {
    if (during.calls != 1) return;
    form.close();
    visibleAfterClose = form.isVisible();
    nodesWhenClosing = form.model().network.nodeList.size();
  });
  QTest::mouseClick(form.B_agCreate, Qt::LeftButton);
  ASSERT_GE(during.calls, 1) << "the command ended before it could be disturbed";
  EXPECT_TRUE(visibleAfterClose);
  EXPECT_EQ(nodesWhenClosing, 700u);
  // Closed once the command had finished: the network was formed and drawn, then torn down.
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(form.model().network.nodeList.empty());
  EXPECT_TRUE(form.model().town.cells.Empty());
  EXPECT_TRUE(window.Shown().empty());
}

}  // namespace
}  // namespace velmora

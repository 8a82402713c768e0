// Random command sequences on the real main window: every control event with good and bad
// texts, in any order, checking after each event that nothing refers to a node that is gone,
// that no counter went negative and that loads add up. While a command runs long enough to let
// the window handle its events, a user clicks buttons, types and the timer ticks: none of it may
// reach the model or change an edit box. Prints its seed; VELMORA_MONKEY_SEED replays a run's
// sequence and VELMORA_MONKEY_SECONDS sets its length (default about a minute).
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <random>
#include <unordered_set>
#include <vector>

#include "app/Main.h"
#include "app/timeGraph.h"
#include "app/window_fixture.h"
#include "ui/error_box.h"

namespace velmora {
namespace {

const char* const kTexts[] = {"",    " 7",  "abc",        "0",          "-1",  "-5",  "1e3",
                              "1,5", "1.5", "2147483647", "2147483648", "300", "256", "999",
                              "30",  "41",  "130",        "40",         "1,0", "8",   "17",
                              "10",  "1",   "6",          "20",         "3",   "60",  "15"};

// Checks every reference into the node list and every counter; returns a description of the
// first violation, or an empty string.
std::string CheckInvariants(const Model& m) {
  const long long n = static_cast<long long>(m.network.nodeList.size());
  std::unordered_set<const TAgent*> live;
  for (const auto& node : m.network.nodeList) live.insert(node.get());
  auto validIndex = [&](long long i) { return i >= 0 && i < n; };
  std::string problem;
  m.town.cells.ForEach([&](const TCell& cell) {
    if (!problem.empty()) return;
    if (cell.nearestNode != kNoNode && !validIndex(cell.nearestNode))
      problem = "cell nearestNode " + std::to_string(cell.nearestNode);
    if (cell.trips.size() != cell.workers) problem = "trip count differs from workers";
    for (const Trip& trip : cell.trips) {
      if (trip.route)
        for (const TAgent* node : *trip.route)
          if (!live.count(node)) problem = "trip route holds a node that is gone";
      if (trip.HasWorkplace() && (trip.destCol < 0 || trip.destCol >= m.town.gridCols ||
                                  trip.destRow < 0 || trip.destRow >= m.town.gridRows))
        problem = "trip destination outside the grid";
    }
  });
  if (!problem.empty()) return problem;
  for (long long i = 0; i < n; ++i) {
    const TAgent& node = *m.network.nodeList[static_cast<size_t>(i)];
    for (const TLink& link : node.links)
      if (!validIndex(link.node) || link.node == i) return "link to " + std::to_string(link.node);
    for (size_t k = 1; k < node.candidates.size(); ++k)
      if (!validIndex(node.candidates[k])) return "candidate out of range";
    for (int32_t load : node.linkLoad)
      if (load < 0) return "negative link counter";
    if (node.parent && !live.count(node.parent)) return "parent is gone";
  }
  for (const TAgent* node : m.network.routeList)
    if (!live.count(node)) return "routeList holds a node that is gone";
  for (const auto& v : m.day.travellers) {
    if (!live.count(v->currentNode)) return "vehicle at a node that is gone";
    if (v->previousNode && !live.count(v->previousNode)) return "vehicle came from a gone node";
    if (!v->route || v->position >= v->Count() || v->At(v->position) != v->currentNode)
      return "vehicle not on its own route";
    for (const TAgent* node : *v->route)
      if (!live.count(node)) return "vehicle route holds a node that is gone";
  }
  return {};
}

std::string LoadTotalsProblem(TForm1& form) {
  uint64_t workers = 0, places = 0, retail = 0;
  form.model().town.cells.ForEach([&](const TCell& c) {
    workers += c.workers;
    places += c.workplaces;
    retail += c.retail;
  });
  if (form.Lbl_worker->text().toStdString() != std::to_string(workers) ||
      form.Lbl_workPl->text().toStdString() != std::to_string(places) ||
      form.Lbl_retail->text().toStdString() != std::to_string(retail))
    return "totals do not match the cells";
  return {};
}

double MonkeySeconds() {
  const char* env = std::getenv("VELMORA_MONKEY_SECONDS");
  return env ? std::atof(env) : 60.0;
}

TEST(Monkey, RandomCommandSequencesKeepTheModelSound) {
  const char* seedEnv = std::getenv("VELMORA_MONKEY_SEED");
  const uint64_t seed =
      seedEnv ? std::strtoull(seedEnv, nullptr, 10) : static_cast<uint64_t>(std::random_device{}());
  std::cout << "monkey seed " << seed << " (replay with VELMORA_MONKEY_SEED=" << seed << ")"
            << std::endl;
  std::mt19937_64 rng(seed);
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<long long>(MonkeySeconds() * 1000));
  long long events = 0, sequences = 0, errorsShown = 0, disturbances = 0;
  // The disturbances during commands draw from a generator of their own: when they come depends
  // on how long the commands take, and the sequence must replay all the same.
  std::mt19937_64 disturbRng(seed + 1);
  while (std::chrono::steady_clock::now() < deadline) {
    ++sequences;
    testing::Window window;
    RecordingReporter& errors = window.errors;
    TForm1& form = window.form;
    QLineEdit* edits[] = {form.E_cellScale, form.E_nodeNumber, form.E_conDist, form.E_repDist,
                          form.E_STD,       form.E_mDep,       form.E_eDep,    form.E_tScale,
                          form.E_tInterv,   form.E_timeScale};
    QPushButton* buttons[] = {form.B_deleteAll, form.B_setup,    form.B_loadData, form.B_lineWork,
                              form.B_agCreate,  form.B_agDelete, form.B_workPath, form.B_findPath,
                              form.B_showGraph, form.B_startT,   form.B_oneStep};
    QRadioButton* radios[] = {form.RB_sAll, form.RB_sRed, form.RB_sGreen, form.RB_sBlue};
    QTimer disturber;
    QObject::connect(&disturber, &QTimer::timeout, [&] {
      if (!form.commandProgress().Running()) return;
      ++disturbances;
      switch (disturbRng() % 4) {
        case 0:
          QTest::mouseClick(buttons[disturbRng() % std::size(buttons)], Qt::LeftButton);
          break;
        case 1:
          QTest::keyClicks(edits[disturbRng() % std::size(edits)], "9");
          break;
        case 2: {
          QRadioButton* r = radios[disturbRng() % std::size(radios)];
          QTest::mouseClick(r, Qt::LeftButton, {}, QPoint(6, r->height() / 2));
          break;
        }
        default:
          form.Timer1Timer();
      }
    });
    disturber.start(3);
    const int length = std::uniform_int_distribution<int>(20, 300)(rng);
    for (int e = 0; e < length && std::chrono::steady_clock::now() < deadline; ++e) {
      ++events;
      const int kind = std::uniform_int_distribution<int>(0, 99)(rng);
      std::string what;
      bool loaded = false;
      const size_t errorsBefore = errors.messages.size();
      if (kind < 45) {
        QPushButton* b = buttons[rng() % std::size(buttons)];
        what = "click " + b->objectName().toStdString();
        // Keep the network small enough for a sequence to move on: large counts are tried,
        // but only rarely pressed.
        if (b == form.B_agCreate && form.model().network.nodeList.size() > 1000) continue;
        std::vector<QString> texts;
        for (QLineEdit* edit : edits) texts.push_back(edit->text());
        const long long disturbedBefore = disturbances;
        QTest::mouseClick(b, Qt::LeftButton);
        loaded = b == form.B_loadData;
        if (disturbances != disturbedBefore) {
          for (size_t k = 0; k < std::size(edits); ++k)
            ASSERT_EQ(edits[k]->text(), texts[k])
                << "seed " << seed << ": typing reached " << edits[k]->objectName().toStdString()
                << " while " << what << " ran";
        }
      } else if (kind < 55) {
        QRadioButton* r = radios[rng() % std::size(radios)];
        what = "click " + r->objectName().toStdString();
        QTest::mouseClick(r, Qt::LeftButton, {}, QPoint(6, r->height() / 2));
      } else if (kind < 80) {
        QLineEdit* edit = edits[rng() % std::size(edits)];
        const char* text = kTexts[rng() % std::size(kTexts)];
        if (edit == form.E_nodeNumber && std::string(text) == "999" && rng() % 4 != 0) text = "41";
        // The finest grids (cell sizes 1 to 6, millions of trips) take minutes under the
        // sanitizers; they have tests of their own, so a sequence uses 7 at the finest.
        const int asNumber = std::atoi(text);
        if (edit == form.E_cellScale && asNumber >= 1 && asNumber <= 6) text = " 7";
        what = "type '" + std::string(text) + "' into " + edit->objectName().toStdString();
        if (rng() % 2) {
          edit->setText(QString::fromUtf8(text));
        } else {
          // Keystroke by keystroke: every intermediate text reaches the change handler.
          edit->clear();
          QTest::keyClicks(edit, QString::fromUtf8(text));
        }
      } else {
        what = "timer tick";
        form.Timer1Timer();
      }
      errorsShown += static_cast<long long>(errors.messages.size() - errorsBefore);
      std::string problem = CheckInvariants(form.model());
      if (problem.empty() && loaded && errors.messages.size() == errorsBefore)
        problem = LoadTotalsProblem(form);
      ASSERT_TRUE(problem.empty()) << "seed " << seed << ", sequence " << sequences << ", event "
                                   << e << " (" << what << "): " << problem;
    }
    form.timer().SetEnabled(false);
    form.close();
  }
  std::cout << "monkey ran " << events << " events in " << sequences << " sequences; "
            << errorsShown << " error boxes; " << disturbances
            << " clicks, keystrokes and ticks during commands" << std::endl;
}

}  // namespace
}  // namespace velmora

// A golden day: the default town, the default network and "workers path" with the default
// texts, all from one fixed seed, then a whole day of steps. The figures of every step are
// compared with the checked-in file tests/data/golden_day.txt, so any change to planning,
// release, movement or the link counters shows up as a difference in a named step.
//
// Regenerate the file (only after a change meant to alter the figures) with
//   VELMORA_REGENERATE_GOLDEN=1 velmora_gui_tests --gtest_filter=GoldenDay.*
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/Main.h"
#include "app/timeGraph.h"
#include "app/window_fixture.h"
#include "core/convert.h"
#include "core/random.h"
#include "ui/error_box.h"

#ifndef VELMORA_TEST_DATA
#error "VELMORA_TEST_DATA must name the folder of the test data files"
#endif

namespace velmora {
namespace {

constexpr uint32_t kSeed = 20240611u;
constexpr int kStepsPerHour = 6;
constexpr int kSteps = 24 * kStepsPerHour;

std::string GoldenPath() {
  return std::string(VELMORA_TEST_DATA) + "/golden_day.txt";
}

// Sets the decimal separator for one test and puts the earlier one back.
class SeparatorScope {
 public:
  explicit SeparatorScope(char separator) : saved_(DecimalSeparator()) {
    SetDecimalSeparator(separator);
  }
  ~SeparatorScope() { SetDecimalSeparator(saved_); }

 private:
  char saved_;
};

// The sum of every link counter of every node, and a fingerprint of which counter holds what
// (FNV-1a over node index, counter index and value of every non-zero counter), so that a load
// moved to the wrong link changes the file even where the sum stays the same.
struct Loads {
  int64_t sum = 0;
  uint64_t fingerprint = 14695981039346656037ull;
};

Loads ReadLoads(const Model& m) {
  Loads loads;
  auto mix = [&](uint64_t value) {
    for (int b = 0; b < 8; ++b) {
      loads.fingerprint ^= (value >> (8 * b)) & 0xFF;
      loads.fingerprint *= 1099511628211ull;
    }
  };
  for (size_t i = 0; i < m.network.nodeList.size(); ++i) {
    const auto& counters = m.network.nodeList[i]->linkLoad;
    for (size_t t = 0; t < counters.size(); ++t) {
      if (counters[t] == 0) continue;
      loads.sum += counters[t];
      mix(i);
      mix(t);
      mix(static_cast<uint64_t>(static_cast<int64_t>(counters[t])));
    }
  }
  return loads;
}

// Runs the whole day on the real window and writes its figures as the golden file's text.
std::string RunGoldenDay() {
  SeparatorScope separator('.');
  testing::Window window;
  RecordingReporter& errors = window.errors;
  TForm1& form = window.form;
  // The default texts, written out so the run does not depend on how the window fills them.
  form.E_cellScale->setText("30");
  form.E_nodeNumber->setText("41");
  form.E_conDist->setText("130");
  form.E_repDist->setText("40");
  form.E_STD->setText("1.0");
  form.E_mDep->setText("8");
  form.E_eDep->setText("17");
  form.E_tScale->setText("10");
  form.E_timeScale->setText(QString::number(kStepsPerHour));
  form.Run(&Model::FormCreate);

  SetRandSeed(kSeed);
  form.Run(&Model::B_loadDataClick);
  form.Run(&Model::B_agCreateClick);
  form.Run(&Model::B_workPathClick);
  EXPECT_TRUE(errors.messages.empty()) << errors.messages.front();

  const Model& m = form.model();
  int64_t workers = 0, trips = 0, routed = 0;
  m.town.cells.ForEach([&](const TCell& cell) {
    workers += cell.workers;
    for (const Trip& trip : cell.trips) {
      ++trips;
      if (trip.HasWorkplace() && trip.RouteCount() > 1) ++routed;
    }
  });

  std::ostringstream rows;
  int64_t totalReleased = 0, totalArrived = 0;
  size_t peakOnRoad = 0;
  int peakStep = 0;
  int64_t peakLoadSum = 0;
  size_t before = m.day.travellers.size();
  for (int step = 1; step <= kSteps; ++step) {
    form.Run(&Model::B_oneStepClick);
    const size_t onRoad = std::stoul(form.lbl_onRoad->text().toStdString());
    const size_t after = m.day.travellers.size();
    const Loads loads = ReadLoads(m);
    const size_t released = onRoad - before;
    const size_t arrived = onRoad - after;
    totalReleased += static_cast<int64_t>(released);
    totalArrived += static_cast<int64_t>(arrived);
    if (onRoad > peakOnRoad) {
      peakOnRoad = onRoad;
      peakStep = step;
    }
    peakLoadSum = std::max(peakLoadSum, loads.sum);
    char fingerprint[17];
    std::snprintf(fingerprint, sizeof fingerprint, "%016llx",
                  static_cast<unsigned long long>(loads.fingerprint));
    rows << step << ' ' << form.Lbl_time->text().toStdString() << ' ' << released << ' ' << onRoad
         << ' ' << arrived << ' ' << after << ' ' << loads.sum << ' ' << fingerprint << '\n';
    before = after;
  }
  EXPECT_TRUE(errors.messages.empty()) << errors.messages.front();

  std::ostringstream out;
  out << "# Velmora golden day: the default town and network, \"workers path\" with the default\n"
      << "# texts, then one step per line for a whole day. Regenerate only on purpose with\n"
      << "# VELMORA_REGENERATE_GOLDEN=1 (see tests/app/golden_day_test.cpp).\n"
      << "seed " << kSeed << '\n'
      << "steps_per_hour " << kStepsPerHour << '\n'
      << "nodes " << m.network.nodeList.size() << '\n'
      << "workers " << workers << '\n'
      << "trips " << trips << '\n'
      << "trips_with_route " << routed << '\n'
      << "total_released " << totalReleased << '\n'
      << "total_arrived " << totalArrived << '\n'
      << "left_on_road " << m.day.travellers.size() << '\n'
      << "peak_on_road " << peakOnRoad << " at_step " << peakStep << '\n'
      << "peak_load_sum " << peakLoadSum << '\n'
      << "# step clock released on_road arrived after_step load_sum load_fingerprint\n"
      << rows.str();
  return out.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(GoldenDay, EveryStepOfTheDayMatchesTheRecordedFigures) {
  const std::string day = RunGoldenDay();
  const char* regenerate = std::getenv("VELMORA_REGENERATE_GOLDEN");
  if (regenerate != nullptr && std::string(regenerate) == "1") {
    std::ofstream(GoldenPath(), std::ios::binary) << day;
    GTEST_SKIP() << "wrote " << GoldenPath();
  }

  std::ifstream file(GoldenPath(), std::ios::binary);
  ASSERT_TRUE(file) << "missing " << GoldenPath();
  std::ostringstream recorded;
  recorded << file.rdbuf();
  const std::vector<std::string> want = Lines(recorded.str());
  const std::vector<std::string> got = Lines(day);
  // The first differing line is the one worth reading; the rest usually follow from it.
  for (size_t i = 0; i < std::min(want.size(), got.size()); ++i)
    ASSERT_EQ(got[i], want[i]) << "line " << i + 1 << " of " << GoldenPath();
  ASSERT_EQ(got.size(), want.size());
}

}  // namespace
}  // namespace velmora

// Whole days of traffic on loaded towns with formed networks, compared after every step with
// the plain day (plain_day.h): the fast step (departure index, vehicle pool, remembered
// indices, remembered wide-line rows) must release, move, count and draw exactly as the plain
// one, through replanning, changes of the time scale and of the load scale.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "core/convert.h"
#include "core/error.h"
#include "core/random.h"
#include "model/traffic.h"
#include "support/model_fixture.h"
#include "support/plain_day.h"

namespace velmora {
namespace {

struct TownSetup {
  std::string cellScale;
  std::string nodeNumber;
  int maxWorkers;  // workers and workplaces per cell are drawn from 0 .. maxWorkers
  uint32_t seed;
  // Departure means and deviation; close means put both departures of many trips into one
  // window, where only the evening one goes.
  std::string morning = "8", evening = "17", deviation = "1,0";
};

// Pictures whose pixels are random: every cell centre gets its own counts.
std::shared_ptr<MemoryPicture> RandomPicture(std::mt19937& rng, int maxCount) {
  auto picture = std::make_shared<MemoryPicture>(640, 666);
  std::uniform_int_distribution<int> count(0, maxCount);
  for (int y = 0; y < 666; ++y)
    for (int x = 0; x < 640; ++x) {
      const int v = 255 - count(rng);
      picture->Set(x, y, RGBColor(v, v, v));
    }
  return picture;
}

class StepOracle : public ::testing::TestWithParam<TownSetup> {
 protected:
  void SetUp() override {
    saved_ = DecimalSeparator();
    SetDecimalSeparator(',');
    const TownSetup& setup = GetParam();
    std::mt19937 rng(setup.seed);
    f_.host.edits[EditBox::CellScale] = setup.cellScale;
    f_.host.edits[EditBox::NodeNumber] = setup.nodeNumber;
    f_.host.edits[EditBox::MDep] = setup.morning;
    f_.host.edits[EditBox::EDep] = setup.evening;
    f_.host.edits[EditBox::STD] = setup.deviation;
    for (const char* name : {"arbeiter.bmp", "arbeitsstaetten.bmp", "verkaufsflaechen.bmp"})
      f_.host.SetPicture(name, RandomPicture(rng, setup.maxWorkers));
    f_.Start();
    SetRandSeed(setup.seed);
    f_.model.B_loadDataClick();
    f_.model.B_agCreateClick();
    f_.model.B_workPathClick();
  }
  void TearDown() override { SetDecimalSeparator(saved_); }

  // One step of both; then everything the step leaves must agree.
  void StepBoth(oracle::PlainDay& plain, int step) {
    SCOPED_TRACE("step " + std::to_string(step));
    Model& m = f_.model;
    m.SimulationStep();
    plain.Step(f_.host.edits[EditBox::TScale]);

    ASSERT_EQ(m.day.clockHours, plain.ClockHours());
    ASSERT_EQ(f_.host.captions[ValueLabel::OnRoad], std::to_string(plain.OnRoad()));
    const auto& vehicles = plain.Vehicles();
    ASSERT_EQ(m.day.travellers.size(), vehicles.size());
    for (size_t k = 0; k < vehicles.size(); ++k) {
      const TTraveller& v = *m.day.travellers[k];
      const oracle::PlainDay::Vehicle& p = vehicles[k];
      ASSERT_EQ(v.currentNode, p.currentNode) << "vehicle " << k;
      ASSERT_EQ(v.previousNode, p.previousNode) << "vehicle " << k;
      ASSERT_EQ(v.direction, p.direction) << "vehicle " << k;
      ASSERT_EQ(v.Count(), p.route.size()) << "vehicle " << k;
      for (size_t j = 0; j < p.route.size(); ++j) ASSERT_EQ(v.At(j), p.route[j]);
    }
    const size_t n = m.network.nodeList.size();
    for (size_t b = 0; b < n; ++b)
      for (size_t a = 0; a < n; ++a)
        ASSERT_EQ(m.network.nodeList[b]->linkLoad[a], plain.Load(b, a)) << b << " from " << a;
    ASSERT_TRUE(f_.host.overlay->pixels == plain.Pixels());
  }

  testing::ModelFixture f_;
  char saved_ = '.';
};

TEST_P(StepOracle, DaysStepByStepAsThePlainStep) {
  Model& m = f_.model;
  // Every fifth evening departure moved to the middle between two tenths or a hair beside it,
  // where only the extended quotient tells which tenth the time stands for.
  int count = 0;
  m.town.cells.ForEach([&](TCell& cell) {
    for (Trip& trip : m.town.EditTrips(cell)) {
      if (++count % 5 != 0) continue;
      const double middle = (std::round(trip.eveningDeparture * 10) + 0.5) * 0.1;
      const int side = count / 5 % 3;
      trip.eveningDeparture = side == 0 ? middle : std::nextafter(middle, side == 1 ? 0.0 : 30.0);
    }
  });
  // Half of the towns start their day on an index that does not number the routes, so the
  // releases read them from the trips, until the replanning below numbers them again.
  if (GetParam().seed % 4 == 3) {
    IndexDepartures(m.day, m.town, 0);
    ASSERT_FALSE(m.day.departures.NumbersRoutes());
  }
  oracle::PlainDay plain(m, f_.host.width, f_.host.height);
  size_t peak = 0;
  int step = 0;
  // A day at the default scale.
  for (; step < 144; ++step) {
    StepBoth(plain, step);
    if (HasFatalFailure()) return;
    peak = std::max(peak, m.day.travellers.size());
  }
  EXPECT_GT(peak, 0u);

  // Into the morning of the next day, replanning at 7:00 with vehicles on the road, then
  // finer steps, a coarser load scale and a jump of the clock.
  for (; step < 186; ++step) {
    StepBoth(plain, step);
    if (HasFatalFailure()) return;
  }
  m.B_workPathClick();
  ASSERT_TRUE(m.day.departures.NumbersRoutes());
  f_.host.edits[EditBox::TScale] = "1";
  for (; step < 200; ++step) {
    StepBoth(plain, step);
    if (HasFatalFailure()) return;
  }
  f_.host.edits[EditBox::TimeScale] = "8";
  m.E_timeScaleChange();
  f_.host.edits[EditBox::TScale] = "25";
  for (; step < 240; ++step) {
    StepBoth(plain, step);
    if (HasFatalFailure()) return;
  }
  f_.host.edits[EditBox::TimeScale] = "44";
  m.E_timeScaleChange();
  for (; step < 300; ++step) {
    StepBoth(plain, step);
    if (HasFatalFailure()) return;
  }
}

// A day whose load drawing fails on every other step (an unreadable load scale) releases every
// departure once: after every step its vehicles and link counters are those of the same day
// run without failures, and each route and direction sets out as often as in that day.
TEST_P(StepOracle, FailingStepsReleaseNothingTwice) {
  Model& m = f_.model;
  oracle::PlainDay plain(m, f_.host.width, f_.host.height);
  const std::string scale = f_.host.edits[EditBox::TScale];
  // Vehicles that made their first move in the step, by the trip route they drive and direction.
  using Key = std::pair<const Route*, uint8_t>;
  std::map<Key, int> created, plainCreated;
  size_t released = 0, plainReleased = 0;
  for (int step = 0; step < 144; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    const bool fails = step % 2 == 1;
    const size_t before = m.day.travellers.size(), plainBefore = plain.Vehicles().size();
    f_.host.edits[EditBox::TScale] = fails ? "x" : scale;
    if (fails) {
      EXPECT_THROW(m.SimulationStep(), VError);
    } else {
      m.SimulationStep();
    }
    plain.Step(scale);
    released += std::stoul(f_.host.captions[ValueLabel::OnRoad]) - before;
    plainReleased += plain.OnRoad() - plainBefore;
    ASSERT_EQ(released, plainReleased);
    for (const auto& v : m.day.travellers)
      if (v->position == 1) ++created[Key(v->route.get(), v->direction)];
    for (const auto& v : plain.Vehicles())
      if (v.previousNode == v.route.front()) ++plainCreated[Key(v.source, v.direction)];
    ASSERT_EQ(m.day.travellers.size(), plain.Vehicles().size());
    for (size_t k = 0; k < m.day.travellers.size(); ++k) {
      ASSERT_EQ(m.day.travellers[k]->currentNode, plain.Vehicles()[k].currentNode);
      ASSERT_EQ(m.day.travellers[k]->previousNode, plain.Vehicles()[k].previousNode);
    }
    const size_t n = m.network.nodeList.size();
    for (size_t b = 0; b < n; ++b)
      for (size_t a = 0; a < n; ++a)
        ASSERT_EQ(m.network.nodeList[b]->linkLoad[a], plain.Load(b, a));
    if (!fails) {
      ASSERT_TRUE(f_.host.overlay->pixels == plain.Pixels());
    }
  }
  EXPECT_GT(released, 0u);
  EXPECT_EQ(created, plainCreated);
}

INSTANTIATE_TEST_SUITE_P(Towns, StepOracle,
                         ::testing::Values(TownSetup{"30", "41", 40, 11},
                                           TownSetup{"30", "60", 12, 23},
                                           TownSetup{"20", "41", 10, 37},
                                           TownSetup{"40", "25", 60, 41, "12", "12", "0,4"}),
                         [](const ::testing::TestParamInfo<TownSetup>& info) {
                           return "cell" + info.param.cellScale + "_nodes" + info.param.nodeNumber +
                                  "_seed" + std::to_string(info.param.seed);
                         });

}  // namespace
}  // namespace velmora

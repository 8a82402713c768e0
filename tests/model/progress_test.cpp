// The progress every command tells: forward only, from 0 to 1, with a phrase; and telling it
// changes nothing of what the commands do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/convert.h"
#include "core/random.h"
#include "support/model_fixture.h"

namespace velmora {
namespace {

struct Recording final : Progress {
  struct Told {
    double done;
    std::string doing;
    int64_t step, steps;
  };
  mutable std::vector<Told> told;
  void Report(double done, const char* doing, int64_t step, int64_t steps) const override {
    told.push_back({done, doing, step, steps});
  }
};

TEST(Progress, EveryCommandToldForwardFromZeroToOneAndTellingChangesNothing) {
  SetDecimalSeparator(',');
  testing::ModelFixture told, quiet;
  Recording recording;
  told.host.progress = &recording;
  for (testing::ModelFixture* f : {&told, &quiet}) {
    f->host.edits[EditBox::CellScale] = "5";
    f->host.edits[EditBox::NodeNumber] = "199";
    f->host.uniformPictures = 0x00A0A0A0;  // 95 of every kind in every cell
  }
  struct Command {
    const char* name;
    void (Model::*handler)();
    bool tells;  // whether the command tells its progress at this size
  };
  const Command commands[] = {{"new setup", &Model::FormCreate, true},
                              {"load data", &Model::B_loadDataClick, true},
                              {"lines to work", &Model::B_lineWorkClick, true},
                              {"agents create", &Model::B_agCreateClick, true},
                              {"workers path", &Model::B_workPathClick, true},
                              {"oneStep", &Model::B_oneStepClick, false},
                              {"find path", &Model::B_findPathClick, false},
                              {"agents delete", &Model::B_agDeleteClick, true},
                              {"delete all", &Model::B_deleteAllClick, true},
                              {"new setup", &Model::FormCreate, true}};
  for (const Command& command : commands) {
    SCOPED_TRACE(command.name);
    recording.told.clear();
    SetRandSeed(5);
    (told.model.*command.handler)();
    const uint32_t seed = RandSeed();
    SetRandSeed(5);
    (quiet.model.*command.handler)();
    EXPECT_EQ(RandSeed(), seed);
    if (command.tells) EXPECT_FALSE(recording.told.empty());
    double last = 0.0;
    for (const Recording::Told& t : recording.told) {
      EXPECT_GE(t.done, last) << t.doing;
      EXPECT_LE(t.done, 1.0) << t.doing;
      EXPECT_FALSE(t.doing.empty());
      EXPECT_LE(t.step, t.steps) << t.doing;
      last = t.done;
    }
    // The same model either way: the drawings, the clock and the vehicles.
    EXPECT_TRUE(told.host.base->pixels == quiet.host.base->pixels);
    if (told.host.overlay) EXPECT_TRUE(told.host.overlay->pixels == quiet.host.overlay->pixels);
    EXPECT_EQ(told.model.day.travellers.size(), quiet.model.day.travellers.size());
    EXPECT_EQ(told.host.captions, quiet.host.captions);
    EXPECT_EQ(told.host.chartPoints, quiet.host.chartPoints);
  }
  // The formation tells its passes one by one.
  SetRandSeed(5);
  recording.told.clear();
  told.model.B_agCreateClick();
  bool sawPass = false;
  for (const Recording::Told& t : recording.told)
    if (t.doing == "formation pass" && t.step == 1001 && t.steps == 1001) sawPass = true;
  EXPECT_TRUE(sawPass);
  SetDecimalSeparator('.');
}

}  // namespace
}  // namespace velmora

// The formation passes' node scans on a bucket grid, giving exactly what TAgent::NeigborCheck and
// TAgent::LinkAndRepel give (those stay the plain path and take over where the grid cannot be
// used).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/random.h"
#include "model/agent.h"
#include "model/point_grid.h"

namespace velmora {

class FastFormation {
 public:
  // Widest connect distance the grid scan handles. A node with a larger one scans plainly: its
  // scan reaches past the nearest-node limit of 1000 and covers most of the field anyway.
  static constexpr int32_t kMaxConDist = 1000;

  // Takes the nodes where they stand, within a field of fieldWidth x fieldHeight. The nodes must
  // not be added or removed while this object is in use.
  FastFormation(NodeList& nodes, int32_t fieldWidth, int32_t fieldHeight);

  // Runs `passes` formation passes, as that many FormationPass calls would. `positions` holds
  // each node's position at the start of its turn in the latest pass. While the passes run, the
  // nodes' positions, velocities, nearest distances and marks are kept side by side here, where
  // a scan finds them in a few cache lines; the nodes get them back at the end. The candidates
  // beyond element 0 and the links are filled in only in the last pass: every later scan of a
  // node replaces them anyway.
  void Run(int64_t passes, std::vector<std::array<int32_t, 2>>& positions);

 private:
  // Node index's scan in a pass, with NeigborCheck's effect on every node, the random generator
  // included.
  void Scan(int32_t index, bool keepLinks);
  void GridScan(int32_t index, bool keepLinks);
  // Node index's move by its velocity, into the field.
  void Move(int32_t index);
  // Hands the state kept here back to the nodes.
  void Finish();
  // The nearest node to node index and its distance, as NeigborCheck finds it; -1 when no other
  // node lies nearer than 1000. noCandidates: the node is known to have none.
  int32_t NearestOther(int32_t index, bool noCandidates, int32_t* distance);
  // The disc of squared radius conDist^2 - conDist, made once per connect distance.
  const Disc& CandidateDisc(int32_t conDist) {
    if (conDist != lastConDist_) {
      lastDisc_ = &MakeDisc(conDist);
      lastConDist_ = conDist;
    }
    return *lastDisc_;
  }
  const Disc& MakeDisc(int32_t conDist);
  void PlainScan(int32_t index);
  // Sets node id's mark to 2, keeping the list of nodes whose mark is not 2 up to date.
  void MarkLinked(int32_t id);
  void ListUnmarked();
  bool PushApplies(size_t index) const {
    // The difference is taken in 64 bits so that extreme edited distances cannot overflow it.
    return static_cast<int64_t>(conDists_[index]) - repDists_[index] > nearestDists_[index];
  }
  // A push velocity, PushVelocity(jitter, offset), with its step, the velocity rounded half to
  // even: from a table made once for the offsets a push can have.
  struct PushEntry {
    double velocity;
    int64_t step;
  };
  PushEntry Push(int32_t jitter, int64_t offset) const;
  // The jitters of LinkAndRepel's last candidate out of `count`: skips the 2 * (count - 1)
  // draws of the others, from a table of the generator's step composed with itself 0, 1, 2, ...
  // times, then draws the x jitter and the y jitter.
  void DrawJitters(int32_t count, int32_t* jx, int32_t* jy) {
    const auto draws = 2 * static_cast<size_t>(count - 1);
    if (jumps_.size() <= draws) ExtendJumps(draws);
    RandomRun run;
    run.Advance(jumps_[draws].mul, jumps_[draws].add);
    // As TAgent::PushAwayFrom: the x jitter is drawn before the y jitter.
    *jx = run.Below(3) - 1;
    *jy = run.Below(3) - 1;
    run.Close();
  }
  // Makes jumps_ reach `draws` draws.
  void ExtendJumps(size_t draws);

  NodeList& nodes_;
  // False when the positions spread too wide for the integer distance: every scan is plain.
  bool usable_ = false;
  int32_t fieldWidth_, fieldHeight_;
  // The positions in buckets.
  PointGrid grid_;
  // The nodes' state while the passes run, by index.
  std::vector<int32_t> xs_, ys_, conDists_, repDists_, marks_;
  std::vector<double> vxs_, vys_, nearestDists_;
  // Each node's velocity rounded to whole pixels: its step in the next move.
  std::vector<int64_t> stepXs_, stepYs_;
  // Each node's candidates[0], side by side.
  std::vector<int32_t> lastNearest_;
  // Each node's last few nearest nodes, the latest first (-1 for none yet): its nearest node
  // changes among a few neighbours as they jostle, and these are the guesses for its next scan.
  static constexpr size_t kRecent = PointGrid::kMaxGuesses;
  std::vector<int32_t> recent_;
  void Remember(size_t index, int32_t nearest);
  // Nodes whose mark is not 2. Grid scans only ever set marks to 2, so once few are left a scan
  // need not list its candidates: it checks those few nodes instead.
  std::vector<int32_t> unmarked_;
  std::vector<PointGrid::Near> found_;
  std::vector<std::unique_ptr<Disc>> discs_;
  // The disc of the connect distance asked for last.
  int32_t lastConDist_ = 0;
  const Disc* lastDisc_ = nullptr;
  // jumps_[k]: the generator's seed after k draws is mul * seed + add (mod 2^32).
  struct Jump {
    uint32_t mul, add;
  };
  std::vector<Jump> jumps_;
  // PushVelocity by offset (-kMaxConDist to kMaxConDist) and jitter (-1 to 1).
  std::vector<PushEntry> pushes_;
};

}  // namespace velmora

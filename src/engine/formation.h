// A node's scan in a formation pass on a bucket grid of the positions. Plain twin: the node's
// own scan over every other node (TAgent::NeigborCheck with LinkAndRepel); formation_oracle_test
// holds the passes built on both to a literal formation kept apart from the model, and the
// model falls back on the plain scan wherever the grid cannot be used.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/random.h"
#include "engine/point_grid.h"

namespace velmora {

// nearestDist when no other node lies nearer than this.
constexpr int32_t kNoNeighbourDist = 1000;

// What a formation pass reads and writes of the nodes, by node index, side by side: a scan then
// finds what it needs in a few cache lines instead of in node records all over the heap.
struct FormationNodes {
  std::vector<int32_t> x, y, conDist, repDist;
  std::vector<double> vx, vy, nearestDist;
  // Each velocity rounded half to even: the node's step in its next move.
  std::vector<int64_t> stepX, stepY;
  // The nearest node found by the latest scan (candidates[0]).
  std::vector<int32_t> nearest;

  size_t size() const { return x.size(); }
};

class FastFormation {
 public:
  // Widest connect distance the grid scan handles. A node with a larger one scans plainly: its
  // scan reaches past the nearest-node limit of 1000 and covers most of the field anyway.
  static constexpr int32_t kMaxConDist = 1000;

  // The push of a node away from its nearest one, along one axis: the velocity from the jitter
  // (-1, 0 or 1) and the offset from the nearest node, as the formation's rule has it.
  using PushRule = double (*)(int32_t jitter, int64_t offset);

  // Puts the nodes where they stand into buckets, within a field of fieldWidth x fieldHeight.
  // The nodes' number must not change while this object is in use.
  FastFormation(FormationNodes& nodes, int32_t fieldWidth, int32_t fieldHeight, PushRule push);

  // Node i's scan, with the plain scan's effect on the nodes and on the random generator:
  // nearest node and distance, and the velocity (stopped when linked, pushed while too near).
  // With listCandidates the candidates are kept for Candidates(). False, with nothing done,
  // where the grid cannot take the scan: the caller scans plainly and then calls Scanned(i).
  bool Scan(int32_t i, bool listCandidates) {
    if (!usable_ || nodes_.conDist[static_cast<size_t>(i)] > kMaxConDist) return false;
    return GridScan(i, listCandidates);
  }
  // The candidates of the last listing scan: the other nodes nearer than its connect distance,
  // by index, with their squared distances.
  const std::vector<PointGrid::Near>& Candidates() const { return found_; }
  // Node i was scanned plainly: its nearest node is remembered for its next scan.
  void Scanned(int32_t i);
  // Node i has moved to where the nodes now hold it.
  void Moved(int32_t i) {
    if (!usable_) return;
    const auto k = static_cast<size_t>(i);
    if (!grid_.Contains(nodes_.x[k], nodes_.y[k])) {
      // Cannot happen while moves end inside the field; should it, the exact range no longer
      // holds and the remaining scans go the plain way.
      usable_ = false;
      return;
    }
    grid_.Move(i, nodes_.x[k], nodes_.y[k]);
  }

  // The velocity rounded half to even, as a move applies it.
  static int64_t StepOf(double velocity);

 private:
  bool GridScan(int32_t i, bool listCandidates);
  // The nearest node to node index and its distance, as the plain scan finds it; -1 when no
  // other node lies nearer than 1000. noCandidates: the node is known to have none.
  int32_t NearestOther(int32_t index, bool noCandidates, int32_t* distance);
  // The disc of squared radius conDist^2 - conDist, made once per connect distance.
  const Disc& CandidateDisc(int32_t conDist);
  bool PushApplies(size_t index) const {
    // The difference is taken in 64 bits so that extreme edited distances cannot overflow it.
    return static_cast<int64_t>(nodes_.conDist[index]) - nodes_.repDist[index] >
           nodes_.nearestDist[index];
  }
  // A push velocity with its step, from a table made once for the offsets a push can have.
  struct PushEntry {
    double velocity;
    int64_t step;
  };
  PushEntry Push(int32_t jitter, int64_t offset) const;
  // The jitters of the last of `count` pushes: skips the 2 * (count - 1) draws of the others,
  // then draws the x jitter and the y jitter.
  void DrawJitters(int32_t count, int32_t* jx, int32_t* jy) {
    const auto draws = 2 * static_cast<size_t>(count - 1);
    if (jumps_.size() <= draws) ExtendJumps(draws);
    RandomRun run;
    run.Advance(jumps_[draws]);
    // The x jitter is drawn before the y jitter.
    *jx = run.Below(3) - 1;
    *jy = run.Below(3) - 1;
    run.Close();
  }
  // Makes jumps_ reach `draws` draws.
  void ExtendJumps(size_t draws);
  void Remember(size_t index, int32_t nearest);

  FormationNodes& nodes_;
  PushRule push_;
  // False when the positions spread too wide for the integer distance: every scan is plain.
  bool usable_ = false;
  // The positions in buckets.
  PointGrid grid_;
  // Each node's last few nearest nodes, the latest first (-1 for none yet): its nearest node
  // changes among a few neighbours as they jostle, and these are the guesses for its next scan.
  static constexpr size_t kRecent = PointGrid::kMaxGuesses;
  std::vector<int32_t> recent_;
  std::vector<PointGrid::Near> found_;
  std::vector<std::unique_ptr<Disc>> discs_;
  // The disc of the connect distance asked for last.
  int32_t lastConDist_ = 0;
  const Disc* lastDisc_ = nullptr;
  // jumps_[k]: the generator's step taken k times.
  std::vector<RandomJump> jumps_;
  // Push velocities by offset (-kMaxConDist to kMaxConDist) and jitter (-1 to 1).
  std::vector<PushEntry> pushes_;
};

}  // namespace velmora

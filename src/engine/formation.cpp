// Node scans of the formation passes on a bucket grid.
//
// Why the result is exactly the plain scan's (NeigborCheck with LinkAndRepel):
// - Distances. While all positions lie within kExactSpan of each other in x and in y,
//   PointDistance of an offset equals RoundedDistance of its squared length (point_grid.h), so
//   "rounded distance < conDist" is "squared offset <= conDist^2 - conDist" for conDist >= 1,
//   and never holds for conDist <= 0. The grid holds every node at its current position: nodes
//   before the scanning one have already moved in this pass, later ones not yet, as in the plain
//   scan. The scanning node's own searches leave it out by its index.
// - Candidates (the listing scans): every node within that squared distance, sorted by index,
//   which is the plain scan's order. In the other scans only their number matters, and only
//   when the node is pushed.
// - The nearest node: the plain scan keeps the first index of the smallest rounded distance, and
//   only below 1000. The searches compare (rounded distance, index) pairs, so they keep the same
//   node, provided they see every node at least as near as the answer. They do: the candidates
//   hold every node nearer than conDist, and so the nearest node and all its ties whenever
//   there is a candidate (PointGrid::CountAndNearest counts them and finds the nearest, taking
//   the node's last few nearest nodes as its guesses); a search around the last nearest node's
//   present distance d holds every node at rounded distance d or less; a growing disc stops only
//   once it holds every tie of the nearest found (PointGrid::Nearest). With no node below 1000,
//   nearestDist is 1000 and the nearest node keeps its value, as in the plain scan.
// - LinkAndRepel sets, per candidate, velocity 0 and, while the push applies, a fresh velocity
//   from two draws. Only the last candidate's velocity stands and the draws depend on nothing
//   but their number, so the generator skips 2 * (count - 1) draws and the last pair is drawn
//   for real. The push velocities are the push rule's own values, each worked out once per
//   offset and jitter and then looked up, as are their steps.
#include "engine/formation.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "core/random.h"
#include "core/rounding.h"

namespace velmora {

namespace {

// Buckets 16 pixels wide and 128 high: a count with the default distances visits three rows of
// buckets, and the points of a row lie side by side for the block-wise comparisons. (Measured:
// taller rows fare better than square buckets here, the work per row outweighing the points.)
constexpr int32_t kColumnShift = 4;
constexpr int32_t kRowShift = 7;

}  // namespace

int64_t FastFormation::StepOf(double velocity) {
  // A double below 2^31 in size rounds the same in double precision, and more cheaply; anything
  // else (NaN included) goes through RoundHalfEven and its error.
  if (std::fabs(velocity) < 2147483648.0) return static_cast<int64_t>(std::rint(velocity));
  return RoundHalfEven(velocity);
}

FastFormation::FastFormation(FormationNodes& nodes, int32_t fieldWidth, int32_t fieldHeight,
                             PushRule push)
    : nodes_(nodes), push_(push) {
  // Moves end inside the field, so the field and the present positions bound every position
  // the passes produce.
  const size_t count = nodes_.size();
  int32_t minX = std::min(0, fieldWidth), maxX = std::max(0, fieldWidth);
  int32_t minY = std::min(0, fieldHeight), maxY = std::max(0, fieldHeight);
  recent_.assign(count * kRecent, -1);
  for (size_t i = 0; i < count; ++i) {
    minX = std::min(minX, nodes_.x[i]);
    maxX = std::max(maxX, nodes_.x[i]);
    minY = std::min(minY, nodes_.y[i]);
    maxY = std::max(maxY, nodes_.y[i]);
    recent_[i * kRecent] = nodes_.nearest[i];
  }
  usable_ = static_cast<int64_t>(maxX) - minX <= kExactSpan &&
            static_cast<int64_t>(maxY) - minY <= kExactSpan && count <= PointGrid::kMaxPoints;
  if (usable_) {
    grid_.Reset(minX, minY, maxX, maxY, kColumnShift, kRowShift, count);
    for (size_t i = 0; i < count; ++i)
      grid_.Insert(static_cast<int32_t>(i), nodes_.x[i], nodes_.y[i]);
  }
  // A pushed node is linked to its nearest node, so the offsets lie within kMaxConDist.
  pushes_.reserve(3 * (2 * kMaxConDist + 1));
  for (int32_t offset = -kMaxConDist; offset <= kMaxConDist; ++offset)
    for (int32_t jitter = -1; jitter <= 1; ++jitter) {
      const double velocity = push_(jitter, offset);
      pushes_.push_back(PushEntry{velocity, StepOf(velocity)});
    }
}

FastFormation::PushEntry FastFormation::Push(int32_t jitter, int64_t offset) const {
  if (offset < -kMaxConDist || offset > kMaxConDist || jitter < -1 || jitter > 1) {
    const double velocity = push_(jitter, offset);
    return PushEntry{velocity, StepOf(velocity)};
  }
  return pushes_[static_cast<size_t>(3 * (offset + kMaxConDist) + jitter + 1)];
}

void FastFormation::ExtendJumps(size_t draws) {
  if (jumps_.empty()) jumps_.push_back(RandomJump{});
  while (jumps_.size() <= draws) jumps_.push_back(jumps_.back().Then(RandomJump::Step()));
}

void FastFormation::Remember(size_t index, int32_t nearest) {
  int32_t* recent = &recent_[index * kRecent];
  if (recent[0] == nearest) return;
  // The others move back one place, up to where the node was or off the end.
  size_t k = 1;
  while (k < kRecent - 1 && recent[k] != nearest) ++k;
  for (; k > 0; --k) recent[k] = recent[k - 1];
  recent[0] = nearest;
}

void FastFormation::Scanned(int32_t index) {
  Remember(static_cast<size_t>(index), nodes_.nearest[static_cast<size_t>(index)]);
}

const Disc& FastFormation::CandidateDisc(int32_t conDist) {
  if (conDist != lastConDist_ || lastDisc_ == nullptr) {
    if (discs_.empty()) discs_.resize(kMaxConDist + 1);
    auto& disc = discs_[static_cast<size_t>(conDist)];
    if (!disc) disc = std::make_unique<Disc>(MaxSquaredFor(conDist - 1));
    lastDisc_ = disc.get();
    lastConDist_ = conDist;
  }
  return *lastDisc_;
}

int32_t FastFormation::NearestOther(int32_t index, bool noCandidates, int32_t* distance) {
  const auto i = static_cast<size_t>(index);
  const int32_t x = nodes_.x[i], y = nodes_.y[i];
  // The last nearest node is a good guess, since nodes move little per pass: any node at least
  // as near as it is lies within the ties of its present distance.
  const int32_t last = nodes_.nearest[i];
  if (!noCandidates && last >= 0 && last != index && static_cast<size_t>(last) < nodes_.size()) {
    const int64_t dx = static_cast<int64_t>(nodes_.x[static_cast<size_t>(last)]) - x;
    const int64_t dy = static_cast<int64_t>(nodes_.y[static_cast<size_t>(last)]) - y;
    const int32_t nearest = grid_.NearestWithin(
        x, y, MaxSquaredFor(RoundedDistance(dx * dx + dy * dy)), index, distance);
    return *distance < kNoNeighbourDist ? nearest : -1;
  }
  // Without candidates the nearest node lies beyond conDist.
  const int64_t start =
      noCandidates ? 2 * static_cast<int64_t>(std::max(nodes_.conDist[i], 0)) : 16;
  return grid_.Nearest(x, y, start, kNoNeighbourDist, index, distance);
}

bool FastFormation::GridScan(int32_t index, bool listCandidates) {
  const auto i = static_cast<size_t>(index);
  const int32_t x = nodes_.x[i];
  const int32_t y = nodes_.y[i];
  const int32_t conDist = nodes_.conDist[i];
  found_.clear();
  // No rounded distance is below a connect distance of 0 or less.
  const Disc* disc = conDist >= 1 ? &CandidateDisc(conDist) : nullptr;

  // The candidates are listed only when they are asked for. Otherwise they are counted, and the
  // count is needed only when a push follows.
  int32_t count = -1;
  int32_t nearest = -1;
  int32_t nearestDistance = kNoNeighbourDist;
  if (disc != nullptr && listCandidates) {
    grid_.GatherWithin(x, y, *disc, index, found_);
    count = static_cast<int32_t>(found_.size());
    // The nearest node is a candidate, and so is every node at its rounded distance.
    if (count > 0) nearest = PointGrid::NearestOf(found_, &nearestDistance);
    std::sort(found_.begin(), found_.end(),
              [](const PointGrid::Near& a, const PointGrid::Near& b) { return a.id < b.id; });
  } else if (disc != nullptr) {
    // One pass over the disc counts the candidates and finds the nearest among them, which is
    // the nearest node whenever there is a candidate; the node's last nearest nodes are the
    // guesses, as nodes move little per pass.
    const PointGrid::DiscCount scan =
        grid_.CountAndNearest(x, y, *disc, index, &recent_[i * kRecent], kRecent);
    count = scan.count;
    if (count > 0) {
      nearest = scan.nearest;
      nearestDistance = scan.distance;
    }
  }
  if (nearest < 0) nearest = NearestOther(index, count == 0, &nearestDistance);
  if (nearest >= 0) {
    nodes_.nearestDist[i] = nearestDistance;
    nodes_.nearest[i] = nearest;
    Remember(i, nearest);
  } else {
    nodes_.nearestDist[i] = kNoNeighbourDist;
  }

  // LinkAndRepel, which runs while conDist exceeds the nearest distance. Then the nearest node
  // lies nearer than conDist (at most 1000 here), so it is a candidate and the loop over the
  // candidates runs.
  if (!(conDist > nodes_.nearestDist[i])) return true;
  assert(nearest >= 0 && nearestDistance < conDist);
  nodes_.vx[i] = 0.0;
  nodes_.vy[i] = 0.0;
  nodes_.stepX[i] = 0;
  nodes_.stepY[i] = 0;
  if (PushApplies(i)) {
    // The node itself lies in its disc and is counted there.
    if (count < 0) count = grid_.CountWithin(x, y, *disc) - 1;
    int32_t jx = 0, jy = 0;
    DrawJitters(count, &jx, &jy);
    const int64_t offsetX = static_cast<int64_t>(x) - nodes_.x[static_cast<size_t>(nearest)];
    const int64_t offsetY = static_cast<int64_t>(y) - nodes_.y[static_cast<size_t>(nearest)];
    const PushEntry pushX = Push(jx, offsetX), pushY = Push(jy, offsetY);
    nodes_.vx[i] = pushX.velocity;
    nodes_.vy[i] = pushY.velocity;
    nodes_.stepX[i] = pushX.step;
    nodes_.stepY[i] = pushY.step;
  }
  return true;
}

}  // namespace velmora

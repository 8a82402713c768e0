// Node scans of the formation passes on a bucket grid.
//
// Why the result is exactly NeigborCheck's and LinkAndRepel's:
// - Distances. While all positions lie within kExactSpan of each other in x and in y,
//   PointDistance of an offset equals RoundedDistance of its squared length (point_grid.h), so
//   "rounded distance < conDist" is "squared offset <= conDist^2 - conDist" for conDist >= 1,
//   and never holds for conDist <= 0. The grid holds every node at its current position: nodes
//   before the scanning one have already moved in this pass, later ones not yet, as in the plain
//   scan. The scanning node's own searches leave it out by its index.
// - Candidates and links (last pass): every node within that squared distance, sorted by index,
//   which is the plain scan's order; each link's distance is RoundedDistance of the same offset.
//   In the other passes only their number matters (below), and only when the node is pushed.
// - The nearest node: the plain scan keeps the first index of the smallest rounded distance, and
//   only below 1000. The searches compare (rounded distance, index) pairs, so they keep the same
//   node, provided they see every node at least as near as the answer. They do: the candidates
//   hold every node nearer than conDist, and so the nearest node and all its ties whenever
//   there is a candidate (PointGrid::CountAndNearest counts them and finds the nearest, taking
//   the node's last few nearest nodes as its guesses); a search around the last nearest node's
//   present distance d holds every node at rounded distance d or less; a growing disc stops only
//   once it holds every tie of the nearest found (PointGrid::Nearest). With no node below 1000,
//   nearestDist is 1000 and candidates[0] keeps its value, as in the plain scan.
// - scanDist is the distance to the last node the plain scan visits: the last node of the list,
//   or the one before it when the scanning node is the last.
// - LinkAndRepel sets mark 0 and then, per candidate, mark 2 on both ends, velocity 0 and, while
//   the push applies, a fresh velocity from two draws. Only the last candidate's velocity stands
//   and the draws depend on nothing but their number, so the generator skips 2 * (count - 1)
//   draws and the last pair is drawn for real. The push velocities are PushVelocity's own
//   values, each worked out once per offset and jitter and then looked up, as are their steps,
//   the rounding of each velocity that the move applies. Marks only ever
//   become 2 here, so once few nodes lack it a scan checks just those instead of its
//   candidates.
// Nodes with a connect distance above kMaxConDist, and node sets spread too wide or too many for
// the grid, take the plain scan, with the state kept here handed over to the nodes before it and
// taken back after.
#include "model/fast_formation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/random.h"
#include "core/rounding.h"

namespace velmora {

namespace {

// nearestDist when no other node lies nearer than this.
constexpr int32_t kNoNeighbourDist = 1000;
// Buckets 16 pixels wide and 128 high: a count with the default distances visits three rows of
// buckets, and the points of a row lie side by side for the block-wise comparisons. (Measured:
// taller rows fare better than square buckets here, the work per row outweighing the points.)
constexpr int32_t kColumnShift = 4;
constexpr int32_t kRowShift = 7;
// While no more nodes than this still lack mark 2, a scan checks them one by one instead of
// listing its candidates.
constexpr size_t kFewUnmarked = 32;

int32_t SaturateToInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// RoundHalfEven of a velocity. A double below 2^31 in size rounds the same in double precision,
// and more cheaply; anything else (NaN included) goes through RoundHalfEven and its error.
int64_t RoundVelocity(double v) {
  if (std::fabs(v) < 2147483648.0) return static_cast<int64_t>(std::rint(v));
  return RoundHalfEven(v);
}

}  // namespace

FastFormation::FastFormation(NodeList& nodes, int32_t fieldWidth, int32_t fieldHeight)
    : nodes_(nodes), fieldWidth_(fieldWidth), fieldHeight_(fieldHeight) {
  // Moves end inside the field, so the field and the present positions bound every position
  // the passes produce.
  int32_t minX = std::min(0, fieldWidth), maxX = std::max(0, fieldWidth);
  int32_t minY = std::min(0, fieldHeight), maxY = std::max(0, fieldHeight);
  for (const auto& node : nodes_) {
    minX = std::min(minX, node->x);
    maxX = std::max(maxX, node->x);
    minY = std::min(minY, node->y);
    maxY = std::max(maxY, node->y);
    xs_.push_back(node->x);
    ys_.push_back(node->y);
    vxs_.push_back(node->vx);
    vys_.push_back(node->vy);
    stepXs_.push_back(RoundVelocity(node->vx));
    stepYs_.push_back(RoundVelocity(node->vy));
    nearestDists_.push_back(node->nearestDist);
    conDists_.push_back(node->conDist);
    repDists_.push_back(node->repDist);
    marks_.push_back(node->mark);
    // A new node's candidates are empty until its first scan makes element 0 a 0.
    lastNearest_.push_back(node->candidates.empty() ? 0 : node->candidates[0]);
    recent_.push_back(lastNearest_.back());
    recent_.insert(recent_.end(), kRecent - 1, -1);
  }
  usable_ = static_cast<int64_t>(maxX) - minX <= kExactSpan &&
            static_cast<int64_t>(maxY) - minY <= kExactSpan &&
            nodes_.size() <= PointGrid::kMaxPoints;
  if (usable_) {
    grid_.Reset(minX, minY, maxX, maxY, kColumnShift, kRowShift, nodes_.size());
    for (size_t i = 0; i < nodes_.size(); ++i)
      grid_.Insert(static_cast<int32_t>(i), xs_[i], ys_[i]);
  }
  // A pushed node is linked to its nearest node, so the offsets lie within kMaxConDist.
  pushes_.reserve(3 * (2 * kMaxConDist + 1));
  for (int32_t offset = -kMaxConDist; offset <= kMaxConDist; ++offset)
    for (int32_t jitter = -1; jitter <= 1; ++jitter) {
      const double velocity = PushVelocity(jitter, offset);
      pushes_.push_back(PushEntry{velocity, RoundVelocity(velocity)});
    }
  ListUnmarked();
}

FastFormation::PushEntry FastFormation::Push(int32_t jitter, int64_t offset) const {
  if (offset < -kMaxConDist || offset > kMaxConDist || jitter < -1 || jitter > 1) {
    const double velocity = PushVelocity(jitter, offset);
    return PushEntry{velocity, RoundVelocity(velocity)};
  }
  return pushes_[static_cast<size_t>(3 * (offset + kMaxConDist) + jitter + 1)];
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

void FastFormation::Run(int64_t passes, std::vector<std::array<int32_t, 2>>& positions) {
  const size_t count = nodes_.size();
  for (int64_t pass = 0; pass < passes; ++pass) {
    const bool last = pass == passes - 1;
    positions.resize(count);
    for (size_t i = 0; i < count; ++i) {
      positions[i] = {xs_[i], ys_[i]};
      Scan(static_cast<int32_t>(i), last);
      Move(static_cast<int32_t>(i));
    }
  }
  Finish();
}

void FastFormation::Finish() {
  for (size_t i = 0; i < nodes_.size(); ++i) {
    TAgent& node = *nodes_[i];
    node.x = xs_[i];
    node.y = ys_[i];
    node.vx = vxs_[i];
    node.vy = vys_[i];
    node.nearestDist = nearestDists_[i];
    node.mark = marks_[i];
  }
}

void FastFormation::Scan(int32_t index, bool keepLinks) {
  if (usable_ && conDists_[static_cast<size_t>(index)] <= kMaxConDist)
    GridScan(index, keepLinks);
  else
    PlainScan(index);
}

void FastFormation::Move(int32_t index) {
  const auto i = static_cast<size_t>(index);
  // Whole-pixel steps, the velocity rounded half to even (worked out with the velocity), then
  // into the field.
  int32_t x = SaturateToInt32(static_cast<int64_t>(xs_[i]) + stepXs_[i]);
  int32_t y = SaturateToInt32(static_cast<int64_t>(ys_[i]) + stepYs_[i]);
  if (x < 0)
    x = 0;
  else if (x > fieldWidth_)
    x = fieldWidth_;
  if (y < 0)
    y = 0;
  else if (y > fieldHeight_)
    y = fieldHeight_;
  xs_[i] = x;
  ys_[i] = y;
  if (!usable_) return;
  if (!grid_.Contains(x, y)) {
    // Cannot happen while moves end inside the field; should it, the exact range no longer
    // holds and the remaining scans go the plain way.
    usable_ = false;
    return;
  }
  grid_.Move(index, x, y);
}

void FastFormation::PlainScan(int32_t index) {
  // The plain scan reads every node's position from the nodes and sets the scanning node's
  // state and marks there: the state kept here goes over first and comes back after.
  const auto i = static_cast<size_t>(index);
  for (size_t j = 0; j < nodes_.size(); ++j) {
    nodes_[j]->x = xs_[j];
    nodes_[j]->y = ys_[j];
  }
  TAgent& s = *nodes_[i];
  if (!s.candidates.empty()) s.candidates[0] = lastNearest_[i];
  s.vx = vxs_[i];
  s.vy = vys_[i];
  s.NeigborCheck(index, nodes_);
  vxs_[i] = s.vx;
  vys_[i] = s.vy;
  stepXs_[i] = RoundVelocity(s.vx);
  stepYs_[i] = RoundVelocity(s.vy);
  nearestDists_[i] = s.nearestDist;
  lastNearest_[i] = s.candidates[0];
  Remember(i, lastNearest_[i]);
  marks_[i] = s.mark;
  for (size_t k = 1; k < s.candidates.size(); ++k)
    marks_[static_cast<size_t>(s.candidates[k])] =
        nodes_[static_cast<size_t>(s.candidates[k])]->mark;
  ListUnmarked();
}

void FastFormation::MarkLinked(int32_t id) {
  int32_t& mark = marks_[static_cast<size_t>(id)];
  if (mark == 2) return;
  mark = 2;
  auto it = std::find(unmarked_.begin(), unmarked_.end(), id);
  *it = unmarked_.back();
  unmarked_.pop_back();
}

void FastFormation::ListUnmarked() {
  unmarked_.clear();
  for (size_t i = 0; i < marks_.size(); ++i)
    if (marks_[i] != 2) unmarked_.push_back(static_cast<int32_t>(i));
}

void FastFormation::ExtendJumps(size_t draws) {
  const uint32_t seed = RandSeed();
  if (jumps_.empty()) jumps_.push_back(Jump{1, 0});
  // One draw as an affine map of the seed, read off the generator itself.
  SetRandSeed(0);
  SkipRandom(1);
  const uint32_t add = RandSeed();
  SetRandSeed(1);
  SkipRandom(1);
  const uint32_t mul = RandSeed() - add;
  while (jumps_.size() <= draws) {
    const Jump& last = jumps_.back();
    jumps_.push_back(Jump{mul * last.mul, mul * last.add + add});
  }
  SetRandSeed(seed);
}

const Disc& FastFormation::MakeDisc(int32_t conDist) {
  if (discs_.empty()) discs_.resize(kMaxConDist + 1);
  auto& disc = discs_[static_cast<size_t>(conDist)];
  if (!disc) disc = std::make_unique<Disc>(MaxSquaredFor(conDist - 1));
  return *disc;
}

int32_t FastFormation::NearestOther(int32_t index, bool noCandidates, int32_t* distance) {
  const auto i = static_cast<size_t>(index);
  const int32_t x = xs_[i], y = ys_[i];
  // The last nearest node is a good guess, since nodes move little per pass: any node at least
  // as near as it is lies within the ties of its present distance.
  const int32_t last = lastNearest_[static_cast<size_t>(index)];
  if (!noCandidates && last >= 0 && last != index && static_cast<size_t>(last) < nodes_.size()) {
    const int64_t dx = static_cast<int64_t>(xs_[static_cast<size_t>(last)]) - x;
    const int64_t dy = static_cast<int64_t>(ys_[static_cast<size_t>(last)]) - y;
    const int32_t nearest = grid_.NearestWithin(
        x, y, MaxSquaredFor(RoundedDistance(dx * dx + dy * dy)), index, distance);
    return *distance < kNoNeighbourDist ? nearest : -1;
  }
  // Without candidates the nearest node lies beyond conDist.
  const int64_t start = noCandidates ? 2 * static_cast<int64_t>(std::max(conDists_[i], 0)) : 16;
  return grid_.Nearest(x, y, start, kNoNeighbourDist, index, distance);
}

void FastFormation::GridScan(int32_t index, bool keepLinks) {
  const auto i = static_cast<size_t>(index);
  const int32_t x = xs_[i];
  const int32_t y = ys_[i];
  const int32_t conDist = conDists_[i];
  found_.clear();
  // No rounded distance is below a connect distance of 0 or less.
  const Disc* disc = conDist >= 1 ? &CandidateDisc(conDist) : nullptr;
  auto candidate = [&](int32_t px, int32_t py) {
    const int64_t dx = static_cast<int64_t>(px) - x;
    const int64_t dy = static_cast<int64_t>(py) - y;
    return disc != nullptr && dx * dx + dy * dy <= disc->R2();
  };

  // The candidates are listed only when they are needed one by one: for the links, or while
  // many marks are still to be set. Otherwise they are counted, and only when a push needs the
  // count.
  const bool listCandidates = keepLinks || unmarked_.size() > kFewUnmarked;
  int32_t count = -1;
  int32_t nearest = -1;
  int32_t nearestDistance = kNoNeighbourDist;
  if (listCandidates && disc != nullptr) {
    grid_.GatherWithin(x, y, *disc, index, found_);
    count = static_cast<int32_t>(found_.size());
    // The nearest node is a candidate, and so is every node at its rounded distance.
    if (count > 0) nearest = PointGrid::NearestOf(found_, &nearestDistance);
  } else if (disc != nullptr && disc->R2() < PointGrid::kKeyedDisc) {
    // One pass over the disc counts the candidates and finds the nearest among them, which is
    // the nearest node whenever there is a candidate. The last nearest node is the guess:
    // nodes move little per pass.
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
    nearestDists_[i] = nearestDistance;
    lastNearest_[i] = nearest;
    Remember(i, nearest);
  } else {
    nearestDists_[i] = kNoNeighbourDist;
  }
  // A node has candidates exactly when its nearest node is one: conDist <= 1000.
  const bool linked = nearest >= 0 && nearestDistance < conDist;

  if (keepLinks) {
    TAgent& s = *nodes_[i];
    std::sort(found_.begin(), found_.end(),
              [](const PointGrid::Near& a, const PointGrid::Near& b) { return a.id < b.id; });
    s.candidates.assign(1, lastNearest_[i]);
    s.links.clear();
    s.candidates.reserve(found_.size() + 1);
    s.links.reserve(found_.size());
    for (const PointGrid::Near& f : found_) {
      s.candidates.push_back(f.id);
      s.links.push_back(TLink{f.id, RoundedDistance(f.squared)});
    }
    const size_t total = nodes_.size();
    if (total >= 2) {
      const size_t last = i == total - 1 ? total - 2 : total - 1;
      s.x = x;
      s.y = y;
      s.scanDist = s.DistanceTo(xs_[last], ys_[last]);
    }
  }

  // LinkAndRepel.
  if (conDist > nearestDists_[i]) {
    if (!linked) {
      if (marks_[i] == 2) unmarked_.push_back(index);
      marks_[i] = 0;
      return;
    }
    MarkLinked(index);
    if (listCandidates) {
      if (!unmarked_.empty())
        for (const PointGrid::Near& f : found_) MarkLinked(f.id);
    } else {
      // Backwards, so that the entries MarkLinked moves from the end are ones already seen.
      for (size_t k = unmarked_.size(); k-- > 0;) {
        const int32_t id = unmarked_[k];
        if (id != index && candidate(xs_[static_cast<size_t>(id)], ys_[static_cast<size_t>(id)]))
          MarkLinked(id);
      }
    }
    vxs_[i] = 0.0;
    vys_[i] = 0.0;
    stepXs_[i] = 0;
    stepYs_[i] = 0;
    if (PushApplies(i)) {
      // The node itself lies in its disc and is counted there.
      if (count < 0) count = grid_.CountWithin(x, y, *disc) - 1;
      int32_t jx = 0, jy = 0;
      DrawJitters(count, &jx, &jy);
      const int64_t offsetX = static_cast<int64_t>(x) - xs_[static_cast<size_t>(nearest)];
      const int64_t offsetY = static_cast<int64_t>(y) - ys_[static_cast<size_t>(nearest)];
      const PushEntry pushX = Push(jx, offsetX), pushY = Push(jy, offsetY);
      vxs_[i] = pushX.velocity;
      vys_[i] = pushY.velocity;
      stepXs_[i] = pushX.step;
      stepYs_[i] = pushY.step;
    }
  }
}

}  // namespace velmora

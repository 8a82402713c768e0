// The network node: its distance measure, its disc, and its turn in a formation pass.
#include "model/agent.h"

#include <cstdint>

#include "core/error.h"
#include "core/random.h"
#include "model/calc_AStern.h"

namespace velmora {

namespace {

// A node is pushed by one twentieth of its offset from the nearest node per pass.
constexpr long double kPushDivisor = 20.0L;
// nearestDist when no other node lies nearer than this.
constexpr double kNoNeighbourDist = 1000.0;

// -1, 0 or +1, one draw of the generator.
int32_t Jitter() {
  return Random(3) - 1;
}

}  // namespace

int32_t TAgent::DistanceTo(int32_t px, int32_t py) const {
  return PointDistance(px, py, x, y);
}

void TAgent::Draw(Canvas& canvas) {
  canvas.SetPenColor(clGreen);
  canvas.SetPenStyle(PenStyle::Solid);
  switch (state) {
    case 0:
      color = clRed;
      radius = 3;
      break;
    case 1:
      color = clBlue;
      radius = 5;
      break;
    case 2:
      color = clLime;
      radius = 5;
      break;
    default:  // any other state keeps the fill and radius it has
      break;
  }
  canvas.SetBrushColor(color);
  canvas.Ellipse(x - radius, y - radius, x + radius, y + radius);
}

void TAgent::NeigborCheck(int32_t index, const NodeList& list) {
  // Element 0 (the nearest node) keeps its value from the previous scan.
  candidates.resize(1);
  links.clear();
  nearestDist = kNoNeighbourDist;
  const size_t count = list.size();
  for (size_t j = 0; j < count; ++j) {
    if (static_cast<int64_t>(j) == index) continue;
    const TAgent& other = *list[j];
    const int32_t d = DistanceTo(other.x, other.y);
    scanDist = d;
    if (d < conDist) {
      candidates.push_back(static_cast<int32_t>(j));
      links.push_back(TLink{static_cast<int32_t>(j), d});
    }
    if (d < nearestDist) {
      nearestDist = d;
      candidates[0] = static_cast<int32_t>(j);
    }
  }
  if (conDist > nearestDist) LinkAndRepel(list);
}

void TAgent::LinkAndRepel(const NodeList& list) {
  mark = 0;
  const bool pushed = PushApplies();
  for (size_t k = 1; k < candidates.size(); ++k) {
    mark = 2;
    list[static_cast<size_t>(candidates[k])]->mark = 2;
    vx = 0.0;
    vy = 0.0;
    if (pushed) {
      const int32_t nearest = candidates[0];
      if (nearest < 0 || static_cast<size_t>(nearest) >= list.size())
        throw VError::ListIndex(nearest);
      const TAgent& m = *list[static_cast<size_t>(nearest)];
      PushAwayFrom(m.x, m.y);
    }
  }
}

bool TAgent::PushApplies() const {
  // The difference is taken in 64 bits so that extreme edited distances cannot overflow it.
  return static_cast<int64_t>(conDist) - repDist > nearestDist;
}

void TAgent::PushAwayFrom(int32_t mx, int32_t my) {
  // Each sum is worked out in extended precision and stored as a double.
  vx = static_cast<double>(Jitter() + (static_cast<int64_t>(x) - mx) / kPushDivisor);
  vy = static_cast<double>(Jitter() + (static_cast<int64_t>(y) - my) / kPushDivisor);
}

}  // namespace velmora

// The network node.
#include "model/agent.h"

#include "model/calc_AStern.h"

namespace velmora {

int32_t TAgent::DistanceTo(int32_t px, int32_t py) const { return PointDistance(px, py, x, y); }

}  // namespace velmora

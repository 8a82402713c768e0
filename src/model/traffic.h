// The vehicle record TTraveller.
#pragma once

#include <cstdint>

#include "model/agent.h"

namespace velmora {

// A vehicle on the road. It drives its route in driving order: an evening vehicle
// (direction 0) the trip's route as stored, a morning vehicle (direction 1) reversed. The
// route is shared read-only with the trip it came from, so it is the vehicle's own copy in
// effect: later planning replaces a trip's route without changing this one.
struct TTraveller {
  RouteRef route;
  TAgent* currentNode = nullptr;
  TAgent* previousNode = nullptr;
  uint8_t direction = 0;
  // Moves made so far: the position of currentNode in driving order.
  uint32_t position = 0;

  size_t Count() const { return route->size(); }
  // Entry k of the route in driving order.
  TAgent* At(size_t k) const {
    return direction == 0 ? (*route)[k] : (*route)[route->size() - 1 - k];
  }
};

}  // namespace velmora

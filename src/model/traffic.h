// The vehicle record TTraveller, the simulation step that releases and moves the vehicles, and
// the drawing of the link loads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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
  // Remembered node-list indices of currentNode and previousNode. They are only hints: the
  // movement checks them against nodeList before use and looks the node up when they do not
  // match, so a vehicle built without them works all the same.
  int32_t currentIndex = kNoNode;
  int32_t previousIndex = kNoNode;
  // The route's entries and their number, cached by the movement so that it reads the entries
  // without going through the shared route object; null until the first move.
  TAgent* const* entries = nullptr;
  uint32_t entryCount = 0;

  // Vehicles come and go by the tens of thousands in a step at the peak; they are kept in
  // blocks of one size reused from a free list instead of the general heap.
  static void* operator new(size_t size);
  static void operator delete(void* block, size_t size) noexcept;

  size_t Count() const { return route->size(); }
  // Entry k of the route in driving order.
  TAgent* At(size_t k) const {
    return direction == 0 ? (*route)[k] : (*route)[route->size() - 1 - k];
  }
};

class Model;

// One step of the clock: advances it, releases the vehicles due in the step's window, moves
// every vehicle one node, shows the counts and the time, and moves the chart's line.
void SimulationStep(Model& m);
// Moves every vehicle one node on with the link-load counters, removes the arrived ones and
// redraws the overlay: the loads under the network.
void AdvanceTravellers(Model& m);
// The links in yellow, each as wide as its load over E_tScale, rounded up, plus 2.
void DrawLinkLoads(Model& m);

}  // namespace velmora

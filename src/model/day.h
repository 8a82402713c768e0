// The day: the clock, the vehicles on the road (TTraveller) and the departure index the clock
// releases them from.
//
// The vehicles live in the day's pool; travellers lists them in the order they were released.
// A vehicle refers to its nodes by plain references, so the day is attached to the network and
// drops its vehicles when the nodes go. The operations on the day are its part traffic.h (the
// step's phases: the clock, the releases, the movement).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/departure_index.h"
#include "engine/slab_pool.h"
#include "model/network.h"
#include "model/town.h"

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
  // The node-list indices of currentNode and previousNode (kNoNode for none), kept with the
  // vehicle so that a move reads them beside its other fields.
  int32_t currentIndex = kNoNode;
  int32_t previousIndex = kNoNode;
  // The route's entries and their number, so that a move reads the entries without going
  // through the shared route object.
  TAgent* const* entries = nullptr;
  uint32_t entryCount = 0;

  size_t Count() const { return entryCount; }
  // Entry k of the route in driving order.
  TAgent* At(size_t k) const { return entries[direction == 0 ? k : entryCount - 1 - k]; }
};

class Day final : public NodeReferences {
 public:
  Day() = default;
  Day(const Day&) = delete;
  Day& operator=(const Day&) = delete;
  ~Day();

  // The clock: steps taken, steps per model hour and per day, the time of day of this step and
  // of the step before, in hours.
  uint32_t stepCount = 0;
  int8_t stepsPerHour = 0;
  int16_t stepsPerDay = 0;
  double clockHours = 0.0;
  double prevClockHours = 0.0;

  // The vehicles on the road, in the order they were released. They belong to the day: made by
  // Release and given back by Retire.
  std::vector<TTraveller*> travellers;

  // The trips that can depart, by departure tenth, built from the town at its version; and the
  // routes the index numbers, by number.
  DepartureIndex departures;
  std::vector<RouteRef> routes;
  // The trips of a step's due departures where the routes are not numbered; kept between steps,
  // so that its room is not taken afresh at every peak.
  std::vector<const Trip*> dueTrips;

  // A new vehicle at the start of a route of at least two entries, in the stored order (evening)
  // or reversed (morning), appended to travellers.
  TTraveller* Release(const RouteRef& route, bool morning);
  // Gives back a vehicle that has left the road; its place in travellers is the caller's to
  // close.
  void Retire(TTraveller* vehicle) { pool_.Delete(vehicle); }
  // Takes every vehicle off the road.
  void DropVehicles(const Progress& progress = kNoProgress);
  // The vehicles refer to nodes: they go when the nodes do.
  void DropNodeReferences(const Progress& progress) override { DropVehicles(progress); }

 private:
  SlabPool<TTraveller> pool_;
};

}  // namespace velmora

// The day's vehicles: releasing them onto the road and taking them off.
#include "model/day.h"

#include <algorithm>
#include <cassert>

namespace velmora {

Day::~Day() {
  DropVehicles();
}

TTraveller* Day::Release(const RouteRef& route, bool morning) {
  assert(route && route->size() > 1);
  // Room first, so that the vehicle, once made, is surely listed.
  if (travellers.size() == travellers.capacity())
    travellers.reserve(std::max<size_t>(64, 2 * travellers.capacity()));
  TTraveller* vehicle = pool_.New();
  vehicle->route = route;
  vehicle->direction = morning ? 1 : 0;
  vehicle->position = 0;
  vehicle->entries = route->data();
  vehicle->entryCount = static_cast<uint32_t>(route->size());
  vehicle->currentNode = vehicle->At(0);
  vehicle->currentIndex = vehicle->currentNode->Index();
  vehicle->previousNode = nullptr;
  vehicle->previousIndex = kNoNode;
  travellers.push_back(vehicle);
  return vehicle;
}

void Day::DropVehicles(const Progress& progress) {
  ProgressCount gone(progress, static_cast<int64_t>(travellers.size()), "removing the vehicles",
                     int64_t{1} << 16);
  for (TTraveller* vehicle : travellers) {
    pool_.Delete(vehicle);
    gone.Tick();
  }
  travellers.clear();
}

}  // namespace velmora

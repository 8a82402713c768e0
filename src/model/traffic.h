// The day at work: the phases of a simulation step (the clock, the releases, the movement of
// the vehicles with the link loads) and the drawing of the loads.
#pragma once

#include <cstdint>

#include "canvas/canvas.h"
#include "model/day.h"
#include "model/network.h"
#include "model/progress.h"
#include "model/town.h"

namespace velmora {

// The next step of the clock: the step count, and the time of day of that step in whole
// hundredths of an hour.
void AdvanceClock(Day& day);
// Builds the day's departure index from the town's trips as they are now, numbering at most
// maxRouteIds distinct routes (none: a step then reads the routes from the trips).
void IndexDepartures(Day& day, const Town& town, size_t maxRouteIds = DepartureIndex::kMaxRouteIds,
                     const Progress& progress = kNoProgress);
// Puts a vehicle on the road for every trip whose departure falls into this step's window,
// from the hundredth after the previous clock up to the clock: the evening departure drives the
// trip's route as stored, the morning one reversed. The window is then used up.
void ReleaseDue(Day& day, const Town& town, const Progress& progress = kNoProgress);
// Moves every vehicle one node on, keeping the link-load counters, and takes the vehicles that
// have arrived off the road.
void AdvanceTravellers(Day& day, Network& network, const Progress& progress = kNoProgress);
// The links in yellow, each as wide as its load over the scale, rounded up, plus 2.
void DrawLinkLoads(const Network& network, Canvas& overlay, int32_t scale);

}  // namespace velmora

// Limits of the land use.
#pragma once

#include <cstdint>

namespace velmora {

// Most workers a load takes. Every worker has a trip (about 64 bytes), and planning and the
// day add an entry per departure and a vehicle per commute on the road, some 100 to 150 bytes
// per worker in all: the default town at the smallest cell size (24 million workers) takes
// about 3 GB, while three black pictures at that size would ask for 108 million trips.
// "load data" refuses a town above this before any cell changes.
constexpr int64_t kMaxWorkers = 30000000;

}  // namespace velmora

// Figures the window shows on hover beside what lies under the pointer: the parts the network
// falls into, the links that carried the most vehicles in the last step, and the cell with the
// most workers. Each is read from the owners and changes nothing of them; none is kept up to
// date by a command or a step, they are worked out when asked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/network.h"
#include "model/town.h"

namespace velmora {

// The network's parts: two nodes joined by a link, in either direction, lie in one part. A
// route follows links, so it never leaves the part it starts in.
struct NetworkParts {
  // By node index: the node's part. Parts are numbered from 0 by size, the largest first; of
  // two parts of one size, the one holding the lower node index comes first.
  std::vector<int32_t> partOf;
  // The number of nodes in each part, in that order.
  std::vector<int32_t> sizes;

  size_t Count() const { return sizes.size(); }
};

// One pass over every node's links. Links to an index outside the node list are left out.
NetworkParts FindParts(const Network& network);

// A link of the network with the vehicles that have just driven it each way, as the link-load
// counters hold them after the last step.
struct LinkTraffic {
  // The ends, named as the link tooltip names them: when both ends list each other the lower
  // index first; otherwise a is the end that lists b.
  int32_t a = kNoNode;
  int32_t b = kNoNode;
  bool bothWays = false;
  int64_t aToB = 0;  // b's counter of vehicles from a
  int64_t bToA = 0;  // a's counter of vehicles from b
  int64_t Total() const { return aToB + bToA; }
};

// The `count` links with the most vehicles in both directions together, the most first; of
// equal totals, the one whose lower end index is lower first, then by the higher end. Links without
// a vehicle are left out, so fewer (or none) come back when fewer carry traffic. Reads only the
// counters of listed links.
std::vector<LinkTraffic> BusiestLinks(const Network& network, size_t count);

// The cell with the most workers: the first in visiting order (rows outer, columns inner) among
// those with the most, and how many cells have that many. No cell when none has a worker.
struct MostWorkers {
  const TCell* cell = nullptr;
  int64_t cellsWithThatMany = 0;
};
MostWorkers CellWithMostWorkers(const Town& town);

}  // namespace velmora

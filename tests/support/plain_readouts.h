// The hover readouts worked out the plain way, the oracles of readouts.h: the parts by a
// breadth-first walk over a matrix of who links whom, the busiest links by every pair of nodes,
// the cell with the most workers by grid position.
#pragma once

#include <algorithm>
#include <cstdint>
#include <tuple>
#include <vector>

#include "model/readouts.h"

namespace velmora::oracle {

// Whether node a lists node b among its links.
inline bool PlainLists(const Network& network, size_t a, size_t b) {
  for (const TLink& link : network.nodeList[a]->links)
    if (link.node == static_cast<int32_t>(b)) return true;
  return false;
}

// Parts found by walking from the lowest node not yet reached, then ranked by size (the largest
// first, equal sizes in the order they were found).
inline NetworkParts PlainParts(const Network& network) {
  const size_t n = network.nodeList.size();
  std::vector<std::vector<bool>> joined(n, std::vector<bool>(n, false));
  for (size_t a = 0; a < n; ++a)
    for (size_t b = 0; b < n; ++b) joined[a][b] = PlainLists(network, a, b);
  std::vector<int32_t> found(n, -1);
  std::vector<int32_t> sizes;
  for (size_t start = 0; start < n; ++start) {
    if (found[start] >= 0) continue;
    const auto part = static_cast<int32_t>(sizes.size());
    sizes.push_back(0);
    std::vector<size_t> queue{start};
    found[start] = part;
    for (size_t k = 0; k < queue.size(); ++k) {
      ++sizes.back();
      for (size_t other = 0; other < n; ++other)
        if (found[other] < 0 && (joined[queue[k]][other] || joined[other][queue[k]])) {
          found[other] = part;
          queue.push_back(other);
        }
    }
  }
  std::vector<std::pair<int32_t, int32_t>> ranked;  // (-size, order found)
  for (size_t p = 0; p < sizes.size(); ++p) ranked.emplace_back(-sizes[p], static_cast<int32_t>(p));
  std::sort(ranked.begin(), ranked.end());
  NetworkParts parts;
  std::vector<int32_t> rank(sizes.size());
  for (size_t k = 0; k < ranked.size(); ++k) {
    rank[static_cast<size_t>(ranked[k].second)] = static_cast<int32_t>(k);
    parts.sizes.push_back(-ranked[k].first);
  }
  for (int32_t p : found) parts.partOf.push_back(rank[static_cast<size_t>(p)]);
  return parts;
}

// Every pair of nodes with a link either way, with the counters of both directions; the loaded
// ones by total, the most first, then by their ends.
inline std::vector<LinkTraffic> PlainBusiestLinks(const Network& network, size_t count) {
  const size_t n = network.nodeList.size();
  std::vector<LinkTraffic> links;
  for (size_t a = 0; a < n; ++a)
    for (size_t b = a + 1; b < n; ++b) {
      const bool ab = PlainLists(network, a, b), ba = PlainLists(network, b, a);
      if (!ab && !ba) continue;
      LinkTraffic link;
      link.a = static_cast<int32_t>(a);
      link.b = static_cast<int32_t>(b);
      link.bothWays = ab && ba;
      link.aToB = network.nodeList[b]->linkLoad[a];
      link.bToA = network.nodeList[a]->linkLoad[b];
      if (link.Total() > 0) links.push_back(link);
    }
  std::sort(links.begin(), links.end(), [](const LinkTraffic& p, const LinkTraffic& q) {
    return std::make_tuple(-p.Total(), p.a, p.b) < std::make_tuple(-q.Total(), q.a, q.b);
  });
  if (links.size() > count) links.resize(count);
  // A link listed one way only is named from the end that lists it.
  for (LinkTraffic& link : links)
    if (!link.bothWays &&
        !PlainLists(network, static_cast<size_t>(link.a), static_cast<size_t>(link.b))) {
      std::swap(link.a, link.b);
      std::swap(link.aToB, link.bToA);
    }
  return links;
}

// The first cell, rows from the top and each row from the left, with the most workers.
inline MostWorkers PlainMostWorkers(const Town& town) {
  MostWorkers most;
  for (int32_t row = 0; row < town.cells.Rows(); ++row)
    for (int32_t col = 0; col < town.cells.Cols(); ++col) {
      const TCell* cell = town.cells.At(col, row);
      if (cell == nullptr || cell->workers == 0) continue;
      if (most.cell == nullptr || cell->workers > most.cell->workers) {
        most = {cell, 0};
      }
      if (cell->workers == most.cell->workers) ++most.cellsWithThatMany;
    }
  return most;
}

}  // namespace velmora::oracle

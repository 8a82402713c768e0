// The hover readouts worked out the plain way, the oracles of readouts.h: the parts by
// relabelling until nothing changes, the busiest links by every pair of nodes, the cell with the
// most workers by grid position.
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

// Parts by relabelling: every node starts with its own index as its label, and every link gives
// both its ends the lower of their labels, over and over until no label changes; each part then
// bears its lowest index. Ranked by size, the largest first, then by that index.
inline NetworkParts PlainParts(const Network& network) {
  const size_t n = network.nodeList.size();
  std::vector<int32_t> label(n);
  for (size_t i = 0; i < n; ++i) label[i] = static_cast<int32_t>(i);
  for (bool changed = true; changed;) {
    changed = false;
    for (size_t i = 0; i < n; ++i)
      for (const TLink& link : network.nodeList[i]->links) {
        auto& a = label[i];
        auto& b = label[static_cast<size_t>(link.node)];
        if (a != b) a = b = std::min(a, b), changed = true;
      }
  }
  std::vector<std::pair<int32_t, int32_t>> ranked;  // (-size, label) of every part
  for (size_t i = 0; i < n; ++i)
    if (label[i] == static_cast<int32_t>(i))
      ranked.emplace_back(-static_cast<int32_t>(std::count(label.begin(), label.end(), label[i])),
                          label[i]);
  std::sort(ranked.begin(), ranked.end());
  NetworkParts parts;
  for (const auto& [size, lowest] : ranked) parts.sizes.push_back(-size);
  for (int32_t l : label)
    parts.partOf.push_back(static_cast<int32_t>(
        std::find_if(ranked.begin(), ranked.end(), [l](const auto& r) { return r.second == l; }) -
        ranked.begin()));
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

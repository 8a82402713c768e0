// The network's parts, the busiest links of the last step and the cell with the most workers.
#include "model/readouts.h"

#include <algorithm>
#include <numeric>

namespace velmora {

namespace {

// The vehicles that have just driven from node `from` to `to`, as `to` counts them.
int64_t Load(const Network& network, int32_t from, int32_t to) {
  return network.nodeList[static_cast<size_t>(to)]->LoadFrom(from);
}

bool Lists(const Network& network, int32_t from, int32_t to) {
  return network.nodeList[static_cast<size_t>(from)]->LinkTo(to) != nullptr;
}

// The root of a node in a forest of parent indices, halving the path on the way.
int32_t Root(std::vector<int32_t>& parent, int32_t i) {
  while (parent[static_cast<size_t>(i)] != i) {
    parent[static_cast<size_t>(i)] = parent[static_cast<size_t>(parent[static_cast<size_t>(i)])];
    i = parent[static_cast<size_t>(i)];
  }
  return i;
}

}  // namespace

NetworkParts FindParts(const Network& network) {
  const size_t n = network.nodeList.size();
  std::vector<int32_t> parent(n);
  std::iota(parent.begin(), parent.end(), 0);
  for (size_t i = 0; i < n; ++i)
    for (const TLink& link : network.nodeList[i]->links) {
      if (!network.HasNode(link.node)) continue;
      const int32_t a = Root(parent, static_cast<int32_t>(i)), b = Root(parent, link.node);
      // The lower root stays the root, so a part's root is its lowest node.
      if (a != b) parent[static_cast<size_t>(std::max(a, b))] = std::min(a, b);
    }

  // Parts in the order of their lowest node, then sorted by size; the sort is stable, so parts
  // of one size keep that order.
  NetworkParts parts;
  parts.partOf.assign(n, 0);
  std::vector<int32_t> order(n, -1);  // by root: its part in order of the lowest node
  std::vector<int32_t> sizes;
  for (size_t i = 0; i < n; ++i) {
    const auto root = static_cast<size_t>(Root(parent, static_cast<int32_t>(i)));
    if (order[root] < 0) {
      order[root] = static_cast<int32_t>(sizes.size());
      sizes.push_back(0);
    }
    ++sizes[static_cast<size_t>(order[root])];
    parts.partOf[i] = order[root];
  }
  std::vector<int32_t> bySize(sizes.size());
  std::iota(bySize.begin(), bySize.end(), 0);
  std::stable_sort(bySize.begin(), bySize.end(), [&sizes](int32_t p, int32_t q) {
    return sizes[static_cast<size_t>(p)] > sizes[static_cast<size_t>(q)];
  });
  std::vector<int32_t> rank(sizes.size());
  for (size_t k = 0; k < bySize.size(); ++k) {
    rank[static_cast<size_t>(bySize[k])] = static_cast<int32_t>(k);
    parts.sizes.push_back(sizes[static_cast<size_t>(bySize[k])]);
  }
  for (int32_t& part : parts.partOf) part = rank[static_cast<size_t>(part)];
  return parts;
}

std::vector<LinkTraffic> BusiestLinks(const Network& network, size_t count) {
  // Every listed link with a vehicle on either counter, by its ends lower first; a link listed
  // both ways is found from both ends and kept once.
  std::vector<std::pair<int32_t, int32_t>> loaded;
  for (size_t i = 0; i < network.nodeList.size(); ++i) {
    const auto from = static_cast<int32_t>(i);
    for (const TLink& link : network.nodeList[i]->links) {
      if (!network.HasNode(link.node) || link.node == from) continue;
      if (Load(network, from, link.node) != 0 || Load(network, link.node, from) != 0)
        loaded.emplace_back(std::min(from, link.node), std::max(from, link.node));
    }
  }
  std::sort(loaded.begin(), loaded.end());
  loaded.erase(std::unique(loaded.begin(), loaded.end()), loaded.end());

  std::vector<LinkTraffic> links;
  links.reserve(loaded.size());
  for (const auto& [lo, hi] : loaded) {
    LinkTraffic link{lo, hi, false, Load(network, lo, hi), Load(network, hi, lo)};
    if (link.Total() > 0) links.push_back(link);
  }
  const size_t kept = std::min(count, links.size());
  std::partial_sort(links.begin(), links.begin() + static_cast<std::ptrdiff_t>(kept), links.end(),
                    [](const LinkTraffic& p, const LinkTraffic& q) {
                      if (p.Total() != q.Total()) return p.Total() > q.Total();
                      return std::make_pair(p.a, p.b) < std::make_pair(q.a, q.b);
                    });
  links.resize(kept);
  // Named as the link tooltip names them.
  for (LinkTraffic& link : links) {
    link.bothWays = Lists(network, link.a, link.b) && Lists(network, link.b, link.a);
    if (!link.bothWays && !Lists(network, link.a, link.b)) {
      std::swap(link.a, link.b);
      std::swap(link.aToB, link.bToA);
    }
  }
  return links;
}

MostWorkers CellWithMostWorkers(const Town& town) {
  MostWorkers most;
  town.cells.ForEach([&most](const TCell& cell) {
    if (cell.workers == 0) return;
    if (most.cell == nullptr || cell.workers > most.cell->workers) {
      most.cell = &cell;
      most.cellsWithThatMany = 1;
    } else if (cell.workers == most.cell->workers) {
      ++most.cellsWithThatMany;
    }
  });
  return most;
}

}  // namespace velmora

// A hash table from node to its index in the node list, built once per step of the clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/agent.h"

namespace velmora {

// Node pointer -> index in nodeList, built once per step. Equal to the linear search: the list
// owns its nodes, so every node occurs once and its only match is its first.
class NodeIndexTable {
 public:
  explicit NodeIndexTable(const NodeList& nodes) {
    size_t capacity = 16;
    while (capacity < nodes.size() * 2) capacity <<= 1;
    mask_ = capacity - 1;
    slots_.assign(capacity, Slot{});
    for (size_t i = 0; i < nodes.size(); ++i) {
      const TAgent* node = nodes[i].get();
      size_t s = Hash(node);
      while (slots_[s].node != nullptr && slots_[s].node != node) s = (s + 1) & mask_;
      if (slots_[s].node == nullptr) slots_[s] = Slot{node, static_cast<int32_t>(i)};
    }
  }

  int32_t Find(const TAgent* node) const {
    if (node == nullptr) return kNoNode;
    for (size_t s = Hash(node);; s = (s + 1) & mask_) {
      if (slots_[s].node == node) return slots_[s].index;
      if (slots_[s].node == nullptr) return kNoNode;
    }
  }

 private:
  struct Slot {
    const TAgent* node = nullptr;
    int32_t index = kNoNode;
  };
  size_t Hash(const TAgent* node) const {
    const uint64_t p = reinterpret_cast<uintptr_t>(node) >> 4;
    return static_cast<size_t>((p * 0x9E3779B97F4A7C15ull) >> 32) & mask_;
  }

  size_t mask_ = 0;
  std::vector<Slot> slots_;
};

}  // namespace velmora

// A list of positions 0 .. n - 1 from which entries are taken out one by one while the others
// keep their order, with the k-th remaining entry found in O(log n). Asking for the k-th
// remaining entry and then removing it is what erasing element k from a vector of the same
// entries does, without moving the rest.
//
// The entries still there are bits of 64-bit words; a Fenwick tree over the words' bit counts
// finds the word holding the k-th entry, and the word itself the bit. Both are small (a grid
// of 426,240 cells takes 53 KB of bits and 27 KB of counts), so the many draws of a pairing
// stay in the processor's caches.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

class PickList {
 public:
  // All n positions present.
  explicit PickList(size_t n)
      : bits_((n + 63) / 64, ~uint64_t{0}), tree_(bits_.size() + 1, 0), count_(n) {
    if (n % 64 != 0) bits_.back() = (uint64_t{1} << (n % 64)) - 1;
    for (size_t w = 1; w <= bits_.size(); ++w) {
      tree_[w] += static_cast<uint32_t>(std::popcount(bits_[w - 1]));
      const size_t parent = w + (w & (~w + 1));
      if (parent <= bits_.size()) tree_[parent] += tree_[w];
    }
    while (top_ * 2 <= bits_.size()) top_ *= 2;
  }

  // Number of positions still present.
  size_t Count() const { return count_; }

  // The original position of the k-th present entry, counted from 0; k < Count().
  size_t At(size_t k) const {
    // Words before the one holding the entry, and the entries in them. Each step of the descent
    // takes its node or not by a comparison that depends on the draw, which a branch would
    // mispredict half of the time: the steps select instead of branching. Nodes past the tree
    // count as holding more entries than exist, so they are never taken.
    const size_t nodes = tree_.size();
    size_t word = 0;
    uint64_t rest = k;
    for (size_t step = top_; step > 0; step /= 2) {
      const size_t next = word + step;
      const uint64_t below = next < nodes ? tree_[next] : UINT64_MAX;
      const bool take = below <= rest;
      word = take ? next : word;
      rest -= take ? below : 0;
    }
    // The rest-th set bit of that word: halves of the word are skipped by their bit counts.
    uint64_t bits = bits_[word];
    size_t position = 0;
    for (int half = 32; half > 0; half /= 2) {
      const uint64_t low = bits & ((uint64_t{1} << half) - 1);
      const uint64_t inLow = BitCount(low);
      const bool up = rest >= inLow;
      rest -= up ? inLow : 0;
      bits = up ? bits >> half : low;
      position += up ? static_cast<size_t>(half) : 0;
    }
    return word * 64 + position;
  }

  // Takes out the entry at an original position that is still present.
  void Remove(size_t position) {
    bits_[position / 64] &= ~(uint64_t{1} << (position % 64));
    for (size_t w = position / 64 + 1; w < tree_.size(); w += w & (~w + 1)) --tree_[w];
    --count_;
  }

  bool Present(size_t position) const { return (bits_[position / 64] >> (position % 64)) & 1u; }

 private:
  // std::popcount without a popcount instruction in the target set is a library call; this is
  // the same count in a few inline operations.
  static uint64_t BitCount(uint64_t x) {
    x -= (x >> 1) & 0x5555555555555555u;
    x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return (x * 0x0101010101010101u) >> 56;
  }

  std::vector<uint64_t> bits_;  // bit p of word p / 64: position p is present
  std::vector<uint32_t> tree_;  // 1-based Fenwick tree of the words' bit counts
  size_t count_ = 0;
  size_t top_ = 1;  // highest power of two not above the number of words
};

}  // namespace velmora

// A small hash map with open addressing, for the program's few hot lookups: the routes the
// departure index numbers and the wide-line bands the raster canvas remembers.
//
// Slots lie in one array of a power-of-two size that is at most half full, so a lookup reads
// one or two neighbouring slots; a key is found by linear probing from its hash. Entries are
// never removed one by one, only all together (clear). Plain twin: std::unordered_map, which
// the map is held to in flat_map_test.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace velmora {

// Fibonacci hashing of a 64-bit value: the multiply spreads every input bit into the high half.
inline uint64_t MixBits(uint64_t value) {
  return value * 0x9E3779B97F4A7C15ull;
}

template <typename Key>
struct FlatHash {
  uint64_t operator()(const Key& key) const { return MixBits(static_cast<uint64_t>(key)); }
};

template <typename T>
struct FlatHash<T*> {
  // Heap addresses are aligned: their low bits say nothing.
  uint64_t operator()(T* key) const { return MixBits(reinterpret_cast<uintptr_t>(key) >> 4); }
};

template <typename Key, typename Value, typename Hash = FlatHash<Key>>
class FlatMap {
 public:
  // Room for `expected` entries before the first growth.
  explicit FlatMap(size_t expected = 8) { Rehash(CapacityFor(expected)); }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Slots in the table: twice the entries it holds at the most.
  size_t capacity() const { return slots_.size(); }

  // The value of key, or null.
  Value* Find(const Key& key) {
    for (size_t s = Home(key);; s = (s + 1) & mask_) {
      Slot& slot = slots_[s];
      if (!slot.used) return nullptr;
      if (slot.key == key) return &slot.value;
    }
  }
  const Value* Find(const Key& key) const { return const_cast<FlatMap*>(this)->Find(key); }

  // The value of key, made from `value` when the key is new; true when it was.
  std::pair<Value*, bool> Insert(const Key& key, const Value& value) {
    if (2 * (size_ + 1) > slots_.size()) Rehash(2 * slots_.size());
    size_t s = Home(key);
    for (; slots_[s].used; s = (s + 1) & mask_)
      if (slots_[s].key == key) return {&slots_[s].value, false};
    slots_[s] = Slot{key, value, true};
    ++size_;
    assert(2 * size_ <= slots_.size());
    return {&slots_[s].value, true};
  }

  // Takes out every entry; keeps the table's size.
  void clear() {
    for (Slot& slot : slots_) slot.used = false;
    size_ = 0;
  }
  // Takes out every entry and gives the table back, down to room for `expected`.
  void Release(size_t expected = 8) {
    size_ = 0;
    std::vector<Slot>().swap(slots_);
    Rehash(CapacityFor(expected));
  }

 private:
  struct Slot {
    Key key{};
    Value value{};
    bool used = false;
  };

  static size_t CapacityFor(size_t expected) {
    size_t capacity = 16;
    while (capacity < 2 * expected) capacity *= 2;
    return capacity;
  }
  size_t Home(const Key& key) const {
    // The high bits of the hash are the well mixed ones.
    return static_cast<size_t>(Hash{}(key) >> 32) & mask_;
  }
  void Rehash(size_t capacity) {
    assert((capacity & (capacity - 1)) == 0);
    std::vector<Slot> old(capacity);
    old.swap(slots_);
    mask_ = capacity - 1;
    size_ = 0;
    for (const Slot& slot : old)
      if (slot.used) Insert(slot.key, slot.value);
  }

  std::vector<Slot> slots_;
  size_t mask_ = 0;
  size_t size_ = 0;
};

}  // namespace velmora

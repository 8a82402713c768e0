// The flat map against std::unordered_map: the same answers for every key through growth,
// clearing and release, with well spread keys, pointer keys and a hash that sends every key to
// one slot (so that every lookup probes past the others).
#include "engine/flat_map.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <unordered_map>
#include <vector>

namespace velmora {
namespace {

struct OneSlot {
  uint64_t operator()(uint32_t) const { return 0; }
};

template <typename Map, typename Key>
void ExpectSameAsUnorderedMap(Map& map, const std::vector<Key>& keys, std::mt19937& rng) {
  std::unordered_map<Key, int> plain;
  for (int round = 0; round < 3; ++round) {
    for (size_t k = 0; k < keys.size() * 2; ++k) {
      const Key key = keys[rng() % keys.size()];
      const int value = static_cast<int>(rng() % 1000);
      const auto [slot, isNew] = map.Insert(key, value);
      const auto [at, plainNew] = plain.try_emplace(key, value);
      ASSERT_EQ(isNew, plainNew);
      ASSERT_EQ(*slot, at->second);
      ASSERT_EQ(map.size(), plain.size());
      ASSERT_LE(2 * map.size(), map.capacity());
    }
    for (const Key& key : keys) {
      const int* found = map.Find(key);
      const auto at = plain.find(key);
      ASSERT_EQ(found != nullptr, at != plain.end());
      if (found != nullptr) ASSERT_EQ(*found, at->second);
    }
    // Emptied: all together, keeping the table or giving it back.
    const size_t capacity = map.capacity();
    if (round == 0) {
      map.clear();
      EXPECT_EQ(map.capacity(), capacity);
    } else {
      map.Release();
      EXPECT_LT(map.capacity(), capacity);
    }
    plain.clear();
    EXPECT_TRUE(map.empty());
    for (const Key& key : keys) ASSERT_EQ(map.Find(key), nullptr);
  }
}

TEST(FlatMap, AnswersAsAnUnorderedMapThroughGrowthAndClearing) {
  std::mt19937 rng(3);
  std::vector<uint64_t> numbers(5000);
  for (uint64_t& n : numbers) n = rng() % 20000;
  FlatMap<uint64_t, int> byNumber;
  ExpectSameAsUnorderedMap(byNumber, numbers, rng);

  // Heap addresses, as the departure index numbers routes by them.
  std::vector<std::vector<int>> blocks(3000, std::vector<int>(3));
  std::vector<const void*> addresses;
  for (const auto& block : blocks) addresses.push_back(block.data());
  FlatMap<const void*, int> byAddress(1);
  ExpectSameAsUnorderedMap(byAddress, addresses, rng);

  std::vector<uint32_t> crowded(300);
  for (uint32_t& n : crowded) n = rng();
  FlatMap<uint32_t, int, OneSlot> colliding;
  ExpectSameAsUnorderedMap(colliding, crowded, rng);
}

TEST(FlatMap, RoomAskedForUpFrontIsNotOutgrown) {
  FlatMap<uint64_t, int> map(1000);
  const size_t capacity = map.capacity();
  for (uint64_t k = 0; k < 1000; ++k) map.Insert(k * 7919, 1);
  EXPECT_EQ(map.capacity(), capacity);
}

}  // namespace
}  // namespace velmora

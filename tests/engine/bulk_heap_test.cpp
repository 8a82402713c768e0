// The bulk heap against the general heap's contract: blocks of every size class, the large
// path and the one in between keep their contents while others come and go, a freed block is
// handed out again for its size, and the regions go back once the last small block is freed.
#include "engine/bulk_heap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace velmora {
namespace {

TEST(BulkHeap, BlocksKeepTheirContentsAndTheRegionsGoBackWhenAllAreFree) {
  ASSERT_EQ(bulk_heap::LiveBlocks(), 0u);
  struct Block {
    uint8_t* data;
    size_t bytes;
    uint8_t fill;
  };
  std::mt19937 rng(9);
  std::vector<Block> blocks;
  auto check = [](const Block& b) {
    return std::all_of(b.data, b.data + b.bytes, [&](uint8_t v) { return v == b.fill; });
  };
  const size_t sizes[] = {1, 40, 64, 65, 2240, 16 * 1024, 16 * 1024 + 1, 300000, 3 << 20};
  for (int round = 0; round < 4000; ++round) {
    if (!blocks.empty() && rng() % 3 == 0) {
      const size_t k = rng() % blocks.size();
      ASSERT_TRUE(check(blocks[k])) << blocks[k].bytes;
      bulk_heap::Free(blocks[k].data, blocks[k].bytes);
      blocks[k] = blocks.back();
      blocks.pop_back();
      continue;
    }
    const size_t bytes = sizes[rng() % (round % 50 == 0 ? 9 : 6)];
    Block b{static_cast<uint8_t*>(bulk_heap::Allocate(bytes)), bytes, static_cast<uint8_t>(rng())};
    ASSERT_EQ(reinterpret_cast<uintptr_t>(b.data) % alignof(std::max_align_t), 0u);
    std::memset(b.data, b.fill, bytes);
    blocks.push_back(b);
  }
  EXPECT_GT(bulk_heap::RegionBytes(), 0u);
  // A freed small block is the next one of its size.
  auto* first = bulk_heap::Allocate(2240);
  bulk_heap::Free(first, 2240);
  EXPECT_EQ(bulk_heap::Allocate(2200), first);
  bulk_heap::Free(first, 2200);
  for (const Block& b : blocks) {
    ASSERT_TRUE(check(b)) << b.bytes;
    bulk_heap::Free(b.data, b.bytes);
  }
  EXPECT_EQ(bulk_heap::LiveBlocks(), 0u);
  EXPECT_EQ(bulk_heap::RegionBytes(), 0u);
  // Vectors of the allocator grow and shrink as any other.
  BulkVector<int> v;
  for (int k = 0; k < 100000; ++k) v.push_back(k);
  v.resize(10);
  v.shrink_to_fit();
  EXPECT_EQ(v.back(), 9);
}

}  // namespace
}  // namespace velmora

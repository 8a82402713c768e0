// An allocator for the model's bulk data: the trips of every cell (a fine grid has hundreds of
// thousands of small arrays of them, a gigabyte in all) and the large working arrays of the
// pairing and the day. Plain twin: the general heap (std::allocator); bulk_heap_test holds it to
// the general heap's contract.
//
// The general heap hands each new 4 KB page to the program at its first touch, one page fault
// at a time; filling a gigabyte of trips that way costs seconds. This heap takes memory in
// regions of 32 MB aligned to 2 MB and asks the system to back them with 2 MB pages, so the
// same gigabyte faults a few hundred times. Where the system has no such pages the advice is
// ignored and the regions behave like any other memory.
//
// - Small blocks (up to 16 KB) are carved from the regions in multiples of 64 bytes, and a freed
//   block waits in a list of its size for the next request of that size. When the last block is
//   freed every region goes back to the system.
// - Blocks of 1 MB or more get a region of their own, rounded up to whole 2 MB pages.
// - Blocks in between come from the general heap.
// Under AddressSanitizer the unused parts of the regions are marked unaddressable, so a read or
// write past a block or into a freed one is reported as it is on the general heap.
#pragma once

#include <cstddef>
#include <limits>
#include <new>
#include <vector>

namespace velmora {

namespace bulk_heap {

void* Allocate(size_t bytes);
void Free(void* block, size_t bytes) noexcept;
// Bytes the regions for small blocks hold, used or not, and the small blocks in use.
size_t RegionBytes();
size_t LiveBlocks();

}  // namespace bulk_heap

template <typename T>
class BulkAllocator {
 public:
  static_assert(alignof(T) <= alignof(std::max_align_t), "blocks are aligned like the heap's");
  using value_type = T;

  BulkAllocator() noexcept = default;
  template <typename U>
  BulkAllocator(const BulkAllocator<U>&) noexcept {}

  T* allocate(size_t n) {
    if (n > std::numeric_limits<size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(bulk_heap::Allocate(n * sizeof(T)));
  }
  void deallocate(T* block, size_t n) noexcept { bulk_heap::Free(block, n * sizeof(T)); }

  template <typename U>
  bool operator==(const BulkAllocator<U>&) const noexcept {
    return true;
  }
};

template <typename T>
using BulkVector = std::vector<T, BulkAllocator<T>>;

}  // namespace velmora

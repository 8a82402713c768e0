#include "engine/bulk_heap.h"

#include <array>
#include <cassert>
#include <cstdint>
#include <cstdlib>

#include "engine/huge_pages.h"
#include "engine/poison.h"

namespace velmora::bulk_heap {

namespace {

constexpr size_t kGrain = 64;
constexpr size_t kLargestSmall = 16 * 1024;
constexpr size_t kClasses = kLargestSmall / kGrain + 1;
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kRegionBytes = size_t{32} << 20;
constexpr size_t kLargeBytes = size_t{1} << 20;

size_t RoundUp(size_t bytes, size_t unit) {
  return (bytes + unit - 1) / unit * unit;
}

// Memory aligned to 2 MB, with the advice to back it with 2 MB pages; null when there is none.
char* TakeAdvised(size_t bytes) {
  auto* memory = static_cast<char*>(std::aligned_alloc(kHugePage, bytes));
  if (memory != nullptr) AdviseHugePages(memory, bytes);
  return memory;
}

// Single-threaded, like the whole model: no lock.
struct Heap {
  std::vector<char*> regions;
  char* next = nullptr;  // the unused rest of the newest region
  char* end = nullptr;
  std::array<std::vector<char*>, kClasses> freed;  // freed blocks by size class
  size_t live = 0;

  void ReleaseRegions() {
    for (char* region : regions) {
      VELMORA_UNPOISON(region, kRegionBytes);
      std::free(region);
    }
    regions.clear();
    for (auto& list : freed) std::vector<char*>().swap(list);
    next = end = nullptr;
  }
};

// Never destroyed: blocks may still be freed by other objects' destructors at exit.
Heap& TheHeap() {
  static Heap& heap = *new Heap;
  return heap;
}

void* AllocateSmall(size_t bytes) {
  const size_t size = RoundUp(bytes == 0 ? 1 : bytes, kGrain);
  Heap& heap = TheHeap();
  std::vector<char*>& list = heap.freed[size / kGrain];
  char* block;
  if (!list.empty()) {
    block = list.back();
    list.pop_back();
  } else {
    if (static_cast<size_t>(heap.end - heap.next) < size) {
      heap.regions.reserve(heap.regions.size() + 1);
      char* region = TakeAdvised(kRegionBytes);
      if (region == nullptr) throw std::bad_alloc();
      VELMORA_POISON(region, kRegionBytes);
      heap.regions.push_back(region);
      heap.next = region;
      heap.end = region + kRegionBytes;
    }
    block = heap.next;
    heap.next += size;
  }
  ++heap.live;
  VELMORA_UNPOISON(block, bytes);
  return block;
}

void FreeSmall(void* block, size_t bytes) noexcept {
  const size_t size = RoundUp(bytes == 0 ? 1 : bytes, kGrain);
  Heap& heap = TheHeap();
  VELMORA_POISON(block, size);
  assert(heap.live > 0);
  if (--heap.live == 0) {
    heap.ReleaseRegions();
    return;
  }
  try {
    heap.freed[size / kGrain].push_back(static_cast<char*>(block));
  } catch (const std::bad_alloc&) {
    // The block stays unused until its region is released.
  }
}

}  // namespace

void* Allocate(size_t bytes) {
  if (bytes <= kLargestSmall) return AllocateSmall(bytes);
  void* block = bytes >= kLargeBytes ? TakeAdvised(RoundUp(bytes, kHugePage)) : std::malloc(bytes);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void Free(void* block, size_t bytes) noexcept {
  if (block == nullptr) return;
  if (bytes <= kLargestSmall)
    FreeSmall(block, bytes);
  else
    std::free(block);
}

size_t RegionBytes() {
  Heap& heap = TheHeap();
  return heap.regions.size() * kRegionBytes;
}

size_t LiveBlocks() {
  Heap& heap = TheHeap();
  return heap.live;
}

}  // namespace velmora::bulk_heap

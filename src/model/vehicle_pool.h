// The slab allocator the vehicles are kept in.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "core/huge_pages.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

namespace velmora {

// Fixed-size blocks (the vehicles') in slabs that are never returned to the system. A block
// given back is marked free in its slab and handed out again before any fresh slab is taken,
// so the memory held is about the most vehicles ever on the road at once, whatever their
// lengths of life. (Reusing a slab only once all its vehicles had gone held several times that
// at a fine grid's morning peak: one long trip keeps a whole slab.)
//
// Free blocks are handed out in address order: a cursor moves forward through a slab's free
// marks and on to the next slab, coming round to the first. The vehicles released together
// thus lie in memory in the order they were released, which is the order the movement visits
// them in, and the processor's own prefetching follows the movement. Single-threaded, like the
// whole model. Under AddressSanitizer free blocks are poisoned, so a vehicle used after its
// release is still caught.
template <size_t kBlockSize, size_t kBlockAlign>
class SlabPool {
 public:
  void* Take() {
    if (freeCount_ == 0) NextSlab();
    for (;;) {
      Header* slab = slabs_[cursorSlab_];
      for (; cursorWord_ < kWords; ++cursorWord_) {
        uint64_t& marks = slab->free[cursorWord_];
        if (marks == 0) continue;
        const size_t bit = static_cast<size_t>(std::countr_zero(marks));
        marks &= marks - 1;
        --freeCount_;
        Block* block = BlocksOf(slab) + cursorWord_ * 64 + bit;
        ASAN_UNPOISON_MEMORY_REGION(block, sizeof(Block));
        return block;
      }
      cursorWord_ = 0;
      cursorSlab_ = cursorSlab_ + 1 < slabs_.size() ? cursorSlab_ + 1 : 0;
    }
  }
  void Give(void* memory) {
    ASAN_POISON_MEMORY_REGION(memory, sizeof(Block));
    Header* slab =
        reinterpret_cast<Header*>(reinterpret_cast<uintptr_t>(memory) & ~(kSlabBytes - 1));
    const size_t k = static_cast<size_t>(static_cast<Block*>(memory) - BlocksOf(slab));
    slab->free[k / 64] |= uint64_t{1} << (k % 64);
    ++freeCount_;
  }

 private:
  struct Block {
    alignas(kBlockAlign) unsigned char bytes[kBlockSize];
  };
  // A slab is aligned to its size, so a block finds its slab's header by masking its address.
  static constexpr size_t kSlabBytes = size_t{1} << 18;
  static constexpr size_t kWords = (kSlabBytes / sizeof(Block) + 63) / 64;
  struct Header {
    uint64_t free[kWords];  // bit k % 64 of word k / 64: block k is free
  };
  static constexpr size_t kFirstBlock = (sizeof(Header) + sizeof(Block) - 1) / sizeof(Block);
  static constexpr size_t kBlocks = kSlabBytes / sizeof(Block) - kFirstBlock;

  static Block* BlocksOf(Header* slab) { return reinterpret_cast<Block*>(slab) + kFirstBlock; }

  // A fresh slab with every block free; the cursor moves to its start. Slabs are cut from
  // chunks of 2 MB that are advised to be backed by one huge page each: a morning peak takes
  // hundreds of megabytes of vehicles, and a page fault per 4 KB cost more than the vehicles.
  void NextSlab() {
    if (chunkLeft_ == 0) {
      chunk_ =
          static_cast<unsigned char*>(::operator new(kChunkBytes, std::align_val_t(kChunkBytes)));
      AdviseHugePages(chunk_, kChunkBytes);
      chunkLeft_ = kChunkBytes / kSlabBytes;
    }
    void* memory = chunk_ + (kChunkBytes / kSlabBytes - chunkLeft_) * kSlabBytes;
    --chunkLeft_;
    Header* slab = new (memory) Header;
    for (size_t w = 0; w < kWords; ++w) {
      const size_t from = w * 64;
      const size_t count = from >= kBlocks ? 0 : std::min<size_t>(64, kBlocks - from);
      slab->free[w] = count == 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
    }
    ASAN_POISON_MEMORY_REGION(BlocksOf(slab), kBlocks * sizeof(Block));
    slabs_.push_back(slab);
    freeCount_ += kBlocks;
    cursorSlab_ = slabs_.size() - 1;
    cursorWord_ = 0;
  }

  static constexpr size_t kChunkBytes = size_t{1} << 21;
  unsigned char* chunk_ = nullptr;
  size_t chunkLeft_ = 0;  // slabs of the current chunk not yet used
  std::vector<Header*> slabs_;
  size_t freeCount_ = 0;
  size_t cursorSlab_ = 0;
  size_t cursorWord_ = 0;
};

}  // namespace velmora

// The pool the vehicles live in: objects of one type in slabs taken from the system in large
// chunks and reused, instead of one general-heap allocation each. Plain twin: new and delete,
// which the vehicles used before; the step oracle test holds the day that uses the pool to a
// plain day of plain vectors.
#pragma once

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "engine/huge_pages.h"
#include "engine/poison.h"

namespace velmora {

// Vehicles come and go by the tens of thousands in a step at the peak. A block given back is
// marked free in its slab and handed out again before any fresh slab is taken, so the memory
// held is about the most objects ever alive at once, whatever their lengths of life. (Reusing a
// slab only once all its objects had gone held several times that at a fine grid's morning
// peak: one long trip keeps a whole slab.)
//
// Free blocks are handed out in address order: a cursor moves forward through a slab's free
// marks and on to the next slab, coming round to the first. Objects made together thus lie in
// memory in the order they were made, which is the order the day's movement visits the
// vehicles in, and the processor's own prefetching follows the movement. Single-threaded, like
// the whole model. Free blocks are poisoned, so an object used after New's Delete is caught
// under AddressSanitizer. The memory goes back to the system with the pool; every object must
// have been deleted by then.
template <typename T>
class SlabPool {
 public:
  SlabPool() = default;
  SlabPool(const SlabPool&) = delete;
  SlabPool& operator=(const SlabPool&) = delete;
  ~SlabPool() {
    assert(live_ == 0);
    for (unsigned char* chunk : chunks_) {
      VELMORA_UNPOISON(chunk, kChunkBytes);
      ::operator delete(chunk, std::align_val_t(kChunkBytes));
    }
  }

  template <typename... Args>
  T* New(Args&&... args) {
    void* block = Take();
    try {
      return new (block) T(std::forward<Args>(args)...);
    } catch (...) {
      Give(block);
      throw;
    }
  }
  void Delete(T* object) {
    if (object == nullptr) return;
    object->~T();
    Give(object);
  }
  // Objects made and not yet deleted.
  size_t Live() const { return live_; }

 private:
  struct Block {
    alignas(T) unsigned char bytes[sizeof(T)];
  };
  // A slab is aligned to its size, so a block finds its slab's header by masking its address.
  static constexpr size_t kSlabBytes = size_t{1} << 18;
  static constexpr size_t kWords = (kSlabBytes / sizeof(Block) + 63) / 64;
  struct Header {
    uint64_t free[kWords];  // bit k % 64 of word k / 64: block k is free
  };
  static constexpr size_t kFirstBlock = (sizeof(Header) + sizeof(Block) - 1) / sizeof(Block);
  static constexpr size_t kBlocks = kSlabBytes / sizeof(Block) - kFirstBlock;
  // Slabs are cut from chunks of 2 MB, each advised to be one huge page: a morning peak takes
  // hundreds of megabytes of vehicles, and a page fault per 4 KB cost more than the vehicles.
  static constexpr size_t kChunkBytes = size_t{1} << 21;

  static Block* BlocksOf(Header* slab) { return reinterpret_cast<Block*>(slab) + kFirstBlock; }

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
        ++live_;
        Block* block = BlocksOf(slab) + cursorWord_ * 64 + bit;
        VELMORA_UNPOISON(block, sizeof(Block));
        return block;
      }
      cursorWord_ = 0;
      cursorSlab_ = cursorSlab_ + 1 < slabs_.size() ? cursorSlab_ + 1 : 0;
    }
  }
  void Give(void* memory) {
    VELMORA_POISON(memory, sizeof(Block));
    Header* slab =
        reinterpret_cast<Header*>(reinterpret_cast<uintptr_t>(memory) & ~(kSlabBytes - 1));
    const size_t k = static_cast<size_t>(static_cast<Block*>(memory) - BlocksOf(slab));
    assert(k < kBlocks && (slab->free[k / 64] & (uint64_t{1} << (k % 64))) == 0);
    slab->free[k / 64] |= uint64_t{1} << (k % 64);
    ++freeCount_;
    --live_;
  }

  // A fresh slab with every block free; the cursor moves to its start.
  void NextSlab() {
    if (chunkLeft_ == 0) {
      chunks_.reserve(chunks_.size() + 1);
      chunks_.push_back(
          static_cast<unsigned char*>(::operator new(kChunkBytes, std::align_val_t(kChunkBytes))));
      AdviseHugePages(chunks_.back(), kChunkBytes);
      chunkLeft_ = kChunkBytes / kSlabBytes;
    }
    void* memory = chunks_.back() + (kChunkBytes / kSlabBytes - chunkLeft_) * kSlabBytes;
    --chunkLeft_;
    Header* slab = new (memory) Header;
    for (size_t w = 0; w < kWords; ++w) {
      const size_t from = w * 64;
      const size_t count = from >= kBlocks ? 0 : std::min<size_t>(64, kBlocks - from);
      slab->free[w] = count == 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
    }
    VELMORA_POISON(BlocksOf(slab), kBlocks * sizeof(Block));
    slabs_.push_back(slab);
    freeCount_ += kBlocks;
    cursorSlab_ = slabs_.size() - 1;
    cursorWord_ = 0;
  }

  std::vector<unsigned char*> chunks_;
  size_t chunkLeft_ = 0;  // slabs of the newest chunk not yet used
  std::vector<Header*> slabs_;
  size_t freeCount_ = 0;
  size_t live_ = 0;
  size_t cursorSlab_ = 0;
  size_t cursorWord_ = 0;
};

}  // namespace velmora

// The slab allocator the vehicles are kept in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

namespace velmora {

// Fixed-size blocks (the vehicles') in slabs that are never returned to the system. Blocks are
// handed out one after the other from the newest slab; a slab whose vehicles have all gone is
// used again from its start. Vehicles released together arrive within a few steps of each
// other, so slabs empty soon after they fill, and the vehicles lie in memory in the order they
// were released, which is the order the movement visits them in: the processor's own
// prefetching then follows the movement, and taking a block reads nothing from memory.
// Single-threaded, like the whole model. Under AddressSanitizer free blocks are poisoned, so a
// vehicle used after its release is still caught.
template <size_t kBlockSize, size_t kBlockAlign>
class SlabPool {
 public:
  void* Take() {
    if (current_ == nullptr || current_->used == kBlocks) NextSlab();
    Block* block = BlocksOf(current_) + current_->used++;
    ++current_->live;
    ASAN_UNPOISON_MEMORY_REGION(block, sizeof(Block));
    return block;
  }
  void Give(void* memory) {
    ASAN_POISON_MEMORY_REGION(memory, sizeof(Block));
    Header* slab =
        reinterpret_cast<Header*>(reinterpret_cast<uintptr_t>(memory) & ~(kSlabBytes - 1));
    if (--slab->live == 0 && slab != current_) {
      slab->used = 0;
      empty_.push_back(slab);
    }
  }

 private:
  struct Block {
    alignas(kBlockAlign) unsigned char bytes[kBlockSize];
  };
  // A slab is aligned to its size, so a block finds its slab's header by masking its address.
  static constexpr size_t kSlabBytes = size_t{1} << 18;
  struct Header {
    uint32_t used = 0;  // blocks handed out since the slab was last (re)started
    uint32_t live = 0;  // of those, the ones not given back
  };
  static constexpr size_t kFirstBlock = (sizeof(Header) + sizeof(Block) - 1) / sizeof(Block);
  static constexpr uint32_t kBlocks =
      static_cast<uint32_t>(kSlabBytes / sizeof(Block) - kFirstBlock);

  static Block* BlocksOf(Header* slab) { return reinterpret_cast<Block*>(slab) + kFirstBlock; }

  void NextSlab() {
    if (current_ != nullptr && current_->live == 0) {
      current_->used = 0;
      return;
    }
    if (!empty_.empty()) {
      current_ = empty_.back();
      empty_.pop_back();
      return;
    }
    void* memory = ::operator new(kSlabBytes, std::align_val_t(kSlabBytes));
    current_ = new (memory) Header;
    ASAN_POISON_MEMORY_REGION(BlocksOf(current_), kBlocks * sizeof(Block));
    slabs_.push_back(current_);
    // Room for every slab on the list of empty ones, so that giving a block back never
    // allocates.
    empty_.reserve(slabs_.size());
  }

  Header* current_ = nullptr;
  std::vector<Header*> slabs_;  // all of them
  std::vector<Header*> empty_;
};

}  // namespace velmora

// Advice to back large arrays with huge pages where the system offers them on request. Plain
// twin: ordinary 4 KB pages; only the time the first touch of fresh memory takes differs, never
// a value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace velmora {

// Asks the system to back the whole 2 MB pages inside [memory, memory + bytes) with huge
// pages. Arrays of hundreds of megabytes filled once otherwise take a page fault per 4 KB,
// which costs more than filling them. Only advice: the contents and the results are the same
// either way, and where it is not supported nothing happens.
inline void AdviseHugePages(const void* memory, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr uintptr_t kHuge = uintptr_t{1} << 21;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(memory) + kHuge - 1) & ~(kHuge - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(memory) + bytes) & ~(kHuge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)memory;
  (void)bytes;
#endif
}

// Arrays below this size are left to ordinary pages: a huge page is resident as a whole once
// any of it is touched, which for the arrays of a small town would only add to its memory.
constexpr size_t kHugeAdviceMinimum = size_t{16} << 20;

// Gives a vector room for at least count elements, advising huge pages for the new room (when
// it is large) before anything is written there; the elements move over. Nothing happens when
// the room is there.
template <typename T>
void ReserveHuge(std::vector<T>& v, size_t count) {
  if (count <= v.capacity()) return;
  std::vector<T> room;
  room.reserve(count);
  if (room.capacity() * sizeof(T) >= kHugeAdviceMinimum)
    AdviseHugePages(room.data(), room.capacity() * sizeof(T));
  for (T& element : v) room.push_back(std::move(element));
  v.swap(room);
}

// Empties a vector and gives its room back (assigning {} keeps the room).
template <typename V>
void ReleaseRoom(V& v) {
  V().swap(v);
}

}  // namespace velmora

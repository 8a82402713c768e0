// Marks memory that a pool or heap holds but has not handed out as unaddressable under
// AddressSanitizer, so a read or write past a block, or into a block given back, is reported as
// it would be on the general heap. Without the sanitizer the marks cost nothing.
//
// GCC says it builds with AddressSanitizer by __SANITIZE_ADDRESS__, clang by
// __has_feature(address_sanitizer); both are recognised.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define VELMORA_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMORA_ADDRESS_SANITIZER 1
#endif
#endif

#if defined(VELMORA_ADDRESS_SANITIZER)
#include <sanitizer/asan_interface.h>
#define VELMORA_POISON(memory, bytes) ASAN_POISON_MEMORY_REGION(memory, bytes)
#define VELMORA_UNPOISON(memory, bytes) ASAN_UNPOISON_MEMORY_REGION(memory, bytes)
#else
#define VELMORA_POISON(memory, bytes) (static_cast<void>(memory), static_cast<void>(bytes))
#define VELMORA_UNPOISON(memory, bytes) (static_cast<void>(memory), static_cast<void>(bytes))
#endif

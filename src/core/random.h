// The program's one random generator: a 32-bit linear congruential generator,
// seed <- seed * 134775813 + 1 (mod 2^32), advanced once per draw.
#pragma once

#include <cstdint>

namespace velmora {

uint32_t RandSeed();
void SetRandSeed(uint32_t seed);
// Seeds the generator from the clock; called once at start-up.
void Randomize();

// The high 32 bits of the unsigned product seed * n: 0 <= k < n for n > 0, 0 for n = 0.
// A negative n is taken as its unsigned 32-bit pattern, as the generator's multiply does.
int32_t Random(int32_t n);
// a + Random(b - a).
int32_t RandomRange(int32_t a, int32_t b);
// seed / 2^32, in [0, 1).
long double RandomReal();
// One draw as the new seed itself: RandomReal() is this value over 2^32.
uint32_t RandomBits();

// Advances the generator by count draws without using them.
void SkipRandom(uint64_t count);

}  // namespace velmora

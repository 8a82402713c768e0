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

// The generator's state in a local variable, for a loop of millions of draws: Below(n) draws
// exactly what Random(n) would, without a call and a store per draw. Nothing else may draw
// while a run is open; Close() hands the state back to the generator.
class RandomRun {
 public:
  static constexpr uint32_t kMultiplier = 134775813u;
  RandomRun() : seed_(RandSeed()) {}
  int32_t Below(int32_t n) {
    seed_ = seed_ * kMultiplier + 1u;
    const uint64_t product =
        static_cast<uint64_t>(seed_) * static_cast<uint64_t>(static_cast<uint32_t>(n));
    return static_cast<int32_t>(static_cast<uint32_t>(product >> 32));
  }
  // Advances the run by a number of draws given as the affine map they make of the seed:
  // seed <- seed * mul + add (mod 2^32).
  void Advance(uint32_t mul, uint32_t add) { seed_ = seed_ * mul + add; }
  void Close() const { SetRandSeed(seed_); }

 private:
  uint32_t seed_;
};

}  // namespace velmora

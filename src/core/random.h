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

// Some number of the generator's steps as one affine map of the seed:
// seed <- seed * mul + add (mod 2^32). Of(1) is the generator's own step; Of(k) lets code that
// draws many times in a row (the departure batches, the formation's jitters) take its draws
// from a local seed, or skip draws it does not need, and still leave the generator exactly
// where drawing one by one would.
struct RandomJump {
  uint32_t mul = 1;
  uint32_t add = 0;

  static constexpr RandomJump Step() { return RandomJump{134775813u, 1u}; }
  // The step taken `draws` times, by squaring: O(log draws).
  static constexpr RandomJump Of(uint64_t draws) {
    RandomJump total, step = Step();
    for (; draws > 0; draws >>= 1) {
      if ((draws & 1u) != 0) total = total.Then(step);
      step = step.Then(step);
    }
    return total;
  }
  // This map followed by `next`.
  constexpr RandomJump Then(RandomJump next) const {
    return RandomJump{mul * next.mul, add * next.mul + next.add};
  }
  constexpr uint32_t Apply(uint32_t seed) const { return seed * mul + add; }
};

// Advances the generator by count draws without using them.
void SkipRandom(uint64_t count);

// The integer draw below n from a draw's new seed: the high half of seed * n.
constexpr int32_t DrawBelow(uint32_t seed, int32_t n) {
  const uint64_t product =
      static_cast<uint64_t>(seed) * static_cast<uint64_t>(static_cast<uint32_t>(n));
  return static_cast<int32_t>(static_cast<uint32_t>(product >> 32));
}

// The generator's state in a local variable, for a loop of millions of draws: Below(n) draws
// exactly what Random(n) would, without a call and a store per draw. Nothing else may draw
// while a run is open; Close() hands the state back to the generator.
class RandomRun {
 public:
  RandomRun() : seed_(RandSeed()) {}
  int32_t Below(int32_t n) {
    seed_ = RandomJump::Step().Apply(seed_);
    return DrawBelow(seed_, n);
  }
  // Skips draws given as the map they make of the seed.
  void Advance(RandomJump jump) { seed_ = jump.Apply(seed_); }
  void Close() const { SetRandSeed(seed_); }

 private:
  uint32_t seed_;
};

}  // namespace velmora

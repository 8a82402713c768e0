#include "core/random.h"

#include <chrono>

namespace velmora {

namespace {
uint32_t g_seed = 0;

inline uint32_t Advance() {
  g_seed = RandomJump::Step().Apply(g_seed);
  return g_seed;
}
}  // namespace

uint32_t RandSeed() {
  return g_seed;
}

void SetRandSeed(uint32_t seed) {
  g_seed = seed;
}

void Randomize() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto ticks = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
  g_seed = static_cast<uint32_t>(ticks ^ (ticks >> 32));
}

int32_t Random(int32_t n) {
  return DrawBelow(Advance(), n);
}

int32_t RandomRange(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) +
                              static_cast<uint32_t>(Random(static_cast<int32_t>(
                                  static_cast<uint32_t>(b) - static_cast<uint32_t>(a)))));
}

long double RandomReal() {
  return static_cast<long double>(Advance()) / 4294967296.0L;
}

uint32_t RandomBits() {
  return Advance();
}

void SkipRandom(uint64_t count) {
  g_seed = RandomJump::Of(count).Apply(g_seed);
}

}  // namespace velmora
